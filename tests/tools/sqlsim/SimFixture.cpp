#include "SimFixture.h"

#include "model/DemoInstance.h"

#include <QJsonDocument>
#include <sstream>

namespace sqlsimtest {

void SimFixture::SetUp() {
    m_responder = makeBareInstance("Secret1", kRows);
    m_sim = std::make_unique<testsupport::SimServer>(*m_responder);
    m_port = m_sim->port();
    m_logPath = m_sim->logPath();
    ASSERT_GT(m_port, 0);
    auto sa = connect();
    ASSERT_TRUE(sa);
    for (const char* batch : {"create database demo",
                              "exec sp_addlogin N'anna', N'p;a=s{s}'",
                              "use demo; exec sp_grantdbaccess N'anna'; use master",
                              "create table t (a int); insert into t values (1); insert into t values (2); "
                              "insert into t values (3)"}) {
        auto out = sa->exec(batch);
        ASSERT_TRUE(out.ok) << batch << ": " << (out.messages.empty() ? "" : out.messages[0].text);
    }
}

void SimFixture::TearDown() {
    m_sim.reset();
    m_responder.reset();
}

std::unique_ptr<testsupport::OdbcTestClient>
SimFixture::connect(const std::string& user, const std::string& password, const std::string& database) {
    bool ok = false;
    std::string error;
    auto client = m_sim->connect(user, password, database, ok, error);
    EXPECT_TRUE(ok) << error;
    return client;
}

std::vector<QJsonObject> SimFixture::log() const {
    std::vector<QJsonObject> out;
    std::istringstream in(m_sim->logText());
    std::string line;
    while (std::getline(in, line)) {
        QJsonParseError error;
        QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
        out.push_back(doc.object());
    }
    return out;
}

QJsonObject SimFixture::lastOfType(const std::string& type) const {
    QJsonObject last;
    for (const QJsonObject& o : log()) {
        if (o.value("type").toString().toStdString() == type) {
            last = o;
        }
    }
    return last;
}

} // namespace sqlsimtest
