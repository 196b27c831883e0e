#pragma once
// An in-process simulator with the test responder, logging to a temporary file.
#include "OdbcTestClient.h"
#include "SimServer.h"
#include "TestResponder.h"

#include <QJsonObject>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace sqlsimtest {

class SimFixture : public ::testing::Test {
protected:
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

    TestResponder m_responder;
    std::unique_ptr<testsupport::SimServer> m_sim;
    std::string m_logPath;
    int m_port = 0;
};

} // namespace sqlsimtest
