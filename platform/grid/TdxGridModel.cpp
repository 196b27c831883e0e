#include "TdxGridModel.h"

#include "TField.h"
#include "TImageList.h"
#include "Variants.h"

#include <QIcon>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace {

// Rows handed to the views at a time while they are read as the views scroll.
constexpr int kFetchChunk = 256;

char16_t unitAt(const unsigned char* p, uint32_t i) {
    char16_t c;
    std::memcpy(&c, p + size_t(i) * 2, 2);
    return c;
}

char16_t folded(char16_t c) {
    if (c < 128)
        return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c;
    return QChar::toCaseFolded(c);
}

// Text in the order of a case-insensitive collation: letters compare without their case.
int compareText(const unsigned char* a, uint32_t na, const unsigned char* b, uint32_t nb) {
    const uint32_t n = std::min(na, nb);
    for (uint32_t i = 0; i < n; ++i) {
        const char16_t ca = unitAt(a, i), cb = unitAt(b, i);
        if (ca == cb)
            continue;
        const char16_t fa = folded(ca), fb = folded(cb);
        if (fa != fb)
            return fa < fb ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

template <class T> int three(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

TdxGridModel::TdxGridModel(QObject* parent) : QAbstractItemModel(parent) {}

void TdxGridModel::SetDataSet(TDataSet* dataSet) {
    m_dataSet = dataSet;
    m_rowsStale = true;
}

void TdxGridModel::SetColumns(const QList<Column>& columns) {
    beginResetModel();
    m_columns = columns;
    m_rowsStale = true;
    // Order and filters refer to columns by position; drop what no longer exists.
    m_sort.removeIf([&](const SortKey& k) { return k.column >= columns.size(); });
    m_groupColumns.removeIf([&](int c) { return c >= columns.size(); });
    for (auto it = m_filters.begin(); it != m_filters.end();)
        it = it.key() >= columns.size() ? m_filters.erase(it) : std::next(it);
    endResetModel();
}

void TdxGridModel::SetLoadAll(bool value) {
    m_loadAll = value;
}

void TdxGridModel::SetOrder(const QList<SortKey>& sort, const QList<int>& groupColumns) {
    m_sort = sort;
    m_groupColumns = groupColumns;
}

void TdxGridModel::RowsChanged() {
    m_rowsStale = true;
}

void TdxGridModel::SetFilter(int column, const QString& text) {
    m_rowsStale = true;
    if (text.isNull())
        m_filters.remove(column);
    else
        m_filters[column] = text;
}

void TdxGridModel::ClearFilters() {
    m_rowsStale = true;
    m_filters.clear();
}

int TdxGridModel::StoreRowCount() const {
    return m_dataSet && m_dataSet->Active() ? m_dataSet->Store().RowCount() : 0;
}

int TdxGridModel::DataRowCount() const {
    return m_ordered ? int(m_rows.size()) : StoreRowCount();
}

int TdxGridModel::LoadedRowCount() const {
    if (m_loadAll || !m_groupColumns.isEmpty())
        return DataRowCount();
    return m_loaded;
}

void TdxGridModel::ShowInsertRow(int position) {
    if (!m_groupColumns.isEmpty() || m_insertAt == position)
        return;
    if (m_insertAt >= 0) {
        beginRemoveRows({}, m_insertAt, m_insertAt);
        m_insertAt = -1;
        endRemoveRows();
    }
    if (position < 0)
        return;
    position = std::min(position, LoadedRowCount());
    beginInsertRows({}, position, position);
    m_insertAt = position;
    endInsertRows();
}

bool TdxGridModel::IsInsertRow(const QModelIndex& index) const {
    return m_insertAt >= 0 && index.isValid() && index.internalId() == 0 && index.row() == m_insertAt;
}

void TdxGridModel::Rebuild() {
    beginResetModel();
    m_insertAt = -1;
    buildOrder();
    buildGroups();
    m_loaded = std::min(DataRowCount(), kFetchChunk);
    endResetModel();
}

bool TdxGridModel::passesFilters(int storeRow, int except) const {
    for (auto it = m_filters.cbegin(); it != m_filters.cend(); ++it) {
        if (it.key() != except && CellText(storeRow, it.key()) != it.value())
            return false;
    }
    return true;
}

void TdxGridModel::buildOrder() {
    const bool wasOrdered = m_ordered;
    m_ordered = !m_sort.isEmpty() || !m_groupColumns.isEmpty() || !m_filters.isEmpty();
    if (!m_ordered) {
        m_rows.clear();
        m_rows.shrink_to_fit();
        m_appliedKeys.clear();
        return;
    }
    // Group columns lead, in the direction their sort order gives; then the other sort columns.
    QList<SortKey> keys;
    for (int g : m_groupColumns) {
        bool descending = false;
        for (const SortKey& k : m_sort) {
            if (k.column == g)
                descending = k.descending;
        }
        keys.append({g, descending});
    }
    for (const SortKey& k : m_sort) {
        if (!m_groupColumns.contains(k.column))
            keys.append(k);
    }
    keys.removeIf([&](const SortKey& k) { return m_columns[k.column].field < 0; });
    const auto same = [](const SortKey& a, const SortKey& b) {
        return a.column == b.column && a.descending == b.descending;
    };
    // The same rows already in an order that the new keys only extend at the front (a group added
    // over a sort, say): a stable sort by the new leading keys keeps the rest of the order.
    qsizetype lead = keys.size();
    if (wasOrdered && !m_rowsStale && keys.size() >= m_appliedKeys.size()) {
        const qsizetype offset = keys.size() - m_appliedKeys.size();
        bool suffix = true;
        for (qsizetype i = 0; i < m_appliedKeys.size() && suffix; ++i)
            suffix = same(keys[offset + i], m_appliedKeys[i]);
        if (suffix)
            lead = offset;
    }
    if (lead == keys.size()) {
        const int total = StoreRowCount();
        m_rows.clear();
        m_rows.resize(size_t(total));
        std::iota(m_rows.begin(), m_rows.end(), 0);
        if (!m_filters.isEmpty())
            std::erase_if(m_rows, [&](int r) { return !passesFilters(r, -1); });
        m_rows.shrink_to_fit();
    }
    m_rowsStale = false;
    m_appliedKeys = keys;
    if (lead == 0)
        return;
    const QList<SortKey> sortBy = keys.mid(0, lead);
    if (sortBy.size() == 1 && sortByIntegerKey(sortBy[0]))
        return;
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](int a, int b) {
        for (const SortKey& k : sortBy) {
            const int c = Compare(a, b, k.column);
            if (c != 0)
                return k.descending ? c > 0 : c < 0;
        }
        return false;
    });
}

bool TdxGridModel::sortByIntegerKey(const SortKey& key) {
    // One key held as an integer: read each row's key once, in order, and sort the pairs, so the
    // sort touches contiguous memory instead of a row record per comparison.
    const int f = m_columns[key.column].field;
    const TRowStore& s = m_dataSet->Store();
    const TStorageKind kind = s.Columns()[f].kind;
    const bool integer = kind == TStorageKind::Int32 || kind == TStorageKind::Int64 ||
                         kind == TStorageKind::Bool || kind == TStorageKind::DateTime ||
                         kind == TStorageKind::Date || kind == TStorageKind::Time ||
                         kind == TStorageKind::Decimal64;
    if (!integer)
        return false;
    std::vector<std::pair<int64_t, int>> pairs(m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const int r = m_rows[i];
        // NULL first, as Compare orders it.
        const int64_t v = s.IsNull(r, f)                    ? std::numeric_limits<int64_t>::min()
                          : kind == TStorageKind::Decimal64 ? int64_t(s.Decimal(r, f))
                                                            : s.Integer(r, f);
        pairs[i] = {v, r};
    }
    if (key.descending)
        std::stable_sort(pairs.begin(), pairs.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
    else
        std::stable_sort(pairs.begin(), pairs.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < pairs.size(); ++i)
        m_rows[i] = pairs[i].second;
    return true;
}

void TdxGridModel::buildGroups() {
    m_nodes.clear();
    m_nodes.shrink_to_fit();
    m_topNodes = 0;
    if (m_groupColumns.isEmpty())
        return;
    const auto cut = [&](int parent, int level, int first, int count) {
        const int column = m_groupColumns[level];
        for (int i = first; i < first + count; ++i) {
            if (i == first || Compare(m_rows[size_t(i - 1)], m_rows[size_t(i)], column) != 0)
                m_nodes.push_back({parent, level, i, 0, -1, 0});
            ++m_nodes.back().count;
        }
    };
    cut(-1, 0, 0, int(m_rows.size()));
    m_topNodes = int(m_nodes.size());
    size_t levelStart = 0;
    for (int level = 1; level < m_groupColumns.size(); ++level) {
        const size_t levelEnd = m_nodes.size();
        for (size_t n = levelStart; n < levelEnd; ++n) {
            const int before = int(m_nodes.size());
            const Node parent = m_nodes[n];
            cut(int(n), level, parent.first, parent.count);
            m_nodes[n].firstChild = before;
            m_nodes[n].childCount = int(m_nodes.size()) - before;
        }
        levelStart = levelEnd;
    }
}

int TdxGridModel::Compare(int a, int b, int column) const {
    const int f = m_columns[column].field;
    if (f < 0)
        return 0;
    const TRowStore& s = m_dataSet->Store();
    const bool nullA = s.IsNull(a, f), nullB = s.IsNull(b, f);
    if (nullA || nullB)
        return nullA == nullB ? 0 : (nullA ? -1 : 1);
    switch (s.Columns()[f].kind) {
    case TStorageKind::Int32:
    case TStorageKind::Int64:
    case TStorageKind::Bool:
    case TStorageKind::DateTime:
    case TStorageKind::Date:
    case TStorageKind::Time:
        return three(s.Integer(a, f), s.Integer(b, f));
    case TStorageKind::Double:
        return three(s.Real(a, f), s.Real(b, f));
    case TStorageKind::Decimal64:
    case TStorageKind::Decimal128:
        return three(s.Decimal(a, f), s.Decimal(b, f));
    case TStorageKind::Text: {
        uint32_t na = 0, nb = 0;
        const unsigned char* pa = s.TextData(a, f, na);
        const unsigned char* pb = s.TextData(b, f, nb);
        return compareText(pa, na, pb, nb);
    }
    case TStorageKind::Guid:
    case TStorageKind::Binary:
        return three(s.Bytes(a, f), s.Bytes(b, f));
    }
    return 0;
}

bool TdxGridModel::childrenAreGroups(int node) const {
    if (m_nodes.empty())
        return false;
    const int level = node < 0 ? 0 : m_nodes[size_t(node)].level + 1;
    return level < m_groupColumns.size();
}

int TdxGridModel::nodeOf(const QModelIndex& index) const {
    if (!index.isValid())
        return -1;
    const int p = int(index.internalId()) - 1;
    if (!childrenAreGroups(p))
        return -2;
    return (p < 0 ? 0 : m_nodes[size_t(p)].firstChild) + index.row();
}

bool TdxGridModel::IsGroup(const QModelIndex& index) const {
    return nodeOf(index) >= 0;
}

int TdxGridModel::StoreRow(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this)
        return -1;
    const int p = int(index.internalId()) - 1;
    if (childrenAreGroups(p) || IsInsertRow(index))
        return -1;
    const int shift = m_insertAt >= 0 && p < 0 && index.row() > m_insertAt ? 1 : 0;
    return positionRow(nodeFirstPosition(p) + index.row() - shift);
}

int TdxGridModel::OrderedStoreRow(int position) const {
    return position >= 0 && position < DataRowCount() ? positionRow(position) : -1;
}

int TdxGridModel::PositionOfStoreRow(int storeRow) const {
    if (storeRow < 0 || storeRow >= StoreRowCount())
        return -1;
    if (identity())
        return storeRow;
    const auto it = std::find(m_rows.begin(), m_rows.end(), storeRow);
    return it == m_rows.end() ? -1 : int(it - m_rows.begin());
}

QModelIndex TdxGridModel::IndexOfStoreRow(int storeRow, int column) {
    return IndexOfPosition(PositionOfStoreRow(storeRow), column);
}

QModelIndex TdxGridModel::IndexOfPosition(int position, int column) {
    if (position < 0 || position >= DataRowCount() || column < 0 || column >= m_columns.size())
        return {};
    if (m_groupColumns.isEmpty()) {
        if (!m_loadAll && position >= m_loaded) {
            const int upTo = std::min(DataRowCount(), (position / kFetchChunk + 1) * kFetchChunk);
            const int shift = m_insertAt >= 0 ? 1 : 0;
            beginInsertRows({}, m_loaded + shift, upTo - 1 + shift);
            m_loaded = upTo;
            endInsertRows();
        }
        return createIndex(position + (m_insertAt >= 0 && position >= m_insertAt ? 1 : 0), column,
                           quintptr(0));
    }
    // The groups of the last level hold the rows, in order of their first row.
    const auto leaves = std::partition_point(m_nodes.begin(), m_nodes.end(),
                                             [&](const Node& n) { return n.level < m_groupColumns.size() - 1; });
    const auto it = std::upper_bound(leaves, m_nodes.end(), position,
                                     [](int pos, const Node& n) { return pos < n.first; });
    const int leaf = int(it - m_nodes.begin()) - 1;
    return createIndex(position - m_nodes[size_t(leaf)].first, column, quintptr(leaf + 1));
}

QModelIndex TdxGridModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= m_columns.size())
        return {};
    const int p = nodeOf(parent);
    if (p == -2 || row >= rowCount(parent))
        return {};
    return createIndex(row, column, quintptr(p + 1));
}

