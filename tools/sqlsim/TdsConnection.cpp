#include "TdsConnection.h"

#include "RuleResponder.h"
#include "TdsTypes.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sqlsim {

namespace {

enum : uint8_t {
    kPacketBatch = 0x01,
    kPacketRpc = 0x03,
    kPacketReply = 0x04,
    kPacketAttention = 0x06,
    kPacketTransaction = 0x0E,
    kPacketLogin7 = 0x10,
    kPacketPrelogin = 0x12,
};

enum : uint8_t {
    kTokenColMetadata = 0x81,
    kTokenRow = 0xD1,
    kTokenDone = 0xFD,
    kTokenDoneProc = 0xFE,
    kTokenDoneInProc = 0xFF,
    kTokenError = 0xAA,
    kTokenInfo = 0xAB,
    kTokenLoginAck = 0xAD,
    kTokenFeatureExtAck = 0xAE,
    kTokenEnvChange = 0xE3,
    kTokenReturnStatus = 0x79,
    kTokenReturnValue = 0xAC,
};

enum : uint16_t {
    kDoneMore = 0x0001,
    kDoneError = 0x0002,
    kDoneCount = 0x0010,
    kDoneAttention = 0x0020,
};

constexpr uint16_t kCommandSelect = 0xC1;
constexpr size_t kMaxMessage = 256u << 20;
constexpr size_t kFlushAt = 64u << 10;

struct ConnectionClosed {};

void skipAllHeaders(TdsReader& r) {
    uint32_t total = r.u32();
    if (total < 4 || total - 4 > r.remaining()) {
        throw ProtocolError("bad ALL_HEADERS length");
    }
    r.skip(total - 4);
}

std::string wellKnownProcedure(uint16_t id) {
    static const char* names[] = {"",
                                  "sp_cursor",
                                  "sp_cursoropen",
                                  "sp_cursorprepare",
                                  "sp_cursorexecute",
                                  "sp_cursorprepexec",
                                  "sp_cursorunprepare",
                                  "sp_cursorfetch",
                                  "sp_cursoroption",
                                  "sp_cursorclose",
                                  "sp_executesql",
                                  "sp_prepare",
                                  "sp_execute",
                                  "sp_prepexec",
                                  "sp_prepexecrpc",
                                  "sp_unprepare"};
    if (id >= 1 && id <= 15) {
        return names[id];
    }
    throw ProtocolError("unknown procedure id");
}

// "@P1 int,@P2 nvarchar(10)" -> {"@P1", "@P2"}
std::vector<std::string> declaredNames(const std::string& declarations) {
    std::vector<std::string> names;
    int depth = 0;
    bool expectName = true;
    for (size_t i = 0; i < declarations.size(); ++i) {
        char c = declarations[i];
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == ',' && depth == 0) {
            expectName = true;
        } else if (c == '@' && expectName) {
            size_t e = i + 1;
            while (e < declarations.size() &&
                   (std::isalnum(static_cast<unsigned char>(declarations[e])) || declarations[e] == '_' ||
                    declarations[e] == '@' || static_cast<unsigned char>(declarations[e]) >= 0x80)) {
                ++e;
            }
            names.push_back(declarations.substr(i, e - i));
            i = e - 1;
            expectName = false;
        }
    }
    return names;
}

} // namespace

TdsConnection::TdsConnection(int fd, int spid, Responder& responder, std::mutex& modelLock, RequestLog& log)
    : m_fd(fd), m_responder(responder), m_modelLock(modelLock), m_log(log) {
    m_session.spid = spid;
}

TdsConnection::~TdsConnection() {
    ::close(m_fd);
}

void TdsConnection::abort() {
    ::shutdown(m_fd, SHUT_RDWR);
}

void TdsConnection::run() {
    try {
        serve();
    } catch (const ProtocolError& e) {
        m_log.event(m_session, "closed", e.what());
    } catch (const ConnectionClosed&) {
    } catch (const std::exception& e) {
        m_log.event(m_session, "closed", e.what());
    }
    if (m_loggedIn) {
        std::lock_guard<std::mutex> guard(m_modelLock);
        m_responder.sessionEnded(m_session);
    }
    ::shutdown(m_fd, SHUT_RDWR);
    m_finished = true;
}

