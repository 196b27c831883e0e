// Long values through unixODBC + FreeTDS: literals over 8,000 bytes and (max) parameters come back
// whole, typed as (max) values.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class LongValuesOverOdbc : public DemoServerFixture {};

TEST_F(LongValuesOverOdbc, LongLiteralsAndParametersAreMaxValuesNeverCut) {
    auto sa = connect();
    const std::string ascii(9000, 'a');
    OdbcOutcome literal = sa->exec("select '" + ascii + "', 'short'");
    ASSERT_TRUE(literal.ok) << ::testing::PrintToString(messages(literal));
    ASSERT_EQ(column(literal, 0).size(), 1u);
    // A varchar(n) column would be cut at 8,000 bytes on the wire; a varchar(max) one is not.
    EXPECT_EQ(column(literal, 0)[0].size(), 9000u);
    EXPECT_EQ(column(literal, 1), (Strings{"short"}));

    const std::string wide(5000, 'w');
    OdbcOutcome unicode = sa->exec("select N'" + wide + "' + N'!'");
    ASSERT_TRUE(unicode.ok) << ::testing::PrintToString(messages(unicode));
    ASSERT_EQ(column(unicode, 0).size(), 1u);
    EXPECT_EQ(column(unicode, 0)[0], wide + "!");

    // A parameter sent as nvarchar(max) comes back whole, here and through a variable.
    OdbcOutcome param = run(*sa, "declare @v nvarchar(max)\nset @v = :text\nselect @v, :text",
                            {{"text", BoundParam::text(wide)}});
    ASSERT_TRUE(param.ok) << ::testing::PrintToString(messages(param));
    EXPECT_EQ(column(param, 0), (Strings{wide}));
    EXPECT_EQ(column(param, 1), (Strings{wide}));
}

TEST_F(LongValuesOverOdbc, ReplicateOfAMaxValueGoesOnPastEightThousandBytes) {
    auto sa = connect();
    OdbcOutcome lengths = sa->exec("select len(replicate(convert(varchar(max), 'a'), 10000)),\n"
                                   " datalength(replicate(convert(nvarchar(max), N'ab'), 5000)),\n"
                                   " len(replicate('abc', 3000)), datalength(replicate('abc', 3000)),\n"
                                   " len(replicate(N'xy', 3000)), datalength(replicate(N'xy', 3000)),\n"
                                   " replicate(convert(varchar(max), 'ab'), 4500), replicate('ab', 4500)");
    ASSERT_TRUE(lengths.ok) << ::testing::PrintToString(messages(lengths));
    std::vector<Strings> cells;
    for (size_t i = 0; i < 8; ++i) {
        cells.push_back(column(lengths, i));
        ASSERT_EQ(cells.back().size(), 1u) << i;
    }
    EXPECT_EQ(cells[0][0], "10000");
    EXPECT_EQ(cells[1][0], "20000");
    // Any other argument is cut at 8,000 bytes, within a repetition if need be.
    EXPECT_EQ(cells[2][0], "8000");
    EXPECT_EQ(cells[3][0], "8000");
    EXPECT_EQ(cells[4][0], "4000");
    EXPECT_EQ(cells[5][0], "8000");
    std::string ab;
    for (int i = 0; i < 4500; ++i) {
        ab += "ab";
    }
    EXPECT_EQ(cells[6][0], ab);
    EXPECT_EQ(cells[7][0], ab.substr(0, 8000));
}

} // namespace
