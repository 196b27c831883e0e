// Malformed input and abrupt disconnects close only the offending connection.
#include "SimFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

using namespace sqlsimtest;

namespace {

int openSocket(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    timeval tv{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

// Sends the bytes and reports whether the server then closed the connection (rather than waiting).
bool serverCloses(int port, const std::vector<uint8_t>& bytes) {
    int fd = openSocket(port);
    if (fd < 0) {
        return false;
    }
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    char buf[4096];
    ssize_t n;
    bool closed = false;
    while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) {
    }
    closed = n == 0 || (n < 0 && errno == ECONNRESET);
    ::close(fd);
    return closed;
}

std::vector<uint8_t> packet(uint8_t type, std::vector<uint8_t> payload, uint8_t status = 1) {
    size_t len = payload.size() + 8;
    std::vector<uint8_t> p = {type, status, uint8_t(len >> 8), uint8_t(len), 0, 0, 1, 0};
    p.insert(p.end(), payload.begin(), payload.end());
    return p;
}

} // namespace

TEST_F(SimFixture, MalformedMessagesCloseTheirConnectionOnly) {
    auto survivor = connect();

    EXPECT_TRUE(serverCloses(m_port, {'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P', '/', '1', '.', '1',
                                      '\r', '\n', '\r', '\n'}));
    EXPECT_TRUE(serverCloses(m_port, packet(0x01, {'s', 0, 'e', 0}))) << "a batch before logging on";
    EXPECT_TRUE(serverCloses(m_port, {0x12, 0x01, 0x00, 0x04, 0, 0, 0, 0})) << "length below the header";
    EXPECT_TRUE(serverCloses(m_port, packet(0x77, {1, 2, 3}))) << "unknown packet type";
    std::vector<uint8_t> login(94, 0);
    login[36] = 0xF0; // host name offset far beyond the message
    login[38] = 0x7F;
    login[4] = 0x04;
    login[7] = 0x74;
    EXPECT_TRUE(serverCloses(m_port, packet(0x10, login)));

    // The established client never noticed.
    auto out = survivor->exec("select 5");
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.results.at(0).rows.at(0).at(0), "5");
}

TEST_F(SimFixture, ClientsDroppingMidPacketOrMidResultAreForgotten) {
    // Half a header, then half a packet, then gone.
    for (std::vector<uint8_t> bytes : {std::vector<uint8_t>{0x12, 0x01, 0x00},
                                       std::vector<uint8_t>{0x12, 0x01, 0x00, 0x40, 0, 0, 1, 0, 1, 2}}) {
        int fd = openSocket(m_port);
        ASSERT_GE(fd, 0);
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        ::close(fd);
    }
    // A client that disappears while a large result is streaming to it.
    {
        testsupport::OdbcTestClient quitter;
        ASSERT_TRUE(quitter.connect(testsupport::OdbcTestClient::connectionString(m_port, "sa", "Secret1")));
        SQLHSTMT stmt;
        SQLAllocHandle(SQL_HANDLE_STMT, quitter.connection(), &stmt);
        SQLExecDirect(stmt, (SQLCHAR*)"select * from generated_rows", SQL_NTS);
        SQLFetch(stmt);
        int fd = -1;
        // Cut the socket under the driver: the server sees the peer vanish mid-stream.
        for (int candidate = 3; candidate < 1024; ++candidate) {
            sockaddr_in peer{};
            socklen_t len = sizeof peer;
            if (::getpeername(candidate, reinterpret_cast<sockaddr*>(&peer), &len) == 0 &&
                ntohs(peer.sin_port) == m_port) {
                fd = candidate;
            }
        }
        ASSERT_GE(fd, 0);
        ::shutdown(fd, SHUT_RDWR);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }
    auto client = connect();
    auto out = client->exec("select 9");
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.results.at(0).rows.at(0).at(0), "9");
}

TEST_F(SimFixture, RandomPacketsNeverBringTheServerDown) {
    std::mt19937 random(20261209);
    const uint8_t types[] = {0x01, 0x03, 0x06, 0x0E, 0x10, 0x12, 0x04, 0xFF};
    for (int round = 0; round < 150; ++round) {
        std::vector<uint8_t> bytes;
        // Some rounds log on properly first, so the request parsers see the noise too.
        int messages = 1 + int(random() % 3);
        for (int m = 0; m < messages; ++m) {
            std::vector<uint8_t> payload(random() % 300);
            for (uint8_t& b : payload) {
                b = uint8_t(random());
            }
            if (!payload.empty() && random() % 2) {
                payload[0] = 0x16; // plausible ALL_HEADERS length
                for (size_t k = 1; k < 4 && k < payload.size(); ++k) {
                    payload[k] = 0;
                }
            }
            auto p = packet(types[random() % 8], payload);
            bytes.insert(bytes.end(), p.begin(), p.end());
        }
        int fd = openSocket(m_port);
        ASSERT_GE(fd, 0) << "round " << round;
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR);
        char buf[4096];
        while (::recv(fd, buf, sizeof buf, 0) > 0) {
        }
        ::close(fd);
    }
    auto client = connect();
    auto out = client->exec("select 11");
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.results.at(0).rows.at(0).at(0), "11");
}