void TdsConnection::serve() {
    uint8_t type = 0;
    std::vector<uint8_t> payload;
    while (readMessage(type, payload)) {
        if (!m_loggedIn && type != kPacketPrelogin && type != kPacketLogin7) {
            throw ProtocolError("request before login");
        }
        switch (type) {
        case kPacketPrelogin:
            if (m_loggedIn) {
                throw ProtocolError("prelogin after login");
            }
            sendPrelogin(payload);
            break;
        case kPacketLogin7:
            if (m_loggedIn || !login(payload)) {
                return;
            }
            break;
        case kPacketBatch:
            handleBatch(payload);
            break;
        case kPacketRpc:
            handleRpc(payload);
            break;
        case kPacketTransaction:
            handleTransaction(payload);
            break;
        case kPacketAttention:
            acknowledgeAttention();
            break;
        default:
            throw ProtocolError("unknown packet type");
        }
    }
}

bool TdsConnection::fill(bool wait) {
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

bool TdsConnection::readMessage(uint8_t& type, std::vector<uint8_t>& payload) {
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
        if (!known || (!m_loggedIn && packetType != kPacketLogin7 && packetType != kPacketPrelogin)) {
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

bool TdsConnection::attentionArrived() {
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
            m_log.event(m_session, "attention");
        }
    }
    return m_attentionSeen;
}

void TdsConnection::startMessage() {
    m_out.clear();
}

void TdsConnection::sendAll(const uint8_t* data, size_t size) {
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

void TdsConnection::sendPackets(bool final) {
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
                             uint8_t(m_session.spid >> 8),
                             uint8_t(m_session.spid),
                             m_packetId++,
                             0};
        wire.insert(wire.end(), header, header + 8);
        wire.insert(wire.end(), data.begin() + long(off), data.begin() + long(off + len));
        off += len;
    } while (off < total);
    sendAll(wire.data(), wire.size());
    data.erase(data.begin(), data.begin() + long(total));
}

void TdsConnection::sendPrelogin(const std::vector<uint8_t>& payload) {
    // The client's options are not needed: the answer is always "no encryption, no MARS".
    (void)payload;
    startMessage();
    TdsWriter& w = m_out;
    const uint8_t options[] = {0x00, 0x01, 0x02, 0x03, 0x04};
    const uint16_t lengths[] = {6, 1, 1, 0, 1};
    uint16_t offset = uint16_t(sizeof options * 5 + 1);
    for (size_t k = 0; k < sizeof options; ++k) {
        w.u8(options[k]);
        w.u16be(offset);
        w.u16be(lengths[k]);
        offset = uint16_t(offset + lengths[k]);
    }
    w.u8(0xFF);
    const uint8_t version[] = {15, 0, 0x07, 0xD0, 0, 0};
    w.raw(version, 6);
    w.u8(0x02); // ENCRYPT_NOT_SUP
    w.u8(0x00); // instance: ok
    w.u8(0x00); // MARS off
    sendPackets(true);
}

