#pragma once
// Records every request a client sends, one JSON object per line, so a test can assert exactly
// what arrived: {"spid":51,"type":"batch","database":"master","text":"select 1"}.
#include "Request.h"

#include <mutex>
#include <ostream>
#include <string>

namespace sqlsim {

class RequestLog {
public:
    explicit RequestLog(std::ostream* out) : m_out(out) {}

    void login(const Session& session);
    void batch(const Session& session, const std::string& text);
    // The procedure as the client named it ("sp_executesql" for the well-known numbered ones), with every
    // parameter.
    void rpc(const Session& session, const std::string& procName, const std::vector<Param>& params);
    void event(const Session& session, const std::string& type, const std::string& detail = {});

    static std::string quote(const std::string& s);

private:
    void write(const std::string& line);
    std::ostream* m_out;
    std::mutex m_lock;
};

} // namespace sqlsim
