#include "TRowStore.h"

#include "EDatabaseError.h"
#include "Variants.h"

#include <QDateTime>
#include <QUuid>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

namespace {

// Blocks grow from small (a query of a few rows takes little) to this size: one huge page, so a
// large result costs few page faults.
constexpr size_t kBlockBytes = size_t(2) << 20;
constexpr size_t kFirstBlockBytes = size_t(16) << 10;
constexpr int64_t kMicrosPerDay = int64_t(86400) * 1000000;
constexpr int64_t kJulianDay1970 = 2440588;

int slotBytes(TStorageKind k) {
    switch (k) {
    case TStorageKind::Bool:
        return 1;
    case TStorageKind::Int32:
    case TStorageKind::Date:
    case TStorageKind::Text:
    case TStorageKind::Binary:
        return 4;
    case TStorageKind::Decimal128:
    case TStorageKind::Guid:
        return 16;
    default:
        return 8;
    }
}

bool isVariable(TStorageKind k) {
    return k == TStorageKind::Text || k == TStorageKind::Binary;
}

template <class T> T load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

__int128 pow10(int n) {
    __int128 r = 1;
    while (n-- > 0)
        r *= 10;
    return r;
}

} // namespace

TRowStore::TRowStore() = default;
TRowStore::~TRowStore() = default;

void TRowStore::SetColumns(QList<TColumnInfo> columns) {
    ClearRows();
    m_columns = std::move(columns);
    const int n = int(m_columns.size());
    m_slotOffset.assign(n, 0);
    m_varIndex.assign(n, -1);
    int offset = 4 + (n + 7) / 8;
    m_varCount = 0;
    for (int c = 0; c < n; ++c) {
        m_slotOffset[c] = offset;
        offset += slotBytes(m_columns[c].kind);
        if (isVariable(m_columns[c].kind))
            m_varIndex[c] = m_varCount++;
    }
    m_fixedBytes = offset;
}

void TRowStore::ClearRows() {
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_blocks.clear();
    m_blockUsed = m_blockSize = m_allocated = 0;
}

void TRowStore::RecycleRows() {
    m_rows.clear();
    if (m_blockSize == 0 || m_blocks.empty()) {
        ClearRows();
        return;
    }
    // The block being filled is the last and the largest of the growing ones.
    TBlock keep = std::move(m_blocks.back());
    m_blocks.clear();
    m_blocks.push_back(std::move(keep));
    m_blockUsed = 0;
    m_allocated = m_blockSize;
}

void TRowStore::TBlockFree::operator()(unsigned char* p) const {
    std::free(p);
}

TRowStore::TBlock TRowStore::newBlock(size_t bytes) {
    void* p = nullptr;
    if (bytes == kBlockBytes) {
        p = std::aligned_alloc(kBlockBytes, kBlockBytes);
        if (p != nullptr)
            ::madvise(p, kBlockBytes, MADV_HUGEPAGE);
    } else {
        p = std::malloc(bytes);
    }
    if (p == nullptr)
        throw std::bad_alloc();
    return TBlock(static_cast<unsigned char*>(p));
}

unsigned char* TRowStore::allocate(size_t bytes) {
    if (bytes > kBlockBytes / 4) {
        // A large record gets its own block, so the current block's free space stays usable.
        m_blocks.push_back(newBlock(bytes));
        m_allocated += bytes;
        unsigned char* p = m_blocks.back().get();
        if (m_blocks.size() >= 2)
            std::swap(m_blocks[m_blocks.size() - 1], m_blocks[m_blocks.size() - 2]);
        return p;
    }
    if (m_blocks.empty() || m_blockUsed + bytes > m_blockSize) {
        const size_t size =
            std::max(bytes, m_blockSize == 0 ? kFirstBlockBytes : std::min(kBlockBytes, m_blockSize * 2));
        m_blocks.push_back(newBlock(size));
        m_blockSize = size;
        m_blockUsed = 0;
        m_allocated += size;
    }
    unsigned char* p = m_blocks.back().get() + m_blockUsed;
    m_blockUsed += bytes;
    return p;
}

