// Procedures and views created, altered, run and dropped through unixODBC + FreeTDS: parameters
// bound by position and by name, defaults, OUTPUT parameters and return codes by a batch's exec and
// by an RPC call, the text kept as typed, and the server's errors where a call or a definition fails.
#include "DemoServerFixture.h"
#include "Server.h"
#include "model/InstanceResponder.h"
#include "model/Permissions.h"

#include <algorithm>

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

const char* kAdd = "create procedure dbo.p_Add @a int, @b int = 10, @sum int output\r\n"
                   "as\r\n"
                   "set nocount on\r\n"
                   "set @sum = @a + @b\r\n"
                   "if @a < 0 return -1\r\n"
                   "return 7\r\n";

class ProgrammableObjectsOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    // Runs text that must succeed and returns its outcome.
    OdbcOutcome ok(const std::string& text) {
        OdbcOutcome r = m_sa->exec(text);
        EXPECT_TRUE(r.ok) << text << "\n" << ::testing::PrintToString(messages(r));
        return r;
    }
    // The first row of the first result, as text.
    static Strings firstRow(const OdbcOutcome& r) {
        Strings row;
        if (r.results.empty() || r.results[0].rows.empty()) {
            return row;
        }
        for (size_t c = 0; c < r.results[0].rows[0].size(); ++c) {
            row.push_back(column(r, c).at(0));
        }
        return row;
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(ProgrammableObjectsOverOdbc, ProcedureTakesPositionalNamedDefaultAndOutputArgumentsInABatch) {
    ok(kAdd);
    const std::string call = "declare @s int, @rc int\n";
    EXPECT_EQ(firstRow(ok(call + "exec @rc = dbo.p_Add 1, @sum = @s output\nselect @s, @rc")),
              (Strings{"11", "7"}));
    EXPECT_EQ(firstRow(ok(call + "execute @rc = p_Add @b = 5, @a = 2, @sum = @s out\nselect @s, @rc")),
              (Strings{"7", "7"}));
    EXPECT_EQ(firstRow(ok(call + "exec @rc = p_Add -3, 1, @s output\nselect @s, @rc")), (Strings{"-2", "-1"}));
    EXPECT_EQ(firstRow(ok(call + "exec @rc = p_Add 4, default, @s output\nselect @s, @rc")),
              (Strings{"14", "7"}));
    // Without OUTPUT at the call the caller's variable keeps its value.
    EXPECT_EQ(firstRow(ok("declare @s int = 100\nexec p_Add 1, 2, @s\nselect @s")), (Strings{"100"}));

    // A procedure of the demo reads with its parameter as a select with the value would.
    EXPECT_EQ(column(ok("exec dbo.p_CustomerOrders 1"), 0).size(),
              column(ok("select id from Orders where customerId = 1"), 0).size());
    // A procedure run as the batch's first statement needs no exec.
    EXPECT_EQ(column(ok("p_CustomerOrders @customerId = 1"), 0).size(),
              column(ok("select id from Orders where customerId = 1"), 0).size());
}

TEST_F(ProgrammableObjectsOverOdbc, ProcedureCalledByRpcReturnsItsStatusAndOutputParameters) {
    ok(kAdd);
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_sa->connection(), &stmt)));
    SQLINTEGER rc = -99, a = 5, b = 1, sum = -99;
    SQLLEN rcInd = 0, aInd = 0, bInd = 0, sumInd = 0;
    SQLBindParameter(stmt, 1, SQL_PARAM_OUTPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &rc, 0, &rcInd);
    SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &a, 0, &aInd);
    SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &b, 0, &bInd);
    SQLBindParameter(stmt, 4, SQL_PARAM_INPUT_OUTPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &sum, 0, &sumInd);
    SQLRETURN r = SQLExecDirect(stmt, (SQLCHAR*)"{? = call dbo.p_Add(?, ?, ?)}", SQL_NTS);
    std::string diag;
    for (const auto& m : testsupport::OdbcTestClient::diagnostics(SQL_HANDLE_STMT, stmt)) {
        diag += std::to_string(m.native) + ": " + m.text + "\n";
    }
    // With nocount on and no rows the call ends with no data: the outputs are there all the same.
    EXPECT_TRUE(SQL_SUCCEEDED(r) || r == SQL_NO_DATA) << r << "\n" << diag << logText();
    while (SQL_SUCCEEDED(SQLMoreResults(stmt))) {
    }
    EXPECT_EQ(rc, 7);
    EXPECT_EQ(sum, 6);
    // A negative first argument takes the other return.
    a = -4;
    r = SQLExecDirect(stmt, (SQLCHAR*)"{? = call dbo.p_Add(?, ?, ?)}", SQL_NTS);
    ASSERT_TRUE(SQL_SUCCEEDED(r) || r == SQL_NO_DATA) << r;
    while (SQL_SUCCEEDED(SQLMoreResults(stmt))) {
    }
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(sum, -3);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    // Its rows come back by RPC as by exec.
    EXPECT_EQ(column(ok("{call dbo.p_CustomerOrders(1)}"), 0).size(),
              column(ok("select id from Orders where customerId = 1"), 0).size());
}

