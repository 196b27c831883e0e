// Dates written as text in the default style ("Jan  1 2004  9:00AM"), as generated data scripts
// write them, read back through unixODBC + FreeTDS.
#include "DemoServerFixture.h"

using namespace sqlsimtest;

namespace {

using Strings = std::vector<std::string>;

class DateTextOverOdbc : public DemoServerFixture {};

TEST_F(DateTextOverOdbc, MonthNamesWithTwelveHourTimesConvertToDates) {
    auto sa = connect("sa", "Secret1", "Sales");
    auto asIso = [&](const std::string& text) {
        return column(sa->exec("select convert(varchar(23), cast('" + text + "' as datetime), 121)"), 0);
    };
    EXPECT_EQ(asIso("Jan  1 2004  9:00AM"), (Strings{"2004-01-01 09:00:00.000"}));
    EXPECT_EQ(asIso("Dec 12 2004 12:11PM"), (Strings{"2004-12-12 12:11:00.000"}));
    EXPECT_EQ(asIso("May  5 2004 12:04AM"), (Strings{"2004-05-05 00:04:00.000"}));
    EXPECT_EQ(asIso("september 9 2004 13:08:07.250"), (Strings{"2004-09-09 13:08:07.250"}));
    EXPECT_EQ(asIso("Feb 2 2004"), (Strings{"2004-02-02 00:00:00.000"}));
    // What is no date fails as the server fails it.
    const Strings failed{"241: Conversion failed when converting date and/or time from character string."};
    for (const char* text : {"Foo 1 2004", "Jan 1 2004 13:00PM", "Jan 32 2004", "Jan 1 2004 9:00XY"}) {
        EXPECT_EQ(messages(sa->exec(std::string("select cast('") + text + "' as datetime)")), failed) << text;
    }
}

} // namespace
