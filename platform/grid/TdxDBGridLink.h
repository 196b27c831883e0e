#pragma once
// The grid's data link: passes the data set's notifications on to the grid.
#include "TdxDBGrid.h"
#include "TdxGridView.h"

class TdxDBGrid::Link : public TDataLink {
public:
    explicit Link(TdxDBGrid* grid) : m_grid(grid) {}

protected:
    void ActiveChanged() override { m_grid->dataSetActiveChanged(); }
    void DataSetChanged() override { m_grid->dataSetChanged(); }
    void DataSetScrolled(int) override { m_grid->dataSetScrolled(); }
    void LayoutChanged() override { m_grid->layoutChanged(); }
    void EditingChanged() override {
        // A post or a cancel may have changed the rows or their order.
        if (!Editing())
            m_grid->m_dirty = true;
        m_grid->m_view->viewport()->update();
    }
    void RecordChanged(TField*) override { m_grid->m_view->viewport()->update(); }

private:
    TdxDBGrid* m_grid;
};
