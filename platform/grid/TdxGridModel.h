#pragma once
// The grid's rows: a vector of row numbers into the data set's row store, stably sorted by the
// sort columns, narrowed by the column filters, and cut into runs per group level. Each run is an
// internal node carrying its value and row count. Nothing copies rows. Without "load all" and with
// no order of its own the model reads the store in place and hands rows to its views as they scroll.
#include "TDataSet.h"
#include "TdxDBGridColumn.h"

#include <QAbstractItemModel>
#include <QMap>
#include <QPointer>

#include <functional>
#include <vector>

class TdxGridModel : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Roles {
        StoreRowRole = Qt::UserRole + 1, // the row's position in the store, -1 for a group node
        GroupRole,                       // true for a group node
        GroupValueRole,                  // the group's value as shown
        GroupCountRole,                  // data rows under the group
        GroupLevelRole,
        GroupColumnRole, // the model column the group is cut by
    };

    struct Column {
        int field = -1; // store column, -1 when the field is missing
        TdxColumnKind kind = ckText;
        QString caption;
        QString displayFormat;
        QPointer<TImageList> images;
        bool editable = true;
    };
    struct SortKey {
        int column;
        bool descending;
    };

    explicit TdxGridModel(QObject* parent = nullptr);

    void SetDataSet(TDataSet* dataSet);
    TDataSet* DataSet() const { return m_dataSet; }
    void SetColumns(const QList<Column>& columns);
    const QList<Column>& Columns() const { return m_columns; }
    void SetLoadAll(bool value);
    bool LoadAll() const { return m_loadAll; }
    void SetEditable(bool value) { m_editable = value; }
    // Order, grouping and filters; applied by Rebuild.
    void SetOrder(const QList<SortKey>& sort, const QList<int>& groupColumns);
    void SetFilter(int column, const QString& text); // empty text: no filter on the column
    void ClearFilters();
    const QMap<int, QString>& Filters() const { return m_filters; }
    // The data set's rows changed: the next Rebuild orders them from scratch.
    void RowsChanged();
    // Reads the data set's rows again and applies order, grouping and filters.
    void Rebuild();

    // Data rows after filtering, and the whole store.
    int DataRowCount() const;
    int StoreRowCount() const;
    // Rows handed to the views so far (equal to DataRowCount unless rows are read as they scroll).
    int LoadedRowCount() const;
    int GroupLevelCount() const { return int(m_groupColumns.size()); }
    int GroupNodeCount() const { return int(m_nodes.size()); }
    bool IsGroup(const QModelIndex& index) const;
    int StoreRow(const QModelIndex& index) const;
    // The index of a store row (made available to the views first); invalid when filtered out.
    QModelIndex IndexOfStoreRow(int storeRow, int column = 0);
    // Data rows in display order, from a position in the ordered vector.
    int OrderedStoreRow(int position) const;
    int PositionOfStoreRow(int storeRow) const;
    QModelIndex IndexOfPosition(int position, int column = 0);

    QString CellText(int storeRow, int column) const;
    QVariant CellValue(int storeRow, int column) const;
    // Footer: the summary over the rows shown (after filtering).
    double Sum(int column) const;
    // Distinct cell texts of a column over the rows that pass the other columns' filters, sorted.
    QStringList DistinctTexts(int column, int limit) const;
    // Bytes the model holds beyond the data set.
    size_t MemoryBytes() const;

    // Sets a cell through the data set (moving to its row and editing it; storeRow -1 is the record
    // being inserted); false when refused.
    std::function<bool(int storeRow, int column, const QVariant& value)> OnSetCell;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // The row of a record being inserted through the grid, shown at a position (ungrouped only) with
    // the values the data set holds for it; -1: none. Rebuild removes it.
    void ShowInsertRow(int position);
    int InsertRowPosition() const { return m_insertAt; }
    bool IsInsertRow(const QModelIndex& index) const;

    // Compares two store rows by a model column in the type's own order; NULL first.
    int Compare(int rowA, int rowB, int column) const;

private:
    struct Node {
        int parent;     // node number, -1 at the top
        int level;      // group level
        int first;      // position of its first row in m_rows
        int count;      // data rows under it
        int firstChild; // node number of its first child group
        int childCount; // child groups (0 on the last level)
    };

    bool identity() const { return m_rows.empty() && !m_ordered; }
    int positionRow(int position) const { return identity() ? position : m_rows[size_t(position)]; }
    // The node an index stands for (-1 for the root); -2 for a data row.
    int nodeOf(const QModelIndex& index) const;
    bool childrenAreGroups(int node) const;
    int nodeFirstPosition(int node) const { return node < 0 ? 0 : m_nodes[size_t(node)].first; }
    void buildOrder();
    void buildGroups();
    bool sortByIntegerKey(const SortKey& key);
    bool passesFilters(int storeRow, int except) const;
    QVariant groupData(int node, int column, int role) const;
    QVariant insertRowData(int column, int role) const;

    QPointer<TDataSet> m_dataSet;
    QList<Column> m_columns;
    bool m_loadAll = false;
    bool m_editable = false;
    QList<SortKey> m_sort;
    QList<int> m_groupColumns;
    QMap<int, QString> m_filters;

    bool m_ordered = false;    // m_rows holds the rows (else the store's order is used in place)
    std::vector<int> m_rows;   // store rows in display order
    std::vector<Node> m_nodes; // level by level; children of a node are consecutive
    int m_topNodes = 0;
    int m_loaded = 0; // rows handed to the views while reading as they scroll
    int m_insertAt = -1;
    bool m_rowsStale = true;      // m_rows no longer holds the data set's rows in m_appliedKeys order
    QList<SortKey> m_appliedKeys; // the order m_rows is in
};
