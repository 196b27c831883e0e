#pragma once
// A fixed statement text with ":name" parameter marks. A request matches when its text equals the
// template everywhere else; at each mark the client may have put a parameter reference (@P1, @name,
// ?) or a literal ('text', N'text', 12, NULL), and the match yields the values.
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
    // Line breaks made LF and surrounding white space removed, as texts are compared.
    static std::string normalize(const std::string& text);

private:
    std::vector<std::string> m_literals; // one more than m_names
    std::vector<std::string> m_names;
};

} // namespace sqlsim::model
