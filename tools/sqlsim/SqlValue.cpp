#include "SqlValue.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sqlsim {

namespace {

// Days between 1970-01-01 and the civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(int64_t(yoe) + era * 400 + (m <= 2));
}

const int64_t kDays1900 = daysFromCivil(1900, 1, 1);

std::string int128Text(__int128 v) {
    bool neg = v < 0;
    unsigned __int128 u = neg ? (unsigned __int128)(-(v + 1)) + 1 : (unsigned __int128)v;
    std::string s;
    do {
        s.insert(s.begin(), char('0' + int(u % 10)));
        u /= 10;
    } while (u != 0);
    if (neg) {
        s.insert(s.begin(), '-');
    }
    return s;
}

} // namespace

bool ColumnType::isCharacter() const {
    switch (type) {
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::NVarChar:
    case SqlType::Text:
    case SqlType::NText:
        return true;
    default:
        return false;
    }
}

std::string ColumnType::sqlName() const {
    auto withLength = [this](const char* name) {
        return std::string(name) + "(" + (length == kMax ? std::string("max") : std::to_string(length)) + ")";
    };
    switch (type) {
    case SqlType::Bit:
        return "bit";
    case SqlType::TinyInt:
        return "tinyint";
    case SqlType::SmallInt:
        return "smallint";
    case SqlType::Int:
        return "int";
    case SqlType::BigInt:
        return "bigint";
    case SqlType::Real:
        return "real";
    case SqlType::Float:
        return "float";
    case SqlType::Decimal:
        return "decimal(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    case SqlType::Numeric:
        return "numeric(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    case SqlType::Money:
        return "money";
    case SqlType::SmallMoney:
        return "smallmoney";
    case SqlType::DateTime:
        return "datetime";
    case SqlType::SmallDateTime:
        return "smalldatetime";
    case SqlType::Date:
        return "date";
    case SqlType::Time:
        return "time";
    case SqlType::DateTime2:
        return "datetime2";
    case SqlType::Char:
        return withLength("char");
    case SqlType::VarChar:
        return withLength("varchar");
    case SqlType::NChar:
        return withLength("nchar");
    case SqlType::NVarChar:
        return withLength("nvarchar");
    case SqlType::Text:
        return "text";
    case SqlType::NText:
        return "ntext";
    case SqlType::UniqueIdentifier:
        return "uniqueidentifier";
    case SqlType::Binary:
        return withLength("binary");
    case SqlType::VarBinary:
        return withLength("varbinary");
    case SqlType::Image:
        return "image";
    case SqlType::Variant:
        return "sql_variant";
    }
    return "sql_variant";
}

DateTimeValue DateTimeValue::fromParts(int y, int mo, int d, int h, int mi, int s, int ms) {
    DateTimeValue v;
    v.days = int32_t(daysFromCivil(y, unsigned(mo), unsigned(d)) - kDays1900);
    v.micros = ((int64_t(h) * 60 + mi) * 60 + s) * 1000000 + int64_t(ms) * 1000;
    return v;
}

void DateTimeValue::toParts(int& y, int& mo, int& d, int& h, int& mi, int& s, int& ms) const {
    civilFromDays(int64_t(days) + kDays1900, y, mo, d);
    int64_t t = micros / 1000;
    ms = int(t % 1000);
    t /= 1000;
    s = int(t % 60);
    t /= 60;
    mi = int(t % 60);
    h = int(t / 60);
}

std::string DateTimeValue::text() const {
    int y, mo, d, h, mi, s, ms;
    toParts(y, mo, d, h, mi, s, ms);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
    return buf;
}

