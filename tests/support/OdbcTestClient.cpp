#include "OdbcTestClient.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

namespace {

// FreeTDS takes a braced value up to the "}" that ends it (before ";" or the end of the string),
// without undoubling "}}": so braces inside the value need no escaping, but "};" cannot be expressed.
std::string braced(const std::string& value) {
    return "{" + value + "}";
}

// UTF-8 to UTF-16 code units in the machine's byte order, as SQL_C_WCHAR expects.
std::string utf16(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp = c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra > 0) {
            cp = c & (0x3F >> extra);
        }
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += size_t(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return std::string(reinterpret_cast<const char*>(out.data()), out.size() * 2);
}

} // namespace

BoundParam BoundParam::text(const std::string& utf8) {
    BoundParam p;
    p.data = utf16(utf8);
    p.size = std::max<SQLULEN>(1, p.data.size() / 2);
    p.sqlType = p.size > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
    return p;
}

BoundParam BoundParam::integer(int value) {
    BoundParam p;
    p.cType = SQL_C_SLONG;
    p.sqlType = SQL_INTEGER;
    p.size = 10;
    p.data.assign(reinterpret_cast<const char*>(&value), sizeof value);
    return p;
}

BoundParam BoundParam::bit(bool value) {
    BoundParam p;
    p.cType = SQL_C_BIT;
    p.sqlType = SQL_BIT;
    p.data.assign(1, value ? '\1' : '\0');
    return p;
}

BoundParam BoundParam::null(SQLSMALLINT cType, SQLSMALLINT sqlType) {
    BoundParam p;
    p.cType = cType;
    p.sqlType = sqlType;
    p.data.assign(16, '\0');
    p.isNull = true;
    return p;
}

OdbcTestClient::OdbcTestClient() {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
    SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
    SQLSetConnectAttr(m_dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(10), 0);
}

OdbcTestClient::~OdbcTestClient() {
    if (m_connected) {
        SQLDisconnect(m_dbc);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, m_env);
}

std::string OdbcTestClient::connectionString(int port, const std::string& user, const std::string& password,
                                             const std::string& database) {
    std::string s = "DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=" + std::to_string(port) + ";UID=" + user +
                    ";PWD=" + braced(password) + ";TDS_Version=7.4;ClientCharset=UTF-8";
    if (!database.empty()) {
        s += ";DATABASE=" + database;
    }
    return s;
}

bool OdbcTestClient::connect(const std::string& connectionString, std::string* error) {
    SQLCHAR out[1024];
    SQLSMALLINT outLen = 0;
    SQLRETURN rc = SQLDriverConnect(m_dbc, nullptr, (SQLCHAR*)connectionString.c_str(), SQL_NTS, out,
                                    sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
    m_connected = SQL_SUCCEEDED(rc);
    if (!m_connected && error) {
        error->clear();
        for (const OdbcMessage& m : diagnostics(SQL_HANDLE_DBC, m_dbc)) {
            *error += "[" + std::to_string(m.native) + "] " + m.text + "\n";
        }
    }
    return m_connected;
}

std::vector<OdbcMessage> OdbcTestClient::diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<OdbcMessage> out;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLCHAR state[6] = {0};
        SQLCHAR text[4096] = {0};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        SQLRETURN rc = SQLGetDiagRec(type, handle, i, state, &native, text, sizeof text, &len);
        if (!SQL_SUCCEEDED(rc)) {
            break;
        }
        out.push_back(OdbcMessage{reinterpret_cast<char*>(state), native, reinterpret_cast<char*>(text)});
    }
    return out;
}

