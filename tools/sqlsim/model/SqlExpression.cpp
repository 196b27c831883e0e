#include "SqlExpression.h"

#include "Names.h"
#include "SqlError.h"

#include <cmath>
#include <cstdlib>

namespace sqlsim::model {

void syntaxError(const Token& t) {
    if (t.kind == Token::Kind::End) {
        throw SqlError(102, 15, "Incorrect syntax near ')'.", 1, {}, int(t.line));
    }
    static const char* const keywords[] = {"from",   "where", "select", "order", "by", "set",
                                           "values", "into",  "table",  "and",   "or", "not",
                                           "null",   "is",    "like",   "top",   "as"};
    if (t.kind == Token::Kind::Name) {
        for (const char* k : keywords) {
            if (t.isWord(k)) {
                throw SqlError(156, 15, "Incorrect syntax near the keyword '" + lower(t.text) + "'.", 1, {},
                               int(t.line));
            }
        }
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
        throw SqlError(
            4147, 15,
            "The query uses non-ANSI outer join operators (\"*=\" or \"=*\"). To run this query without "
            "modification, please set the compatibility level for current database to 80, using the SET "
            "COMPATIBILITY_LEVEL option of ALTER DATABASE. It is strongly recommended to rewrite the "
            "query using ANSI outer join operators (LEFT OUTER JOIN, RIGHT OUTER JOIN). In the future "
            "versions of SQL Server, non-ANSI join operators will not be supported even in "
            "backward-compatibility modes.",
            1, {}, int(t.line));
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
    if (t.isWord("not") && (peek(1).isWord("like") || peek(1).isWord("in"))) {
        negated = true;
        ++m_pos;
    }
    if (peek().isWord("like")) {
        ++m_pos;
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Like;
        e->negated = negated;
        e->args.push_back(std::move(l));
        e->args.push_back(parseAdditive());
        return e;
    }
    if (peek().isWord("in")) {
        ++m_pos;
        if (!peek().isSymbol("(")) {
            syntaxError(peek());
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
        e->literalType = ColumnType::of(t.unicode ? SqlType::NVarChar : SqlType::VarChar,
                                        std::max<int>(1, int(characterCount(t.text))));
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
        e->literalType = ColumnType::of(SqlType::VarBinary, std::max<int>(1, int(b.size())));
        ++m_pos;
        return e;
    }
    case Token::Kind::Variable:
        e->kind = Expr::Kind::Variable;
        e->name = t.text;
        ++m_pos;
        return e;
    case Token::Kind::Symbol:
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
        if (t.kind == Token::Kind::Name && peek(1).isSymbol("(")) {
            e->kind = Expr::Kind::Function;
            e->name = lower(t.text);
            m_pos += 2;
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
        return e;
    case Token::Kind::End:
        break;
    }
    syntaxError(t);
}

std::optional<int> Evaluator::compare(const SqlValue& a, const SqlValue& b) {
    if (a.isNull() || b.isNull()) {
        return std::nullopt;
    }
    auto sign = [](auto d) { return d < 0 ? -1 : d > 0 ? 1 : 0; };
    if (a.is<std::string>() && b.is<std::string>()) {
        std::string x = lower(a.get<std::string>()), y = lower(b.get<std::string>());
        while (!x.empty() && x.back() == ' ') {
            x.pop_back();
        }
        while (!y.empty() && y.back() == ' ') {
            y.pop_back();
        }
        return sign(x.compare(y));
    }
    if (a.is<DateTimeValue>() || b.is<DateTimeValue>()) {
        DateTimeValue x, y;
        auto asDate = [](const SqlValue& v, DateTimeValue& out) {
            if (v.is<DateTimeValue>()) {
                out = v.get<DateTimeValue>();
                return true;
            }
            return v.is<std::string>() && DateTimeValue::parse(v.get<std::string>(), out);
        };
        if (asDate(a, x) && asDate(b, y)) {
            return x.days != y.days ? sign(x.days - y.days) : sign(x.micros - y.micros);
        }
    }
    if (a.is<Bytes>() && b.is<Bytes>()) {
        return sign(int(a.get<Bytes>() < b.get<Bytes>() ? -1 : a.get<Bytes>() == b.get<Bytes>() ? 0 : 1));
    }
    if (a.is<GuidValue>() || b.is<GuidValue>()) {
        return sign(lower(a.toText()).compare(lower(b.toText())));
    }
    if (a.is<int64_t>() && b.is<int64_t>()) {
        return sign(a.get<int64_t>() - b.get<int64_t>());
    }
    if (a.is<bool>() || b.is<bool>()) {
        return sign(a.toInt() - b.toInt());
    }
    return sign(a.toDouble() - b.toDouble());
}

bool Evaluator::like(const std::string& textIn, const std::string& patternIn) {
    std::string text = lower(textIn), pattern = lower(patternIn);
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    std::function<bool(size_t, size_t)> m = [&](size_t ti, size_t pi) -> bool {
        while (pi < pattern.size()) {
            char p = pattern[pi];
            if (p == '%') {
                for (size_t k = ti; k <= text.size(); ++k) {
                    if (m(k, pi + 1)) {
                        return true;
                    }
                }
                return false;
            }
            if (ti >= text.size()) {
                return false;
            }
            size_t charLen = 1;
            while (ti + charLen < text.size() &&
                   (static_cast<unsigned char>(text[ti + charLen]) & 0xC0) == 0x80) {
                ++charLen;
            }
            if (p == '_') {
                ti += charLen;
                ++pi;
            } else if (p == '[') {
                auto close = pattern.find(']', pi);
                if (close == std::string::npos) {
                    return false;
                }
                std::string set = pattern.substr(pi + 1, close - pi - 1);
                bool neg = !set.empty() && set[0] == '^';
                if (neg) {
                    set.erase(0, 1);
                }
                bool found = false;
                for (size_t k = 0; k < set.size(); ++k) {
                    if (k + 2 < set.size() && set[k + 1] == '-') {
                        found = found || (text[ti] >= set[k] && text[ti] <= set[k + 2]);
                        k += 2;
                    } else {
                        found = found || set[k] == text[ti];
                    }
                }
                if (found == neg) {
                    return false;
                }
                ti += 1;
                pi = close + 1;
            } else {
                if (text[ti] != p) {
                    return false;
                }
                ++ti;
                ++pi;
            }
        }
        return ti == text.size();
    };
    return m(0, 0);
}

namespace {

bool isNumeric(const SqlValue& v) {
    return v.is<int64_t>() || v.is<double>() || v.is<DecimalValue>() || v.is<bool>();
}

SqlValue arithmetic(const std::string& op, const SqlValue& a, const SqlValue& b) {
    if (a.isNull() || b.isNull()) {
        return SqlValue::null();
    }
    if (op == "+" && (a.is<std::string>() || b.is<std::string>()) && !(isNumeric(a) || isNumeric(b))) {
        return SqlValue(a.toText() + b.toText());
    }
    if (op == "+" && a.is<std::string>() && b.is<std::string>()) {
        return SqlValue(a.get<std::string>() + b.get<std::string>());
    }
    if ((a.is<int64_t>() || a.is<bool>()) && (b.is<int64_t>() || b.is<bool>())) {
        int64_t x = a.toInt(), y = b.toInt();
        if ((op == "/" || op == "%") && y == 0) {
            throw SqlError(8134, 16, "Divide by zero error encountered.");
        }
        if (op == "+")
            return SqlValue(x + y);
        if (op == "-")
            return SqlValue(x - y);
        if (op == "*")
            return SqlValue(x * y);
        if (op == "/")
            return SqlValue(x / y);
        return SqlValue(x % y);
    }
    double x = a.toDouble(), y = b.toDouble();
    if ((op == "/" || op == "%") && y == 0) {
        throw SqlError(8134, 16, "Divide by zero error encountered.");
    }
    if (op == "+")
        return SqlValue(x + y);
    if (op == "-")
        return SqlValue(x - y);
    if (op == "*")
        return SqlValue(x * y);
    if (op == "/")
        return SqlValue(x / y);
    return SqlValue(std::fmod(x, y));
}

} // namespace

SqlValue Evaluator::eval(const Expr& e, const EvalScope& scope) {
    switch (e.kind) {
    case Expr::Kind::Literal:
        return e.value;
    case Expr::Kind::Column: {
        auto v = scope.column ? scope.column(e.qualifier, e.name) : std::nullopt;
        if (!v) {
            throw SqlError(207, 16, "Invalid column name '" + e.name + "'.");
        }
        return *v;
    }
    case Expr::Kind::Variable:
        return scope.variable ? scope.variable(e.name) : SqlValue::null();
    case Expr::Kind::Unary: {
        if (e.name == "not") {
            return SqlValue(int64_t(isTrue(*e.args[0], scope) ? 0 : 1));
        }
        SqlValue v = eval(*e.args[0], scope);
        if (e.name == "+" || v.isNull()) {
            return v;
        }
        if (v.is<DecimalValue>()) {
            DecimalValue d = v.get<DecimalValue>();
            d.unscaled = -d.unscaled;
            return SqlValue(d);
        }
        return v.is<double>() ? SqlValue(-v.toDouble()) : SqlValue(-v.toInt());
    }
    case Expr::Kind::Binary: {
        const std::string& op = e.name;
        if (op == "and" || op == "or" || op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" ||
            op == ">=") {
            return SqlValue(int64_t(isTrue(e, scope) ? 1 : 0));
        }
        return arithmetic(op, eval(*e.args[0], scope), eval(*e.args[1], scope));
    }
    case Expr::Kind::Function: {
        std::vector<SqlValue> args;
        for (const auto& a : e.args) {
            args.push_back(a->kind == Expr::Kind::Star ? SqlValue(int64_t(1)) : eval(*a, scope));
        }
        if (e.name == "isnull" && args.size() == 2) {
            return args[0].isNull() ? args[1] : args[0];
        }
        if (e.name == "len" && args.size() == 1) {
            if (args[0].isNull()) {
                return args[0];
            }
            std::string s = args[0].toText();
            while (!s.empty() && s.back() == ' ') {
                s.pop_back();
            }
            return SqlValue(int64_t(characterCount(s)));
        }
        if ((e.name == "upper" || e.name == "lower") && args.size() == 1) {
            if (args[0].isNull()) {
                return args[0];
            }
            std::string s = args[0].toText();
            if (e.name == "lower") {
                return SqlValue(lower(s));
            }
            for (char& c : s) {
                c = char(std::toupper(static_cast<unsigned char>(c)));
            }
            return SqlValue(s);
        }
        if (scope.function) {
            if (auto v = scope.function(e.name, args)) {
                return *v;
            }
        }
        throw SqlError(195, 15, "'" + e.name + "' is not a recognized built-in function name.");
    }
    case Expr::Kind::IsNull: {
        bool isNull = eval(*e.args[0], scope).isNull();
        return SqlValue(int64_t(isNull != e.negated ? 1 : 0));
    }
    case Expr::Kind::Like:
    case Expr::Kind::InList:
        return SqlValue(int64_t(isTrue(e, scope) ? 1 : 0));
    case Expr::Kind::Star:
        break;
    }
    throw SqlError(102, 15, "Incorrect syntax near '*'.");
}

bool Evaluator::isTrue(const Expr& e, const EvalScope& scope) {
    if (e.kind == Expr::Kind::Binary) {
        const std::string& op = e.name;
        if (op == "and") {
            return isTrue(*e.args[0], scope) && isTrue(*e.args[1], scope);
        }
        if (op == "or") {
            return isTrue(*e.args[0], scope) || isTrue(*e.args[1], scope);
        }
        if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
            auto c = compare(eval(*e.args[0], scope), eval(*e.args[1], scope));
            if (!c) {
                return false;
            }
            if (op == "=")
                return *c == 0;
            if (op == "<>")
                return *c != 0;
            if (op == "<")
                return *c < 0;
            if (op == ">")
                return *c > 0;
            if (op == "<=")
                return *c <= 0;
            return *c >= 0;
        }
    }
    if (e.kind == Expr::Kind::Unary && e.name == "not") {
        // NOT of an unknown comparison is still unknown.
        const Expr& inner = *e.args[0];
        if (inner.kind == Expr::Kind::Binary && inner.name != "and" && inner.name != "or") {
            auto c = compare(eval(*inner.args[0], scope), eval(*inner.args[1], scope));
            if (!c) {
                return false;
            }
        }
        return !isTrue(inner, scope);
    }
    if (e.kind == Expr::Kind::Like) {
        SqlValue v = eval(*e.args[0], scope), p = eval(*e.args[1], scope);
        if (v.isNull() || p.isNull()) {
            return false;
        }
        return like(v.toText(), p.toText()) != e.negated;
    }
    if (e.kind == Expr::Kind::InList) {
        SqlValue v = eval(*e.args[0], scope);
        if (v.isNull()) {
            return false;
        }
        bool found = false;
        for (size_t i = 1; i < e.args.size(); ++i) {
            auto c = compare(v, eval(*e.args[i], scope));
            found = found || (c && *c == 0);
        }
        return found != e.negated;
    }
    SqlValue v = eval(e, scope);
    return !v.isNull() && v.toInt() != 0;
}

ColumnType Evaluator::typeOf(const Expr& e, const EvalScope& scope) {
    switch (e.kind) {
    case Expr::Kind::Literal:
        return e.literalType;
    case Expr::Kind::Column:
        if (scope.columnType) {
            if (auto t = scope.columnType(e.qualifier, e.name)) {
                return *t;
            }
        }
        return ColumnType::of(SqlType::NVarChar, 4000);
    case Expr::Kind::Variable: {
        std::string n = lower(e.name);
        if (n == "@@spid")
            return ColumnType::of(SqlType::SmallInt);
        if (n == "@@rowcount" || n == "@@error" || n == "@@trancount")
            return ColumnType::of(SqlType::Int);
        if (n == "@@identity")
            return ColumnType::of(SqlType::Numeric, 0, 38, 0);
        return ColumnType::of(SqlType::NVarChar, n == "@@version" ? 300 : 128);
    }
    case Expr::Kind::Binary:
        if (e.name == "+" || e.name == "-" || e.name == "*" || e.name == "/" || e.name == "%") {
            ColumnType l = typeOf(*e.args[0], scope), r = typeOf(*e.args[1], scope);
            if (l.isCharacter() && r.isCharacter()) {
                bool uni = l.isUnicode() || r.isUnicode();
                return ColumnType::of(uni ? SqlType::NVarChar : SqlType::VarChar,
                                      std::min(uni ? 4000 : 8000, std::max(1, l.length + r.length)));
            }
            if (l.type == SqlType::Float || r.type == SqlType::Float)
                return ColumnType::of(SqlType::Float);
            if (l.type == SqlType::Decimal || l.type == SqlType::Numeric || l.type == SqlType::Money)
                return l;
            if (r.type == SqlType::Decimal || r.type == SqlType::Numeric || r.type == SqlType::Money)
                return r;
            if (l.type == SqlType::BigInt || r.type == SqlType::BigInt)
                return ColumnType::of(SqlType::BigInt);
            return l.isCharacter() ? r : l;
        }
        return ColumnType::of(SqlType::Int);
    case Expr::Kind::Unary:
        return e.name == "not" ? ColumnType::of(SqlType::Int) : typeOf(*e.args[0], scope);
    case Expr::Kind::Function:
        if (e.name == "count" || e.name == "len" || e.name == "object_id" || e.name == "db_id" ||
            e.name == "is_srvrolemember" || e.name == "user_id") {
            return ColumnType::of(SqlType::Int);
        }
        if ((e.name == "isnull" || e.name == "max" || e.name == "min" || e.name == "upper" ||
             e.name == "lower") &&
            !e.args.empty()) {
            return typeOf(*e.args[0], scope);
        }
        if (e.name == "getdate")
            return ColumnType::of(SqlType::DateTime);
        if (e.name == "scope_identity" || e.name == "ident_current")
            return ColumnType::of(SqlType::Numeric, 0, 38, 0);
        return ColumnType::of(SqlType::NVarChar, 128);
    default:
        return ColumnType::of(SqlType::Int);
    }
}

SqlValue Evaluator::coerce(const SqlValue& v, const ColumnType& type) {
    if (v.isNull()) {
        return v;
    }
    switch (type.type) {
    case SqlType::Bit:
    case SqlType::TinyInt:
    case SqlType::SmallInt:
    case SqlType::Int:
    case SqlType::BigInt: {
        if (v.is<std::string>()) {
            const std::string& s = v.get<std::string>();
            char* end = nullptr;
            long long n = std::strtoll(s.c_str(), &end, 10);
            while (end && *end == ' ') {
                ++end;
            }
            if (s.empty() || (end && *end)) {
                throw SqlError(245, 16,
                               "Conversion failed when converting the varchar value '" + s +
                                   "' to data type " + (type.type == SqlType::Bit ? "bit" : "int") + ".");
            }
            return type.type == SqlType::Bit ? SqlValue(n != 0) : SqlValue(int64_t(n));
        }
        if (type.type == SqlType::Bit) {
            return SqlValue(v.toDouble() != 0);
        }
        return SqlValue(v.is<int64_t>() || v.is<bool>() ? v.toInt() : int64_t(v.toDouble()));
    }
    case SqlType::Real:
    case SqlType::Float:
        return SqlValue(v.toDouble());
    case SqlType::Decimal:
    case SqlType::Numeric:
    case SqlType::Money:
    case SqlType::SmallMoney: {
        DecimalValue d;
        uint8_t scale = type.type == SqlType::Money || type.type == SqlType::SmallMoney ? 4 : type.scale;
        if (v.is<DecimalValue>()) {
            d = v.get<DecimalValue>();
        } else if (v.is<int64_t>() || v.is<bool>()) {
            d = DecimalValue{__int128(v.toInt()), 0};
        } else {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.*f", int(scale), v.toDouble());
            if (!DecimalValue::parse(v.is<std::string>() ? v.get<std::string>() : std::string(buf), d)) {
                throw SqlError(8114, 16, "Error converting data type varchar to numeric.");
            }
        }
        return SqlValue(d.rescaled(scale));
    }
    case SqlType::DateTime:
    case SqlType::SmallDateTime:
    case SqlType::Date:
    case SqlType::DateTime2:
    case SqlType::Time: {
        if (v.is<DateTimeValue>()) {
            return v;
        }
        DateTimeValue d;
        if (!DateTimeValue::parse(v.toText(), d)) {
            throw SqlError(241, 16,
                           "Conversion failed when converting date and/or time from character string.");
        }
        return SqlValue(d);
    }
    case SqlType::UniqueIdentifier: {
        if (v.is<GuidValue>()) {
            return v;
        }
        GuidValue g;
        if (!GuidValue::parse(v.toText(), g)) {
            throw SqlError(8169, 16,
                           "Conversion failed when converting from a character string to uniqueidentifier.");
        }
        return SqlValue(g);
    }
    case SqlType::Binary:
    case SqlType::VarBinary:
    case SqlType::Image:
        if (v.is<Bytes>()) {
            return v;
        }
        return SqlValue(Bytes(v.toText().begin(), v.toText().end()));
    default:
        if (v.is<std::string>()) {
            return v;
        }
        return SqlValue(v.toText());
    }
}

} // namespace sqlsim::model
