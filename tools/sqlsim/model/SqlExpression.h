#pragma once
// Scalar expressions of the statements the simulator runs itself: literals, columns, variables,
// arithmetic, comparisons, LIKE, IS NULL, AND/OR/NOT and a few functions.
#include "SqlLexer.h"

#include "../SqlValue.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sqlsim::model {

struct Expr {
    enum class Kind { Literal, Column, Variable, Unary, Binary, Function, IsNull, Like, Star, InList };
    Kind kind = Kind::Literal;
    SqlValue value;         // Literal
    ColumnType literalType; // Literal
    std::string name;       // Column (last part), Variable, Function (lower-case), operator
    std::string qualifier;  // Column: table or alias
    bool negated = false;   // IS NOT NULL, NOT LIKE, NOT IN
    std::vector<std::unique_ptr<Expr>> args;
    std::string text; // the source text, for column headings
};

// What an expression can see while it is evaluated.
struct EvalScope {
    std::function<std::optional<SqlValue>(const std::string& qualifier, const std::string& column)> column;
    std::function<std::optional<ColumnType>(const std::string& qualifier, const std::string& column)>
        columnType;
    std::function<SqlValue(const std::string& variable)> variable; // @@version, @P1 ...
    std::function<std::optional<SqlValue>(const std::string& function, const std::vector<SqlValue>& args)>
        function;
};

class ExpressionParser {
public:
    ExpressionParser(const std::vector<Token>& tokens, size_t& pos, const std::string& source)
        : m_t(tokens), m_pos(pos), m_source(source) {}
    std::unique_ptr<Expr> parse();

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

class Evaluator {
public:
    static SqlValue eval(const Expr& e, const EvalScope& scope);
    // True only when the condition is true (NULL counts as false).
    static bool isTrue(const Expr& e, const EvalScope& scope);
    static ColumnType typeOf(const Expr& e, const EvalScope& scope);
    // -1, 0, 1; nullopt when either side is NULL. Text compares without case.
    static std::optional<int> compare(const SqlValue& a, const SqlValue& b);
    static bool like(const std::string& text, const std::string& pattern);
    // Converts a value to a column's type, as an insert or update stores it.
    static SqlValue coerce(const SqlValue& v, const ColumnType& type);
};

// "Incorrect syntax near '...'." for a token.
[[noreturn]] void syntaxError(const Token& t);

} // namespace sqlsim::model
