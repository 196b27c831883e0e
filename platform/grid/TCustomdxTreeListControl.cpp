#include "TCustomdxTreeListControl.h"

TCustomdxTreeListControl::TCustomdxTreeListControl(QWidget* parent) : TCustomdxTreeList(parent) {}

TCustomdxTreeListControl::~TCustomdxTreeListControl() {
    // Columns owned elsewhere outlive the grid; they must not call back into it.
    for (TdxDBGridColumn* c : m_columns)
        c->m_grid = nullptr;
    m_columns.clear();
}

TdxDBGridColumn* TCustomdxTreeListControl::ColumnByName(const QString& name) const {
    for (TdxDBGridColumn* c : m_columns) {
        if (c->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return nullptr;
}

TdxDBGridColumn* TCustomdxTreeListControl::ColumnByFieldName(const QString& fieldName) const {
    for (TdxDBGridColumn* c : m_columns) {
        if (c->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return c;
    }
    return nullptr;
}

void TCustomdxTreeListControl::DestroyColumns() {
    const QList<TdxDBGridColumn*> columns = m_columns;
    m_columns.clear();
    for (TdxDBGridColumn* c : columns) {
        c->m_grid = nullptr;
        if (c->parent() == this)
            delete c;
    }
    ColumnsListChanged();
}

void TCustomdxTreeListControl::addColumn(TdxDBGridColumn* column) {
    m_columns.append(column);
    ColumnsListChanged();
}

void TCustomdxTreeListControl::removeColumn(TdxDBGridColumn* column) {
    if (m_columns.removeOne(column))
        ColumnsListChanged();
}
