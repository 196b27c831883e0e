#include "TdsChannel.h"

#include "TdsProtocol.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sqlsim {

namespace {

constexpr size_t kMaxMessage = 256u << 20;

} // namespace

TdsChannel::TdsChannel(int fd, int spid) : m_fd(fd), m_spid(spid) {}

TdsChannel::~TdsChannel() {
    ::close(m_fd);
}

void TdsChannel::abort() {
    ::shutdown(m_fd, SHUT_RDWR);
}

bool TdsChannel::fill(bool wait) {
    if (m_inPos > 0 && m_inPos == m_in.size()) {
        m_in.clear();
        m_inPos = 0;
    } else if (m_inPos > (1u << 16)) {
        m_in.erase(m_in.begin(), m_in.begin() + long(m_inPos));
        m_inPos = 0;
    }
    uint8_t buf[1 << 16];
    ssize_t n;
    do {
        n = ::recv(m_fd, buf, sizeof buf, wait ? 0 : MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n == 0) {
        throw ConnectionClosed{};
    }
    if (n < 0) {
        if (!wait && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return false;
        }
        throw ConnectionClosed{};
    }
    m_in.insert(m_in.end(), buf, buf + n);
    return true;
}

bool TdsChannel::readMessage(uint8_t& type, std::vector<uint8_t>& payload, bool loggedIn) {
    payload.clear();
    bool first = true;
    for (;;) {
        try {
            while (m_in.size() - m_inPos < 8) {
                fill(true);
            }
        } catch (const ConnectionClosed&) {
            if (first && m_in.size() == m_inPos) {
                return false; // a clean disconnect between messages
            }
            throw;
        }
        const uint8_t* h = &m_in[m_inPos];
        uint8_t packetType = h[0], status = h[1];
        size_t length = (size_t(h[2]) << 8) | h[3];
        if (length < 8) {
            throw ProtocolError("packet length below header size");
        }
        // Judge the header before waiting for a body that may never come.
        const bool known = packetType == kPacketBatch || packetType == kPacketRpc ||
                           packetType == kPacketAttention || packetType == kPacketTransaction ||
                           packetType == kPacketLogin7 || packetType == kPacketPrelogin;
        if (!known || (!loggedIn && packetType != kPacketLogin7 && packetType != kPacketPrelogin)) {
            throw ProtocolError("unexpected packet type");
        }
        while (m_in.size() - m_inPos < length) {
            fill(true);
        }
        if (first) {
            type = packetType;
        } else if (packetType != type && packetType != kPacketAttention) {
            throw ProtocolError("packet type changed inside a message");
        }
        if (packetType == kPacketAttention && !first) {
            // The client gave up on the message it was sending.
            m_inPos += length;
            type = kPacketAttention;
            payload.clear();
            return true;
        }
        payload.insert(payload.end(), m_in.begin() + long(m_inPos) + 8,
                       m_in.begin() + long(m_inPos + length));
        m_inPos += length;
        if (payload.size() > kMaxMessage) {
            throw ProtocolError("message too large");
        }
        first = false;
        if (status & 0x01) {
            return true;
        }
    }
}

bool TdsChannel::attentionArrived() {
    if (m_attentionSeen) {
        return true;
    }
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0) {
        if (p.revents & (POLLHUP | POLLERR)) {
            throw ConnectionClosed{};
        }
        fill(false);
    }
    if (m_in.size() - m_inPos >= 8 && m_in[m_inPos] == kPacketAttention) {
        size_t length = (size_t(m_in[m_inPos + 2]) << 8) | m_in[m_inPos + 3];
        if (length >= 8 && m_in.size() - m_inPos >= length) {
            m_inPos += length;
            m_attentionSeen = true;
        }
    }
    return m_attentionSeen;
}

bool TdsChannel::waitForAttention(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    // attentionArrived reads whatever came; anything but an attention stays buffered for later.
    while (!attentionArrived()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd p{m_fd, POLLIN, 0};
        ::poll(&p, 1, int(std::min<int64_t>(left.count() + 1, 1000)));
    }
    return true;
}

void TdsChannel::sendAll(const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(m_fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw ConnectionClosed{};
        }
        data += n;
        size -= size_t(n);
    }
}

void TdsChannel::sendPackets(bool final) {
    const size_t chunk = m_packetSize - 8;
    std::vector<uint8_t>& data = m_out.bytes();
    const size_t total = final ? data.size() : data.size() / chunk * chunk;
    if (total == 0 && !final) {
        return;
    }
    std::vector<uint8_t> wire;
    wire.reserve(total + (total / chunk + 1) * 8);
    size_t off = 0;
    do {
        size_t len = std::min(chunk, total - off);
        bool last = final && off + len == total;
        size_t packetLength = len + 8;
        uint8_t header[8] = {kPacketReply,
                             uint8_t(last ? 1 : 0),
                             uint8_t(packetLength >> 8),
                             uint8_t(packetLength),
                             uint8_t(m_spid >> 8),
                             uint8_t(m_spid),
                             m_packetId++,
                             0};
        wire.insert(wire.end(), header, header + 8);
        wire.insert(wire.end(), data.begin() + long(off), data.begin() + long(off + len));
        off += len;
    } while (off < total);
    sendAll(wire.data(), wire.size());
    data.erase(data.begin(), data.begin() + long(total));
}

} // namespace sqlsim
