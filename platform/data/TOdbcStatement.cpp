#include "TOdbcStatement.h"

#include "EDatabaseError.h"
#include "TConnectionObject.h"
#include "TDriverCall.h"
#include "TOdbcTypes.h"
#include "TRowStore.h"
#include "Variants.h"

#include <QDateTime>
#include <QUuid>

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

SQLWCHAR* wide(const QString& s) {
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(s.utf16()));
}

} // namespace

struct TOdbcStatement::TBoundBlock {
    struct Binding {
        SQLSMALLINT cType = 0;
        SQLLEN width = 0;
        std::vector<char> buffer;
        std::vector<SQLLEN> length;
    };
    std::vector<Binding> b;
    SQLULEN rowsPerFetch = 1;
    SQLULEN fetched = 0; // the driver writes the rows of each fetch here
    std::vector<TRowStore::Cell> cells;
    std::vector<unsigned char> guids;
};

TOdbcStatement::TOdbcStatement(std::shared_ptr<TConnectionObject> connection)
    : m_connection(std::move(connection)) {
    if (!m_connection || !m_connection->IsOpen())
        throw EDatabaseError(QStringLiteral("The connection to the server is not open."));
    const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, m_connection->Handle(), &m_stmt);
    if (!SQL_SUCCEEDED(rc)) {
        m_stmt = nullptr;
        m_connection->Check(SQL_ERROR, SQL_HANDLE_DBC, m_connection->Handle());
        throw EDatabaseError(QStringLiteral("The statement could not be allocated."));
    }
    m_connection->Register(this);
}

TOdbcStatement::~TOdbcStatement() {
    m_connection->Unregister(this);
    Detach();
}

void TOdbcStatement::Detach() {
    if (m_stmt != nullptr) {
        SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
        m_stmt = nullptr;
    }
    m_block.reset();
    m_hasResult = false;
}

SQLHSTMT TOdbcStatement::handle() const {
    if (m_stmt == nullptr)
        throw EDatabaseError(QStringLiteral("The connection to the server is not open."));
    return m_stmt;
}

void TOdbcStatement::check(SQLRETURN rc) {
    try {
        m_connection->Check(rc, SQL_HANDLE_STMT, m_stmt);
    } catch (...) {
        // An error ends the command: what it still had to send is dropped.
        closeCursorNow();
        throw;
    }
}

void TOdbcStatement::call(const std::function<void()>& work) {
    if (TDriverCall::OnWorker()) {
        work();
        return;
    }
    m_cancelled = false;
    m_connection->Call(m_timeout, work, [this] {
        m_cancelled = true;
        if (m_stmt != nullptr)
            SQLCancel(m_stmt);
    });
}

void TOdbcStatement::stopIfCancelled() {
    if (m_cancelled)
        throw ECancelled();
}

void TOdbcStatement::closeCursorNow() {
    releaseBlock();
    if (m_stmt != nullptr)
        SQLFreeStmt(m_stmt, SQL_CLOSE);
    m_hasResult = false;
    m_columnCount = 0;
    m_connection->EndCommand(this);
}

void TOdbcStatement::CloseCursor() {
    // Closing may have to read what the server still sends; off the GUI thread when it can be.
    if (TDriverCall::OnWorker() || m_stmt == nullptr || m_connection->Busy()) {
        closeCursorNow();
        return;
    }
    try {
        call([this] { closeCursorNow(); });
    } catch (...) {
        // Nothing is left to read from a cancelled or broken command.
        m_hasResult = false;
        m_columnCount = 0;
        m_connection->EndCommand(this);
    }
}

void TOdbcStatement::afterMove(SQLRETURN rc) {
    m_described = false;
    m_rowsDone = false;
    m_columns.clear();
    m_columnCount = 0;
    if (rc != SQL_NO_DATA)
        check(rc);
    m_hasResult = true;
    SQLSMALLINT n = 0;
    if (rc != SQL_NO_DATA)
        check(SQLNumResultCols(m_stmt, &n));
    m_columnCount = n;
    // The driver reports messages at the end of a batch as a result of their own, without rows
    // and without a count: they are kept, but it is not a result of the command.
    if (n == 0 && rc != SQL_NO_DATA && RowsAffected() < 0) {
        const SQLRETURN next = SQLMoreResults(m_stmt);
        if (next == SQL_NO_DATA) {
            m_hasResult = false;
            m_connection->EndCommand(this);
            return;
        }
        afterMove(next);
    }
}

