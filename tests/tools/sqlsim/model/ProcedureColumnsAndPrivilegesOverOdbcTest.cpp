// SQLProcedureColumns, SQLTablePrivileges, SQLColumnPrivileges and the server's attribute list
// through unixODBC + FreeTDS, answered from the demo instance's modules, grants and version.
#include "DemoServerFixture.h"

#include <algorithm>

using namespace sqlsimtest;
using testsupport::Cell;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<std::vector<Cell>>;
using Types = std::vector<SQLSMALLINT>;

class ProcedureColumnsAndPrivilegesOverOdbc : public DemoServerFixture {};

TEST_F(ProcedureColumnsAndPrivilegesOverOdbc, ProcedureColumnsGiveTheReturnValueThenEachParameter) {
    auto sa = connect("sa", "Secret1", "Sales");
    ASSERT_TRUE(sa->exec("create procedure dbo.CatProc @id int, @label nvarchar(30) = N'x', "
                         "@total decimal(9,2) output as set @total = @id")
                    .ok);
    OdbcOutcome proc = sa->procedureColumns("dbo", "CatProc", "");
    ASSERT_TRUE(proc.ok) << ::testing::PrintToString(messages(proc));
    ASSERT_EQ(proc.results.size(), 1u);
    const Strings& cols = proc.results[0].columns;
    ASSERT_GE(cols.size(), 19u);
    EXPECT_EQ(Strings(cols.begin(), cols.begin() + 19),
              (Strings{"PROCEDURE_CAT", "PROCEDURE_SCHEM", "PROCEDURE_NAME", "COLUMN_NAME", "COLUMN_TYPE",
                       "DATA_TYPE", "TYPE_NAME", "COLUMN_SIZE", "BUFFER_LENGTH", "DECIMAL_DIGITS",
                       "NUM_PREC_RADIX", "NULLABLE", "REMARKS", "COLUMN_DEF", "SQL_DATA_TYPE",
                       "SQL_DATETIME_SUB", "CHAR_OCTET_LENGTH", "ORDINAL_POSITION", "IS_NULLABLE"}));
    const Types& types = proc.results[0].types;
    ASSERT_GE(types.size(), 20u);
    EXPECT_EQ(Types(types.begin(), types.begin() + 12),
              (Types{SQL_WVARCHAR, SQL_WVARCHAR, SQL_WVARCHAR, SQL_WVARCHAR, SQL_SMALLINT, SQL_SMALLINT,
                     SQL_WVARCHAR, SQL_INTEGER, SQL_INTEGER, SQL_SMALLINT, SQL_SMALLINT, SQL_SMALLINT}));
    EXPECT_EQ(types[17], SQL_INTEGER);
    EXPECT_EQ(types[19], SQL_TINYINT);
    EXPECT_NE(logText().find("sp_sproc_columns"), std::string::npos);
    EXPECT_EQ(column(proc, 2), (Strings(4, "CatProc;1")));
    EXPECT_EQ(column(proc, 3), (Strings{"@RETURN_VALUE", "@id", "@label", "@total"}));
    EXPECT_EQ(column(proc, 4), (Strings{"5", "1", "1", "2"}));
    EXPECT_EQ(column(proc, 5), (Strings{"4", "4", "-9", "3"}));
    EXPECT_EQ(column(proc, 6), (Strings{"int", "int", "nvarchar", "decimal"}));
    EXPECT_EQ(column(proc, 7), (Strings{"10", "10", "30", "9"}));
    EXPECT_EQ(column(proc, 8), (Strings{"4", "4", "60", "11"}));
    EXPECT_EQ(column(proc, 9), (Strings{"0", "0", "NULL", "2"}));
    EXPECT_EQ(column(proc, 11), (Strings{"0", "1", "1", "1"}));
    EXPECT_EQ(column(proc, 16), (Strings{"NULL", "NULL", "60", "NULL"}));
    EXPECT_EQ(column(proc, 17), (Strings{"0", "1", "2", "3"}));
    EXPECT_EQ(column(proc, 18), (Strings{"NO", "YES", "YES", "YES"}));

    // The column name is a pattern; a scalar function's return value has the function's type.
    EXPECT_EQ(column(sa->procedureColumns("dbo", "CatProc", "@t%"), 3), (Strings{"@total"}));
    OdbcOutcome fn = sa->procedureColumns("dbo", "fn_OrderTotal", "");
    ASSERT_TRUE(fn.ok) << ::testing::PrintToString(messages(fn));
    EXPECT_EQ(fn.results.at(0).rows, (Rows{{"Sales",
                                            "dbo",
                                            "fn_OrderTotal;0",
                                            "@RETURN_VALUE",
                                            "5",
                                            "3",
                                            "money",
                                            "19",
                                            "21",
                                            "4",
                                            "10",
                                            "1",
                                            {},
                                            {},
                                            "3",
                                            {},
                                            {},
                                            "0",
                                            "YES",
                                            "110"},
                                           {"Sales",    "dbo", "fn_OrderTotal;0",
                                            "@orderId", "1",   "4",
                                            "int",      "10",  "4",
                                            "0",        "10",  "1",
                                            {},         {},    "4",
                                            {},         {},    "1",
                                            "YES",      "38"}}));

    // An altered procedure is described as it is now, a dropped one not at all.
    ASSERT_TRUE(sa->exec("alter procedure dbo.CatProc @when datetime as select @when").ok);
    OdbcOutcome altered = sa->procedureColumns("dbo", "CatProc", "");
    EXPECT_EQ(column(altered, 3), (Strings{"@RETURN_VALUE", "@when"}));
    EXPECT_EQ(column(altered, 5), (Strings{"4", "93"}));
    EXPECT_EQ(column(altered, 15), (Strings{"NULL", "3"}));
    ASSERT_TRUE(sa->exec("drop procedure dbo.CatProc").ok);
    OdbcOutcome gone = sa->procedureColumns("dbo", "CatProc", "");
    ASSERT_TRUE(gone.ok) << ::testing::PrintToString(messages(gone));
    EXPECT_TRUE(gone.results.at(0).rows.empty());
}

