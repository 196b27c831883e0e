#include "SelectQueryParts.h"

#include "SelectQueryAccumulator.h"

#include <unordered_map>

namespace sqlsim::model {

using namespace selectparts;

void SelectQuery::group(Pass& p) {
    Core& core = p.core;
    EvalScope& scope = p.scope;
    auto setTuple = [&](const Row* const* t) { p.setTuple(t); };
    auto tupleAt = [&](size_t n) { return p.tupleAt(n); };
    const size_t width = p.width;
    struct Group {
        Row key;
        size_t first;
        std::vector<Accumulator> acc;
    };
    std::vector<Group> groups;
    std::unordered_multimap<uint64_t, size_t> index;
    std::vector<ColumnType> argTypes;
    for (const Expr* a : core.aggregates) {
        argTypes.push_back(a->args.empty() || a->args[0]->kind == Expr::Kind::Star
                               ? ColumnType::of(SqlType::Int)
                               : Evaluator::typeOf(*a->args[0], scope));
    }
    Row key;
    for (size_t n : p.kept) {
        setTuple(tupleAt(n));
        key.clear();
        for (const auto& g : core.groupBy) {
            key.push_back(Evaluator::eval(*g, scope));
        }
        uint64_t h = hashRow(key);
        size_t gi = SIZE_MAX;
        auto range = index.equal_range(h);
        for (auto it = range.first; it != range.second; ++it) {
            if (sameRow(groups[it->second].key, key)) {
                gi = it->second;
                break;
            }
        }
        if (gi == SIZE_MAX) {
            gi = groups.size();
            index.emplace(h, gi);
            groups.push_back(Group{key, n, std::vector<Accumulator>(core.aggregates.size())});
        }
        Group& g = groups[gi];
        for (size_t a = 0; a < core.aggregates.size(); ++a) {
            const Expr& agg = *core.aggregates[a];
            if (agg.args.empty() || agg.args[0]->kind == Expr::Kind::Star) {
                ++g.acc[a].count;
            } else {
                g.acc[a].add(agg, Evaluator::eval(*agg.args[0], scope), argTypes[a]);
            }
        }
    }
    if (groups.empty() && core.groupBy.empty()) {
        groups.push_back(Group{{}, SIZE_MAX, std::vector<Accumulator>(core.aggregates.size())});
    }
    std::vector<SqlValue> values;
    scope.aggregate = [&](const Expr& e) -> std::optional<SqlValue> {
        for (size_t a = 0; a < core.aggregates.size(); ++a) {
            if (core.aggregates[a] == &e) {
                return values[a];
            }
        }
        return std::nullopt;
    };
    std::vector<const Row*> none(width, nullptr);
    for (Group& g : groups) {
        setTuple(g.first == SIZE_MAX ? none.data() : tupleAt(g.first));
        values.clear();
        for (size_t a = 0; a < core.aggregates.size(); ++a) {
            values.push_back(
                g.acc[a].result(*core.aggregates[a], Evaluator::typeOf(*core.aggregates[a], scope)));
        }
        if (core.having && !Evaluator::isTrue(*core.having, scope)) {
            continue;
        }
        Row r;
        project(p, r);
        p.keys.push_back(orderKeys(p, r));
        p.out.rows.push_back(std::move(r));
    }
    scope.aggregate = nullptr; // it reads this function's values
}

} // namespace sqlsim::model
