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
        Between,
        Subquery,   // (select ...): a scalar value; tokenPos is where its "select" starts
        Exists,     // exists (select ...)
        InSubquery, // args[0] [not] in (select ...)
        Case,       // args: [operand,] when, then, ..., [else]; hasOperand, hasElse
        Cast        // cast(args[0] as castType), convert(castType, args[0][, style])
    };
    Kind kind = Kind::Literal;
    SqlValue value;         // Literal
    ColumnType literalType; // Literal
    std::string name;       // Column (last part), Variable, Function (lower-case), operator
    std::string qualifier;  // Column: table or alias
    bool negated = false;   // IS NOT NULL, NOT LIKE, NOT IN, NOT BETWEEN
    std::vector<std::unique_ptr<Expr>> args;
    std::string text;        // the source text, for column headings
    size_t tokenPos = 0;     // Subquery, Exists, InSubquery
    bool hasOperand = false; // Case
    bool hasElse = false;    // Case
    ColumnType castType;     // Cast
    int style = -1;          // Cast: convert's style
    // Where a column of the query being run sits in its joined row (set when the query binds it).
    mutable int slot = -1;
    mutable const void* slotLayout = nullptr;
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
    std::unique_ptr<Expr> parseCase();
    std::unique_ptr<Expr> parseCast(bool convert);
    // Past a parenthesised select, from its "select" to the closing parenthesis.
    size_t skipSubquery();
    const Token& peek(size_t ahead = 0) const;
    const std::vector<Token>& m_t;
    size_t& m_pos;
    const std::string& m_source;
};

// "Incorrect syntax near '...'." for a token.
[[noreturn]] void syntaxError(const Token& t);

} // namespace sqlsim::model
