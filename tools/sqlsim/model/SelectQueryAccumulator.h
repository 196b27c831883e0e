#pragma once
// An aggregate's running state (count, sum, avg, min, max), shared by grouping and window functions.
#include "SelectQueryParts.h"

#include "BuiltinFunctions.h"

#include <unordered_map>

namespace sqlsim::model::selectparts {

// An aggregate's running state for one group.
struct Accumulator {
    int64_t count = 0;
    __int128 intSum = 0;
    DecimalValue decSum;
    double floatSum = 0;
    SqlValue best;
    std::unordered_multimap<uint64_t, SqlValue> distinct;

    void add(const Expr& e, const SqlValue& v, const ColumnType& argType) {
        if (v.isNull()) {
            return;
        }
        if (e.negated) { // count(distinct ...) and the like
            uint64_t h = hashValue(v);
            auto range = distinct.equal_range(h);
            for (auto it = range.first; it != range.second; ++it) {
                if (sameValue(it->second, v)) {
                    return;
                }
            }
            distinct.emplace(h, v);
        }
        ++count;
        if (e.name == "sum" || e.name == "avg") {
            if (v.is<int64_t>() || v.is<bool>()) {
                intSum += v.toInt();
            } else if (v.is<DecimalValue>()) {
                DecimalValue d = v.get<DecimalValue>();
                uint8_t scale = std::max(d.scale, decSum.scale);
                decSum = DecimalValue{decSum.rescaled(scale).unscaled + d.rescaled(scale).unscaled, scale};
            } else if (v.is<std::string>()) {
                throw SqlError(8117, 16,
                               "Operand data type " + BuiltinFunctions::typeWord(argType) +
                                   " is invalid for " + e.name + " operator.");
            } else {
                floatSum += v.toDouble();
            }
        } else if (e.name == "min" || e.name == "max") {
            auto c = Evaluator::compare(v, best);
            if (best.isNull() || (e.name == "min" && c && *c < 0) || (e.name == "max" && c && *c > 0)) {
                best = v;
            }
        }
    }

    SqlValue result(const Expr& e, const ColumnType& type) const {
        if (e.name == "count" || e.name == "count_big") {
            if (e.name == "count" && count > 2147483647LL) {
                throw SqlError(8115, 16, "Arithmetic overflow error converting expression to data type int.");
            }
            return SqlValue(count);
        }
        if (e.name == "min" || e.name == "max") {
            return best;
        }
        if (count == 0) {
            return SqlValue::null();
        }
        const bool avg = e.name == "avg";
        switch (type.type) {
        case SqlType::Int:
        case SqlType::BigInt: {
            __int128 r = avg ? intSum / count : intSum;
            if ((type.type == SqlType::Int && (r > 2147483647LL || r < -2147483648LL)) || r > INT64_MAX ||
                r < INT64_MIN) {
                throw SqlError(8115, 16,
                               "Arithmetic overflow error converting expression to data type " +
                                   BuiltinFunctions::typeWord(type) + ".");
            }
            return SqlValue(int64_t(r));
        }
        case SqlType::Decimal:
        case SqlType::Numeric:
        case SqlType::Money:
        case SqlType::SmallMoney: {
            const uint8_t scale =
                type.type == SqlType::Money || type.type == SqlType::SmallMoney ? 4 : type.scale;
            DecimalValue s = decSum;
            if (!avg) {
                return SqlValue(s.rescaled(scale));
            }
            DecimalValue wide = s.rescaled(uint8_t(scale + 1));
            return SqlValue(DecimalValue{wide.unscaled / count, uint8_t(scale + 1)}.rescaled(scale));
        }
        default:
            return SqlValue(avg ? floatSum / double(count) : floatSum);
        }
    }
};

} // namespace sqlsim::model::selectparts
