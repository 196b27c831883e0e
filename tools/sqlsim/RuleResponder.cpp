#include "RuleResponder.h"

#include <algorithm>
#include <cctype>

namespace sqlsim {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

} // namespace

std::string RuleResponder::trim(const std::string& s) {
    const char* ws = " \t\r\n";
    size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos) {
        return {};
    }
    size_t e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

bool RuleResponder::equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::string RuleResponder::bareProcedureName(const std::string& name) {
    size_t dot = name.find_last_of('.');
    std::string bare = dot == std::string::npos ? name : name.substr(dot + 1);
    if (bare.size() >= 2 && bare.front() == '[' && bare.back() == ']') {
        bare = bare.substr(1, bare.size() - 2);
    }
    return bare;
}

void RuleResponder::addRule(Match kind, const std::string& pattern, Handler handler) {
    Rule rule{kind, kind == Match::Prefix ? lower(pattern) : pattern, {}, std::move(handler)};
    if (kind == Match::Regex) {
        rule.regex = std::regex(pattern, std::regex::icase | std::regex::ECMAScript);
    }
    m_rules.push_back(std::move(rule));
}

void RuleResponder::addProcedure(const std::string& name, Handler handler) {
    m_procedures.emplace_back(lower(name), std::move(handler));
}

void RuleResponder::respond(const Request& request, Session& session, Response& response) {
    std::vector<std::string> captures;
    if (request.kind == Request::Kind::Rpc) {
        std::string bare = lower(bareProcedureName(request.procName));
        for (auto& [name, handler] : m_procedures) {
            if (name == bare) {
                captures.push_back(request.procName);
                handler(request, session, response, captures);
                return;
            }
        }
        notSupported(request, response);
        return;
    }
    const std::string text = trim(request.text);
    const std::string low = lower(text);
    for (Rule& rule : m_rules) {
        captures.clear();
        bool hit = false;
        switch (rule.kind) {
        case Match::Exact:
            hit = text == trim(rule.pattern);
            break;
        case Match::Prefix:
            hit = low.compare(0, rule.pattern.size(), rule.pattern) == 0;
            break;
        case Match::Regex: {
            std::smatch m;
            hit = std::regex_match(text, m, rule.regex);
            if (hit) {
                for (size_t k = 1; k < m.size(); ++k) {
                    captures.push_back(m[k].str());
                }
            }
            break;
        }
        }
        if (hit) {
            captures.insert(captures.begin(), text);
            rule.handler(request, session, response, captures);
            return;
        }
    }
    notSupported(request, response);
}

void RuleResponder::notSupported(const Request& request, Response& response) {
    response.error(50000, 16, "Statement not supported by the simulator: " + request.firstLine());
}

} // namespace sqlsim
