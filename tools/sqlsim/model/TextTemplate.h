#pragma once
// A fixed statement text with ":name" parameter marks. A request matches when its tokens equal the
// template's everywhere else (white space, line breaks and comments aside, names and keywords in any
// letter case); at each mark the client may have put a parameter reference (@P1, @name, ?) or a
// literal ('text', N'text', 12, NULL), and the match yields the values.
#include "SqlLexer.h"

#include "../Request.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sqlsim::model {

class TextTemplate {
public:
    using Values = std::map<std::string, SqlValue>; // by lower-case parameter name

    explicit TextTemplate(const std::string& text);

    std::optional<Values> match(const Request& request) const;
    // The same with the request's text already split (tokens(request.text)).
    std::optional<Values> match(const Request& request, const std::vector<Token>& tokens) const;
    // The tokens of a text; text that does not split (an unclosed quote) gives only the end.
    static std::vector<Token> tokens(const std::string& text);
    // Two tokens the server reads alike (names without regard to case or brackets).
    static bool same(const Token& a, const Token& b);
    // Line breaks made LF and surrounding white space removed.
    static std::string normalize(const std::string& text);

private:
    std::vector<Token> m_tokens;
};

} // namespace sqlsim::model
