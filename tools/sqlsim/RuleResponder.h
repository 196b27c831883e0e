#pragma once
// A responder made of rules: each matches a request's text exactly, by prefix or by a regular
// expression and produces the answer. The first matching rule wins.
#include "Responder.h"

#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace sqlsim {

class RuleResponder : public Responder {
public:
    // captures holds the whole text first, then the regular expression's groups (empty for the other kinds).
    using Handler =
        std::function<void(const Request&, Session&, Response&, const std::vector<std::string>& captures)>;

    enum class Match { Exact, Prefix, Regex };

    // Exact compares the text with surrounding white space removed; Prefix and Regex ignore case.
    // Regex must match the whole (trimmed) text.
    void addRule(Match kind, const std::string& pattern, Handler handler);
    // Rules for a procedure called by name over RPC (compared without case, "[db].." or "db.dbo." prefixes
    // removed).
    void addProcedure(const std::string& name, Handler handler);

    void respond(const Request& request, Session& session, Response& response) override;

    // The answer to anything no rule knows: error 50000-range text naming the first line, severity 16.
    static void notSupported(const Request& request, Response& response);

    static std::string trim(const std::string& s);
    static bool equalsNoCase(const std::string& a, const std::string& b);
    // "master.dbo.sp_who2", "[db]..sp_columns" -> "sp_who2", "sp_columns"
    static std::string bareProcedureName(const std::string& name);

private:
    struct Rule {
        Match kind;
        std::string pattern;
        std::regex regex;
        Handler handler;
    };
    std::vector<Rule> m_rules;
    std::vector<std::pair<std::string, Handler>> m_procedures;
};

} // namespace sqlsim
