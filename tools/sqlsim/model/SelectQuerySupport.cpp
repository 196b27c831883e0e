#include "SelectQueryParts.h"

#include "BuiltinFunctions.h"
#include "Collation.h"
#include "Names.h"

#include <cmath>
#include <unordered_map>

namespace sqlsim::model::selectparts {

bool isClauseWord(const Token& t) {
    for (const char* w :
         {"from",   "where",    "order",  "group",     "having",  "union",     "into",        "join",
          "inner",  "left",     "right",  "full",      "cross",   "outer",     "on",          "select",
          "insert", "update",   "delete", "exec",      "execute", "print",     "use",         "set",
          "drop",   "create",   "alter",  "raiserror", "go",      "backup",    "restore",     "begin",
          "commit", "rollback", "option", "for",       "except",  "intersect", "with",        "else",
          "end",    "if",       "while",  "return",    "declare", "break",     "continue",    "truncate",
          "merge",  "waitfor",  "over",   "apply",     "pivot",   "unpivot",   "tablesample", "save",
          "grant",  "revoke",   "deny"}) {
        if (t.isWord(w)) {
            return true;
        }
    }
    return false;
}

[[noreturn]] void notSupported() {
    throw SqlError(50000, 16, "__not_supported__");
}

void walk(const Expr& e, const std::function<void(const Expr&)>& f) {
    f(e);
    if (e.kind == Expr::Kind::Subquery || e.kind == Expr::Kind::Exists) {
        return;
    }
    if (Evaluator::isAggregate(e)) {
        return; // its argument is walked by the aggregate itself
    }
    for (const auto& a : e.args) {
        walk(*a, f);
    }
}

void walkAll(const Expr& e, const std::function<void(const Expr&)>& f) {
    f(e);
    if (e.kind == Expr::Kind::Subquery || e.kind == Expr::Kind::Exists) {
        return;
    }
    const bool datePart = e.kind == Expr::Kind::Function && BuiltinFunctions::takesDatePart(e.name);
    for (size_t i = datePart ? 1 : 0; i < e.args.size(); ++i) {
        walkAll(*e.args[i], f); // dateadd(day, ...): the part is a word, not a column
    }
}

uint64_t mix(uint64_t h, uint64_t v) {
    return (h ^ v) * 0x100000001b3ULL + (h >> 7);
}

uint64_t hashValue(const SqlValue& v) {
    if (v.isNull()) {
        return 0x9e3779b97f4a7c15ULL;
    }
    if (v.is<int64_t>() || v.is<bool>()) {
        return std::hash<int64_t>()(v.toInt());
    }
    if (v.is<DecimalValue>() || v.is<double>()) {
        double d = v.toDouble();
        if (d == std::floor(d) && std::fabs(d) < 9e18) {
            return std::hash<int64_t>()(int64_t(d));
        }
        return std::hash<double>()(d);
    }
    if (v.is<std::string>()) {
        return std::hash<std::string>()(Collation::key(v.get<std::string>()));
    }
    if (v.is<DateTimeValue>()) {
        return std::hash<int64_t>()(int64_t(v.get<DateTimeValue>().days) * 86400000000LL +
                                    v.get<DateTimeValue>().micros);
    }
    return std::hash<std::string>()(lower(v.toText()));
}

bool sameValue(const SqlValue& a, const SqlValue& b) {
    if (a.isNull() || b.isNull()) {
        return a.isNull() && b.isNull();
    }
    auto c = Evaluator::compare(a, b);
    return c && *c == 0;
}

bool sameRow(const Row& a, const Row& b) {
    for (size_t i = 0; i < a.size(); ++i) {
        if (!sameValue(a[i], b[i])) {
            return false;
        }
    }
    return true;
}

uint64_t hashRow(const Row& r) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (const SqlValue& v : r) {
        h = mix(h, hashValue(v));
    }
    return h;
}

void removeDuplicates(std::vector<Row>& rows, std::vector<size_t>* kept) {
    std::unordered_multimap<uint64_t, size_t> seen;
    std::vector<Row> out;
    for (size_t i = 0; i < rows.size(); ++i) {
        uint64_t h = hashRow(rows[i]);
        auto range = seen.equal_range(h);
        bool dup = false;
        for (auto it = range.first; it != range.second && !dup; ++it) {
            dup = sameRow(out[it->second], rows[i]);
        }
        if (!dup) {
            seen.emplace(h, out.size());
            out.push_back(std::move(rows[i]));
            if (kept) {
                kept->push_back(i);
            }
        }
    }
    rows = std::move(out);
}

int compareForSort(const SqlValue& x, const SqlValue& y) {
    if (x.isNull() || y.isNull()) {
        return x.isNull() ? (y.isNull() ? 0 : -1) : 1; // NULLs first
    }
    return Evaluator::compare(x, y).value_or(0);
}

} // namespace sqlsim::model::selectparts