QModelIndex TdxGridModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return {};
    const int p = int(child.internalId()) - 1;
    if (p < 0)
        return {};
    const int pp = m_nodes[size_t(p)].parent;
    const int base = pp < 0 ? 0 : m_nodes[size_t(pp)].firstChild;
    return createIndex(p - base, 0, quintptr(pp + 1));
}

int TdxGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() > 0)
        return 0;
    const int node = nodeOf(parent);
    if (node == -2)
        return 0;
    if (childrenAreGroups(node))
        return node < 0 ? m_topNodes : m_nodes[size_t(node)].childCount;
    return node < 0 ? LoadedRowCount() + (m_insertAt >= 0 ? 1 : 0) : m_nodes[size_t(node)].count;
}

int TdxGridModel::columnCount(const QModelIndex&) const {
    return int(m_columns.size());
}

bool TdxGridModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid())
        return rowCount(parent) > 0;
    return parent.column() == 0 && nodeOf(parent) >= 0;
}

QString TdxGridModel::CellText(int storeRow, int column) const {
    const Column& c = m_columns[column];
    if (c.field < 0 || !m_dataSet)
        return {};
    const TRowStore& s = m_dataSet->Store();
    if (m_dataSet->State() == dsEdit && storeRow == m_dataSet->RecNo() - 1) {
        // The record being edited shows what was typed, not what is stored.
        const QVariant v = m_dataSet->FieldValue(c.field);
        if (IsNullOrUnassigned(v))
            return {};
        if ((c.kind == ckNumber || c.kind == ckCurrency) && !c.displayFormat.isEmpty())
            return TdxDBGridColumn::FormatFloat(c.displayFormat, v.toDouble());
        return TField::VariantText(v);
    }
    if (s.IsNull(storeRow, c.field))
        return {};
    if ((c.kind == ckNumber || c.kind == ckCurrency) && !c.displayFormat.isEmpty())
        return TdxDBGridColumn::FormatFloat(c.displayFormat, s.Real(storeRow, c.field));
    return s.Text(storeRow, c.field);
}

