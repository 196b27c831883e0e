#include "ExpressionParser.h"

#include "Names.h"
#include "SqlError.h"
#include "TypeInfo.h"

#include <cmath>
#include <cstdlib>

namespace sqlsim::model {

namespace {

// Reserved words that never name a column: met where a value is expected, they end the statement
// with 156 instead of being read as a name.
bool isReservedWord(const Token& t) {
    static const char* const keywords[] = {
        "from",   "where",  "select", "order",     "by",     "set",    "values", "into",   "table", "and",
        "or",     "not",    "null",   "is",        "like",   "top",    "as",     "group",  "having", "union",
        "except", "intersect", "on",  "join",      "inner",  "outer",  "cross",  "full",   "distinct",
        "between", "in",    "when",   "then",      "else",   "end",    "insert", "update", "delete", "create",
        "drop",   "alter",  "declare", "exec",     "execute", "begin", "while",  "if",     "return",
        "primary", "key",   "foreign", "references", "constraint", "unique", "check", "index", "add",
        "column", "database", "backup", "restore", "to", "with", "clustered", "nonclustered"};
    if (t.kind != Token::Kind::Name) {
        return false;
    }
    for (const char* k : keywords) {
        if (t.isWord(k)) {
            return true;
        }
    }
    return false;
}

} // namespace

void syntaxError(const Token& t) {
    if (t.kind == Token::Kind::End) {
        // A statement cut off by the end of the batch: the error names the last token there was.
        if (t.lastKind == Token::Kind::End) {
            throw SqlError(102, 15, "Incorrect syntax near ')'.", 1, {}, int(t.line));
        }
        Token last;
        last.kind = t.lastKind;
        last.text = t.lastText;
        last.line = t.lastLine;
        syntaxError(last);
    }
    if (isReservedWord(t)) {
        throw SqlError(156, 15, "Incorrect syntax near the keyword '" + lower(t.text) + "'.", 1, {},
                       int(t.line));
    }
    throw SqlError(102, 15, "Incorrect syntax near '" + t.text + "'.", 1, {}, int(t.line));
}

const Token& ExpressionParser::peek(size_t ahead) const {
    size_t k = m_pos + ahead;
    return k < m_t.size() ? m_t[k] : m_t.back();
}

std::unique_ptr<Expr> ExpressionParser::parse() {
    size_t start = peek().offset;
    auto e = parseOr();
    size_t end = peek().offset;
    if (start < m_source.size()) {
        e->text = m_source.substr(start, end > start ? end - start : 0);
    }
    while (!e->text.empty() && std::isspace(static_cast<unsigned char>(e->text.back()))) {
        e->text.pop_back();
    }
    return e;
}

namespace {

std::unique_ptr<Expr> binary(std::string op, std::unique_ptr<Expr> l, std::unique_ptr<Expr> r) {
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Binary;
    e->name = std::move(op);
    e->args.push_back(std::move(l));
    e->args.push_back(std::move(r));
    return e;
}

} // namespace

std::unique_ptr<Expr> ExpressionParser::parseOr() {
    auto l = parseAnd();
    while (peek().isWord("or")) {
        ++m_pos;
        l = binary("or", std::move(l), parseAnd());
    }
    return l;
}

std::unique_ptr<Expr> ExpressionParser::parseAnd() {
    auto l = parseNot();
    while (peek().isWord("and")) {
        ++m_pos;
        l = binary("and", std::move(l), parseNot());
    }
    return l;
}

std::unique_ptr<Expr> ExpressionParser::parseNot() {
    if (peek().isWord("not")) {
        ++m_pos;
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Unary;
        e->name = "not";
        e->args.push_back(parseNot());
        return e;
    }
    return parseComparison();
}

SqlError ExpressionParser::outerJoinError(int line) {
    return SqlError(
        4147, 15,
        "The query uses non-ANSI outer join operators (\"*=\" or \"=*\"). To run this query without "
        "modification, please set the compatibility level for current database to 80, using the SET "
        "COMPATIBILITY_LEVEL option of ALTER DATABASE. It is strongly recommended to rewrite the "
        "query using ANSI outer join operators (LEFT OUTER JOIN, RIGHT OUTER JOIN). In the future "
        "versions of SQL Server, non-ANSI join operators will not be supported even in "
        "backward-compatibility modes.",
        1, {}, line);
}

std::unique_ptr<Expr> ExpressionParser::parseComparison() {
    auto l = parseAdditive();
    const Token& t = peek();
    if (t.kind == Token::Kind::Symbol && (t.text == "=" || t.text == "<" || t.text == ">" || t.text == "<=" ||
                                          t.text == ">=" || t.text == "<>" || t.text == "!=")) {
        std::string op = t.text == "!=" ? "<>" : t.text;
        ++m_pos;
        return binary(op, std::move(l), parseAdditive());
    }
    if (t.kind == Token::Kind::Symbol && (t.text == "*=" || t.text == "=*")) {
        throw outerJoinError(int(t.line));
    }
    if (t.isWord("is")) {
        ++m_pos;
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::IsNull;
        if (peek().isWord("not")) {
            e->negated = true;
            ++m_pos;
        }
        if (!peek().isWord("null")) {
            syntaxError(peek());
        }
        ++m_pos;
        e->args.push_back(std::move(l));
        return e;
    }
    bool negated = false;
    if (t.isWord("not") && (peek(1).isWord("like") || peek(1).isWord("in") || peek(1).isWord("between"))) {
        negated = true;
        ++m_pos;
    }
    if (peek().isWord("between")) {
        // a between b and c: a >= b and a <= c, the value read once per side.
        ++m_pos;
        auto low = parseAdditive();
        if (!peek().isWord("and")) {
            syntaxError(peek());
        }
        ++m_pos;
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Between;
        e->negated = negated;
        e->args.push_back(std::move(l));
        e->args.push_back(std::move(low));
        e->args.push_back(parseAdditive());
        return e;
    }
    if (peek().isWord("like")) {
        ++m_pos;
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Like;
        e->negated = negated;
        e->args.push_back(std::move(l));
        e->args.push_back(parseAdditive());
        if (peek().isWord("escape")) {
            ++m_pos;
            e->args.push_back(parseAdditive());
        }
        return e;
    }
    if (peek().isWord("in")) {
        ++m_pos;
        if (!peek().isSymbol("(")) {
            syntaxError(peek());
        }
        if (peek(1).isWord("select")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::InSubquery;
            e->negated = negated;
            e->args.push_back(std::move(l));
            e->tokenPos = skipSubquery();
            return e;
        }
        ++m_pos;
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::InList;
        e->negated = negated;
        e->args.push_back(std::move(l));
        while (true) {
            e->args.push_back(parseAdditive());
            if (peek().isSymbol(",")) {
                ++m_pos;
                continue;
            }
            if (!peek().isSymbol(")")) {
                syntaxError(peek());
            }
            ++m_pos;
            break;
        }
        return e;
    }
    return l;
}

std::unique_ptr<Expr> ExpressionParser::parseAdditive() {
    auto l = parseMultiplicative();
    while (peek().isSymbol("+") || peek().isSymbol("-")) {
        std::string op = peek().text;
        ++m_pos;
        l = binary(op, std::move(l), parseMultiplicative());
    }
    return l;
}

std::unique_ptr<Expr> ExpressionParser::parseMultiplicative() {
    auto l = parseUnary();
    while (peek().isSymbol("*") || peek().isSymbol("/") || peek().isSymbol("%")) {
        std::string op = peek().text;
        ++m_pos;
        l = binary(op, std::move(l), parseUnary());
    }
    return l;
}

std::unique_ptr<Expr> ExpressionParser::parseUnary() {
    if (peek().isSymbol("-") || peek().isSymbol("+")) {
        std::string op = peek().text;
        ++m_pos;
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Unary;
        e->name = op;
        e->args.push_back(parseUnary());
        return e;
    }
    return parsePrimary();
}

std::unique_ptr<Expr> ExpressionParser::parsePrimary() {
    const Token& t = peek();
    auto e = std::make_unique<Expr>();
    switch (t.kind) {
    case Token::Kind::String:
        e->value = SqlValue(t.text);
        {
            // A literal longer than 8,000 bytes is a (max) value.
            const int chars = std::max<int>(1, int(characterCount(t.text)));
            const bool max = chars * (t.unicode ? 2 : 1) > 8000;
            e->literalType = ColumnType::of(t.unicode ? SqlType::NVarChar : SqlType::VarChar,
                                            max ? ColumnType::kMax : chars);
        }
        ++m_pos;
        return e;
    case Token::Kind::Number: {
        ++m_pos;
        if (t.text.find_first_of("eE") != std::string::npos) {
            e->value = SqlValue(std::strtod(t.text.c_str(), nullptr));
            e->literalType = ColumnType::of(SqlType::Float);
        } else if (t.text.find('.') != std::string::npos) {
            DecimalValue d;
            DecimalValue::parse(t.text, d);
            e->value = SqlValue(d);
            e->literalType = ColumnType::of(SqlType::Numeric, 0,
                                            uint8_t(std::max<size_t>(t.text.size() - 1, d.scale)), d.scale);
        } else {
            long long v = std::strtoll(t.text.c_str(), nullptr, 10);
            e->value = SqlValue(int64_t(v));
            e->literalType = ColumnType::of(v > 2147483647LL ? SqlType::BigInt : SqlType::Int);
        }
        return e;
    }
    case Token::Kind::Binary: {
        Bytes b;
        for (size_t i = 0; i + 1 < t.text.size(); i += 2) {
            b.push_back(uint8_t(std::strtol(t.text.substr(i, 2).c_str(), nullptr, 16)));
        }
        e->value = SqlValue(b);
        e->literalType = ColumnType::of(SqlType::VarBinary,
                                        b.size() > 8000 ? ColumnType::kMax : std::max<int>(1, int(b.size())));
        ++m_pos;
        return e;
    }
    case Token::Kind::Variable:
        e->kind = Expr::Kind::Variable;
        e->name = t.text;
        ++m_pos;
        return e;
    case Token::Kind::Symbol:
        if (t.text == "(" && peek(1).isWord("select")) {
            e->kind = Expr::Kind::Subquery;
            e->tokenPos = skipSubquery();
            return e;
        }
        if (t.text == "$" && peek(1).kind == Token::Kind::Number) {
            // A money literal: $12.50
            DecimalValue d;
            if (!DecimalValue::parse(peek(1).text, d)) {
                syntaxError(peek(1));
            }
            e->value = SqlValue(d.rescaled(4));
            e->literalType = ColumnType::of(SqlType::Money, 0, 19, 4);
            m_pos += 2;
            return e;
        }
        if (t.text == "(") {
            ++m_pos;
            auto inner = parseOr();
            if (!peek().isSymbol(")")) {
                syntaxError(peek());
            }
            ++m_pos;
            return inner;
        }
        if (t.text == "*") {
            e->kind = Expr::Kind::Star;
            ++m_pos;
            return e;
        }
        syntaxError(t);
    case Token::Kind::Name:
    case Token::Kind::QuotedName:
        if (t.isWord("null")) {
            ++m_pos;
            e->value = SqlValue::null();
            e->literalType = ColumnType::of(SqlType::Int);
            return e;
        }
        if (t.isWord("exists") && peek(1).isSymbol("(") && peek(2).isWord("select")) {
            ++m_pos;
            e->kind = Expr::Kind::Exists;
            e->tokenPos = skipSubquery();
            return e;
        }
        if (t.isWord("case")) {
            return parseCase();
        }
        if ((t.isWord("cast") || t.isWord("convert") || t.isWord("try_cast") || t.isWord("try_convert")) &&
            peek(1).isSymbol("(")) {
            if (lower(t.text).rfind("try_", 0) == 0) {
                throw SqlError(50000, 16, "__not_supported__");
            }
            return parseCast(t.isWord("convert"));
        }
        if (t.kind == Token::Kind::Name && peek(1).isSymbol("(")) {
            e->kind = Expr::Kind::Function;
            e->name = lower(t.text);
            m_pos += 2;
            if (peek().isWord("distinct") || (peek().isWord("all") && !peek(1).isSymbol(")"))) {
                e->negated = peek().isWord("distinct"); // count(distinct x): each value once
                ++m_pos;
            }
            if (peek().isSymbol(")")) {
                ++m_pos;
                return e;
            }
            while (true) {
                e->args.push_back(parseOr());
                if (peek().isSymbol(",")) {
                    ++m_pos;
                    continue;
                }
                if (!peek().isSymbol(")")) {
                    syntaxError(peek());
                }
                ++m_pos;
                return e;
            }
        }
        if (isReservedWord(t)) {
            syntaxError(t);
        }
        e->kind = Expr::Kind::Column;
        e->name = t.text;
        ++m_pos;
        while (peek().isSymbol(".") && (peek(1).isName() || peek(1).isSymbol("*"))) {
            e->qualifier = e->name;
            if (peek(1).isSymbol("*")) {
                e->kind = Expr::Kind::Star;
                m_pos += 2;
                return e;
            }
            e->name = peek(1).text;
            m_pos += 2;
        }
        if (!e->qualifier.empty() && peek().isSymbol("(")) {
            // schema.function(...): a user's scalar function
            e->kind = Expr::Kind::Function;
            e->name = e->qualifier + "." + e->name;
            e->qualifier.clear();
            ++m_pos;
            while (!peek().isSymbol(")")) {
                e->args.push_back(parseOr());
                if (!peek().isSymbol(",")) {
                    break;
                }
                ++m_pos;
            }
            if (!peek().isSymbol(")")) {
                syntaxError(peek());
            }
            ++m_pos;
        }
        return e;
    case Token::Kind::End:
        break;
    }
    syntaxError(t);
}

size_t ExpressionParser::skipSubquery() {
    ++m_pos; // (
    const size_t start = m_pos;
    int depth = 1;
    while (depth > 0) {
        const Token& t = peek();
        if (t.kind == Token::Kind::End) {
            syntaxError(t);
        }
        if (t.isSymbol("(")) {
            ++depth;
        } else if (t.isSymbol(")")) {
            --depth;
        }
        ++m_pos;
    }
    return start;
}

// case [operand] when x then y ... [else z] end
std::unique_ptr<Expr> ExpressionParser::parseCase() {
    ++m_pos;
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Case;
    if (!peek().isWord("when")) {
        e->hasOperand = true;
        e->args.push_back(parseOr());
    }
    if (!peek().isWord("when")) {
        syntaxError(peek());
    }
    while (peek().isWord("when")) {
        ++m_pos;
        e->args.push_back(parseOr());
        if (!peek().isWord("then")) {
            syntaxError(peek());
        }
        ++m_pos;
        e->args.push_back(parseOr());
    }
    if (peek().isWord("else")) {
        ++m_pos;
        e->hasElse = true;
        e->args.push_back(parseOr());
    }
    if (!peek().isWord("end")) {
        syntaxError(peek());
    }
    ++m_pos;
    return e;
}

// cast(x as type) or convert(type, x [, style])
std::unique_ptr<Expr> ExpressionParser::parseCast(bool convert) {
    m_pos += 2;
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Cast;
    auto readType = [this]() {
        if (!peek().isName()) {
            syntaxError(peek());
        }
        std::string text = peek().text;
        ++m_pos;
        if (peek().isSymbol("(")) {
            text += "(";
            ++m_pos;
            while (!peek().isSymbol(")")) {
                if (peek().kind == Token::Kind::End) {
                    syntaxError(peek());
                }
                text += peek().text;
                ++m_pos;
            }
            text += ")";
            ++m_pos;
        }
        ColumnType type;
        if (!TypeInfo::parse(text, type)) {
            throw SqlError(243, 16,
                           "Type " + text.substr(0, text.find('(')) + " is not a defined system type.");
        }
        return type;
    };
    if (convert) {
        e->castType = readType();
        if (!peek().isSymbol(",")) {
            syntaxError(peek());
        }
        ++m_pos;
        e->args.push_back(parseOr());
        if (peek().isSymbol(",")) {
            ++m_pos;
            if (peek().kind != Token::Kind::Number) {
                syntaxError(peek());
            }
            e->style = std::atoi(peek().text.c_str());
            ++m_pos;
        }
    } else {
        e->args.push_back(parseOr());
        if (!peek().isWord("as")) {
            syntaxError(peek());
        }
        ++m_pos;
        e->castType = readType();
    }
    if (!peek().isSymbol(")")) {
        syntaxError(peek());
    }
    ++m_pos;
    return e;
}

} // namespace sqlsim::model