unsigned char* TRowStore::pack(const Cell* cells, uint32_t id) {
    const int n = ColumnCount();
    size_t bytes = size_t(m_fixedBytes);
    for (int c = 0; c < n; ++c) {
        if (m_varIndex[c] >= 0 && !cells[c].isNull)
            bytes += m_columns[c].kind == TStorageKind::Text ? size_t(cells[c].length) * 2 : cells[c].length;
    }
    unsigned char* rec = allocate(bytes);
    std::memcpy(rec, &id, 4);
    unsigned char* nulls = rec + 4;
    std::memset(nulls, 0, size_t(n + 7) / 8);
    unsigned char* var = rec + m_fixedBytes;
    for (int c = 0; c < n; ++c) {
        const Cell& cell = cells[c];
        unsigned char* slot = rec + m_slotOffset[c];
        const TStorageKind kind = m_columns[c].kind;
        if (cell.isNull) {
            nulls[c / 8] |= uint8_t(1u << (c % 8));
            std::memset(slot, 0, size_t(slotBytes(kind)));
            continue;
        }
        switch (kind) {
        case TStorageKind::Bool:
            *slot = cell.integer != 0;
            break;
        case TStorageKind::Int32:
        case TStorageKind::Date: {
            const int32_t v = int32_t(cell.integer);
            std::memcpy(slot, &v, 4);
            break;
        }
        case TStorageKind::Int64:
        case TStorageKind::DateTime:
        case TStorageKind::Time:
            std::memcpy(slot, &cell.integer, 8);
            break;
        case TStorageKind::Double:
            std::memcpy(slot, &cell.real, 8);
            break;
        case TStorageKind::Decimal64: {
            const int64_t v = int64_t(cell.decimal);
            std::memcpy(slot, &v, 8);
            break;
        }
        case TStorageKind::Decimal128:
            std::memcpy(slot, &cell.decimal, 16);
            break;
        case TStorageKind::Guid:
            std::memcpy(slot, cell.data, 16);
            break;
        case TStorageKind::Text:
        case TStorageKind::Binary: {
            const uint32_t len = kind == TStorageKind::Text ? cell.length * 2 : cell.length;
            std::memcpy(slot, &len, 4);
            if (len > 0)
                std::memcpy(var, cell.data, len);
            var += len;
            break;
        }
        }
    }
    return rec;
}

int TRowStore::Append(const Cell* cells) {
    m_rows.push_back(pack(cells, m_nextId++));
    return RowCount() - 1;
}

int TRowStore::Insert(int row, const Cell* cells) {
    unsigned char* rec = pack(cells, m_nextId++);
    m_rows.insert(m_rows.begin() + row, rec);
    return row;
}

void TRowStore::Replace(int row, const Cell* cells) {
    // The old record stays in its block until the rows are cleared; edits are rare.
    m_rows[size_t(row)] = pack(cells, RowId(row));
}

void TRowStore::Remove(int row) {
    m_rows.erase(m_rows.begin() + row);
}

uint32_t TRowStore::RowId(int row) const {
    return load<uint32_t>(m_rows[size_t(row)]);
}

int TRowStore::FindRow(uint32_t id, int hint) const {
    // Rows move only by inserts and deletes near them: look outward from where the row was.
    const int n = RowCount();
    if (n == 0)
        return -1;
    const int start = qBound(0, hint, n - 1);
    for (int d = 0; d < n; ++d) {
        const int below = start - d, above = start + d;
        if (below < 0 && above >= n)
            break;
        if (above < n && RowId(above) == id)
            return above;
        if (below >= 0 && d > 0 && RowId(below) == id)
            return below;
    }
    return -1;
}

const unsigned char* TRowStore::record(int row, int col, bool& isNull) const {
    const unsigned char* rec = m_rows[size_t(row)];
    isNull = (rec[4 + col / 8] >> (col % 8)) & 1;
    return rec;
}

const unsigned char* TRowStore::varData(const unsigned char* rec, int col, uint32_t& bytes) const {
    const unsigned char* p = rec + m_fixedBytes;
    for (int c = 0; c < col; ++c) {
        if (m_varIndex[c] >= 0)
            p += load<uint32_t>(rec + m_slotOffset[c]);
    }
    bytes = load<uint32_t>(rec + m_slotOffset[col]);
    return p;
}

