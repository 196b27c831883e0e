// A batch is read and checked whole before any of it runs: a syntax error in a branch that would
// never run still fails it, local variables exist from their declaration in the text on, and names
// are looked up only when their statement runs. Through unixODBC + FreeTDS.
#include "DemoServerFixture.h"

#include <cctype>

using namespace sqlsimtest;

namespace {

using Strings = std::vector<std::string>;

class BatchCompileOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    std::string count(const std::string& name) {
        Strings n = column(m_sa->exec("select count(*) from Regions where name = N'" + name + "'"), 0);
        return n.empty() ? "?" : n[0];
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(BatchCompileOverOdbc, ASyntaxErrorWhereverItIsRunsNothing) {
    const Strings texts = {
        // the branch of an if that is not taken
        "insert into Regions (name) values (N'Early')\nselect 1 as a\nif 1 = 0\nbegin\n  selec 2\nend",
        // the else branch, after one that runs
        "insert into Regions (name) values (N'Early')\nif 1 = 1 select 1 as a else selec 2",
        // the body of a while that never runs
        "insert into Regions (name) values (N'Early')\nwhile 1 = 0\n  selec 2",
        // a catch block that is never entered
        "insert into Regions (name) values (N'Early')\nbegin try\n  select 1 as a\nend try\n"
        "begin catch\n  selec 2\nend catch",
    };
    for (const std::string& text : texts) {
        OdbcOutcome out = m_sa->exec(text);
        EXPECT_EQ(messages(out), (Strings{"102: Incorrect syntax near 'selec'."})) << text;
        EXPECT_TRUE(out.results.empty()) << text;
        ASSERT_FALSE(out.messages.empty());
        EXPECT_NE(out.messages[0].text.find("selec"), std::string::npos);
    }
    EXPECT_EQ(count("Early"), "0");

    // A keyword where a column belongs is no column name.
    for (const char* text : {"select from Regions", "select name, from Regions"}) {
        EXPECT_EQ(messages(m_sa->exec(text)), (Strings{"156: Incorrect syntax near the keyword 'from'."})) << text;
    }
    EXPECT_EQ(messages(m_sa->exec("select name from Regions where group = 1")),
              (Strings{"156: Incorrect syntax near the keyword 'group'."}));
    // A bad expression in a condition that is never reached, and a block left open.
    OdbcOutcome condition = m_sa->exec("insert into Regions (name) values (N'Early')\n"
                                       "if 1 = 0\n  if (1 = ) select 1");
    EXPECT_EQ(messages(condition), (Strings{"102: Incorrect syntax near ')'."}));
    OdbcOutcome open = m_sa->exec("insert into Regions (name) values (N'Early')\nbegin\n  select 1");
    EXPECT_FALSE(open.ok);
    EXPECT_TRUE(open.results.empty());
    // break outside a loop, even where it would never run; inside one it is fine.
    OdbcOutcome loose = m_sa->exec("insert into Regions (name) values (N'Early')\nselect 1 as a\nif 1 = 0 break");
    EXPECT_EQ(messages(loose),
              (Strings{"135: Cannot use a BREAK statement outside the scope of a WHILE statement."}));
    EXPECT_TRUE(loose.results.empty());
    OdbcOutcome inLoop = m_sa->exec("while 1 = 1\nbegin\n  if 1 = 1 break\nend\nselect 1 as a");
    EXPECT_EQ(column(inLoop, 0), (Strings{"1"}));
    EXPECT_EQ(count("Early"), "0");
}

TEST_F(BatchCompileOverOdbc, ADeclareDeclaresWhetherOrNotItRuns) {
    OdbcOutcome out = m_sa->exec("if 1 = 0\n  declare @x int = 5\nselect @x as x\nset @x = 3\nselect @x as y");
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_EQ(column(out, 0, 0), (Strings{"NULL"}));
    EXPECT_EQ(column(out, 0, 1), (Strings{"3"}));

    // Before its declaration in the text the variable does not exist: the batch fails whole.
    OdbcOutcome before = m_sa->exec("insert into Regions (name) values (N'Early')\nselect @y\ndeclare @y int");
    EXPECT_EQ(messages(before), (Strings{"137: Must declare the scalar variable \"@y\"."}));
    EXPECT_TRUE(before.results.empty());
    // Found before anything runs: no rows go out ahead of a wait.
    OdbcOutcome waited = m_sa->exec("select 1 as a\nwaitfor delay '00:00:00.050'\nif 1 = 0 set @nope = 1");
    EXPECT_EQ(messages(waited), (Strings{"137: Must declare the scalar variable \"@nope\"."}));
    EXPECT_TRUE(waited.results.empty());
    // A procedure's parameter names are no variables of the batch; the values passed are.
    OdbcOutcome named = m_sa->exec("declare @n int = 5\nexec sp_executesql N'select @v as v', N'@v int', @v = @n");
    ASSERT_TRUE(named.ok) << ::testing::PrintToString(messages(named));
    EXPECT_EQ(column(named, 0), (Strings{"5"}));
    OdbcOutcome unknownValue = m_sa->exec("exec sp_executesql N'select @v as v', N'@v int', @v = @missing");
    EXPECT_EQ(messages(unknownValue), (Strings{"137: Must declare the scalar variable \"@missing\"."}));

    // Declared twice in the text, even where the second would never run.
    OdbcOutcome twice =
        m_sa->exec("insert into Regions (name) values (N'Early')\ndeclare @a int\nif 1 = 0 declare @a int");
    EXPECT_EQ(messages(twice), (Strings{"134: The variable name '@a' has already been declared. Variable names "
                                        "must be unique within a query batch or stored procedure."}));
    EXPECT_EQ(count("Early"), "0");

    // A declare a loop runs again is no second declaration; one with a value assigns it each time.
    OdbcOutcome loop = m_sa->exec("declare @i int = 0, @sum int = 0\nwhile @i < 3\nbegin\n"
                                  "  declare @step int = 2\n  set @sum = @sum + @step\n  set @i = @i + 1\nend\n"
                                  "select @i as i, @sum as total");
    ASSERT_TRUE(loop.ok) << ::testing::PrintToString(messages(loop));
    EXPECT_EQ(column(loop, 0), (Strings{"3"}));
    EXPECT_EQ(column(loop, 1), (Strings{"6"}));
}

TEST_F(BatchCompileOverOdbc, NothingGoesOutBeforeAWaitWhenTheBatchDoesNotCompile) {
    OdbcOutcome out = m_sa->exec("insert into Regions (name) values (N'Early')\nselect 1 as a\n"
                                 "waitfor delay '00:00:00.100'\nselec 2");
    EXPECT_EQ(messages(out), (Strings{"102: Incorrect syntax near 'selec'."}));
    EXPECT_TRUE(out.results.empty());
    EXPECT_EQ(count("Early"), "0");
    // A throw without its three arguments and a drop with a dangling comma are found as well.
    for (const char* bad : {"throw 50001, N'two only'", "drop table dbo.Regions,", "drop view if exists"}) {
        OdbcOutcome late = m_sa->exec(std::string("insert into Regions (name) values (N'Early')\nselect 1 as a\n"
                                                  "waitfor delay '00:00:00.050'\n") +
                                      bad);
        ASSERT_EQ(late.messages.size(), 1u) << bad;
        EXPECT_EQ(late.messages[0].native, 102) << bad << ": " << late.messages[0].text;
        EXPECT_TRUE(late.results.empty()) << bad;
    }
    EXPECT_EQ(count("Early"), "0");
    EXPECT_EQ(column(m_sa->exec("select count(*) from sys.tables where name = N'Regions'"), 0), (Strings{"1"}));
}

TEST_F(BatchCompileOverOdbc, NamesAreLookedUpOnlyWhenTheirStatementRuns) {
    // The insert runs; the select of a missing table fails when its turn comes.
    OdbcOutcome table = m_sa->exec("insert into Regions (name) values (N'Stays')\nselect * from NoSuchTable");
    EXPECT_EQ(messages(table), (Strings{"208: Invalid object name 'NoSuchTable'."}));
    EXPECT_EQ(count("Stays"), "1");
    // A missing table in a branch that does not run is never looked up.
    OdbcOutcome untaken = m_sa->exec("if 1 = 0 select * from NoSuchTable\nselect 1 as a");
    ASSERT_TRUE(untaken.ok) << ::testing::PrintToString(messages(untaken));
    EXPECT_EQ(column(untaken, 0), (Strings{"1"}));
    OdbcOutcome columnName =
        m_sa->exec("insert into Regions (name) values (N'Also')\nselect nosuchcolumn from Regions");
    EXPECT_EQ(messages(columnName), (Strings{"207: Invalid column name 'nosuchcolumn'."}));
    EXPECT_EQ(count("Also"), "1");
}

TEST_F(BatchCompileOverOdbc, AModuleDefinitionMustBeginItsBatch) {
    for (const char* kind : {"procedure", "view", "function", "trigger"}) {
        OdbcOutcome out = m_sa->exec(std::string("insert into Regions (name) values (N'Early')\ncreate ") + kind +
                                     " dbo.x as select 1");
        std::string upper = kind;
        for (char& c : upper) {
            c = char(std::toupper(static_cast<unsigned char>(c)));
        }
        const std::string what = upper == "PROCEDURE" ? "CREATE/ALTER PROCEDURE" : "CREATE " + upper;
        EXPECT_EQ(messages(out), (Strings{"111: '" + what + "' must be the first statement in a query batch."}));
    }
    EXPECT_EQ(count("Early"), "0");
}

TEST_F(BatchCompileOverOdbc, StatementsWithoutACheckOfTheirOwnAreNoSyntaxErrors) {
    // Read only as far as where they end: their handlers answer them (or refuse them whole) when
    // they run, never with a syntax error the server would not give.
    const Strings texts = {
        "select 1 as a\ndrop table if exists dbo.Nope",
        "select 1 as a\n(select 1) union (select 2)",
        "select 1 as a;\nwith c as (select 1 as n) select n from c",
        "select 1 as a;\nthrow 50001, N'thrown', 1",
        "declare @t table (id int, name nvarchar(20))\nselect 1 as a",
        "create procedure dbo.NewOne as\nbegin\n  select 1 as a\n  if 1 = 1 return\nend",
        "select 1 as a\ncreate table dbo.Made (id int not null, name nvarchar(20) default (N'x'))\n"
        "drop table dbo.Made",
    };
    for (const std::string& text : texts) {
        OdbcOutcome out = m_sa->exec(text);
        for (const auto& m : out.messages) {
            EXPECT_NE(m.native, 102) << text << ": " << m.text;
            EXPECT_NE(m.native, 156) << text << ": " << m.text;
        }
    }
    // The table made and dropped in the last batch is gone again.
    OdbcOutcome made = m_sa->exec("select count(*) from sys.tables where name = N'Made'");
    EXPECT_EQ(column(made, 0), (Strings{"0"}));
}

} // namespace