TEST_F(ProcedureColumnsAndPrivilegesOverOdbc, ProcedureColumnsTheSimulatorCannotListAreRefusedWhole) {
    auto sa = connect("sa", "Secret1", "Sales");
    auto clerk = connect("clerk", "clerk", "Sales");
    // What another login may run; the system schema.
    for (OdbcOutcome out : {clerk->procedureColumns("dbo", "p_CustomerOrders", ""),
                            sa->procedureColumns("sys", "sp_help", "")}) {
        EXPECT_FALSE(out.ok);
        Strings said = messages(out);
        ASSERT_EQ(said.size(), 1u);
        EXPECT_EQ(said[0].rfind("50000: Statement not supported by the simulator: ", 0), 0u) << said[0];
    }
}

TEST_F(ProcedureColumnsAndPrivilegesOverOdbc, TablePrivilegesListTheOwnerAndTheGrantsByPrivilege) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome orders = sa->tablePrivileges("dbo", "Orders");
    ASSERT_TRUE(orders.ok) << ::testing::PrintToString(messages(orders));
    ASSERT_EQ(orders.results.size(), 1u);
    EXPECT_EQ(orders.results[0].columns, (Strings{"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "GRANTOR",
                                                  "GRANTEE", "PRIVILEGE", "IS_GRANTABLE"}));
    EXPECT_EQ(orders.results[0].types, (Types{SQL_WVARCHAR, SQL_WVARCHAR, SQL_WVARCHAR, SQL_WVARCHAR,
                                              SQL_WVARCHAR, SQL_VARCHAR, SQL_VARCHAR}));
    EXPECT_NE(logText().find("sp_table_privileges"), std::string::npos);
    // The role SalesReaders may select; manager may select, insert, update and delete.
    EXPECT_EQ(column(orders, 4), (Strings{"dbo", "manager", "dbo", "manager", "dbo", "dbo", "manager",
                                          "SalesReaders", "dbo", "manager"}));
    EXPECT_EQ(column(orders, 5), (Strings{"DELETE", "DELETE", "INSERT", "INSERT", "REFERENCES", "SELECT",
                                          "SELECT", "SELECT", "UPDATE", "UPDATE"}));
    EXPECT_EQ(column(orders, 6), (Strings{"YES", "NO", "YES", "NO", "YES", "YES", "NO", "NO", "YES", "NO"}));
    EXPECT_EQ(column(orders, 3), (Strings(10, "dbo")));

    // A name pattern covers several tables, each in name order; a new table has only its owner.
    ASSERT_TRUE(sa->exec("create table dbo.CatGrants (id int not null)").ok);
    OdbcOutcome several = sa->tablePrivileges("dbo", "Ca%");
    ASSERT_TRUE(several.ok) << ::testing::PrintToString(messages(several));
    Strings names = column(several, 2);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "CatGrants");
    EXPECT_EQ(std::count(names.begin(), names.end(), "CatGrants"), 5);

    // A user removed from the database takes its grants with it.
    ASSERT_TRUE(sa->exec("exec sp_revokedbaccess 'manager'").ok);
    EXPECT_EQ(column(sa->tablePrivileges("dbo", "Orders"), 4),
              (Strings{"dbo", "dbo", "dbo", "dbo", "SalesReaders", "dbo"}));
}

