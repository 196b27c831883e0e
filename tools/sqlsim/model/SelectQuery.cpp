#include "SelectQueryParts.h"

#include "BatchRunner.h"
#include "BuiltinFunctions.h"
#include "Names.h"

#include <algorithm>

namespace sqlsim::model {

using namespace selectparts;

SelectQuery::SelectQuery(BatchRunner& runner, Context& ctx, const EvalScope* outer)
    : m_runner(runner), m_ctx(ctx), m_outer(outer) {}

SelectQuery::~SelectQuery() = default;

Relation SelectQuery::run(size_t& pos) {
    parse(pos);
    for (auto& c : m_cores) {
        bind(*c);
        bindWindows(*c);
    }
    return execute();
}

void SelectQuery::check(size_t& pos) {
    m_checkOnly = true;
    parse(pos);
}

std::vector<Column> SelectQuery::columns(size_t pos) {
    parse(pos);
    for (auto& c : m_cores) {
        bind(*c);
        bindWindows(*c);
    }
    return m_cores.front()->columns;
}

void SelectQuery::parse(size_t& pos) {
    const auto& t = m_runner.tokens();
    auto at = [&](size_t k) -> const Token& { return k < t.size() ? t[k] : t.back(); };
    while (true) {
        auto core = std::make_unique<Core>();
        parseCore(pos, *core);
        m_cores.push_back(std::move(core));
        if (m_firstSelectOnly) {
            return;
        }
        if (at(pos).isWord("union")) {
            ++pos;
            bool all = at(pos).isWord("all");
            if (all) {
                ++pos;
            }
            m_unionAll.push_back(all);
            if (!at(pos).isWord("select")) {
                syntaxError(at(pos));
            }
            continue;
        }
        if (at(pos).isWord("except") || at(pos).isWord("intersect")) {
            notSupported();
        }
        break;
    }
    if (at(pos).isWord("order")) {
        ++pos;
        if (!at(pos).isWord("by")) {
            syntaxError(at(pos));
        }
        ++pos;
        while (true) {
            Order o;
            ExpressionParser p(t, pos, m_runner.text());
            o.expr = p.parse();
            if (at(pos).isWord("desc")) {
                o.descending = true;
                ++pos;
            } else if (at(pos).isWord("asc")) {
                ++pos;
            }
            m_order.push_back(std::move(o));
            if (at(pos).isSymbol(",")) {
                ++pos;
                continue;
            }
            break;
        }
        if (at(pos).isWord("offset")) {
            parseOffset(pos);
        }
    }
    // option (maxrecursion n): read by the common table expressions the statement uses.
    if (at(pos).isWord("option") && at(pos + 1).isSymbol("(") && at(pos + 2).isWord("maxrecursion") &&
        at(pos + 3).kind == Token::Kind::Number && at(pos + 4).isSymbol(")")) {
        pos += 5;
    }
    if (at(pos).isWord("for") || at(pos).isWord("option") || at(pos).isWord("compute")) {
        notSupported();
    }
}

void SelectQuery::parseCore(size_t& pos, Core& core) {
    const auto& t = m_runner.tokens();
    auto at = [&](size_t k) -> const Token& { return k < t.size() ? t[k] : t.back(); };
    ++pos; // select
    if (at(pos).isWord("all")) {
        ++pos;
    } else if (at(pos).isWord("distinct")) {
        core.distinct = true;
        ++pos;
    }
    if (at(pos).isWord("top")) {
        ++pos;
        if (at(pos).isSymbol("(")) {
            ++pos;
            ExpressionParser p(t, pos, m_runner.text());
            core.top = p.parse();
            if (!at(pos).isSymbol(")")) {
                syntaxError(at(pos));
            }
            ++pos;
        } else {
            if (at(pos).kind != Token::Kind::Number) {
                syntaxError(at(pos));
            }
            core.top = std::make_unique<Expr>();
            core.top->value = at(pos).text.find('.') == std::string::npos
                                  ? SqlValue(int64_t(std::stoll(at(pos).text)))
                                  : SqlValue(std::stod(at(pos).text));
            ++pos;
        }
        if (at(pos).isWord("percent")) {
            core.percent = true;
            ++pos;
        }
        if (at(pos).isWord("with")) {
            if (!at(pos + 1).isWord("ties")) {
                syntaxError(at(pos + 1));
            }
            core.withTies = true;
            pos += 2;
        }
    }
    while (true) {
        Core::Item item;
        if (at(pos).kind == Token::Kind::Variable && at(pos + 1).isSymbol("=")) {
            if (!m_checkOnly) {
                notSupported(); // assignments are run by the batch
            }
            pos += 2;
        }
        if (at(pos).isName() && at(pos + 1).isSymbol("=") && !isClauseWord(at(pos))) {
            item.alias = at(pos).text;
            pos += 2;
        }
        ExpressionParser p(t, pos, m_runner.text());
        item.expr = p.parse();
        if (at(pos).isWord("over")) {
            item.window = parseWindow(pos, std::move(item.expr));
            item.expr = std::make_unique<Expr>(); // a NULL literal in its place
            item.expr->value = SqlValue::null();
            core.windows = true;
        }
        if (at(pos).isWord("within")) {
            notSupported();
        }
        if (at(pos).isWord("as")) {
            ++pos;
            if (!at(pos).isName() && at(pos).kind != Token::Kind::String) {
                syntaxError(at(pos));
            }
            item.alias = at(pos).text;
            ++pos;
        } else if ((at(pos).isName() && !isClauseWord(at(pos))) || at(pos).kind == Token::Kind::String) {
            item.alias = at(pos).text;
            ++pos;
        }
        core.items.push_back(std::move(item));
        if (at(pos).isSymbol(",")) {
            ++pos;
            continue;
        }
        break;
    }
    if (at(pos).isWord("into")) {
        if (m_cores.size() > 0) {
            notSupported();
        }
        ++pos;
        m_into = m_runner.readNameText(pos);
    }
    if (at(pos).isWord("from")) {
        ++pos;
        parseFrom(pos, core);
    }
    if (at(pos).isWord("where")) {
        ++pos;
        ExpressionParser p(t, pos, m_runner.text());
        core.where = p.parse();
    }
    if (at(pos).isWord("group")) {
        ++pos;
        if (!at(pos).isWord("by")) {
            syntaxError(at(pos));
        }
        ++pos;
        if (at(pos).isWord("all") || at(pos).isWord("rollup") || at(pos).isWord("cube") ||
            at(pos).isWord("grouping")) {
            notSupported();
        }
        while (true) {
            ExpressionParser p(t, pos, m_runner.text());
            core.groupBy.push_back(p.parse());
            if (at(pos).isSymbol(",")) {
                ++pos;
                continue;
            }
            break;
        }
        if (at(pos).isWord("with")) {
            notSupported(); // with rollup / cube
        }
    }
    if (at(pos).isWord("having")) {
        ++pos;
        ExpressionParser p(t, pos, m_runner.text());
        core.having = p.parse();
    }
}

bool SelectQuery::sendsRowsAsMade() const {
    if (m_cores.size() != 1 || !m_order.empty() || m_offset || !m_into.empty()) {
        return false;
    }
    const Core& c = *m_cores.front();
    return !c.distinct && !c.grouped && !c.windows && !c.top;
}

std::vector<Row> SelectQuery::subquery(const Expr& e, const EvalScope& outer) {
    if (auto it = m_subqueryRows.find(e.tokenPos); it != m_subqueryRows.end()) {
        return it->second;
    }
    SelectQuery inner(m_runner, m_ctx, &outer);
    size_t pos = e.tokenPos;
    Relation r = inner.run(pos);
    bool correlated =
        std::any_of(inner.m_cores.begin(), inner.m_cores.end(), [](const auto& c) { return c->correlated; });
    if (e.kind == Expr::Kind::Subquery || e.kind == Expr::Kind::InSubquery) {
        if (r.columns.size() != 1) {
            throw SqlError(116, 16,
                           "Only one expression can be specified in the select list when the subquery is not "
                           "introduced with EXISTS.");
        }
    }
    if (!correlated) {
        m_subqueryRows[e.tokenPos] = r.rows;
    }
    return std::move(r.rows);
}

ColumnType SelectQuery::subqueryType(const Expr& e) {
    EvalScope outer = m_cores.empty() ? m_runner.scope({}, nullptr) : makeScope(*m_cores.back());
    SelectQuery inner(m_runner, m_ctx, &outer);
    auto cols = inner.columns(e.tokenPos);
    return cols.empty() ? ColumnType::of(SqlType::Int) : cols.front().type;
}

Relation SelectQuery::execute() {
    if (m_cores.size() == 1) {
        return executeCore(*m_cores.front());
    }
    Relation out;
    std::vector<Relation> parts;
    for (auto& c : m_cores) {
        if (c->columns.size() != m_cores.front()->columns.size()) {
            throw SqlError(
                205, 16,
                "All queries combined using a UNION, INTERSECT or EXCEPT operator must have an equal "
                "number of expressions in their target lists.");
        }
        parts.push_back(executeCore(*c));
    }
    out.columns = parts.front().columns;
    for (size_t i = 0; i < out.columns.size(); ++i) {
        std::vector<ColumnType> types;
        bool nullable = false;
        for (const Relation& p : parts) {
            types.push_back(p.columns[i].type);
            nullable = nullable || p.columns[i].nullable;
        }
        out.columns[i].type = BuiltinFunctions::commonType(types);
        out.columns[i].nullable = nullable;
        out.columns[i].identity = false;
    }
    // union (without all) removes duplicates of everything before it.
    for (size_t k = 0; k < parts.size(); ++k) {
        for (Row& r : parts[k].rows) {
            for (size_t i = 0; i < r.size(); ++i) {
                r[i] = BuiltinFunctions::convert(r[i], out.columns[i].type, -1);
            }
            out.rows.push_back(std::move(r));
        }
        if (k > 0 && !m_unionAll[k - 1]) {
            removeDuplicates(out.rows);
        }
    }
    if (!m_order.empty()) {
        std::vector<size_t> keys;
        for (const Order& o : m_order) {
            const Expr& e = *o.expr;
            int found = -1;
            if (e.kind == Expr::Kind::Literal && e.value.is<int64_t>()) {
                found = int(e.value.get<int64_t>()) - 1;
                if (found < 0 || found >= int(out.columns.size())) {
                    throw SqlError(108, 16,
                                   "The ORDER BY position number " + std::to_string(found + 1) +
                                       " is out of range of the number of items in the select list.");
                }
            } else {
                for (size_t i = 0; i < out.columns.size(); ++i) {
                    if ((e.kind == Expr::Kind::Column && sameName(out.columns[i].name, e.name)) ||
                        sameName(m_cores.front()->items.size() > i ? m_cores.front()->items[i].expr->text
                                                                   : "",
                                 e.text)) {
                        found = int(i);
                        break;
                    }
                }
            }
            if (found < 0) {
                throw SqlError(
                    104, 16,
                    "ORDER BY items must appear in the select list if the statement contains a UNION, "
                    "INTERSECT or EXCEPT operator.");
            }
            keys.push_back(size_t(found));
        }
        std::stable_sort(out.rows.begin(), out.rows.end(), [&](const Row& a, const Row& b) {
            for (size_t k = 0; k < keys.size(); ++k) {
                int c = compareForSort(a[keys[k]], b[keys[k]]);
                if (c != 0) {
                    return m_order[k].descending ? c > 0 : c < 0;
                }
            }
            return false;
        });
    }
    applyOffset(out.rows);
    return out;
}

Relation SelectQuery::executeCore(Core& core) {
    Pass p{core, makeScope(core)};
    p.width = std::max<size_t>(core.sources.size(), 1);
    p.single = m_cores.size() == 1;
    // top (n) of rows that go out as they are made ends the scan once n rows passed the where
    // clause: later rows are never tested (nor fail).
    if (p.single && core.top && !core.percent && !core.withTies && m_order.empty() && !core.distinct &&
        !m_offset && !core.grouped && !core.windows) {
        p.stopAfter = topCount(core);
    }
    join(p);
    filter(p);
    // The result rows, each with what its order by keys are computed from.
    p.out.columns = core.columns;
    if (p.single) {
        bindOrder(core);
    }
    if (core.grouped) {
        group(p);
    } else if (core.windows) {
        // Window functions see every row first; the order by keys may read their values.
        for (size_t n : p.kept) {
            p.setTuple(p.tupleAt(n));
            Row r;
            project(p, r);
            p.windowInputs.push_back(windowInputs(p));
            p.out.rows.push_back(std::move(r));
        }
        computeWindows(p);
        for (size_t k = 0; k < p.kept.size(); ++k) {
            p.setTuple(p.tupleAt(p.kept[k]));
            p.keys.push_back(orderKeys(p, p.out.rows[k]));
        }
    } else {
        // Without order by, distinct or union the rows go out as they are made: top (n) stops
        // after n of them, so later rows are never computed (nor fail).
        const bool streamed = p.single && m_order.empty() && !core.distinct && !m_offset &&
                              (!core.top || (!core.percent && !core.withTies));
        const size_t limit = streamed && core.top ? topCount(core) : p.kept.size();
        p.out.rows.reserve(std::min(limit, p.kept.size()));
        for (size_t n : p.kept) {
            if (p.out.rows.size() >= limit) {
                break;
            }
            p.setTuple(p.tupleAt(n));
            Row r;
            try {
                project(p, r);
            } catch (const SqlError&) {
                if (streamed) {
                    m_rowsBeforeFailure = std::move(p.out.rows);
                }
                throw;
            }
            p.keys.push_back(orderKeys(p, r));
            p.out.rows.push_back(std::move(r));
        }
    }
    finish(p);
    p.setTuple(nullptr);
    return std::move(p.out);
}

} // namespace sqlsim::model
