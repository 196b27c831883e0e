// Triggers on a database's definition statements through unixODBC + FreeTDS: a rollback inside
// keeps a dropped table and ends the batch with 3609; a trigger that logs runs once per statement
// and only for its events, not while disabled, and no more once dropped; such triggers are no
// objects of the database; making one takes the right to define objects; what the simulator does
// not raise is refused before anything changes.
#include "DemoServerFixture.h"

#include <algorithm>

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class DatabaseTriggersOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    OdbcOutcome ok(const std::string& text) {
        OdbcOutcome r = m_sa->exec(text);
        EXPECT_TRUE(r.ok) << text << "\n" << ::testing::PrintToString(messages(r));
        return r;
    }
    Strings says(const std::string& text) { return messages(m_sa->exec(text)); }
    static bool refusedAsNotSupported(const OdbcOutcome& out) {
        const Strings got = messages(out);
        return !out.ok && !got.empty() &&
               got[0].rfind("50000: Statement not supported by the simulator", 0) == 0;
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(DatabaseTriggersOverOdbc, ARollbackInsideKeepsTheDroppedTableAndEndsTheBatch) {
    ok("create table dbo.Keep (id int)");
    ok("insert into dbo.Keep values (1), (2)");
    ok("create trigger trNoDrops on database for drop_table as\r\n"
       "begin\r\n  print 'tables stay'\r\n  rollback\r\nend\r\n");
    OdbcOutcome refused = m_sa->exec("drop table dbo.Keep\nselect 'not reached'");
    EXPECT_FALSE(refused.ok);
    Strings got = messages(refused);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (Strings{"0: tables stay",
                            "3609: The transaction ended in the trigger. The batch has been aborted."}));
    EXPECT_TRUE(column(refused, 0).empty());
    EXPECT_EQ(column(ok("select count(*) from dbo.Keep"), 0), (Strings{"2"}));
    // Inside a transaction the rollback ends it, with what it did before.
    OdbcOutcome inTransaction =
        m_sa->exec("begin tran\ninsert into dbo.Keep values (3)\ndrop table dbo.Keep\ncommit");
    EXPECT_FALSE(inTransaction.ok);
    EXPECT_EQ(column(ok("select @@trancount, (select count(*) from dbo.Keep)"), 0), (Strings{"0"}));
    EXPECT_EQ(column(ok("select count(*) from dbo.Keep"), 0), (Strings{"2"}));
    // Other statements are not its events: a table it does not cover goes.
    ok("create table dbo.Other (id int)");
    ok("drop trigger trNoDrops on database");
    ok("drop table dbo.Other");
    ok("drop table dbo.Keep");
    EXPECT_EQ(column(ok("select object_id('dbo.Keep')"), 0), (Strings{"NULL"}));
}

