#include "TdsConnection.h"

#include "RuleResponder.h"
#include "TdsProtocol.h"
#include "TdsTypes.h"

#include <algorithm>
#include <cctype>

namespace sqlsim {

namespace {

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
    : m_channel(fd, spid), m_tokens(m_channel, m_session), m_responder(responder), m_modelLock(modelLock),
      m_log(log) {
    m_session.spid = spid;
}

void TdsConnection::abort() {
    m_channel.abort();
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
    m_channel.abort();
    m_finished = true;
}

void TdsConnection::serve() {
    uint8_t type = 0;
    std::vector<uint8_t> payload;
    while (m_channel.readMessage(type, payload, m_loggedIn)) {
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

void TdsConnection::sendPrelogin(const std::vector<uint8_t>& payload) {
    // The client's options are not needed: the answer is always "no encryption, no MARS".
    (void)payload;
    m_channel.startMessage();
    TdsWriter& w = m_channel.out();
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
    m_channel.sendPackets(true);
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
        m_tokens.setServerName(m_responder.serverName());
        if (!m_responder.authenticate(user, password)) {
            m_log.event(m_session, "login-failed", user);
            m_channel.startMessage();
            loginFailed(Message{18456, 1, 14, "Login failed for user '" + user + "'.", {}, 1}, user);
            return false;
        }
        startDb = database.empty() ? m_responder.defaultDatabase(user) : m_responder.findDatabase(database);
        if (startDb.empty() || !m_responder.canAccess(user, startDb)) {
            m_log.event(m_session, "login-failed", user);
            m_channel.startMessage();
            m_tokens.writeMessage(
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
    const uint32_t agreedSize = packetSize >= 512 && packetSize <= 32767 ? packetSize : 4096;

    m_channel.startMessage();
    m_tokens.writeEnvChange(1, startDb, "master");
    m_tokens.writeMessage(Message{5701, 2, 0, "Changed database context to '" + startDb + "'.", {}, 1});
    {
        TdsWriter& w = m_channel.out();
        w.u8(kTokenEnvChange);
        w.u16(1 + 1 + 5 + 1);
        w.u8(7);
        w.u8(5);
        w.raw(kCollation, 5);
        w.u8(0);
    }
    m_tokens.writeEnvChange(2, m_session.language, "");
    m_tokens.writeMessage(
        Message{5703, 1, 0, "Changed language setting to " + m_session.language + ".", {}, 1});
    {
        TdsWriter& w = m_channel.out();
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
    m_tokens.writeEnvChange(4, std::to_string(agreedSize), std::to_string(agreedSize));
    if (flags3 & 0x10) {
        m_channel.out().u8(kTokenFeatureExtAck);
        m_channel.out().u8(0xFF);
    }
    m_tokens.writeDone(kTokenDone, 0, 0, 0);
    m_channel.sendPackets(true);
    m_channel.setPacketSize(agreedSize);
    return true;
}

void TdsConnection::loginFailed(const Message& m, const std::string& user) {
    (void)user;
    m_tokens.writeMessage(m);
    m_tokens.writeDone(kTokenDone, kDoneError, 0, 0);
    m_channel.sendPackets(true);
}

void TdsConnection::handleBatch(const std::vector<uint8_t>& payload) {
    TdsReader r(payload.data(), payload.size());
    skipAllHeaders(r);
    Request request;
    request.kind = Request::Kind::Batch;
    request.text = r.utf16(r.remaining() / 2);
    m_log.batch(m_session, request.text);
    m_channel.startMessage();
    answer(request, false);
    m_channel.sendPackets(true);
}

void TdsConnection::handleRpc(const std::vector<uint8_t>& payload) {
    TdsReader r(payload.data(), payload.size());
    skipAllHeaders(r);
    m_channel.startMessage();
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
                m_tokens.writeItems(response, true, -1);
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
            m_tokens.writeItems(response, true, -1);
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
            m_tokens.writeItems(response, true, handle);
        } else if (answer(request, true, handle)) {
            break; // the client's attention ends the rest of the calls too
        }
        if (!r.atEnd()) {
            r.u8(); // separator between procedure calls
        }
    }
    m_channel.sendPackets(true);
}

void TdsConnection::handleTransaction(const std::vector<uint8_t>& payload) {
    TdsReader r(payload.data(), payload.size());
    skipAllHeaders(r);
    uint16_t kind = r.u16();
    bool beginNew = false;
    if ((kind == 7 || kind == 8) && !r.atEnd()) {
        r.bVarchar(); // the transaction's name
        beginNew = !r.atEnd() && r.u8() != 0;
    }
    const char* name = kind == 5 ? "begin" : kind == 7 ? "commit" : kind == 8 ? "rollback" : "other";
    m_log.event(m_session, "transaction", name);
    Response response;
    {
        std::lock_guard<std::mutex> guard(m_modelLock);
        try {
            m_responder.transactionRequest(kind, beginNew, m_session, response);
        } catch (const std::exception& e) {
            response.error(50000, 16, std::string("The simulator failed on this request: ") + e.what());
        }
    }
    m_channel.startMessage();
    m_tokens.writeItems(response, false, -1);
    m_channel.sendPackets(true);
}

void TdsConnection::acknowledgeAttention() {
    m_channel.clearAttention();
    m_log.event(m_session, "attention");
    m_channel.startMessage();
    m_tokens.writeDone(kTokenDone, kDoneAttention, 0, 0);
    m_channel.sendPackets(true);
}

bool TdsConnection::answer(const Request& request, bool inProcedure, int32_t extraHandle) {
    Response response;
    bool attentionWritten = false, closed = false;
    std::unique_lock<std::mutex> lock(m_modelLock);
    // A waiting statement: what is answered so far goes out (whole packets only, as the server
    // buffers its output), and the wait runs without the lock so other sessions go on.
    response.waiter = [&](std::chrono::milliseconds duration) {
        lock.unlock();
        bool attention = false;
        try {
            attention = m_tokens.writeItems(response, inProcedure, extraHandle, false);
            attentionWritten = attention;
            m_channel.sendPackets(false);
            attention = attention || m_channel.waitForAttention(duration);
        } catch (const ConnectionClosed&) {
            closed = true;
            attention = true;
        }
        response.items().clear();
        lock.lock();
        return !attention;
    };
    try {
        m_responder.respond(request, m_session, response);
    } catch (const AttentionReceived&) {
        lock.unlock();
        if (closed) {
            throw ConnectionClosed{};
        }
        m_log.event(m_session, "attention");
        if (!attentionWritten) {
            m_tokens.writeAttentionDone();
        }
        return true;
    } catch (const std::exception& e) {
        response.error(50000, 16, std::string("The simulator failed on this statement: ") + e.what());
    }
    lock.unlock();
    if (m_tokens.writeItems(response, inProcedure, extraHandle)) {
        m_log.event(m_session, "attention");
        return true;
    }
    return false;
}

} // namespace sqlsim