void TOdbcStatement::Execute(const QString& text, const QList<Parameter>& parameters) {
    SQLHSTMT h = handle();
    call([&] {
        m_connection->BeginCommand(this);
        releaseBlock();
        SQLFreeStmt(h, SQL_CLOSE);
        SQLFreeStmt(h, SQL_RESET_PARAMS);
        m_connection->ClearErrors();
        // A cancel that came before the request went out would find nothing to stop on the
        // server: the request is not sent at all.
        if (m_cancelled) {
            closeCursorNow();
            throw ECancelled();
        }
        bindParameters(parameters);
        afterMove(SQLExecDirectW(h, wide(text), SQLINTEGER(text.size())));
    });
}

void TOdbcStatement::Catalogs() {
    SQLHSTMT h = handle();
    call([&] {
        m_connection->BeginCommand(this);
        SQLFreeStmt(h, SQL_CLOSE);
        m_connection->ClearErrors();
        static const QString all = QStringLiteral(SQL_ALL_CATALOGS);
        static const QString empty = QStringLiteral("");
        afterMove(SQLTablesW(h, wide(all), SQL_NTS, wide(empty), 0, wide(empty), 0, nullptr, 0));
    });
}

QStringList TOdbcStatement::PrimaryKeys(const QString& catalog, const QString& schema, const QString& table) {
    QStringList result;
    call([&] { result = primaryKeys(catalog, schema, table); });
    return result;
}

QStringList TOdbcStatement::primaryKeys(const QString& catalog, const QString& schema, const QString& table) {
    SQLHSTMT h = handle();
    m_connection->BeginCommand(this);
    SQLFreeStmt(h, SQL_CLOSE);
    const qsizetype errorsBefore = m_connection->Errors().size();
    QList<QPair<int, QString>> keys;
    try {
        afterMove(SQLPrimaryKeysW(h, catalog.isEmpty() ? nullptr : wide(catalog), SQLSMALLINT(catalog.size()),
                                  schema.isEmpty() ? nullptr : wide(schema), SQLSMALLINT(schema.size()),
                                  wide(table), SQLSMALLINT(table.size())));
        if (m_columnCount >= 5) {
            TRowStore rows;
            rows.SetColumns(DescribeColumns());
            FetchAll(rows);
            for (int r = 0; r < rows.RowCount(); ++r)
                keys.append({int(rows.Integer(r, 4)), rows.Text(r, 3)});
        }
        Drain();
    } catch (const EConnectionLost&) {
        throw;
    } catch (const ECancelled&) {
        throw;
    } catch (const EDatabaseError&) {
        // A table whose keys cannot be read is treated as having none.
        keys.clear();
    }
    m_connection->TruncateErrors(errorsBefore);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList names;
    for (const auto& k : keys)
        names << k.second;
    return names;
}

qint64 TOdbcStatement::RowsAffected() const {
    if (m_stmt == nullptr)
        return -1;
    SQLLEN n = -1;
    if (!SQL_SUCCEEDED(SQLRowCount(m_stmt, &n)))
        return -1;
    return n;
}

bool TOdbcStatement::NextResult() {
    if (!m_hasResult)
        return false;
    bool more = false;
    call([&] { more = nextResult(); });
    return more;
}

bool TOdbcStatement::nextResult() {
    if (!m_hasResult)
        return false;
    // Unread rows of this result are dropped; its buffers must not stay bound to the next one.
    releaseBlock();
    const SQLRETURN rc = SQLMoreResults(handle());
    if (rc == SQL_NO_DATA) {
        m_hasResult = false;
        m_columnCount = 0;
        m_connection->EndCommand(this);
        return false;
    }
    afterMove(rc);
    return m_hasResult;
}

void TOdbcStatement::Drain() {
    if (!m_hasResult)
        return;
    call([this] {
        while (nextResult()) {
        }
    });
}