TEST_F(ProgrammableObjectsOverOdbc, DefinitionsKeepTheirTextAsTyped) {
    ok(kAdd);
    const std::string id = column(ok("select object_id('dbo.p_Add')"), 0).at(0);
    std::string helped;
    for (const std::string& line : column(ok("exec sp_helptext N'dbo.p_Add'"), 0)) {
        helped += line;
    }
    EXPECT_EQ(helped, kAdd);
    EXPECT_EQ(column(ok("select definition from sys.sql_modules where object_id = " + id), 0),
              (Strings{kAdd}));
    EXPECT_EQ(column(ok("select text, colid, number from syscomments where id = " + id), 0), (Strings{kAdd}));
    EXPECT_EQ(column(ok("select type from sys.objects where name = N'p_Add'"), 0), (Strings{"P "}));

    const std::string altered = "alter procedure dbo.p_Add @a int, @b int, @sum int output as\n"
                                "set @sum = @a * @b";
    ok(altered);
    EXPECT_EQ(column(ok("select object_id('dbo.p_Add')"), 0).at(0), id); // the same object
    EXPECT_EQ(column(ok("select definition from sys.sql_modules where object_id = " + id), 0),
              (Strings{altered}));
    EXPECT_EQ(firstRow(ok("declare @s int\nexec p_Add 3, 4, @s output\nselect @s")), (Strings{"12"}));
    // A text longer than 4,000 characters comes from syscomments in pieces.
    ok("create procedure dbo.p_Long as\nselect '" + std::string(5000, 'x') + "'");
    EXPECT_EQ(column(ok("select colid from syscomments where id = object_id('dbo.p_Long') order by colid"), 0),
              (Strings{"1", "2"}));
    ok("drop procedure dbo.p_Add, p_Long");
    EXPECT_EQ(column(ok("select count(*) from sys.sql_modules where object_id = " + id), 0), (Strings{"0"}));
}