bool TdsConnection::login(const std::vector<uint8_t>& payload) {
    TdsReader r(payload.data(), payload.size());
    r.u32();
    uint32_t tdsVersion = r.u32();
    uint32_t packetSize = r.u32();
    r.skip(12);
    r.u8();
    uint8_t flags2 = r.u8();
    r.u8();
    uint8_t flags3 = r.u8();
    r.skip(8);
    auto field = [&](bool password = false) {
        uint16_t offset = r.u16(), chars = r.u16();
        if (size_t(offset) + size_t(chars) * 2 > payload.size()) {
            throw ProtocolError("login field outside the message");
        }
        std::vector<uint8_t> bytes(payload.begin() + offset, payload.begin() + offset + chars * 2);
        if (password) {
            for (uint8_t& b : bytes) {
                b ^= 0xA5;
                b = uint8_t((b >> 4) | (b << 4));
            }
        }
        return utf16ToUtf8(bytes.data(), bytes.size());
    };
    std::string host = field();
    std::string user = field();
    std::string password = field(true);
    std::string app = field();
    field();   // server name
    r.skip(4); // extension
    field();   // client interface
    std::string language = field();
    std::string database = field();

    if (tdsVersion < 0x72090002) {
        loginFailed(
            Message{18456, 1, 14, "The client's protocol version is not supported by the simulator.", {}, 1},
            user);
        return false;
    }
    if (flags2 & 0x80) {
        loginFailed(
            Message{18452,
                    1,
                    14,
                    "Login failed. The login is from an untrusted domain and cannot be used with Integrated "
                    "authentication.",
                    {},
                    1},
            user);
        return false;
    }
    std::string startDb;
    {
        std::lock_guard<std::mutex> guard(m_modelLock);
        m_serverName = m_responder.serverName();
        if (!m_responder.authenticate(user, password)) {
            m_log.event(m_session, "login-failed", user);
            startMessage();
            loginFailed(Message{18456, 1, 14, "Login failed for user '" + user + "'.", {}, 1}, user);
            return false;
        }
        startDb = database.empty() ? m_responder.defaultDatabase(user) : m_responder.findDatabase(database);
        if (startDb.empty() || !m_responder.canAccess(user, startDb)) {
            m_log.event(m_session, "login-failed", user);
            startMessage();
            writeMessage(
                Message{4060,
                        1,
                        11,
                        "Cannot open database \"" + database + "\" requested by the login. The login failed.",
                        {},
                        1});
            loginFailed(Message{18456, 1, 14, "Login failed for user '" + user + "'.", {}, 1}, user);
            return false;
        }
        m_session.login = user;
        m_session.database = startDb;
        m_session.hostName = host;
        m_session.appName = app;
        if (!language.empty()) {
            m_session.language = language;
        }
        m_responder.sessionStarted(m_session);
    }
    m_log.login(m_session);
    m_loggedIn = true;
    m_packetSize = packetSize >= 512 && packetSize <= 32767 ? packetSize : 4096;

    startMessage();
    writeEnvChange(1, startDb, "master");
    writeMessage(Message{5701, 2, 0, "Changed database context to '" + startDb + "'.", {}, 1});
    {
        TdsWriter& w = m_out;
        w.u8(kTokenEnvChange);
        w.u16(1 + 1 + 5 + 1);
        w.u8(7);
        w.u8(5);
        w.raw(kCollation, 5);
        w.u8(0);
    }
    writeEnvChange(2, m_session.language, "");
    writeMessage(Message{5703, 1, 0, "Changed language setting to " + m_session.language + ".", {}, 1});
    {
        TdsWriter& w = m_out;
        w.u8(kTokenLoginAck);
        size_t at = w.placeholder16();
        w.u8(1);
        const uint8_t version[] = {0x74, 0x00, 0x00, 0x04};
        w.raw(version, 4);
        w.bVarchar("Microsoft SQL Server");
        const uint8_t product[] = {15, 0, 0x07, 0xD0};
        w.raw(product, 4);
        w.patchLength16(at);
    }
    writeEnvChange(4, std::to_string(m_packetSize), std::to_string(m_packetSize));
    if (flags3 & 0x10) {
        m_out.u8(kTokenFeatureExtAck);
        m_out.u8(0xFF);
    }
    writeDone(kTokenDone, 0, 0, 0);
    sendPackets(true);
    return true;
}

void TdsConnection::loginFailed(const Message& m, const std::string& user) {
    (void)user;
    writeMessage(m);
    writeDone(kTokenDone, kDoneError, 0, 0);
    sendPackets(true);
}

void TdsConnection::handleBatch(const std::vector<uint8_t>& payload) {
    TdsReader r(payload.data(), payload.size());
    skipAllHeaders(r);
    Request request;
    request.kind = Request::Kind::Batch;
    request.text = r.utf16(r.remaining() / 2);
    m_log.batch(m_session, request.text);
    startMessage();
    answer(request, false);
    sendPackets(true);
}

