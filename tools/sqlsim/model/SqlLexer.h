#pragma once
// Splits SQL text into tokens: names (plain or bracketed), strings, numbers, variables, operators.
#include <string>
#include <vector>

namespace sqlsim::model {

struct Token {
    enum class Kind { Name, QuotedName, String, Number, Variable, Binary, Symbol, End };
    Kind kind = Kind::End;
    std::string text;     // the value: name without brackets, string without quotes, symbol
    bool unicode = false; // N'...'
    size_t offset = 0;    // where it starts in the source
    size_t line = 1;
    // On the end token: the last token of the text, which a syntax error at the end names.
    Kind lastKind = Kind::End;
    std::string lastText;
    size_t lastLine = 1;

    bool isWord(const char* word) const; // a plain name equal to word, ignoring case
    bool isSymbol(const char* symbol) const { return kind == Kind::Symbol && text == symbol; }
    bool isName() const { return kind == Kind::Name || kind == Kind::QuotedName; }
};

class SqlLexer {
public:
    // Throws SqlError 105 for an unclosed quotation mark.
    static std::vector<Token> tokenize(const std::string& text);
};

} // namespace sqlsim::model