QVariant TdxGridModel::CellValue(int storeRow, int column) const {
    const Column& c = m_columns[column];
    if (c.field < 0 || !m_dataSet)
        return {};
    if (m_dataSet->State() == dsEdit && storeRow == m_dataSet->RecNo() - 1)
        return m_dataSet->FieldValue(c.field);
    return m_dataSet->Store().Value(storeRow, c.field);
}

QVariant TdxGridModel::groupData(int node, int column, int role) const {
    const Node& n = m_nodes[size_t(node)];
    const int groupColumn = m_groupColumns[n.level];
    switch (role) {
    case Qt::DisplayRole:
        if (column != 0)
            return {};
        return QStringLiteral("%1 : %2 (%3)")
            .arg(m_columns[groupColumn].caption, groupData(node, 0, GroupValueRole).toString())
            .arg(n.count);
    case GroupRole:
        return true;
    case GroupValueRole: {
        const int row = m_rows[size_t(n.first)];
        return m_dataSet->Store().IsNull(row, m_columns[groupColumn].field) ? QStringLiteral("(Blanks)")
                                                                            : CellText(row, groupColumn);
    }
    case GroupCountRole:
        return n.count;
    case GroupLevelRole:
        return n.level;
    case GroupColumnRole:
        return groupColumn;
    case StoreRowRole:
        return -1;
    default:
        return {};
    }
}

