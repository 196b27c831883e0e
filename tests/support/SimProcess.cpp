#include "SimProcess.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

std::string SimProcess::binary() {
    if (const char* env = std::getenv("SQLSIM_BINARY")) {
        return env;
    }
    return SQLSIM_BINARY;
}

SimProcess::SimProcess(std::vector<std::string> args, int port) {
    char logTemplate[] = "/tmp/sqlsim-log-XXXXXX";
    int logFd = ::mkstemp(logTemplate);
    if (logFd >= 0) {
        ::close(logFd);
    }
    m_logPath = logTemplate;
    int out[2];
    if (::pipe(out) != 0) {
        return;
    }
    std::string exe = binary();
    std::vector<std::string> all = {exe, "--port", std::to_string(port), "--log", m_logPath};
    all.insert(all.end(), args.begin(), args.end());
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(exe.c_str(), argv.data());
        std::_Exit(127);
    }
    ::close(out[1]);
    // The port is the first line; wait for it at most ten seconds.
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buf[64];
            ssize_t n = ::read(out[0], buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            line.append(buf, size_t(n));
        }
    }
    ::close(out[0]);
    m_port = std::atoi(line.c_str());
}

SimProcess::~SimProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (!m_logPath.empty()) {
        std::remove(m_logPath.c_str());
    }
}

void SimProcess::kill() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

std::vector<std::string> SimProcess::logLines() const {
    std::vector<std::string> lines;
    std::ifstream in(m_logPath);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace testsupport
