#include "BuiltinFunctions.h"

#include "FunctionSupport.h"
#include "Names.h"
#include "SqlError.h"

#include <algorithm>
#include <chrono>

namespace sqlsim::model {

using namespace builtin;

namespace {

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

} // namespace

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

std::optional<SqlValue> BuiltinFunctions::callDate(const Expr& e, const std::vector<SqlValue>& a,
                                                   const EvalScope& scope) {
    const std::string& f = e.name;
    auto anyNull = [&]() {
        return std::any_of(a.begin(), a.end(), [](const SqlValue& v) { return v.isNull(); });
    };
    auto text = [&](size_t i) { return a[i].toText(); };
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
    return std::nullopt;
}

} // namespace sqlsim::model
