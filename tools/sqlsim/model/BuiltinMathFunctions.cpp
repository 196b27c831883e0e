#include "BuiltinFunctions.h"

#include "FunctionSupport.h"
#include "SqlError.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace sqlsim::model {

using namespace builtin;

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

std::optional<SqlValue> BuiltinFunctions::callMath(const Expr& e, const std::vector<SqlValue>& a,
                                                   const EvalScope& scope) {
    const std::string& f = e.name;
    auto anyNull = [&]() {
        return std::any_of(a.begin(), a.end(), [](const SqlValue& v) { return v.isNull(); });
    };
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
    return std::nullopt;
}

} // namespace sqlsim::model
