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

} // namespace