TEST_F(ProcedureColumnsAndPrivilegesOverOdbc, ColumnPrivilegesRepeatTheTableGrantsForEachColumn) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome all = sa->columnPrivileges("dbo", "Orders", "");
    ASSERT_TRUE(all.ok) << ::testing::PrintToString(messages(all));
    ASSERT_EQ(all.results.size(), 1u);
    EXPECT_EQ(all.results[0].columns, (Strings{"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "COLUMN_NAME",
                                               "GRANTOR", "GRANTEE", "PRIVILEGE", "IS_GRANTABLE"}));
    EXPECT_EQ(all.results[0].types, (Types{SQL_WVARCHAR, SQL_WVARCHAR, SQL_WVARCHAR, SQL_WVARCHAR,
                                           SQL_WVARCHAR, SQL_WVARCHAR, SQL_VARCHAR, SQL_VARCHAR}));
    EXPECT_NE(logText().find("sp_column_privileges"), std::string::npos);
    // Every column of the table, in name order, eight privileges each (no DELETE on a column).
    Strings tableColumns =
        column(sa->exec("select name from sys.columns where object_id = object_id('dbo.Orders') "
                        "order by name"),
               0);
    ASSERT_FALSE(tableColumns.empty());
    Strings listed = column(all, 3);
    ASSERT_EQ(listed.size(), tableColumns.size() * 8);
    for (size_t k = 0; k < tableColumns.size(); ++k) {
        EXPECT_EQ(listed[k * 8], tableColumns[k]);
    }

    OdbcOutcome one = sa->columnPrivileges("dbo", "Orders", "id");
    ASSERT_TRUE(one.ok) << ::testing::PrintToString(messages(one));
    EXPECT_EQ(column(one, 5),
              (Strings{"dbo", "manager", "dbo", "dbo", "manager", "SalesReaders", "dbo", "manager"}));
    EXPECT_EQ(column(one, 6),
              (Strings{"INSERT", "INSERT", "REFERENCES", "SELECT", "SELECT", "SELECT", "UPDATE", "UPDATE"}));

    // A table that does not exist has no rows.
    OdbcOutcome none = sa->columnPrivileges("dbo", "NoSuchTable", "");
    ASSERT_TRUE(none.ok) << ::testing::PrintToString(messages(none));
    EXPECT_TRUE(none.results.at(0).rows.empty());
}

TEST_F(ProcedureColumnsAndPrivilegesOverOdbc, ServerInfoGivesTheDocumentedAttributesWithTheInstancesVersion) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome all = sa->exec("exec sp_server_info");
    ASSERT_TRUE(all.ok) << ::testing::PrintToString(messages(all));
    ASSERT_EQ(all.results.size(), 1u);
    EXPECT_EQ(all.results[0].columns, (Strings{"ATTRIBUTE_ID", "ATTRIBUTE_NAME", "ATTRIBUTE_VALUE"}));
    EXPECT_EQ(all.results[0].types, (Types{SQL_INTEGER, SQL_VARCHAR, SQL_VARCHAR}));
    Strings ids = column(all, 0);
    ASSERT_EQ(ids.size(), 29u);
    EXPECT_EQ(ids.front(), "1");
    EXPECT_EQ(ids.back(), "500");
    Strings names = column(all, 1);
    for (const char* name : {"DBMS_NAME", "DBMS_VER", "OWNER_TERM", "COLLATION_SEQ", "MULTI_RESULT_SETS",
                             "ACCESSIBLE_TABLES", "QUALIFIER_TERM", "SYS_SPROC_VERSION"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    }

    // The version attributes agree with the instance's product version.
    std::string version =
        column(sa->exec("select cast(serverproperty('ProductVersion') as varchar(20))"), 0).at(0);
    OdbcOutcome ver = sa->exec("exec sp_server_info @attribute_id = 2");
    ASSERT_EQ(column(ver, 2).size(), 1u);
    const std::string dbmsVer = column(ver, 2)[0];
    EXPECT_EQ(dbmsVer.substr(dbmsVer.size() - version.size() - 3), " - " + version);
    const std::string major = version.substr(0, version.find('.'));
    const std::string build = version.substr(version.find('.', major.size() + 1) + 1);
    EXPECT_EQ(column(sa->exec("exec sp_server_info 500"), 2),
              (Strings{major + ".00." + build.substr(0, build.find('.'))}));
    EXPECT_EQ(column(sa->exec("exec sp_server_info 101"), 2), (Strings{"database"}));
    EXPECT_TRUE(sa->exec("exec sp_server_info 3").results.at(0).rows.empty());
}

} // namespace
