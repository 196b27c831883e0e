// The data source editor docked into a page over an in-memory data set: its tool bar, the grid
// bar, the footer that a key field brings, editing in the grid, and the header hints.
#include "../platform/grid/MemoryDataSet.h"
#include "DemoSimSuite.h"
#include "ModalDriver.h"
#include "Spin.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TApplication.h"
#include "TButton.h"
#include "TDataSource.h"
#include "TdxDBGrid.h"
#include "TdxDBGridColumn.h"
#include "TdxGridFooter.h"
#include "TdxGridHeader.h"
#include "TdxGridView.h"
#include "uLumDBActions.h"
#include "uLumDBEditDialog.h"
#include "uLumdxActions.h"
#include "uTLumDataSourceEditAction.h"
#include "ufLumDataSourceEdit.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QToolBar>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using testsupport::ModalDriver;

namespace {

void clickLater(QAbstractButton* button) {
    QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
}

void doubleClickFirstRow(TdxDBGrid* grid) {
    QAbstractItemView* view = grid->View();
    const QRect row = view->visualRect(view->model()->index(0, 0));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.isValid() ? row.center() : QPoint(10, 10));
}

// What the edit dialog showed: its caption, whether OK is enabled, and which buttons are visible.
struct Seen {
    QString caption;
    bool okEnabled = true;
    bool helpVisible = true;
    QString name;
};

ModalDriver::Step cancelEditDialog(Seen& seen, const char* field = "name") {
    return [&seen, field](QWidget* m) {
        auto* dialog = qobject_cast<TLumDBEditDialog*>(m);
        ASSERT_NE(dialog, nullptr) << ModalDriver::Text(m).toStdString();
        seen.caption = dialog->windowTitle();
        seen.okEnabled = dialog->Button(0)->isEnabled();
        seen.helpVisible = !dialog->Button(2)->isHidden();
        seen.name = dialog->DataSource()->DataSet()->FieldByName(field)->AsString();
        clickLater(dialog->Button(1));
    };
}

class DataSourceEditTest : public ::testing::Test {
protected:
    MemoryDataSet data;
    TDataSource source;
    TForm host;
    QWidget* page = new QWidget(&host);
    TLumDataSourceEditAction* action = new TLumDataSourceEditAction(&host, "aTableShow");

    void SetUp() override {
        FillPeople(data);
        data.Open();
        source.SetDataSet(&data);
        action->SetParent(page);
        action->SetDataSource(&source);
        auto* layout = new QVBoxLayout(&host);
        layout->addWidget(page);
        host.resize(700, 400);
        host.show();
    }
    TfLumDataSourceEdit* run() {
        EXPECT_TRUE(action->Execute());
        TfLumDataSourceEdit* form = action->Module();
        EXPECT_NE(form, nullptr);
        return form;
    }
    // The actions the tool bar shows, by name, in order.
    static QStringList shownActions(QToolBar* bar) {
        QStringList names;
        for (QAction* a : bar->actions()) {
            if (a->isVisible() && !a->isSeparator())
                names << a->objectName();
        }
        return names;
    }
};

TEST_F(DataSourceEditTest, ToolBarAndGridBarFollowTheActionAtEveryExecution) {
    TfLumDataSourceEdit* form = run();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Редактировать"));
    EXPECT_TRUE(form->ActionToolBar1->isVisible());
    EXPECT_EQ(shownActions(form->ActionToolBar1).mid(shownActions(form->ActionToolBar1).size() - 4),
              (QStringList{"aGridGroupPanel", "aGridAutoColWidth", "aGridColCustomize", "aGridFullExpand"}));
    EXPECT_TRUE(form->aGridAutoColWidth->Checked());
    EXPECT_EQ(form->aGridGroupPanel->toolTip(), QString::fromUtf8("Показать панель группировки"));
    EXPECT_EQ(form->dxDBGrid->ColumnCount(), 6); // the grid's own columns without a key field
    // Activated, the module hands the keyboard to the grid.
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    auto* other = new QLineEdit(&host);
    host.layout()->addWidget(other);
    other->show();
    other->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), other);
    form->ModuleActivated();
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == form->dxDBGrid || form->dxDBGrid->isAncestorOf(focus));

    // The grid bar goes; the setting reaches the form only at the next execution.
    action->SetGridBarVisible(false);
    EXPECT_TRUE(form->aGridGroupPanel->isVisible());
    run();
    for (TAction* a : QList<TAction*>{form->aGridGroupPanel, form->aGridAutoColWidth, form->aGridColCustomize,
                                      form->aGridFullExpand})
        EXPECT_FALSE(a->isVisible()) << a->objectName().toStdString();
    EXPECT_FALSE(shownActions(form->ActionToolBar1).contains("aGridGroupPanel"));

    action->SetButtonBarVisible(false);
    run();
    EXPECT_FALSE(form->ActionToolBar1->isVisible());
    EXPECT_TRUE(form->dxDBGrid->isVisible());
    action->SetButtonBarVisible(true);
    action->SetGridBarVisible(true);
    run();
    EXPECT_TRUE(form->ActionToolBar1->isVisible());
    EXPECT_TRUE(form->aGridFullExpand->isVisible());
}

