#include "TextTemplate.h"

#include "Names.h"

#include <cctype>

namespace sqlsim::model {

namespace {

bool isIdentChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Reads one parameter reference or literal at text[pos]; advances pos.
bool readValue(const std::string& text, size_t& pos, const Request& request, size_t& positional,
               SqlValue& out) {
    size_t i = pos;
    if (i >= text.size()) {
        return false;
    }
    char c = text[i];
    if (c == '@') {
        size_t j = i + 1;
        while (j < text.size() && isIdentChar(text[j])) {
            ++j;
        }
        std::string name = text.substr(i, j - i);
        const Param* p = request.param(name);
        out = p ? p->value : SqlValue::null();
        pos = j;
        return true;
    }
    if (c == '?') {
        out = positional < request.params.size() ? request.params[positional].value : SqlValue::null();
        ++positional;
        pos = i + 1;
        return true;
    }
    if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < text.size() && text[i + 1] == '\'')) {
        i += c == '\'' ? 1 : 2;
        std::string v;
        while (i < text.size()) {
            if (text[i] == '\'') {
                if (i + 1 < text.size() && text[i + 1] == '\'') {
                    v += '\'';
                    i += 2;
                    continue;
                }
                out = SqlValue(v);
                pos = i + 1;
                return true;
            }
            v += text[i++];
        }
        return false;
    }
    if (text.compare(i, 4, "NULL") == 0 || text.compare(i, 4, "null") == 0) {
        out = SqlValue::null();
        pos = i + 4;
        return true;
    }
    size_t j = i;
    if (j < text.size() && (text[j] == '-' || text[j] == '+')) {
        ++j;
    }
    size_t digits = j;
    bool dot = false;
    while (j < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[j])) || (text[j] == '.' && !dot))) {
        dot = dot || text[j] == '.';
        ++j;
    }
    if (j == digits) {
        return false;
    }
    std::string number = text.substr(i, j - i);
    if (dot) {
        DecimalValue d;
        if (!DecimalValue::parse(number, d)) {
            return false;
        }
        out = SqlValue(d);
    } else {
        out = SqlValue(int64_t(std::stoll(number)));
    }
    pos = j;
    return true;
}

} // namespace

TextTemplate::TextTemplate(const std::string& raw) {
    std::string text = normalize(raw);
    std::string literal;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ':' && i + 1 < text.size() && std::isalpha(static_cast<unsigned char>(text[i + 1]))) {
            size_t j = i + 1;
            while (j < text.size() && isIdentChar(text[j])) {
                ++j;
            }
            m_literals.push_back(literal);
            literal.clear();
            m_names.push_back(lower(text.substr(i + 1, j - i - 1)));
            i = j - 1;
        } else {
            literal += text[i];
        }
    }
    m_literals.push_back(literal);
}

std::string TextTemplate::normalize(const std::string& text) {
    std::string r;
    r.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        r += text[i];
    }
    size_t b = 0, e = r.size();
    while (b < e && std::isspace(static_cast<unsigned char>(r[b]))) {
        ++b;
    }
    while (e > b && std::isspace(static_cast<unsigned char>(r[e - 1]))) {
        --e;
    }
    return r.substr(b, e - b);
}

std::optional<TextTemplate::Values> TextTemplate::match(const Request& request) const {
    if (request.kind == Request::Kind::Rpc) {
        return std::nullopt;
    }
    std::string text = normalize(request.text);
    if (text.size() < m_literals.front().size() ||
        text.compare(0, m_literals.front().size(), m_literals.front()) != 0) {
        return std::nullopt;
    }
    Values values;
    size_t pos = m_literals.front().size();
    size_t positional = 0;
    for (size_t k = 0; k < m_names.size(); ++k) {
        SqlValue v;
        if (!readValue(text, pos, request, positional, v)) {
            return std::nullopt;
        }
        const std::string& next = m_literals[k + 1];
        if (text.compare(pos, next.size(), next) != 0) {
            return std::nullopt;
        }
        pos += next.size();
        values[m_names[k]] = v;
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return values;
}

} // namespace sqlsim::model
