#pragma once
// An in-process bare simulator (master.dbo.generated_rows with kRows rows) logging to a temporary file,
// with what the engine tests read set up through SQL as sa: a database demo, a login anna (a password
// full of connection-string punctuation) with a user there, and master.dbo.t with three rows.
#include "OdbcTestClient.h"
#include "Responder.h"
#include "SimServer.h"

#include <QJsonObject>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace sqlsimtest {

class SimFixture : public ::testing::Test {
protected:
    static constexpr int kRows = 200000;

    void SetUp() override;
    void TearDown() override;

    // Connects a new client as sa (or the given login) to the running server.
    std::unique_ptr<testsupport::OdbcTestClient> connect(const std::string& user = "sa",
                                                         const std::string& password = "Secret1",
                                                         const std::string& database = {});
    // The request log entries so far, parsed.
    std::vector<QJsonObject> log() const;
    // The last logged entry of the given type ("batch", "rpc", ...).
    QJsonObject lastOfType(const std::string& type) const;

    std::unique_ptr<sqlsim::Responder> m_responder;
    std::unique_ptr<testsupport::SimServer> m_sim;
    std::string m_logPath;
    int m_port = 0;
};

} // namespace sqlsimtest