void OdbcTestClient::collect(SQLHSTMT stmt, SQLRETURN rc, OdbcOutcome& out) {
    for (;;) {
        if (rc == SQL_INVALID_HANDLE) {
            out.ok = false; // not connected: nothing more will come
            break;
        }
        if (rc == SQL_ERROR) {
            out.ok = false;
        }
        if (rc == SQL_NO_DATA) {
            // Messages that came after the last result, such as "The statement has been terminated."
            for (OdbcMessage& m : diagnostics(SQL_HANDLE_STMT, stmt)) {
                out.order.push_back("message:" + m.text);
                out.messages.push_back(std::move(m));
            }
            break;
        }
        for (OdbcMessage& m : diagnostics(SQL_HANDLE_STMT, stmt)) {
            out.order.push_back("message:" + m.text);
            out.messages.push_back(std::move(m));
        }
        if (rc != SQL_ERROR) {
            SQLSMALLINT columns = 0;
            SQLNumResultCols(stmt, &columns);
            if (columns > 0) {
                OdbcResult result;
                for (SQLSMALLINT c = 1; c <= columns; ++c) {
                    SQLCHAR name[256] = {0};
                    SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
                    SQLULEN size = 0;
                    SQLDescribeCol(stmt, c, name, sizeof name, &nameLen, &type, &size, &digits, &nullable);
                    result.columns.push_back(reinterpret_cast<char*>(name));
                    result.types.push_back(type);
                }
                SQLRETURN f;
                while (SQL_SUCCEEDED(f = SQLFetch(stmt))) {
                    std::vector<Cell> row;
                    for (SQLSMALLINT c = 1; c <= columns; ++c) {
                        std::string value;
                        char buf[8192];
                        SQLLEN ind = 0;
                        bool isNull = false;
                        for (;;) {
                            SQLRETURN g = SQLGetData(stmt, c, SQL_C_CHAR, buf, sizeof buf, &ind);
                            if (g == SQL_NO_DATA) {
                                break;
                            }
                            if (!SQL_SUCCEEDED(g)) {
                                out.ok = false;
                                break;
                            }
                            if (ind == SQL_NULL_DATA) {
                                isNull = true;
                                break;
                            }
                            size_t got = (ind == SQL_NO_TOTAL || ind >= SQLLEN(sizeof buf)) ? sizeof buf - 1
                                                                                            : size_t(ind);
                            value.append(buf, got);
                            if (g == SQL_SUCCESS) {
                                break;
                            }
                        }
                        row.push_back(isNull ? Cell() : Cell(value));
                    }
                    result.rows.push_back(std::move(row));
                }
                if (f == SQL_ERROR) {
                    out.ok = false;
                    for (OdbcMessage& m : diagnostics(SQL_HANDLE_STMT, stmt)) {
                        out.order.push_back("message:" + m.text);
                        out.messages.push_back(std::move(m));
                    }
                }
                SQLRowCount(stmt, &result.rowCount);
                out.order.push_back("result");
                out.results.push_back(std::move(result));
            } else {
                SQLLEN count = -1;
                SQLRowCount(stmt, &count);
                if (count >= 0) {
                    out.order.push_back("count:" + std::to_string(count));
                }
            }
        }
        rc = SQLMoreResults(stmt);
    }
}

