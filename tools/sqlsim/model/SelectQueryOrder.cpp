#include "SelectQueryParts.h"

#include "BatchRunner.h"
#include "BuiltinFunctions.h"
#include "Names.h"

#include <algorithm>
#include <cmath>

namespace sqlsim::model {

using namespace selectparts;

void SelectQuery::project(Pass& p, Row& r) {
    Core& core = p.core;
    EvalScope& scope = p.scope;
    for (const auto& item : core.items) {
        const Expr& e = *item.expr;
        if (e.kind == Expr::Kind::Star) {
            for (size_t k = 0; k < core.sources.size(); ++k) {
                if (!e.qualifier.empty() && !sameName(e.qualifier, core.sources[k].alias)) {
                    continue;
                }
                const Row* src = scope.tuple ? scope.tuple[k] : nullptr;
                for (size_t i = 0; i < core.sources[k].columns.size(); ++i) {
                    r.push_back(src ? (*src)[i] : SqlValue::null());
                }
            }
            continue;
        }
        SqlValue v = Evaluator::eval(e, scope);
        const ColumnType& type = p.out.columns[r.size()].type;
        if (e.kind != Expr::Kind::Column && !v.isNull() &&
            (v.is<DecimalValue>() || v.is<double>() || v.is<int64_t>()) &&
            (type.type == SqlType::Decimal || type.type == SqlType::Numeric ||
             type.type == SqlType::Money || type.type == SqlType::SmallMoney ||
             type.type == SqlType::Float)) {
            v = BuiltinFunctions::convert(v, type, -1);
        }
        r.push_back(std::move(v));
    }
}

std::vector<SqlValue> SelectQuery::orderKeys(Pass& p, const Row& r) {
    Core& core = p.core;
    EvalScope& scope = p.scope;
    std::vector<SqlValue> k;
    if (!p.single) {
        return k;
    }
    for (const Order& o : m_order) {
        const Expr& e = *o.expr;
        if (e.kind == Expr::Kind::Literal && e.value.is<int64_t>()) {
            int64_t p = e.value.get<int64_t>();
            if (p < 1 || p > int64_t(r.size())) {
                throw SqlError(108, 16,
                               "The ORDER BY position number " + std::to_string(p) +
                                   " is out of range of the number of items in the select list.");
            }
            k.push_back(r[size_t(p - 1)]);
            continue;
        }
        int found = -1;
        if (e.kind == Expr::Kind::Column && e.qualifier.empty()) {
            for (size_t i = 0; i < core.items.size() && i < r.size(); ++i) {
                if (!core.items[i].alias.empty() && sameName(core.items[i].alias, e.name)) {
                    found = int(i);
                    break;
                }
            }
        }
        if (found < 0 && (core.distinct || core.grouped)) {
            for (size_t i = 0; i < core.items.size() && i < r.size(); ++i) {
                if (!e.text.empty() && sameName(core.items[i].expr->text, e.text)) {
                    found = int(i);
                    break;
                }
            }
        }
        if (found >= 0) {
            k.push_back(r[size_t(found)]);
        } else if (core.distinct) {
            throw SqlError(
                145, 15,
                "ORDER BY items must appear in the select list if SELECT DISTINCT is specified.");
        } else {
            k.push_back(Evaluator::eval(e, scope));
        }
    }
    return k;
}

void SelectQuery::finish(Pass& p) {
    Core& core = p.core;
    Relation& out = p.out;
    std::vector<std::vector<SqlValue>>& keys = p.keys;
    const bool single = p.single;
    if (core.distinct) {
        std::vector<size_t> survivors;
        removeDuplicates(out.rows, &survivors);
        std::vector<std::vector<SqlValue>> k;
        for (size_t i : survivors) {
            k.push_back(std::move(keys[i]));
        }
        keys = std::move(k);
    }
    const bool ordered = single && !m_order.empty();
    if (ordered) {
        std::vector<size_t> idx(out.rows.size());
        for (size_t i = 0; i < idx.size(); ++i) {
            idx[i] = i;
        }
        auto less = [&](size_t a, size_t b) {
            for (size_t k = 0; k < m_order.size(); ++k) {
                int c = compareForSort(keys[a][k], keys[b][k]);
                if (c != 0) {
                    return m_order[k].descending ? c > 0 : c < 0;
                }
            }
            return false;
        };
        std::stable_sort(idx.begin(), idx.end(), less);
        std::vector<Row> sorted;
        std::vector<std::vector<SqlValue>> sortedKeys;
        for (size_t i : idx) {
            sorted.push_back(std::move(out.rows[i]));
            sortedKeys.push_back(std::move(keys[i]));
        }
        out.rows = std::move(sorted);
        keys = std::move(sortedKeys);
    }
    if (single) {
        applyOffset(out.rows);
    }
    if (core.top) {
        if (core.withTies && !ordered) {
            throw SqlError(
                1062, 16,
                "The TOP N WITH TIES clause is not allowed without a corresponding ORDER BY clause.");
        }
        size_t limit = topCount(core, out.rows.size());
        if (limit < out.rows.size()) {
            size_t end = limit;
            if (core.withTies && limit > 0) {
                while (end < out.rows.size()) {
                    bool tie = true;
                    for (size_t k = 0; k < m_order.size(); ++k) {
                        tie = tie && compareForSort(keys[end][k], keys[limit - 1][k]) == 0;
                    }
                    if (!tie) {
                        break;
                    }
                    ++end;
                }
            }
            out.rows.resize(end);
        }
    }
}

size_t SelectQuery::topCount(Core& core, size_t rows) {
    SqlValue n = Evaluator::eval(*core.top, m_runner.scope({}, nullptr));
    double want = n.isNull() ? 0 : n.toDouble();
    if (core.percent) {
        if (want < 0 || want > 100) {
            throw SqlError(1031, 16, "Percent values must be between 0 and 100.");
        }
        want = std::ceil(double(rows) * want / 100.0);
    } else if (want < 0) {
        throw SqlError(1060, 16,
                       "The number of rows provided for a TOP or FETCH clauses row count parameter must "
                       "be an integer.");
    }
    return size_t(want);
}

void SelectQuery::parseOffset(size_t& pos) {
    const auto& t = m_runner.tokens();
    auto at = [&](size_t k) -> const Token& { return k < t.size() ? t[k] : t.back(); };
    if (std::any_of(m_cores.begin(), m_cores.end(), [](const auto& c) { return c->top != nullptr; })) {
        throw SqlError(10741, 15, "A TOP can not be used in the same query or sub-query as a OFFSET.");
    }
    auto rows = [&]() {
        if (!at(pos).isWord("row") && !at(pos).isWord("rows")) {
            syntaxError(at(pos));
        }
        ++pos;
    };
    ++pos; // offset
    {
        ExpressionParser p(t, pos, m_runner.text());
        m_offset = p.parse();
    }
    rows();
    if (!at(pos).isWord("fetch")) {
        return;
    }
    ++pos;
    if (!at(pos).isWord("next") && !at(pos).isWord("first")) {
        syntaxError(at(pos));
    }
    ++pos;
    {
        ExpressionParser p(t, pos, m_runner.text());
        m_fetch = p.parse();
    }
    rows();
    if (!at(pos).isWord("only")) {
        syntaxError(at(pos));
    }
    ++pos;
}

void SelectQuery::applyOffset(std::vector<Row>& rows) {
    if (!m_offset) {
        return;
    }
    const EvalScope scope = m_runner.scope({}, nullptr);
    auto count = [&](const Expr& e) -> int64_t {
        SqlValue v = Evaluator::eval(e, scope);
        if (v.isNull() || !(v.is<int64_t>() || v.is<bool>())) {
            throw SqlError(10743, 15,
                           "The number of rows provided for a OFFSET clause must be an integer.");
        }
        return v.toInt();
    };
    const int64_t skip = count(*m_offset);
    if (skip < 0) {
        throw SqlError(10742, 15, "The offset specified in a OFFSET clause may not be negative.");
    }
    int64_t take = INT64_MAX;
    if (m_fetch) {
        take = count(*m_fetch);
        if (take <= 0) {
            throw SqlError(10744, 15,
                           "The number of rows provided for a FETCH clause must be greater then zero.");
        }
    }
    const size_t from = size_t(std::min<int64_t>(skip, int64_t(rows.size())));
    rows.erase(rows.begin(), rows.begin() + long(from));
    if (take < int64_t(rows.size())) {
        rows.resize(size_t(take));
    }
}

} // namespace sqlsim::model
