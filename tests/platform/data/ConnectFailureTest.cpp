// A failed log-on names the server and the cause we can find out ourselves, where the driver
// says only that it could not connect.
#include "EDatabaseError.h"
#include "SimProcess.h"
#include "TADOConnection.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using testsupport::SimProcess;

namespace {

QString failureOf(const QString& connectionString, int loginTimeout = 5) {
    TADOConnection c;
    c.SetConnectionString(connectionString);
    c.SetConnectionTimeout(loginTimeout);
    try {
        c.Open();
    } catch (const EDatabaseError& e) {
        EXPECT_FALSE(c.Connected());
        return e.Message();
    }
    ADD_FAILURE() << "connected with " << connectionString.toStdString();
    return {};
}

// Sets an environment variable for its lifetime.
class EnvironmentGuard {
public:
    EnvironmentGuard(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_saved(qgetenv(name)) {
        qputenv(name, value);
    }
    ~EnvironmentGuard() {
        if (m_had)
            qputenv(m_name, m_saved);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_saved;
};

TEST(ConnectFailure, EachCauseGivesItsOwnMessage) {
    EXPECT_EQ(failureOf("Data Source=;User ID=sa;Password=x"), "No server name was given.");
    EXPECT_EQ(failureOf("Data Source=no-such-host.invalid;User ID=sa;Password=x"),
              "Cannot connect to no-such-host.invalid: host name \"no-such-host.invalid\" not found.");
    EXPECT_EQ(failureOf("Data Source=127.0.0.1,1;User ID=sa;Password=x"),
              "Cannot connect to 127.0.0.1,1: connection refused at 127.0.0.1:1.");

    SimProcess sim({"--demo", "--sa-password", "sa"});
    ASSERT_TRUE(sim.started());
    const QString server = QStringLiteral("127.0.0.1,%1").arg(sim.port());
    EXPECT_TRUE(failureOf("Data Source=" + server + ";User ID=sa;Password=wrong")
                    .startsWith("Login failed for user 'sa'."));
    {
        const EnvironmentGuard noTicket("KRB5CCNAME", "FILE:/nonexistent/krb5cc_marlinde");
        const QString message = failureOf("Data Source=" + server + ";Integrated Security=SSPI;");
        EXPECT_TRUE(message.contains("run kinit")) << message.toStdString();
        EXPECT_TRUE(message.contains(server)) << message.toStdString();
    }
}

TEST(ConnectFailure, ServerThatNeverAnswersTheLogOnIsNamedWithTheTimeout) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    const QString server = QStringLiteral("127.0.0.1,%1").arg(ntohs(address.sin_port));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(failureOf("Data Source=" + server + ";User ID=sa;Password=x", 1),
              "Cannot connect to " + server + ": no answer to the log-on within 1 seconds.");
    EXPECT_LT(clock.elapsed(), 6000);
    ::close(fd);
}

} // namespace
