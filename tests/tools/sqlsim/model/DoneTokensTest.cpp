// The tokens that end each statement, decoded from what the simulator writes: one DONE per
// statement (DONE_MORE on all but the last, DONE_COUNT only where rows were counted), and a
// procedure's statements ending with DONEINPROC, then RETURNSTATUS and DONEPROC.
#include "TdsChannel.h"
#include "TdsTokenWriter.h"
#include "model/DemoInstance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

using Strings = std::vector<std::string>;

namespace {

// Reads tokens of the kinds the statements below produce; anything else fails the decode.
class TokenReader {
public:
    explicit TokenReader(std::vector<uint8_t> bytes) : m_b(std::move(bytes)) {}

    Strings tokens() {
        Strings out;
        while (m_p < m_b.size()) {
            uint8_t token = u8();
            switch (token) {
            case 0x81:
                readMetadata();
                out.push_back("COLMETADATA");
                break;
            case 0xD1:
                readRow();
                if (!out.empty() && out.back().rfind("rows:", 0) == 0) {
                    out.back() = "rows:" + std::to_string(std::stoi(out.back().substr(5)) + 1);
                } else {
                    out.push_back("rows:1");
                }
                break;
            case 0xFD:
            case 0xFE:
            case 0xFF: {
                uint16_t status = u16();
                u16();
                uint64_t count = u32();
                count |= uint64_t(u32()) << 32;
                std::string t = token == 0xFD ? "DONE" : token == 0xFE ? "DONEPROC" : "DONEINPROC";
                if (status & 0x01) {
                    t += " more";
                }
                if (status & 0x02) {
                    t += " error";
                }
                if (status & 0x10) {
                    t += " count=" + std::to_string(count);
                }
                out.push_back(t);
                break;
            }
            case 0xAA:
            case 0xAB: {
                size_t length = u16(), start = m_p;
                out.push_back((token == 0xAA ? "ERROR " : "INFO ") + std::to_string(int32_t(u32())));
                m_p = start + length;
                break;
            }
            case 0xE3:
                m_p += u16();
                out.push_back("ENVCHANGE");
                break;
            case 0x79:
                out.push_back("RETURNSTATUS " + std::to_string(int32_t(u32())));
                break;
            case 0xAC: { // RETURNVALUE of an int parameter
                u16();   // ordinal
                std::string name;
                for (size_t n = u8(); n > 0; --n) {
                    name += char(u16());
                }
                u8();  // status
                u32(); // user type
                u16(); // flags
                if (u8() != 0x26 || u8() != 4) {
                    throw std::runtime_error("only int return values are decoded here");
                }
                const uint8_t length = u8();
                out.push_back("RETURNVALUE " + name + "=" +
                              (length == 0 ? std::string("NULL") : std::to_string(int32_t(u32()))));
                break;
            }
            default:
                throw std::runtime_error("unexpected token " + std::to_string(token));
            }
        }
        return out;
    }

private:
    uint8_t u8() {
        if (m_p >= m_b.size()) {
            throw std::runtime_error("tokens cut short");
        }
        return m_b[m_p++];
    }
    uint16_t u16() { return uint16_t(u8() | (u8() << 8)); }
    uint32_t u32() { return uint32_t(u16()) | (uint32_t(u16()) << 16); }
    void readMetadata() {
        m_types.clear();
        uint16_t columns = u16();
        for (uint16_t c = 0; c < columns; ++c) {
            m_p += 6; // user type, flags
            uint8_t type = u8();
            if (type == 0x26) {
                u8();
            } else if (type == 0xE7 || type == 0xA7) {
                if (u16() == 0xFFFF) {
                    throw std::runtime_error("(max) columns are not decoded here");
                }
                m_p += 5; // collation
            } else {
                throw std::runtime_error("column type " + std::to_string(type) + " is not decoded here");
            }
            m_types.push_back(type);
            m_p += size_t(u8()) * 2; // name
        }
    }
    void readRow() {
        for (uint8_t type : m_types) {
            if (type == 0x26) {
                m_p += u8();
            } else {
                uint16_t length = u16();
                m_p += length == 0xFFFF ? 0 : length;
            }
        }
    }
    std::vector<uint8_t> m_b;
    size_t m_p = 0;
    std::vector<uint8_t> m_types;
};

class DoneTokens : public ::testing::Test {
protected:
    void SetUp() override {
        sqlsim::model::DemoOptions options;
        options.saPassword = "Secret1";
        m_responder = makeDemoInstance(options);
        m_session.spid = 60;
        m_session.login = "sa";
        m_session.database = "Sales";
        m_responder->sessionStarted(m_session);
    }

