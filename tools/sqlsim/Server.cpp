#include "Server.h"

#include "TdsConnection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace sqlsim {

Server::Server(Responder& responder, std::ostream* log) : m_responder(responder), m_log(log) {}

Server::~Server() {
    stop();
}

int Server::start(int port) {
    if (m_listenFd >= 0) {
        throw std::runtime_error("server already started");
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || ::listen(fd, 64) < 0) {
        std::string error = std::strerror(errno);
        ::close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + error);
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_listenFd = fd;
    m_stopping = false;
    m_acceptThread = std::thread([this] { acceptLoop(); });
    return m_port;
}

void Server::stop() {
    if (m_listenFd < 0) {
        return;
    }
    m_stopping = true;
    ::shutdown(m_listenFd, SHUT_RDWR);
    if (m_acceptThread.joinable()) {
        m_acceptThread.join();
    }
    ::close(m_listenFd);
    m_listenFd = -1;
    std::list<Client> clients;
    {
        std::lock_guard<std::mutex> guard(m_clientsLock);
        clients.swap(m_clients);
    }
    for (Client& c : clients) {
        c.connection->abort();
    }
    for (Client& c : clients) {
        c.thread.join();
    }
}

void Server::acceptLoop() {
    while (!m_stopping) {
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            if (m_stopping) {
                return;
            }
            // Out of descriptors or similar: wait a little instead of spinning.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        reapFinished();
        std::lock_guard<std::mutex> guard(m_clientsLock);
        if (m_stopping) {
            ::close(fd);
            return;
        }
        int spid = m_nextSpid++;
        if (m_nextSpid > 32000) {
            m_nextSpid = 51;
        }
        auto connection = std::make_unique<TdsConnection>(fd, spid, m_responder, m_modelLock, m_log);
        TdsConnection* raw = connection.get();
        m_clients.push_back(Client{std::move(connection), std::thread([raw] { raw->run(); })});
    }
}

void Server::reapFinished() {
    std::list<Client> done;
    {
        std::lock_guard<std::mutex> guard(m_clientsLock);
        for (auto it = m_clients.begin(); it != m_clients.end();) {
            if (it->connection->finished()) {
                done.splice(done.end(), m_clients, it++);
            } else {
                ++it;
            }
        }
    }
    for (Client& c : done) {
        c.thread.join();
    }
}

} // namespace sqlsim