void TdsConnection::handleRpc(const std::vector<uint8_t>& payload) {
    TdsReader r(payload.data(), payload.size());
    skipAllHeaders(r);
    startMessage();
    while (!r.atEnd()) {
        uint16_t nameLength = r.u16();
        std::string name = nameLength == 0xFFFF ? wellKnownProcedure(r.u16()) : r.utf16(nameLength);
        r.u16(); // option flags
        std::vector<Param> params;
        while (!r.atEnd()) {
            uint8_t next = payload[r.pos()];
            if (next == 0xFF || next == 0xFE || next == 0x80) {
                break;
            }
            Param p;
            p.name = r.bVarchar();
            p.output = (r.u8() & 0x01) != 0;
            WireType wire = readTypeInfo(r);
            p.type = wire.column;
            p.value = readValue(r, wire);
            params.push_back(std::move(p));
        }
        m_log.rpc(m_session, name, params);

        std::string bare = RuleResponder::bareProcedureName(name);
        auto is = [&](const char* n) { return RuleResponder::equalsNoCase(bare, n); };
        auto textAt = [&](size_t k) { return k < params.size() ? params[k].value.toText() : std::string(); };
        Request request;
        request.kind = Request::Kind::Statement;
        int32_t handle = -1;
        if (is("sp_executesql")) {
            request.text = textAt(0);
            std::vector<std::string> names = declaredNames(params.size() > 1 ? textAt(1) : std::string());
            for (size_t k = 2; k < params.size(); ++k) {
                request.params.push_back(params[k]);
                if (request.params.back().name.empty() && k - 2 < names.size()) {
                    request.params.back().name = names[k - 2];
                }
            }
        } else if (is("sp_prepexec") || is("sp_prepare")) {
            handle = m_nextHandle++;
            m_prepared[handle] = Prepared{textAt(2), textAt(1)};
            request.text = textAt(2);
            std::vector<std::string> names = declaredNames(textAt(1));
            if (is("sp_prepexec")) {
                for (size_t k = 3; k < params.size(); ++k) {
                    request.params.push_back(params[k]);
                    if (request.params.back().name.empty() && k - 3 < names.size()) {
                        request.params.back().name = names[k - 3];
                    }
                }
            } else {
                request.text.clear(); // prepared only: nothing runs yet
            }
        } else if (is("sp_execute")) {
            int32_t h = params.empty() ? -1 : int32_t(params[0].value.toInt());
            auto it = m_prepared.find(h);
            if (it == m_prepared.end()) {
                Response response;
                response.error(8179, 16,
                               "Could not find prepared statement with handle " + std::to_string(h) + ".");
                writeItems(response, true, -1);
                continue;
            }
            request.text = it->second.text;
            std::vector<std::string> names = declaredNames(it->second.declarations);
            for (size_t k = 1; k < params.size(); ++k) {
                request.params.push_back(params[k]);
                if (request.params.back().name.empty() && k - 1 < names.size()) {
                    request.params.back().name = names[k - 1];
                }
            }
        } else if (is("sp_unprepare")) {
            m_prepared.erase(params.empty() ? -1 : int32_t(params[0].value.toInt()));
            Response response;
            writeItems(response, true, -1);
            request.text.clear();
            if (!r.atEnd()) {
                r.u8();
            }
            continue;
        } else {
            request.kind = Request::Kind::Rpc;
            request.procName = name;
            request.params = params;
        }
        if (request.kind == Request::Kind::Statement && request.text.empty()) {
            Response response;
            writeItems(response, true, handle);
        } else {
            answer(request, true, handle);
        }
        if (!r.atEnd()) {
            r.u8(); // separator between procedure calls
        }
    }
    sendPackets(true);
}

