#pragma once
// A simulator served in-process on a free port, recording every request in a temporary file that
// goes with it. The one setup the simulator's test fixtures share.
#include "OdbcTestClient.h"

#include <fstream>
#include <memory>
#include <string>

namespace sqlsim {
class Responder;
class Server;
} // namespace sqlsim

namespace testsupport {

class SimServer {
public:
    // Starts serving responder; port() is 0 when that failed.
    explicit SimServer(sqlsim::Responder& responder);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    int port() const { return m_port; }
    sqlsim::Server& server() { return *m_server; }
    const std::string& logPath() const { return m_logPath; }
    // The whole request log so far, one JSON object a line.
    std::string logText() const;
    // A client that tried to log on as the user; ok tells whether it did, error why not.
    std::unique_ptr<OdbcTestClient> connect(const std::string& user, const std::string& password,
                                            const std::string& database, bool& ok, std::string& error) const;

private:
    std::string m_logPath;
    std::unique_ptr<std::ofstream> m_log;
    std::unique_ptr<sqlsim::Server> m_server;
    int m_port = 0;
};

} // namespace testsupport
