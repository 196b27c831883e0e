// Plain sqlsim serves a bare instance of the same model: the administration tool's log-on
// statements are answered there too.
#include "SimServer.h"
#include "model/DemoInstance.h"
#include "model/StatementTexts.h"

#include <gtest/gtest.h>

TEST(BareInstanceOverOdbc, AnswersTheDatabaseListOfTheLogOn) {
    auto responder = makeBareInstance("Bare1");
    testsupport::SimServer sim(*responder);
    ASSERT_GT(sim.port(), 0);
    bool ok = false;
    std::string error;
    auto sa = sim.connect("sa", "Bare1", "", ok, error);
    ASSERT_TRUE(ok) << error;
    testsupport::OdbcOutcome out = sa->exec(sqlsim::model::texts::kDatabaseList);
    ASSERT_TRUE(out.ok) << (out.messages.empty() ? std::string() : out.messages[0].text);
    ASSERT_EQ(out.results.size(), 1u);
    std::vector<std::string> names;
    for (const auto& row : out.results[0].rows) {
        names.push_back(row.at(0).value_or("NULL"));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"master", "model", "msdb", "tempdb"}));
    // Nothing else is there: no demo databases, no other logins.
    EXPECT_FALSE(sim.connect("clerk", "clerk", "", ok, error) && ok);
}

TEST(BareInstanceOverOdbc, GeneratedRowsAreATableOfTheModel) {
    auto responder = makeBareInstance("Bare1", 2500);
    testsupport::SimServer sim(*responder);
    bool ok = false;
    std::string error;
    auto sa = sim.connect("sa", "Bare1", "", ok, error);
    ASSERT_TRUE(ok) << error;
    testsupport::OdbcOutcome out = sa->exec("select count(*), max(id) from generated_rows");
    ASSERT_TRUE(out.ok) << (out.messages.empty() ? std::string() : out.messages[0].text);
    ASSERT_EQ(out.results.size(), 1u);
    ASSERT_EQ(out.results[0].rows.size(), 1u);
    EXPECT_EQ(out.results[0].rows[0].at(0).value_or("NULL"), "2500");
    EXPECT_EQ(out.results[0].rows[0].at(1).value_or("NULL"), "2499");
    // A table like any other: filtered, changed and rolled back through the same model.
    testsupport::OdbcOutcome row = sa->exec("begin tran\ndelete master.dbo.generated_rows where id < 2000\n"
                                            "select name from generated_rows where id = 2001\nrollback\n"
                                            "select count(*) from generated_rows");
    ASSERT_TRUE(row.ok) << (row.messages.empty() ? std::string() : row.messages[0].text);
    ASSERT_EQ(row.results.size(), 2u);
    EXPECT_EQ(row.results[0].rows.at(0).at(0).value_or("NULL"), "row 2001");
    EXPECT_EQ(row.results[1].rows.at(0).at(0).value_or("NULL"), "2500");
}