void TdsConnection::handleTransaction(const std::vector<uint8_t>& payload) {
    TdsReader r(payload.data(), payload.size());
    skipAllHeaders(r);
    uint16_t kind = r.u16();
    startMessage();
    auto descriptor = [this](uint8_t type, bool isNew) {
        TdsWriter& w = m_out;
        w.u8(kTokenEnvChange);
        w.u16(uint16_t(1 + 1 + 8 + 1));
        w.u8(type);
        if (isNew) {
            w.u8(8);
            w.u64(m_transactionId);
            w.u8(0);
        } else {
            w.u8(0);
            w.u8(8);
            w.u64(m_transactionId);
        }
    };
    const char* name = "other";
    if (kind == 5) {
        name = "begin";
        ++m_transactionId;
        m_session.inTransaction = true;
        descriptor(8, true);
    } else if ((kind == 7 || kind == 8) && m_session.inTransaction) {
        name = kind == 7 ? "commit" : "rollback";
        m_session.inTransaction = false;
        descriptor(kind == 7 ? 9 : 10, false);
    }
    m_log.event(m_session, "transaction", name);
    writeDone(kTokenDone, 0, 0, 0);
    sendPackets(true);
}

void TdsConnection::acknowledgeAttention() {
    m_attentionSeen = false;
    m_log.event(m_session, "attention");
    startMessage();
    writeDone(kTokenDone, kDoneAttention, 0, 0);
    sendPackets(true);
}

void TdsConnection::answer(const Request& request, bool inProcedure, int32_t extraHandle) {
    Response response;
    {
        std::lock_guard<std::mutex> guard(m_modelLock);
        try {
            m_responder.respond(request, m_session, response);
        } catch (const std::exception& e) {
            response.error(50000, 16, std::string("The simulator failed on this statement: ") + e.what());
        }
    }
    writeItems(response, inProcedure, extraHandle);
}

void TdsConnection::writeDone(uint8_t token, uint16_t status, uint16_t command, uint64_t count) {
    m_out.u8(token);
    m_out.u16(status);
    m_out.u16(command);
    m_out.u64(count);
}

void TdsConnection::flushDone(PendingDone& done, bool inProcedure, bool more) {
    if (!done.pending) {
        return;
    }
    writeDone(inProcedure ? kTokenDoneInProc : kTokenDone, uint16_t(done.status | (more ? kDoneMore : 0)),
              done.command, done.count);
    done = PendingDone{};
}

void TdsConnection::writeItems(Response& response, bool inProcedure, int32_t extraHandle) {
    PendingDone done;
    bool attention = false, anyError = false;
    std::optional<int32_t> returnStatus;
    std::vector<OutputValue> outputs;
    const bool nocount = m_session.options.count("nocount") && m_session.options["nocount"] == "on";
    for (Response::Item& item : response.items()) {
        if (attention) {
            break;
        }
        if (auto* rs = std::get_if<ResultSet>(&item)) {
            if (rs->columns.empty()) {
                continue;
            }
            flushDone(done, inProcedure, true);
            writeResultSet(*rs, attention);
            done.pending = true;
            done.status = nocount ? 0 : kDoneCount;
            done.command = kCommandSelect;
            done.count = uint64_t(m_lastRowCount);
        } else if (auto* m = std::get_if<Message>(&item)) {
            bool isError = m->severity >= 11;
            if (!(isError && done.pending && (done.status & kDoneError))) {
                flushDone(done, inProcedure, true);
            }
            writeMessage(*m);
            if (isError) {
                anyError = true;
                done.pending = true;
                done.status = kDoneError;
            }
        } else if (auto* rc = std::get_if<RowCount>(&item)) {
            flushDone(done, inProcedure, true);
            done.pending = true;
            done.status = nocount ? 0 : kDoneCount;
            done.command = 0;
            done.count = uint64_t(rc->count);
        } else if (auto* dc = std::get_if<DatabaseChange>(&item)) {
            std::string old = m_session.database;
            m_session.database = dc->name;
            writeEnvChange(1, dc->name, old);
            writeMessage(Message{5701, 1, 0, "Changed database context to '" + dc->name + "'.", {}, 1});
        } else if (auto* st = std::get_if<ReturnStatus>(&item)) {
            if (inProcedure) {
                returnStatus = st->value;
            } else {
                m_out.u8(kTokenReturnStatus);
                m_out.i32(st->value);
            }
        } else if (auto* ov = std::get_if<OutputValue>(&item)) {
            outputs.push_back(*ov);
        }
    }
    if (attention) {
        flushDone(done, inProcedure, true);
        writeDone(kTokenDone, kDoneAttention, 0, 0);
        m_attentionSeen = false;
        return;
    }
    if (!inProcedure) {
        if (done.pending) {
            flushDone(done, false, false);
        } else {
            writeDone(kTokenDone, 0, 0, 0);
        }
        return;
    }
    flushDone(done, true, true);
    m_out.u8(kTokenReturnStatus);
    m_out.i32(returnStatus.value_or(0));
    auto returnValue = [this](uint16_t ordinal, const std::string& name, const ColumnType& type,
                              const SqlValue& v) {
        m_out.u8(kTokenReturnValue);
        m_out.u16(ordinal);
        m_out.bVarchar(name);
        m_out.u8(0x01);
        m_out.u32(0);
        m_out.u16(0x0001);
        writeTypeInfo(m_out, type);
        writeValue(m_out, type, v);
    };
    uint16_t ordinal = 0;
    if (extraHandle >= 0) {
        returnValue(ordinal++, "@handle", ColumnType::of(SqlType::Int), SqlValue(int64_t(extraHandle)));
    }
    for (const OutputValue& ov : outputs) {
        returnValue(ordinal++, ov.name, ov.type, ov.value);
    }
    writeDone(kTokenDoneProc, anyError ? kDoneError : 0, 0, 0);
}

