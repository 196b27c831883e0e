// The Objects page of the real main window against the simulated server: the object list, Edit
// and Show data.
#include "Exception.h"
#include "ModalDriver.h"
#include "SimLog.h"
#include "Spin.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TAction.h"
#include "TApplication.h"
#include "TField.h"
#include "TdxDBGrid.h"
#include "TdxDBGridColumn.h"
#include "TdxGridHeader.h"
#include "TdxGridView.h"
#include "uKestrowObjectsPage.h"
#include "uLumDBActions.h"
#include "uLumDialogActions.h"
#include "uLumdxActions.h"
#include "uTLumDataSourceEditAction.h"
#include "uTLumDlgButtonPanel.h"
#include "ufKestrow.h"
#include "ufLumCustomDialog.h"
#include "ufLumDataSourceEdit.h"
#include "ufModuleParent.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

using testsupport::ModalDriver;
using testsupport::SimProcess;
using testsupport::SimRequests;
using testsupport::SimServer;

namespace {

class ObjectsPageTest : public ::testing::Test {
protected:
    static inline SimProcess* sim = nullptr;
    QTemporaryDir dir;
    QStringList errors;

    static void SetUpTestSuite() {
        sim = new SimProcess({"--demo", "--sa-password", "sa"});
        ASSERT_TRUE(sim->started());
        TADOConnection c;
        c.SetConnectionString("Data Source=" + SimServer(*sim) + ";User ID=sa;Password=sa");
        c.Open();
        c.Execute("use Sales");
        c.Execute("create table [a]]b] (id int not null primary key, note nvarchar(20) null)");
        c.Execute("insert into [a]]b] (id, note) values (1, N'first')");
        c.Execute("insert into [a]]b] (id, note) values (2, N'second')");
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    void SetUp() override {
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
    }
    void TearDown() override { TApplication::Instance()->OnException = nullptr; }
    QString ini() const { return dir.filePath("marlinde.ini"); }
    QStringList logOn(const QString& database = "Sales") const {
        return {"-s", SimServer(*sim), "-u", "sa", "-p", "sa", "-d", database};
    }
    static QStringList batches() { return SimRequests(*sim, "batch", "text"); }
    // The window logged on, shown, with its object list read.
    static void waitForList(TfKestrow& w) {
        w.show();
        ASSERT_TRUE(SpinUntil([&] { return w.Objects()->qObjects->Active(); }));
    }
    // "owner.name type" of every object the server lists in a database, in its order.
    static QStringList serverObjects(const QString& database) {
        TADOConnection c;
        c.SetConnectionString("Data Source=" + SimServer(*sim) + ";User ID=sa;Password=sa");
        c.Open();
        c.Execute("use " + database);
        QStringList out;
        auto rs =
            c.Execute("select user_name(o.uid) as sUser, o.name, o.type\nfrom sysobjects o\n\norder by 1");
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            out << rs->Fields(0).Text() + "." + rs->Fields(1).Text() + " " + rs->Fields(2).Text();
        return out;
    }
    static QStringList listed(TKestrowObjectsPage* page) {
        QStringList out;
        TADOQuery* q = page->qObjects;
        for (q->First(); !q->Eof(); q->Next())
            out << page->ObjectName() + " " + q->FieldByName("type")->AsString();
        return out;
    }
    static void choose(TKestrowObjectsPage* page, const QString& name) {
        ASSERT_TRUE(page->qObjects->Locate("name", name)) << name.toStdString();
    }
    // Runs Edit on the object and returns the dialog's caption and the script it showed.
    static QStringList editScript(TKestrowObjectsPage* page, const QString& name) {
        choose(page, name);
        QStringList seen;
        ModalDriver driver({[&](QWidget* m) {
            auto* dialog = qobject_cast<TfLumCustomDialog*>(m);
            ASSERT_NE(dialog, nullptr) << ModalDriver::Text(m).toStdString();
            seen << dialog->windowTitle() << page->mObjectText->toPlainText();
            EXPECT_TRUE(page->mObjectText->isVisible());
            EXPECT_TRUE(page->mObjectText->isReadOnly());
            EXPECT_EQ(dialog->width(), 600);
            EXPECT_EQ(page->mObjectText->height(), 400);
            EXPECT_TRUE(QFontInfo(page->mObjectText->font()).fixedPitch());
            EXPECT_EQ(page->mObjectText->lineWrapMode(), QPlainTextEdit::NoWrap);
            EXPECT_FALSE(dialog->StaticText->isVisible());
            m->close();
        }});
        page->aEdit->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
        return seen;
    }
};

TEST_F(ObjectsPageTest, ListsTheLogOnDatabaseRefreshesAndFollowsTheSwitcher) {
    TfKestrow w(ini(), logOn());
    TKestrowObjectsPage* page = w.Objects();
    waitForList(w);
    const QStringList sales = serverObjects("Sales");
    ASSERT_GT(sales.size(), 10);
    EXPECT_EQ(listed(page), sales);
    EXPECT_EQ(page->dxdbg->SummaryText(page->dxdbgName), QString::number(sales.size()));
    EXPECT_EQ(page->dxdbg->Model()->rowCount(), sales.size());

    // Another session adds a table; Refresh shows it.
    TADOConnection other;
    other.SetConnectionString("Data Source=" + SimServer(*sim) + ";User ID=sa;Password=sa");
    other.Open();
    other.Execute("use Sales");
    other.Execute("create table Later (id int null)");
    EXPECT_FALSE(listed(page).contains("dbo.Later U "));
    page->aObjectsRefresh->Execute();
    EXPECT_TRUE(listed(page).contains("dbo.Later U ")) << listed(page).join(",").toStdString();
    EXPECT_EQ(page->dxdbg->SummaryText(page->dxdbgName), QString::number(sales.size() + 1));
    other.Execute("drop table Later");

    // Another database in the switcher: its objects, read once.
    const qsizetype before = batches().size();
    const int index = w.dxbcDB->findText("Склад");
    ASSERT_GE(index, 0);
    w.dxbcDB->setCurrentIndex(index);
    emit w.dxbcDB->activated(index);
    const QStringList sent = batches().mid(before);
    EXPECT_EQ(listed(page), serverObjects("Склад"));
    EXPECT_TRUE(listed(page).contains("dbo.Остатки U "));
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0], "use Склад");
    EXPECT_EQ(sent[1], "select user_name(o.uid) as sUser, o.name, o.type\nfrom sysobjects o\n\norder by 1");

