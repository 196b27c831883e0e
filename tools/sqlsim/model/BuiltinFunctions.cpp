#include "BuiltinFunctions.h"

#include "Names.h"
#include "SqlError.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <random>

namespace sqlsim::model {

namespace {

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

ColumnType nvarchar(int n) {
    return ColumnType::of(SqlType::NVarChar, n);
}
ColumnType kInt() {
    return ColumnType::of(SqlType::Int);
}

bool isMax(const ColumnType& t) {
    return t.length == ColumnType::kMax;
}

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
    }
    return 0;
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

// Characters of UTF-8 text, one string each.
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

// Position (from 0) of needle in hay at or after start, ignoring case; npos when absent.
size_t findNoCase(const std::string& hay, const std::string& needle, size_t start) {
    std::string h = lower(hay), n = lower(needle);
    return h.find(n, start);
}

std::string upper(std::string s) {
    for (char& c : s) {
        c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    // Cyrillic and other two-byte lower-case letters of the demo data.
    std::string out;
    for (const std::string& ch : chars(s)) {
        if (ch.size() == 2) {
            unsigned cp = ((unsigned(uint8_t(ch[0])) & 0x1F) << 6) | (unsigned(uint8_t(ch[1])) & 0x3F);
            if (cp >= 0x430 && cp <= 0x44F) {
                cp -= 0x20;
            } else if (cp >= 0x450 && cp <= 0x45F) {
                cp -= 0x50;
            }
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += ch;
        }
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

std::string floatText(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    std::string s = buf;
    // The server writes exponents with three digits: 1e+010.
    auto e = s.find('e');
    if (e != std::string::npos && s.size() - e == 4) {
        s.insert(e + 2, "0");
    }
    return s;
}

// A date/time from text in a convert style (101 mm/dd/yyyy, 103 dd/mm/yyyy; others as ISO text).
bool parseDate(const std::string& text, int style, DateTimeValue& out) {
    std::string t = trimmed(text, true, true);
    if (style == 101 || style == 103 || style == 1 || style == 3) {
        int a = 0, b = 0, y = 0;
        char s1 = 0, s2 = 0;
        if (std::sscanf(t.c_str(), "%d%c%d%c%d", &a, &s1, &b, &s2, &y) == 5) {
            int mo = style % 100 == 1 ? a : b, d = style % 100 == 1 ? b : a;
            if (y < 100) {
                y += y < 50 ? 2000 : 1900;
            }
            if (mo < 1 || mo > 12 || d < 1 || d > 31) {
                return false;
            }
            out = DateTimeValue::fromParts(y, mo, d);
            return true;
        }
        return false;
    }
    if (!DateTimeValue::parse(t, out)) {
        return false;
    }
    int y, mo, d, h, mi, s, ms;
    out.toParts(y, mo, d, h, mi, s, ms);
    return mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h < 24 && mi < 60 && s < 60;
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

DateTimeValue addTo(const std::string& part, int64_t n, DateTimeValue d) {
    std::string p = lower(part);
    auto addMonths = [&](int64_t months) {
        int y, mo, dd, h, mi, s, ms;
        d.toParts(y, mo, dd, h, mi, s, ms);
        int64_t total = int64_t(y) * 12 + (mo - 1) + months;
        int ny = int(total / 12), nm = int(total % 12) + 1;
        static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        int last = len[nm - 1] + (nm == 2 && ((ny % 4 == 0 && ny % 100 != 0) || ny % 400 == 0) ? 1 : 0);
        DateTimeValue r = DateTimeValue::fromParts(ny, nm, std::min(dd, last));
        r.micros = d.micros;
        return r;
    };
    if (p == "year" || p == "yy" || p == "yyyy")
        return addMonths(n * 12);
    if (p == "quarter" || p == "qq" || p == "q")
        return addMonths(n * 3);
    if (p == "month" || p == "mm" || p == "m")
        return addMonths(n);
    int64_t unit = 0;
    if (p == "day" || p == "dd" || p == "d" || p == "dayofyear" || p == "dy" || p == "y" || p == "weekday" ||
        p == "dw")
        unit = 86400000000LL;
    else if (p == "week" || p == "wk" || p == "ww")
        unit = 7 * 86400000000LL;
    else if (p == "hour" || p == "hh")
        unit = 3600000000LL;
    else if (p == "minute" || p == "mi" || p == "n")
        unit = 60000000LL;
    else if (p == "second" || p == "ss" || p == "s")
        unit = 1000000LL;
    else if (p == "millisecond" || p == "ms")
        unit = 1000LL;
    else
        throw SqlError(155, 15, "'" + part + "' is not a recognized dateadd option.");
    __int128 total = __int128(d.days) * 86400000000LL + d.micros + __int128(n) * unit;
    __int128 days = total / 86400000000LL, rest = total % 86400000000LL;
    if (rest < 0) {
        rest += 86400000000LL;
        --days;
    }
    if (days < -53690 || days > 2958463) {
        throw SqlError(517, 16, "Adding a value to a 'datetime' column caused an overflow.");
    }
    return DateTimeValue{int32_t(days), int64_t(rest)};
}

int64_t diff(const std::string& part, const DateTimeValue& a, const DateTimeValue& b) {
    std::string p = lower(part);
    int y1, m1, d1, h, mi, s, ms, y2, m2, d2;
    a.toParts(y1, m1, d1, h, mi, s, ms);
    b.toParts(y2, m2, d2, h, mi, s, ms);
    if (p == "year" || p == "yy" || p == "yyyy")
        return y2 - y1;
    if (p == "quarter" || p == "qq" || p == "q")
        return (y2 * 4 + (m2 - 1) / 3) - (y1 * 4 + (m1 - 1) / 3);
    if (p == "month" || p == "mm" || p == "m")
        return (y2 * 12 + m2) - (y1 * 12 + m1);
    if (p == "day" || p == "dd" || p == "d" || p == "dayofyear" || p == "dy" || p == "y")
        return int64_t(b.days) - a.days;
    if (p == "week" || p == "wk" || p == "ww") // boundaries of weeks starting on Sunday
        return (int64_t(b.days) + 1 - ((b.days + 1) % 7 + 7) % 7 -
                (int64_t(a.days) + 1 - ((a.days + 1) % 7 + 7) % 7)) /
               7;
    auto at = [](const DateTimeValue& v, int64_t unit) {
        return (__int128(v.days) * 86400000000LL + v.micros) / unit;
    };
    int64_t unit = 0;
    if (p == "hour" || p == "hh")
        unit = 3600000000LL;
    else if (p == "minute" || p == "mi" || p == "n")
        unit = 60000000LL;
    else if (p == "second" || p == "ss" || p == "s")
        unit = 1000000LL;
    else if (p == "millisecond" || p == "ms")
        unit = 1000LL;
    else
        throw SqlError(155, 15, "'" + part + "' is not a recognized datediff option.");
    __int128 r = at(b, unit) - at(a, unit);
    if (r > INT32_MAX || r < INT32_MIN) {
        throw SqlError(
            535, 16,
            "The datediff function resulted in an overflow. The number of dateparts separating two "
            "date/time instances is too large. Try to use datediff with a less precise datepart.");
    }
    return int64_t(r);
}

ColumnType argType(const Expr& e, size_t i, const EvalScope& scope) {
    return i < e.args.size() ? Evaluator::typeOf(*e.args[i], scope) : nvarchar(1);
}

// A string function's result: the argument's character type, or nvarchar/varchar of the given length.
ColumnType stringResult(const ColumnType& arg, int length) {
    if (arg.isCharacter()) {
        SqlType t = arg.isUnicode() ? SqlType::NVarChar : SqlType::VarChar;
        return ColumnType::of(t, isMax(arg) ? ColumnType::kMax : length);
    }
    return ColumnType::of(SqlType::VarChar, length);
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

} // namespace

std::string BuiltinFunctions::typeWord(const ColumnType& t) {
    std::string n = t.sqlName();
    return n.substr(0, n.find('('));
}

std::optional<ColumnType> BuiltinFunctions::decimalResult(const std::string& op, const ColumnType& l,
                                                          const ColumnType& r) {
    auto isDec = [](const ColumnType& t) { return t.type == SqlType::Decimal || t.type == SqlType::Numeric; };
    if (!isDec(l) && !isDec(r)) {
        return std::nullopt;
    }
    auto asDec = [](const ColumnType& t, int& p, int& s) {
        s = 0;
        switch (t.type) {
        case SqlType::Decimal:
        case SqlType::Numeric:
            p = t.precision ? t.precision : 18;
            s = t.scale;
            return true;
        case SqlType::BigInt:
            p = 19;
            return true;
        case SqlType::Int:
            p = 10;
            return true;
        case SqlType::SmallInt:
            p = 5;
            return true;
        case SqlType::TinyInt:
        case SqlType::Bit:
            p = 3;
            return true;
        case SqlType::Money:
        case SqlType::SmallMoney:
            p = 19;
            s = 4;
            return true;
        default:
            return false;
        }
    };
    int p1, s1, p2, s2;
    if (!asDec(l, p1, s1) || !asDec(r, p2, s2)) {
        return std::nullopt;
    }
    int p, s;
    if (op == "+" || op == "-") {
        s = std::max(s1, s2);
        p = s + std::max(p1 - s1, p2 - s2) + 1;
    } else if (op == "*") {
        p = p1 + p2 + 1;
        s = s1 + s2;
    } else if (op == "/") {
        s = std::max(6, s1 + p2 + 1);
        p = p1 - s1 + s2 + s;
    } else {
        s = std::max(s1, s2);
        p = std::min(p1 - s1, p2 - s2) + s;
    }
    if (p > 38) {
        // The integral part is kept; the scale gives way, down to 6.
        const int integral = p - s;
        s = std::max(std::min(s, 6), 38 - integral);
        p = 38;
    }
    return ColumnType::of(SqlType::Numeric, 0, uint8_t(p), uint8_t(s));
}

bool BuiltinFunctions::takesDatePart(const std::string& f) {
    return f == "dateadd" || f == "datediff" || f == "datepart" || f == "datename";
}

std::string BuiltinFunctions::dateText(const DateTimeValue& d, int style, const ColumnType& from) {
    int y, mo, dd, h, mi, s, ms;
    d.toParts(y, mo, dd, h, mi, s, ms);
    char buf[64];
    switch (style) {
    case 101:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", mo, dd, y);
        return buf;
    case 103:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", dd, mo, y);
        return buf;
    case 112:
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, mo, dd);
        return buf;
    case 120:
    case 20:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, dd, h, mi, s);
        return buf;
    case 121:
    case 21:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, dd, h, mi, s, ms);
        return buf;
    case 126:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", y, mo, dd, h, mi, s, ms);
        return buf;
    default:
        break;
    }
    if (from.type == SqlType::Date) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, mo, dd);
        return buf;
    }
    if (from.type == SqlType::DateTime2) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%07lld", y, mo, dd, h, mi, s,
                      (long long)(d.micros % 1000000) * 10);
        return buf;
    }
    // Style 0 / 100: "Mar  1 2004  1:45PM"
    std::snprintf(buf, sizeof buf, "%.3s %2d %04d %2d:%02d%s", kMonths[mo - 1], dd, y,
                  h % 12 == 0 ? 12 : h % 12, mi, h < 12 ? "AM" : "PM");
    return buf;
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

