#include "BuiltinFunctions.h"

#include "FunctionSupport.h"
#include "Names.h"
#include "SqlError.h"

#include <algorithm>

namespace sqlsim::model {

using namespace builtin;

namespace {

int precedence(SqlType t) {
    switch (t) {
    case SqlType::DateTime2:
        return 30;
    case SqlType::DateTime:
        return 29;
    case SqlType::SmallDateTime:
        return 28;
    case SqlType::Date:
        return 27;
    case SqlType::Time:
        return 26;
    case SqlType::Float:
        return 25;
    case SqlType::Real:
        return 24;
    case SqlType::Decimal:
    case SqlType::Numeric:
        return 23;
    case SqlType::Money:
        return 22;
    case SqlType::SmallMoney:
        return 21;
    case SqlType::BigInt:
        return 20;
    case SqlType::Int:
        return 19;
    case SqlType::SmallInt:
        return 18;
    case SqlType::TinyInt:
        return 17;
    case SqlType::Bit:
        return 16;
    case SqlType::NText:
        return 15;
    case SqlType::Text:
        return 14;
    case SqlType::Image:
        return 13;
    case SqlType::UniqueIdentifier:
        return 12;
    case SqlType::NVarChar:
        return 11;
    case SqlType::NChar:
        return 10;
    case SqlType::VarChar:
        return 9;
    case SqlType::Char:
        return 8;
    case SqlType::VarBinary:
        return 7;
    case SqlType::Binary:
        return 6;
    case SqlType::Variant:
        return 40;
    }
    return 0;
}

// A string function's result: the argument's character type, or nvarchar/varchar of the given length.
ColumnType stringResult(const ColumnType& arg, int length) {
    if (arg.isCharacter()) {
        SqlType t = arg.isUnicode() ? SqlType::NVarChar : SqlType::VarChar;
        return ColumnType::of(t, isMax(arg) ? ColumnType::kMax : length);
    }
    return ColumnType::of(SqlType::VarChar, length);
}

} // namespace

std::string BuiltinFunctions::typeWord(const ColumnType& t) {
    std::string n = t.sqlName();
    return n.substr(0, n.find('('));
}

bool BuiltinFunctions::takesDatePart(const std::string& f) {
    return f == "dateadd" || f == "datediff" || f == "datepart" || f == "datename";
}

ColumnType BuiltinFunctions::commonType(const std::vector<ColumnType>& types) {
    ColumnType best = ColumnType::of(SqlType::Int);
    bool first = true;
    int length = 0;
    bool max = false;
    for (const ColumnType& t : types) {
        if (first || precedence(t.type) > precedence(best.type)) {
            best = t;
            first = false;
        }
        max = max || isMax(t);
        length = std::max(length, t.length);
    }
    if (best.isCharacter()) {
        best.length = max ? ColumnType::kMax : std::max(length, 1);
    }
    return best;
}

bool BuiltinFunctions::likeEscaped(const std::string& text, const std::string& pattern,
                                   const std::string& esc) {
    if (esc.empty()) {
        return Evaluator::like(text, pattern);
    }
    // Escaped characters become one-character sets, which match literally.
    std::string p;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.compare(i, esc.size(), esc) == 0 && i + esc.size() < pattern.size()) {
            i += esc.size();
            char c = pattern[i];
            p += c == '[' || c == '%' || c == '_' ? std::string("[") + c + "]" : std::string(1, c);
            continue;
        }
        p += pattern[i];
    }
    return Evaluator::like(text, p);
}

