// The main window's and the object browser's statements, and the driver's own catalog calls, sent
// to the demo instance through unixODBC + FreeTDS.
#include "DemoServerFixture.h"

#include "model/StatementTexts.h"

#include <algorithm>

using namespace sqlsimtest;
using namespace sqlsim::model;
using testsupport::OdbcOutcome;

namespace {

class BrowserOverOdbc : public DemoServerFixture {};

using Strings = std::vector<std::string>;

TEST_F(BrowserOverOdbc, DatabaseListHasTheProcedureColumnsAndOnlyAccessibleDatabases) {
    auto sa = connect();
    OdbcOutcome out = sa->exec(texts::kDatabaseList);
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    ASSERT_EQ(out.results.size(), 1u);
    EXPECT_EQ(out.results[0].columns, (Strings{"dbname", "owner", "DboOnly", "ReadOnly", "SingleUser",
                                               "Detached", "Suspect", "Offline", "InLoad", "EmergencyMode",
                                               "StandBy", "ShutDown", "InRecovery", "NotRecovered"}));
    EXPECT_EQ(column(out, 0), (Strings{"master", "model", "msdb", "Sales", "tempdb", "Склад"}));
    EXPECT_EQ(column(out, 1).front(), "sa");
    // clerk is a user of Sales and Склад, and guest lets everyone into master, msdb and tempdb.
    auto clerk = connect("clerk", "clerk");
    EXPECT_EQ(column(clerk->exec(texts::kDatabaseList), 0),
              (Strings{"master", "msdb", "Sales", "tempdb", "Склад"}));
}

TEST_F(BrowserOverOdbc, DriverCatalogListNamesEveryDatabaseButModel) {
    auto clerk = connect("clerk", "clerk");
    OdbcOutcome out = clerk->catalogs();
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    ASSERT_EQ(out.results.size(), 1u);
    ASSERT_EQ(out.results[0].columns.size(), 5u);
    EXPECT_EQ(out.results[0].columns[0], "TABLE_CAT");
    EXPECT_EQ(column(out, 0), (Strings{"master", "msdb", "Sales", "tempdb", "Склад"}));
    EXPECT_EQ(column(out, 1), (Strings(5, "NULL")));
    EXPECT_EQ(column(out, 2), (Strings(5, "NULL")));
    EXPECT_NE(logText().find("sp_tables"), std::string::npos);
}

TEST_F(BrowserOverOdbc, UseSwitchesTheObjectListOrFailsWith911) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome objects = sa->exec(texts::kBrowserObjects);
    ASSERT_TRUE(objects.ok);
    ASSERT_EQ(objects.results.size(), 1u);
    EXPECT_EQ(objects.results[0].columns, (Strings{"sUser", "name", "type"}));
    Strings owners = column(objects, 0), names = column(objects, 1), types = column(objects, 2);
    EXPECT_TRUE(std::is_sorted(owners.begin(), owners.end()));
    auto typeOf = [&](const std::string& name) {
        auto at = std::find(names.begin(), names.end(), name);
        return at == names.end() ? std::string("missing") : types[size_t(at - names.begin())];
    };
    EXPECT_EQ(typeOf("Orders"), "U ");
    EXPECT_EQ(typeOf("vCustomerOrders"), "V ");
    EXPECT_EQ(typeOf("p_CustomerOrders"), "P ");
    EXPECT_EQ(typeOf("fn_OrderTotal"), "FN");
    EXPECT_EQ(typeOf("tr_Orders_Insert"), "TR");
    EXPECT_EQ(typeOf("DF_Orders_note"), "D ");
    EXPECT_EQ(typeOf("FK_Orders_Customers"), "F ");
    EXPECT_EQ(typeOf("PK_Orders"), "K ");
    EXPECT_EQ(typeOf("Сотрудники"), "U ");

    OdbcOutcome use = sa->exec("use Склад");
    EXPECT_TRUE(use.ok);
    names = column(sa->exec(texts::kBrowserObjects), 1);
    EXPECT_NE(std::find(names.begin(), names.end(), "Остатки"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "Orders"), names.end());

    OdbcOutcome missing = sa->exec("use Nowhere");
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(
        messages(missing),
        (Strings{"911: Database 'Nowhere' does not exist. Make sure that the name is entered correctly."}));
    EXPECT_EQ(column(sa->exec("select db_name()"), 0), (Strings{"Склад"}));
}

