// sp_help and SQLProcedureColumns of table-valued functions, insert ... default values and the
// "default" argument of a table-valued function, through unixODBC + FreeTDS against the demo
// instance.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::Cell;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<std::vector<Cell>>;

class HelpAndDefaultsOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
        ASSERT_TRUE(m_sa);
    }

    // Runs text that must succeed.
    OdbcOutcome ok(const std::string& text) {
        OdbcOutcome out = m_sa->exec(text);
        EXPECT_TRUE(out.ok) << text << "\n" << ::testing::PrintToString(messages(out));
        return out;
    }

    // The same two parameters and columns as a multi-statement and as an inline function.
    void makeFunctions() {
        ok("create function dbo.HelpMulti(@min int, @label nvarchar(20))\n"
           "returns @t table (id int not null, label nvarchar(20) null)\nas\nbegin\n"
           "  insert into @t select id, @label from Regions where id >= @min\n  return\nend");
        ok("create function dbo.HelpInl(@min int, @label nvarchar(20)) returns table as\n"
           "return select id, @label as label from Regions where id >= @min");
    }

    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(HelpAndDefaultsOverOdbc, HelpOnAMultiStatementFunctionGivesItsColumnsThenItsParameters) {
    OdbcOutcome demo = ok("exec sp_help 'dbo.fn_CustomerOrders'");
    ASSERT_EQ(demo.results.size(), 5u);
    EXPECT_EQ(demo.results[0].columns, (Strings{"Name", "Owner", "Type", "Created_datetime"}));
    EXPECT_EQ(column(demo, 0, 0), (Strings{"fn_CustomerOrders"}));
    EXPECT_EQ(column(demo, 2, 0), (Strings{"table function"}));
    EXPECT_EQ(column(demo, 0, 1), (Strings{"id"}));
    EXPECT_EQ(column(demo, 1, 1), (Strings{"int"}));
    EXPECT_EQ(demo.results[2].rows, (Rows{{"No identity column defined.", {}, {}, {}}}));
    EXPECT_EQ(demo.results[3].rows, (Rows{{"No rowguidcol column defined."}}));
    EXPECT_EQ(demo.results[4].rows, (Rows{{"@customerId", "int", "4", "10", "0", "1", {}}}));

    // Its columns as declared, its parameters as an inline function with the same head lists them.
    makeFunctions();
    OdbcOutcome multi = ok("exec sp_help HelpMulti");
    OdbcOutcome inl = ok("exec sp_help HelpInl");
    ASSERT_EQ(multi.results.size(), 5u);
    ASSERT_EQ(inl.results.size(), 3u);
    EXPECT_EQ(column(multi, 2, 0), (Strings{"table function"}));
    EXPECT_EQ(column(inl, 2, 0), (Strings{"inline function"}));
    EXPECT_EQ(multi.results[1].columns, inl.results[1].columns);
    EXPECT_EQ(multi.results[1].rows,
              (Rows{{"id", "int", "no", "4", "10   ", "0    ", "no", "(n/a)", "(n/a)", {}},
                    {"label", "nvarchar", "no", "40", "     ", "     ", "yes", "no", "no",
                     "SQL_Latin1_General_CP1_CI_AS"}}));
    EXPECT_EQ(multi.results[4].columns, inl.results[2].columns);
    EXPECT_EQ(multi.results[4].rows, inl.results[2].rows);
    EXPECT_EQ(multi.results[4].rows.size(), 2u);
}

TEST_F(HelpAndDefaultsOverOdbc, ProcedureColumnsOfTableFunctionsGiveTheTableTheParametersThenTheColumns) {
    OdbcOutcome demo = m_sa->procedureColumns("dbo", "fn_CustomerOrders", "");
    ASSERT_TRUE(demo.ok) << ::testing::PrintToString(messages(demo));
    ASSERT_EQ(demo.results.size(), 1u);
    EXPECT_EQ(column(demo, 2), (Strings(3, "fn_CustomerOrders;0")));
    EXPECT_EQ(column(demo, 3), (Strings{"@TABLE_RETURN_VALUE", "@customerId", "id"}));
    EXPECT_EQ(column(demo, 4), (Strings{"3", "1", "3"}));
    EXPECT_EQ(column(demo, 5), (Strings{"-153", "4", "4"}));
    EXPECT_EQ(column(demo, 6), (Strings{"table type", "int", "int"}));
    EXPECT_EQ(column(demo, 17), (Strings{"0", "1", "1"}));

    makeFunctions();
    OdbcOutcome multi = m_sa->procedureColumns("dbo", "HelpMulti", "");
    ASSERT_TRUE(multi.ok) << ::testing::PrintToString(messages(multi));
    EXPECT_EQ(column(multi, 3), (Strings{"@TABLE_RETURN_VALUE", "@min", "@label", "id", "label"}));
    EXPECT_EQ(column(multi, 4), (Strings{"3", "1", "1", "3", "3"}));
    EXPECT_EQ(column(multi, 5), (Strings{"-153", "4", "-9", "4", "-9"}));
    EXPECT_EQ(column(multi, 11), (Strings{"0", "1", "1", "0", "1"}));
    EXPECT_EQ(column(multi, 17), (Strings{"0", "1", "2", "1", "2"}));
    EXPECT_EQ(column(multi, 18), (Strings{"NO", "YES", "YES", "NO", "YES"}));

    OdbcOutcome inl = m_sa->procedureColumns("dbo", "HelpInl", "");
    ASSERT_TRUE(inl.ok) << ::testing::PrintToString(messages(inl));
    EXPECT_EQ(column(inl, 2), (Strings(5, "HelpInl;0")));
    EXPECT_EQ(column(inl, 3), (Strings{"@TABLE_RETURN_VALUE", "@min", "@label", "id", "label"}));
    EXPECT_EQ(column(inl, 4), (Strings{"3", "1", "1", "3", "3"}));

    // The column name is a pattern over all of them.
    EXPECT_EQ(column(m_sa->procedureColumns("dbo", "HelpMulti", "@%"), 3),
              (Strings{"@TABLE_RETURN_VALUE", "@min", "@label"}));
    EXPECT_EQ(column(m_sa->procedureColumns("dbo", "HelpMulti", "l%"), 3), (Strings{"label"}));
}

