#pragma once
// The listening side: accepts clients on 127.0.0.1 and serves each on its own thread.
#include "RequestLog.h"
#include "Responder.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>

namespace sqlsim {

class TdsConnection;

class Server {
public:
    // log: where every request is recorded (one JSON line each); may be null.
    explicit Server(Responder& responder, std::ostream* log = nullptr);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Listens on 127.0.0.1:port (0 picks a free port) and returns the port. Throws std::runtime_error.
    int start(int port = 0);
    // Stops listening and cuts every connection at once, as a server that went away.
    void stop();
    int port() const { return m_port; }
    // Held while the responder answers; take it to read or change the model from outside.
    std::mutex& modelLock() { return m_modelLock; }

private:
    struct Client {
        std::unique_ptr<TdsConnection> connection;
        std::thread thread;
    };
    void acceptLoop();
    void reapFinished();

    Responder& m_responder;
    RequestLog m_log;
    std::mutex m_modelLock;
    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptThread;
    std::mutex m_clientsLock;
    std::list<Client> m_clients;
    int m_nextSpid = 51;
};

} // namespace sqlsim
