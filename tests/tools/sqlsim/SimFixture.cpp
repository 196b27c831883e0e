#include "SimFixture.h"

#include <QJsonDocument>
#include <cstdio>
#include <unistd.h>

namespace sqlsimtest {

void SimFixture::SetUp() {
    char path[] = "/tmp/sqlsim-test-XXXXXX";
    int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    m_logPath = path;
    m_logStream = std::make_unique<std::ofstream>(m_logPath);
    m_server = std::make_unique<sqlsim::Server>(m_responder, m_logStream.get());
    m_port = m_server->start(0);
    ASSERT_GT(m_port, 0);
}

void SimFixture::TearDown() {
    m_server.reset();
    m_logStream.reset();
    std::remove(m_logPath.c_str());
}

std::unique_ptr<testsupport::OdbcTestClient>
SimFixture::connect(const std::string& user, const std::string& password, const std::string& database) {
    auto client = std::make_unique<testsupport::OdbcTestClient>();
    std::string error;
    bool ok = client->connect(testsupport::OdbcTestClient::connectionString(m_port, user, password, database),
                              &error);
    EXPECT_TRUE(ok) << error;
    return client;
}

std::vector<QJsonObject> SimFixture::log() const {
    std::vector<QJsonObject> out;
    std::ifstream in(m_logPath);
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