SqlValue BuiltinFunctions::integerArithmetic(const std::string& op, int64_t x, int64_t y,
                                             const ColumnType& type) {
    if ((op == "/" || op == "%") && y == 0) {
        throw SqlError(8134, 16, "Divide by zero error encountered.");
    }
    __int128 r = op == "+"   ? __int128(x) + y
                 : op == "-" ? __int128(x) - y
                 : op == "*" ? __int128(x) * y
                 : op == "/" ? __int128(x) / y
                             : __int128(x) % y;
    ColumnType t =
        isIntegerType(type.type) && type.type != SqlType::Bit ? type : ColumnType::of(SqlType::BigInt);
    return SqlValue(checkedInt(r, t));
}

SqlValue BuiltinFunctions::exactArithmetic(const std::string& op, const SqlValue& xv, const SqlValue& yv,
                                           const ColumnType& type) {
    auto dec = [](const SqlValue& v) {
        return v.is<DecimalValue>() ? v.get<DecimalValue>() : DecimalValue{__int128(v.toInt()), 0};
    };
    DecimalValue x = dec(xv), y = dec(yv);
    uint8_t scale = std::max(x.scale, y.scale);
    DecimalValue r;
    if (op == "+" || op == "-") {
        x = x.rescaled(scale);
        y = y.rescaled(scale);
        r = DecimalValue{op == "+" ? x.unscaled + y.unscaled : x.unscaled - y.unscaled, scale};
    } else if (op == "*") {
        r = DecimalValue{x.unscaled * y.unscaled, uint8_t(x.scale + y.scale)};
    } else {
        if (y.unscaled == 0) {
            throw SqlError(8134, 16, "Divide by zero error encountered.");
        }
        if (op == "%") {
            x = x.rescaled(scale);
            y = y.rescaled(scale);
            r = DecimalValue{x.unscaled % y.unscaled, scale};
        } else {
            // Enough digits for the result's scale, then rounded to it.
            uint8_t want = std::max<uint8_t>(type.scale, 6);
            __int128 num = x.unscaled;
            int shift = want + y.scale - x.scale + 1;
            for (int i = 0; i < shift; ++i) {
                num *= 10;
            }
            r = DecimalValue{num / y.unscaled, uint8_t(want + 1)};
        }
    }
    uint8_t target = type.type == SqlType::Money || type.type == SqlType::SmallMoney ? 4 : type.scale;
    r = r.rescaled(std::min<uint8_t>(target, 38));
    if (integerDigits(r) > 38 - r.scale) {
        overflow(type);
    }
    return SqlValue(r);
}

