// The grid's rows laid out as a flat list while nothing is grouped and as a tree while grouped:
// switching keeps the current row, the selection and the order; the flat list places, hits,
// scrolls, moves through, selects and paints rows.
#include "MemoryDataSet.h"
#include "TDataSource.h"
#include "TdxDBGrid.h"
#include "TdxGridHeader.h"
#include "TdxGridView.h"

#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class GridFlatTest : public ::testing::Test {
protected:
    MemoryDataSet data;
    TDataSource source;
    std::unique_ptr<TdxDBGrid> grid;

    void SetUp() override {
        FillPeople(data);
        data.Open();
        source.SetDataSet(&data);
        grid = std::make_unique<TdxDBGrid>(nullptr, "dxdbg");
        grid->resize(600, 300);
    }
    void TearDown() override { grid.reset(); }

    void bind(TDataSource* from) {
        grid->SetDataSource(from);
        grid->BeginUpdate();
        grid->CreateColumn("name", nullptr, "dxdbgName");
        grid->CreateColumn("kind", nullptr, "dxdbgKind");
        grid->CreateColumn("amount", nullptr, "dxdbgAmount");
        grid->EndUpdate();
        grid->SetOptionsDB(grid->OptionsDB() | TdxDBGrid::edgoLoadAllRecords);
    }
    void showGrid() {
        grid->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
        grid->View()->setFocus();
    }
    QString nameOf(int storeRow) const {
        return grid->Model()->CellText(storeRow, grid->ColumnByFieldName("name")->Index());
    }
    QStringList shownNames() const {
        QStringList names;
        for (int p = 0; p < grid->Model()->DataRowCount(); ++p)
            names << nameOf(grid->Model()->OrderedStoreRow(p));
        return names;
    }
    QStringList selectedNames() const {
        QStringList names;
        for (int r : grid->SelectedStoreRows())
            names << nameOf(r);
        names.sort(Qt::CaseInsensitive);
        return names;
    }
};

TEST_F(GridFlatTest, GroupingSwitchesBetweenListAndTreeKeepingCurrentRowSelectionAndOrder) {
    bind(&source);
    grid->SetOptionsView(TdxDBGrid::edgoRowSelect | TdxDBGrid::edgoMultiSelect);
    showGrid();
    TdxGridView* view = grid->View();
    EXPECT_TRUE(view->IsFlat());
    grid->SortByColumn(grid->ColumnByFieldName("name"), false);
    EXPECT_EQ(shownNames(), QStringList({"Anna", "anton", "bert", "carl", "Cecil", "Dora"}));
    // bert and carl selected from the keyboard, carl current.
    data.SetRecNo(3);
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "carl");
    EXPECT_EQ(selectedNames(), QStringList({"bert", "carl"}));

    grid->GroupByColumn(grid->ColumnByFieldName("kind"), 0);
    EXPECT_FALSE(view->IsFlat());
    EXPECT_EQ(grid->TopNodeCount(), 3);
    EXPECT_EQ(nameOf(grid->FocusedStoreRow()), "carl");
    EXPECT_TRUE(view->isExpanded(view->currentIndex().parent()));
    EXPECT_EQ(selectedNames(), QStringList({"bert", "carl"}));
    EXPECT_EQ(shownNames(), QStringList({"Anna", "Cecil", "anton", "bert", "carl", "Dora"}));
    EXPECT_EQ(data.FieldByName("name")->AsString(), "carl");

    // A row added to the selection in the tree comes back to the list.
    const QModelIndex dora = grid->Model()->IndexOfStoreRow(5, 0);
    view->expand(dora.parent());
    view->selectionModel()->select(dora, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid->UngroupColumn(grid->ColumnByFieldName("kind"), 1);
    EXPECT_TRUE(view->IsFlat());
    EXPECT_EQ(grid->TopNodeCount(), 6);
    EXPECT_EQ(nameOf(grid->FocusedStoreRow()), "carl");
    EXPECT_EQ(selectedNames(), QStringList({"bert", "carl", "Dora"}));
    EXPECT_EQ(shownNames(), QStringList({"Anna", "anton", "bert", "carl", "Cecil", "Dora"}));
    EXPECT_EQ(grid->VisualIndex(grid->ColumnByFieldName("kind")), 1);

    // Other rows from the data set do not inherit the selection.
    data.Close();
    data.Open();
    EXPECT_EQ(grid->SelectedCount(), 1);
    // Without multi-select only the current row is ever selected.
    grid->SetOptionsView(TdxDBGrid::edgoRowSelect);
    grid->GroupByColumn(grid->ColumnByFieldName("kind"), 0);
    EXPECT_EQ(grid->SelectedCount(), 1);
}

