#include "RequestLog.h"

#include <cstdio>

namespace sqlsim {

std::string RequestLog::quote(const std::string& s) {
    std::string out = "\"";
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out.push_back(ch);
            }
        }
    }
    return out + "\"";
}

namespace {

std::string head(const Session& s, const char* type) {
    return "{\"spid\":" + std::to_string(s.spid) + ",\"type\":\"" + type +
           "\",\"database\":" + RequestLog::quote(s.database);
}

} // namespace

void RequestLog::login(const Session& s) {
    write(head(s, "login") + ",\"login\":" + quote(s.login) + ",\"host\":" + quote(s.hostName) +
          ",\"app\":" + quote(s.appName) + "}");
}

void RequestLog::batch(const Session& s, const std::string& text) {
    write(head(s, "batch") + ",\"text\":" + quote(text) + "}");
}

void RequestLog::rpc(const Session& s, const std::string& procName, const std::vector<Param>& params) {
    std::string line = head(s, "rpc") + ",\"proc\":" + quote(procName) + ",\"params\":[";
    for (size_t k = 0; k < params.size(); ++k) {
        const Param& p = params[k];
        line += k ? ",{" : "{";
        line += "\"name\":" + quote(p.name) + ",\"type\":" + quote(p.type.sqlName()) +
                ",\"value\":" + (p.value.isNull() ? std::string("null") : quote(p.value.toText()));
        if (p.output) {
            line += ",\"output\":true";
        }
        line += "}";
    }
    write(line + "]}");
}

void RequestLog::event(const Session& s, const std::string& type, const std::string& detail) {
    write(head(s, type.c_str()) + (detail.empty() ? std::string() : ",\"detail\":" + quote(detail)) + "}");
}

void RequestLog::write(const std::string& line) {
    if (!m_out) {
        return;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    *m_out << line << '\n';
    m_out->flush();
}

} // namespace sqlsim
