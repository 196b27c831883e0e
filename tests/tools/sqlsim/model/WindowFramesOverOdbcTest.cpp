// Window aggregates over explicit frames (rows and range, the long and the short forms), first_value
// and last_value, with NULLs among the values, and the errors of frames the server refuses. Through
// unixODBC + FreeTDS against the demo instance.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<std::vector<testsupport::Cell>>;

// Frames: ids 1..6 in groups 1 (v = 10, NULL, 30) and 2 (v = 5, 5, 7).
class WindowFramesOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
        OdbcOutcome made =
            m_sa->exec("create table Frames (id int primary key, g int not null, v int null)\n"
                       "insert into Frames (id, g, v) values (1, 1, 10), (2, 1, NULL), (3, 1, 30),"
                       " (4, 2, 5), (5, 2, 5), (6, 2, 7)");
        ASSERT_TRUE(made.ok) << ::testing::PrintToString(messages(made));
    }
    testsupport::OdbcResult result(const std::string& sql) {
        OdbcOutcome out = m_sa->exec(sql);
        EXPECT_TRUE(out.ok) << sql << ::testing::PrintToString(messages(out));
        EXPECT_EQ(out.results.size(), 1u) << sql;
        return out.results.empty() ? testsupport::OdbcResult{} : out.results[0];
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(WindowFramesOverOdbc, RowFramesSumCountAverageAndBoundEachRowsNeighbours) {
    testsupport::OdbcResult r =
        result("select id,\n"
               "sum(v) over (partition by g order by id rows between 1 preceding and current row) s2,\n"
               "sum(v) over (order by id rows between current row and unbounded following) rest,\n"
               "count(v) over (order by id rows 2 preceding) c3,\n"
               "avg(v) over (partition by g order by id rows between 1 preceding and 1 following) a,\n"
               "min(v) over (order by id rows between 1 following and 2 following) mn,\n"
               "max(v) over (partition by g order by id rows between unbounded preceding and unbounded "
               "following) mx,\n"
               "sum(v) over (order by id rows unbounded preceding) running\n"
               "from Frames order by id");
    EXPECT_EQ(r.types, (std::vector<SQLSMALLINT>{SQL_INTEGER, SQL_INTEGER, SQL_INTEGER, SQL_INTEGER,
                                                 SQL_INTEGER, SQL_INTEGER, SQL_INTEGER, SQL_INTEGER}));
    EXPECT_EQ(r.rows, (Rows{{"1", "10", "57", "1", "10", "30", "30", "10"},
                            {"2", "10", "47", "1", "20", "5", "30", "10"},
                            {"3", "30", "47", "2", "30", "5", "30", "40"},
                            {"4", "5", "17", "2", "5", "5", "7", "45"},
                            {"5", "10", "12", "3", "5", "7", "7", "50"},
                            {"6", "12", "7", "3", "6", std::nullopt, "7", "57"}}));
    // A frame wholly before the partition's rows is empty: NULL for the sum, 0 for the count.
    testsupport::OdbcResult before = result(
        "select id, sum(v) over (partition by g order by id rows between 3 preceding and 2 preceding) s,\n"
        "count(*) over (partition by g order by id rows between 3 preceding and 2 preceding) c\n"
        "from Frames order by id");
    EXPECT_EQ(before.rows, (Rows{{"1", std::nullopt, "0"},
                                 {"2", std::nullopt, "0"},
                                 {"3", "10", "1"},
                                 {"4", std::nullopt, "0"},
                                 {"5", std::nullopt, "0"},
                                 {"6", "5", "1"}}));
}

TEST_F(WindowFramesOverOdbc, RangeFramesTakeInPeersAndValueFunctionsReadTheFramesEnds) {
    testsupport::OdbcResult r =
        result("select id,\n"
               "sum(v) over (order by g range between current row and unbounded following) tail,\n"
               "sum(v) over (order by g range unbounded preceding) upto,\n"
               "sum(v) over (order by g) dflt,\n"
               "first_value(v) over (partition by g order by id) f,\n"
               "last_value(v) over (partition by g order by id) l,\n"
               "last_value(v) over (partition by g order by id rows between current row and unbounded "
               "following) ll,\n"
               "first_value(v) over (order by id rows between 1 following and 1 following) nxt\n"
               "from Frames order by id");
    EXPECT_EQ(r.rows, (Rows{{"1", "57", "40", "40", "10", "10", "30", std::nullopt},
                            {"2", "57", "40", "40", "10", std::nullopt, "30", "30"},
                            {"3", "57", "40", "40", "10", "30", "30", "5"},
                            {"4", "17", "57", "57", "5", "5", "7", "5"},
                            {"5", "17", "57", "57", "5", "5", "7", "7"},
                            {"6", "17", "57", "57", "5", "7", "7", std::nullopt}}));
    EXPECT_EQ(r.types.at(4), SQL_INTEGER);
}

TEST_F(WindowFramesOverOdbc, FramesTheServerRefuses) {
    EXPECT_EQ(
        messages(m_sa->exec("select sum(v) over (order by id range 1 preceding) from Frames")),
        (Strings{"4194: RANGE is only supported with UNBOUNDED and CURRENT ROW window frame delimiters."}));
    EXPECT_EQ(
        messages(m_sa->exec(
            "select sum(v) over (order by id range between current row and 2 following) from Frames")),
        (Strings{"4194: RANGE is only supported with UNBOUNDED and CURRENT ROW window frame delimiters."}));
    EXPECT_EQ(
        messages(m_sa->exec("select sum(v) over (partition by g rows unbounded preceding) from Frames")),
        (Strings{"10756: Window frame with ROWS or RANGE must have an ORDER BY clause."}));
    EXPECT_EQ(
        messages(m_sa->exec("select row_number() over (order by id rows unbounded preceding) from Frames")),
        (Strings{"10752: The function 'row_number' may not have a window frame."}));
    EXPECT_EQ(messages(m_sa->exec("select lag(v) over (order by id rows 1 preceding) from Frames")),
              (Strings{"10752: The function 'lag' may not have a window frame."}));
    EXPECT_EQ(messages(m_sa->exec("select first_value(v) over (partition by g) from Frames")),
              (Strings{"4112: The function 'first_value' must have an OVER clause with ORDER BY."}));
    EXPECT_EQ(messages(m_sa->exec("select sum(v) over (order by id rows 1 following) from Frames")),
              (Strings{"102: Incorrect syntax near 'following'."}));
    EXPECT_EQ(
        messages(m_sa->exec("select sum(v) over (order by id rows between current row and) from Frames")),
        (Strings{"102: Incorrect syntax near ')'."}));
    // A frame that ends before it starts is not answered.
    OdbcOutcome backwards =
        m_sa->exec("select sum(v) over (order by id rows between current row and 1 preceding) from Frames");
    ASSERT_EQ(backwards.messages.size(), 1u);
    EXPECT_NE(backwards.messages[0].text.find("not supported by the simulator"), std::string::npos);
}

} // namespace
