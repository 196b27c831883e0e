// Named results inside a batch, against the demo instance through unixODBC + FreeTDS: table
// variables (scoped to their batch, untouched by rollback) and common table expressions, recursive
// ones with their recursion limit.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;
using Cells = std::vector<testsupport::Cell>;

// Regions 1..4 are North, South, Сибирь, Урал; customer k (1..40) lies in region (k - 1) % 4 + 1.
class CommonTablesOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    // The last result of sql, which must succeed.
    testsupport::OdbcResult last(const std::string& sql) {
        OdbcOutcome out = m_sa->exec(sql);
        EXPECT_TRUE(out.ok) << sql << ::testing::PrintToString(messages(out));
        if (out.results.empty()) {
            ADD_FAILURE() << "no result: " << sql;
            return {};
        }
        return out.results.back();
    }
    static Strings firstCells(const testsupport::OdbcResult& r) {
        Strings cells;
        for (const auto& row : r.rows) {
            cells.push_back(row.at(0).value_or("NULL"));
        }
        return cells;
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(CommonTablesOverOdbc, TableVariablesAreWrittenAndReadLikeTables) {
    const std::string declare =
        "declare @t table (id int identity primary key, name nvarchar(20) not null, qty int default 3)\n";
    OdbcOutcome out =
        m_sa->exec(declare + "insert @t (name) values (N'a'), (N'b')\n"
                             "insert into @t (name, qty) select name, id * 10 from Regions where id > 2\n"
                             "update @t set qty = qty + 1 where name = N'a'\n"
                             "delete @t where id = 2\n"
                             "select id, name, qty from @t order by id");
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_EQ(out.order, (Strings{"count:2", "count:2", "count:1", "count:1", "result"}));
    ASSERT_EQ(out.results.size(), 1u);
    EXPECT_EQ(out.results[0].types, (std::vector<SQLSMALLINT>{SQL_INTEGER, SQL_WVARCHAR, SQL_INTEGER}));
    EXPECT_EQ(out.results[0].rows,
              (std::vector<Cells>{{"1", "a", "4"}, {"3", "Сибирь", "30"}, {"4", "Урал", "40"}}));

    // Joined under an alias, and the column rules hold with the variable's name in the message.
    EXPECT_EQ(firstCells(last(declare + "insert @t (name) values (N'Урал'), (N'x')\n"
                                        "select r.id from Regions r join @t v on v.name = r.name")),
              (Strings{"4"}));
    OdbcOutcome nulls = m_sa->exec(declare + "insert @t (qty) values (1)");
    EXPECT_EQ(messages(nulls),
              (Strings{"515: Cannot insert the value NULL into column 'name', table '@t'; column "
                       "does not allow nulls. INSERT fails.",
                       "3621: The statement has been terminated."}));
    OdbcOutcome duplicate = m_sa->exec("declare @k table (code int primary key)\ninsert @k values (1), (1)");
    ASSERT_FALSE(duplicate.messages.empty());
    EXPECT_EQ(messages(duplicate)[0].rfind("2627: Violation of PRIMARY KEY constraint", 0), 0u);
}

TEST_F(CommonTablesOverOdbc, TableVariablesBelongToTheirBatchAndIgnoreRollback) {
    EXPECT_EQ(firstCells(last("declare @t table (a int)\n"
                              "begin tran\ninsert @t values (1), (2)\nrollback\n"
                              "select count(*) from @t")),
              (Strings{"2"}));
    // Declared again in a loop, the table keeps its rows.
    EXPECT_EQ(firstCells(last("declare @i int = 0\nwhile @i < 3 begin\n"
                              "  declare @t table (a int)\n  insert @t values (@i)\n  set @i = @i + 1\nend\n"
                              "select count(*) from @t")),
              (Strings{"3"}));
    EXPECT_EQ(messages(m_sa->exec("select * from @t")),
              (Strings{"1087: Must declare the table variable \"@t\"."}));
    EXPECT_EQ(messages(m_sa->exec("insert into @t values (1)")),
              (Strings{"1087: Must declare the table variable \"@t\"."}));
}

TEST_F(CommonTablesOverOdbc, CommonTableExpressionsFeedTheStatementThatFollows) {
    testsupport::OdbcResult joined =
        last("with r (rid, rname) as (select id, name from Regions where id <= 2),\n"
             "c as (select regionId, count(*) n from Customers group by regionId)\n"
             "select r.rname, c.n from r join c on c.regionId = r.rid order by r.rid");
    EXPECT_EQ(joined.columns, (Strings{"rname", "n"}));
    EXPECT_EQ(joined.rows, (std::vector<Cells>{{"North", "10"}, {"South", "10"}}));
    // Referenced twice; a later one reads an earlier one; the name hides a table of the same name.
    EXPECT_EQ(firstCells(last("with r as (select id from Regions) select count(*) from r a cross join r b")),
              (Strings{"16"}));
    EXPECT_EQ(firstCells(last(
                  "with a as (select id from Regions where id > 1), b as (select id from a where id < 4)\n"
                  "select count(*) from b")),
              (Strings{"2"}));
    EXPECT_EQ(firstCells(last("with Customers as (select 7 as id) select id from Customers")),
              (Strings{"7"}));

    // Used by insert, update and delete.
    ASSERT_TRUE(m_sa->exec("create table #x (id int, name nvarchar(50))").ok);
    OdbcOutcome writes = m_sa->exec(
        "with r as (select id, name from Regions where id > 1) insert #x select id, name from r;\n"
        "with r as (select id from Regions where id = 2) delete #x where id in (select id from r);\n"
        "with r as (select id from Regions where id = 4) update #x set name = N'U' where id in "
        "(select id from r)");
    ASSERT_TRUE(writes.ok) << ::testing::PrintToString(messages(writes));
    EXPECT_EQ(writes.order, (Strings{"count:3", "count:1", "count:1"}));
    EXPECT_EQ(firstCells(last("select name from #x order by id")), (Strings{"Сибирь", "U"}));

    EXPECT_EQ(messages(m_sa->exec("with c (a, b) as (select 1) select * from c")),
              (Strings{"8159: 'c' has fewer columns than were specified in the column list."}));
    EXPECT_EQ(messages(m_sa->exec("with c as (select 1) select * from c")),
              (Strings{"8155: No column name was specified for column 1 of 'c'."}));
    EXPECT_EQ(messages(m_sa->exec("with c as (select 1 a), c as (select 2 a) select * from c")),
              (Strings{"239: Duplicate common table expression name 'c' was specified."}));
}

TEST_F(CommonTablesOverOdbc, RecursiveExpressionsStopAtTheirRecursionLimit) {
    testsupport::OdbcResult sum = last(
        "with n (k) as (select 1 union all select k + 1 from n where k < 10) select sum(k), count(*) from n");
    EXPECT_EQ(sum.rows, (std::vector<Cells>{{"55", "10"}}));
    EXPECT_EQ(
        firstCells(last("with d as (select 1 as lvl, cast(N'x' as nvarchar(20)) as path\n"
                        "union all select lvl + 1, cast(path + N'y' as nvarchar(20)) from d where lvl < 3)\n"
                        "select path from d order by lvl")),
        (Strings{"x", "xy", "xyy"}));
    // 100 levels below the anchor are allowed; one more fails the statement.
    EXPECT_EQ(firstCells(last("with n as (select 1 k union all select k + 1 from n where k < 101) "
                              "select count(*) from n")),
              (Strings{"101"}));
    const std::string deep =
        "with n as (select 1 k union all select k + 1 from n where k < 200) select count(*) from n";
    EXPECT_EQ(messages(m_sa->exec(deep)),
              (Strings{"530: The statement terminated. The maximum recursion 100 has been exhausted before "
                       "statement completion."}));
    EXPECT_EQ(firstCells(last(deep + " option (maxrecursion 300)")), (Strings{"200"}));
    EXPECT_EQ(firstCells(last(deep + " option (maxrecursion 0)")), (Strings{"200"}));
    EXPECT_EQ(messages(m_sa->exec(deep + " option (maxrecursion 50)")),
              (Strings{"530: The statement terminated. The maximum recursion 50 has been exhausted before "
                       "statement completion."}));
    EXPECT_EQ(messages(m_sa->exec(
                  "with n as (select 1 k union all select cast(k + 1 as bigint) from n where k < 3) "
                  "select * from n")),
              (Strings{"240: Types don't match between the anchor and the recursive part in column \"k\" of "
                       "recursive query \"n\"."}));
    EXPECT_EQ(
        messages(m_sa->exec("with n as (select 1 k union select k + 1 from n where k < 3) select * from n")),
        (Strings{"252: Recursive common table expression 'n' does not contain a top-level UNION ALL "
                 "operator."}));
}

TEST_F(CommonTablesOverOdbc, ExhaustedRecursionSendsTheRowsMadeBeforeItsError) {
    const std::string endless = "with n as (select 1 k union all select k + 1 from n) ";
    const Strings limit5{"530: The statement terminated. The maximum recursion 5 has been exhausted before "
                         "statement completion."};
    // The anchor and five levels go out, then the error; the batch goes on.
    OdbcOutcome plain = m_sa->exec(endless + "select k from n option (maxrecursion 5)\nselect 7 as after");
    EXPECT_FALSE(plain.ok);
    EXPECT_EQ(messages(plain), limit5);
    ASSERT_EQ(plain.results.size(), 2u) << ::testing::PrintToString(plain.order);
    EXPECT_EQ(plain.results[0].columns, (Strings{"k"}));
    EXPECT_EQ(firstCells(plain.results[0]), (Strings{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(firstCells(plain.results[1]), (Strings{"7"}));

    // A filter sends the rows it keeps of them.
    OdbcOutcome filtered =
        m_sa->exec(endless + "select k * 10 as t from n where k % 2 = 0 option (maxrecursion 5)");
    EXPECT_EQ(messages(filtered), limit5);
    ASSERT_EQ(filtered.results.size(), 1u) << ::testing::PrintToString(filtered.order);
    EXPECT_EQ(firstCells(filtered.results[0]), (Strings{"20", "40", "60"}));

    // Sorting or counting needs every row first: nothing goes out before the error.
    for (const std::string tail : {"select k from n order by k desc", "select count(*) from n"}) {
        OdbcOutcome whole = m_sa->exec(endless + tail + " option (maxrecursion 5)");
        EXPECT_EQ(messages(whole), limit5) << tail;
        for (const auto& r : whole.results) {
            EXPECT_TRUE(r.rows.empty()) << tail;
        }
    }
}

TEST_F(CommonTablesOverOdbc, TheBatchIsCheckedBeforeAnythingRuns) {
    // A misspelt statement after the expressions fails the batch as it compiles: the insert before it
    // never runs.
    OdbcOutcome misspelt =
        m_sa->exec("insert Regions (name) values (N'X');\nwith c as (select 1 a) selec * from c");
    EXPECT_EQ(messages(misspelt), (Strings{"102: Incorrect syntax near 'selec'."}));
    OdbcOutcome unclosed =
        m_sa->exec("insert Regions (name) values (N'X');\nwith c as (select 1 a select * from c");
    EXPECT_FALSE(unclosed.ok);
    EXPECT_EQ(firstCells(last("select count(*) from Regions")), (Strings{"4"}));
}

} // namespace
