// The bodies of procedures, functions and triggers through unixODBC + FreeTDS: parsed as they are
// created, so a syntax error fails the create and leaves nothing; the names they use are looked up
// only when they run.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class ModuleBodiesOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    Strings says(const std::string& text) { return messages(m_sa->exec(text)); }
    // Runs text that must succeed.
    void ok(const std::string& text) {
        OdbcOutcome r = m_sa->exec(text);
        EXPECT_TRUE(r.ok) << text << "\n" << ::testing::PrintToString(messages(r));
    }
    std::string objects(const std::string& name) {
        return column(m_sa->exec("select count(*) from sys.objects where name = N'" + name + "'"), 0).at(0);
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(ModuleBodiesOverOdbc, SyntaxErrorsInABodyFailTheCreateAndLeaveNothing) {
    const Strings nearEquals{"102: Incorrect syntax near '='."};
    EXPECT_EQ(says("create procedure dbo.p_Bad as\nset nocount on\nselect * from Orders where id = = 1"),
              nearEquals);
    EXPECT_EQ(objects("p_Bad"), "0");
    EXPECT_EQ(says("exec dbo.p_Bad"), (Strings{"2812: Could not find stored procedure 'p_Bad'."}));

    // Inside blocks, conditions and loops too, wherever the statement stands.
    EXPECT_EQ(says("create procedure dbo.p_Deep @n int as\nwhile @n > 0\nbegin\n  if @n = 2\n"
                   "    update Orders set note = = 'x'\n  set @n = @n - 1\nend"),
              nearEquals);
    EXPECT_EQ(objects("p_Deep"), "0");
    EXPECT_EQ(says("create function dbo.f_Bad(@a int) returns int as\nbegin\n  return (@a + )\nend"),
              (Strings{"102: Incorrect syntax near ')'."}));
    EXPECT_EQ(objects("f_Bad"), "0");
    EXPECT_EQ(
        says("create trigger dbo.tr_Bad on dbo.Orders for update as\ndelete from Orders where id in (1,)"),
        (Strings{"102: Incorrect syntax near ')'."}));
    EXPECT_EQ(objects("tr_Bad"), "0");

    // An alter with a bad body keeps the module as it was.
    ok("create procedure dbo.p_Keep as select 1");
    EXPECT_EQ(says("alter procedure dbo.p_Keep as select * from Orders where id = = 2"), nearEquals);
    EXPECT_EQ(column(m_sa->exec("exec dbo.p_Keep"), 0), (Strings{"1"}));
}

TEST_F(ModuleBodiesOverOdbc, MissingTablesFailOnlyWhenTheBodyRuns) {
    ok("create procedure dbo.p_Later @go bit as\nif @go = 1\n  select count(*) from dbo.NotYet\n"
       "select 'done'");
    EXPECT_EQ(column(m_sa->exec("exec dbo.p_Later 0"), 0), (Strings{"done"}));
    EXPECT_EQ(says("exec dbo.p_Later 1"), (Strings{"208: Invalid object name 'dbo.NotYet'."}));
    ok("create table dbo.NotYet (a int)");
    EXPECT_EQ(column(m_sa->exec("exec dbo.p_Later 1"), 0), (Strings{"0"}));

    ok("create trigger dbo.tr_Log on dbo.Regions for insert as\n"
       "declare @n nvarchar(50)\nselect @n = name from inserted\ninsert into dbo.RegionLog (name) values "
       "(@n)");
    EXPECT_EQ(says("insert into Regions (name) values (N'North-East')"),
              (Strings{"208: Invalid object name 'dbo.RegionLog'."}));
    ok("create table dbo.RegionLog (name nvarchar(50))");
    ok("insert into Regions (name) values (N'North-East')");
    EXPECT_EQ(column(m_sa->exec("select name from dbo.RegionLog"), 0), (Strings{"North-East"}));
}

TEST_F(ModuleBodiesOverOdbc, ARollbackInATriggerOutsideATransactionUndoesAllItsStatementDid) {
    for (const char* text :
         {"create table dbo.Audit (what nvarchar(50))", "create table dbo.Side (n int)",
          "create trigger dbo.tr_Audit on dbo.Audit for insert as\ninsert into dbo.Side (n) values (1)\n"
          "if exists (select * from inserted where what = N'veto')\n  rollback",
          "create trigger dbo.tr_Regions on dbo.Regions for insert as\n"
          "declare @n nvarchar(50)\nselect @n = name from inserted\ninsert into dbo.Audit (what) values "
          "(@n)"}) {
        ok(text);
    }
    const std::string counts = "select (select count(*) from Regions), (select count(*) from dbo.Audit), "
                               "(select count(*) from dbo.Side)";
    const std::string regions = column(m_sa->exec(counts), 0).at(0);
    const Strings ended{"3609: The transaction ended in the trigger. The batch has been aborted."};

    // The trigger's own table and what the trigger wrote before its rollback.
    OdbcOutcome direct = m_sa->exec("insert into dbo.Audit (what) values (N'veto')\nselect 'after'");
    EXPECT_EQ(messages(direct), ended);
    EXPECT_TRUE(direct.results.empty());
    OdbcOutcome after = m_sa->exec(counts);
    EXPECT_EQ((Strings{column(after, 0).at(0), column(after, 1).at(0), column(after, 2).at(0)}),
              (Strings{regions, "0", "0"}));

    // Two triggers deep: the statement that set them off goes too, and the batch ends.
    OdbcOutcome nested = m_sa->exec("insert into Regions (name) values (N'veto')\nselect 'after'");
    EXPECT_EQ(messages(nested), ended);
    EXPECT_TRUE(nested.results.empty());
    after = m_sa->exec(counts);
    EXPECT_EQ((Strings{column(after, 0).at(0), column(after, 1).at(0), column(after, 2).at(0)}),
              (Strings{regions, "0", "0"}));

    // Without the rollback all three keep their rows.
    ok("insert into Regions (name) values (N'fine')");
    after = m_sa->exec(counts);
    EXPECT_EQ((Strings{column(after, 1).at(0), column(after, 2).at(0)}), (Strings{"1", "1"}));
    EXPECT_NE(column(after, 0).at(0), regions);
}

TEST_F(ModuleBodiesOverOdbc, InlineTableValuedFunctionsReadLikeViewsWithParameters) {
    const char* text =
        "create function dbo.f_OrdersOf(@customer int)\r\nreturns table\r\nas\r\n"
        "return (select id, customerId as who from dbo.Orders where customerId = @customer)\r\n";
    ok(text);
    const Strings direct = column(m_sa->exec("select count(*) from Orders where customerId = 2"), 0);
    ASSERT_EQ(direct.size(), 1u);
    EXPECT_NE(direct[0], "0");
    EXPECT_EQ(column(m_sa->exec("select count(*) from dbo.f_OrdersOf(2)"), 0), direct);
    // With a variable for its argument, an alias, in a join, its columns by the names it gave them.
    EXPECT_EQ(column(m_sa->exec("declare @c int = 2\nselect count(*) from dbo.f_OrdersOf(@c) as o\n"
                                "join Customers c on c.id = o.who"),
                     0),
              direct);
    EXPECT_EQ(column(m_sa->exec("select count(*) from dbo.f_OrdersOf(-5)"), 0), (Strings{"0"}));
    // Kept as typed, as an inline function.
    EXPECT_EQ(column(m_sa->exec("select o.type, m.definition from sys.objects o join sys.sql_modules m "
                                "on m.object_id = o.object_id where o.name = N'f_OrdersOf'"),
                     0),
              (Strings{"IF"}));
    EXPECT_EQ(column(m_sa->exec("select m.definition from sys.sql_modules m where m.object_id = "
                                "object_id('dbo.f_OrdersOf')"),
                     0),
              (Strings{text}));

    EXPECT_EQ(says("select * from dbo.f_OrdersOf(1, 2)"),
              (Strings{"8144: Procedure or function dbo.f_OrdersOf has too many arguments specified."}));
    EXPECT_EQ(says("select * from dbo.f_OrdersOf()"),
              (Strings{"313: An insufficient number of arguments were supplied for the procedure or function "
                       "dbo.f_OrdersOf."}));
    EXPECT_EQ(says("select * from dbo.f_Nope(1)"), (Strings{"208: Invalid object name 'dbo.f_Nope'."}));
    // Like a view it is bound as it is made.
    EXPECT_EQ(says("create function dbo.f_Missing() returns table as return select * from dbo.NoSuchTable"),
              (Strings{"208: Invalid object name 'dbo.NoSuchTable'."}));
    EXPECT_EQ(objects("f_Missing"), "0");

    // Reading it needs SELECT on it; its owner's rights cover the table it reads.
    auto clerk = connect("clerk", "clerk", "Sales");
    EXPECT_EQ(messages(clerk->exec("select count(*) from dbo.f_OrdersOf(2)")),
              (Strings{"229: The SELECT permission was denied on the object 'f_OrdersOf', database 'Sales', "
                       "schema 'dbo'."}));
    ok("deny select on Orders to clerk\ngrant select on dbo.f_OrdersOf to clerk");
    EXPECT_EQ(column(clerk->exec("select count(*) from dbo.f_OrdersOf(2)"), 0), direct);

    ok("drop function dbo.f_OrdersOf");
    EXPECT_EQ(says("select * from dbo.f_OrdersOf(2)"),
              (Strings{"208: Invalid object name 'dbo.f_OrdersOf'."}));
}

TEST_F(ModuleBodiesOverOdbc, InsteadOfTriggersRunInPlaceOfTheirStatements) {
    ok("create table dbo.Kept (id int, note nvarchar(20))");
    ok("insert into dbo.Kept (id, note) values (1, N'one')");
    ok("create table dbo.Journal (what nvarchar(20), id int)");
    ok("create trigger dbo.tr_KeptInsert on dbo.Kept instead of insert as\ndeclare @id int\n"
       "select @id = id from inserted\ninsert into dbo.Journal (what, id) values (N'insert', @id)\n"
       "insert into dbo.Kept (id, note) values (@id * 10, N'by trigger')");
    ok("create trigger dbo.tr_KeptDelete on dbo.Kept instead of delete as\ndeclare @id int\n"
       "select @id = id from deleted\ninsert into dbo.Journal (what, id) values (N'delete', @id)");
    ok("create trigger dbo.tr_KeptUpdate on dbo.Kept instead of update as\ndeclare @id int, @note "
       "nvarchar(20)\n"
       "select @id = id, @note = note from inserted\ninsert into dbo.Journal (what, id) values (@note, @id)");

    // The statements change nothing themselves; the triggers see their rows. The trigger's own
    // insert into the table goes in without setting it off again.
    ok("insert into dbo.Kept (id, note) values (2, N'two')");
    ok("delete from dbo.Kept where id = 1");
    ok("update dbo.Kept set note = N'changed' where id = 1");
    OdbcOutcome kept = m_sa->exec("select id, note from dbo.Kept order by id");
    EXPECT_EQ(column(kept, 0), (Strings{"1", "20"}));
    EXPECT_EQ(column(kept, 1), (Strings{"one", "by trigger"}));
    OdbcOutcome journal = m_sa->exec("select what, id from dbo.Journal order by what");
    EXPECT_EQ(column(journal, 0), (Strings{"changed", "delete", "insert"}));
    EXPECT_EQ(column(journal, 1), (Strings{"1", "1", "2"}));

    // A view takes only instead of triggers.
    EXPECT_EQ(says("create trigger dbo.tr_View on dbo.vCustomerOrders after insert as select 1"),
              (Strings{"8197: The object 'dbo.vCustomerOrders' does not exist or is invalid for this operation."}));
}

} // namespace
