// The simulator binary as a user and the peer tools meet it.
#include "SimProcess.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {

struct ShellRun {
    int status = -1;
    std::string output;
};

ShellRun runShell(const std::string& command) {
    ShellRun r;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) {
        return r;
    }
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) {
        r.output.append(buf.data(), n);
    }
    int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace

TEST(SqlsimTools, TsqlLogsOnAndSeesRowsAndMessages) {
    testsupport::SimProcess sim({"--sa-password", "Tool$Pass1"});
    ASSERT_TRUE(sim.started());
    std::string port = std::to_string(sim.port());
    ShellRun r =
        runShell("printf 'select 1\\ngo\\nprint '\\''hello there'\\''\\ngo\\nuse tempdb\\ngo\\nselect "
                 "db_name()\\ngo\\nexit\\n' | "
                 "timeout 20 tsql -H 127.0.0.1 -p " +
                 port + " -U sa -P 'Tool$Pass1'");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("(1 row affected)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("hello there"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("\ntempdb\n"), std::string::npos) << r.output;

    auto lines = sim.logLines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_NE(lines[0].find("\"type\":\"login\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("\"text\":\"select 1\\n\""), std::string::npos) << lines[1];

    ShellRun bad = runShell("printf 'select 1\\ngo\\nexit\\n' | timeout 20 tsql -H 127.0.0.1 -p " + port +
                            " -U sa -P wrong");
    EXPECT_NE(bad.output.find("Login failed for user 'sa'."), std::string::npos) << bad.output;
}

TEST(SqlsimTools, CommandLineIsCheckedAndExplained) {
    ShellRun help = runShell(testsupport::SimProcess::binary() + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--sa-password"), std::string::npos);
    ShellRun bad = runShell(testsupport::SimProcess::binary() + " --port banana");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.output.find("--port needs a number"), std::string::npos) << bad.output;
    ShellRun unknown = runShell(testsupport::SimProcess::binary() + " --frobnicate");
    EXPECT_EQ(unknown.status, 2);
}
