// The data-aware grid over in-memory data sets: binding and cursor, columns, sorting, grouping,
// the group panel, searching, filtering, the footer, layout persistence, editing and events.
#include "MemoryDataSet.h"
#include "ModalDriver.h"
#include "Spin.h"
#include "TApplication.h"
#include "TDataSource.h"
#include "TIniFile.h"
#include "TdxColumnsCustomizeBox.h"
#include "TdxDBGrid.h"
#include "TdxGridDrag.h"
#include "TdxGridFooter.h"
#include "TdxGridHeader.h"
#include "TdxGridView.h"
#include "TdxGroupPanel.h"

#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

class GridTest : public ::testing::Test {
protected:
    MemoryDataSet data;
    TDataSource source;
    std::unique_ptr<TdxDBGrid> grid;
    QStringList errors;

    void SetUp() override {
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
        FillPeople(data);
        data.Open();
        source.SetDataSet(&data);
        grid = std::make_unique<TdxDBGrid>(nullptr, "dxdbg");
        grid->resize(600, 300);
    }
    void TearDown() override {
        grid.reset();
        TApplication::Instance()->OnException = nullptr;
    }

    // Columns name, kind, amount (owned by the test's grid), bound to the data set.
    void bindThreeColumns() {
        grid->SetDataSource(&source);
        grid->BeginUpdate();
        grid->CreateColumn("name", nullptr, "dxdbgName");
        grid->CreateColumn("kind", nullptr, "dxdbgKind");
        grid->CreateColumn("amount", nullptr, "dxdbgAmount");
        grid->EndUpdate();
        grid->SetOptionsDB(grid->OptionsDB() | TdxDBGrid::edgoLoadAllRecords);
    }
    // Names in the order the grid shows its data rows.
    QStringList shownNames() const {
        QStringList names;
        const int name = grid->ColumnByFieldName("name")->Index();
        for (int p = 0; p < grid->Model()->DataRowCount(); ++p)
            names << grid->Model()->CellText(grid->Model()->OrderedStoreRow(p), name);
        return names;
    }
    QPoint sectionCenter(TdxDBGridColumn* c) const {
        const int logical = c->Index();
        return QPoint(grid->Header()->sectionViewportPosition(logical) +
                          grid->Header()->sectionSize(logical) / 2,
                      grid->Header()->height() / 2);
    }
    void dropOn(QWidget* target, QPoint at, TdxDBGridColumn* column) {
        std::unique_ptr<QMimeData> mime(TdxGridDrag::Make(grid.get(), column->Index()));
        QDragEnterEvent enter(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        ASSERT_TRUE(drop.isAccepted());
    }
};

TEST_F(GridTest, CursorFollowsTheDataSetAndMovingInTheGridMovesIt) {
    bindThreeColumns();
    grid->SetOptionsView(TdxDBGrid::edgoRowSelect | TdxDBGrid::edgoMultiSelect);
    grid->show();
    EXPECT_EQ(grid->Model()->DataRowCount(), 6);
    EXPECT_EQ(grid->FocusedStoreRow(), 0);
    data.SetRecNo(4);
    EXPECT_EQ(grid->FocusedStoreRow(), 3);
    data.Last();
    EXPECT_EQ(grid->FocusedStoreRow(), 5);

    // Keyboard and code moves in the grid move the data set.
    grid->View()->setFocus();
    QTest::keyClick(grid->View(), Qt::Key_Home);
    EXPECT_EQ(data.RecNo(), 1);
    QTest::keyClick(grid->View(), Qt::Key_Down);
    EXPECT_EQ(data.RecNo(), 2);
    grid->View()->setCurrentIndex(grid->Model()->IndexOfStoreRow(4, 0));
    EXPECT_EQ(data.FieldByName("name")->AsString(), "anton");

    // Sorted, the grid still finds the data set's record, and several rows can be selected.
    grid->SortByColumn(grid->ColumnByFieldName("name"), false);
    data.First();
    EXPECT_EQ(grid->FocusedStoreRow(), 0);
    EXPECT_EQ(grid->Model()->PositionOfStoreRow(0), 3); // carl after Anna, anton, bert
    QTest::keyClick(grid->View(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(grid->SelectedCount(), 2);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Cecil");

    // Rows added and removed outside the grid appear and disappear.
    data.Append();
    data.FieldByName("id")->SetAsInteger(7);
    data.FieldByName("name")->SetAsString("Bea");
    data.Post();
    EXPECT_EQ(grid->Model()->DataRowCount(), 7);
    EXPECT_EQ(shownNames().mid(0, 4), QStringList({"Anna", "anton", "Bea", "bert"}));
    EXPECT_EQ(grid->Model()->CellText(grid->FocusedStoreRow(), 0), "Bea");
    data.Delete();
    EXPECT_EQ(grid->Model()->DataRowCount(), 6);
    // Another open data set's rows replace these.
    MemoryDataSet other;
    FillPeople(other);
    other.rows.resize(2);
    other.Open();
    TDataSource otherSource;
    otherSource.SetDataSet(&other);
    grid->SetDataSource(&otherSource);
    EXPECT_EQ(grid->Model()->DataRowCount(), 2);
    grid->SetDataSource(&source);
    EXPECT_EQ(grid->Model()->DataRowCount(), 6);
    data.Close();
    EXPECT_EQ(grid->Model()->rowCount(), 0);
}

TEST_F(GridTest, ColumnsAndDataSetsThatGoAwayLeaveTheGridWorking) {
    bindThreeColumns();
    grid->show();
    TdxDBGridColumn* name = grid->ColumnByFieldName("name");
    TdxDBGridColumn* kind = grid->ColumnByFieldName("kind");
    grid->GroupByColumn(kind, 0);
    grid->SortByColumn(name, true);
    grid->FullExpand();
    delete kind;
    EXPECT_TRUE(grid->GroupColumns().isEmpty());
    EXPECT_EQ(grid->SortColumns(), QList<TdxDBGridColumn*>({name}));
    EXPECT_EQ(grid->TopNodeCount(), 6);
    EXPECT_EQ(shownNames().first(), "Anna");
    grid->View()->viewport()->repaint();

    auto temporary = std::make_unique<MemoryDataSet>();
    FillPeople(*temporary);
    temporary->Open();
    TDataSource temporarySource;
    temporarySource.SetDataSet(temporary.get());
    grid->SetDataSource(&temporarySource);
    EXPECT_EQ(grid->TopNodeCount(), 6);
    temporary.reset();
    EXPECT_EQ(grid->TopNodeCount(), 0);
    grid->View()->viewport()->repaint();
    EXPECT_EQ(grid->SummaryText(name), "");
}

TEST_F(GridTest, ColumnsFollowTheFieldKindsAndDefaultColumnsComeFromTheDataSet) {
    grid->SetDataSource(&source);
    grid->SetDefaultFields(true);
    ASSERT_EQ(grid->ColumnCount(), 6);
    EXPECT_EQ(grid->Columns(0)->Kind(), ckNumber);
    EXPECT_EQ(grid->Columns(1)->Kind(), ckText);
    EXPECT_EQ(grid->Columns(3)->Kind(), ckCurrency);
    EXPECT_EQ(grid->Columns(3)->DisplayFormat(), ",0.00");
    EXPECT_EQ(grid->Columns(4)->Kind(), ckDate);
    EXPECT_EQ(grid->Columns(5)->Kind(), ckCheck);
    const QModelIndex first = grid->Model()->index(0, 3);
    EXPECT_EQ(first.data().toString(), "1,234.50");
    EXPECT_EQ(first.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_EQ(grid->Model()->index(1, 5).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    EXPECT_EQ(grid->Model()->index(0, 5).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    EXPECT_FALSE(grid->Model()->index(0, 5).data().isValid());
    EXPECT_EQ(grid->Model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "name");

    // An image column shows picture n of its list for the value n, and nothing for other values.
    TImageList images(16, 16);
    images.Add([](QPainter& p, const QRectF& box) { p.fillRect(box, Qt::red); });
    images.Add([](QPainter& p, const QRectF& box) { p.fillRect(box, Qt::blue); });
    auto* image = new TdxDBGridColumn(grid.get(), ckImage, nullptr, "gImage");
    image->SetFieldName("id");
    image->SetImages(&images);
    const int imageColumn = image->Index();
    EXPECT_FALSE(grid->Model()->index(0, imageColumn).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_TRUE(grid->Model()->index(2, imageColumn).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(grid->Model()->index(0, imageColumn).data().isValid());
    delete image;
    ASSERT_EQ(grid->ColumnCount(), 6);

    // A field hidden by the program gives a hidden column; a reopened data set keeps the columns right.
    data.Close();
    data.FieldByName("id")->SetVisible(false);
    data.FieldByName("name")->SetDisplayLabel("Name");
    data.Open();
    ASSERT_EQ(grid->ColumnCount(), 6);
    EXPECT_EQ(grid->VisibleColumns().first()->FieldName(), "name");
    EXPECT_EQ(grid->Model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Name");
}

TEST_F(GridTest, HeaderClicksSortByOneOrSeveralColumnsAndReverse) {
    bindThreeColumns();
    grid->show();
    TdxDBGridColumn* name = grid->ColumnByFieldName("name");
    TdxDBGridColumn* kind = grid->ColumnByFieldName("kind");
    QTest::mouseClick(grid->Header()->viewport(), Qt::LeftButton, Qt::NoModifier, sectionCenter(name));
    EXPECT_EQ(shownNames(), QStringList({"Anna", "anton", "bert", "carl", "Cecil", "Dora"}));
    QTest::mouseClick(grid->Header()->viewport(), Qt::LeftButton, Qt::NoModifier, sectionCenter(name));
    EXPECT_EQ(name->SortOrder(), csDown);
    EXPECT_EQ(shownNames(), QStringList({"Dora", "Cecil", "carl", "bert", "anton", "Anna"}));

    // A plain click on another column sorts by it alone; Shift+click adds the next key.
    QTest::mouseClick(grid->Header()->viewport(), Qt::LeftButton, Qt::NoModifier, sectionCenter(kind));
    EXPECT_EQ(name->SortOrder(), csNone);
    QTest::mouseClick(grid->Header()->viewport(), Qt::LeftButton, Qt::ShiftModifier, sectionCenter(name));
    EXPECT_EQ(grid->SortColumns(), QList<TdxDBGridColumn*>({kind, name}));
    EXPECT_EQ(shownNames(), QStringList({"Anna", "Cecil", "anton", "bert", "carl", "Dora"}));
    QTest::mouseClick(grid->Header()->viewport(), Qt::LeftButton, Qt::ShiftModifier, sectionCenter(name));
    EXPECT_EQ(shownNames(), QStringList({"Cecil", "Anna", "carl", "bert", "anton", "Dora"}));
    const TdxGridHeader::SectionState state = grid->Header()->StateOf(name->Index());
    EXPECT_EQ(state.sortRank, 2);
    EXPECT_TRUE(state.descending);

    // Grouping over a sort keeps the sort within the groups; a changed value moves its row.
    grid->SortByColumn(name, false);
    grid->GroupByColumn(kind, 0);
    EXPECT_EQ(shownNames(), QStringList({"Anna", "Cecil", "anton", "bert", "carl", "Dora"}));
    data.Locate("name", "anton");
    data.Edit();
    data.FieldByName("name")->SetAsString("zed");
    data.Post();
    EXPECT_EQ(shownNames(), QStringList({"Anna", "Cecil", "bert", "carl", "zed", "Dora"}));
    grid->UngroupColumn(kind, 0);

    // Equal keys keep the data set's order (a stable sort), and NULL sorts first.
    data.Append();
    data.FieldByName("id")->SetAsInteger(9);
    data.Post();
    grid->SortByColumn(grid->ColumnByFieldName("amount"), false);
    EXPECT_EQ(shownNames().first(), "");
    EXPECT_EQ(shownNames(), QStringList({"", "Cecil", "bert", "Dora", "Anna", "carl", "zed"}));
    grid->SortByColumn(grid->ColumnByFieldName("amount"), false);
    EXPECT_EQ(shownNames(), QStringList({"zed", "carl", "Anna", "Dora", "bert", "Cecil", ""}));
}

TEST_F(GridTest, GroupsByTwoColumnsWithCountsAndExpandsAndCollapsesAll) {
    grid->BeginUpdate();
    grid->CreateColumn("name", nullptr, "dxdbgName");
    TdxDBGridColumn* kind = grid->CreateColumn("kind", nullptr, "dxdbgKind");
    TdxDBGridColumn* active = grid->CreateColumn("active", nullptr, "dxdbgActive");
    // Grouping by code, by columns the user does not see.
    kind->SetVisible(false);
    active->SetVisible(false);
    kind->SetGroupIndex(0);
    active->SetGroupIndex(1);
    grid->EndUpdate();
    grid->SetOptionsDB(grid->OptionsDB() | TdxDBGrid::edgoLoadAllRecords);
    grid->SetDataSource(&source);
    grid->RegroupColumns();
    grid->SetShowGroupPanel(true);
    grid->show();

    TdxGridModel* m = grid->Model();
    ASSERT_EQ(grid->TopNodeCount(), 3);
    const auto group = [&](const QModelIndex& i) {
        return i.data(TdxGridModel::GroupValueRole).toString() + "=" +
               i.data(TdxGridModel::GroupCountRole).toString();
    };
    EXPECT_EQ(group(m->index(0, 0)), "P=2");
    EXPECT_EQ(group(m->index(1, 0)), "U=3");
    EXPECT_EQ(group(m->index(2, 0)), "V=1");
    const QModelIndex u = m->index(1, 0);
    ASSERT_EQ(m->rowCount(u), 2);
    EXPECT_EQ(group(m->index(0, 0, u)), "False=1");
    EXPECT_EQ(group(m->index(1, 0, u)), "True=2");
    const QModelIndex uTrue = m->index(1, 0, u);
    ASSERT_EQ(m->rowCount(uTrue), 2);
    EXPECT_EQ(m->index(0, 0, uTrue).data().toString(), "carl");
    EXPECT_EQ(m->index(1, 0, uTrue).data().toString(), "bert");
    EXPECT_EQ(m->parent(m->index(1, 0, uTrue)), uTrue);
    EXPECT_EQ(m->parent(uTrue), u);

    // The data set's record opens its groups.
    EXPECT_TRUE(grid->View()->isExpanded(u));
    EXPECT_TRUE(grid->View()->isExpanded(uTrue));
    grid->FullCollapse();
    EXPECT_FALSE(grid->View()->isExpanded(u));
    grid->FullExpand();
    for (int r = 0; r < 3; ++r) {
        const QModelIndex top = m->index(r, 0);
        EXPECT_TRUE(grid->View()->isExpanded(top));
        for (int c = 0; c < m->rowCount(top); ++c)
            EXPECT_TRUE(grid->View()->isExpanded(m->index(c, 0, top)));
    }
    // Moving the data set keeps the groups open, and a group of the current row opens.
    grid->FullCollapse();
    data.SetRecNo(6);
    EXPECT_TRUE(grid->View()->isExpanded(m->index(2, 0)));
    EXPECT_EQ(grid->FocusedStoreRow(), 5);

    // The group panel shows the levels; a click on a level reverses its order.
    ASSERT_EQ(grid->GroupPanel()->Items().size(), 2);
    EXPECT_EQ(grid->GroupPanel()->Items()[0].caption, "kind");
    QTest::mouseClick(grid->GroupPanel(), Qt::LeftButton, Qt::NoModifier,
                      grid->GroupPanel()->ItemRect(0).center());
    EXPECT_EQ(group(m->index(0, 0)), "V=1");
}

TEST_F(GridTest, DraggingHeadersToTheGroupPanelAndBackGroupsAndUngroups) {
    bindThreeColumns();
    grid->SetShowGroupPanel(true);
    grid->show();
    TdxDBGridColumn* kind = grid->ColumnByFieldName("kind");
    TdxDBGridColumn* name = grid->ColumnByFieldName("name");
    dropOn(grid->GroupPanel(), QPoint(20, 10), kind);
    EXPECT_EQ(kind->GroupIndex(), 0);
    EXPECT_EQ(grid->VisibleColumns(), QList<TdxDBGridColumn*>({name, grid->ColumnByFieldName("amount")}));
    EXPECT_EQ(grid->TopNodeCount(), 3);

    // A second column dropped before the first becomes the outer level.
    dropOn(grid->GroupPanel(), QPoint(1, 10), name);
    EXPECT_EQ(grid->GroupColumns(), QList<TdxDBGridColumn*>({name, kind}));
    EXPECT_EQ(grid->TopNodeCount(), 6);

    // The layout written to a file has the grouping.
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("m.ini"));
    grid->SaveToIniFile(ini, "fKestrow_dxdbg");
    EXPECT_EQ(ini.ReadString("fKestrow_dxdbg.Column0", "Name", ""), "dxdbgName");
    EXPECT_EQ(ini.ReadInteger("fKestrow_dxdbg.Column0", "GroupIndex", -9), 0);
    EXPECT_EQ(ini.ReadInteger("fKestrow_dxdbg.Column1", "GroupIndex", -9), 1);

    // Back onto the header: ungrouped and shown where it was dropped.
    dropOn(grid->Header()->viewport(), QPoint(1, 5), name);
    EXPECT_EQ(name->GroupIndex(), -1);
    EXPECT_EQ(kind->GroupIndex(), 0);
    EXPECT_EQ(grid->VisibleColumns().first(), name);
    EXPECT_EQ(grid->TopNodeCount(), 3);
    // Something that is not one of this grid's columns is refused.
    QMimeData other;
    other.setText("x");
    QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, &other, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(grid->GroupPanel(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(GridTest, TypingSearchesTheFocusedColumnIncrementally) {
    bindThreeColumns();
    grid->SetOptionsView(TdxDBGrid::edgoRowSelect | TdxDBGrid::edgoIncSearch);
    grid->SortByColumn(grid->ColumnByFieldName("name"), false);
    grid->show();
    grid->View()->setFocus();
    QTest::keyClicks(grid->View(), "c");
    EXPECT_EQ(data.FieldByName("name")->AsString(), "carl");
    QTest::keyClicks(grid->View(), "e");
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Cecil");
    EXPECT_EQ(grid->SearchText(), "ce");
    // No match: the row stays and the typed text is not taken.
    QTest::keyClicks(grid->View(), "x");
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Cecil");
    EXPECT_EQ(grid->SearchText(), "ce");
    QTest::keyClick(grid->View(), Qt::Key_Backspace);
    EXPECT_EQ(grid->SearchText(), "c");
    // Another key starts over; the search goes on from the current row and wraps.
    QTest::keyClick(grid->View(), Qt::Key_Down);
    EXPECT_EQ(grid->SearchText(), "");
    QTest::keyClicks(grid->View(), "a");
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Anna");
    // A Shift selection after a search starts at the row found, and a capital letter (typed with
    // Shift) still selects the found row alone.
    grid->SetOptionsView(TdxDBGrid::edgoRowSelect | TdxDBGrid::edgoIncSearch | TdxDBGrid::edgoMultiSelect);
    grid->View()->setCurrentIndex(grid->View()->model()->index(0, 0)); // Anna
    QTest::keyClicks(grid->View(), "C", Qt::ShiftModifier);            // carl, fourth
    EXPECT_EQ(grid->SelectedCount(), 1);
    QTest::keyClick(grid->View(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(grid->SelectedCount(), 2);
}

TEST_F(GridTest, ColumnFilterListsTheValuesAndCanBeRemoved) {
    bindThreeColumns();
    grid->SetFiltering(true);
    grid->ColumnByFieldName("amount")->SetSummaryFooterType(cstSum);
    grid->show();
    TdxDBGridColumn* kind = grid->ColumnByFieldName("kind");
    const QRect section(grid->Header()->sectionViewportPosition(kind->Index()), 0,
                        grid->Header()->sectionSize(kind->Index()), grid->Header()->height());
    QTest::mouseClick(grid->Header()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      TdxGridHeader::FilterButtonRect(section).center());
    QMenu* menu = grid->findChild<QMenu*>("FilterMenu");
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* a : menu->actions())
        texts << a->text();
    EXPECT_EQ(texts, QStringList({"(All)", "P", "U", "V"}));
    menu->actions()[2]->trigger();
    menu->close();
    EXPECT_EQ(grid->Model()->DataRowCount(), 3);
    EXPECT_EQ(grid->SummaryText(grid->ColumnByFieldName("amount")), "101,234.75");
    EXPECT_TRUE(grid->FilterBar()->isVisible());
    EXPECT_EQ(grid->FilterText(), "kind = 'U'");
    EXPECT_TRUE(grid->Header()->StateOf(kind->Index()).filtered);

    // Another column's list offers only values of the rows the filter leaves.
    grid->DropDownFilter(grid->ColumnByFieldName("name"), QPoint(0, 0));
    const QList<QMenu*> menus = grid->findChildren<QMenu*>("FilterMenu");
    EXPECT_EQ(menus.last()->actions().size(), 4);
    menus.last()->close();

    grid->FilterBar()->findChild<QToolButton*>("ClearFilter")->click();
    EXPECT_EQ(grid->Model()->DataRowCount(), 6);
    EXPECT_FALSE(grid->FilterBar()->isVisible());
}

TEST_F(GridTest, FooterCountsRowsAndSumsMoneyWithItsFormat) {
    bindThreeColumns();
    TdxDBGridColumn* name = grid->ColumnByFieldName("name");
    TdxDBGridColumn* amount = grid->ColumnByFieldName("amount");
    name->SetSummaryFooterType(cstCount);
    amount->SetSummaryFooterType(cstSum);
    amount->SetSummaryFooterFormat(",0.00");
    grid->SetShowSummaryFooter(true);
    grid->show();
    EXPECT_TRUE(grid->Footer()->isVisible());
    EXPECT_EQ(grid->SummaryText(name), "6");
    EXPECT_EQ(grid->SummaryText(amount), "101,240.75");
    EXPECT_EQ(grid->SummaryText(grid->ColumnByFieldName("kind")), "");
    data.SetRecNo(1);
    data.Edit();
    data.FieldByName("amount")->SetAsString("-200000");
    data.Post();
    EXPECT_EQ(grid->SummaryText(amount), "-99,993.75");
    EXPECT_EQ(TdxDBGridColumn::FormatFloat(",0.00", 0.004), "0.00");
    EXPECT_EQ(TdxDBGridColumn::FormatFloat(",0.00", -0.004), "0.00");
    EXPECT_EQ(TdxDBGridColumn::FormatFloat(",0", 1234567), "1,234,567");
}

TEST_F(GridTest, LayoutSavedChangedAndRestored) {
    bindThreeColumns();
    grid->show();
    TdxDBGridColumn* name = grid->ColumnByFieldName("name");
    TdxDBGridColumn* kind = grid->ColumnByFieldName("kind");
    TdxDBGridColumn* amount = grid->ColumnByFieldName("amount");
    name->SetWidth(150);
    amount->SetVisible(false);
    grid->SortByColumn(name, false);
    grid->SortByColumn(name, true);
    grid->ShowColumnAt(kind, 0);
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("m.ini"));
    grid->SaveToIniFile(ini, "fKestrow_dxdbg");
    const QStringList before = shownNames();

    name->SetWidth(60);
    amount->SetVisible(true);
    grid->SortByColumn(amount, false);
    grid->GroupByColumn(kind, 0);
    grid->ShowColumnAt(name, 3);
    grid->LoadFromIniFile(ini, "fKestrow_dxdbg");

    EXPECT_EQ(name->Width(), 150);
    EXPECT_FALSE(amount->Visible());
    EXPECT_EQ(kind->GroupIndex(), -1);
    EXPECT_EQ(grid->SortColumns(), QList<TdxDBGridColumn*>({name}));
    EXPECT_EQ(name->SortOrder(), csDown);
    EXPECT_EQ(amount->SortOrder(), csNone);
    EXPECT_EQ(grid->VisibleColumns(), QList<TdxDBGridColumn*>({kind, name}));
    EXPECT_EQ(shownNames(), before);

    // A refresh of the data set keeps the layout.
    data.Refresh();
    EXPECT_EQ(grid->VisibleColumns(), QList<TdxDBGridColumn*>({kind, name}));
    EXPECT_EQ(grid->Header()->sectionSize(name->Index()), 150);
    EXPECT_EQ(shownNames(), before);

    // A damaged or foreign section changes nothing it cannot read.
    ini.WriteString("fKestrow_dxdbg.Column0", "Width", "wide");
    ini.WriteString("fKestrow_dxdbg.Column1", "Name", "noSuchColumn");
    grid->LoadFromIniFile(ini, "fKestrow_dxdbg");
    EXPECT_EQ(name->Width(), 150);
    grid->LoadFromIniFile(ini, "missing");
    EXPECT_EQ(grid->VisibleColumns(), QList<TdxDBGridColumn*>({kind, name}));
}

TEST_F(GridTest, AutoWidthSharesTheWidthAndFixedColumnsKeepTheirs) {
    bindThreeColumns();
    TdxDBGridColumn* name = grid->ColumnByFieldName("name");
    name->SetWidth(67);
    name->SetSizing(false);
    grid->SetOptionsView(TdxDBGrid::edgoAutoWidth);
    grid->show();
    const int viewport = grid->View()->viewport()->width();
    int total = 0;
    for (TdxDBGridColumn* c : grid->VisibleColumns())
        total += grid->Header()->sectionSize(c->Index());
    EXPECT_EQ(total, viewport);
    EXPECT_EQ(grid->Header()->sectionSize(name->Index()), 67);
    EXPECT_EQ(grid->Header()->sectionResizeMode(name->Index()), QHeaderView::Fixed);
    grid->SetOptionsView({});
    EXPECT_EQ(grid->Header()->sectionSize(grid->ColumnByFieldName("kind")->Index()),
              grid->ColumnByFieldName("kind")->Width());
}

TEST_F(GridTest, DefaultModeReadsRowsAsTheViewScrolls) {
    MemoryDataSet big;
    big.columns = {MakeColumn("id", TStorageKind::Int32, ftInteger)};
    big.generated = 1000000;
    big.generator = [](int i, TRowStore::Cell* cells) { cells[0].SetInteger(i); };
    big.Open();
    TDataSource bigSource;
    bigSource.SetDataSet(&big);
    grid->SetDataSource(&bigSource);
    grid->SetDefaultFields(true);
    grid->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
    const int first = grid->Model()->LoadedRowCount();
    EXPECT_GT(first, 0);
    EXPECT_LT(first, 1000);
    EXPECT_EQ(grid->Model()->MemoryBytes(), 0u);
    for (int i = 0; i < 3; ++i) {
        QScrollBar* bar = grid->View()->verticalScrollBar();
        bar->setValue(bar->maximum());
        QCoreApplication::processEvents();
    }
    EXPECT_GT(grid->Model()->LoadedRowCount(), first);
    EXPECT_LT(grid->Model()->LoadedRowCount(), 10000);
    // A record far away is reached without reading everything before... only up to it.
    big.SetRecNo(50000);
    EXPECT_EQ(grid->FocusedStoreRow(), 49999);
    EXPECT_LT(grid->Model()->LoadedRowCount(), 60000);
    // Load-all hands over every row.
    grid->SetOptionsDB(grid->OptionsDB() | TdxDBGrid::edgoLoadAllRecords);
    EXPECT_EQ(grid->Model()->LoadedRowCount(), 1000000);
}

TEST_F(GridTest, CellEditsPostThroughTheDataSetAndFailuresKeepTheRowInEdit) {
    bindThreeColumns();
    grid->show();
    TdxGridModel* m = grid->Model();
    grid->SetOptionsView(TdxDBGrid::edgoRowSelect);
    EXPECT_FALSE(m->flags(m->index(0, 0)) & Qt::ItemIsEditable);
    grid->SetOptionsView({});
    ASSERT_TRUE(m->flags(m->index(1, 0)) & Qt::ItemIsEditable);
    ASSERT_TRUE(m->setData(m->index(1, 0), "Annie", Qt::EditRole));
    EXPECT_EQ(data.State(), dsEdit);
    EXPECT_EQ(data.RecNo(), 2);
    EXPECT_EQ(m->index(1, 0).data().toString(), "Annie");
    grid->View()->setCurrentIndex(m->index(2, 0));
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(data.writes, QStringList({"update Annie"}));
    EXPECT_EQ(data.RecNo(), 3);

    // A write the server refuses: the message reaches the handler, the row stays in edit.
    data.failWrites = true;
    ASSERT_TRUE(m->setData(m->index(2, 0), "Bertie", Qt::EditRole));
    grid->View()->setCurrentIndex(m->index(4, 0));
    EXPECT_EQ(errors, QStringList({"The record cannot be written"}));
    EXPECT_EQ(data.State(), dsEdit);
    EXPECT_EQ(data.RecNo(), 3);
    ASSERT_TRUE(SpinUntil([&] { return grid->FocusedStoreRow() == 2; }));
    // A value the field cannot take is refused the same way.
    EXPECT_FALSE(m->setData(m->index(2, 2), "lots", Qt::EditRole));
    EXPECT_EQ(errors.size(), 2);
    grid->View()->setFocus();
    QTest::keyClick(grid->View(), Qt::Key_Escape);
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(m->index(2, 0).data().toString(), "bert");

    // Enter opens the editor; Enter in it puts the text in the record, and Enter again posts it.
    data.failWrites = false;
    grid->SetOptionsView(TdxDBGrid::edgoEnterShowEditor);
    grid->View()->setCurrentIndex(m->index(0, 0));
    QTest::keyClick(grid->View(), Qt::Key_Return);
    ASSERT_TRUE(grid->View()->IsEditing());
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->setText("Carla");
    QTest::keyClick(editor, Qt::Key_Return); // the editor commits once the key has been handled
    ASSERT_TRUE(SpinUntil([&] { return !grid->View()->IsEditing(); }));
    EXPECT_EQ(data.State(), dsEdit);
    QTest::keyClick(grid->View(), Qt::Key_Return);
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(data.writes.last(), "update Carla");
}

TEST_F(GridTest, InsertAndDownOnTheLastRowAddRecordsInTheGrid) {
    bindThreeColumns();
    grid->show();
    grid->View()->setFocus();
    TdxGridModel* m = grid->Model();
    data.SetRecNo(3);
    // Not allowed: nothing happens.
    QTest::keyClick(grid->View(), Qt::Key_Insert);
    EXPECT_EQ(data.State(), dsBrowse);
    grid->SetOptionsDB(grid->OptionsDB() | TdxDBGrid::edgoCanInsert | TdxDBGrid::edgoCanAppend);
    QTest::keyClick(grid->View(), Qt::Key_Insert);
    ASSERT_EQ(data.State(), dsInsert);
    EXPECT_EQ(m->rowCount(), 7);
    EXPECT_EQ(m->InsertRowPosition(), 2);
    EXPECT_TRUE(m->IsInsertRow(grid->View()->currentIndex()));
    ASSERT_TRUE(m->setData(m->index(2, 0), "Bea", Qt::EditRole));
    EXPECT_EQ(m->index(2, 0).data().toString(), "Bea");
    EXPECT_EQ(m->index(3, 0).data().toString(), "bert"); // the rows after it move down
    // Moving on posts the record and lands on the row that was chosen.
    grid->View()->setCurrentIndex(m->index(4, 0));
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(data.writes, QStringList({"insert Bea"}));
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Cecil");
    ASSERT_TRUE(SpinUntil([&] { return m->InsertRowPosition() < 0 && m->DataRowCount() == 7; }));
    EXPECT_EQ(shownNames(), QStringList({"carl", "Anna", "Bea", "bert", "Cecil", "anton", "Dora"}));

    // Down on the last row appends; Escape throws the new record away.
    data.Last();
    QTest::keyClick(grid->View(), Qt::Key_Down);
    ASSERT_EQ(data.State(), dsInsert);
    EXPECT_EQ(m->InsertRowPosition(), 7);
    QTest::keyClick(grid->View(), Qt::Key_Escape);
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(m->rowCount(), 7);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Dora");
    // Enter posts an appended record.
    QTest::keyClick(grid->View(), Qt::Key_Down);
    ASSERT_TRUE(m->setData(m->index(7, 0), "Zed", Qt::EditRole));
    QTest::keyClick(grid->View(), Qt::Key_Return);
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(data.RecordCount(), 8);
    EXPECT_EQ(grid->FocusedStoreRow(), 7);
    EXPECT_EQ(m->CellText(grid->FocusedStoreRow(), 0), "Zed");
}

TEST_F(GridTest, DoubleClickKeyDownAndMouseMoveEventsReachTheirHandlers) {
    bindThreeColumns();
    grid->SetOptionsView(TdxDBGrid::edgoRowSelect);
    grid->show();
    int doubleClicks = 0;
    grid->OnDblClick = [&](QObject* sender) {
        EXPECT_EQ(sender, grid.get());
        ++doubleClicks;
    };
    const QRect row = grid->View()->visualRect(grid->Model()->index(1, 0));
    QTest::mouseDClick(grid->View()->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    EXPECT_EQ(doubleClicks, 1);

    QList<int> keys;
    grid->OnKeyDown = [&](QObject*, int& key, Qt::KeyboardModifiers) {
        keys << key;
        if (key == Qt::Key_Down)
            key = 0; // handled: the grid does not move
    };
    data.First();
    QTest::keyClick(grid->View(), Qt::Key_Down);
    EXPECT_EQ(keys, QList<int>({Qt::Key_Down}));
    EXPECT_EQ(data.RecNo(), 1);

    QList<QPoint> moves;
    grid->OnMouseMove = [&](QObject*, Qt::KeyboardModifiers, int x, int y) { moves << QPoint(x, y); };
    TdxDBGridColumn* kind = grid->ColumnByFieldName("kind");
    const QPoint inHeader = sectionCenter(kind);
    QMouseEvent move(QEvent::MouseMove, QPointF(inHeader),
                     grid->Header()->viewport()->mapToGlobal(QPointF(inHeader)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(grid->Header()->viewport(), &move);
    ASSERT_EQ(moves.size(), 1);
    EXPECT_EQ(grid->HeaderColumnAt(moves.last()), kind);
    EXPECT_EQ(grid->HeaderColumnAt(grid->View()->viewport()->mapTo(grid.get(), row.center())), nullptr);

    // The header's hint is the field's display label.
    data.FieldByName("kind")->SetDisplayLabel("Kind of person");
    QHelpEvent help(QEvent::ToolTip, inHeader, grid->Header()->viewport()->mapToGlobal(inHeader));
    QCoreApplication::sendEvent(grid->Header()->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), "Kind of person");
}

TEST_F(GridTest, CtrlDeleteAsksAndDeletesTheRecord) {
    bindThreeColumns();
    grid->SetOptionsView(TdxDBGrid::edgoRowSelect);
    grid->show();
    grid->View()->setFocus();
    data.SetRecNo(2);
    // Not allowed: nothing is asked and nothing deleted.
    QTest::keyClick(grid->View(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(data.RecordCount(), 6);
    grid->SetOptionsDB(grid->OptionsDB() | TdxDBGrid::edgoCanDelete);
    QStringList asked;
    testsupport::ModalDriver cancel({[&](QWidget* w) {
        asked << testsupport::ModalDriver::Text(w);
        if (auto* box = qobject_cast<QMessageBox*>(w))
            box->reject();
    }});
    QTest::keyClick(grid->View(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(cancel.Remaining(), 0);
    EXPECT_EQ(asked, QStringList({"Delete record?"}));
    EXPECT_EQ(data.RecordCount(), 6);
    testsupport::ModalDriver ok({[&](QWidget* w) { testsupport::ModalDriver::ClickDefault(w); }});
    QTest::keyClick(grid->View(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ok.Remaining(), 0);
    EXPECT_EQ(data.RecordCount(), 5);
    EXPECT_EQ(grid->Model()->DataRowCount(), 5);
    EXPECT_EQ(shownNames(), QStringList({"carl", "bert", "Cecil", "anton", "Dora"}));
}

TEST_F(GridTest, CustomisationBoxHidesAndShowsColumnsByDragging) {
    bindThreeColumns();
    grid->show();
    TdxDBGridColumn* kind = grid->ColumnByFieldName("kind");
    grid->SetColumnsCustomizingPos(grid->mapToGlobal(QPoint(0, grid->HeaderAreaHeight())));
    grid->SetColumnsCustomizingRowCount(3);
    grid->ColumnsCustomize();
    ASSERT_TRUE(grid->ColumnsCustomizing());
    TdxColumnsCustomizeBox* box = grid->CustomizeBox();
    EXPECT_TRUE(box->Items().isEmpty());
    dropOn(box, QPoint(10, 10), kind);
    EXPECT_FALSE(kind->Visible());
    ASSERT_EQ(box->Items().size(), 1);
    EXPECT_EQ(box->Items()[0].caption, "kind");
    dropOn(grid->Header()->viewport(), QPoint(1, 5), kind);
    EXPECT_TRUE(kind->Visible());
    EXPECT_EQ(grid->VisibleColumns().first(), kind);
    EXPECT_TRUE(box->Items().isEmpty());
    grid->EndColumnsCustomizing();
    EXPECT_FALSE(grid->ColumnsCustomizing());
}

} // namespace
