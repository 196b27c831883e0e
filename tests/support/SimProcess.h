#pragma once
// Runs the sqlsim binary on a free port for a test and stops it afterwards.
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

class SimProcess {
public:
    // Starts "sqlsim --port <port> --log <temp file> <args>" and waits for the port it prints
    // (port 0: a free one).
    explicit SimProcess(std::vector<std::string> args = {}, int port = 0);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool started() const { return m_port > 0; }
    int port() const { return m_port; }
    pid_t pid() const { return m_pid; }
    const std::string& logPath() const { return m_logPath; }
    // The lines of the request log so far.
    std::vector<std::string> logLines() const;
    // Ends the process at once, as a server that crashed or was switched off.
    void kill();

    static std::string binary();

private:
    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_logPath;
};

} // namespace testsupport