QVariant TdxGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_dataSet || !m_dataSet->Active())
        return {};
    const int node = nodeOf(index);
    if (node >= 0)
        return groupData(node, index.column(), role);
    if (IsInsertRow(index))
        return insertRowData(index.column(), role);
    const int row = StoreRow(index);
    if (row < 0 || row >= StoreRowCount())
        return {};
    const Column& c = m_columns[index.column()];
    switch (role) {
    case Qt::DisplayRole:
        return c.kind == ckCheck || c.kind == ckImage ? QVariant() : QVariant(CellText(row, index.column()));
    case Qt::EditRole: {
        const QVariant v = CellValue(row, index.column());
        return v.isNull() ? QVariant() : v;
    }
    case Qt::CheckStateRole:
        if (c.kind != ckCheck || c.field < 0)
            return {};
        return m_dataSet->Store().IsNull(row, c.field) || !m_dataSet->Store().Integer(row, c.field)
                   ? Qt::Unchecked
                   : Qt::Checked;
    case Qt::DecorationRole:
        if (c.kind != ckImage || !c.images || c.field < 0 || m_dataSet->Store().IsNull(row, c.field))
            return {};
        return c.images->Icon(int(m_dataSet->Store().Integer(row, c.field)));
    case Qt::TextAlignmentRole:
        if (c.kind == ckNumber || c.kind == ckCurrency)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (c.kind == ckCheck || c.kind == ckImage)
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case StoreRowRole:
        return row;
    case GroupRole:
        return false;
    default:
        return {};
    }
}