    // On another page a switch only closes the list; coming back reads it.
    w.pc->setCurrentWidget(w.tsQuery);
    w.dxbcDB->setCurrentIndex(w.dxbcDB->findText("Sales"));
    emit w.dxbcDB->activated(w.dxbcDB->findText("Sales"));
    EXPECT_FALSE(page->qObjects->Active());
    w.pc->setCurrentWidget(w.tsObjects);
    EXPECT_EQ(listed(page), serverObjects("Sales"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
}

TEST_F(ObjectsPageTest, PageHasItsToolBarGridAndColumns) {
    TfKestrow w(ini(), logOn());
    TKestrowObjectsPage* page = w.Objects();
    const auto actions = page->ActionToolBar1->actions();
    ASSERT_EQ(actions.size(), 6);
    EXPECT_EQ(actions[0], page->aObjectsRefresh);
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2], page->aEdit);
    EXPECT_EQ(actions[3], page->aTableShow);
    EXPECT_TRUE(actions[4]->isSeparator());
    EXPECT_EQ(actions[5], page->adxShowGroupPanel);
    QStringList texts;
    for (QAction* a : actions)
        if (!a->isSeparator())
            texts << a->text() << a->toolTip();
    EXPECT_EQ(texts, QStringList({"Refresh", "Refresh", "Edit", "Edit", "Show data", "Show table",
                                  "Group panel", "Show/hide group panel"}));
    ASSERT_EQ(page->dxdbg->ColumnCount(), 3);
    QStringList columns;
    for (int i = 0; i < 3; ++i) {
        const TdxDBGridColumn* c = page->dxdbg->Columns(i);
        columns << c->objectName() + ":" + c->FieldName() + ":" + c->Caption() + ":" +
                       QString::number(c->Width()) + (c->Sizing() ? "" : ":fixed");
    }
    EXPECT_EQ(columns, QStringList({"dxdbgUser:sUser:sUser:67:fixed", "dxdbgName:name:Table:190",
                                    "dxdbgType:type:type:54"}));
    const auto view = page->dxdbg->OptionsView();
    EXPECT_TRUE(view.testFlag(TdxDBGrid::edgoAutoWidth) && view.testFlag(TdxDBGrid::edgoRowSelect) &&
                view.testFlag(TdxDBGrid::edgoMultiSelect) && view.testFlag(TdxDBGrid::edgoIncSearch));
    EXPECT_TRUE(page->dxdbg->ShowSummaryFooter());
    EXPECT_FALSE(page->dxdbg->ShowGroupPanel());
    EXPECT_FALSE(page->adxShowGroupPanel->isChecked());
    EXPECT_FALSE(page->mObjectText->isVisible());
}