TEST_F(DatabaseTriggersOverOdbc, ALoggingTriggerRunsOncePerStatementForItsEventsOnly) {
    ok("create table dbo.DdlLog (n int identity, what nvarchar(40))");
    ok("create trigger trLog on database after create_table, ddl_view_events as\r\n"
       "insert into dbo.DdlLog (what) values (N'logged')\r\n"
       "select 'trigger ran'\r\n");
    OdbcOutcome made = ok("create table dbo.T1 (id int)");
    EXPECT_EQ(column(made, 0), (Strings{"trigger ran"}));                // its select reaches the client
    ok("alter table dbo.T1 add constraint DF_T1_id default (0) for id"); // alter_table: not its event
    ok("create view dbo.V1 as select id from dbo.T1");
    ok("alter view dbo.V1 as select id, id + 1 as following from dbo.T1");
    ok("create procedure dbo.P1 as select 1"); // not its event
    ok("drop view dbo.V1");
    ok("drop table dbo.T1");              // not its event
    ok("create table #notHere (id int)"); // temporary tables are not this database's
    EXPECT_EQ(column(ok("select count(*) from dbo.DdlLog"), 0), (Strings{"4"}));

    // Disabled it does not run; enabled again it does.
    ok("disable trigger trLog on database");
    ok("create table dbo.T2 (id int)");
    EXPECT_EQ(column(ok("select count(*) from dbo.DdlLog"), 0), (Strings{"4"}));
    ok("enable trigger trLog on database");
    ok("create table dbo.T3 (id int)");
    EXPECT_EQ(column(ok("select count(*) from dbo.DdlLog"), 0), (Strings{"5"}));

    // Altered to other events, then dropped.
    ok("alter trigger trLog on database for ddl_procedure_events as\r\n"
       "insert into dbo.DdlLog (what) values (N'procedure')\r\n");
    ok("create table dbo.T4 (id int)");
    ok("drop procedure dbo.P1");
    EXPECT_EQ(column(ok("select what from dbo.DdlLog where n > 5"), 0), (Strings{"procedure"}));
    ok("drop trigger trLog on database");
    ok("create procedure dbo.P2 as select 2");
    EXPECT_EQ(column(ok("select count(*) from dbo.DdlLog"), 0), (Strings{"6"}));
    EXPECT_EQ(says("drop trigger trLog on database"),
              (Strings{"3701: Cannot drop the trigger 'trLog', because it does not exist or you do not have "
                       "permission."}));
    ok("drop trigger if exists trLog on database");
    EXPECT_EQ(says("disable trigger trLog on database"),
              (Strings{"1088: Cannot find the object \"trLog\" because it does not exist or you do not have "
                       "permissions."}));
}

TEST_F(DatabaseTriggersOverOdbc, CreateOrAlterRaisesTheEventOfWhatItDoes) {
    ok("create table dbo.Seen (n int identity, what nvarchar(20))");
    ok("create trigger trMade on database for create_procedure as insert into dbo.Seen (what) values "
       "(N'created')");
    ok("create trigger trChanged on database for alter_procedure as insert into dbo.Seen (what) values "
       "(N'altered')");
    ok("create trigger trTables on database for ddl_table_events as insert into dbo.Seen (what) values "
       "(N'table')");
    ok("create or alter procedure dbo.pTwice as select 1");
    ok("create or alter procedure dbo.pTwice as select 2");
    ok("alter table dbo.Seen add constraint DF_Seen_what default (N'?') for what");
    EXPECT_EQ(column(ok("select what from dbo.Seen order by n"), 0),
              (Strings{"created", "altered", "table"}));
}

TEST_F(DatabaseTriggersOverOdbc, SysTriggersListsTheTablesAndTheDatabasesTriggers) {
    ok("create trigger trWatch on database for create_table as print 'x'");
    ok("disable trigger trWatch on database");
    ok("create view dbo.vRegionNames as select id, name from Regions");
    ok("create trigger dbo.trNoRegionInserts on dbo.vRegionNames instead of insert as print 'no'");
    OdbcOutcome listed =
        ok("select name, parent_class, parent_class_desc, is_disabled, is_instead_of_trigger,\n"
           "  case when parent_id = 0 then '-' else object_name(parent_id) end, type\n"
           "from sys.triggers order by name");
    EXPECT_EQ(column(listed, 0), (Strings{"tr_Orders_Insert", "trNoRegionInserts", "trWatch"}));
    EXPECT_EQ(column(listed, 1), (Strings{"1", "1", "0"}));
    EXPECT_EQ(column(listed, 2), (Strings{"OBJECT_OR_COLUMN", "OBJECT_OR_COLUMN", "DATABASE"}));
    EXPECT_EQ(column(listed, 3), (Strings{"0", "0", "1"}));
    EXPECT_EQ(column(listed, 4), (Strings{"0", "1", "0"}));
    EXPECT_EQ(column(listed, 5), (Strings{"Orders", "vRegionNames", "-"}));
    EXPECT_EQ(column(listed, 6), (Strings{"TR", "TR", "TR"}));
    // A table's trigger has the object id sys.objects gives it; dropping the view takes its trigger.
    EXPECT_EQ(
        column(ok("select count(*) from sys.triggers t join sys.objects o on o.object_id = t.object_id"), 0),
        (Strings{"2"}));
    ok("drop view dbo.vRegionNames");
    ok("drop trigger trWatch on database");
    EXPECT_EQ(column(ok("select name from sys.triggers"), 0), (Strings{"tr_Orders_Insert"}));
}