QVariant TdxGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_columns.size())
        return m_columns[section].caption;
    return {};
}

QVariant TdxGridModel::insertRowData(int column, int role) const {
    const Column& c = m_columns[column];
    if (c.field < 0 || m_dataSet->State() != dsInsert)
        return {};
    const QVariant v = m_dataSet->FieldValue(c.field);
    switch (role) {
    case Qt::DisplayRole:
        if (IsNullOrUnassigned(v) || c.kind == ckCheck || c.kind == ckImage)
            return {};
        if ((c.kind == ckNumber || c.kind == ckCurrency) && !c.displayFormat.isEmpty())
            return TdxDBGridColumn::FormatFloat(c.displayFormat, v.toDouble());
        return TField::VariantText(v);
    case Qt::EditRole:
        return IsNullOrUnassigned(v) ? QVariant() : v;
    case Qt::CheckStateRole:
        return c.kind == ckCheck ? (v.toBool() ? Qt::Checked : Qt::Unchecked) : QVariant();
    case StoreRowRole:
        return -1;
    case GroupRole:
        return false;
    default:
        return {};
    }
}

Qt::ItemFlags TdxGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (IsGroup(index))
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const Column& c = m_columns[index.column()];
    if (m_editable && c.editable && c.field >= 0 && c.kind != ckImage)
        f |= c.kind == ckCheck ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return f;
}

bool TdxGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int row = IsInsertRow(index) ? -1 : StoreRow(index);
    if ((row < 0 && !IsInsertRow(index)) || !OnSetCell)
        return false;
    QVariant v = value;
    if (role == Qt::CheckStateRole)
        v = value.toInt() == Qt::Checked;
    else if (role != Qt::EditRole)
        return false;
    return OnSetCell(row, index.column(), v);
}

bool TdxGridModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !m_loadAll && m_groupColumns.isEmpty() && m_loaded < DataRowCount();
}

void TdxGridModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    const int upTo = std::min(DataRowCount(), m_loaded + kFetchChunk);
    const int shift = m_insertAt >= 0 ? 1 : 0;
    beginInsertRows({}, m_loaded + shift, upTo - 1 + shift);
    m_loaded = upTo;
    endInsertRows();
}

double TdxGridModel::Sum(int column) const {
    const int f = m_columns[column].field;
    if (f < 0 || !m_dataSet)
        return 0;
    const TRowStore& s = m_dataSet->Store();
    const int n = DataRowCount();
    const TStorageKind kind = s.Columns()[f].kind;
    if (kind == TStorageKind::Decimal64 || kind == TStorageKind::Decimal128) {
        // Exact over the unscaled values, so money adds up to the cent.
        __int128 total = 0;
        for (int i = 0; i < n; ++i) {
            const int r = positionRow(i);
            if (!s.IsNull(r, f))
                total += s.Decimal(r, f);
        }
        double scale = 1;
        for (int i = 0; i < s.Columns()[f].scale; ++i)
            scale *= 10;
        return double(total) / scale;
    }
    double total = 0;
    for (int i = 0; i < n; ++i) {
        const int r = positionRow(i);
        if (!s.IsNull(r, f))
            total += s.Real(r, f);
    }
    return total;
}

QStringList TdxGridModel::DistinctTexts(int column, int limit) const {
    QSet<QString> seen;
    const int total = StoreRowCount();
    for (int r = 0; r < total && seen.size() < limit; ++r) {
        if (passesFilters(r, column))
            seen.insert(CellText(r, column));
    }
    QStringList list(seen.begin(), seen.end());
    std::sort(list.begin(), list.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return list;
}

size_t TdxGridModel::MemoryBytes() const {
    return m_rows.capacity() * sizeof(int) + m_nodes.capacity() * sizeof(Node);
}
