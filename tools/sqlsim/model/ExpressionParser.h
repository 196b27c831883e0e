#pragma once
// Reads a scalar expression from tokens: literals, columns, variables, arithmetic, comparisons,
// LIKE, IN, BETWEEN, IS NULL, AND/OR/NOT and function calls.
#include "SqlLexer.h"

#include "../SqlValue.h"

#include "SqlError.h"

#include <memory>
#include <string>
#include <vector>

namespace sqlsim::model {

struct Expr {
    enum class Kind {
        Literal,
        Column,
        Variable,
        Unary,
        Binary,
        Function,
        IsNull,
        Like,
        Star,
        InList,
        Between
    };
    Kind kind = Kind::Literal;
    SqlValue value;         // Literal
    ColumnType literalType; // Literal
    std::string name;       // Column (last part), Variable, Function (lower-case), operator
    std::string qualifier;  // Column: table or alias
    bool negated = false;   // IS NOT NULL, NOT LIKE, NOT IN, NOT BETWEEN
    std::vector<std::unique_ptr<Expr>> args;
    std::string text; // the source text, for column headings
};

class ExpressionParser {
public:
    ExpressionParser(const std::vector<Token>& tokens, size_t& pos, const std::string& source)
        : m_t(tokens), m_pos(pos), m_source(source) {}
    std::unique_ptr<Expr> parse();
    // 4147: the old outer join operators "*=" and "=*", which no supported level reads.
    static SqlError outerJoinError(int line);

private:
    std::unique_ptr<Expr> parseOr();
    std::unique_ptr<Expr> parseAnd();
    std::unique_ptr<Expr> parseNot();
    std::unique_ptr<Expr> parseComparison();
    std::unique_ptr<Expr> parseAdditive();
    std::unique_ptr<Expr> parseMultiplicative();
    std::unique_ptr<Expr> parseUnary();
    std::unique_ptr<Expr> parsePrimary();
    const Token& peek(size_t ahead = 0) const;
    const std::vector<Token>& m_t;
    size_t& m_pos;
    const std::string& m_source;
};

// "Incorrect syntax near '...'." for a token.
[[noreturn]] void syntaxError(const Token& t);

} // namespace sqlsim::model
