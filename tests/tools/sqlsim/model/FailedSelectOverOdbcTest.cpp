// A select that fails part way through its rows, as an ODBC client reading a batch with
// SQLFetch and SQLMoreResults sees it: the rows before the failing one, the error, then the results
// of the statements after it.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::Cell;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<std::vector<Cell>>;

class FailedSelectOverOdbc : public DemoServerFixture {};

const char* const kFailsAtThirdRegion =
    "select name, cast(case when id > 2 then 'x' else '1' end as int) as n from Regions";
const std::string kConversion =
    "245: Conversion failed when converting the varchar value 'x' to data type int.";

TEST_F(FailedSelectOverOdbc, AFailingFirstSelectSendsItsEarlierRowsAndTheBatchGoesOn) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome out = sa->exec(std::string(kFailsAtThirdRegion) + "\nselect 2 as after");
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(messages(out), (Strings{kConversion}));
    ASSERT_EQ(out.results.size(), 2u) << ::testing::PrintToString(out.order);
    EXPECT_EQ(out.results[0].columns, (Strings{"name", "n"}));
    EXPECT_EQ(out.results[0].rows, (Rows{{"North", "1"}, {"South", "1"}}));
    EXPECT_EQ(out.results[1].columns, (Strings{"after"}));
    EXPECT_EQ(out.results[1].rows, (Rows{{"2"}}));
    // The error comes with the failing select's rows, before the next result.
    EXPECT_EQ(out.order,
              (Strings{"message:[FreeTDS][SQL Server]Conversion failed when converting the varchar "
                       "value 'x' to data type int.",
                       "result", "result"}));
}

TEST_F(FailedSelectOverOdbc, TheSameSelectLaterInTheBatchAndAfterAFilterSendsTheSameRows) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome middle =
        sa->exec(std::string("select 1 as before\n") + kFailsAtThirdRegion + "\nselect 2 as after");
    ASSERT_EQ(middle.results.size(), 3u) << ::testing::PrintToString(middle.order);
    EXPECT_EQ(middle.results[1].rows, (Rows{{"North", "1"}, {"South", "1"}}));
    EXPECT_EQ(middle.results[2].rows, (Rows{{"2"}}));
    EXPECT_EQ(messages(middle), (Strings{kConversion}));

    // Only the rows the filter kept before the failing one.
    OdbcOutcome filtered = sa->exec(std::string(kFailsAtThirdRegion) + " where id <> 1\nselect 3");
    ASSERT_EQ(filtered.results.size(), 2u) << ::testing::PrintToString(filtered.order);
    EXPECT_EQ(filtered.results[0].rows, (Rows{{"South", "1"}}));
    EXPECT_EQ(filtered.results[1].rows, (Rows{{"3"}}));

    // The rows do not count as the statement's: @@rowcount is 0 after the failure.
    OdbcOutcome counted = sa->exec(std::string(kFailsAtThirdRegion) + "\nselect @@rowcount");
    ASSERT_EQ(counted.results.size(), 2u) << ::testing::PrintToString(counted.order);
    EXPECT_EQ(counted.results[1].rows, (Rows{{"0"}}));
}

TEST_F(FailedSelectOverOdbc, ASortedSelectFailsBeforeAnyRow) {
    auto sa = connect("sa", "Secret1", "Sales");
    // Sorting needs every row first, so none of them goes out before the error.
    OdbcOutcome sorted =
        sa->exec(std::string("select 1 as before\n") + kFailsAtThirdRegion + " order by name");
    EXPECT_EQ(messages(sorted), (Strings{kConversion}));
    for (size_t k = 1; k < sorted.results.size(); ++k) {
        EXPECT_TRUE(sorted.results[k].rows.empty()) << k;
    }
    ASSERT_FALSE(sorted.results.empty());
    EXPECT_EQ(sorted.results[0].rows, (Rows{{"1"}}));
}

TEST_F(FailedSelectOverOdbc, TopWithoutOrderStopsBeforeRowsItDoesNotNeed) {
    auto sa = connect("sa", "Secret1", "Sales");
    const std::string divideByZero = "8134: Divide by zero error encountered.";
    // Region 3 divides by zero; the first two regions come first in storage order.
    const std::string q = "select top (%) 1 / (id - 3) as q from Regions";
    auto withTop = [&](const std::string& n, const std::string& tail = "") {
        std::string sql = q;
        sql.replace(sql.find('%'), 1, n);
        return sa->exec(sql + tail + "\nselect 9 as after");
    };
    OdbcOutcome two = withTop("2");
    EXPECT_TRUE(two.ok) << ::testing::PrintToString(messages(two));
    ASSERT_EQ(two.results.size(), 2u) << ::testing::PrintToString(two.order);
    EXPECT_EQ(two.results[0].rows, (Rows{{"0"}, {"-1"}}));
    EXPECT_EQ(two.results[1].rows, (Rows{{"9"}}));
    OdbcOutcome none = withTop("0");
    EXPECT_TRUE(none.ok) << ::testing::PrintToString(messages(none));
    ASSERT_FALSE(none.results.empty());
    EXPECT_TRUE(none.results[0].rows.empty());

    // Reaching the third region fails it, after the two rows made before it.
    OdbcOutcome three = withTop("3");
    EXPECT_EQ(messages(three), (Strings{divideByZero}));
    ASSERT_EQ(three.results.size(), 2u) << ::testing::PrintToString(three.order);
    EXPECT_EQ(three.results[0].rows, (Rows{{"0"}, {"-1"}}));
    OdbcOutcome all = sa->exec("select 1 / (id - 3) as q from Regions");
    EXPECT_EQ(messages(all), (Strings{divideByZero}));

    // Sorting by the computed value computes it for every row first: top with order by still
    // fails, before any row.
    OdbcOutcome sorted = sa->exec("select top (2) 1 / (id - 3) as q from Regions order by q");
    EXPECT_FALSE(sorted.ok);
    EXPECT_EQ(messages(sorted), (Strings{divideByZero}));
    for (const auto& r : sorted.results) {
        EXPECT_TRUE(r.rows.empty());
    }
}

} // namespace
