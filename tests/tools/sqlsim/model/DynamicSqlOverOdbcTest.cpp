// Local variables and dynamic SQL through unixODBC + FreeTDS: the text built at run time is
// compiled and run as a batch of its own, so a name with a quote breaks it as on the server.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class DynamicSqlOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(DynamicSqlOverOdbc, VariablesHoldTheirDeclaredType) {
    OdbcOutcome r = m_sa->exec("declare @s varchar(5) = 'abcdefgh', @n int\nset @n = 40 + 2\nselect @s, @n");
    ASSERT_TRUE(r.ok) << ::testing::PrintToString(messages(r));
    EXPECT_EQ(column(r, 0), (Strings{"abcde"}));
    EXPECT_EQ(column(r, 1), (Strings{"42"}));
    EXPECT_EQ(messages(m_sa->exec("declare @a int\ndeclare @a int")),
              (Strings{"134: The variable name '@a' has already been declared. Variable names must be unique "
                       "within a query batch or stored procedure."}));
    // Both are found when the batch compiles: nothing before them runs.
    EXPECT_EQ(messages(m_sa->exec("insert into dbo.Regions(name) values (N'Early')\nset @nowhere = 1")),
              (Strings{"137: Must declare the scalar variable \"@nowhere\"."}));
    EXPECT_EQ(column(m_sa->exec("select count(*) from dbo.Regions where name = N'Early'"), 0),
              (Strings{"0"}));
}

TEST_F(DynamicSqlOverOdbc, ExecRunsTheBuiltTextAndAQuoteInANameBreaksIt) {
    const std::string build = "declare @name sysname, @sql varchar(512)\nset @name = :name\n"
                              "set @sql = 'select name from sysusers where name = ''' + @name + ''''\n"
                              "exec (@sql)\ninsert into dbo.Regions(name) values (N'After')";
    OdbcOutcome fine = run(*m_sa, build, {{"name", BoundParam::text("dbo")}});
    ASSERT_TRUE(fine.ok) << ::testing::PrintToString(messages(fine));
    EXPECT_EQ(column(fine, 0), (Strings{"dbo"}));

    OdbcOutcome quoted = run(*m_sa, build, {{"name", BoundParam::text("O'Brien")}});
    EXPECT_EQ(messages(quoted), (Strings{"105: Unclosed quotation mark after the character string ''.",
                                         "102: Incorrect syntax near ''."}));
    // The error belongs to the dynamic batch: the statement after the exec still runs.
    EXPECT_EQ(column(m_sa->exec("select count(*) from dbo.Regions where name = N'After'"), 0),
              (Strings{"2"}));

    // A database chosen inside the text is left when it ends.
    OdbcOutcome context = m_sa->exec("exec ('use master; select db_name()')\nselect db_name()");
    ASSERT_TRUE(context.ok) << ::testing::PrintToString(messages(context));
    EXPECT_EQ(column(context, 0), (Strings{"master"}));
    EXPECT_EQ(column(context, 0, 1), (Strings{"Sales"}));
    EXPECT_EQ(column(m_sa->exec("select db_name()"), 0), (Strings{"Sales"}));

    // What the simulator cannot answer inside the text refuses the whole outer batch.
    OdbcOutcome refused =
        m_sa->exec("insert into dbo.Regions(name) values (N'Z')\nexec ('merge into dbo.Regions using x')");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(column(m_sa->exec("select count(*) from dbo.Regions where name = N'Z'"), 0), (Strings{"0"}));
}

TEST_F(DynamicSqlOverOdbc, ExecuteSqlPassesParametersAndOutputValues) {
    OdbcOutcome r =
        m_sa->exec("declare @r int\n"
                   "exec sp_executesql N'set @o = @a * 2', N'@a int, @o int output', 21, @o = @r output\n"
                   "select @r\n"
                   "exec sp_executesql N'select @x + 1', N'@x int', @x = 9");
    ASSERT_TRUE(r.ok) << ::testing::PrintToString(messages(r));
    EXPECT_EQ(column(r, 0), (Strings{"42"}));
    EXPECT_EQ(column(r, 0, 1), (Strings{"10"}));
    // The statement must be Unicode text.
    EXPECT_EQ(messages(m_sa->exec("declare @s varchar(20) = 'select 1'\nexec sp_executesql @s")),
              (Strings{"214: Procedure expects parameter '@statement' of type 'ntext/nchar/nvarchar'."}));
    // Without arguments it expects its statement; the next line is a statement of its own.
    EXPECT_EQ(messages(m_sa->exec("exec sp_executesql\nselect 1")),
              (Strings{"201: Procedure or function 'sp_executesql' expects parameter '@statement', which was "
                       "not supplied."}));
    EXPECT_EQ(messages(m_sa->exec("exec sp_executesql N'select @x', N'@x int'")),
              (Strings{"8178: The parameterized query '(@x int)select @x' expects the parameter '@x', which "
                       "was not supplied."}));
}

} // namespace