namespace {

// "Jan  1 2004  9:00AM", "Jan 1 2004", "Jan 1 2004 13:05:10": the month by its English name, then
// the day and the year, and a time on a 12- or 24-hour clock (the default style of a date as text).
bool parseMonthName(const std::string& t, DateTimeValue& out) {
    static const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                   "jul", "aug", "sep", "oct", "nov", "dec"};
    if (t.size() < 3) {
        return false;
    }
    int mo = 0;
    for (int k = 0; k < 12 && !mo; ++k) {
        bool same = true;
        for (int c = 0; c < 3; ++c) {
            same = same && std::tolower(static_cast<unsigned char>(t[size_t(c)])) == months[k][c];
        }
        mo = same ? k + 1 : 0;
    }
    size_t i = 3;
    while (i < t.size() && std::isalpha(static_cast<unsigned char>(t[i]))) {
        ++i; // the full name
    }
    int d = 0, y = 0, h = 0, mi = 0, sec = 0, n = 0;
    if (!mo || std::sscanf(t.c_str() + i, "%2d %4d%n", &d, &y, &n) != 2 || y < 1753) {
        return false;
    }
    const char* rest = t.c_str() + i + n;
    while (*rest == ' ') {
        ++rest;
    }
    int ms = 0;
    if (*rest) {
        int m = 0;
        if (std::sscanf(rest, "%2d:%2d%n", &h, &mi, &m) != 2) {
            return false;
        }
        rest += m;
        if (*rest == ':') {
            ++rest;
            int k = 0;
            if (std::sscanf(rest, "%2d%n", &sec, &k) != 1) {
                return false;
            }
            rest += k;
            if (*rest == '.' || *rest == ':') {
                ++rest;
                if (std::sscanf(rest, "%3d%n", &ms, &k) != 1) {
                    return false;
                }
                rest += k;
            }
        }
        while (*rest == ' ') {
            ++rest;
        }
        const bool pm = (rest[0] == 'P' || rest[0] == 'p') && (rest[1] == 'M' || rest[1] == 'm');
        const bool am = (rest[0] == 'A' || rest[0] == 'a') && (rest[1] == 'M' || rest[1] == 'm');
        if (am || pm) {
            if (h < 1 || h > 12) {
                return false;
            }
            h = h % 12 + (pm ? 12 : 0);
            rest += 2;
        }
        if (*rest) {
            return false;
        }
    }
    if (d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59) {
        return false;
    }
    out = DateTimeValue::fromParts(y, mo, d, h, mi, sec, ms);
    return true;
}

} // namespace

bool DateTimeValue::parse(const std::string& text, DateTimeValue& out) {
    {
        size_t first = text.find_first_not_of(' ');
        if (first != std::string::npos && std::isalpha(static_cast<unsigned char>(text[first]))) {
            return parseMonthName(text.substr(first), out);
        }
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    char frac[16] = {0};
    int n = 0;
    std::string t = text;
    for (char& c : t) {
        if (c == 'T' || c == '/') {
            c = c == 'T' ? ' ' : '-';
        }
    }
    if (std::sscanf(t.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &n) != 3) {
        if (t.size() < 8 || std::sscanf(t.c_str(), "%4d%2d%2d%n", &y, &mo, &d, &n) != 3) {
            return false;
        }
    }
    const char* rest = t.c_str() + n;
    while (*rest == ' ') {
        ++rest;
    }
    if (*rest) {
        int got = std::sscanf(rest, "%2d:%2d:%2d.%15[0-9]", &h, &mi, &sec, frac);
        if (got < 2) {
            return false;
        }
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59) {
        return false;
    }
    int64_t micros = 0;
    for (int k = 0, scale = 100000; k < 6; ++k, scale /= 10) {
        if (frac[k] == 0) {
            break;
        }
        micros += (frac[k] - '0') * scale;
    }
    out = fromParts(y, mo, d, h, mi, sec, 0);
    out.micros += micros;
    return true;
}

bool DecimalValue::parse(const std::string& text, DecimalValue& out) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool neg = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        neg = text[i] == '-';
        ++i;
    }
    __int128 v = 0;
    int scale = 0;
    bool dot = false, digits = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' && !dot) {
            dot = true;
        } else if (c >= '0' && c <= '9') {
            if (v > (__int128(1) << 120)) {
                return false;
            }
            v = v * 10 + (c - '0');
            digits = true;
            if (dot) {
                ++scale;
            }
        } else if (c == ' ') {
            break;
        } else {
            return false;
        }
    }
    if (!digits || scale > 38) {
        return false;
    }
    out.unscaled = neg ? -v : v;
    out.scale = uint8_t(scale);
    return true;
}

DecimalValue DecimalValue::rescaled(uint8_t newScale) const {
    DecimalValue r = *this;
    while (r.scale < newScale) {
        r.unscaled *= 10;
        ++r.scale;
    }
    while (r.scale > newScale) {
        // Rounds half away from zero, as the server does on conversion.
        __int128 q = r.unscaled / 10, rem = r.unscaled % 10;
        if (rem >= 5) {
            ++q;
        } else if (rem <= -5) {
            --q;
        }
        r.unscaled = q;
        --r.scale;
    }
    return r;
}

std::string DecimalValue::text() const {
    std::string digits = int128Text(unscaled < 0 ? -unscaled : unscaled);
    if (scale > 0) {
        while (digits.size() <= scale) {
            digits.insert(digits.begin(), '0');
        }
        digits.insert(digits.end() - scale, '.');
    }
    return (unscaled < 0 ? "-" : "") + digits;
}

