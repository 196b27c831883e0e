#include "SelectQueryParts.h"

#include "Names.h"

#include <algorithm>

namespace sqlsim::model {

using namespace selectparts;

void SelectQuery::bind(Core& core) {
    EvalScope s = makeScope(core);
    auto bindColumn = [&](const Expr& e) {
        if (e.kind == Expr::Kind::Star && !e.qualifier.empty()) {
            bool found = std::any_of(core.sources.begin(), core.sources.end(),
                                     [&](const Source& src) { return sameName(src.alias, e.qualifier); });
            if (!found) {
                throw SqlError(4104, 16,
                               "The multi-part identifier \"" + e.qualifier + "\" could not be bound.");
            }
            return;
        }
        if (e.kind != Expr::Kind::Column) {
            return;
        }
        int hits = 0;
        bool aliasFound = e.qualifier.empty();
        for (size_t k = 0; k < core.sources.size(); ++k) {
            if (!e.qualifier.empty()) {
                if (!sameName(e.qualifier, core.sources[k].alias)) {
                    continue;
                }
                aliasFound = true;
            }
            const auto& cols = core.sources[k].columns;
            for (size_t i = 0; i < cols.size(); ++i) {
                if (sameName(cols[i].name, e.name)) {
                    ++hits;
                    e.slot = int(k << 16 | i);
                    e.slotLayout = &core;
                }
            }
        }
        if (hits > 1) {
            throw SqlError(209, 16, "Ambiguous column name '" + e.name + "'.");
        }
        if (hits == 1) {
            return;
        }
        if (m_outer && m_outer->columnType && m_outer->columnType(e.qualifier, e.name)) {
            core.correlated = true;
            return;
        }
        if (!aliasFound) {
            throw SqlError(4104, 16,
                           "The multi-part identifier \"" + e.qualifier + "." + e.name +
                               "\" could not be bound.");
        }
        throw SqlError(207, 16, "Invalid column name '" + e.name + "'.");
    };
    std::vector<const Expr*> roots;
    for (const auto& i : core.items) {
        roots.push_back(i.expr.get());
    }
    for (const auto& o : core.on) {
        if (o) {
            roots.push_back(o.get());
        }
    }
    if (core.where) {
        roots.push_back(core.where.get());
    }
    for (const auto& g : core.groupBy) {
        roots.push_back(g.get());
    }
    if (core.having) {
        roots.push_back(core.having.get());
    }
    for (const Expr* r : roots) {
        walkAll(*r, bindColumn);
    }
    // Aggregates of the select list, having and order by.
    std::vector<const Expr*> aggRoots;
    for (const auto& i : core.items) {
        aggRoots.push_back(i.expr.get());
    }
    if (core.having) {
        aggRoots.push_back(core.having.get());
    }
    if (m_cores.size() == 1) {
        for (const auto& o : m_order) {
            aggRoots.push_back(o.expr.get());
        }
    }
    for (const Expr* r : aggRoots) {
        walk(*r, [&](const Expr& e) {
            if (Evaluator::isAggregate(e)) {
                core.aggregates.push_back(&e);
                for (const auto& a : e.args) {
                    walk(*a, [&](const Expr& inner) {
                        if (Evaluator::isAggregate(inner)) {
                            throw SqlError(
                                130, 16,
                                "Cannot perform an aggregate function on an expression containing an "
                                "aggregate or a subquery.");
                        }
                    });
                }
            }
        });
    }
    if (core.where) {
        walk(*core.where, [&](const Expr& e) {
            if (Evaluator::isAggregate(e)) {
                throw SqlError(
                    147, 15,
                    "An aggregate may not appear in the WHERE clause unless it is in a subquery contained "
                    "in a HAVING clause or a select list, and the column being aggregated is an outer "
                    "reference.");
            }
        });
    }
    core.grouped = !core.groupBy.empty() || !core.aggregates.empty() || core.having;
    if (core.grouped) {
        // Every column outside an aggregate must be one the rows are grouped by.
        auto grouping = [&](const Expr& e) {
            for (const auto& g : core.groupBy) {
                if (g->text == e.text && !e.text.empty()) {
                    return true;
                }
                if (g->kind == Expr::Kind::Column && e.kind == Expr::Kind::Column &&
                    g->slotLayout == e.slotLayout && g->slot == e.slot) {
                    return true;
                }
            }
            return false;
        };
        std::function<void(const Expr&, const char*)> check = [&](const Expr& e, const char* clause) {
            if (Evaluator::isAggregate(e) || e.kind == Expr::Kind::Subquery || e.kind == Expr::Kind::Exists ||
                grouping(e)) {
                return;
            }
            if (e.kind == Expr::Kind::Column && e.slotLayout == &core) {
                const Source& src = core.sources[size_t(e.slot >> 16)];
                throw SqlError(
                    8120, 16,
                    "Column '" + src.alias + "." + src.columns[size_t(e.slot & 0xFFFF)].name +
                        "' is invalid in the " + clause +
                        " because it is not contained in either an aggregate function or the GROUP BY "
                        "clause.");
            }
            if (e.kind == Expr::Kind::Star) {
                const Source& src = core.sources.front();
                throw SqlError(
                    8120, 16,
                    "Column '" + src.alias + "." + src.columns.front().name + "' is invalid in the " +
                        clause +
                        " because it is not contained in either an aggregate function or the GROUP BY "
                        "clause.");
            }
            for (const auto& a : e.args) {
                check(*a, clause);
            }
        };
        for (const auto& i : core.items) {
            check(*i.expr, "select list");
        }
        if (core.having) {
            check(*core.having, "HAVING clause");
        }
    }
    // The result's columns.
    core.columns.clear();
    for (const auto& item : core.items) {
        const Expr& e = *item.expr;
        if (e.kind == Expr::Kind::Star) {
            if (core.sources.empty()) {
                throw SqlError(263, 16, "Must specify table to select from.");
            }
            for (size_t k = 0; k < core.sources.size(); ++k) {
                if (!e.qualifier.empty() && !sameName(e.qualifier, core.sources[k].alias)) {
                    continue;
                }
                for (Column col : core.sources[k].columns) {
                    col.nullable = col.nullable || core.sources[k].nullable;
                    core.columns.push_back(col);
                }
            }
            continue;
        }
        Column col;
        col.name = !item.alias.empty() ? item.alias : e.kind == Expr::Kind::Column ? e.name : "";
        col.type = Evaluator::typeOf(e, s);
        col.nullable = true;
        if (e.kind == Expr::Kind::Column && e.slotLayout == &core) {
            const Source& src = core.sources[size_t(e.slot >> 16)];
            const Column& from = src.columns[size_t(e.slot & 0xFFFF)];
            col.nullable = from.nullable || src.nullable;
            col.identity = from.identity;
        }
        core.columns.push_back(col);
    }
}

void SelectQuery::bindOrder(Core& core) {
    // Bind order by columns that are not select-list aliases.
    for (const Order& o : m_order) {
        walkAll(*o.expr, [&](const Expr& e) {
            if (e.kind != Expr::Kind::Column) {
                return;
            }
            for (const auto& item : core.items) {
                if (e.qualifier.empty() && !item.alias.empty() && sameName(item.alias, e.name)) {
                    return;
                }
            }
            for (size_t k = 0; k < core.sources.size(); ++k) {
                if (!e.qualifier.empty() && !sameName(e.qualifier, core.sources[k].alias)) {
                    continue;
                }
                for (size_t i = 0; i < core.sources[k].columns.size(); ++i) {
                    if (sameName(core.sources[k].columns[i].name, e.name)) {
                        e.slot = int(k << 16 | i);
                        e.slotLayout = &core;
                        return;
                    }
                }
            }
            if (!(m_outer && m_outer->columnType && m_outer->columnType(e.qualifier, e.name))) {
                throw SqlError(207, 16, "Invalid column name '" + e.name + "'.");
            }
        });
    }
}

} // namespace sqlsim::model
