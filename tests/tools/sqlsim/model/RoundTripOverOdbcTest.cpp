// A script the script editor generates (structure and data, with identity values) run back through
// the script runner's path, batch by batch at the GO lines, into another database: the table comes
// back with the same structure script and the same rows.
#include "DemoServerFixture.h"

#include "model/StatementTexts.h"

#include <sstream>

using namespace sqlsimtest;
using namespace sqlsim::model;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class RoundTripOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    std::string generate(const std::string& table) {
        std::string text =
            inserted(run(*m_sa, texts::kEditorStructure,
                         {{"tab", BoundParam::text(table)}, {"ScriptTriggers", BoundParam::bit(false)}}));
        OdbcOutcome data = run(*m_sa, texts::kTableData,
                               {{"tab", BoundParam::text(table)},
                                {"bScriptID", BoundParam::bit(true)},
                                {"sWhere", BoundParam::text("")}});
        return text + inserted(data) + "GO\r\n";
    }
    // Sends each batch between GO lines; returns the messages of the batches that failed.
    Strings runScript(const std::string& script) {
        Strings failures;
        std::istringstream in(script);
        std::string line, batch;
        auto send = [&] {
            if (batch.find_first_not_of(" \r\n") != std::string::npos) {
                OdbcOutcome out = m_sa->exec(batch);
                if (!out.ok) {
                    for (const std::string& m : messages(out)) {
                        failures.push_back(m + " <- " + batch.substr(0, 60));
                    }
                }
            }
            batch.clear();
        };
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line == "GO") {
                send();
            } else {
                batch += line + "\r\n";
            }
        }
        send();
        return failures;
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(RoundTripOverOdbc, GeneratedTableScriptRecreatesTheTableElsewhere) {
    std::string script = generate("dbo.Products");
    ASSERT_NE(script.find("set identity_insert dbo.Products on"), std::string::npos) << script;
    ASSERT_TRUE(m_sa->exec("create database Copy").ok);
    ASSERT_TRUE(m_sa->exec("use Copy").ok);
    EXPECT_EQ(runScript(script), Strings{});
    EXPECT_EQ(generate("dbo.Products"), script);
    // Run again over itself: the drop at its head makes it repeatable.
    EXPECT_EQ(runScript(script), Strings{});
    EXPECT_EQ(column(m_sa->exec("select count(*) from dbo.Products"), 0), (Strings{"30"}));
}

} // namespace