std::optional<ColumnType> BuiltinFunctions::type(const Expr& e, const EvalScope& scope) {
    const std::string& f = e.name;
    auto a0 = [&]() { return argType(e, 0, scope); };
    if (f == "count" || f == "len" || f == "charindex" || f == "datalength") {
        bool big = (f != "count") && isMax(a0());
        return big ? ColumnType::of(SqlType::BigInt) : kInt();
    }
    if (f == "count_big")
        return ColumnType::of(SqlType::BigInt);
    if (f == "sum" || f == "avg") {
        ColumnType t = a0();
        if (t.type == SqlType::TinyInt || t.type == SqlType::SmallInt || t.type == SqlType::Bit)
            return kInt();
        if (t.type == SqlType::Decimal || t.type == SqlType::Numeric)
            return ColumnType::of(SqlType::Decimal, 0, 38,
                                  f == "avg" ? std::max<uint8_t>(t.scale, 6) : t.scale);
        if (t.type == SqlType::SmallMoney)
            return ColumnType::of(SqlType::Money, 0, 19, 4);
        if (t.type == SqlType::Real)
            return ColumnType::of(SqlType::Float);
        return t;
    }
    if (f == "isnull" && e.args.size() == 2 && e.args[0]->kind == Expr::Kind::Literal &&
        e.args[0]->value.isNull())
        return argType(e, 1, scope); // a bare NULL has no type of its own
    if (f == "upper" || f == "lower" || f == "ltrim" || f == "rtrim" || f == "trim") {
        ColumnType t = a0(); // fixed-length text comes back variable-length
        if (t.type == SqlType::Char || t.type == SqlType::NChar)
            t.type = t.type == SqlType::Char ? SqlType::VarChar : SqlType::NVarChar;
        return t;
    }
    if (f == "min" || f == "max" || f == "abs" || f == "isnull" || f == "nullif")
        return a0();
    if (f == "round" || f == "floor" || f == "ceiling") {
        ColumnType t = a0();
        if (t.isCharacter())
            return ColumnType::of(SqlType::Float);
        if ((t.type == SqlType::Decimal || t.type == SqlType::Numeric) && f != "round")
            return ColumnType::of(t.type, 0, t.precision, 0);
        return t;
    }
    if (f == "coalesce") {
        std::vector<ColumnType> ts;
        for (size_t i = 0; i < e.args.size(); ++i) {
            if (!(e.args[i]->kind == Expr::Kind::Literal && e.args[i]->value.isNull())) {
                ts.push_back(argType(e, i, scope));
            }
        }
        return commonType(ts);
    }
    if (f == "substring" || f == "left" || f == "right") {
        ColumnType t = a0();
        const bool binary = t.type == SqlType::Binary || t.type == SqlType::VarBinary || t.type == SqlType::Image;
        if (f == "substring" && binary)
            return ColumnType::of(SqlType::VarBinary, t.type == SqlType::Image ? ColumnType::kMax : t.length);
        int n = t.isCharacter() ? t.length : 30;
        if (t.type == SqlType::Char)
            return ColumnType::of(SqlType::VarChar, n);
        if (t.type == SqlType::NChar)
            return ColumnType::of(SqlType::NVarChar, n);
        return stringResult(t, n);
    }
    if (f == "replace" || f == "stuff") {
        ColumnType t = a0();
        bool uni = t.isUnicode() || argType(e, f == "replace" ? 2 : 3, scope).isUnicode();
        return ColumnType::of(uni ? SqlType::NVarChar : SqlType::VarChar,
                              isMax(t) ? ColumnType::kMax : (uni ? 4000 : 8000));
    }
    if (f == "replicate") {
        ColumnType t = a0();
        return ColumnType::of(t.isUnicode() ? SqlType::NVarChar : SqlType::VarChar,
                              isMax(t) ? ColumnType::kMax : (t.isUnicode() ? 4000 : 8000));
    }
    if (f == "getdate" || f == "getutcdate" || f == "current_timestamp")
        return ColumnType::of(SqlType::DateTime);
    if (f == "sysdatetime" || f == "sysutcdatetime")
        return ColumnType::of(SqlType::DateTime2, 0, 27, 7);
    if (f == "dateadd") {
        ColumnType t = argType(e, 2, scope);
        return t.isCharacter() ? ColumnType::of(SqlType::DateTime) : t;
    }
    if (f == "datediff" || f == "datepart" || f == "year" || f == "month" || f == "day" || f == "db_id" ||
        f == "object_id" || f == "is_srvrolemember" || f == "is_member" || f == "has_dbaccess" ||
        f == "user_id")
        return kInt();
    if (f == "datename")
        return nvarchar(30);
    if (f == "newid")
        return ColumnType::of(SqlType::UniqueIdentifier);
    if (f == "error_number" || f == "error_severity" || f == "error_state" || f == "error_line")
        return kInt();
    if (f == "error_message")
        return nvarchar(4000);
    if (f == "error_procedure" || f == "db_name" || f == "suser_sname" || f == "suser_name" ||
        f == "user_name" || f == "object_name" || f == "schema_name" || f == "host_name" || f == "app_name")
        return nvarchar(128);
    if (f == "serverproperty")
        return nvarchar(128);
    if (f == "sql_variant_property")
        return ColumnType::of(SqlType::Variant);
    if (f == "scope_identity" || f == "ident_current")
        return ColumnType::of(SqlType::Numeric, 0, 38, 0);
    return std::nullopt;
}

std::optional<SqlValue> BuiltinFunctions::call(const Expr& e, const std::vector<SqlValue>& a,
                                               const EvalScope& scope) {
    const std::string& f = e.name;
    if (f == "coalesce") {
        if (a.size() < 2) {
            throw SqlError(189, 15, "The coalesce function requires 2 to 254 arguments.");
        }
        for (const SqlValue& v : a) {
            if (!v.isNull()) {
                return convert(v, *type(e, scope), -1);
            }
        }
        return SqlValue::null();
    }
    if (f == "isnull") {
        requireArgs(e, 2, 2);
        return a[0].isNull() ? convert(a[1], *type(e, scope), -1) : a[0];
    }
    if (f == "nullif") {
        requireArgs(e, 2, 2);
        auto c = Evaluator::compare(a[0], a[1]);
        return c && *c == 0 ? SqlValue::null() : a[0];
    }
    if (f == "sql_variant_property") {
        requireArgs(e, 2, 2);
        return variantProperty(cast(a[0], argType(e, 0, scope), ColumnType::of(SqlType::Variant), -1), a[1]);
    }
    if (auto v = callString(e, a, scope)) {
        return v;
    }
    if (auto v = callDate(e, a, scope)) {
        return v;
    }
    return callMath(e, a, scope);
}

} // namespace sqlsim::model
