#pragma once
// One client connection: reads its messages, logs it on, passes its requests to the responder
// and writes the answers as token streams, watching for the client's attention signal.
#include "RequestLog.h"
#include "Responder.h"
#include "TdsBuffer.h"

#include <atomic>
#include <map>
#include <mutex>

namespace sqlsim {

class TdsConnection {
public:
    TdsConnection(int fd, int spid, Responder& responder, std::mutex& modelLock, RequestLog& log);
    ~TdsConnection();
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
    struct PendingDone {
        bool pending = false;
        uint16_t status = 0;
        uint16_t command = 0;
        uint64_t count = 0;
    };

    void serve();
    bool readMessage(uint8_t& type, std::vector<uint8_t>& payload);
    bool fill(bool wait);
    bool attentionArrived();

    void sendPrelogin(const std::vector<uint8_t>& payload);
    bool login(const std::vector<uint8_t>& payload);
    void loginFailed(const Message& first, const std::string& user);
    void handleBatch(const std::vector<uint8_t>& payload);
    void handleRpc(const std::vector<uint8_t>& payload);
    void handleTransaction(const std::vector<uint8_t>& payload);
    void acknowledgeAttention();

    void answer(const Request& request, bool inProcedure, int32_t extraHandle = -1);
    void writeItems(Response& response, bool inProcedure, int32_t extraHandle);
    void writeDone(uint8_t token, uint16_t status, uint16_t command, uint64_t count);
    void flushDone(PendingDone& done, bool inProcedure, bool more);
    void writeMessage(const Message& m);
    void writeEnvChange(uint8_t type, const std::string& newValue, const std::string& oldValue);
    void writeResultSet(ResultSet& rs, bool& attention);

    void startMessage();
    void sendPackets(bool final);
    void sendAll(const uint8_t* data, size_t size);

    int m_fd;
    Responder& m_responder;
    std::mutex& m_modelLock;
    RequestLog& m_log;
    Session m_session;
    bool m_loggedIn = false;
    uint32_t m_packetSize = 4096;
    uint8_t m_packetId = 1;
    std::vector<uint8_t> m_in;
    size_t m_inPos = 0;
    TdsWriter m_out;
    std::map<int32_t, Prepared> m_prepared;
    int32_t m_nextHandle = 1;
    uint64_t m_transactionId = 0;
    std::atomic<bool> m_finished{false};
    bool m_attentionSeen = false;
    int64_t m_lastRowCount = 0;
    std::string m_serverName;
};

} // namespace sqlsim
