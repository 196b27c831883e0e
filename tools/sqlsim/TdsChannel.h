#pragma once
// The byte side of a connection: reassembles the client's packets into messages, splits answers
// into packets, and notices the client's attention signal while an answer streams.
#include "TdsBuffer.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace sqlsim {

class TdsChannel {
public:
    TdsChannel(int fd, int spid);
    ~TdsChannel();
    TdsChannel(const TdsChannel&) = delete;
    TdsChannel& operator=(const TdsChannel&) = delete;

    // The next whole message; false on a clean disconnect between messages. Throws ProtocolError on
    // malformed packets (loggedIn decides which packet types may come) and ConnectionClosed mid-message.
    bool readMessage(uint8_t& type, std::vector<uint8_t>& payload, bool loggedIn);
    // True once an attention packet has arrived (checked without waiting).
    bool attentionArrived();
    // Waits up to the time given for the client's attention; true when it came. Throws
    // ConnectionClosed when the client goes away meanwhile.
    bool waitForAttention(std::chrono::milliseconds duration);
    void clearAttention() { m_attentionSeen = false; }

    // The answer being built; sendPackets sends what fills whole packets, or everything when final.
    TdsWriter& out() { return m_out; }
    void startMessage() { m_out.clear(); }
    void sendPackets(bool final);

    void setPacketSize(uint32_t size) { m_packetSize = size; }
    int spid() const { return m_spid; }
    // Cuts the connection from another thread.
    void abort();

private:
    bool fill(bool wait);
    void sendAll(const uint8_t* data, size_t size);

    int m_fd;
    int m_spid;
    uint32_t m_packetSize = 4096;
    uint8_t m_packetId = 1;
    std::vector<uint8_t> m_in;
    size_t m_inPos = 0;
    TdsWriter m_out;
    bool m_attentionSeen = false;
};

} // namespace sqlsim