SqlValue BuiltinFunctions::convert(const SqlValue& v, const ColumnType& to, int style) {
    if (v.isNull()) {
        return v;
    }
    ColumnType from = v.is<std::string>() ? nvarchar(4000)
                      : v.is<DecimalValue>()
                          ? ColumnType::of(SqlType::Decimal, 0, 38, v.get<DecimalValue>().scale)
                      : v.is<double>()        ? ColumnType::of(SqlType::Float)
                      : v.is<DateTimeValue>() ? ColumnType::of(SqlType::DateTime)
                      : v.is<GuidValue>()     ? ColumnType::of(SqlType::UniqueIdentifier)
                      : v.is<Bytes>()         ? ColumnType::of(SqlType::VarBinary, ColumnType::kMax)
                                              : ColumnType::of(SqlType::BigInt);
    return cast(v, from, to, style);
}

SqlValue BuiltinFunctions::cast(const SqlValue& v, const ColumnType& from, const ColumnType& to, int style) {
    if (v.isNull()) {
        return v;
    }
    const std::string fromWord =
        v.is<std::string>() ? (from.isUnicode() ? "nvarchar" : "varchar") : typeWord(from);
    if (to.isCharacter()) {
        std::string text;
        if (v.is<DateTimeValue>()) {
            text = dateText(v.get<DateTimeValue>(), style, from);
        } else if (v.is<double>()) {
            text = floatText(v.get<double>());
        } else if (v.is<DecimalValue>() &&
                   (from.type == SqlType::Money || from.type == SqlType::SmallMoney) && style <= 0) {
            text = v.get<DecimalValue>().rescaled(2).text();
        } else if (v.is<bool>()) {
            text = v.get<bool>() ? "1" : "0";
        } else {
            text = v.toText();
        }
        if (!isMax(to)) {
            int len = to.length > 0 ? to.length : 30;
            if (int(characterCount(text)) > len) {
                if (v.is<int64_t>() || v.is<bool>()) {
                    return SqlValue(std::string("*")); // a number that does not fit
                }
                if (v.is<DecimalValue>() || v.is<double>()) {
                    throw SqlError(8115, 16,
                                   "Arithmetic overflow error converting " + fromWord + " to data type " +
                                       typeWord(to) + ".");
                }
                text = characterPrefix(text, size_t(len));
            }
            if (to.type == SqlType::Char || to.type == SqlType::NChar) {
                while (int(characterCount(text)) < len) {
                    text += ' ';
                }
            }
        }
        return SqlValue(text);
    }
    if (isIntegerType(to.type)) {
        if (v.is<std::string>()) {
            std::string s = trimmed(v.get<std::string>(), true, true);
            char* end = nullptr;
            errno = 0;
            long long n = std::strtoll(s.c_str(), &end, 10);
            if (to.type == SqlType::Bit && (sameName(s, "true") || sameName(s, "false"))) {
                return SqlValue(sameName(s, "true"));
            }
            if (s.empty() ? false : (end && *end) || errno == ERANGE) {
                throw SqlError(245, 16,
                               "Conversion failed when converting the " + fromWord + " value '" +
                                   v.get<std::string>() + "' to data type " + typeWord(to) + ".");
            }
            if (to.type == SqlType::Bit) {
                return SqlValue(n != 0);
            }
            return SqlValue(checkedInt(n, to));
        }
        if (to.type == SqlType::Bit) {
            return SqlValue(v.toDouble() != 0);
        }
        if (v.is<DecimalValue>()) {
            DecimalValue d = v.get<DecimalValue>();
            __int128 u = d.unscaled;
            for (int i = 0; i < d.scale; ++i) {
                u /= 10; // toward zero
            }
            if (u < intMin(to.type) || u > intMax(to.type)) {
                throw SqlError(8115, 16,
                               "Arithmetic overflow error converting " + fromWord + " to data type " +
                                   typeWord(to) + ".");
            }
            return SqlValue(int64_t(u));
        }
        if (v.is<double>()) {
            double t = std::trunc(v.get<double>());
            if (t < double(intMin(to.type)) || t > double(intMax(to.type))) {
                overflow(to);
            }
            return SqlValue(int64_t(t));
        }
        if (v.is<DateTimeValue>()) {
            const DateTimeValue& d = v.get<DateTimeValue>();
            return SqlValue(checkedInt(d.days + (d.micros >= 43200000000LL ? 1 : 0), to));
        }
        if (v.is<int64_t>() || v.is<bool>()) {
            return SqlValue(checkedInt(v.toInt(), to));
        }
    }
    if (to.type == SqlType::Decimal || to.type == SqlType::Numeric || to.type == SqlType::Money ||
        to.type == SqlType::SmallMoney) {
        const bool money = to.type == SqlType::Money || to.type == SqlType::SmallMoney;
        uint8_t scale = money ? 4 : to.scale;
        uint8_t precision = money ? 19 : (to.precision ? to.precision : 18);
        DecimalValue d;
        if (v.is<std::string>()) {
            std::string s = trimmed(v.get<std::string>(), true, true);
            if (money && !s.empty() && s[0] == '$') {
                s.erase(0, 1);
            }
            if (!DecimalValue::parse(s, d)) {
                throw SqlError(
                    money ? 235 : 8114, 16,
                    money ? "Cannot convert a char value to money. The char value has incorrect syntax."
                          : "Error converting data type " + fromWord + " to numeric.");
            }
        } else if (v.is<DecimalValue>()) {
            d = v.get<DecimalValue>();
        } else if (v.is<double>()) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.*f", int(scale), v.get<double>());
            DecimalValue::parse(buf, d);
        } else if (v.is<int64_t>() || v.is<bool>()) {
            d = DecimalValue{__int128(v.toInt()), 0};
        } else {
            throw SqlError(529, 16,
                           "Explicit conversion from data type " + typeWord(from) + " to " + typeWord(to) +
                               " is not allowed.");
        }
        d = d.rescaled(scale);
        if (integerDigits(d) > precision - scale) {
            throw SqlError(8115, 16,
                           "Arithmetic overflow error converting " + fromWord + " to data type " +
                               (money ? typeWord(to) : std::string("numeric")) + ".");
        }
        return SqlValue(d);
    }
    if (to.type == SqlType::Float || to.type == SqlType::Real) {
        if (v.is<std::string>()) {
            std::string s = trimmed(v.get<std::string>(), true, true);
            char* end = nullptr;
            double d = std::strtod(s.c_str(), &end);
            if (s.empty() || (end && *end)) {
                throw SqlError(8114, 16, "Error converting data type " + fromWord + " to float.");
            }
            return SqlValue(d);
        }
        return SqlValue(v.toDouble());
    }
    if (isDateType(to.type)) {
        DateTimeValue d;
        if (v.is<DateTimeValue>()) {
            d = v.get<DateTimeValue>();
        } else if (v.is<std::string>()) {
            if (!parseDate(v.get<std::string>(), style, d)) {
                throw SqlError(241, 16,
                               "Conversion failed when converting date and/or time from character string.");
            }
        } else if (v.is<int64_t>() && (to.type == SqlType::DateTime || to.type == SqlType::SmallDateTime)) {
            d = DateTimeValue{int32_t(v.toInt()), 0};
        } else {
            throw SqlError(529, 16,
                           "Explicit conversion from data type " + typeWord(from) + " to " + typeWord(to) +
                               " is not allowed.");
        }
        if (to.type == SqlType::Date) {
            d.micros = 0;
        } else if (to.type == SqlType::DateTime) {
            d.micros = (d.micros + 500) / 1000 * 1000; // whole milliseconds
        } else if (to.type == SqlType::SmallDateTime) {
            d.micros = (d.micros + 30000000) / 60000000 * 60000000;
        }
        return SqlValue(d);
    }
    return Evaluator::coerce(v, to);
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
    if (f == "min" || f == "max" || f == "upper" || f == "lower" || f == "abs" || f == "isnull" ||
        f == "nullif" || f == "ltrim" || f == "rtrim" || f == "trim")
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
    if (f == "scope_identity" || f == "ident_current")
        return ColumnType::of(SqlType::Numeric, 0, 38, 0);
    return std::nullopt;
}