bool TRowStore::IsNull(int row, int col) const {
    bool isNull = false;
    record(row, col, isNull);
    return isNull;
}

int64_t TRowStore::Integer(int row, int col) const {
    bool isNull = false;
    const unsigned char* rec = record(row, col, isNull);
    const unsigned char* slot = rec + m_slotOffset[col];
    switch (m_columns[col].kind) {
    case TStorageKind::Bool:
        return *slot;
    case TStorageKind::Int32:
    case TStorageKind::Date:
        return load<int32_t>(slot);
    case TStorageKind::Int64:
    case TStorageKind::DateTime:
    case TStorageKind::Time:
        return load<int64_t>(slot);
    case TStorageKind::Double:
        return int64_t(load<double>(slot));
    case TStorageKind::Decimal64:
    case TStorageKind::Decimal128:
        return int64_t(Decimal(row, col) / pow10(m_columns[col].scale));
    default:
        return Text(row, col).trimmed().toLongLong();
    }
}

__int128 TRowStore::Decimal(int row, int col) const {
    bool isNull = false;
    const unsigned char* slot = record(row, col, isNull) + m_slotOffset[col];
    if (m_columns[col].kind == TStorageKind::Decimal64)
        return load<int64_t>(slot);
    if (m_columns[col].kind == TStorageKind::Decimal128)
        return load<__int128>(slot);
    return 0;
}

double TRowStore::Real(int row, int col) const {
    bool isNull = false;
    const unsigned char* slot = record(row, col, isNull) + m_slotOffset[col];
    switch (m_columns[col].kind) {
    case TStorageKind::Double:
        return load<double>(slot);
    case TStorageKind::Decimal64:
    case TStorageKind::Decimal128:
        return double(Decimal(row, col)) / double(pow10(m_columns[col].scale));
    case TStorageKind::Text:
        return Text(row, col).trimmed().toDouble();
    default:
        return double(Integer(row, col));
    }
}

QByteArray TRowStore::Bytes(int row, int col) const {
    bool isNull = false;
    const unsigned char* rec = record(row, col, isNull);
    if (isNull)
        return {};
    if (m_columns[col].kind == TStorageKind::Guid)
        return QByteArray(reinterpret_cast<const char*>(rec + m_slotOffset[col]), 16);
    if (m_varIndex[col] < 0)
        return Text(row, col).toUtf8();
    uint32_t bytes = 0;
    const unsigned char* p = varData(rec, col, bytes);
    return QByteArray(reinterpret_cast<const char*>(p), qsizetype(bytes));
}

const unsigned char* TRowStore::TextData(int row, int col, uint32_t& units) const {
    units = 0;
    bool isNull = false;
    const unsigned char* rec = record(row, col, isNull);
    if (isNull || m_columns[col].kind != TStorageKind::Text)
        return nullptr;
    uint32_t bytes = 0;
    const unsigned char* p = varData(rec, col, bytes);
    units = bytes / 2;
    return p;
}

