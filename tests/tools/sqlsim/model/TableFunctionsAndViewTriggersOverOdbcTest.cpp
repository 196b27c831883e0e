// Multi-statement table-valued functions and instead of triggers on views through unixODBC + FreeTDS:
// a function's table filled by its body and read in a from clause with its arguments and defaults,
// the checks its body meets as it is created, its text in the catalogue; a view written through
// its instead of triggers, which see the view's columns, one trigger per action, and a rollback
// inside undoing the statement.
#include "DemoServerFixture.h"

#include <algorithm>

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

const char* kOrdersOf =
    "create function dbo.f_OrdersOf(@customerId int, @minId int = 0)\r\n"
    "returns @orders table (id int not null primary key, customerId int, rank int, label nvarchar(30))\r\n"
    "as\r\n"
    "begin\r\n"
    "  declare @n int = 0\r\n"
    "  insert into @orders (id, customerId, rank, label)\r\n"
    "    select id, customerId, 0, N'order' from Orders where customerId = @customerId and id >= @minId\r\n"
    "  update @orders set rank = id * 10\r\n"
    "  select @n = count(*) from @orders\r\n"
    "  if @n = 0\r\n"
    "    insert into @orders (id, customerId, rank, label) values (-1, @customerId, 0, N'none')\r\n"
    "  return\r\n"
    "end\r\n";