std::optional<SqlValue> BuiltinFunctions::call(const Expr& e, const std::vector<SqlValue>& a,
                                               const EvalScope& scope) {
    const std::string& f = e.name;
    auto anyNull = [&]() {
        return std::any_of(a.begin(), a.end(), [](const SqlValue& v) { return v.isNull(); });
    };
    auto text = [&](size_t i) { return a[i].toText(); };
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
    if (f == "len" || f == "datalength") {
        requireArgs(e, 1, 1);
        if (a[0].isNull()) {
            return SqlValue::null();
        }
        ColumnType t = argType(e, 0, scope);
        if (f == "len") {
            std::string s =
                a[0].is<std::string>() ? a[0].get<std::string>() : cast(a[0], t, nvarchar(4000), -1).toText();
            return SqlValue(int64_t(characterCount(trimmed(s, false, true))));
        }
        if (a[0].is<std::string>()) {
            size_t n = characterCount(a[0].get<std::string>());
            return SqlValue(
                int64_t(t.isUnicode() ? 2 * n : (t.isCharacter() ? a[0].get<std::string>().size() : 2 * n)));
        }
        if (a[0].is<Bytes>()) {
            return SqlValue(int64_t(a[0].get<Bytes>().size()));
        }
        switch (t.type) {
        case SqlType::Bit:
        case SqlType::TinyInt:
            return SqlValue(int64_t(1));
        case SqlType::SmallInt:
            return SqlValue(int64_t(2));
        case SqlType::Int:
        case SqlType::Real:
        case SqlType::SmallMoney:
        case SqlType::SmallDateTime:
            return SqlValue(int64_t(4));
        case SqlType::UniqueIdentifier:
            return SqlValue(int64_t(16));
        case SqlType::Date:
            return SqlValue(int64_t(3));
        case SqlType::Decimal:
        case SqlType::Numeric:
            return SqlValue(int64_t(t.precision <= 9    ? 5
                                    : t.precision <= 19 ? 9
                                    : t.precision <= 28 ? 13
                                                        : 17));
        default:
            return SqlValue(int64_t(8));
        }
    }
    if (f == "upper" || f == "lower" || f == "ltrim" || f == "rtrim" || f == "trim") {
        requireArgs(e, 1, 1);
        if (a[0].isNull())
            return SqlValue::null();
        std::string s = text(0);
        if (f == "upper")
            return SqlValue(upper(s));
        if (f == "lower")
            return SqlValue(lower(s));
        return SqlValue(trimmed(s, f != "rtrim", f != "ltrim"));
    }
    if (f == "substring" || f == "left" || f == "right") {
        requireArgs(e, f == "substring" ? 3 : 2, f == "substring" ? 3 : 2);
        if (anyNull())
            return SqlValue::null();
        auto c = chars(text(0));
        int64_t n = a.back().toInt();
        if (n < 0) {
            throw SqlError(536, 16, "Invalid length parameter passed to the " + f + " function.");
        }
        if (f == "left")
            return SqlValue(join(c, 0, size_t(n)));
        if (f == "right")
            return SqlValue(join(c, c.size() > size_t(n) ? c.size() - size_t(n) : 0, size_t(n)));
        int64_t start = a[1].toInt(), end = start + n; // characters [start, end) counted from 1
        start = std::max<int64_t>(start, 1);
        if (end <= start)
            return SqlValue(std::string());
        return SqlValue(join(c, size_t(start - 1), size_t(end - start)));
    }
    if (f == "charindex") {
        requireArgs(e, 2, 3);
        if (anyNull())
            return SqlValue::null();
        std::string hay = text(1);
        auto hc = chars(hay);
        int64_t start = a.size() > 2 ? std::max<int64_t>(a[2].toInt(), 1) : 1;
        size_t byteStart = join(hc, 0, size_t(start - 1)).size();
        size_t at = findNoCase(hay, text(0), byteStart);
        return SqlValue(int64_t(at == std::string::npos ? 0 : characterCount(hay.substr(0, at)) + 1));
    }
    if (f == "replace") {
        requireArgs(e, 3, 3);
        if (anyNull())
            return SqlValue::null();
        std::string s = text(0), find = text(1), rep = text(2), out;
        if (find.empty())
            return SqlValue(s);
        size_t from = 0;
        for (size_t at; (at = findNoCase(s, find, from)) != std::string::npos; from = at + find.size()) {
            out += s.substr(from, at - from) + rep;
        }
        return SqlValue(out + s.substr(from));
    }
    if (f == "replicate") {
        requireArgs(e, 2, 2);
        if (anyNull() || a[1].toInt() < 0)
            return SqlValue::null();
        std::string out;
        for (int64_t i = 0; i < a[1].toInt() && out.size() < 8000; ++i)
            out += text(0);
        return SqlValue(out);
    }
    if (f == "stuff") {
        requireArgs(e, 4, 4);
        if (a[0].isNull() || a[1].isNull() || a[2].isNull())
            return SqlValue::null();
        auto c = chars(text(0));
        int64_t start = a[1].toInt(), n = a[2].toInt();
        if (start < 1 || start > int64_t(c.size()) || n < 0)
            return SqlValue::null();
        return SqlValue(join(c, 0, size_t(start - 1)) + (a[3].isNull() ? "" : text(3)) +
                        join(c, size_t(std::min<int64_t>(start - 1 + n, int64_t(c.size()))), c.size()));
    }
    if (f == "getdate" || f == "getutcdate" || f == "current_timestamp" || f == "sysdatetime" ||
        f == "sysutcdatetime") {
        DateTimeValue now = a.empty() ? DateTimeValue{} : DateTimeValue{};
        auto t = std::chrono::system_clock::now().time_since_epoch();
        int64_t micros = std::chrono::duration_cast<std::chrono::microseconds>(t).count();
        // 1970-01-01 is day 25567 after 1900-01-01.
        now.days = int32_t(micros / 86400000000LL + 25567);
        now.micros = micros % 86400000000LL;
        if (f == "getdate" || f == "getutcdate" || f == "current_timestamp")
            now.micros = now.micros / 1000 * 1000;
        return SqlValue(now);
    }
    if (f == "dateadd" || f == "datediff" || f == "datepart" || f == "datename") {
        requireArgs(e, f == "datepart" || f == "datename" ? 2 : 3,
                    f == "datepart" || f == "datename" ? 2 : 3);
        if (anyNull())
            return SqlValue::null();
        std::string part = text(0);
        if (f == "dateadd") {
            ColumnType t = argType(e, 2, scope);
            int64_t n =
                a[1].is<double>() || a[1].is<DecimalValue>() ? int64_t(a[1].toDouble()) : a[1].toInt();
            return SqlValue(addTo(part, n, toDate(a[2], t)));
        }
        if (f == "datediff")
            return SqlValue(
                diff(part, toDate(a[1], argType(e, 1, scope)), toDate(a[2], argType(e, 2, scope))));
        DateTimeValue d = toDate(a[1], argType(e, 1, scope));
        int64_t v = partOf(part, d);
        if (f == "datename") {
            std::string p = lower(part);
            if (p == "month" || p == "mm" || p == "m")
                return SqlValue(std::string(kMonths[v - 1]));
            if (p == "weekday" || p == "dw")
                return SqlValue(std::string(kDays[weekday(d)]));
            return SqlValue(std::to_string(v));
        }
        return SqlValue(v);
    }
    if (f == "year" || f == "month" || f == "day") {
        requireArgs(e, 1, 1);
        if (a[0].isNull())
            return SqlValue::null();
        return SqlValue(partOf(f, toDate(a[0], argType(e, 0, scope))));
    }
    if (f == "abs" || f == "floor" || f == "ceiling" || f == "round") {
        requireArgs(e, f == "round" ? 2 : 1, f == "round" ? 3 : 1);
        if (anyNull())
            return SqlValue::null();
        ColumnType t = *type(e, scope);
        if (a[0].is<int64_t>() || a[0].is<bool>()) {
            int64_t v = a[0].toInt();
            if (f == "abs")
                return SqlValue(checkedInt(v < 0 ? -__int128(v) : v, t));
            if (f == "round") {
                int64_t digits = a[1].toInt();
                if (digits >= 0)
                    return SqlValue(v);
                __int128 p = 1;
                for (int64_t i = 0; i < -digits && i < 19; ++i)
                    p *= 10;
                __int128 r = (v < 0 ? -((-__int128(v) + p / 2) / p) : (__int128(v) + p / 2) / p) * p;
                return SqlValue(checkedInt(r, t));
            }
            return SqlValue(v);
        }
        if (a[0].is<DecimalValue>()) {
            DecimalValue d = a[0].get<DecimalValue>();
            if (f == "abs") {
                d.unscaled = d.unscaled < 0 ? -d.unscaled : d.unscaled;
                return SqlValue(d);
            }
            if (f == "round") {
                int64_t digits = std::clamp<int64_t>(a[1].toInt(), -30, d.scale);
                DecimalValue r;
                if (digits >= 0) {
                    r = d.rescaled(uint8_t(digits)).rescaled(d.scale);
                } else {
                    DecimalValue whole = d.rescaled(0);
                    __int128 p = 1;
                    for (int64_t i = 0; i < -digits; ++i)
                        p *= 10;
                    __int128 u = whole.unscaled;
                    u = (u < 0 ? -((-u + p / 2) / p) : (u + p / 2) / p) * p;
                    r = DecimalValue{u, 0}.rescaled(d.scale);
                }
                return SqlValue(r);
            }
            __int128 u = d.unscaled, p = 1;
            for (int i = 0; i < d.scale; ++i)
                p *= 10;
            __int128 q = u / p;
            if (f == "floor" && u < 0 && u % p != 0)
                --q;
            if (f == "ceiling" && u > 0 && u % p != 0)
                ++q;
            DecimalValue r{q, 0};
            return SqlValue(t.scale ? r.rescaled(t.scale) : r);
        }
        double v = a[0].is<std::string>()
                       ? cast(a[0], argType(e, 0, scope), ColumnType::of(SqlType::Float), -1).toDouble()
                       : a[0].toDouble();
        if (f == "abs")
            return SqlValue(std::fabs(v));
        if (f == "floor")
            return SqlValue(std::floor(v));
        if (f == "ceiling")
            return SqlValue(std::ceil(v));
        double p = std::pow(10.0, double(a[1].toInt()));
        return SqlValue(std::round(v * p) / p);
    }
    if (f == "newid") {
        static std::mt19937_64 random{std::random_device{}()};
        GuidValue g;
        for (auto& b : g.bytes)
            b = uint8_t(random() & 0xFF);
        g.bytes[6] = uint8_t((g.bytes[6] & 0x0F) | 0x40);
        g.bytes[8] = uint8_t((g.bytes[8] & 0x3F) | 0x80);
        return SqlValue(g);
    }
    return std::nullopt;
}

} // namespace sqlsim::model
