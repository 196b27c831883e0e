#pragma once
// Walks the tokens of a statement: the current token, an expected symbol, a possibly qualified name.
#include "Names.h"
#include "SqlExpression.h"

#include <string>
#include <vector>

namespace sqlsim::model {

struct Cursor {
    const std::vector<Token>& t;
    size_t& pos;
    const Token& at(size_t ahead = 0) const { return pos + ahead < t.size() ? t[pos + ahead] : t.back(); }
    void expect(const char* s) {
        if (!at().isSymbol(s)) {
            syntaxError(at());
        }
        ++pos;
    }
    std::string name() {
        std::string n;
        if (!at().isName()) {
            syntaxError(at());
        }
        while (true) {
            if (at().isName()) {
                n += bracketed(at().text);
                ++pos;
            }
            if (at().isSymbol(".")) {
                n += ".";
                ++pos;
                continue;
            }
            return n;
        }
    }
};

} // namespace sqlsim::model