TEST_F(HelpAndDefaultsOverOdbc, InsertDefaultValuesFillsEveryColumnFromItsDefaultIdentityOrNull) {
    ok("create table dbo.Defaulted (id int identity(10,5), made nvarchar(10) default N'x', note nvarchar(10) "
       "null, n int not null default 7)");
    OdbcOutcome first = ok("insert into dbo.Defaulted default values\nselect @@rowcount");
    EXPECT_EQ(column(first, 0), (Strings{"1"}));
    ok("insert Defaulted default values");
    EXPECT_EQ(ok("select id, made, note, n from Defaulted order by id").results.at(0).rows,
              (Rows{{"10", "x", {}, "7"}, {"15", "x", {}, "7"}}));
    EXPECT_EQ(column(ok("select @@identity"), 0), (Strings{"15"}));

    // A not-null column without a default ends the statement, leaving no row.
    ok("create table dbo.Undefaulted (id int identity, must int not null)");
    OdbcOutcome missing = m_sa->exec("insert dbo.Undefaulted default values");
    Strings said = messages(missing);
    ASSERT_EQ(said.size(), 2u) << ::testing::PrintToString(said);
    EXPECT_EQ(said[0], "515: Cannot insert the value NULL into column 'must', table 'Sales.dbo.Undefaulted'; "
                       "column does not allow nulls. INSERT fails.");
    EXPECT_EQ(said[1], "3621: The statement has been terminated.");
    EXPECT_EQ(column(ok("select count(*) from Undefaulted"), 0), (Strings{"0"}));

    // With a column list it is refused before anything in the batch changes.
    OdbcOutcome listed =
        m_sa->exec("insert Defaulted (note) values (N'a')\ninsert Defaulted (note) default values");
    ASSERT_EQ(listed.messages.size(), 1u);
    EXPECT_NE(listed.messages[0].text.find("not supported by the simulator"), std::string::npos);
    EXPECT_EQ(column(ok("select count(*) from Defaulted"), 0), (Strings{"2"}));
}

TEST_F(HelpAndDefaultsOverOdbc, InsertDefaultValuesSetsOffTriggersAsOtherInserts) {
    ok("create table dbo.Seen (id int, made nvarchar(10))");
    ok("create table dbo.Watched (id int identity, made nvarchar(10) default N'w')");
    ok("create trigger dbo.tr_Watched on dbo.Watched after insert as\n"
       "insert into dbo.Seen select id, made from inserted");
    ok("insert Watched default values");
    EXPECT_EQ(ok("select id, made from Seen").results.at(0).rows, (Rows{{"1", "w"}}));

    // An instead of trigger gets the row in place of the table.
    ok("create table dbo.Diverted (id int identity, made nvarchar(10) default N'd')");
    ok("create trigger dbo.tr_Diverted on dbo.Diverted instead of insert as\n"
       "insert into dbo.Seen select 99, made from inserted");
    OdbcOutcome diverted = ok("insert Diverted default values\nselect @@rowcount");
    EXPECT_EQ(column(diverted, 0), (Strings{"1"}));
    EXPECT_EQ(column(ok("select count(*) from Diverted"), 0), (Strings{"0"}));
    EXPECT_EQ(ok("select id, made from Seen order by id").results.at(0).rows,
              (Rows{{"1", "w"}, {"99", "d"}}));
}

TEST_F(HelpAndDefaultsOverOdbc, DefaultForAFunctionParameterWithoutOneIsTooFewArguments) {
    ok("create function dbo.WithDefault(@a int, @b int = 5) returns table as return select @a as a, @b as b");
    EXPECT_EQ(ok("select a, b from dbo.WithDefault(1, default)").results.at(0).rows, (Rows{{"1", "5"}}));
    EXPECT_EQ(messages(m_sa->exec("select a, b from dbo.WithDefault(default, 2)")),
              (Strings{"313: An insufficient number of arguments were supplied for the procedure or function "
                       "dbo.WithDefault."}));
    EXPECT_EQ(messages(m_sa->exec("select * from dbo.fn_CustomerOrders(default)")),
              (Strings{"313: An insufficient number of arguments were supplied for the procedure or function "
                       "dbo.fn_CustomerOrders."}));
}

} // namespace