TEST_F(DatabaseTriggersOverOdbc, ItIsNoObjectOfTheDatabase) {
    ok("create trigger trHidden on database for create_view as print 'x'");
    EXPECT_EQ(column(ok("select count(*) from sys.objects where name = 'trHidden'"), 0), (Strings{"0"}));
    EXPECT_EQ(column(ok("select count(*) from sysobjects where name = 'trHidden'"), 0), (Strings{"0"}));
    EXPECT_EQ(column(ok("select object_id('trHidden')"), 0), (Strings{"NULL"}));
    // Its text is kept with the modules'.
    EXPECT_EQ(
        column(ok("select count(*) from sys.sql_modules where definition like N'%trHidden%create[_]view%'"),
               0),
        (Strings{"1"}));
    EXPECT_EQ(says("create trigger trHidden on database for drop_view as print 'y'"),
              (Strings{"2714: There is already an object named 'trHidden' in the database."}));
    // Each database has its own.
    auto other = connect("sa", "Secret1", "master");
    OdbcOutcome elsewhere = other->exec("create view dbo.VMasterOnly as select 1 as one");
    EXPECT_TRUE(elsewhere.ok);
    EXPECT_TRUE(messages(elsewhere).empty());
    EXPECT_TRUE(other->exec("drop view dbo.VMasterOnly").ok);
    OdbcOutcome fired = ok("create view dbo.VHidden as select 1 as one");
    EXPECT_EQ(messages(fired), (Strings{"0: x"}));
}

TEST_F(DatabaseTriggersOverOdbc, MakingOneTakesTheRightToDefineObjects) {
    auto clerk = connect("clerk", "clerk", "Sales");
    EXPECT_EQ(messages(clerk->exec("create trigger trClerk on database for create_table as print 'no'")),
              (Strings{"262: CREATE TRIGGER permission denied in database 'Sales'."}));
    ok("create trigger trSa on database for create_table as print 'made'");
    EXPECT_EQ(messages(clerk->exec("drop trigger trSa on database")),
              (Strings{"3701: Cannot drop the trigger 'trSa', because it does not exist or you do not have "
                       "permission."}));
    EXPECT_EQ(messages(clerk->exec("disable trigger trSa on database")),
              (Strings{"1088: Cannot find the object \"trSa\" because it does not exist or you do not have "
                       "permissions."}));
    EXPECT_EQ(messages(ok("create table dbo.StillFiring (id int)")), (Strings{"0: made"}));
}

TEST_F(DatabaseTriggersOverOdbc, WhatTheSimulatorDoesNotRaiseIsRefusedBeforeAnythingChanges) {
    for (const char* text : {
             "create trigger trAll on all server for create_login as print 1",
             "create trigger trUsers on database for create_user as print 1",
             "create trigger trLevel on database for ddl_database_level_events as print 1",
             "create trigger trEvent on database for create_table as select eventdata()",
             "disable trigger all on database",
         }) {
        EXPECT_TRUE(refusedAsNotSupported(m_sa->exec(text))) << text;
    }
    ok("create table dbo.NoTriggerYet (id int)");
    EXPECT_TRUE(messages(ok("drop table dbo.NoTriggerYet")).empty());
    EXPECT_TRUE(refusedAsNotSupported(m_sa->exec("drop trigger trAll on all server")));
}

} // namespace