TEST_F(ProgrammableObjectsOverOdbc, DefinitionsAndCallsFailAsTheServerFailsThem) {
    ok(kAdd);
    // A create after another statement fails the whole batch as it compiles.
    OdbcOutcome late = m_sa->exec("insert into Regions(name) values (N'Late')\ncreate procedure dbo.p_Late as select 1");
    EXPECT_EQ(messages(late),
              (Strings{"111: 'CREATE/ALTER PROCEDURE' must be the first statement in a query batch."}));
    EXPECT_EQ(column(ok("select count(*) from Regions where name = N'Late'"), 0), (Strings{"0"}));
    EXPECT_EQ(messages(m_sa->exec("select 1\ncreate view dbo.vLate as select 1 as one")),
              (Strings{"111: 'CREATE VIEW' must be the first statement in a query batch."}));
    EXPECT_EQ(messages(m_sa->exec("create proc p_Add as select 1")),
              (Strings{"2714: There is already an object named 'p_Add' in the database."}));
    EXPECT_EQ(messages(m_sa->exec("drop procedure dbo.p_Missing")),
              (Strings{"3701: Cannot drop the procedure 'p_Missing', because it does not exist or you do not "
                       "have permission."}));
    EXPECT_TRUE(m_sa->exec("drop procedure if exists dbo.p_Missing").ok);
    EXPECT_EQ(messages(m_sa->exec("alter procedure dbo.p_Missing as select 1")),
              (Strings{"208: Invalid object name 'p_Missing'."}));
    EXPECT_EQ(messages(m_sa->exec("exec p_Add")),
              (Strings{"201: Procedure or function 'p_Add' expects parameter '@a', which was not supplied."}));
    EXPECT_EQ(messages(m_sa->exec("declare @s int\nexec p_Add 1, 2, @s output, 4")),
              (Strings{"8144: Procedure or function p_Add has too many arguments specified."}));
    EXPECT_EQ(messages(m_sa->exec("exec p_Add @a = 1, @c = 2")),
              (Strings{"8145: @c is not a parameter for procedure p_Add."}));
    EXPECT_EQ(messages(m_sa->exec("exec dbo.p_Nowhere")),
              (Strings{"2812: Could not find stored procedure 'p_Nowhere'."}));

    // The clerk may neither create nor run what it was not granted.
    auto clerk = connect("clerk", "clerk", "Sales");
    EXPECT_EQ(messages(clerk->exec("create procedure dbo.p_Mine as select 1")),
              (Strings{"262: CREATE PROCEDURE permission denied in database 'Sales'."}));
    EXPECT_EQ(messages(clerk->exec("declare @s int\nexec dbo.p_Add 1, 2, @s output")),
              (Strings{"229: The EXECUTE permission was denied on the object 'p_Add', database 'Sales', schema "
                       "'dbo'."}));
    ok("grant execute on dbo.p_Add to clerk");
    EXPECT_EQ(firstRow(clerk->exec("declare @s int\nexec dbo.p_Add 1, 2, @s output\nselect @s")),
              (Strings{"3"}));
}

TEST_F(ProgrammableObjectsOverOdbc, ErrorsInsideAProcedureNameItAndReachTheCallersCatch) {
    ok("create procedure dbo.p_Fail @n int as\nif @n > 0\n  raiserror('boom %d', 16, 1, @n)\n"
       "insert into Regions (name) values (N'after ' + cast(@n as nvarchar(10)))");
    OdbcOutcome caught = ok("begin try\n  exec dbo.p_Fail 5\n  select 'not here'\nend try\nbegin catch\n"
                            "  select error_number(), error_message(), error_procedure()\nend catch");
    EXPECT_EQ(firstRow(caught), (Strings{"50000", "boom 5", "p_Fail"}));
    // Outside a try the error is reported and the procedure goes on with its next statement.
    OdbcOutcome reported = m_sa->exec("exec dbo.p_Fail 2");
    EXPECT_EQ(messages(reported), (Strings{"50000: boom 2"}));
    EXPECT_EQ(column(ok("select name from Regions where name like N'after%'"), 0), (Strings{"after 2"}));
}

TEST_F(ProgrammableObjectsOverOdbc, RollingBackATransactionUndoesACreatedProcedure) {
    ok("begin transaction");
    ok("create procedure dbo.p_Passing as select 42");
    EXPECT_EQ(column(ok("exec dbo.p_Passing"), 0), (Strings{"42"}));
    ok("rollback");
    EXPECT_EQ(messages(m_sa->exec("exec dbo.p_Passing")),
              (Strings{"2812: Could not find stored procedure 'p_Passing'."}));
    EXPECT_EQ(column(ok("select count(*) from sys.objects where name = N'p_Passing'"), 0), (Strings{"0"}));
}