TEST_F(ObjectsPageTest, EditShowsTheScriptsTheServerGeneratesForATableAndAView) {
    TfKestrow w(ini(), logOn());
    TKestrowObjectsPage* page = w.Objects();
    waitForList(w);
    const QStringList table = editScript(page, "Customers");
    ASSERT_EQ(table.size(), 2);
    EXPECT_EQ(table[0], "dbo.Customers");
    EXPECT_EQ(table[1],
              "if exists (select * from sysobjects where id = object_id('dbo.Customers'))\n"
              "  drop table dbo.Customers\n"
              "GO\n"
              "create table dbo.Customers(\n"
              "  id int identity(1, 1) not null CONSTRAINT PK_Customers PRIMARY KEY, \n"
              "  name nvarchar(100) not null, \n"
              "  city nvarchar(50) null, \n"
              "  regionId int null, \n"
              "  created datetime not null\n"
              ")\n"
              "GO\n"
              "alter table dbo.Customers add constraint DF_Customers_created default getdate() for created\n"
              "GO\n"
              "alter table dbo.Customers add constraint FK_Customers_Regions foreign key (regionId) "
              "references dbo.Regions (id)\n"
              "GO");
    // The script statement went out as written, with the object's name and a null ScriptTriggers.
    QJsonArray params;
    for (const std::string& line : sim->logLines()) {
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        for (const QJsonValue p : o.value("params").toArray())
            if (p.toObject().value("value").toString().contains("set @bTriggers = "))
                params = o.value("params").toArray();
    }
    QStringList values;
    for (const QJsonValue p : params)
        values << (p.toObject().value("value").isNull() ? "NULL" : p.toObject().value("value").toString());
    ASSERT_GE(values.size(), 3) << values.join("|").toStdString();
    EXPECT_TRUE(
        values[0].contains("when charindex('char', t.name) > 0 then '(' + Convert(varchar, c.prec) + ')'"));
    EXPECT_TRUE(values[0].endsWith("select t from #t_Text\ndrop table #t_Text\n\n"));
    EXPECT_TRUE(values.contains("dbo.Customers"));
    EXPECT_TRUE(values.contains("NULL"));

    const QStringList view = editScript(page, "vCustomerOrders");
    ASSERT_EQ(view.size(), 2);
    EXPECT_EQ(view[0], "dbo.vCustomerOrders");
    EXPECT_TRUE(view[1].startsWith(
        "if exists (select * from sysobjects where id = object_id('dbo.vCustomerOrders'))\n"
        "  drop view dbo.vCustomerOrders\nGO\ncreate view dbo.vCustomerOrders\nas\n"))
        << view[1].toStdString();
    EXPECT_TRUE(view[1].endsWith("\nGO"));
    EXPECT_FALSE(page->qStruct->Active());
    EXPECT_FALSE(page->mObjectText->isVisible()); // back on the window, hidden
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
}

