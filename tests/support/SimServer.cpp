#include "SimServer.h"

#include "Server.h"

#include <cstdio>
#include <sstream>
#include <unistd.h>

namespace testsupport {

SimServer::SimServer(sqlsim::Responder& responder) {
    char path[] = "/tmp/sqlsim-test-XXXXXX";
    int fd = ::mkstemp(path);
    if (fd < 0) {
        return;
    }
    ::close(fd);
    m_logPath = path;
    m_log = std::make_unique<std::ofstream>(m_logPath);
    m_server = std::make_unique<sqlsim::Server>(responder, m_log.get());
    m_port = m_server->start(0);
}

SimServer::~SimServer() {
    m_server.reset();
    m_log.reset();
    if (!m_logPath.empty()) {
        std::remove(m_logPath.c_str());
    }
}

std::string SimServer::logText() const {
    if (m_log) {
        m_log->flush();
    }
    std::ifstream in(m_logPath);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::unique_ptr<OdbcTestClient> SimServer::connect(const std::string& user, const std::string& password,
                                                   const std::string& database, bool& ok,
                                                   std::string& error) const {
    auto client = std::make_unique<OdbcTestClient>();
    ok = client->connect(OdbcTestClient::connectionString(m_port, user, password, database), &error);
    return client;
}

} // namespace testsupport