TEST_F(ProgrammableObjectsOverOdbc, ViewsAreCreatedAlteredAndDroppedWithTheirText) {
    const std::string text = "create view dbo.vLater (orderId, customer)\nas\nselect id, customerId from Orders "
                             "where id > 2";
    ok(text);
    EXPECT_EQ(column(ok("select count(*) from dbo.vLater"), 0),
              column(ok("select count(*) from Orders where id > 2"), 0));
    EXPECT_EQ(column(ok("select name from sys.columns where object_id = object_id('dbo.vLater') order by "
                        "column_id"),
                     0),
              (Strings{"orderId", "customer"}));
    EXPECT_EQ(column(ok("select name from sys.views where name = N'vLater'"), 0), (Strings{"vLater"}));
    EXPECT_EQ(column(ok("select definition from sys.sql_modules where object_id = object_id('vLater')"), 0),
              (Strings{text}));
    ok("alter view dbo.vLater as select id from Orders where id <= 2");
    EXPECT_EQ(column(ok("select count(*) from vLater"), 0),
              column(ok("select count(*) from Orders where id <= 2"), 0));
    ok("drop view dbo.vLater");
    EXPECT_EQ(messages(m_sa->exec("select * from vLater")), (Strings{"208: Invalid object name 'vLater'."}));
    // The select compiles as the view is made: a missing table leaves no view behind.
    EXPECT_EQ(messages(m_sa->exec("create view dbo.vBroken as select * from dbo.Nowhere")),
              (Strings{"208: Invalid object name 'dbo.Nowhere'."}));
    EXPECT_EQ(column(ok("select count(*) from sys.views where name = N'vBroken'"), 0), (Strings{"0"}));
    EXPECT_EQ(messages(m_sa->exec("create view dbo.vNameless as select 1")),
              (Strings{"4511: Create View or Function failed because no column name was specified for column "
                       "1."}));
    EXPECT_EQ(messages(m_sa->exec("drop view dbo.vNowhere")),
              (Strings{"3701: Cannot drop the view 'vNowhere', because it does not exist or you do not have "
                       "permission."}));
}

TEST_F(ProgrammableObjectsOverOdbc, TriggersSeeTheStatementsRowsAndARollbackInsideEndsTheBatch) {
    ok("create table dbo.Stock (item nvarchar(20) not null, qty int not null)");
    ok("create table dbo.StockLog (action varchar(10), ins int, del int, qty int)");
    ok("create trigger dbo.tr_Stock on dbo.Stock after insert, update, delete as\n"
       "set nocount on\n"
       "if exists (select * from inserted where qty < 0)\nbegin\n"
       "  raiserror('negative stock', 16, 1)\n  rollback\nend\n"
       "declare @i int, @d int, @q int\n"
       "select @i = count(*), @q = sum(qty) from inserted\n"
       "select @d = count(*) from deleted\n"
       "insert into StockLog (action, ins, del, qty) values ("
       "case when @d = 0 then 'insert' when @i = 0 then 'delete' else 'update' end, @i, @d, @q)");
    // Once per statement, whatever the number of rows.
    ok("insert into Stock (item, qty) values (N'bolt', 5), (N'nut', 7)");
    ok("update Stock set qty = qty + 1");
    ok("delete Stock where item = N'nut'");
    OdbcOutcome log = ok("select action, ins, del, qty from StockLog");
    EXPECT_EQ(column(log, 0), (Strings{"insert", "update", "delete"}));
    EXPECT_EQ(column(log, 1), (Strings{"2", "2", "0"}));
    EXPECT_EQ(column(log, 2), (Strings{"0", "2", "1"}));
    EXPECT_EQ(column(log, 3), (Strings{"12", "14", "NULL"}));

    // A rollback inside undoes the statement and ends the batch.
    OdbcOutcome refused = m_sa->exec("update Stock set qty = -1\nselect 'not reached'");
    EXPECT_FALSE(refused.ok);
    Strings got = messages(refused);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (Strings{"3609: The transaction ended in the trigger. The batch has been aborted.",
                            "50000: negative stock"}));
    EXPECT_TRUE(column(refused, 0).empty());
    EXPECT_EQ(column(ok("select qty from Stock"), 0), (Strings{"6"}));
    // Inside a transaction it rolls the whole transaction back.
    ok("begin transaction");
    ok("insert into Stock (item, qty) values (N'washer', 3)");
    EXPECT_FALSE(m_sa->exec("insert into Stock (item, qty) values (N'spring', -2)").ok);
    EXPECT_EQ(column(ok("select @@trancount, count(*) from Stock"), 0), (Strings{"0"}));
    EXPECT_EQ(column(ok("select count(*) from Stock"), 0), (Strings{"1"}));
    EXPECT_EQ(column(ok("select count(*) from StockLog"), 0), (Strings{"3"}));
    // The trigger goes with its table.
    ok("drop table Stock");
    EXPECT_EQ(column(ok("select count(*) from sys.objects where name = N'tr_Stock'"), 0), (Strings{"0"}));
}

