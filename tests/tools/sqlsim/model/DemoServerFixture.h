#pragma once
// The demo instance served in-process on a free port and reached through unixODBC + FreeTDS, with
// the statements sent as the data layer sends them: ":name" marks become "?" markers bound to typed
// parameters, so they arrive as sp_executesql with @P1, @P2 ...
#include "OdbcTestClient.h"
#include "Responder.h"
#include "SimServer.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace sqlsimtest {

using testsupport::BoundParam;
using testsupport::OdbcOutcome;
using Params = std::map<std::string, BoundParam>; // by parameter name as written after ":"

class DemoServerFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Connects a new client (as sa by default) to the running server.
    std::unique_ptr<testsupport::OdbcTestClient> connect(const std::string& user = "sa",
                                                         const std::string& password = "Secret1",
                                                         const std::string& database = {});
    // Sends text with every ":name" mark replaced by "?" and bound to params[name].
    static OdbcOutcome run(testsupport::OdbcTestClient& client, const std::string& text,
                           const Params& params = {});
    // The text with every ":name" mark (outside literals and comments) replaced by "?"; names gets
    // the name of each mark in order.
    static std::string markers(const std::string& text, std::vector<std::string>* names = nullptr);
    // The whole request log so far.
    std::string logText() const;

    // Column c of result set r as text ("NULL" for a null), or empty when there is no such set.
    static std::vector<std::string> column(const OdbcOutcome& out, size_t c, size_t r = 0);
    // The native numbers and texts of the outcome's messages, "number: text" each.
    static std::vector<std::string> messages(const OdbcOutcome& out);
    // The first column of every row of the first result, each followed by CR LF, as the script
    // editor inserts a query's rows.
    static std::string inserted(const OdbcOutcome& out);

    std::unique_ptr<sqlsim::Responder> m_responder;
    std::unique_ptr<testsupport::SimServer> m_sim;
    int m_port = 0;
};

} // namespace sqlsimtest
