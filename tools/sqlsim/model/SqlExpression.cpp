#include "SqlExpression.h"

#include "BuiltinFunctions.h"
#include "Collation.h"
#include "Names.h"
#include "SqlError.h"

#include <cmath>
#include <cstdlib>

namespace sqlsim::model {

namespace {

// The family a sql_variant's base type belongs to; a higher family compares greater.
int variantFamily(SqlType t) {
    switch (t) {
    case SqlType::DateTime2:
    case SqlType::DateTime:
    case SqlType::SmallDateTime:
    case SqlType::Date:
    case SqlType::Time:
        return 5;
    case SqlType::Float:
    case SqlType::Real:
    case SqlType::Decimal:
    case SqlType::Numeric:
    case SqlType::Money:
    case SqlType::SmallMoney:
    case SqlType::BigInt:
    case SqlType::Int:
    case SqlType::SmallInt:
    case SqlType::TinyInt:
    case SqlType::Bit:
        return 4;
    case SqlType::NVarChar:
    case SqlType::NChar:
    case SqlType::VarChar:
    case SqlType::Char:
        return 3;
    case SqlType::VarBinary:
    case SqlType::Binary:
        return 2;
    default:
        return 1; // uniqueidentifier
    }
}

} // namespace

std::optional<int> Evaluator::compare(const SqlValue& a, const SqlValue& b) {
    if (a.isNull() || b.isNull()) {
        return std::nullopt;
    }
    auto sign = [](auto d) { return d < 0 ? -1 : d > 0 ? 1 : 0; };
    if (a.is<VariantValue>() || b.is<VariantValue>()) {
        // Values of different families order by family; within one, as their base values do.
        int fa = variantFamily(a.variantType().type), fb = variantFamily(b.variantType().type);
        if (fa != fb) {
            return sign(fa - fb);
        }
        return compare(a.base(), b.base());
    }
    if (a.is<std::string>() && b.is<std::string>()) {
        return Collation::compare(a.get<std::string>(), b.get<std::string>());
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

bool Evaluator::like(const std::string& text, const std::string& pattern) {
    return Collation::like(text, pattern);
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
    if (op == "+" && a.is<Bytes>() && b.is<Bytes>()) {
        Bytes joined = a.get<Bytes>();
        joined.insert(joined.end(), b.get<Bytes>().begin(), b.get<Bytes>().end());
        return SqlValue(std::move(joined));
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

bool Evaluator::isAggregate(const Expr& e) {
    return e.kind == Expr::Kind::Function && (e.name == "count" || e.name == "sum" || e.name == "min" ||
                                              e.name == "max" || e.name == "avg" || e.name == "count_big");
}

SqlValue Evaluator::eval(const Expr& e, const EvalScope& scope) {
    switch (e.kind) {
    case Expr::Kind::Literal:
        return e.value;
    case Expr::Kind::Column: {
        if (e.slotLayout && e.slotLayout == scope.layout && scope.tuple) {
            const Row* r = scope.tuple[e.slot >> 16];
            return r ? (*r)[size_t(e.slot & 0xFFFF)] : SqlValue::null();
        }
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
        SqlValue l = eval(*e.args[0], scope), r = eval(*e.args[1], scope);
        if (l.is<VariantValue>() || r.is<VariantValue>()) {
            // A sql_variant takes part in arithmetic only through an explicit conversion.
            const ColumnType other = typeOf(*e.args[l.is<VariantValue>() ? 1 : 0], scope);
            throw SqlError(257, 16,
                           "Implicit conversion from data type sql_variant to " +
                               BuiltinFunctions::typeWord(other) +
                               " is not allowed. Use the CONVERT function to run this query.");
        }
        if (l.isNull() || r.isNull()) {
            return SqlValue::null();
        }
        // A string meeting a number converts to the number's type ('1' + 1 is 2).
        if (l.is<std::string>() != r.is<std::string>()) {
            SqlValue& text = l.is<std::string>() ? l : r;
            const SqlValue& number = l.is<std::string>() ? r : l;
            if (!number.is<DateTimeValue>() && !number.is<GuidValue>() && !number.is<Bytes>()) {
                text = BuiltinFunctions::cast(text, typeOf(*e.args[l.is<std::string>() ? 0 : 1], scope),
                                              typeOf(*e.args[l.is<std::string>() ? 1 : 0], scope), -1);
            }
        }
        if ((l.is<int64_t>() || l.is<bool>()) && (r.is<int64_t>() || r.is<bool>())) {
            return BuiltinFunctions::integerArithmetic(op, l.toInt(), r.toInt(), typeOf(e, scope));
        }
        if ((l.is<DecimalValue>() || r.is<DecimalValue>()) && !l.is<double>() && !r.is<double>() &&
            !l.is<std::string>() && !r.is<std::string>()) {
            return BuiltinFunctions::exactArithmetic(op, l, r, typeOf(e, scope));
        }
        return arithmetic(op, l, r);
    }
    case Expr::Kind::Subquery: {
        if (!scope.subquery) {
            throw SqlError(50000, 16, "__not_supported__");
        }
        std::vector<Row> rows = scope.subquery(e, scope);
        if (rows.size() > 1) {
            throw SqlError(512, 16,
                           "Subquery returned more than 1 value. This is not permitted when the subquery "
                           "follows =, !=, <, <= , >, >= or when the subquery is used as an expression.");
        }
        return rows.empty() || rows[0].empty() ? SqlValue::null() : rows[0][0];
    }
    case Expr::Kind::Exists:
    case Expr::Kind::InSubquery:
        return SqlValue(int64_t(isTrue(e, scope) ? 1 : 0));
    case Expr::Kind::Case: {
        size_t i = 0;
        SqlValue operand;
        if (e.hasOperand) {
            operand = eval(*e.args[0], scope);
            i = 1;
        }
        const size_t pairsEnd = e.args.size() - (e.hasElse ? 1 : 0);
        for (; i + 1 < pairsEnd; i += 2) {
            bool hit = false;
            if (e.hasOperand) {
                auto c = compare(operand, eval(*e.args[i], scope));
                hit = c && *c == 0;
            } else {
                hit = isTrue(*e.args[i], scope);
            }
            if (hit) {
                return BuiltinFunctions::convert(eval(*e.args[i + 1], scope), typeOf(e, scope), -1);
            }
        }
        return e.hasElse ? BuiltinFunctions::convert(eval(*e.args.back(), scope), typeOf(e, scope), -1)
                         : SqlValue::null();
    }
    case Expr::Kind::Cast:
        return BuiltinFunctions::cast(eval(*e.args[0], scope), typeOf(*e.args[0], scope), e.castType,
                                      e.style);
    case Expr::Kind::Function: {
        if (isAggregate(e) && scope.aggregate) {
            if (auto v = scope.aggregate(e)) {
                return *v;
            }
        }
        std::vector<SqlValue> args;
        const bool datePart = BuiltinFunctions::takesDatePart(e.name);
        for (const auto& a : e.args) {
            if (datePart && args.empty() && a->kind == Expr::Kind::Column && a->qualifier.empty()) {
                args.push_back(SqlValue(a->name)); // dateadd(day, ...): the part is a bare word
                continue;
            }
            args.push_back(a->kind == Expr::Kind::Star ? SqlValue(int64_t(1)) : eval(*a, scope));
        }
        if (scope.function) {
            if (auto v = scope.function(e.name, args)) {
                return *v;
            }
        }
        if (auto v = BuiltinFunctions::call(e, args, scope)) {
            return *v;
        }
        if (isAggregate(e)) {
            throw SqlError(50000, 16, "__not_supported__");
        }
        throw SqlError(195, 15, "'" + e.name + "' is not a recognized built-in function name.");
    }
    case Expr::Kind::IsNull: {
        bool isNull = eval(*e.args[0], scope).isNull();
        return SqlValue(int64_t(isNull != e.negated ? 1 : 0));
    }
    case Expr::Kind::Like:
    case Expr::Kind::InList:
    case Expr::Kind::Between:
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
        if (e.args.size() > 2) {
            SqlValue esc = eval(*e.args[2], scope);
            if (esc.isNull()) {
                return false;
            }
            return BuiltinFunctions::likeEscaped(v.toText(), p.toText(), esc.toText()) != e.negated;
        }
        return like(v.toText(), p.toText()) != e.negated;
    }
    if (e.kind == Expr::Kind::Between) {
        SqlValue v = eval(*e.args[0], scope);
        auto low = compare(v, eval(*e.args[1], scope));
        auto high = compare(v, eval(*e.args[2], scope));
        if (!low || !high) {
            return false;
        }
        return (*low >= 0 && *high <= 0) != e.negated;
    }
    if (e.kind == Expr::Kind::Exists) {
        if (!scope.subquery) {
            throw SqlError(50000, 16, "__not_supported__");
        }
        return !scope.subquery(e, scope).empty();
    }
    if (e.kind == Expr::Kind::InSubquery) {
        if (!scope.subquery) {
            throw SqlError(50000, 16, "__not_supported__");
        }
        SqlValue v = eval(*e.args[0], scope);
        if (v.isNull()) {
            return false;
        }
        bool found = false, unknown = false;
        for (const Row& r : scope.subquery(e, scope)) {
            auto c = compare(v, r.empty() ? SqlValue::null() : r[0]);
            found = found || (c && *c == 0);
            unknown = unknown || !c;
        }
        // x not in (..., null) is never true.
        return e.negated ? (!found && !unknown) : found;
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
        if (scope.variableType) {
            if (auto t = scope.variableType(e.name)) {
                return *t;
            }
        }
        return ColumnType::of(SqlType::NVarChar, n == "@@version" ? 300 : 128);
    }
    case Expr::Kind::Binary:
        if (e.name == "+" || e.name == "-" || e.name == "*" || e.name == "/" || e.name == "%") {
            ColumnType l = typeOf(*e.args[0], scope), r = typeOf(*e.args[1], scope);
            if (l.isCharacter() && r.isCharacter()) {
                bool uni = l.isUnicode() || r.isUnicode();
                // A (max) side makes the whole a (max) value; otherwise the server cuts at 8,000 bytes.
                if (l.length == ColumnType::kMax || r.length == ColumnType::kMax) {
                    return ColumnType::of(uni ? SqlType::NVarChar : SqlType::VarChar, ColumnType::kMax);
                }
                return ColumnType::of(uni ? SqlType::NVarChar : SqlType::VarChar,
                                      std::min(uni ? 4000 : 8000, std::max(1, l.length + r.length)));
            }
            if (l.type == SqlType::Float || r.type == SqlType::Float)
                return ColumnType::of(SqlType::Float);
            if (auto d = BuiltinFunctions::decimalResult(e.name, l, r)) {
                return *d;
            }
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
    case Expr::Kind::Subquery:
        return scope.subqueryType ? scope.subqueryType(e) : ColumnType::of(SqlType::Int);
    case Expr::Kind::Cast:
        return e.castType;
    case Expr::Kind::Case: {
        std::vector<ColumnType> results;
        size_t i = e.hasOperand ? 1 : 0;
        const size_t pairsEnd = e.args.size() - (e.hasElse ? 1 : 0);
        auto isNullLiteral = [](const Expr& x) { return x.kind == Expr::Kind::Literal && x.value.isNull(); };
        for (; i + 1 < pairsEnd; i += 2) {
            if (!isNullLiteral(*e.args[i + 1])) {
                results.push_back(typeOf(*e.args[i + 1], scope));
            }
        }
        if (e.hasElse && !isNullLiteral(*e.args.back())) {
            results.push_back(typeOf(*e.args.back(), scope));
        }
        return BuiltinFunctions::commonType(results);
    }
    case Expr::Kind::Function:
        if (scope.functionType && e.name.find('.') != std::string::npos) {
            if (auto t = scope.functionType(e.name)) {
                return *t;
            }
        }
        if (auto t = BuiltinFunctions::type(e, scope)) {
            return *t;
        }
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
    if (type.type == SqlType::Variant) {
        return BuiltinFunctions::cast(v, v.variantType(), type, -1);
    }
    if (v.is<VariantValue>()) {
        throw SqlError(257, 16,
                       "Implicit conversion from data type sql_variant to " + BuiltinFunctions::typeWord(type) +
                           " is not allowed. Use the CONVERT function to run this query.");
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
        {
            const std::string text = v.toText();
            return SqlValue(Bytes(text.begin(), text.end()));
        }
    default:
        if (v.is<std::string>()) {
            return v;
        }
        return SqlValue(v.toText());
    }
}

} // namespace sqlsim::model