TEST_F(ProgrammableObjectsOverOdbc, ScalarFunctionsAreCalledInExpressions) {
    const std::string text = "create function dbo.f_Twice(@a int) returns int\nas\nbegin\n"
                             "  declare @r int = @a * 2\n  return @r\nend";
    ok(text);
    EXPECT_EQ(firstRow(ok("select dbo.f_Twice(21), dbo.f_Twice(null), dbo.f_Twice(dbo.f_Twice(1))")),
              (Strings{"42", "NULL", "4"}));
    OdbcOutcome rows = ok("select id, dbo.f_Twice(id) as twice from Orders where id <= 3 order by id");
    ASSERT_FALSE(column(rows, 0).empty());
    for (size_t k = 0; k < column(rows, 0).size(); ++k) {
        EXPECT_EQ(column(rows, 1)[k], std::to_string(2 * std::stoi(column(rows, 0)[k])));
    }
    EXPECT_EQ(firstRow(ok("select type, type_desc from sys.objects where name = N'f_Twice'")),
              (Strings{"FN", "SQL_SCALAR_FUNCTION"}));
    EXPECT_EQ(column(ok("select definition from sys.sql_modules where object_id = object_id('dbo.f_Twice')"), 0),
              (Strings{text}));
    // The demo's function reads a table with its parameter.
    EXPECT_EQ(column(ok("select dbo.fn_OrderTotal(1)"), 0),
              column(ok("select sum(qty * price) from OrderLines where orderId = 1"), 0));
    EXPECT_EQ(messages(m_sa->exec("select dbo.f_Twice(1, 2)")),
              (Strings{"8144: Procedure or function dbo.f_Twice has too many arguments specified."}));
    EXPECT_EQ(messages(m_sa->exec("select dbo.f_Nowhere(1)")),
              (Strings{"4121: Cannot find either column \"dbo\" or the user-defined function or aggregate "
                       "\"dbo.f_Nowhere\", or the name is ambiguous."}));
    ok("drop function dbo.f_Twice");
    EXPECT_EQ(column(ok("select count(*) from sys.objects where name = N'f_Twice'"), 0), (Strings{"0"}));
}

TEST_F(ProgrammableObjectsOverOdbc, ProceduresCallEachOtherAndRefuseMisshapenArguments) {
    ok(kAdd);
    ok("create procedure dbo.p_Outer @x int, @y int output as\n"
       "declare @rc int\nexec @rc = dbo.p_Add @x, @sum = @y output\nreturn @rc + 100");
    EXPECT_EQ(firstRow(ok("declare @y int, @rc int\nexec @rc = p_Outer 2, @y output\nselect @y, @rc")),
              (Strings{"12", "107"}));
    ok("create procedure dbo.p_None as select 1 as one");
    EXPECT_EQ(messages(m_sa->exec("exec p_None 1")),
              (Strings{"8146: Procedure p_None has no parameters and arguments were supplied."}));
    EXPECT_EQ(messages(m_sa->exec("declare @s int\nexec p_Add @a = 1, 2, @s output")),
              (Strings{"119: Must pass parameter number 2 and subsequent parameters as '@name = value'. After "
                       "the form '@name = value' has been used, all subsequent parameters must be passed in the "
                       "form '@name = value'."}));
    EXPECT_EQ(messages(m_sa->exec("declare @v int = 1, @s int\nexec p_Add @v output, 1, @s output")),
              (Strings{"8162: The formal parameter \"@a\" was not declared as an OUTPUT parameter, but the "
                       "actual parameter passed in requested output."}));
    // A procedure that calls itself without end stops at the 32nd level.
    ok("create procedure dbo.p_Deep @n int as\nset @n = @n + 1\nexec dbo.p_Deep @n");
    EXPECT_EQ(messages(m_sa->exec("exec dbo.p_Deep 0")),
              (Strings{"217: Maximum stored procedure, function, trigger, or view nesting level exceeded (limit "
                       "32)."}));
}

} // namespace