QList<TColumnInfo> TOdbcStatement::DescribeColumns() {
    if (m_described)
        return m_columns;
    SQLHSTMT h = handle();
    m_columns.clear();
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(m_columnCount); ++i) {
        SQLWCHAR name[512];
        SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        check(SQLDescribeColW(h, i, name, SQLSMALLINT(std::size(name)), &nameLength, &sqlType, &size, &digits,
                              &nullable));
        TColumnInfo c;
        c.name = QString(reinterpret_cast<const QChar*>(name),
                         std::min<qsizetype>(nameLength, std::size(name) - 1));
        c.nullable = nullable != SQL_NO_NULLS;
        SQLWCHAR typeName[128] = {};
        SQLSMALLINT typeLength = 0;
        if (SQL_SUCCEEDED(
                SQLColAttributeW(h, i, SQL_DESC_TYPE_NAME, typeName, sizeof typeName, &typeLength, nullptr)))
            c.typeName =
                QString(reinterpret_cast<const QChar*>(typeName), std::min<qsizetype>(typeLength / 2, 127));
        SQLLEN flag = 0;
        if (SQL_SUCCEEDED(SQLColAttributeW(h, i, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &flag)))
            c.identity = flag == SQL_TRUE;
        TOdbcTypes::Describe(c, sqlType, size, digits);
        m_columns.append(c);
    }
    m_described = true;
    return m_columns;
}

void TOdbcStatement::FetchAll(TRowStore& store) {
    if (m_columnCount == 0)
        return;
    call([&] { fetchRows(store, std::numeric_limits<qint64>::max()); });
}

bool TOdbcStatement::FetchRows(TRowStore& store, int maxRows) {
    if (m_columnCount == 0 || m_rowsDone)
        return false;
    bool more = false;
    call([&] { more = fetchRows(store, std::max(maxRows, 1)); });
    return more;
}

bool TOdbcStatement::fetchRows(TRowStore& store, qint64 maxRows) {
    if (m_rowsDone)
        return false;
    const QList<TColumnInfo>& cols = store.Columns();
    const bool piecewise =
        std::any_of(cols.begin(), cols.end(), [](const TColumnInfo& c) { return c.longData; });
    const bool more = piecewise ? fetchPiecewise(store, maxRows) : fetchBound(store, maxRows);
    m_rowsDone = !more;
    return more;
}

void TOdbcStatement::bindBlock(const QList<TColumnInfo>& cols) {
    SQLHSTMT h = handle();
    auto block = std::make_unique<TBoundBlock>();
    const int n = int(cols.size());
    block->b.resize(static_cast<size_t>(n));
    SQLLEN rowBytes = 0;
    for (int c = 0; c < n; ++c) {
        block->b[c].cType = TOdbcTypes::CTypeOf(cols[c], block->b[c].width);
        rowBytes += block->b[c].width + SQLLEN(sizeof(SQLLEN));
    }
    SQLULEN rowsPerFetch =
        SQLULEN(std::clamp<SQLLEN>(SQLLEN(256 * 1024) / std::max<SQLLEN>(rowBytes, 1), 1, 512));
    SQLSetStmtAttr(h, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
    // A driver may take a smaller block than asked (01S02): the block it took decides what a short
    // block means, or a result would end early without a word.
    SQLULEN granted = 0;
    if (!SQL_SUCCEEDED(
            SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowsPerFetch), 0)) ||
        !SQL_SUCCEEDED(SQLGetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, &granted, 0, nullptr)) || granted == 0)
        granted = 1;
    rowsPerFetch = std::min(rowsPerFetch, granted);
    block->rowsPerFetch = rowsPerFetch;
    for (int c = 0; c < n; ++c) {
        block->b[c].buffer.resize(size_t(block->b[c].width) * rowsPerFetch);
        block->b[c].length.resize(rowsPerFetch);
    }
    block->cells.resize(static_cast<size_t>(n));
    block->guids.resize(static_cast<size_t>(n) * 16);
    SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &block->fetched, 0);
    m_block = std::move(block);
    for (int c = 0; c < n; ++c)
        check(SQLBindCol(h, SQLUSMALLINT(c + 1), m_block->b[c].cType, m_block->b[c].buffer.data(),
                         m_block->b[c].width, m_block->b[c].length.data()));
}

