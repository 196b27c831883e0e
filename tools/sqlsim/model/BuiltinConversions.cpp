#include "BuiltinFunctions.h"

#include "FunctionSupport.h"
#include "Names.h"
#include "SqlError.h"
#include "TypeInfo.h"

#include "../TdsBuffer.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace sqlsim::model {

using namespace builtin;

namespace {

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

// Whether a value's storage is what a value of the type holds (the static type of an expression is
// not always known exactly).
bool holds(const SqlValue& v, const ColumnType& t) {
    if (t.isCharacter()) {
        return v.is<std::string>();
    }
    if (t.isBinary()) {
        return v.is<Bytes>();
    }
    if (isIntegerType(t.type)) {
        return v.is<int64_t>() || v.is<bool>();
    }
    if (isDateType(t.type)) {
        return v.is<DateTimeValue>();
    }
    switch (t.type) {
    case SqlType::Real:
    case SqlType::Float:
        return v.is<double>();
    case SqlType::Decimal:
    case SqlType::Numeric:
    case SqlType::Money:
    case SqlType::SmallMoney:
        return v.is<DecimalValue>();
    case SqlType::UniqueIdentifier:
        return v.is<GuidValue>();
    default:
        return false;
    }
}

} // namespace

SqlValue BuiltinFunctions::toVariant(const SqlValue& v, const ColumnType& from) {
    ColumnType t = holds(v, from) ? from : v.variantType();
    // Large values and sql_variant itself cannot be kept in a sql_variant.
    if (isMax(t) || t.type == SqlType::Text || t.type == SqlType::NText || t.type == SqlType::Image) {
        throw SqlError(206, 16, "Operand type clash: " + t.sqlName() + " is incompatible with sql_variant");
    }
    if ((t.isCharacter() || t.isBinary()) && t.length <= 0) {
        t.length = v.variantType().length;
    }
    if ((t.type == SqlType::Decimal || t.type == SqlType::Numeric) && t.precision == 0) {
        t.precision = 18;
    }
    return SqlValue::variant(v, t);
}

SqlValue BuiltinFunctions::variantProperty(const SqlValue& v, const SqlValue& property) {
    if (v.isNull() || property.isNull()) {
        return SqlValue::null();
    }
    const ColumnType t = v.variantType();
    const std::string p = lower(property.toText());
    const bool sized = t.isCharacter() || t.isBinary();
    const auto integer = [](int n) { return SqlValue::variant(SqlValue(int64_t(n)), kInt()); };
    if (p == "basetype") {
        return SqlValue::variant(SqlValue(TypeInfo::name(t)), nvarchar(128));
    }
    if (p == "precision") {
        return integer(sized || t.type == SqlType::UniqueIdentifier ? 0 : TypeInfo::precision(t));
    }
    if (p == "scale") {
        return integer(TypeInfo::scale(t));
    }
    if (p == "maxlength") {
        return integer(TypeInfo::storageLength(t));
    }
    if (p == "collation") {
        return t.isCharacter() ? SqlValue::variant(SqlValue("SQL_Latin1_General_CP1_CI_AS"), nvarchar(128))
                               : SqlValue::null();
    }
    if (p == "totalbytes") {
        // The value's bytes, its base type and the properties kept with it.
        const SqlValue& b = v.base();
        int data = TypeInfo::storageLength(t);
        int props = 0;
        if (t.isCharacter()) {
            const std::string text = b.toText();
            data = t.isUnicode() ? int(utf16Units(text)) * 2 : int(toCp1252(text).size());
            props = 7;
        } else if (t.isBinary()) {
            data = int(b.is<Bytes>() ? b.get<Bytes>().size() : 0);
            props = 2;
        } else if (t.type == SqlType::Decimal || t.type == SqlType::Numeric) {
            props = 2;
        } else if (t.type == SqlType::Time || t.type == SqlType::DateTime2) {
            props = 1;
        }
        return integer(2 + props + data);
    }
    return SqlValue::null();
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
    if (v.is<VariantValue>()) {
        // Out of a sql_variant, the value converts from the type it keeps.
        return to.type == SqlType::Variant ? v : cast(v.base(), v.variantType(), to, style);
    }
    if (to.type == SqlType::Variant) {
        return toVariant(v, from);
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

} // namespace sqlsim::model