QString TRowStore::Text(int row, int col) const {
    bool isNull = false;
    const unsigned char* rec = record(row, col, isNull);
    if (isNull)
        return QString();
    const TColumnInfo& info = m_columns[col];
    const unsigned char* slot = rec + m_slotOffset[col];
    switch (info.kind) {
    case TStorageKind::Text: {
        uint32_t bytes = 0;
        const unsigned char* p = varData(rec, col, bytes);
        QString s(qsizetype(bytes / 2), Qt::Uninitialized);
        std::memcpy(s.data(), p, bytes);
        return s;
    }
    case TStorageKind::Binary:
        return QString::fromLatin1(Bytes(row, col).toHex()).toUpper();
    case TStorageKind::Bool:
        return *slot ? QStringLiteral("True") : QStringLiteral("False");
    case TStorageKind::Double:
        return QString::number(load<double>(slot), 'g',
                               info.fieldType == ftFloat && info.precision <= 24 ? 7 : 15);
    case TStorageKind::Decimal64:
    case TStorageKind::Decimal128:
        return DecimalText(Decimal(row, col), info.scale);
    case TStorageKind::Guid:
        return GuidText(slot);
    case TStorageKind::DateTime: {
        const QDateTime dt = Value(row, col).toDateTime();
        return dt.toString(dt.time().msec() != 0 ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                                 : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case TStorageKind::Date:
        return Value(row, col).toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case TStorageKind::Time:
        return Value(row, col).toTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    default:
        return QString::number(Integer(row, col));
    }
}

QVariant TRowStore::Value(int row, int col) const {
    bool isNull = false;
    const unsigned char* rec = record(row, col, isNull);
    if (isNull)
        return NullVariant();
    const unsigned char* slot = rec + m_slotOffset[col];
    switch (m_columns[col].kind) {
    case TStorageKind::Bool:
        return QVariant(bool(*slot));
    case TStorageKind::Int32:
        return QVariant(load<int32_t>(slot));
    case TStorageKind::Int64:
        return QVariant(qlonglong(load<int64_t>(slot)));
    case TStorageKind::Double:
    case TStorageKind::Decimal64:
    case TStorageKind::Decimal128:
        return QVariant(Real(row, col));
    case TStorageKind::DateTime: {
        const int64_t micros = load<int64_t>(slot);
        int64_t days = micros / kMicrosPerDay;
        int64_t rest = micros % kMicrosPerDay;
        if (rest < 0) {
            rest += kMicrosPerDay;
            --days;
        }
        return QVariant(QDateTime(QDate::fromJulianDay(kJulianDay1970 + days),
                                  QTime::fromMSecsSinceStartOfDay(int(rest / 1000))));
    }
    case TStorageKind::Date:
        return QVariant(QDate::fromJulianDay(load<int32_t>(slot)));
    case TStorageKind::Time:
        return QVariant(QTime::fromMSecsSinceStartOfDay(int(load<int64_t>(slot) / 1000)));
    case TStorageKind::Guid:
        return QVariant(GuidText(slot));
    case TStorageKind::Binary:
        return QVariant(Bytes(row, col));
    case TStorageKind::Text:
        return QVariant(Text(row, col));
    }
    return {};
}

size_t TRowStore::MemoryBytes() const {
    return m_allocated + m_rows.capacity() * sizeof(unsigned char*);
}

QString TRowStore::DecimalText(__int128 unscaled, int scale) {
    const bool negative = unscaled < 0;
    unsigned __int128 v =
        negative ? static_cast<unsigned __int128>(-unscaled) : static_cast<unsigned __int128>(unscaled);
    char buf[64];
    int n = 0;
    do {
        buf[n++] = char('0' + int(v % 10));
        v /= 10;
    } while (v != 0 || n <= scale);
    // buf holds the digits reversed; the first `scale` of them are the fraction.
    int firstKept = 0;
    while (firstKept < scale && buf[firstKept] == '0')
        ++firstKept;
    QString out;
    out.reserve(n + 2);
    if (negative)
        out += QLatin1Char('-');
    for (int i = n - 1; i >= scale; --i)
        out += QLatin1Char(buf[i]);
    if (firstKept < scale) {
        out += QLatin1Char('.');
        for (int i = scale - 1; i >= firstKept; --i)
            out += QLatin1Char(buf[i]);
    }
    return out;
}

bool TRowStore::ParseDecimal(const char* text, size_t length, int scale, __int128& out) {
    size_t i = 0;
    while (i < length && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < length && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    __int128 v = 0;
    int fraction = -1;
    bool digits = false;
    for (; i < length; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (fraction >= scale)
                continue; // beyond the column's scale: cut
            v = v * 10 + (c - '0');
            digits = true;
            if (fraction >= 0)
                ++fraction;
        } else if (c == '.' && fraction < 0) {
            fraction = 0;
        } else if (c == ' ') {
            break;
        } else {
            return false;
        }
    }
    if (!digits)
        return false;
    for (int f = fraction < 0 ? 0 : fraction; f < scale; ++f)
        v *= 10;
    out = negative ? -v : v;
    return true;
}

QString TRowStore::GuidText(const unsigned char* b) {
    static const char hex[] = "0123456789ABCDEF";
    QString s;
    s.reserve(38);
    s += QLatin1Char('{');
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            s += QLatin1Char('-');
        s += QLatin1Char(hex[b[i] >> 4]);
        s += QLatin1Char(hex[b[i] & 15]);
    }
    s += QLatin1Char('}');
    return s;
}

void TRowStore::convert(const QList<QVariant>& values, std::vector<Cell>& cells,
                        std::vector<QByteArray>& keep) const {
    const int n = ColumnCount();
    cells.assign(size_t(n), Cell{});
    keep.reserve(size_t(n));
    for (int c = 0; c < n && c < values.size(); ++c) {
        const QVariant& v = values[c];
        Cell& cell = cells[size_t(c)];
        if (IsNullOrUnassigned(v))
            continue;
        const TColumnInfo& info = m_columns[c];
        const auto invalid = [&] {
            throw EDatabaseError(
                QStringLiteral("'%1' is not a valid value for field '%2'.").arg(v.toString(), info.name));
        };
        bool ok = true;
        switch (info.kind) {
        case TStorageKind::Bool:
            cell.SetInteger(v.toBool());
            break;
        case TStorageKind::Int32:
        case TStorageKind::Int64: {
            const qlonglong i =
                v.typeId() == QMetaType::QString ? v.toString().trimmed().toLongLong(&ok) : v.toLongLong(&ok);
            if (!ok || (info.kind == TStorageKind::Int32 && (i < INT32_MIN || i > INT32_MAX)))
                invalid();
            cell.SetInteger(i);
            break;
        }
        case TStorageKind::Double:
            cell.SetReal(v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok)
                                                          : v.toDouble(&ok));
            if (!ok)
                invalid();
            break;
        case TStorageKind::Decimal64:
        case TStorageKind::Decimal128: {
            const QByteArray text = v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float
                                        ? QByteArray::number(v.toDouble(), 'f', info.scale)
                                        : v.toString().trimmed().toLatin1();
            __int128 d = 0;
            if (!ParseDecimal(text.constData(), size_t(text.size()), info.scale, d))
                invalid();
            cell.SetDecimal(d);
            break;
        }
        case TStorageKind::DateTime: {
            QDateTime dt = v.toDateTime();
            if (!dt.isValid() && v.typeId() == QMetaType::QString)
                dt = QDateTime::fromString(v.toString().trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
            if (!dt.isValid())
                invalid();
            cell.SetInteger((dt.date().toJulianDay() - kJulianDay1970) * kMicrosPerDay +
                            int64_t(dt.time().msecsSinceStartOfDay()) * 1000);
            break;
        }
        case TStorageKind::Date: {
            const QDate d = v.toDate();
            if (!d.isValid())
                invalid();
            cell.SetInteger(d.toJulianDay());
            break;
        }
        case TStorageKind::Time: {
            const QTime t = v.toTime();
            if (!t.isValid())
                invalid();
            cell.SetInteger(int64_t(t.msecsSinceStartOfDay()) * 1000);
            break;
        }
        case TStorageKind::Guid: {
            const QUuid u(v.toString().trimmed());
            if (u.isNull() && !v.toString().contains(QLatin1String("0000-0000")))
                invalid();
            keep.push_back(u.toRfc4122());
            cell.SetData(keep.back().constData(), 16);
            break;
        }
        case TStorageKind::Text: {
            const QString s = v.toString();
            keep.emplace_back(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
            cell.SetData(keep.back().constData(), uint32_t(s.size()));
            break;
        }
        case TStorageKind::Binary:
            keep.push_back(v.toByteArray());
            cell.SetData(keep.back().constData(), uint32_t(keep.back().size()));
            break;
        }
    }
}

int TRowStore::AppendValues(const QList<QVariant>& values) {
    std::vector<Cell> cells;
    std::vector<QByteArray> keep;
    convert(values, cells, keep);
    return Append(cells.data());
}

int TRowStore::InsertValues(int row, const QList<QVariant>& values) {
    std::vector<Cell> cells;
    std::vector<QByteArray> keep;
    convert(values, cells, keep);
    return Insert(row, cells.data());
}

void TRowStore::ReplaceValues(int row, const QList<QVariant>& values) {
    std::vector<Cell> cells;
    std::vector<QByteArray> keep;
    convert(values, cells, keep);
    Replace(row, cells.data());
}
