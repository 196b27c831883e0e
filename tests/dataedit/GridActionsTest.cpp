// The grid actions: group panel, automatic column width, column customisation and expand/collapse,
// each worked from its tool bar button against a real grid over an in-memory data set.
#include "../platform/grid/MemoryDataSet.h"
#include "TApplication.h"
#include "TDataSource.h"
#include "TdxGridHeader.h"
#include "TdxGridView.h"
#include "TdxGroupPanel.h"
#include "uLumdxActions.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

// A tree list that is not a grid: it counts what it is asked to do.
class CountingTreeList : public TCustomdxTreeList {
public:
    int nodes = 0, expands = 0, collapses = 0;
    int TopNodeCount() const override { return nodes; }
    void FullExpand() override { ++expands; }
    void FullCollapse() override { ++collapses; }
};

class GridActionsTest : public ::testing::Test {
protected:
    MemoryDataSet data;
    TDataSource source;
    std::unique_ptr<TdxDBGrid> grid;

    void SetUp() override {
        FillPeople(data);
        data.Open();
        source.SetDataSet(&data);
        grid = std::make_unique<TdxDBGrid>(nullptr, "dxDBGrid");
        grid->SetDataSource(&source);
        grid->SetDefaultFields(true);
        grid->resize(500, 300);
        grid->show();
    }
};

TEST_F(GridActionsTest, WithoutAControlNothingHappensAndTheActionIsNotAvailable) {
    TLumdxGridShowGroupPanel panel;
    TLumdxGridAutoColWidth width;
    TLumdxGridColCustomize customize;
    TLumdxFullExpand expand;
    for (TAction* a : QList<TAction*>{&panel, &width, &customize, &expand}) {
        EXPECT_FALSE(a->HandlesTarget(grid.get()));
        EXPECT_FALSE(a->Execute());
        a->trigger();
    }
    EXPECT_FALSE(grid->ShowGroupPanel());
    EXPECT_FALSE(grid->ColumnsCustomizing());
    EXPECT_TRUE(panel.AutoCheck());
    EXPECT_TRUE(width.AutoCheck());
    EXPECT_FALSE(customize.AutoCheck());
    EXPECT_TRUE(expand.AutoCheck());
}

TEST_F(GridActionsTest, GroupPanelButtonShowsAndHidesThePanelWhateverHasTheFocus) {
    TLumdxGridShowGroupPanel action(nullptr, "adxShowGroupPanel");
    action.SetdxDBGrid(grid.get());
    QWidget other;
    EXPECT_TRUE(action.HandlesTarget(&other));
    EXPECT_TRUE(action.HandlesTarget(nullptr));
    action.trigger();
    EXPECT_TRUE(action.Checked());
    EXPECT_TRUE(grid->ShowGroupPanel());
    EXPECT_TRUE(grid->GroupPanel()->isVisible());
    action.trigger();
    EXPECT_FALSE(action.Checked());
    EXPECT_FALSE(grid->GroupPanel()->isVisible());
    // The stored property reads back through reflection as the settings storage uses it.
    grid->setProperty("ShowGroupPanel", true);
    EXPECT_TRUE(grid->property("ShowGroupPanel").toBool());
    EXPECT_TRUE(grid->GroupPanel()->isVisible());
}

TEST_F(GridActionsTest, AutoWidthActionReadsTheGridsStateAndSwitchesIt) {
    TLumdxGridAutoColWidth action;
    action.SetChecked(true);
    action.SetdxDBGrid(grid.get()); // automatic width is off
    EXPECT_FALSE(action.Checked());
    action.trigger();
    EXPECT_TRUE(grid->OptionsView().testFlag(TdxDBGrid::edgoAutoWidth));
    grid->SetOptionsView(TdxDBGrid::edgoAutoWidth);
    TLumdxGridAutoColWidth second;
    second.SetdxDBGrid(grid.get());
    EXPECT_TRUE(second.Checked());
    second.trigger();
    EXPECT_FALSE(grid->OptionsView().testFlag(TdxDBGrid::edgoAutoWidth));

    // Another kind of tree list is left alone, and does not change the checked state.
    CountingTreeList list;
    TLumdxGridAutoColWidth third;
    third.SetdxDBGrid(&list);
    EXPECT_FALSE(third.Checked());
    EXPECT_TRUE(third.HandlesTarget(nullptr));
    third.trigger();
    EXPECT_TRUE(third.Checked());
}

TEST_F(GridActionsTest, CustomiseButtonOpensTheBoxUnderTheHeadersAndClosesItAgain) {
    TLumdxGridColCustomize action;
    action.SetdxDBGrid(grid.get());
    action.trigger();
    ASSERT_TRUE(grid->ColumnsCustomizing());
    EXPECT_FALSE(action.Checked());
    const int headerBottom = grid->Header()->mapTo(grid.get(), QPoint(0, grid->Header()->height())).y();
    EXPECT_EQ(grid->HeaderAreaHeight(), headerBottom);
    EXPECT_EQ(grid->ColumnsCustomizingPos(), grid->mapToGlobal(QPoint(0, headerBottom)));
    EXPECT_EQ(grid->ColumnsCustomizingRowCount(), grid->ColumnCount());
    action.trigger();
    EXPECT_FALSE(grid->ColumnsCustomizing());

    // With the group panel shown the box still opens under the headers; without headers at the top.
    grid->SetShowGroupPanel(true);
    QCoreApplication::processEvents();
    action.trigger();
    EXPECT_GT(grid->HeaderAreaHeight(), headerBottom);
    EXPECT_EQ(grid->ColumnsCustomizingPos().y(),
              grid->Header()->mapToGlobal(QPoint(0, grid->Header()->height())).y());
    action.trigger();
    grid->SetShowHeader(false);
    action.trigger();
    EXPECT_EQ(grid->ColumnsCustomizingPos(), grid->mapToGlobal(QPoint(0, 0)));
    action.trigger();
}

TEST_F(GridActionsTest, ExpandButtonExpandsTheWholeTreeAndCollapsesItAgain) {
    TdxDBGridColumn* kind = grid->ColumnByFieldName("kind");
    TdxDBGridColumn* active = grid->ColumnByFieldName("active");
    grid->GroupByColumn(kind, 0);
    grid->GroupByColumn(active, 1);
    grid->FullCollapse();
    TLumdxFullExpand action;
    action.SetdxControl(grid.get());
    action.trigger();
    EXPECT_TRUE(action.Checked());
    TdxGridModel* m = grid->Model();
    ASSERT_EQ(m->rowCount(), 3);
    for (int r = 0; r < m->rowCount(); ++r) {
        const QModelIndex top = m->index(r, 0);
        EXPECT_TRUE(grid->View()->isExpanded(top));
        for (int c = 0; c < m->rowCount(top); ++c)
            EXPECT_TRUE(grid->View()->isExpanded(m->index(c, 0, top)));
    }
    action.trigger();
    for (int r = 0; r < m->rowCount(); ++r)
        EXPECT_FALSE(grid->View()->isExpanded(m->index(r, 0)));

    // A control without nodes is left alone.
    CountingTreeList list;
    TLumdxFullExpand other;
    other.SetdxControl(&list);
    other.trigger();
    EXPECT_EQ(list.expands + list.collapses, 0);
    list.nodes = 2;
    other.trigger();
    EXPECT_EQ(list.collapses, 1);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