class TableFunctionsAndViewTriggersOverOdbc : public DemoServerFixture {
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
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(TableFunctionsAndViewTriggersOverOdbc, TheDemoFunctionReturnsTheOrdersOfACustomer) {
    OdbcOutcome rows = ok("select * from dbo.fn_CustomerOrders(1) order by id");
    ASSERT_EQ(rows.results.size(), 1u);
    ASSERT_EQ(rows.results[0].columns.size(), 1u);
    EXPECT_EQ(rows.results[0].columns[0], "id");
    const Strings expected = column(ok("select id from Orders where customerId = 1 order by id"), 0);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(column(rows, 0), expected);
    EXPECT_EQ(column(ok("select count(*) from dbo.fn_CustomerOrders(-5)"), 0), (Strings{"0"}));
    EXPECT_EQ(column(ok("select name from sys.columns where object_id = object_id('dbo.fn_CustomerOrders')"), 0),
              (Strings{"id"}));
}

TEST_F(TableFunctionsAndViewTriggersOverOdbc, AFunctionsBodyFillsItsTableFromItsArgumentsAndDefaults) {
    ok(kOrdersOf);
    const Strings ids = column(ok("select id from Orders where customerId = 1 order by id"), 0);
    ASSERT_GE(ids.size(), 2u);
    OdbcOutcome all = ok("select f.id, f.rank, f.label from dbo.f_OrdersOf(1, default) as f order by f.id");
    EXPECT_EQ(column(all, 0), ids);
    for (size_t k = 0; k < ids.size(); ++k) {
        EXPECT_EQ(column(all, 1)[k], std::to_string(std::stoi(ids[k]) * 10));
        EXPECT_EQ(column(all, 2)[k], "order");
    }
    // The second argument filters; an expression may give it.
    EXPECT_EQ(column(ok("select id from f_OrdersOf(1, " + ids[1] + " - 0) order by id"), 0),
              Strings(ids.begin() + 1, ids.end()));
    // No rows: the body's own row.
    EXPECT_EQ(column(ok("select id, label from dbo.f_OrdersOf(-7, default)"), 1), (Strings{"none"}));
    // Joined with a table, under an alias.
    OdbcOutcome joined = ok("select c.name, count(*) from dbo.f_OrdersOf(1, 0) o join Customers c on c.id = "
                            "o.customerId group by c.name");
    EXPECT_EQ(column(joined, 0), column(ok("select name from Customers where id = 1"), 0));
    EXPECT_EQ(column(joined, 1), (Strings{std::to_string(ids.size())}));
    // Run again, the table starts empty.
    EXPECT_EQ(column(ok("select count(*) from dbo.f_OrdersOf(1, 0)"), 0), (Strings{std::to_string(ids.size())}));

    EXPECT_EQ(says("select * from dbo.f_OrdersOf(1)"),
              (Strings{"313: An insufficient number of arguments were supplied for the procedure or function "
                       "dbo.f_OrdersOf."}));
    EXPECT_EQ(says("select * from dbo.f_OrdersOf(1, 2, 3)"),
              (Strings{"8144: Procedure or function dbo.f_OrdersOf has too many arguments specified."}));
    EXPECT_EQ(says("select * from dbo.f_Nowhere(1)"), (Strings{"208: Invalid object name 'dbo.f_Nowhere'."}));
}

TEST_F(TableFunctionsAndViewTriggersOverOdbc, TheCatalogueKeepsTheFunctionItsTextAndItsColumns) {
    ok(kOrdersOf);
    OdbcOutcome o = ok("select type, type_desc from sys.objects where name = N'f_OrdersOf'");
    EXPECT_EQ(column(o, 0), (Strings{"TF"}));
    EXPECT_EQ(column(o, 1), (Strings{"SQL_TABLE_VALUED_FUNCTION"}));
    EXPECT_EQ(column(ok("select xtype from sysobjects where name = N'f_OrdersOf'"), 0), (Strings{"TF"}));
    EXPECT_EQ(column(ok("select definition from sys.sql_modules where object_id = object_id('dbo.f_OrdersOf')"), 0),
              (Strings{kOrdersOf}));
    EXPECT_EQ(column(ok("select text from syscomments where id = object_id('dbo.f_OrdersOf')"), 0),
              (Strings{kOrdersOf}));
    EXPECT_EQ(column(ok("select ROUTINE_TYPE from INFORMATION_SCHEMA.ROUTINES where ROUTINE_NAME = N'f_OrdersOf'"),
                     0),
              (Strings{"FUNCTION"}));
    EXPECT_EQ(column(ok("select name from sys.columns where object_id = object_id('dbo.f_OrdersOf') order by "
                        "column_id"),
                     0),
              (Strings{"id", "customerId", "rank", "label"}));
    // Altered, it returns the new table; dropped, it is gone.
    ok("alter function dbo.f_OrdersOf(@customerId int, @minId int = 0) returns @t table (n int) as\n"
       "begin\n  insert @t values (@customerId + @minId)\n  return\nend");
    EXPECT_EQ(column(ok("select n from dbo.f_OrdersOf(2, 3)"), 0), (Strings{"5"}));
    EXPECT_EQ(column(ok("select name from sys.columns where object_id = object_id('dbo.f_OrdersOf')"), 0),
              (Strings{"n"}));
    ok("drop function dbo.f_OrdersOf");
    EXPECT_EQ(column(ok("select count(*) from sys.objects where name = N'f_OrdersOf'"), 0), (Strings{"0"}));
}

TEST_F(TableFunctionsAndViewTriggersOverOdbc, AFunctionsBodyMayNotChangeAnythingOutsideItsTables) {
    const std::string head = "create function dbo.f_Bad(@a int) returns @t table (a int) as\nbegin\n";
    EXPECT_EQ(says(head + "  insert into Regions (name) values (N'x')\n  return\nend"),
              (Strings{"443: Invalid use of a side-effecting operator 'INSERT' within a function."}));
    EXPECT_EQ(says(head + "  delete from Regions\n  return\nend"),
              (Strings{"443: Invalid use of a side-effecting operator 'DELETE' within a function."}));
    EXPECT_EQ(says(head + "  if @a > 0\n  begin\n    update Regions set name = N'y'\n  end\n  return\nend"),
              (Strings{"443: Invalid use of a side-effecting operator 'UPDATE' within a function."}));
    EXPECT_EQ(says(head + "  print 'hello'\n  return\nend"),
              (Strings{"443: Invalid use of a side-effecting operator 'PRINT' within a function."}));
    EXPECT_EQ(says(head + "  select * from Regions\n  return\nend"),
              (Strings{"444: Select statements included within a function cannot return data to a client."}));
    EXPECT_EQ(says(head + "  return 1\nend"),
              (Strings{"178: A RETURN statement with a return value cannot be used in this context."}));
    // A scalar function meets the same checks.
    EXPECT_EQ(says("create function dbo.f_BadScalar() returns int as\nbegin\n  delete Regions\n  return 1\nend"),
              (Strings{"443: Invalid use of a side-effecting operator 'DELETE' within a function."}));
    EXPECT_EQ(column(ok("select count(*) from sys.objects where name like N'f[_]Bad%'"), 0), (Strings{"0"}));
    // Its own table variables it may change.
    ok(head + "  declare @x table (v int)\n  insert @x values (@a)\n  delete @x where v < 0\n"
              "  insert @t select v from @x\n  return\nend");
    EXPECT_EQ(column(ok("select a from dbo.f_Bad(4)"), 0), (Strings{"4"}));
    EXPECT_EQ(column(ok("select count(*) from dbo.f_Bad(-4)"), 0), (Strings{"0"}));
}

TEST_F(TableFunctionsAndViewTriggersOverOdbc, FunctionsFollowTransactionsAndPermissions) {
    ok("begin transaction");
    ok(kOrdersOf);
    EXPECT_EQ(column(ok("select count(*) from sys.objects where name = N'f_OrdersOf'"), 0), (Strings{"1"}));
    ok("rollback");
    EXPECT_EQ(says("select * from dbo.f_OrdersOf(1, 0)"), (Strings{"208: Invalid object name 'dbo.f_OrdersOf'."}));
    EXPECT_EQ(column(ok("select count(*) from sys.sql_modules where object_id = object_id('dbo.f_OrdersOf')"), 0),
              (Strings{"0"}));

    ok(kOrdersOf);
    auto clerk = connect("clerk", "clerk", "Sales");
    EXPECT_EQ(messages(clerk->exec("create function dbo.f_Mine() returns @t table (a int) as begin return end")),
              (Strings{"262: CREATE FUNCTION permission denied in database 'Sales'."}));
    Strings denied = messages(clerk->exec("select * from dbo.f_OrdersOf(1, 0)"));
    ASSERT_EQ(denied.size(), 1u);
    EXPECT_EQ(denied[0].rfind("229: The SELECT permission was denied on the object 'f_OrdersOf'", 0), 0u)
        << denied[0];
    ok("grant select on dbo.f_OrdersOf to clerk");
    // The owner's rights cover the table the body reads.
    EXPECT_EQ(column(clerk->exec("select count(*) from dbo.f_OrdersOf(1, 0)"), 0),
              column(ok("select count(*) from Orders where customerId = 1"), 0));
}

class ViewTriggers : public TableFunctionsAndViewTriggersOverOdbc {
protected:
    void SetUp() override {
        TableFunctionsAndViewTriggersOverOdbc::SetUp();
        // A view over two tables, which no statement could write without its triggers.
        ok("create view dbo.vOrderCustomers as select o.id as orderId, c.name as customer, o.note from Orders o "
           "join Customers c on c.id = o.customerId");
        ok("create table dbo.ViewLog (action varchar(10), orderId int, customer nvarchar(100), note varchar(50))");
        ok("create trigger dbo.tr_vOC_Insert on dbo.vOrderCustomers instead of insert as\n"
           "set nocount on\n"
           "if exists (select * from inserted where customer is null)\nbegin\n"
           "  raiserror('customer required', 16, 1)\n  rollback\n  return\nend\n"
           "insert into ViewLog select 'insert', orderId, customer, note from inserted");
        ok("create trigger dbo.tr_vOC_Change on dbo.vOrderCustomers instead of update, delete as\n"
           "set nocount on\n"
           "insert into ViewLog select case when exists (select * from inserted) then 'new' else 'gone' end, "
           "orderId, customer, note from deleted\n"
           "declare @id int, @note varchar(50)\n"
           "select @id = orderId, @note = note from inserted\n"
           "if @id is not null update Orders set note = @note where id = @id");
    }
};

TEST_F(ViewTriggers, InsteadOfTriggersTakeTheViewsStatementsWithItsColumns) {
    ok("insert into vOrderCustomers (customer, orderId) values (N'Someone', 77), (N'Else', 78)");
    OdbcOutcome log = ok("select action, orderId, customer, note from ViewLog order by orderId");
    EXPECT_EQ(column(log, 0), (Strings{"insert", "insert"}));
    EXPECT_EQ(column(log, 1), (Strings{"77", "78"}));
    EXPECT_EQ(column(log, 2), (Strings{"Someone", "Else"}));
    EXPECT_EQ(column(log, 3), (Strings{"NULL", "NULL"}));
    ok("delete ViewLog");

    // An update gives the rows as the view shows them and as they would become.
    const Strings firstIds = column(ok("select top 1 id from Orders order by id"), 0);
    ASSERT_EQ(firstIds.size(), 1u);
    const std::string id = firstIds[0];
    const Strings customer = column(ok("select customer from vOrderCustomers where orderId = " + id), 0);
    ok("update vOrderCustomers set note = 'via view' where orderId = " + id);
    EXPECT_EQ(column(ok("select note from Orders where id = " + id), 0), (Strings{"via view"}));
    OdbcOutcome changed = ok("select action, orderId, customer from ViewLog");
    EXPECT_EQ(column(changed, 0), (Strings{"new"}));
    EXPECT_EQ(column(changed, 1), (Strings{id}));
    EXPECT_EQ(column(changed, 2), customer);
    // A delete: the trigger decides; the orders stay.
    const Strings before = column(ok("select count(*) from Orders"), 0);
    ok("delete from vOrderCustomers where orderId = " + id);
    EXPECT_EQ(column(ok("select count(*) from Orders"), 0), before);
    EXPECT_EQ(column(ok("select action from ViewLog order by action"), 0), (Strings{"gone", "new"}));

    // The triggers belong to the view and go with it.
    EXPECT_EQ(column(ok("select count(*) from sys.objects where type = 'TR' and parent_object_id = "
                        "object_id('dbo.vOrderCustomers')"),
                     0),
              (Strings{"2"}));
    ok("drop view dbo.vOrderCustomers");
    EXPECT_EQ(column(ok("select count(*) from sys.objects where name like N'tr[_]vOC%'"), 0), (Strings{"0"}));
}

TEST_F(ViewTriggers, OneInsteadOfTriggerPerActionAndARollbackInsideEndsTheBatch) {
    EXPECT_EQ(says("create trigger dbo.tr_vOC_Second on dbo.vOrderCustomers instead of delete as select 1"),
              (Strings{"2111: Cannot CREATE trigger 'tr_vOC_Second' on view 'dbo.vOrderCustomers' because an "
                       "INSTEAD OF DELETE trigger already exists on this object."}));
    // Altered, a trigger keeps its own actions.
    ok("alter trigger dbo.tr_vOC_Change on dbo.vOrderCustomers instead of update, delete as\n"
       "insert into ViewLog (action) values ('altered')");
    ok("delete vOrderCustomers where orderId = -1");
    EXPECT_EQ(column(ok("select action from ViewLog"), 0), (Strings{"altered"}));
    EXPECT_EQ(says("create trigger dbo.tr_vOC_After on dbo.vOrderCustomers after insert as select 1"),
              (Strings{"8197: The object 'dbo.vOrderCustomers' does not exist or is invalid for this "
                       "operation."}));

    // A rollback inside undoes the statement, and the transaction around it, and ends the batch.
    ok("begin transaction");
    ok("insert into Regions (name) values (N'inside')");
    OdbcOutcome refused = m_sa->exec("insert into vOrderCustomers (orderId) values (5)\nselect 'not reached'");
    EXPECT_FALSE(refused.ok);
    Strings got = messages(refused);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (Strings{"3609: The transaction ended in the trigger. The batch has been aborted.",
                            "50000: customer required"}));
    EXPECT_TRUE(column(refused, 0).empty());
    EXPECT_EQ(column(ok("select @@trancount, (select count(*) from Regions where name = N'inside')"), 0),
              (Strings{"0"}));
    EXPECT_EQ(column(ok("select count(*) from Regions where name = N'inside'"), 0), (Strings{"0"}));
}