TEST_F(DataSourceEditTest, AKeyFieldBringsOwnColumnsAndTheMoneySumsInTheFooter) {
    TfLumDataSourceEdit* form = run();
    ASSERT_NE(form, nullptr);
    TdxDBGrid* grid = form->dxDBGrid;
    EXPECT_FALSE(grid->ShowSummaryFooter());
    EXPECT_FALSE(grid->OptionsDB() & TdxDBGrid::edgoLoadAllRecords);

    data.FieldByName("created")->SetVisible(false);
    action->SetKeyField("id");
    run();
    EXPECT_EQ(form->KeyField(), "id");
    EXPECT_EQ(grid->KeyField(), "id");
    EXPECT_TRUE(grid->ShowSummaryFooter());
    EXPECT_TRUE(grid->OptionsDB() & TdxDBGrid::edgoLoadAllRecords);
    ASSERT_EQ(grid->ColumnCount(), 6);
    EXPECT_FALSE(grid->ColumnByFieldName("created")->Visible());
    TdxDBGridColumn* amount = grid->ColumnByFieldName("amount");
    ASSERT_NE(amount, nullptr);
    EXPECT_EQ(amount->parent(), form); // the form's own columns
    EXPECT_EQ(amount->DisplayFormat(), ",0.00");
    EXPECT_EQ(amount->SummaryFooterType(), cstSum);
    EXPECT_EQ(grid->SummaryText(amount), "101,240.75");
    EXPECT_EQ(grid->SummaryText(grid->ColumnByFieldName("name")), "");

    // Executing again rebuilds the columns instead of adding a second set.
    run();
    EXPECT_EQ(grid->ColumnCount(), 6);
    EXPECT_EQ(form->findChildren<TdxDBGridColumn*>(QString(), Qt::FindDirectChildrenOnly).size(), 6);

    // Without the key field the footer goes and the grid makes its columns again.
    action->SetKeyField("");
    run();
    EXPECT_FALSE(grid->ShowSummaryFooter());
    EXPECT_FALSE(grid->OptionsDB() & TdxDBGrid::edgoLoadAllRecords);
    EXPECT_EQ(grid->ColumnCount(), 6);
    EXPECT_EQ(form->findChildren<TdxDBGridColumn*>(QString(), Qt::FindDirectChildrenOnly).size(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr); // the busy cursor is restored
}

TEST_F(DataSourceEditTest, EditingInTheGridSwitchesRowSelectionAndTheGridsDataOptions) {
    TfLumDataSourceEdit* form = run();
    ASSERT_NE(form, nullptr);
    TdxDBGrid* grid = form->dxDBGrid;
    const auto editing = TdxDBGrid::TdxDBGridOptionsDB(TdxDBGrid::edgoCanAppend) | TdxDBGrid::edgoCanDelete |
                         TdxDBGrid::edgoCanInsert;
    EXPECT_EQ(grid->OptionsDB() & editing, TdxDBGrid::TdxDBGridOptionsDB());
    EXPECT_TRUE(grid->OptionsView() & TdxDBGrid::edgoRowSelect);
    action->SetCanEditInGrid(true);
    run();
    EXPECT_EQ(grid->OptionsDB() & editing, editing);
    EXPECT_FALSE(grid->OptionsView() & TdxDBGrid::edgoRowSelect);
    action->SetCanEditInGrid(false);
    run();
    EXPECT_EQ(grid->OptionsDB() & editing, TdxDBGrid::TdxDBGridOptionsDB());
    EXPECT_TRUE(grid->OptionsView() & TdxDBGrid::edgoRowSelect);
}

TEST_F(DataSourceEditTest, HoveringAHeaderShowsTheFieldsDisplayLabelAndCellsChangeNothing) {
    data.FieldByName("amount")->SetDisplayLabel("Amount due");
    TfLumDataSourceEdit* form = run();
    ASSERT_NE(form, nullptr);
    TdxDBGrid* grid = form->dxDBGrid;
    TdxDBGridColumn* amount = grid->ColumnByFieldName("amount");
    ASSERT_NE(amount, nullptr);
    QHeaderView* header = grid->Header();
    const int section = grid->VisualIndex(amount);
    const QPoint onHeader(header->sectionViewportPosition(header->logicalIndex(section)) + 5,
                          header->height() / 2);
    QTest::mouseMove(header->viewport(), onHeader);
    EXPECT_TRUE(SpinUntil([&] { return grid->Hint() == "Amount due"; }));
    grid->SetHint("");
    QWidget* cells = grid->View()->viewport();
    QTest::mouseMove(cells, QPoint(10, 10));
    QTest::mouseMove(cells, QPoint(20, 12));
    EXPECT_EQ(grid->Hint(), "");
}

TEST_F(DataSourceEditTest, ReadOnlyDisablesInsertAndDeleteAndOpensTheRecordWithoutOk) {
    action->SetReadOnly(true);
    action->SetButtonBarVisible(false); // double click works without the tool bar
    TfLumDataSourceEdit* form = run();
    ASSERT_NE(form, nullptr);
    for (TLumDatasetAction* a : QList<TLumDatasetAction*>{form->LumDatasetInsert1, form->LumDatasetDelete1}) {
        a->Update();
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
        EXPECT_TRUE(a->ForcedDisable());
    }
    form->LumDatasetEdit1->Update();
    EXPECT_TRUE(form->LumDatasetEdit1->isEnabled());
    EXPECT_EQ(form->LumDatasetDelete1->WarningString(),
              QString::fromUtf8("Вы действительно хотите удалить запись?"));

    Seen seen;
    ModalDriver driver({cancelEditDialog(seen)});
    doubleClickFirstRow(form->dxDBGrid);
    EXPECT_TRUE(
        SpinUntil([&] { return driver.Remaining() == 0 && form->LumDatasetEdit1->Dialog() == nullptr; }));
    EXPECT_EQ(seen.caption, QString::fromUtf8("Редактировать запись"));
    EXPECT_FALSE(seen.okEnabled);
    EXPECT_FALSE(seen.helpVisible);
    EXPECT_FALSE(seen.name.isEmpty());
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_TRUE(data.writes.isEmpty());

    // Writable again at the next execution: OK is back, Insert and Delete follow the data set.
    action->SetReadOnly(false);
    run();
    form->LumDatasetInsert1->Update();
    EXPECT_TRUE(form->LumDatasetInsert1->isEnabled());
    Seen again;
    ModalDriver second({cancelEditDialog(again)});
    form->LumDatasetEdit1->Execute();
    EXPECT_EQ(second.Remaining(), 0);
    EXPECT_TRUE(again.okEnabled);
    EXPECT_EQ(data.State(), dsBrowse);
}

TEST_F(DataSourceEditTest, DoubleClickOnAnEmptyGridOpensNothing) {
    data.Close();
    data.rows.clear();
    data.Open();
    TfLumDataSourceEdit* form = run();
    ASSERT_NE(form, nullptr);
    ModalDriver none({}, 1000); // a dialog that opened would fail the test at the deadline
    doubleClickFirstRow(form->dxDBGrid);
    EXPECT_EQ(form->LumDatasetEdit1->Dialog(), nullptr);
    EXPECT_EQ(data.State(), dsBrowse);
}

// The process list is a procedure's result that cannot be written back: a read-only editor shows
// its rows and opens one in the dialog without a read-only error.
class DataSourceEditServer : public testsupport::DemoSimSuite {};

TEST_F(DataSourceEditServer, ProcessListRowsOpenInTheDialogWithoutAnError) {
    ASSERT_TRUE(sim->started());
    QStringList errors;
    qobject_cast<TApplication*>(qApp)->OnException = [&](const std::exception& e) {
        errors << QString::fromUtf8(e.what());
    };
    TADOConnection connection;
    connection.SetConnectionString(SaConnectionString());
    connection.Open();
    TADOQuery qWho;
    qWho.SetConnection(&connection);
    qWho.SetSQLText("sp_who2");
    qWho.Open();
    ASSERT_FALSE(qWho.CanModify());
    ASSERT_GE(qWho.RecordCount(), 1);
    TDataSource dsWho;
    dsWho.SetDataSet(&qWho);

    TForm host;
    QWidget* page = new QWidget(&host);
    (new QVBoxLayout(&host))->addWidget(page);
    TLumDataSourceEditAction* aWho = new TLumDataSourceEditAction(&host, "aWho");
    aWho->SetParent(page);
    aWho->SetDataSource(&dsWho);
    aWho->SetReadOnly(true);
    host.resize(700, 400);
    host.show();
    ASSERT_TRUE(aWho->Execute());
    TfLumDataSourceEdit* form = aWho->Module();
    ASSERT_NE(form, nullptr);
    EXPECT_GE(form->dxDBGrid->ColumnCount(), 1);

    Seen seen;
    ModalDriver driver({cancelEditDialog(seen, "SPID")});
    doubleClickFirstRow(form->dxDBGrid);
    EXPECT_TRUE(
        SpinUntil([&] { return driver.Remaining() == 0 && form->LumDatasetEdit1->Dialog() == nullptr; }));
    EXPECT_FALSE(seen.okEnabled);
    EXPECT_FALSE(seen.name.isEmpty());
    EXPECT_EQ(qWho.State(), dsBrowse);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    qobject_cast<TApplication*>(qApp)->OnException = nullptr;
}

} // namespace