OdbcOutcome OdbcTestClient::exec(const std::string& sql, const std::vector<Cell>& params) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    std::vector<SQLLEN> lengths(params.size());
    for (size_t k = 0; k < params.size(); ++k) {
        lengths[k] = params[k] ? SQLLEN(params[k]->size()) : SQL_NULL_DATA;
        SQLULEN column = params[k] && !params[k]->empty() ? params[k]->size() : 1;
        // FreeTDS cuts an nvarchar parameter at 4000 characters: longer text goes as the long type.
        SQLSMALLINT sqlType = column > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        SQLBindParameter(stmt, SQLUSMALLINT(k + 1), SQL_PARAM_INPUT, SQL_C_CHAR, sqlType, column, 0,
                         params[k] ? (SQLPOINTER)params[k]->data() : nullptr, 0, &lengths[k]);
    }
    SQLRETURN rc = SQLExecDirect(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

OdbcOutcome OdbcTestClient::execBound(const std::string& sql, const std::vector<BoundParam>& params) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    std::vector<std::string> buffers;
    std::vector<SQLLEN> lengths(params.size());
    buffers.reserve(params.size());
    for (size_t k = 0; k < params.size(); ++k) {
        const BoundParam& p = params[k];
        buffers.push_back(p.data);
        lengths[k] = p.isNull ? SQL_NULL_DATA : SQLLEN(p.data.size());
        SQLBindParameter(stmt, SQLUSMALLINT(k + 1), SQL_PARAM_INPUT, p.cType, p.sqlType, p.size, 0,
                         buffers.back().data(), SQLLEN(buffers.back().size()), &lengths[k]);
    }
    SQLRETURN rc = SQLExecDirect(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

OdbcOutcome OdbcTestClient::catalogs() {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    SQLRETURN rc =
        SQLTables(stmt, (SQLCHAR*)SQL_ALL_CATALOGS, SQL_NTS, (SQLCHAR*)"", 0, (SQLCHAR*)"", 0, nullptr, 0);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

namespace {

SQLCHAR* orNull(const std::string& s) {
    return s.empty() ? nullptr : (SQLCHAR*)s.c_str();
}

} // namespace

OdbcOutcome OdbcTestClient::primaryKeys(const std::string& catalog, const std::string& schema,
                                        const std::string& table) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    SQLRETURN rc = SQLPrimaryKeys(stmt, orNull(catalog), SQL_NTS, orNull(schema), SQL_NTS,
                                  (SQLCHAR*)table.c_str(), SQL_NTS);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

OdbcOutcome OdbcTestClient::columns(const std::string& catalog, const std::string& schema,
                                    const std::string& table) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    SQLRETURN rc = SQLColumns(stmt, orNull(catalog), SQL_NTS, orNull(schema), SQL_NTS,
                              (SQLCHAR*)table.c_str(), SQL_NTS, nullptr, 0);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

OdbcOutcome OdbcTestClient::tables(const std::string& schema, const std::string& pattern,
                                   const std::string& types) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    SQLRETURN rc = SQLTables(stmt, nullptr, 0, orNull(schema), SQL_NTS, (SQLCHAR*)pattern.c_str(), SQL_NTS,
                             orNull(types), SQL_NTS);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

OdbcOutcome OdbcTestClient::typeInfo(SQLSMALLINT type) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    collect(stmt, SQLGetTypeInfo(stmt, type), out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

OdbcOutcome OdbcTestClient::statistics(const std::string& schema, const std::string& table) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    SQLRETURN rc = SQLStatistics(stmt, nullptr, 0, orNull(schema), SQL_NTS, (SQLCHAR*)table.c_str(), SQL_NTS,
                                 SQL_INDEX_ALL, SQL_QUICK);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

OdbcOutcome OdbcTestClient::specialColumns(const std::string& schema, const std::string& table) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    SQLRETURN rc = SQLSpecialColumns(stmt, SQL_BEST_ROWID, nullptr, 0, orNull(schema), SQL_NTS,
                                     (SQLCHAR*)table.c_str(), SQL_NTS, SQL_SCOPE_SESSION, SQL_NULLABLE);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

OdbcOutcome OdbcTestClient::foreignKeys(const std::string& pkTable, const std::string& fkTable) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    SQLRETURN rc = SQLForeignKeys(stmt, nullptr, 0, nullptr, 0, orNull(pkTable), SQL_NTS, nullptr, 0, nullptr,
                                  0, orNull(fkTable), SQL_NTS);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

OdbcOutcome OdbcTestClient::procedures(const std::string& schema, const std::string& pattern) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    SQLRETURN rc =
        SQLProcedures(stmt, nullptr, 0, orNull(schema), SQL_NTS, (SQLCHAR*)pattern.c_str(), SQL_NTS);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

OdbcOutcome OdbcTestClient::procedureColumns(const std::string& schema, const std::string& procedure,
                                             const std::string& column) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    SQLRETURN rc = SQLProcedureColumns(stmt, nullptr, 0, orNull(schema), SQL_NTS, orNull(procedure), SQL_NTS,
                                       orNull(column), SQL_NTS);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

OdbcOutcome OdbcTestClient::tablePrivileges(const std::string& schema, const std::string& table) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    SQLRETURN rc =
        SQLTablePrivileges(stmt, nullptr, 0, orNull(schema), SQL_NTS, (SQLCHAR*)table.c_str(), SQL_NTS);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

OdbcOutcome OdbcTestClient::columnPrivileges(const std::string& schema, const std::string& table,
                                             const std::string& column) {
    OdbcOutcome out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    SQLRETURN rc = SQLColumnPrivileges(stmt, nullptr, 0, orNull(schema), SQL_NTS, (SQLCHAR*)table.c_str(),
                                       SQL_NTS, orNull(column), SQL_NTS);
    collect(stmt, rc, out);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

std::vector<OdbcOutcome> OdbcTestClient::prepareAndRun(const std::string& sql,
                                                       const std::vector<std::vector<Cell>>& runs) {
    std::vector<OdbcOutcome> outcomes;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    SQLPrepare(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS);
    for (const std::vector<Cell>& params : runs) {
        std::vector<SQLLEN> lengths(params.size());
        for (size_t k = 0; k < params.size(); ++k) {
            lengths[k] = params[k] ? SQLLEN(params[k]->size()) : SQL_NULL_DATA;
            SQLBindParameter(stmt, SQLUSMALLINT(k + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_WVARCHAR, 100, 0,
                             params[k] ? (SQLPOINTER)params[k]->data() : nullptr, 0, &lengths[k]);
        }
        OdbcOutcome out;
        collect(stmt, SQLExecute(stmt), out);
        SQLFreeStmt(stmt, SQL_CLOSE);
        outcomes.push_back(std::move(out));
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return outcomes;
}

std::vector<std::vector<Cell>> OdbcTestClient::readFirstRows(const std::string& sql, int rows) {
    std::vector<std::vector<Cell>> out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
    if (SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS))) {
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt, &columns);
        for (int r = 0; r < rows && SQL_SUCCEEDED(SQLFetch(stmt)); ++r) {
            std::vector<Cell> row;
            for (SQLSMALLINT c = 1; c <= columns; ++c) {
                char buf[512];
                SQLLEN ind = 0;
                SQLGetData(stmt, c, SQL_C_CHAR, buf, sizeof buf, &ind);
                row.push_back(ind == SQL_NULL_DATA ? Cell() : Cell(std::string(buf)));
            }
            out.push_back(std::move(row));
        }
    }
    SQLFreeStmt(stmt, SQL_CLOSE);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

bool OdbcTestClient::setAutocommit(bool on) {
    return SQL_SUCCEEDED(
        SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0));
}

bool OdbcTestClient::endTransaction(bool commit) {
    return SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, m_dbc, commit ? SQL_COMMIT : SQL_ROLLBACK));
}

} // namespace testsupport
