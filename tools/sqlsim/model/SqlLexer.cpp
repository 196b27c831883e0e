#include "SqlLexer.h"

#include "Names.h"
#include "SqlError.h"

#include <cctype>
#include <cstring>

namespace sqlsim::model {

bool Token::isWord(const char* word) const {
    if (kind != Kind::Name || text.size() != std::strlen(word)) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(word[i]))) {
            return false;
        }
    }
    return true;
}

namespace {

bool isNameStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c == '#' || c >= 0x80;
}
bool isNameChar(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '#' || c == '$' || c >= 0x80;
}

// The server's pair for a quotation mark that never closes: 105, then 102 naming the text.
[[noreturn]] void unclosed(const Token& t, size_t line) {
    SqlError e(105, 15, "Unclosed quotation mark after the character string '" + t.text + "'.", 1, {},
               int(line));
    e.following.push_back(SqlError(102, 15, "Incorrect syntax near '" + t.text + "'.", 1, {}, int(line)));
    throw e;
}

} // namespace

std::vector<Token> SqlLexer::tokenize(const std::string& s) {
    std::vector<Token> out;
    size_t i = 0, line = 1;
    auto at = [&](size_t k) -> unsigned char { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0; };
    while (i < s.size()) {
        unsigned char c = at(i);
        if (c == '\n') {
            ++line;
            ++i;
            continue;
        }
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        if (c == '-' && at(i + 1) == '-') {
            while (i < s.size() && s[i] != '\n') {
                ++i;
            }
            continue;
        }
        if (c == '/' && at(i + 1) == '*') {
            int depth = 0;
            const size_t startLine = line;
            while (i < s.size()) {
                if (at(i) == '/' && at(i + 1) == '*') {
                    ++depth;
                    i += 2;
                } else if (at(i) == '*' && at(i + 1) == '/') {
                    i += 2;
                    if (--depth == 0) {
                        break;
                    }
                } else {
                    if (s[i] == '\n') {
                        ++line;
                    }
                    ++i;
                }
            }
            if (depth > 0) {
                throw SqlError(113, 15, "Missing end comment mark '*/'.", 1, {}, int(startLine));
            }
            continue;
        }
        Token t;
        t.offset = i;
        t.line = line;
        if (c == '\'' || ((c == 'N' || c == 'n') && at(i + 1) == '\'')) {
            t.kind = Token::Kind::String;
            t.unicode = c != '\'';
            i += t.unicode ? 2 : 1;
            bool closed = false;
            while (i < s.size()) {
                if (s[i] == '\'') {
                    if (at(i + 1) == '\'') {
                        t.text += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (s[i] == '\n') {
                    ++line;
                }
                t.text += s[i++];
            }
            if (!closed) {
                unclosed(t, line);
            }
        } else if (c == '[' || c == '"') {
            char close = c == '[' ? ']' : '"';
            t.kind = Token::Kind::QuotedName;
            ++i;
            bool closed = false;
            while (i < s.size()) {
                if (s[i] == close) {
                    if (at(i + 1) == static_cast<unsigned char>(close)) {
                        t.text += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                t.text += s[i++];
            }
            if (!closed) {
                unclosed(t, line);
            }
        } else if (c == '0' && (at(i + 1) == 'x' || at(i + 1) == 'X')) {
            t.kind = Token::Kind::Binary;
            i += 2;
            while (std::isxdigit(at(i))) {
                t.text += s[i++];
            }
        } else if (std::isdigit(c) || (c == '.' && std::isdigit(at(i + 1)))) {
            t.kind = Token::Kind::Number;
            while (std::isdigit(at(i)) || at(i) == '.') {
                t.text += s[i++];
            }
            if ((at(i) == 'e' || at(i) == 'E') &&
                (std::isdigit(at(i + 1)) ||
                 ((at(i + 1) == '-' || at(i + 1) == '+') && std::isdigit(at(i + 2))))) {
                t.text += s[i++];
                t.text += s[i++];
                while (std::isdigit(at(i))) {
                    t.text += s[i++];
                }
            }
        } else if (c == '@') {
            t.kind = Token::Kind::Variable;
            t.text += s[i++];
            if (at(i) == '@') {
                t.text += s[i++];
            }
            while (isNameChar(at(i))) {
                t.text += s[i++];
            }
        } else if (isNameStart(c)) {
            t.kind = Token::Kind::Name;
            while (isNameChar(at(i))) {
                t.text += s[i++];
            }
        } else {
            t.kind = Token::Kind::Symbol;
            std::string two = s.substr(i, 2);
            if (two == "<=" || two == ">=" || two == "<>" || two == "!=" || two == "*=" || two == "=*") {
                t.text = two;
                i += 2;
            } else {
                t.text = std::string(1, char(c));
                ++i;
            }
        }
        out.push_back(std::move(t));
    }
    Token end;
    end.offset = s.size();
    end.line = line;
    if (!out.empty()) {
        end.lastKind = out.back().kind;
        end.lastText = out.back().text;
        end.lastLine = out.back().line;
    }
    out.push_back(end);
    return out;
}

} // namespace sqlsim::model