TEST_F(BrowserOverOdbc, ShowDataReturnsTheRowsAndTheDriverFindsTheKeyThroughSpPkeys) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome rows = sa->exec("select * from [dbo].[Orders]");
    ASSERT_TRUE(rows.ok);
    EXPECT_EQ(rows.results[0].columns, (Strings{"id", "customerId", "orderDate", "note"}));
    ASSERT_EQ(rows.results[0].rows.size(), 120u);
    EXPECT_EQ(rows.results[0].rows[0],
              (std::vector<testsupport::Cell>{"1", "1", "2004-03-01 13:45:07.123", {}}));

    // The driver sees the identity column as auto-increment, as the data layer asks it.
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, sa->connection(), &stmt);
    ASSERT_TRUE(SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)"select * from [dbo].[OrderLines]", SQL_NTS)));
    std::vector<SQLLEN> autoIncrement;
    for (SQLUSMALLINT c = 1; c <= 6; ++c) {
        SQLLEN flag = -1;
        SQLColAttribute(stmt, c, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &flag);
        autoIncrement.push_back(flag);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(autoIncrement,
              (std::vector<SQLLEN>{SQL_TRUE, SQL_FALSE, SQL_FALSE, SQL_FALSE, SQL_FALSE, SQL_FALSE}));

    OdbcOutcome keys = sa->primaryKeys("Sales", "dbo", "Orders");
    ASSERT_TRUE(keys.ok) << ::testing::PrintToString(messages(keys));
    ASSERT_EQ(keys.results.size(), 1u);
    EXPECT_EQ(keys.results[0].columns,
              (Strings{"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "COLUMN_NAME", "KEY_SEQ", "PK_NAME"}));
    EXPECT_EQ(keys.results[0].rows, (std::vector<std::vector<testsupport::Cell>>{
                                        {"Sales", "dbo", "Orders", "id", "1", "PK_Orders"}}));
    EXPECT_NE(logText().find("sp_pkeys"), std::string::npos);
    // A table without a primary key has no rows; the Cyrillic table has its own.
    EXPECT_EQ(column(sa->primaryKeys("", "", "Сотрудники"), 3), (Strings{"id"}));

    // A table whose name holds "]" cannot be shown: the statement, built without escaping, breaks.
    ASSERT_TRUE(sa->exec("create table dbo.[Odd]]Name] (id int null)").ok);
    OdbcOutcome odd = sa->exec("select * from [dbo].[Odd]Name]");
    EXPECT_FALSE(odd.ok);
    EXPECT_EQ(messages(odd), (Strings{"102: Incorrect syntax near ']'."}));
    EXPECT_TRUE(sa->exec("select * from [dbo].[Odd]]Name]").ok);

    OdbcOutcome procedure = sa->exec("select * from [dbo].[p_CustomerOrders]");
    EXPECT_FALSE(procedure.ok);
    EXPECT_EQ(messages(procedure), (Strings{"208: Invalid object name 'dbo.p_CustomerOrders'."}));
}

TEST_F(BrowserOverOdbc, DriverColumnListComesFromSpColumns) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome out = sa->columns("", "dbo", "Products");
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    ASSERT_EQ(out.results.size(), 1u);
    const Strings& cols = out.results[0].columns;
    ASSERT_GE(cols.size(), 18u);
    EXPECT_EQ(Strings(cols.begin(), cols.begin() + 18),
              (Strings{"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "COLUMN_NAME", "DATA_TYPE", "TYPE_NAME",
                       "COLUMN_SIZE", "BUFFER_LENGTH", "DECIMAL_DIGITS", "NUM_PREC_RADIX", "NULLABLE",
                       "REMARKS", "COLUMN_DEF", "SQL_DATA_TYPE", "SQL_DATETIME_SUB", "CHAR_OCTET_LENGTH",
                       "ORDINAL_POSITION", "IS_NULLABLE"}));
    EXPECT_EQ(column(out, 3), (Strings{"id", "name", "price", "note"}));
    EXPECT_EQ(column(out, 5), (Strings{"int identity", "nvarchar", "money", "varchar"}));
    EXPECT_EQ(column(out, 4), (Strings{"4", "-9", "3", "12"}));
    EXPECT_EQ(column(out, 6), (Strings{"10", "50", "19", "50"}));
    EXPECT_EQ(column(out, 7), (Strings{"4", "100", "21", "50"}));
    EXPECT_EQ(column(out, 12), (Strings{"NULL", "NULL", "NULL", "('n/a')"}));
    EXPECT_EQ(column(out, 17), (Strings{"NO", "NO", "NO", "YES"}));
    EXPECT_NE(logText().find("sp_columns"), std::string::npos);
}

TEST_F(BrowserOverOdbc, SpWho2ListsTheDemoProcessesAndThisSession) {
    auto first = connect();
    auto sa = connect();
    ASSERT_TRUE(sa->exec("use Склад").ok);
    OdbcOutcome out = sa->exec("sp_who2");
    ASSERT_TRUE(out.ok);
    ASSERT_EQ(out.results.size(), 1u);
    EXPECT_EQ(out.results[0].columns,
              (Strings{"SPID", "Status", "Login", "HostName", "BlkBy", "DBName", "Command", "CPUTime",
                       "DiskIO", "LastBatch", "ProgramName", "SPID", "REQUESTID"}));
    Strings spids = column(out, 0), logins = column(out, 2), dbs = column(out, 5);
    OdbcOutcome me = sa->exec("select @@spid");
    ASSERT_EQ(column(me, 0).size(), 1u);
    std::string spid = column(me, 0)[0];
    auto at = std::find_if(spids.begin(), spids.end(),
                           [&](const std::string& s) { return s.substr(0, s.find(' ')) == spid; });
    ASSERT_NE(at, spids.end());
    EXPECT_EQ(logins[size_t(at - spids.begin())], "sa");
    EXPECT_EQ(dbs[size_t(at - spids.begin())], "Склад");
    // The demo's own sessions stay listed beside the two real ones.
    EXPECT_EQ(std::count(logins.begin(), logins.end(), "clerk"), 2);
    EXPECT_EQ(std::count(logins.begin(), logins.end(), "manager"), 1);
    // The suspended demo process stays blocked by the other clerk session, wherever that moved.
    Strings blockers = column(out, 4), commands = column(out, 6);
    auto update = std::find(commands.begin(), commands.end(), "UPDATE");
    ASSERT_NE(update, commands.end());
    std::string blocker = blockers[size_t(update - commands.begin())];
    blocker = blocker.substr(0, blocker.find(' '));
    auto blocking = std::find_if(spids.begin(), spids.end(),
                                 [&](const std::string& s) { return s.substr(0, s.find(' ')) == blocker; });
    ASSERT_NE(blocking, spids.end()) << blocker;
    EXPECT_EQ(logins[size_t(blocking - spids.begin())], "clerk");
}

} // namespace
