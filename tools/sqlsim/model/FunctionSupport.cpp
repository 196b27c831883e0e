#include "FunctionSupport.h"

#include "BuiltinFunctions.h"
#include "Names.h"
#include "SqlError.h"

namespace sqlsim::model::builtin {

const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[7] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

ColumnType nvarchar(int n) {
    return ColumnType::of(SqlType::NVarChar, n);
}
ColumnType kInt() {
    return ColumnType::of(SqlType::Int);
}

bool isMax(const ColumnType& t) {
    return t.length == ColumnType::kMax;
}

bool isIntegerType(SqlType t) {
    return t == SqlType::Bit || t == SqlType::TinyInt || t == SqlType::SmallInt || t == SqlType::Int ||
           t == SqlType::BigInt;
}

bool isDateType(SqlType t) {
    return t == SqlType::DateTime || t == SqlType::SmallDateTime || t == SqlType::Date ||
           t == SqlType::DateTime2 || t == SqlType::Time;
}

std::string trimmed(std::string s, bool left, bool right) {
    if (right) {
        while (!s.empty() && s.back() == ' ') {
            s.pop_back();
        }
    }
    if (left) {
        size_t k = 0;
        while (k < s.size() && s[k] == ' ') {
            ++k;
        }
        s.erase(0, k);
    }
    return s;
}

std::vector<std::string> chars(const std::string& s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();) {
        size_t n = 1;
        while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) {
            ++n;
        }
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

std::string join(const std::vector<std::string>& c, size_t from, size_t count) {
    std::string out;
    for (size_t i = from; i < c.size() && i < from + count; ++i) {
        out += c[i];
    }
    return out;
}

int64_t intMin(SqlType t) {
    switch (t) {
    case SqlType::TinyInt:
        return 0;
    case SqlType::SmallInt:
        return -32768;
    case SqlType::Int:
        return -2147483648LL;
    default:
        return INT64_MIN;
    }
}

int64_t intMax(SqlType t) {
    switch (t) {
    case SqlType::TinyInt:
        return 255;
    case SqlType::SmallInt:
        return 32767;
    case SqlType::Int:
        return 2147483647LL;
    default:
        return INT64_MAX;
    }
}

[[noreturn]] void overflow(const ColumnType& to) {
    throw SqlError(8115, 16,
                   "Arithmetic overflow error converting expression to data type " +
                       BuiltinFunctions::typeWord(to) + ".");
}

int64_t checkedInt(__int128 v, const ColumnType& to) {
    if (v < intMin(to.type) || v > intMax(to.type)) {
        overflow(to);
    }
    return int64_t(v);
}

// Digits before the point an exact value needs.
int integerDigits(const DecimalValue& d) {
    __int128 v = d.unscaled < 0 ? -d.unscaled : d.unscaled;
    for (int i = 0; i < d.scale; ++i) {
        v /= 10;
    }
    int n = 0;
    while (v > 0) {
        ++n;
        v /= 10;
    }
    return n;
}

int weekday(const DateTimeValue& d) { // 0 = Monday; 1900-01-01 was a Monday
    return int(((d.days % 7) + 7) % 7);
}

int64_t partOf(const std::string& part, const DateTimeValue& d) {
    int y, mo, dd, h, mi, s, ms;
    d.toParts(y, mo, dd, h, mi, s, ms);
    std::string p = lower(part);
    if (p == "year" || p == "yy" || p == "yyyy")
        return y;
    if (p == "quarter" || p == "qq" || p == "q")
        return (mo - 1) / 3 + 1;
    if (p == "month" || p == "mm" || p == "m")
        return mo;
    if (p == "dayofyear" || p == "dy" || p == "y")
        return d.days - DateTimeValue::fromParts(y, 1, 1).days + 1;
    if (p == "day" || p == "dd" || p == "d")
        return dd;
    if (p == "week" || p == "wk" || p == "ww") {
        int jan1 = weekday(DateTimeValue::fromParts(y, 1, 1)); // us_english: weeks start on Sunday
        int doy = d.days - DateTimeValue::fromParts(y, 1, 1).days;
        return (doy + (jan1 + 1) % 7) / 7 + 1;
    }
    if (p == "weekday" || p == "dw")
        return (weekday(d) + 1) % 7 + 1;
    if (p == "hour" || p == "hh")
        return h;
    if (p == "minute" || p == "mi" || p == "n")
        return mi;
    if (p == "second" || p == "ss" || p == "s")
        return s;
    if (p == "millisecond" || p == "ms")
        return ms;
    if (p == "microsecond" || p == "mcs")
        return d.micros % 1000000;
    throw SqlError(155, 15, "'" + part + "' is not a recognized datepart option.");
}

ColumnType argType(const Expr& e, size_t i, const EvalScope& scope) {
    return i < e.args.size() ? Evaluator::typeOf(*e.args[i], scope) : nvarchar(1);
}

DateTimeValue toDate(const SqlValue& v, const ColumnType& from) {
    return BuiltinFunctions::cast(v, from, ColumnType::of(SqlType::DateTime), -1).get<DateTimeValue>();
}

void requireArgs(const Expr& e, size_t low, size_t high) {
    if (e.args.size() < low || e.args.size() > high) {
        throw SqlError(174, 15,
                       "The " + e.name + " function requires " + std::to_string(low) + " argument(s).");
    }
}

} // namespace sqlsim::model::builtin
