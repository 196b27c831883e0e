#pragma once
// One client connection: reads its messages, logs it on, passes its requests to the responder
// and writes the answers as token streams, watching for the client's attention signal.
#include "RequestLog.h"
#include "Responder.h"
#include "TdsChannel.h"
#include "TdsTokenWriter.h"

#include <atomic>
#include <map>
#include <mutex>

namespace sqlsim {

class TdsConnection {
public:
    TdsConnection(int fd, int spid, Responder& responder, std::mutex& modelLock, RequestLog& log);
    TdsConnection(const TdsConnection&) = delete;
    TdsConnection& operator=(const TdsConnection&) = delete;

    // Serves the client until it disconnects or misbehaves. Never throws.
    void run();
    // Ends the connection from another thread (the server is stopping).
    void abort();
    bool finished() const { return m_finished; }

private:
    struct Prepared {
        std::string text;
        std::string declarations;
    };
    void serve();
    void sendPrelogin(const std::vector<uint8_t>& payload);
    bool login(const std::vector<uint8_t>& payload);
    void loginFailed(const Message& first, const std::string& user);
    void handleBatch(const std::vector<uint8_t>& payload);
    void handleRpc(const std::vector<uint8_t>& payload);
    void handleTransaction(const std::vector<uint8_t>& payload);
    void acknowledgeAttention();

    // Returns true when the client's attention ended the answer.
    bool answer(const Request& request, bool inProcedure, int32_t extraHandle = -1);

    TdsChannel m_channel;
    Session m_session;
    TdsTokenWriter m_tokens;
    Responder& m_responder;
    std::mutex& m_modelLock;
    RequestLog& m_log;
    bool m_loggedIn = false;
    std::map<int32_t, Prepared> m_prepared;
    int32_t m_nextHandle = 1;
    std::atomic<bool> m_finished{false};
};

} // namespace sqlsim
