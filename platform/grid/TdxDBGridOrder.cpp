// The grid's order of rows and columns: sorting by header clicks, grouping through the group panel
// and by code, and where columns stand in the header.
#include "TdxDBGrid.h"
#include "TdxGridHeader.h"

#include <algorithm>

void TdxDBGrid::RegroupColumns() {
    // Group levels are renumbered without gaps, keeping their order.
    const QList<TdxDBGridColumn*> groups = GroupColumns();
    for (int i = 0; i < groups.size(); ++i)
        groups[i]->m_groupIndex = i;
    for (TdxDBGridColumn* c : groups) {
        if (c->m_sortOrder == csNone)
            c->m_sortOrder = csUp;
        if (!m_sortColumns.contains(c))
            m_sortColumns.append(c);
    }
    applyHeader();
    rebuild();
}

QList<TdxDBGridColumn*> TdxDBGrid::VisibleColumns() const {
    QList<TdxDBGridColumn*> list;
    for (int v = 0; v < m_header->count(); ++v) {
        const int logical = m_header->logicalIndex(v);
        if (!m_header->isSectionHidden(logical) && Columns(logical))
            list.append(Columns(logical));
    }
    return list;
}

int TdxDBGrid::VisualIndex(TdxDBGridColumn* column) const {
    const int i = columnIndex(column);
    return i < 0 ? -1 : m_header->visualIndex(i);
}

QList<TdxDBGridColumn*> TdxDBGrid::GroupColumns() const {
    QList<TdxDBGridColumn*> list;
    for (int i = 0; i < ColumnCount(); ++i) {
        if (Columns(i)->GroupIndex() >= 0)
            list.append(Columns(i));
    }
    std::stable_sort(list.begin(), list.end(), [](TdxDBGridColumn* a, TdxDBGridColumn* b) {
        return a->GroupIndex() < b->GroupIndex();
    });
    return list;
}

void TdxDBGrid::applyOrder() {
    QList<TdxGridModel::SortKey> sort;
    for (TdxDBGridColumn* c : m_sortColumns)
        sort.append({columnIndex(c), c->SortOrder() == csDown});
    QList<int> groups;
    for (TdxDBGridColumn* c : GroupColumns())
        groups.append(columnIndex(c));
    m_model->SetOrder(sort, groups);
}

void TdxDBGrid::SortByColumn(TdxDBGridColumn* column, bool add) {
    if (!column)
        return;
    if (!add) {
        // Grouped columns keep their order; other sort columns give way to this one.
        for (TdxDBGridColumn* c : QList<TdxDBGridColumn*>(m_sortColumns)) {
            if (c != column && c->GroupIndex() < 0) {
                c->m_sortOrder = csNone;
                m_sortColumns.removeOne(c);
            }
        }
    }
    if (column->SortOrder() == csNone) {
        column->m_sortOrder = csUp;
        m_sortColumns.append(column);
    } else {
        column->m_sortOrder = column->SortOrder() == csUp ? csDown : csUp;
    }
    rebuild();
}

void TdxDBGrid::GroupByColumn(TdxDBGridColumn* column, int position) {
    if (!column)
        return;
    QList<TdxDBGridColumn*> groups = GroupColumns();
    groups.removeOne(column);
    groups.insert(qBound(0, position, int(groups.size())), column);
    for (int i = 0; i < groups.size(); ++i)
        groups[i]->m_groupIndex = i;
    RegroupColumns();
}

void TdxDBGrid::UngroupColumn(TdxDBGridColumn* column, int visualIndex) {
    if (!column)
        return;
    column->m_groupIndex = -1;
    column->m_visible = true;
    const QList<TdxDBGridColumn*> groups = GroupColumns();
    for (int i = 0; i < groups.size(); ++i)
        groups[i]->m_groupIndex = i;
    applyHeader();
    ShowColumnAt(column, visualIndex);
    rebuild();
}

void TdxDBGrid::ShowColumnAt(TdxDBGridColumn* column, int visualIndex) {
    const int logical = columnIndex(column);
    if (logical < 0)
        return;
    column->m_visible = true;
    m_header->setSectionHidden(logical, column->GroupIndex() >= 0);
    const int from = m_header->visualIndex(logical);
    int to = visualIndex > from ? visualIndex - 1 : visualIndex;
    to = qBound(0, to, m_header->count() - 1);
    if (from != to)
        m_header->moveSection(from, to);
    applyHeader();
}
