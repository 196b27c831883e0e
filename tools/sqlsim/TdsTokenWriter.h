#pragma once
// Turns a responder's answer into tokens: result sets with their row counts, messages, session
// changes, return status and values, and the DONE tokens that end each statement.
#include "Request.h"
#include "Response.h"
#include "TdsChannel.h"

#include <optional>

namespace sqlsim {

class TdsTokenWriter {
public:
    TdsTokenWriter(TdsChannel& channel, Session& session);

    // The name sent with every message.
    void setServerName(std::string name) { m_serverName = std::move(name); }
    // Writes the answer's tokens; inside a procedure call, statements end with DONEINPROC and the call
    // with RETURNSTATUS, the return values (extraHandle: a prepared statement's handle) and DONEPROC.
    // Returns true when the client's attention cut the answer short. With final false, only the
    // statements answered so far are written (a statement is waiting); the rest follows later.
    bool writeItems(Response& response, bool inProcedure, int32_t extraHandle, bool final = true);
    // The DONE that acknowledges the client's attention and ends the answer.
    void writeAttentionDone();
    void writeDone(uint8_t token, uint16_t status, uint16_t command, uint64_t count);
    void writeMessage(const Message& m);
    void writeEnvChange(uint8_t type, const std::string& newValue, const std::string& oldValue);
    void writeTransactionChange(const TransactionChange& change);

private:
    struct PendingDone {
        bool pending = false;
        uint8_t token = 0; // 0: DONE or DONEINPROC, as the statement's place decides
        uint16_t status = 0;
        uint16_t command = 0;
        uint64_t count = 0;
    };
    void flushDone(PendingDone& done, bool inProcedure, bool more);
    void writeResultSet(ResultSet& rs, bool& attention);

    TdsChannel& m_channel;
    Session& m_session;
    std::string m_serverName;
    int64_t m_lastRowCount = 0;
    // Carried across the parts of one answer.
    bool m_anyError = false;
    std::optional<int32_t> m_returnStatus;
    std::vector<OutputValue> m_outputs;
    // Procedures begun by "exec" and not yet ended, and whether one of them failed.
    int m_procDepth = 0;
    bool m_procError = false;
};

} // namespace sqlsim
