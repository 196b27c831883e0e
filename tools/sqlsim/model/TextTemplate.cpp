#include "TextTemplate.h"

#include "Names.h"
#include "SqlError.h"

#include <cctype>

namespace sqlsim::model {

namespace {

// A mark: ":" directly followed by a name.
bool isMark(const std::vector<Token>& t, size_t k) {
    return t[k].isSymbol(":") && k + 1 < t.size() && t[k + 1].kind == Token::Kind::Name &&
           t[k + 1].offset == t[k].offset + 1;
}

bool numberValue(const std::string& text, SqlValue& out) {
    if (text.find_first_of(".eE") != std::string::npos) {
        DecimalValue d;
        if (!DecimalValue::parse(text, d)) {
            return false;
        }
        out = SqlValue(d);
        return true;
    }
    try {
        out = SqlValue(int64_t(std::stoll(text)));
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// Reads one parameter reference or literal at tokens[pos]; advances pos.
bool readValue(const std::vector<Token>& t, size_t& pos, const Request& request, size_t& positional,
               SqlValue& out) {
    const Token& v = t[pos];
    if (v.kind == Token::Kind::Variable) {
        const Param* p = request.param(v.text);
        out = p ? p->value : SqlValue::null();
        ++pos;
        return true;
    }
    if (v.isSymbol("?")) {
        out = positional < request.params.size() ? request.params[positional].value : SqlValue::null();
        ++positional;
        ++pos;
        return true;
    }
    if (v.kind == Token::Kind::String) {
        out = SqlValue(v.text);
        ++pos;
        return true;
    }
    if (v.isWord("null")) {
        out = SqlValue::null();
        ++pos;
        return true;
    }
    if ((v.isSymbol("-") || v.isSymbol("+")) && pos + 1 < t.size() &&
        t[pos + 1].kind == Token::Kind::Number) {
        if (!numberValue(v.text + t[pos + 1].text, out)) {
            return false;
        }
        pos += 2;
        return true;
    }
    if (v.kind == Token::Kind::Number && numberValue(v.text, out)) {
        ++pos;
        return true;
    }
    return false;
}

} // namespace

TextTemplate::TextTemplate(const std::string& text) : m_tokens(SqlLexer::tokenize(text)) {}

std::vector<Token> TextTemplate::tokens(const std::string& text) {
    try {
        return SqlLexer::tokenize(text);
    } catch (const SqlError&) {
        return {Token{}}; // matches no template; the batch runner reports the fault
    }
}

bool TextTemplate::same(const Token& a, const Token& b) {
    if (a.isName() && b.isName()) {
        return sameName(a.text, b.text);
    }
    if (a.kind != b.kind) {
        return false;
    }
    if (a.kind == Token::Kind::Variable) {
        return sameName(a.text, b.text);
    }
    return a.text == b.text && a.unicode == b.unicode;
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
    return match(request, tokens(request.text));
}

std::optional<TextTemplate::Values> TextTemplate::match(const Request& request,
                                                        const std::vector<Token>& t) const {
    if (request.kind == Request::Kind::Rpc) {
        return std::nullopt;
    }
    Values values;
    size_t pos = 0, positional = 0;
    for (size_t k = 0; k < m_tokens.size() && m_tokens[k].kind != Token::Kind::End; ++k) {
        if (pos >= t.size()) {
            return std::nullopt;
        }
        if (isMark(m_tokens, k)) {
            SqlValue v;
            if (!readValue(t, pos, request, positional, v)) {
                return std::nullopt;
            }
            values[lower(m_tokens[k + 1].text)] = v;
            ++k;
            continue;
        }
        if (!same(m_tokens[k], t[pos])) {
            return std::nullopt;
        }
        ++pos;
    }
    if (pos >= t.size() || t[pos].kind != Token::Kind::End) {
        return std::nullopt;
    }
    return values;
}

} // namespace sqlsim::model
