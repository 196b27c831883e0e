#pragma once
// A bare ODBC client for tests that check what goes over the wire without our data layer:
// runs a statement through unixODBC + FreeTDS and records results and messages in order.
#include <optional>
#include <sql.h>
#include <sqlext.h>
#include <string>
#include <vector>

namespace testsupport {

using Cell = std::optional<std::string>;

struct OdbcResult {
    std::vector<std::string> columns;
    std::vector<SQLSMALLINT> types;
    std::vector<std::vector<Cell>> rows;
    SQLLEN rowCount = -1;
};

struct OdbcMessage {
    std::string state;
    SQLINTEGER native = 0;
    std::string text;
};

struct OdbcOutcome {
    bool ok = true;
    std::vector<OdbcResult> results;
    std::vector<OdbcMessage> messages;
    // "result" or "message:<text>" in the order the client saw them.
    std::vector<std::string> order;
};

// A parameter bound with its own C and SQL types, as the data layer binds them: text as wide
// characters (nvarchar), whole numbers as int, booleans as bit; a null keeps its type.
struct BoundParam {
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLSMALLINT sqlType = SQL_WVARCHAR;
    SQLULEN size = 1;
    std::string data;
    bool isNull = false;

    static BoundParam text(const std::string& utf8);
    static BoundParam integer(int value);
    static BoundParam bit(bool value);
    static BoundParam null(SQLSMALLINT cType, SQLSMALLINT sqlType);
};

class OdbcTestClient {
public:
    OdbcTestClient();
    ~OdbcTestClient();
    OdbcTestClient(const OdbcTestClient&) = delete;
    OdbcTestClient& operator=(const OdbcTestClient&) = delete;

    static std::string connectionString(int port, const std::string& user, const std::string& password,
                                        const std::string& database = {});
    // Returns false and fills error (the driver's messages) when the logon fails.
    bool connect(const std::string& connectionString, std::string* error = nullptr);
    // Executes text with the parameters bound as nvarchar (nullopt = NULL) and reads every result.
    OdbcOutcome exec(const std::string& sql, const std::vector<Cell>& params = {});
    // Executes text with typed parameters bound to its "?" markers and reads every result.
    OdbcOutcome execBound(const std::string& sql, const std::vector<BoundParam>& params);
    // Asks the driver for the catalog list: SQLTables with SQL_ALL_CATALOGS and empty schema and table.
    OdbcOutcome catalogs();
    // SQLPrimaryKeys and SQLColumns on a table (an empty catalog or schema is left out).
    OdbcOutcome primaryKeys(const std::string& catalog, const std::string& schema, const std::string& table);
    OdbcOutcome columns(const std::string& catalog, const std::string& schema, const std::string& table);
    // SQLTables with a table name pattern and a list of table types (empty = all).
    OdbcOutcome tables(const std::string& schema, const std::string& pattern, const std::string& types = {});
    // SQLGetTypeInfo for one ODBC type (SQL_ALL_TYPES for the whole list).
    OdbcOutcome typeInfo(SQLSMALLINT type);
    // SQLStatistics (all indexes) and SQLSpecialColumns (the best row identifier) on a table.
    OdbcOutcome statistics(const std::string& schema, const std::string& table);
    OdbcOutcome specialColumns(const std::string& schema, const std::string& table);
    // SQLForeignKeys: the keys referencing pkTable, or held by fkTable (an empty name is left out).
    OdbcOutcome foreignKeys(const std::string& pkTable, const std::string& fkTable);
    // SQLProcedures with a schema (empty = left out) and a name pattern.
    OdbcOutcome procedures(const std::string& schema, const std::string& pattern);
    // SQLProcedureColumns with a schema, procedure and column name (an empty one is left out).
    OdbcOutcome procedureColumns(const std::string& schema, const std::string& procedure,
                                 const std::string& column);
    // SQLTablePrivileges and SQLColumnPrivileges (an empty schema or column is left out).
    OdbcOutcome tablePrivileges(const std::string& schema, const std::string& table);
    OdbcOutcome columnPrivileges(const std::string& schema, const std::string& table,
                                 const std::string& column);
    // Prepares once and executes once per parameter set.
    std::vector<OdbcOutcome> prepareAndRun(const std::string& sql,
                                           const std::vector<std::vector<Cell>>& runs);
    // Executes and reads only the first rows of the first result, then closes the cursor early.
    std::vector<std::vector<Cell>> readFirstRows(const std::string& sql, int rows);
    bool setAutocommit(bool on);
    bool endTransaction(bool commit);

    SQLHDBC connection() const { return m_dbc; }
    static std::vector<OdbcMessage> diagnostics(SQLSMALLINT type, SQLHANDLE handle);

private:
    void collect(SQLHSTMT stmt, SQLRETURN rc, OdbcOutcome& out);
    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    bool m_connected = false;
};

} // namespace testsupport
