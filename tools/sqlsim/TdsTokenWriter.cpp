#include "TdsTokenWriter.h"

#include "TdsProtocol.h"
#include "TdsTypes.h"

#include <optional>

namespace sqlsim {

namespace {

constexpr size_t kFlushAt = 64u << 10;

} // namespace

TdsTokenWriter::TdsTokenWriter(TdsChannel& channel, Session& session)
    : m_channel(channel), m_session(session) {}

void TdsTokenWriter::writeDone(uint8_t token, uint16_t status, uint16_t command, uint64_t count) {
    m_channel.out().u8(token);
    m_channel.out().u16(status);
    m_channel.out().u16(command);
    m_channel.out().u64(count);
}

void TdsTokenWriter::flushDone(PendingDone& done, bool inProcedure, bool more) {
    if (!done.pending) {
        return;
    }
    uint8_t token = done.token;
    if (token == 0) {
        token = inProcedure || m_procDepth > 0 ? uint8_t(kTokenDoneInProc) : uint8_t(kTokenDone);
    }
    writeDone(token, uint16_t(done.status | (more ? kDoneMore : 0)), done.command, done.count);
    done = PendingDone{};
}

bool TdsTokenWriter::writeItems(Response& response, bool inProcedure, int32_t extraHandle, bool final) {
    PendingDone done;
    bool attention = false;
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
            done.status = rs->endsInError ? kDoneError : rs->counted.value_or(!nocount) ? kDoneCount : 0;
            done.command = kCommandSelect;
            done.count = uint64_t(m_lastRowCount);
        } else if (auto* m = std::get_if<Message>(&item)) {
            bool isError = m->severity >= 11;
            // Messages after an error (another error, or "The statement has been terminated.") belong
            // to the same failed statement and come before its DONE.
            if (!(done.pending && (done.status & kDoneError))) {
                flushDone(done, inProcedure, true);
            }
            writeMessage(*m);
            if (isError) {
                m_anyError = true;
                m_procError = m_procError || m_procDepth > 0;
                done.pending = true;
                done.status = kDoneError;
            }
        } else if (auto* rc = std::get_if<RowCount>(&item)) {
            flushDone(done, inProcedure, true);
            done.pending = true;
            done.status = rc->counted.value_or(!nocount) ? kDoneCount : 0;
            done.command = 0;
            done.count = uint64_t(rc->count);
        } else if (auto* dc = std::get_if<DatabaseChange>(&item)) {
            std::string old = m_session.database;
            m_session.database = dc->name;
            writeEnvChange(1, dc->name, old);
            writeMessage(Message{5701, 1, 0, "Changed database context to '" + dc->name + "'.", {}, 1});
        } else if (auto* tc = std::get_if<TransactionChange>(&item)) {
            writeTransactionChange(*tc);
        } else if (std::get_if<ProcedureStart>(&item)) {
            flushDone(done, inProcedure, true);
            ++m_procDepth;
        } else if (auto* st = std::get_if<ReturnStatus>(&item)) {
            if (m_procDepth == 0) {
                m_returnStatus = st->value; // the status of the procedure the request called
                continue;
            }
            flushDone(done, inProcedure, true);
            if (--m_procDepth > 0 || inProcedure) {
                continue; // a procedure run by another: its status stays inside
            }
            // A procedure run by "exec" in a batch ends like a request's procedure call.
            m_channel.out().u8(kTokenReturnStatus);
            m_channel.out().i32(st->value);
            done.pending = true;
            done.token = kTokenDoneProc;
            done.status = m_procError ? kDoneError : 0;
            m_procError = false;
        } else if (auto* ov = std::get_if<OutputValue>(&item)) {
            m_outputs.push_back(*ov);
        }
    }
    if (attention) {
        flushDone(done, inProcedure, true);
        writeAttentionDone();
        return true;
    }
    if (!final) {
        flushDone(done, inProcedure, true);
        return false;
    }
    m_procDepth = 0;
    m_procError = false;
    std::optional<int32_t> returnStatus = m_returnStatus;
    std::vector<OutputValue> outputs = std::move(m_outputs);
    const bool anyError = m_anyError;
    m_returnStatus.reset();
    m_outputs.clear();
    m_anyError = false;
    if (!inProcedure) {
        if (done.pending) {
            flushDone(done, false, false);
        } else {
            writeDone(kTokenDone, 0, 0, 0);
        }
        return false;
    }
    flushDone(done, true, true);
    m_channel.out().u8(kTokenReturnStatus);
    m_channel.out().i32(returnStatus.value_or(0));
    auto returnValue = [this](uint16_t ordinal, const std::string& name, const ColumnType& type,
                              const SqlValue& v) {
        m_channel.out().u8(kTokenReturnValue);
        m_channel.out().u16(ordinal);
        m_channel.out().bVarchar(name);
        m_channel.out().u8(0x01);
        m_channel.out().u32(0);
        m_channel.out().u16(0x0001);
        writeTypeInfo(m_channel.out(), type);
        writeValue(m_channel.out(), type, v);
    };
    uint16_t ordinal = 0;
    if (extraHandle >= 0) {
        returnValue(ordinal++, "@handle", ColumnType::of(SqlType::Int), SqlValue(int64_t(extraHandle)));
    }
    for (const OutputValue& ov : outputs) {
        returnValue(ordinal++, ov.name, ov.type, ov.value);
    }
    writeDone(kTokenDoneProc, anyError ? kDoneError : 0, 0, 0);
    return false;
}

void TdsTokenWriter::writeAttentionDone() {
    writeDone(kTokenDone, kDoneAttention, 0, 0);
    m_channel.clearAttention();
    m_returnStatus.reset();
    m_outputs.clear();
    m_anyError = false;
    m_procDepth = 0;
    m_procError = false;
}

void TdsTokenWriter::writeResultSet(ResultSet& rs, bool& attention) {
    TdsWriter& w = m_channel.out();
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
            m_channel.sendPackets(false);
            if (m_channel.attentionArrived()) {
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

void TdsTokenWriter::writeMessage(const Message& m) {
    TdsWriter& w = m_channel.out();
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

void TdsTokenWriter::writeTransactionChange(const TransactionChange& change) {
    // Begin: the new descriptor, no old one; commit and rollback: no new one, the old descriptor.
    TdsWriter& w = m_channel.out();
    w.u8(kTokenEnvChange);
    w.u16(uint16_t(1 + 1 + 8 + 1));
    const bool begin = change.kind == TransactionChange::Kind::Begin;
    w.u8(begin ? 8 : change.kind == TransactionChange::Kind::Commit ? 9 : 10);
    if (begin) {
        w.u8(8);
        w.u64(change.id);
        w.u8(0);
    } else {
        w.u8(0);
        w.u8(8);
        w.u64(change.id);
    }
}

void TdsTokenWriter::writeEnvChange(uint8_t type, const std::string& newValue, const std::string& oldValue) {
    TdsWriter& w = m_channel.out();
    w.u8(kTokenEnvChange);
    size_t at = w.placeholder16();
    w.u8(type);
    w.bVarchar(newValue);
    w.bVarchar(oldValue);
    w.patchLength16(at);
}

} // namespace sqlsim
