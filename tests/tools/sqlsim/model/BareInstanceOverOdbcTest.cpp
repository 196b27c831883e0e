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