TEST_F(ViewTriggers, AViewWithoutATriggerForTheActionIsNotWrittenAndPermissionsHold) {
    ok("create view dbo.vPlain as select id, name from Regions");
    Strings said = says("insert into vPlain (name) values (N'x')");
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("50000: Statement not supported by the simulator", 0), 0u) << said[0];
    ok("drop trigger dbo.tr_vOC_Change");
    said = says("update vOrderCustomers set note = 'x'");
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("50000: Statement not supported by the simulator", 0), 0u) << said[0];

    // Triggers on the server's statements are refused before anything is made.
    for (const char* ddl : {"create trigger tr_Ddl on all server for create_database as rollback"}) {
        said = says(ddl);
        ASSERT_EQ(said.size(), 1u) << ddl;
        EXPECT_EQ(said[0].rfind("50000: Statement not supported by the simulator", 0), 0u) << said[0];
    }
    EXPECT_EQ(column(ok("select count(*) from sys.sql_modules where definition like N'%tr[_]Ddl%'"), 0),
              (Strings{"0"}));

    auto clerk = connect("clerk", "clerk", "Sales");
    Strings denied = messages(clerk->exec("insert into vOrderCustomers (orderId, customer) values (1, N'c')"));
    ASSERT_EQ(denied.size(), 1u);
    EXPECT_EQ(denied[0].rfind("229: The INSERT permission was denied on the object 'vOrderCustomers'", 0), 0u)
        << denied[0];
    ok("grant insert on dbo.vOrderCustomers to clerk");
    // The view's owner owns its trigger: the clerk needs no right on the log.
    OdbcOutcome granted = clerk->exec("insert into vOrderCustomers (orderId, customer) values (1, N'c')");
    EXPECT_TRUE(granted.ok) << ::testing::PrintToString(messages(granted));
    EXPECT_EQ(column(ok("select count(*) from ViewLog where customer = N'c'"), 0), (Strings{"1"}));
}

} // namespace
