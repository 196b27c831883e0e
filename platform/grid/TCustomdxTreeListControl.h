#pragma once
// A tree list with columns under a header row, and the column customisation box from which hidden
// columns are dragged back onto the header.
#include "TCustomdxTreeList.h"
#include "TdxDBGridColumn.h"

#include <QList>
#include <QPoint>

class TCustomdxTreeListControl : public TCustomdxTreeList {
    Q_OBJECT

public:
    explicit TCustomdxTreeListControl(QWidget* parent = nullptr);
    ~TCustomdxTreeListControl() override;

    int ColumnCount() const { return int(m_columns.size()); }
    TdxDBGridColumn* Columns(int index) const { return m_columns.value(index); }
    TdxDBGridColumn* ColumnByName(const QString& name) const;
    TdxDBGridColumn* ColumnByFieldName(const QString& fieldName) const;
    // Frees the columns the grid owns and forgets the others.
    void DestroyColumns();

    // Height of the column header row; 0 when it is hidden.
    virtual int HeaderAreaHeight() const = 0;

    // The column customisation box: where it opens (screen coordinates), how many rows it shows.
    QPoint ColumnsCustomizingPos() const { return m_customizingPos; }
    void SetColumnsCustomizingPos(QPoint value) { m_customizingPos = value; }
    int ColumnsCustomizingRowCount() const { return m_customizingRowCount; }
    void SetColumnsCustomizingRowCount(int value) { m_customizingRowCount = qMax(1, value); }
    virtual bool ColumnsCustomizing() const = 0;
    virtual void ColumnsCustomize() = 0;
    virtual void EndColumnsCustomizing() = 0;

protected:
    // A column's settings changed; structural: sorting, grouping or the field changed.
    virtual void ColumnChanged(TdxDBGridColumn* column, bool structural) = 0;
    virtual void ColumnsListChanged() = 0;

private:
    friend class TdxDBGridColumn;
    void addColumn(TdxDBGridColumn* column);
    void removeColumn(TdxDBGridColumn* column);

    QList<TdxDBGridColumn*> m_columns;
    QPoint m_customizingPos;
    int m_customizingRowCount = 8;
};