void TOdbcStatement::releaseBlock() {
    if (!m_block)
        return;
    if (m_stmt != nullptr) {
        SQLFreeStmt(m_stmt, SQL_UNBIND);
        SQLSetStmtAttr(m_stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
        SQLSetStmtAttr(m_stmt, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    }
    m_block.reset();
}

bool TOdbcStatement::fetchBound(TRowStore& store, qint64 maxRows) {
    SQLHSTMT h = handle();
    const QList<TColumnInfo>& cols = store.Columns();
    const int n = int(cols.size());
    try {
        if (!m_block)
            bindBlock(cols);
        TBoundBlock& k = *m_block;
        qint64 read = 0;
        while (read < maxRows) {
            const SQLRETURN rc = SQLFetch(h);
            if (rc == SQL_NO_DATA) {
                releaseBlock();
                return false;
            }
            check(rc);
            for (SQLULEN r = 0; r < k.fetched; ++r) {
                for (int c = 0; c < n; ++c)
                    TOdbcTypes::ToCell(cols[c], k.b[c].buffer.data() + r * SQLULEN(k.b[c].width),
                                       k.b[c].length[r], k.cells[c], k.guids.data() + c * 16);
                store.Append(k.cells.data());
            }
            read += qint64(k.fetched);
            stopIfCancelled();
            // A short block is the end of the result: fetching again would make the driver read
            // on into the next result and lose its messages and row count.
            if (k.fetched < k.rowsPerFetch) {
                releaseBlock();
                return false;
            }
        }
    } catch (...) {
        releaseBlock();
        throw;
    }
    return true;
}

bool TOdbcStatement::fetchPiecewise(TRowStore& store, qint64 maxRows) {
    SQLHSTMT h = handle();
    const QList<TColumnInfo>& cols = store.Columns();
    const int n = int(cols.size());
    std::vector<TRowStore::Cell> cells(static_cast<size_t>(n));
    std::vector<QByteArray> values(static_cast<size_t>(n));
    std::vector<unsigned char> guids(static_cast<size_t>(n) * 16);
    std::vector<char> chunk(size_t(LongDataChunkBytes()) + 4);
    for (qint64 read = 0; read < maxRows; ++read) {
        const SQLRETURN rc = SQLFetch(h);
        if (rc == SQL_NO_DATA)
            return false;
        check(rc);
        for (int c = 0; c < n; ++c) {
            SQLLEN width = 0;
            const SQLSMALLINT cType = TOdbcTypes::CTypeOf(cols[c], width);
            QByteArray& value = values[size_t(c)];
            value.clear();
            const bool variable =
                cols[c].kind == TStorageKind::Text || cols[c].kind == TStorageKind::Binary ||
                cols[c].kind == TStorageKind::Time || cols[c].kind == TStorageKind::Decimal64 ||
                cols[c].kind == TStorageKind::Decimal128;
            const SQLLEN bufferBytes = variable ? SQLLEN(chunk.size()) - 4 : width;
            const SQLLEN terminator = cType == SQL_C_WCHAR ? 2 : cType == SQL_C_CHAR ? 1 : 0;
            SQLLEN length = 0;
            for (;;) {
                const SQLRETURN g =
                    SQLGetData(h, SQLUSMALLINT(c + 1), cType, chunk.data(), bufferBytes, &length);
                if (g == SQL_NO_DATA)
                    break;
                if (!SQL_SUCCEEDED(g))
                    check(g);
                if (length == SQL_NULL_DATA)
                    break;
                const bool more = g == SQL_SUCCESS_WITH_INFO &&
                                  (length == SQL_NO_TOTAL || length > bufferBytes - terminator);
                const SQLLEN got = more ? bufferBytes - terminator : length;
                value.append(chunk.data(), qsizetype(got));
                if (!more || !variable)
                    break;
            }
            if (length == SQL_NULL_DATA)
                cells[c].SetNull();
            else
                TOdbcTypes::ToCell(cols[c], value.constData(), value.size(), cells[c], guids.data() + c * 16);
        }
        store.Append(cells.data());
        stopIfCancelled();
    }
    return true;
}

void TOdbcStatement::bindParameters(const QList<Parameter>& parameters) {
    SQLHSTMT h = handle();
    m_parameterData.assign(size_t(parameters.size()), QByteArray());
    m_parameterLength.assign(size_t(parameters.size()), 0);
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        const QVariant& v = parameters[i].value;
        QByteArray& data = m_parameterData[size_t(i)];
        SQLLEN& length = m_parameterLength[size_t(i)];
        SQLSMALLINT cType = SQL_C_WCHAR, sqlType = SQL_WVARCHAR, digits = 0;
        SQLULEN size = 1;
        const auto put = [&](const void* p, size_t n) {
            data = QByteArray(static_cast<const char*>(p), qsizetype(n));
            length = SQLLEN(n);
        };
        if (IsNullOrUnassigned(v)) {
            length = SQL_NULL_DATA;
            switch (parameters[i].type) {
            case ftInteger:
            case ftSmallint:
            case ftWord:
            case ftAutoInc:
                cType = SQL_C_SLONG, sqlType = SQL_INTEGER, size = 10;
                break;
            case ftLargeint:
                cType = SQL_C_SBIGINT, sqlType = SQL_BIGINT, size = 19;
                break;
            case ftBoolean:
                cType = SQL_C_BIT, sqlType = SQL_BIT;
                break;
            case ftFloat:
            case ftCurrency:
            case ftBCD:
            case ftFMTBcd:
                cType = SQL_C_DOUBLE, sqlType = SQL_FLOAT, size = 53;
                break;
            case ftDateTime:
            case ftDate:
                cType = SQL_C_TYPE_TIMESTAMP, sqlType = SQL_TYPE_TIMESTAMP, size = 23, digits = 3;
                break;
            case ftBytes:
            case ftVarBytes:
            case ftBlob:
                cType = SQL_C_BINARY, sqlType = SQL_VARBINARY;
                break;
            default:
                break;
            }
            data = QByteArray(16, '\0');
        } else {
            switch (v.typeId()) {
            case QMetaType::Bool: {
                const unsigned char bit = v.toBool() ? 1 : 0;
                put(&bit, 1);
                cType = SQL_C_BIT, sqlType = SQL_BIT;
                break;
            }
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::Char:
            case QMetaType::SChar:
            case QMetaType::UChar:
            case QMetaType::Long:
            case QMetaType::LongLong:
            case QMetaType::ULong:
            case QMetaType::ULongLong: {
                const qlonglong x = v.toLongLong();
                if (x >= INT32_MIN && x <= INT32_MAX) {
                    const int32_t x32 = int32_t(x);
                    put(&x32, 4);
                    cType = SQL_C_SLONG, sqlType = SQL_INTEGER, size = 10;
                } else {
                    put(&x, 8);
                    cType = SQL_C_SBIGINT, sqlType = SQL_BIGINT, size = 19;
                }
                break;
            }
            case QMetaType::Double:
            case QMetaType::Float: {
                const double d = v.toDouble();
                put(&d, 8);
                cType = SQL_C_DOUBLE, sqlType = SQL_FLOAT, size = 53;
                break;
            }
            case QMetaType::QDateTime:
            case QMetaType::QDate: {
                const QDateTime dt =
                    v.typeId() == QMetaType::QDate ? QDateTime(v.toDate(), QTime(0, 0)) : v.toDateTime();
                SQL_TIMESTAMP_STRUCT t{};
                t.year = SQLSMALLINT(dt.date().year());
                t.month = SQLUSMALLINT(dt.date().month());
                t.day = SQLUSMALLINT(dt.date().day());
                t.hour = SQLUSMALLINT(dt.time().hour());
                t.minute = SQLUSMALLINT(dt.time().minute());
                t.second = SQLUSMALLINT(dt.time().second());
                t.fraction = SQLUINTEGER(dt.time().msec()) * 1000000u;
                put(&t, sizeof t);
                cType = SQL_C_TYPE_TIMESTAMP, sqlType = SQL_TYPE_TIMESTAMP, size = 23, digits = 3;
                break;
            }
            case QMetaType::QByteArray: {
                const QByteArray bytes = v.toByteArray();
                put(bytes.constData(), size_t(bytes.size()));
                cType = SQL_C_BINARY;
                sqlType = bytes.size() > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY;
                size = SQLULEN(std::max<qsizetype>(1, bytes.size()));
                break;
            }
            default: {
                const QString s =
                    v.typeId() == QMetaType::QUuid ? v.toUuid().toString(QUuid::WithoutBraces) : v.toString();
                put(s.utf16(), size_t(s.size()) * 2);
                sqlType = s.size() > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
                size = SQLULEN(std::max<qsizetype>(1, s.size()));
                break;
            }
            }
        }
        // The data stays in m_parameterData until the next command.
        check(SQLBindParameter(h, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, cType, sqlType, size, digits,
                               data.data(), SQLLEN(data.size()), &length));
    }
}