TEST_F(GridFlatTest, FlatRowsArePlacedHitScrolledAndMovedThroughByTheirNumber) {
    MemoryDataSet big;
    big.columns = {MakeColumn("id", TStorageKind::Int32, ftInteger),
                   MakeColumn("name", TStorageKind::Text, ftWideString),
                   MakeColumn("kind", TStorageKind::Text, ftWideString),
                   MakeColumn("amount", TStorageKind::Decimal64, ftCurrency, 4)};
    big.generated = 100000;
    big.generator = [](int i, TRowStore::Cell* cells) {
        static const std::u16string names[] = {u"alpha", u"beta", u"gamma"};
        cells[0].SetInteger(i);
        cells[1].SetData(names[i % 3].data(), uint32_t(names[i % 3].size()));
        cells[2].SetData(names[i % 2].data(), uint32_t(names[i % 2].size()));
        cells[3].SetDecimal(__int128(i) * 100);
    };
    big.Open();
    TDataSource bigSource;
    bigSource.SetDataSet(&big);
    bind(&bigSource);
    grid->SetOptionsView(TdxDBGrid::edgoRowSelect);
    showGrid();
    TdxGridView* view = grid->View();
    TdxGridModel* m = grid->Model();
    ASSERT_TRUE(view->IsFlat());

    const int h = view->visualRect(m->index(0, 0)).height();
    ASSERT_GT(h, 0);
    EXPECT_EQ(view->visualRect(m->index(0, 0)).top(), 0);
    EXPECT_EQ(view->visualRect(m->index(1, 0)).top(), h);
    const int amountX = view->columnViewportPosition(2) + 2;
    EXPECT_EQ(view->indexAt(QPoint(amountX, 3 * h + h / 2)), m->index(3, 2));
    EXPECT_FALSE(view->indexAt(QPoint(amountX, -h)).isValid());
    // The scroll bar covers every row, a screen at a time.
    const int inView = view->viewport()->height() / h;
    EXPECT_EQ(view->verticalScrollBar()->pageStep(), inView);
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 100000 - inView);

    // End, PageUp and Home move through the rows and the data set with them, keeping the row in view.
    const auto currentShown = [&] {
        const QRect r = view->visualRect(view->currentIndex());
        return view->viewport()->rect().contains(r) && view->indexAt(r.center()) == view->currentIndex();
    };
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(big.RecNo(), 100000);
    EXPECT_TRUE(currentShown());
    QTest::keyClick(view, Qt::Key_PageUp);
    EXPECT_GE(big.RecNo(), 100000 - inView - 1);
    EXPECT_LE(big.RecNo(), 100000 - inView + 1);
    EXPECT_TRUE(currentShown());
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_EQ(big.RecNo(), 1);
    EXPECT_EQ(view->verticalScrollBar()->value(), 0);

    // A record far away brings its row into view; a click two rows lower moves the data set there.
    big.SetRecNo(50000);
    EXPECT_EQ(grid->FocusedStoreRow(), 49999);
    EXPECT_TRUE(currentShown());
    const QRect below = view->visualRect(view->currentIndex().siblingAtRow(50001));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, below.center());
    EXPECT_EQ(big.RecNo(), 50002);
    // Scrolling by the bar moves the rows up by whole rows.
    view->verticalScrollBar()->setValue(70000);
    EXPECT_EQ(view->indexAt(QPoint(amountX, h / 2)).row(), 70000);
    EXPECT_EQ(view->visualRect(m->index(70002, 0)).top(), 2 * h);

    // The column sized to its contents by what the rows around the view show.
    TdxDBGridColumn* name = grid->ColumnByFieldName("name");
    name->SetWidth(12);
    view->resizeColumnToContents(name->Index());
    EXPECT_GE(view->columnWidth(name->Index()), view->fontMetrics().horizontalAdvance("gamma"));
}

TEST_F(GridFlatTest, FlatListSelectsByKeysMouseAndSelectAllAndPaintsTheSelection) {
    bind(&source);
    grid->SetOptionsView(TdxDBGrid::edgoRowSelect | TdxDBGrid::edgoMultiSelect);
    grid->SetShowGrid(true);
    showGrid();
    TdxGridView* view = grid->View();
    TdxGridModel* m = grid->Model();
    ASSERT_TRUE(view->IsFlat());
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid->SelectedCount(), 6);
    // A click selects one row; Shift+click the rows up to another; Ctrl+click adds one.
    const auto center = [&](int row) { return view->visualRect(m->index(row, 1)).center(); };
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, center(1));
    EXPECT_EQ(grid->SelectedStoreRows(), QList<int>({1}));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, center(3));
    EXPECT_EQ(grid->SelectedCount(), 3);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, center(5));
    EXPECT_EQ(grid->SelectedCount(), 4);
    EXPECT_EQ(data.RecNo(), 6);

    // Selected rows are painted in the highlight, the others on the base colour, with grid lines.
    QCoreApplication::processEvents();
    const QImage image = view->viewport()->grab().toImage();
    const int column = grid->ColumnByFieldName("amount")->Index();
    const int left = view->columnViewportPosition(column) + 3; // amounts are right-aligned
    const auto colourAt = [&](int row) {
        return image.pixel(left, view->visualRect(m->index(row, column)).center().y());
    };
    const QPalette& p = view->palette();
    const QPalette::ColorGroup g = view->isActiveWindow() ? QPalette::Active : QPalette::Inactive;
    EXPECT_EQ(colourAt(2), p.color(g, QPalette::Highlight).rgb());
    EXPECT_EQ(colourAt(3), p.color(g, QPalette::Highlight).rgb());
    EXPECT_EQ(colourAt(0), p.color(g, QPalette::Base).rgb());
    EXPECT_EQ(colourAt(4), p.color(g, QPalette::Base).rgb());
    const int lineY = view->visualRect(m->index(0, column)).bottom();
    EXPECT_EQ(image.pixel(left, lineY), p.color(QPalette::Midlight).darker(108).rgb());
    grid->SetShowGrid(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->viewport()->grab().toImage().pixel(left, lineY), p.color(g, QPalette::Base).rgb());

    // Opening everything in a flat list lays nothing out; the rows stay as they were.
    grid->FullExpand();
    EXPECT_TRUE(view->IsFlat());
    EXPECT_EQ(grid->TopNodeCount(), 6);
}

} // namespace