TEST_F(ObjectsPageTest, ShowDataOfATableOpensTheReadOnlyEditorAndOfAProcedureOnlyTheError) {
    TfKestrow w(ini(), logOn());
    TKestrowObjectsPage* page = w.Objects();
    waitForList(w);
    choose(page, "Regions");
    QStringList seen;
    ModalDriver driver({[&](QWidget* m) {
        auto* frame = qobject_cast<TfModuleParent*>(m);
        ASSERT_NE(frame, nullptr) << ModalDriver::Text(m).toStdString();
        seen << frame->Caption() << QString::number(frame->width()) << QString::number(frame->height());
        seen << QString::number(frame->DlgButtonPanel->Button(0)->isVisible()) +
                    QString::number(frame->DlgButtonPanel->Button(1)->isVisible());
        auto* editor = page->aTableShow->Module();
        ASSERT_NE(editor, nullptr);
        seen << QString::number(editor->dxDBGrid->Model()->rowCount());
        seen << QString::number(editor->LumDatasetInsert1->ForcedDisable());
        frame->DlgButtonPanel->Button(0)->click();
    }});
    page->aTableShow->trigger();
    EXPECT_EQ(driver.Remaining(), 0);
    TADOConnection c;
    c.SetConnectionString("Data Source=" + SimServer(*sim) + ";User ID=sa;Password=sa");
    c.Open();
    const QString rows = c.Execute("select count(*) from Sales.dbo.Regions")->Fields(0).Text();
    EXPECT_EQ(seen, QStringList({"Show data", "700", "500", "10", rows, "1"}));
    EXPECT_EQ(page->qTable->SQLText(), "select * from dbo.Regions");
    EXPECT_EQ(page->aTableShow->KeyField(), "id");
    EXPECT_TRUE(page->qTable->Active()); // until the next Show data
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();

    // A procedure has no rows to select: the server's error, the cursor back, no editor.
    choose(page, "p_CustomerOrders");
    ModalDriver none({});
    page->aTableShow->trigger();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_FALSE(errors[0].isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(page->qTable->Active());
    EXPECT_EQ(page->aTableShow->KeyField(), "");
    EXPECT_FALSE(page->aTableShow->IsModuleCreated());
}

TEST_F(ObjectsPageTest, ATableWithABracketInItsNameShowsItsRows) {
    TfKestrow w(ini(), logOn());
    TKestrowObjectsPage* page = w.Objects();
    waitForList(w);
    choose(page, "a]b");
    QStringList notes;
    ModalDriver driver({[&](QWidget* m) {
        auto* frame = qobject_cast<TfModuleParent*>(m);
        ASSERT_NE(frame, nullptr) << ModalDriver::Text(m).toStdString();
        TADOQuery* q = page->qTable;
        for (q->First(); !q->Eof(); q->Next())
            notes << q->FieldByName("note")->AsString();
        frame->DlgButtonPanel->Button(0)->click();
    }});
    page->aTableShow->trigger();
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(page->qTable->SQLText(), "select * from dbo.[a]]b]");
    EXPECT_EQ(notes, QStringList({"first", "second"}));
    // Edit finds it too.
    const QStringList script = editScript(page, "a]b");
    ASSERT_EQ(script.size(), 2);
    EXPECT_EQ(script[0], "dbo.a]b");
    EXPECT_TRUE(script[1].contains("create table dbo.a]b(\n  id int not null, \n  note nvarchar(20) null\n)"))
        << script[1].toStdString();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
}

TEST_F(ObjectsPageTest, TypingSearchesTheFocusedColumnAndADoubleClickEdits) {
    TfKestrow w(ini(), logOn());
    TKestrowObjectsPage* page = w.Objects();
    waitForList(w);
    QAbstractItemView* view = page->dxdbg->View();
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 1));
    QTest::keyClicks(view, "vcu");
    EXPECT_EQ(page->dxdbg->SearchText(), "vcu");
    EXPECT_EQ(page->qObjects->FieldByName("name")->AsString(), "vCustomerOrders");
    QTest::keyClicks(view, "x");
    EXPECT_EQ(page->qObjects->FieldByName("name")->AsString(), "vCustomerOrders"); // no match: stays

    // Whole rows are selected, several at once.
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(page->dxdbg->SelectedCount(), 3);

    // A click on a header sorts by it alone; with Shift the column is added.
    QHeaderView* header = page->dxdbg->Header();
    auto clickHeader = [&](TdxDBGridColumn* c, Qt::KeyboardModifiers modifiers) {
        const int logical = c->Index();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers,
                          QPoint(header->sectionViewportPosition(logical) + header->sectionSize(logical) / 2,
                                 header->height() / 2));
    };
    clickHeader(page->dxdbgType, {});
    clickHeader(page->dxdbgName, Qt::ShiftModifier);
    EXPECT_EQ(page->dxdbg->SortColumns(), QList<TdxDBGridColumn*>({page->dxdbgType, page->dxdbgName}));
    clickHeader(page->dxdbgName, {});
    EXPECT_EQ(page->dxdbg->SortColumns(), QList<TdxDBGridColumn*>({page->dxdbgName}));
    page->qObjects->Locate("name", "vCustomerOrders");

    QString caption;
    ModalDriver driver({[&](QWidget* m) {
        caption = m->windowTitle();
        m->close();
    }});
    const QRect row = view->visualRect(view->currentIndex());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(caption, "dbo.vCustomerOrders");
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
}

TEST_F(ObjectsPageTest, WithoutACurrentRowEditAndShowDataDoNothing) {
    TfKestrow w(ini(), logOn());
    TKestrowObjectsPage* page = w.Objects();
    waitForList(w);
    page->qObjects->Close();
    const qsizetype before = batches().size();
    ModalDriver none({});
    page->aTableShow->trigger();
    page->aEdit->trigger();
    EXPECT_EQ(batches().size(), before);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
}

} // namespace