    // The tokens of the answer to a batch, or to a call of the procedure with no arguments.
    Strings answer(const std::string& text, bool call = false) {
        sqlsim::Request request;
        request.kind = call ? sqlsim::Request::Kind::Rpc : sqlsim::Request::Kind::Batch;
        (call ? request.procName : request.text) = text;
        return answer(request);
    }
    Strings answer(const sqlsim::Request& request) {
        const bool call = request.kind != sqlsim::Request::Kind::Batch;
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
            ADD_FAILURE() << "no socket pair";
            return {};
        }
        std::vector<uint8_t> payload;
        {
            sqlsim::TdsChannel channel(fds[0], m_session.spid);
            sqlsim::TdsTokenWriter writer(channel, m_session);
            sqlsim::Response response;
            channel.startMessage();
            m_responder->respond(request, m_session, response);
            writer.writeItems(response, call, -1);
            channel.sendPackets(true);
        }
        // The packets, without their headers, up to the last one.
        std::vector<uint8_t> wire;
        uint8_t buf[65536];
        ssize_t n;
        while ((n = ::recv(fds[1], buf, sizeof buf, 0)) > 0) {
            wire.insert(wire.end(), buf, buf + n);
        }
        ::close(fds[1]);
        for (size_t p = 0; p + 8 <= wire.size();) {
            size_t length = size_t(wire[p + 2]) << 8 | wire[p + 3];
            payload.insert(payload.end(), wire.begin() + long(p) + 8, wire.begin() + long(p + length));
            p += length;
        }
        try {
            return TokenReader(payload).tokens();
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
            return {};
        }
    }

    std::unique_ptr<sqlsim::Responder> m_responder;
    sqlsim::Session m_session;
};

TEST_F(DoneTokens, OneDonePerStatementTheLastWithoutMore) {
    EXPECT_EQ(answer("select id from Regions where id < 3"),
              (Strings{"COLMETADATA", "rows:2", "DONE count=2"}));
    EXPECT_EQ(answer("select id from Regions where id = 1\nselect name from Regions where id < 3\n"
                     "update Regions set name = name where id = 1"),
              (Strings{"COLMETADATA", "rows:1", "DONE more count=1", "COLMETADATA", "rows:2",
                       "DONE more count=2", "DONE count=1"}));
    // No row counts with nocount on.
    EXPECT_EQ(answer("set nocount on; select id from Regions where id = 1; delete Regions where id = 99"),
              (Strings{"COLMETADATA", "rows:1", "DONE more", "DONE"}));
}

TEST_F(DoneTokens, AnErrorEndsItsStatementsDone) {
    EXPECT_EQ(answer("select id from Regions where id = 1; raiserror('x', 16, 1)"),
              (Strings{"COLMETADATA", "rows:1", "DONE more count=1", "ERROR 50000", "DONE error"}));
}

TEST_F(DoneTokens, ASelectThatFailsAsItRunsSendsItsColumnsThenTheErrorAndOneDone) {
    EXPECT_EQ(answer("select 1 / 0 as a; select 2 as b"),
              (Strings{"COLMETADATA", "ERROR 8134", "DONE more error", "COLMETADATA", "rows:1", "DONE count=1"}));
    // One whose names do not bind sends no columns, and ends the batch.
    EXPECT_EQ(answer("select nope from Regions; select 2 as b"), (Strings{"ERROR 207", "DONE error"}));
}

TEST_F(DoneTokens, ProceduresEndWithReturnStatusAndDoneProc) {
    // Run by exec in a batch.
    EXPECT_EQ(answer("exec sp_helpsrvrole\nselect id from Regions where id = 1"),
              (Strings{"COLMETADATA", "rows:8", "DONEINPROC more count=8", "RETURNSTATUS 0", "DONEPROC more",
                       "COLMETADATA", "rows:1", "DONE count=1"}));
    // Called as a request.
    EXPECT_EQ(answer("sp_helpsrvrole", true),
              (Strings{"COLMETADATA", "rows:8", "DONEINPROC more count=8", "RETURNSTATUS 0", "DONEPROC"}));
}

TEST_F(DoneTokens, ExecuteSqlOutputParametersComeBackAsReturnValues) {
    // sp_executesql N'set @o = @a * 2', N'@a int, @o int output', @a = 21, @o = NULL output
    sqlsim::Request request;
    request.kind = sqlsim::Request::Kind::Statement;
    request.text = "set @o = @a * 2";
    const sqlsim::ColumnType integer = sqlsim::ColumnType::of(sqlsim::SqlType::Int);
    request.params = {{"@a", integer, sqlsim::SqlValue(int64_t(21)), false},
                      {"@o", integer, sqlsim::SqlValue::null(), true}};
    EXPECT_EQ(answer(request), (Strings{"RETURNSTATUS 0", "RETURNVALUE @o=42", "DONEPROC"}));
    request.text = "select 1 where 1 = 0";
    EXPECT_EQ(answer(request), (Strings{"COLMETADATA", "DONEINPROC more count=0", "RETURNSTATUS 0",
                                        "RETURNVALUE @o=NULL", "DONEPROC"}));
}

} // namespace
