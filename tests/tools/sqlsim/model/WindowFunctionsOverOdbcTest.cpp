// Window functions against the demo instance through unixODBC + FreeTDS: ranking, aggregates over
// partitions with the default frame, lag and lead, with the server's types and errors.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<std::vector<testsupport::Cell>>;

// Regions 1..4; customer k (1..40) lies in region (k - 1) % 4 + 1.
class WindowFunctionsOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    testsupport::OdbcResult result(const std::string& sql) {
        OdbcOutcome out = m_sa->exec(sql);
        EXPECT_TRUE(out.ok) << sql << ::testing::PrintToString(messages(out));
        EXPECT_EQ(out.results.size(), 1u) << sql;
        return out.results.empty() ? testsupport::OdbcResult{} : out.results[0];
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(WindowFunctionsOverOdbc, RankingFunctionsNumberRowsInTheirOwnOrder) {
    testsupport::OdbcResult r =
        result("select id, row_number() over (order by id desc) rn,\n"
               "rank() over (order by regionId) rk, dense_rank() over (order by regionId) dr,\n"
               "ntile(3) over (order by id) nt\n"
               "from Customers where id <= 8 order by id");
    EXPECT_EQ(r.types,
              (std::vector<SQLSMALLINT>{SQL_INTEGER, SQL_BIGINT, SQL_BIGINT, SQL_BIGINT, SQL_BIGINT}));
    EXPECT_EQ(r.rows, (Rows{{"1", "8", "1", "1", "1"},
                            {"2", "7", "3", "2", "1"},
                            {"3", "6", "5", "3", "1"},
                            {"4", "5", "7", "4", "2"},
                            {"5", "4", "1", "1", "2"},
                            {"6", "3", "3", "2", "2"},
                            {"7", "2", "5", "3", "3"},
                            {"8", "1", "7", "4", "3"}}));
    // The query's own order by may use the numbers; a common table expression keeps the top of each group.
    EXPECT_EQ(
        column(m_sa->exec("select id, row_number() over (order by id desc) rn from Regions order by rn"), 0),
        (Strings{"4", "3", "2", "1"}));
    EXPECT_EQ(
        column(m_sa->exec("with c as (select id, regionId, row_number() over (partition by regionId "
                          "order by id desc) n from Customers) select id from c where n = 1 order by id"),
               0),
        (Strings{"37", "38", "39", "40"}));
}

TEST_F(WindowFunctionsOverOdbc, AggregatesRunOverPartitionsWithTheDefaultFrame) {
    testsupport::OdbcResult r = result("select id, row_number() over (partition by regionId order by id) n,\n"
                                       "count(*) over (partition by regionId) c,\n"
                                       "sum(id) over (partition by regionId order by id) running\n"
                                       "from Customers where id <= 12 order by id");
    EXPECT_EQ(r.types, (std::vector<SQLSMALLINT>{SQL_INTEGER, SQL_BIGINT, SQL_INTEGER, SQL_INTEGER}));
    EXPECT_EQ(r.rows, (Rows{{"1", "1", "3", "1"},
                            {"2", "1", "3", "2"},
                            {"3", "1", "3", "3"},
                            {"4", "1", "3", "4"},
                            {"5", "2", "3", "6"},
                            {"6", "2", "3", "8"},
                            {"7", "2", "3", "10"},
                            {"8", "2", "3", "12"},
                            {"9", "3", "3", "15"},
                            {"10", "3", "3", "18"},
                            {"11", "3", "3", "21"},
                            {"12", "3", "3", "24"}}));
    // Ordered, the frame ends with the current row's peers: rows with equal keys share the total.
    EXPECT_EQ(
        column(m_sa->exec("select sum(id) over (order by regionId) from Customers where id <= 8 order by id"),
               0),
        (Strings{"6", "14", "24", "36", "6", "14", "24", "36"}));
    // Unordered, it is the whole partition; avg of int stays int.
    testsupport::OdbcResult whole =
        result("select distinct regionId, avg(id) over (partition by regionId),\n"
               "min(id) over (partition by regionId), max(id) over (partition by regionId)\n"
               "from Customers order by regionId");
    EXPECT_EQ(whole.types[1], SQL_INTEGER);
    EXPECT_EQ(
        whole.rows,
        (Rows{
            {"1", "19", "1", "37"}, {"2", "20", "2", "38"}, {"3", "21", "3", "39"}, {"4", "22", "4", "40"}}));
}

TEST_F(WindowFunctionsOverOdbc, LagAndLeadReadNeighbouringRows) {
    testsupport::OdbcResult r = result(
        "select id, lag(id) over (order by id), lead(id, 2, 0) over (order by id) from Regions order by id");
    EXPECT_EQ(r.types, (std::vector<SQLSMALLINT>{SQL_INTEGER, SQL_INTEGER, SQL_INTEGER}));
    EXPECT_EQ(r.rows, (Rows{{"1", std::nullopt, "3"}, {"2", "1", "4"}, {"3", "2", "0"}, {"4", "3", "0"}}));
}

TEST_F(WindowFunctionsOverOdbc, WhatTheServerRejectsOrTheSimulatorCannotAnswer) {
    EXPECT_EQ(messages(m_sa->exec("select row_number() over (partition by id) from Regions")),
              (Strings{"4112: The function 'row_number' must have an OVER clause with ORDER BY."}));
    EXPECT_EQ(messages(m_sa->exec("select count(distinct id) over () from Regions")),
              (Strings{"10759: Use of DISTINCT is not allowed with the OVER clause."}));
    for (const char* query :
         {"declare @n int = 1\nselect sum(id) over (order by id rows @n preceding) from Regions",
          "select regionId, rank() over (order by count(*)) from Customers group by regionId",
          "select row_number() over (order by id) * 2 from Regions"}) {
        OdbcOutcome out = m_sa->exec(query);
        ASSERT_EQ(out.messages.size(), 1u) << query;
        EXPECT_NE(out.messages[0].text.find("not supported by the simulator"), std::string::npos) << query;
    }
}

} // namespace