double DecimalValue::toDouble() const {
    return double(unscaled) / std::pow(10.0, scale);
}

bool GuidValue::parse(const std::string& text, GuidValue& out) {
    std::string hex;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            hex.push_back(c);
        } else if (c != '-' && c != '{' && c != '}') {
            return false;
        }
    }
    if (hex.size() != 32) {
        return false;
    }
    for (int k = 0; k < 16; ++k) {
        out.bytes[k] = uint8_t(std::strtoul(hex.substr(k * 2, 2).c_str(), nullptr, 16));
    }
    return true;
}

std::string GuidValue::text() const {
    static const char* hex = "0123456789ABCDEF";
    std::string s;
    for (int k = 0; k < 16; ++k) {
        if (k == 4 || k == 6 || k == 8 || k == 10) {
            s.push_back('-');
        }
        s.push_back(hex[bytes[k] >> 4]);
        s.push_back(hex[bytes[k] & 15]);
    }
    return s;
}

int64_t SqlValue::toInt() const {
    switch (m_v.index()) {
    case 1:
        return std::get<bool>(m_v) ? 1 : 0;
    case 2:
        return std::get<int64_t>(m_v);
    case 3:
        return int64_t(std::llround(std::get<double>(m_v)));
    case 4:
        return int64_t(std::get<DecimalValue>(m_v).rescaled(0).unscaled);
    case 5:
        return std::strtoll(std::get<std::string>(m_v).c_str(), nullptr, 10);
    case 9:
        return base().toInt();
    default:
        return 0;
    }
}

double SqlValue::toDouble() const {
    switch (m_v.index()) {
    case 1:
        return std::get<bool>(m_v) ? 1 : 0;
    case 2:
        return double(std::get<int64_t>(m_v));
    case 3:
        return std::get<double>(m_v);
    case 4:
        return std::get<DecimalValue>(m_v).toDouble();
    case 5:
        return std::strtod(std::get<std::string>(m_v).c_str(), nullptr);
    case 9:
        return base().toDouble();
    default:
        return 0;
    }
}

std::string SqlValue::toText() const {
    switch (m_v.index()) {
    case 0:
        return "NULL";
    case 1:
        return std::get<bool>(m_v) ? "1" : "0";
    case 2:
        return std::to_string(std::get<int64_t>(m_v));
    case 3: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.17g", std::get<double>(m_v));
        return buf;
    }
    case 4:
        return std::get<DecimalValue>(m_v).text();
    case 5:
        return std::get<std::string>(m_v);
    case 6: {
        static const char* hex = "0123456789ABCDEF";
        std::string s = "0x";
        for (uint8_t b : std::get<Bytes>(m_v)) {
            s.push_back(hex[b >> 4]);
            s.push_back(hex[b & 15]);
        }
        return s;
    }
    case 7:
        return std::get<DateTimeValue>(m_v).text();
    case 8:
        return std::get<GuidValue>(m_v).text();
    case 9:
        return base().toText();
    }
    return {};
}

bool VariantValue::operator==(const VariantValue& other) const {
    return type == other.type && *value == *other.value;
}

ColumnType SqlValue::variantType() const {
    if (is<VariantValue>()) {
        return get<VariantValue>().type;
    }
    if (is<bool>()) {
        return ColumnType::of(SqlType::Bit);
    }
    if (is<int64_t>()) {
        int64_t n = get<int64_t>();
        return ColumnType::of(n >= INT32_MIN && n <= INT32_MAX ? SqlType::Int : SqlType::BigInt);
    }
    if (is<double>()) {
        return ColumnType::of(SqlType::Float);
    }
    if (is<DecimalValue>()) {
        return ColumnType::of(SqlType::Numeric, 0, 38, get<DecimalValue>().scale);
    }
    if (is<DateTimeValue>()) {
        return ColumnType::of(SqlType::DateTime);
    }
    if (is<GuidValue>()) {
        return ColumnType::of(SqlType::UniqueIdentifier);
    }
    if (is<Bytes>()) {
        return ColumnType::of(SqlType::VarBinary, int(std::max<size_t>(1, get<Bytes>().size())));
    }
    size_t chars = 0;
    for (unsigned char c : toText()) {
        chars += (c & 0xC0) != 0x80 ? 1 : 0;
    }
    return ColumnType::of(SqlType::NVarChar, int(std::max<size_t>(1, chars)));
}

SqlValue SqlValue::variant(const SqlValue& v, const ColumnType& type) {
    if (v.isNull() || v.is<VariantValue>()) {
        return v;
    }
    return SqlValue(VariantValue{std::make_shared<const SqlValue>(v), type});
}

} // namespace sqlsim