void TdsConnection::writeResultSet(ResultSet& rs, bool& attention) {
    TdsWriter& w = m_out;
    w.u8(kTokenColMetadata);
    w.u16(uint16_t(rs.columns.size()));
    for (const Column& c : rs.columns) {
        w.u32(0);
        uint16_t flags = uint16_t((c.nullable ? 0x0001 : 0) | (c.identity ? 0x0010 : 0) |
                                  (c.computed ? 0x0020 : 0) | (c.identity || c.computed ? 0 : 0x0008));
        w.u16(flags);
        writeTypeInfo(w, c.type);
        w.bVarchar(c.name);
    }
    const size_t columns = rs.columns.size();
    const SqlValue null;
    int64_t count = 0;
    auto writeRow = [&](const Row& row) {
        w.u8(kTokenRow);
        for (size_t k = 0; k < columns; ++k) {
            writeValue(w, rs.columns[k].type, k < row.size() ? row[k] : null);
        }
        ++count;
        if (w.size() >= kFlushAt) {
            sendPackets(false);
            if (attentionArrived()) {
                attention = true;
                return false;
            }
        }
        return true;
    };
    if (rs.generator) {
        Row row;
        while (rs.generator(row)) {
            if (!writeRow(row)) {
                break;
            }
        }
    } else {
        for (const Row& row : rs.rows) {
            if (!writeRow(row)) {
                break;
            }
        }
    }
    m_lastRowCount = count;
}

void TdsConnection::writeMessage(const Message& m) {
    TdsWriter& w = m_out;
    w.u8(m.severity >= 11 ? kTokenError : kTokenInfo);
    size_t at = w.placeholder16();
    w.i32(m.number);
    w.u8(uint8_t(m.state));
    w.u8(uint8_t(m.severity));
    w.usVarchar(m.text);
    w.bVarchar(m_serverName);
    w.bVarchar(m.procedure);
    w.i32(m.line);
    w.patchLength16(at);
}

void TdsConnection::writeEnvChange(uint8_t type, const std::string& newValue, const std::string& oldValue) {
    TdsWriter& w = m_out;
    w.u8(kTokenEnvChange);
    size_t at = w.placeholder16();
    w.u8(type);
    w.bVarchar(newValue);
    w.bVarchar(oldValue);
    w.patchLength16(at);
}

} // namespace sqlsim
