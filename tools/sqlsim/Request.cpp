#include "Request.h"

#include "RuleResponder.h"

namespace sqlsim {

const Param* Request::param(const std::string& name) const {
    std::string want = name.empty() || name[0] == '@' ? name : "@" + name;
    for (const Param& p : params) {
        if (RuleResponder::equalsNoCase(p.name, want)) {
            return &p;
        }
    }
    return nullptr;
}

std::string Request::firstLine() const {
    if (kind == Kind::Rpc) {
        return procName;
    }
    std::string t = RuleResponder::trim(text);
    size_t eol = t.find_first_of("\r\n");
    return eol == std::string::npos ? t : t.substr(0, eol);
}

} // namespace sqlsim
