// Statements that share tables between sessions, scopes and statements, against the demo instance
// through unixODBC + FreeTDS: global temporary tables seen by every session; a procedure's own
// temporary table hiding its caller's; insert ... exec; drop of several objects at once; sp_help of
// views and table-valued functions.
#include "DemoServerFixture.h"

#include <chrono>
#include <thread>

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<std::vector<testsupport::Cell>>;

class SharedTablesOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    // The first column of the only result of sql run by client (sa when none).
    Strings firstColumn(const std::string& sql, testsupport::OdbcTestClient* client = nullptr) {
        OdbcOutcome out = (client ? client : m_sa.get())->exec(sql);
        EXPECT_TRUE(out.ok) << sql << ::testing::PrintToString(messages(out));
        EXPECT_EQ(out.results.size(), 1u) << sql;
        return column(out, 0);
    }
    // Runs sql, which must succeed; its order of results, counts and messages.
    Strings ran(const std::string& sql, testsupport::OdbcTestClient* client = nullptr) {
        OdbcOutcome out = (client ? client : m_sa.get())->exec(sql);
        EXPECT_TRUE(out.ok) << sql << ::testing::PrintToString(messages(out));
        return out.order;
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(SharedTablesOverOdbc, AGlobalTemporaryTableIsSeenByEverySessionUntilItsMakerLeaves) {
    auto other = connect("sa", "Secret1", "Sales");
    EXPECT_EQ(ran("select id, name into ##regions from Regions where id <= 3"), (Strings{"count:3"}));
    // Another session reads and writes it, and finds it through tempdb.
    EXPECT_EQ(firstColumn("select count(*) from ##regions", other.get()), (Strings{"3"}));
    EXPECT_EQ(ran("insert ##regions (name) values (N'West')", other.get()), (Strings{"count:1"}));
    EXPECT_EQ(firstColumn("select name from ##regions where name like N'W%'"), (Strings{"West"}));
    EXPECT_EQ(firstColumn("select case when object_id('tempdb..##regions') > 0 then 1 else 0 end", other.get()),
              (Strings{"1"}));
    EXPECT_EQ(firstColumn("select count(*) from tempdb.sys.tables where name = N'##regions'"), (Strings{"1"}));
    // One name for the whole instance: 2714 whoever makes it again.
    EXPECT_EQ(messages(other->exec("create table ##regions (a int)")),
              (Strings{"2714: There is already an object named '##regions' in the database."}));
    EXPECT_EQ(messages(m_sa->exec("select 1 as a into ##regions")),
              (Strings{"2714: There is already an object named '##regions' in the database."}));

    // A table made by the other session goes when that session disconnects, not before.
    ASSERT_TRUE(other->exec("create table ##fromOther (a int)\ninsert ##fromOther values (7)").ok);
    EXPECT_EQ(firstColumn("select a from ##fromOther"), (Strings{"7"}));
    other.reset();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    Strings left;
    while (true) {
        left = firstColumn("select isnull(object_id('tempdb..##fromOther'), 0)");
        if (left == Strings{"0"} || std::chrono::steady_clock::now() > deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(left, (Strings{"0"})) << "the table outlived its session";
    EXPECT_EQ(messages(m_sa->exec("select a from ##fromOther")), (Strings{"208: Invalid object name '##fromOther'."}));
    // Its own session's table stays.
    EXPECT_EQ(firstColumn("select count(*) from ##regions"), (Strings{"4"}));
    EXPECT_EQ(ran("drop table ##regions"), Strings{});
    EXPECT_EQ(messages(m_sa->exec("drop table ##regions")),
              (Strings{"3701: Cannot drop the table '##regions', because it does not exist or you do not have "
                       "permission."}));
}

TEST_F(SharedTablesOverOdbc, ARollbackUndoesTheMakingOfAGlobalTemporaryTable) {
    auto other = connect("sa", "Secret1", "Sales");
    ASSERT_TRUE(m_sa->exec("begin tran\ncreate table ##undone (a int)\ninsert ##undone values (1)").ok);
    EXPECT_EQ(firstColumn("select count(*) from ##undone"), (Strings{"1"}));
    EXPECT_EQ(ran("rollback"), Strings{});
    EXPECT_EQ(firstColumn("select isnull(object_id('tempdb..##undone'), 0)", other.get()), (Strings{"0"}));
    EXPECT_EQ(ran("create table ##undone (a int)", other.get()), Strings{});
    EXPECT_EQ(firstColumn("select count(*) from ##undone"), (Strings{"0"}));
}

TEST_F(SharedTablesOverOdbc, AnotherSessionsOpenTransactionHoldsAGlobalTemporaryTable) {
    auto writer = connect("sa", "Secret1", "Sales");
    ASSERT_TRUE(writer->exec("create table ##held (a int)\ninsert ##held values (1)").ok);
    ASSERT_TRUE(m_sa->exec("create table #free (a int)").ok);
    ASSERT_TRUE(writer->exec("begin tran\ninsert ##held values (2)").ok);
    const auto start = std::chrono::steady_clock::now();
    OdbcOutcome blocked = m_sa->exec("set lock_timeout 300\nselect count(*) from ##held");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    EXPECT_EQ(messages(blocked), (Strings{"1222: Lock request time out period exceeded."}));
    // A local temporary table of the reader does not wait.
    EXPECT_EQ(firstColumn("select count(*) from #free"), (Strings{"0"}));
    ASSERT_TRUE(writer->exec("rollback").ok);
    EXPECT_EQ(firstColumn("set lock_timeout 300\nselect count(*) from ##held"), (Strings{"1"}));
}

TEST_F(SharedTablesOverOdbc, AProceduresTemporaryTableHidesItsCallersOfTheSameName) {
    ASSERT_TRUE(m_sa->exec("create table #t (a int)\ninsert #t values (1)").ok);
    ASSERT_TRUE(m_sa->exec("create procedure dbo.MakesItsOwnT as\n"
                           "create table #t (b varchar(10))\n"
                           "insert #t values ('inner')\n"
                           "select b from #t")
                    .ok);
    ASSERT_TRUE(m_sa->exec("create procedure dbo.ReadsCallersT as select a from #t").ok);
    OdbcOutcome out = m_sa->exec("exec dbo.MakesItsOwnT\nselect a from #t\nexec dbo.ReadsCallersT");
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    ASSERT_EQ(out.results.size(), 3u);
    EXPECT_EQ(column(out, 0, 0), (Strings{"inner"}));
    EXPECT_EQ(column(out, 0, 1), (Strings{"1"}));
    EXPECT_EQ(column(out, 0, 2), (Strings{"1"}));
    // Text run by exec (...) and sp_executesql does the same; the inner table goes when it ends.
    OdbcOutcome dynamic = m_sa->exec("exec ('create table #t (c int) insert #t values (5) select c from #t')\n"
                                     "exec sp_executesql N'create table #t (d int) insert #t values (@v) "
                                     "select d from #t', N'@v int', @v = 6\n"
                                     "select a from #t");
    ASSERT_TRUE(dynamic.ok) << ::testing::PrintToString(messages(dynamic));
    ASSERT_EQ(dynamic.results.size(), 3u);
    EXPECT_EQ(column(dynamic, 0, 0), (Strings{"5"}));
    EXPECT_EQ(column(dynamic, 0, 1), (Strings{"6"}));
    EXPECT_EQ(column(dynamic, 0, 2), (Strings{"1"}));
    EXPECT_EQ(firstColumn("select count(*) from tempdb.sys.tables where name like N'#t[_]%'"), (Strings{"1"}));
    // Within one scope the name is still taken.
    ASSERT_TRUE(m_sa->exec("create procedure dbo.MakesTTwice as\ncreate table #u (a int)\ncreate table #u (a int)").ok);
    Strings twice = messages(m_sa->exec("exec dbo.MakesTTwice"));
    ASSERT_EQ(twice.size(), 1u);
    EXPECT_EQ(twice[0], "2714: There is already an object named '#u' in the database.");
}

TEST_F(SharedTablesOverOdbc, InsertExecTakesTheRowsOfEveryResultSet) {
    ASSERT_TRUE(m_sa->exec("create procedure dbo.TwoSets as\n"
                           "select id, name from Regions where id <= 2\n"
                           "select 9, N'nine'")
                    .ok);
    ASSERT_TRUE(m_sa->exec("create table #r (id int, name nvarchar(50))").ok);
    OdbcOutcome counted = m_sa->exec("insert into #r exec dbo.TwoSets\nselect @@rowcount");
    ASSERT_TRUE(counted.ok) << ::testing::PrintToString(messages(counted));
    EXPECT_EQ(counted.order, (Strings{"count:3", "result"}));
    EXPECT_EQ(column(counted, 0), (Strings{"3"}));
    EXPECT_EQ(firstColumn("select cast(id as varchar) + ':' + name from #r order by id"),
              (Strings{"1:North", "2:South", "9:nine"}));
    // With a column list, from exec (...) and sp_executesql, into a table variable.
    EXPECT_EQ(ran("insert #r (name, id) exec ('select N''ten'', 10')"), (Strings{"count:1"}));
    OdbcOutcome variable = m_sa->exec("declare @t table (n int, label nvarchar(10))\n"
                                      "insert @t exec sp_executesql N'select @n, N''var''', N'@n int', @n = 8\n"
                                      "insert @t (n) execute ('select 1 union all select 2')\n"
                                      "select n, label from @t order by n");
    ASSERT_TRUE(variable.ok) << ::testing::PrintToString(messages(variable));
    EXPECT_EQ(variable.order, (Strings{"count:1", "count:2", "result"}));
    EXPECT_EQ(column(variable, 0), (Strings{"1", "2", "8"}));
    EXPECT_EQ(column(variable, 1), (Strings{"NULL", "NULL", "var"}));
    // A system procedure's result goes in the same way.
    ASSERT_TRUE(m_sa->exec("create table #who (spid char(5), status nvarchar(30), login nvarchar(128), "
                           "host nvarchar(128), blkBy char(5), dbName nvarchar(128), command nvarchar(32), "
                           "cpu varchar(20), io varchar(20), lastBatch varchar(20), program nvarchar(128), "
                           "spid2 char(5), requestId int)")
                    .ok);
    OdbcOutcome who = m_sa->exec("exec sp_who2");
    ASSERT_TRUE(who.ok) << ::testing::PrintToString(messages(who));
    const Strings logins = column(who, 2);
    ASSERT_FALSE(logins.empty());
    EXPECT_EQ(ran("insert #who exec sp_who2"), (Strings{"count:" + std::to_string(logins.size())}));
    EXPECT_EQ(firstColumn("select login from #who"), logins);
    // A rollback takes the rows back out.
    ASSERT_TRUE(m_sa->exec("begin tran\ninsert #r exec dbo.TwoSets").ok);
    EXPECT_EQ(firstColumn("select count(*) from #r"), (Strings{"7"}));
    EXPECT_EQ(ran("rollback"), Strings{});
    EXPECT_EQ(firstColumn("select count(*) from #r"), (Strings{"4"}));
    EXPECT_EQ(firstColumn("select count(*) from Regions"), (Strings{"4"}));
    // Into a permanent table, whose identity numbers the new rows.
    ASSERT_TRUE(m_sa->exec("begin tran\ninsert Regions (name) exec ('select N''Nord'' select N''Süd''')").ok);
    EXPECT_EQ(firstColumn("select cast(id as varchar) + ':' + name from Regions where id > 4 order by id"),
              (Strings{"5:Nord", "6:Süd"}));
    EXPECT_EQ(ran("rollback"), Strings{});
    EXPECT_EQ(firstColumn("select count(*) from Regions"), (Strings{"4"}));
    // The text in a variable, and a procedure whose return code is kept.
    OdbcOutcome forms = m_sa->exec("declare @sql nvarchar(100) = N'select 11, N''eleven'''\ndeclare @rc int = -1\n"
                                   "insert #r exec sp_executesql @sql\ninsert #r exec @rc = dbo.TwoSets\n"
                                   "select @rc, count(*) from #r");
    ASSERT_TRUE(forms.ok) << ::testing::PrintToString(messages(forms));
    EXPECT_EQ(forms.order, (Strings{"count:1", "count:3", "result"}));
    EXPECT_EQ(forms.results.at(0).rows, (Rows{{"0", "8"}}));
}

TEST_F(SharedTablesOverOdbc, InsertExecFailsWholeOnAMismatchAConversionOrANestedInsertExec) {
    ASSERT_TRUE(m_sa->exec("create table #r (id int, name nvarchar(50))\ninsert #r values (1, N'one')").ok);
    const std::string mismatch = "213: Column name or number of supplied values does not match table definition.";
    EXPECT_EQ(messages(m_sa->exec("insert #r exec ('select 1')")), (Strings{mismatch}));
    // One set of the wrong width fails it all, and what the procedure wrote is undone with it.
    ASSERT_TRUE(m_sa->exec("create procedure dbo.WritesThenReturnsTooMuch as\n"
                           "insert Regions (name) values (N'Undone')\n"
                           "select 2, N'two'\n"
                           "select 3, N'three', 0")
                    .ok);
    EXPECT_EQ(messages(m_sa->exec("insert #r exec dbo.WritesThenReturnsTooMuch")), (Strings{mismatch}));
    EXPECT_EQ(firstColumn("select count(*) from Regions where name = N'Undone'"), (Strings{"0"}));
    EXPECT_EQ(firstColumn("select count(*) from #r"), (Strings{"1"}));
    // A value the column cannot take fails the statement; the rows before it go too.
    Strings converted = messages(m_sa->exec("insert #r exec ('select 4, N''four'' select ''x'', N''y''')"));
    ASSERT_FALSE(converted.empty());
    EXPECT_EQ(converted[0].rfind("245: Conversion failed when converting the varchar value 'x' to data type int.", 0),
              0u)
        << converted[0];
    EXPECT_EQ(firstColumn("select count(*) from #r"), (Strings{"1"}));
    // With xact_abort on, an error while the text runs rolls back the whole transaction, and it stays
    // rolled back.
    Strings aborted = messages(m_sa->exec("set xact_abort on\nbegin tran\ninsert Regions (name) values (N'Lost')\n"
                                          "insert #r exec ('select 1 / 0, N''x''')\nselect 1"));
    ASSERT_FALSE(aborted.empty());
    EXPECT_EQ(aborted[0], "8134: Divide by zero error encountered.");
    EXPECT_EQ(firstColumn("set xact_abort off\nselect @@trancount"), (Strings{"0"}));
    EXPECT_EQ(firstColumn("select count(*) from Regions where name = N'Lost'"), (Strings{"0"}));
    EXPECT_EQ(firstColumn("select count(*) from #r"), (Strings{"1"}));
    // An insert ... exec cannot run inside another.
    ASSERT_TRUE(m_sa->exec("create procedure dbo.InsertsFromExec as\n"
                           "create table #x (a int)\n"
                           "insert #x exec ('select 1')\n"
                           "select a, N'x' from #x")
                    .ok);
    OdbcOutcome alone = m_sa->exec("exec dbo.InsertsFromExec");
    ASSERT_TRUE(alone.ok) << ::testing::PrintToString(messages(alone));
    EXPECT_EQ(column(alone, 0), (Strings{"1"}));
    Strings nested = messages(m_sa->exec("insert #r exec dbo.InsertsFromExec"));
    ASSERT_FALSE(nested.empty());
    EXPECT_EQ(nested[0], "8164: An INSERT EXEC statement cannot be nested.");
    EXPECT_EQ(firstColumn("select count(*) from #r"), (Strings{"1"}));
    // The target is checked as for any insert: a missing table or column, a procedure not there.
    EXPECT_EQ(messages(m_sa->exec("insert #none exec dbo.TwoSets")), (Strings{"208: Invalid object name '#none'."}));
    EXPECT_EQ(messages(m_sa->exec("insert #r (nope) exec ('select 1')")), (Strings{"207: Invalid column name 'nope'."}));
    Strings noProcedure = messages(m_sa->exec("insert #r exec dbo.NoSuchProcedure"));
    ASSERT_EQ(noProcedure.size(), 1u);
    EXPECT_EQ(noProcedure[0].rfind("2812: Could not find stored procedure '", 0), 0u) << noProcedure[0];
}

TEST_F(SharedTablesOverOdbc, InsertExecAndDropAskTheRightsOfTheirTables) {
    auto clerk = connect("clerk", "clerk", "Sales");
    // Without INSERT on the table nothing runs: the text would have made a global table.
    EXPECT_EQ(messages(clerk->exec("insert Regions (name) exec ('select N''x'' as name into ##ranByClerk "
                                   "select name from ##ranByClerk')")),
              (Strings{"229: The INSERT permission was denied on the object 'Regions', database 'Sales', "
                       "schema 'dbo'."}));
    EXPECT_EQ(firstColumn("select isnull(object_id('tempdb..##ranByClerk'), 0)"), (Strings{"0"}));
    // Its own temporary tables need no right.
    EXPECT_EQ(ran("create table #mine (name nvarchar(50))\ninsert #mine exec ('select note from Orders where 1 = 0')\n"
                  "insert #mine exec ('select N''a'' union all select N''b''')",
                  clerk.get()),
              (Strings{"count:0", "count:2"}));
    EXPECT_EQ(ran("create table ##clerks (a int)\ninsert ##clerks exec ('select 1')", clerk.get()),
              (Strings{"count:1"}));
    EXPECT_EQ(firstColumn("select a from ##clerks"), (Strings{"1"}));
    // A drop it may not do fails for each table, and takes none.
    EXPECT_EQ(messages(clerk->exec("drop table Regions, Orders")),
              (Strings{"3701: Cannot drop the table 'Regions', because it does not exist or you do not have "
                       "permission.",
                       "3701: Cannot drop the table 'Orders', because it does not exist or you do not have "
                       "permission."}));
    EXPECT_EQ(firstColumn("select count(*) from sys.tables where name in (N'Regions', N'Orders')"), (Strings{"2"}));
}

TEST_F(SharedTablesOverOdbc, DropOfSeveralObjectsDropsEachThatExists) {
    ASSERT_TRUE(m_sa->exec("create table dbo.DropA (a int)\ncreate table dbo.DropB (b int)\ncreate table #DropC (c int)").ok);
    EXPECT_EQ(ran("drop table dbo.DropA, DropB, #DropC"), Strings{});
    EXPECT_EQ(firstColumn("select count(*) from sys.tables where name like N'Drop%'"), (Strings{"0"}));
    EXPECT_EQ(firstColumn("select isnull(object_id('tempdb..#DropC'), 0)"), (Strings{"0"}));

    // A missing one is reported; those around it still go.
    ASSERT_TRUE(m_sa->exec("create table dbo.DropA (a int)\ncreate table dbo.DropB (b int)").ok);
    EXPECT_EQ(messages(m_sa->exec("drop table DropA, NoSuchTable, DropB")),
              (Strings{"3701: Cannot drop the table 'NoSuchTable', because it does not exist or you do not have "
                       "permission."}));
    EXPECT_EQ(firstColumn("select count(*) from sys.tables where name like N'Drop%'"), (Strings{"0"}));
    ASSERT_TRUE(m_sa->exec("create table dbo.DropA (a int)").ok);
    EXPECT_EQ(ran("drop table if exists NoSuchTable, DropA"), Strings{});
    EXPECT_EQ(firstColumn("select count(*) from sys.tables where name = N'DropA'"), (Strings{"0"}));

    ASSERT_TRUE(m_sa->exec("create view dbo.DropV1 as select 1 as a").ok);
    ASSERT_TRUE(m_sa->exec("create view dbo.DropV2 as select 2 as b").ok);
    ASSERT_TRUE(m_sa->exec("create procedure dbo.DropP1 as select 1").ok);
    ASSERT_TRUE(m_sa->exec("create procedure dbo.DropP2 as select 2").ok);
    ASSERT_TRUE(m_sa->exec("create function dbo.DropF1() returns int as begin return 1 end").ok);
    ASSERT_TRUE(m_sa->exec("create function dbo.DropF2() returns table as return select 1 as a").ok);
    EXPECT_EQ(messages(m_sa->exec("drop view DropV1, NoSuchView, dbo.DropV2, NoSuchView2")),
              (Strings{"3701: Cannot drop the view 'NoSuchView', because it does not exist or you do not have "
                       "permission.",
                       "3701: Cannot drop the view 'NoSuchView2', because it does not exist or you do not have "
                       "permission."}));
    EXPECT_EQ(ran("drop procedure DropP1, dbo.DropP2\ndrop function if exists DropF1, NoSuchFunction, DropF2"),
              Strings{});
    EXPECT_EQ(firstColumn("select count(*) from sys.objects where name like N'Drop%'"), (Strings{"0"}));
    // In a transaction the drops are undone with it.
    ASSERT_TRUE(m_sa->exec("create table dbo.DropA (a int)\ncreate table dbo.DropB (b int)").ok);
    ASSERT_TRUE(m_sa->exec("begin tran\ndrop table DropA, DropB").ok);
    EXPECT_EQ(ran("rollback"), Strings{});
    EXPECT_EQ(firstColumn("select count(*) from sys.tables where name like N'Drop%'"), (Strings{"2"}));
}

TEST_F(SharedTablesOverOdbc, HelpDescribesViewsAndTableValuedFunctions) {
    ASSERT_TRUE(m_sa->exec("create view dbo.HelpView as select id, name from Regions").ok);
    OdbcOutcome view = m_sa->exec("exec sp_help 'dbo.HelpView'");
    ASSERT_TRUE(view.ok) << ::testing::PrintToString(messages(view));
    ASSERT_EQ(view.results.size(), 4u);
    EXPECT_EQ(view.results[0].columns, (Strings{"Name", "Owner", "Type", "Created_datetime"}));
    EXPECT_EQ(column(view, 2, 0), (Strings{"view"}));
    EXPECT_EQ(view.results[1].columns,
              (Strings{"Column_name", "Type", "Computed", "Length", "Prec", "Scale", "Nullable",
                       "TrimTrailingBlanks", "FixedLenNullInSource", "Collation"}));
    EXPECT_EQ(view.results[1].rows,
              (Rows{{"id", "int", "no", "4", "10   ", "0    ", "no", "(n/a)", "(n/a)", {}},
                    {"name", "nvarchar", "no", "100", "     ", "     ", "no", "no", "no",
                     "SQL_Latin1_General_CP1_CI_AS"}}));
    EXPECT_EQ(view.results[2].columns, (Strings{"Identity", "Seed", "Increment", "Not For Replication"}));
    EXPECT_EQ(view.results[3].rows, (Rows{{"No rowguidcol column defined."}}));

    ASSERT_TRUE(m_sa->exec("create function dbo.HelpInline(@min int, @label nvarchar(20)) returns table as\n"
                           "return select id, @label as label from Regions where id >= @min")
                    .ok);
    OdbcOutcome inlineFn = m_sa->exec("exec sp_help HelpInline");
    ASSERT_TRUE(inlineFn.ok) << ::testing::PrintToString(messages(inlineFn));
    ASSERT_EQ(inlineFn.results.size(), 3u);
    EXPECT_EQ(column(inlineFn, 2, 0), (Strings{"inline function"}));
    EXPECT_EQ(column(inlineFn, 0, 1), (Strings{"id", "label"}));
    EXPECT_EQ(inlineFn.results[2].columns,
              (Strings{"Parameter_name", "Type", "Length", "Prec", "Scale", "Param_order", "Collation"}));
    EXPECT_EQ(inlineFn.results[2].rows,
              (Rows{{"@min", "int", "4", "10", "0", "1", {}},
                    {"@label", "nvarchar", "40", "20", "0", "2", "SQL_Latin1_General_CP1_CI_AS"}}));

    EXPECT_EQ(messages(m_sa->exec("exec sp_help 'dbo.NoSuchView'")),
              (Strings{"15009: The object 'dbo.NoSuchView' does not exist in database 'Sales' "
                       "or is invalid for this operation."}));
}

} // namespace
