#include "SelectQueryParts.h"

#include "BatchRunner.h"
#include "ExpressionParser.h"
#include "Names.h"
#include "UserProcedures.h"

#include <algorithm>
#include <unordered_map>

namespace sqlsim::model {

using namespace selectparts;

void SelectQuery::parseFrom(size_t& pos, Core& core) {
    const auto& t = m_runner.tokens();
    auto at = [&](size_t k) -> const Token& { return k < t.size() ? t[k] : t.back(); };
    parseSource(pos, core);
    while (true) {
        Core::Join join;
        if (at(pos).isSymbol(",")) {
            ++pos;
            join = Core::Join::Cross;
        } else if (at(pos).isWord("cross") && at(pos + 1).isWord("join")) {
            pos += 2;
            join = Core::Join::Cross;
        } else if (at(pos).isWord("join") || (at(pos).isWord("inner") && at(pos + 1).isWord("join"))) {
            pos += at(pos).isWord("inner") ? 2 : 1;
            join = Core::Join::Inner;
        } else if (at(pos).isWord("left") || at(pos).isWord("right") || at(pos).isWord("full")) {
            join = at(pos).isWord("left")    ? Core::Join::Left
                   : at(pos).isWord("right") ? Core::Join::Right
                                             : Core::Join::Full;
            ++pos;
            if (at(pos).isWord("outer")) {
                ++pos;
            }
            if (!at(pos).isWord("join")) {
                syntaxError(at(pos));
            }
            ++pos;
        } else if (at(pos).isWord("cross") || at(pos).isWord("outer") || at(pos).isWord("pivot") ||
                   at(pos).isWord("unpivot")) {
            notSupported(); // apply, pivot
        } else {
            break;
        }
        parseSource(pos, core);
        core.joins.push_back(join);
        if (join == Core::Join::Cross) {
            core.on.push_back(nullptr);
            continue;
        }
        if (!at(pos).isWord("on")) {
            syntaxError(at(pos));
        }
        ++pos;
        ExpressionParser p(t, pos, m_runner.text());
        core.on.push_back(p.parse());
    }
}

void SelectQuery::parseSource(size_t& pos, Core& core) {
    const auto& t = m_runner.tokens();
    auto at = [&](size_t k) -> const Token& { return k < t.size() ? t[k] : t.back(); };
    Source s;
    if (at(pos).isSymbol("(") && at(pos + 1).isWord("select")) {
        ++pos;
        SelectQuery inner(m_runner, m_ctx, m_outer);
        if (m_checkOnly) {
            inner.check(pos);
        } else {
            s.owned = inner.run(pos);
        }
        if (!at(pos).isSymbol(")")) {
            syntaxError(at(pos));
        }
        ++pos;
        for (size_t i = 0; i < s.owned.columns.size(); ++i) {
            if (s.owned.columns[i].name.empty()) {
                throw SqlError(8155, 16,
                               "No column name was specified for column " + std::to_string(i + 1) + " of '" +
                                   (at(pos).isWord("as") ? at(pos + 1).text : at(pos).text) + "'.");
            }
        }
        s.rows = &s.owned.rows;
    } else if (at(pos).isSymbol("(")) {
        notSupported(); // nested joins
    } else if (at(pos).kind == Token::Kind::Variable) {
        s.alias = at(pos).text; // a table variable
        ++pos;
        if (!m_checkOnly) {
            s.owned = m_runner.read(s.alias, nullptr, &s.rows);
        }
        if (!s.rows) {
            s.rows = &s.owned.rows;
        }
    } else {
        std::string name = m_runner.readNameText(pos);
        s.alias = splitName(name).back();
        if (sameName(s.alias, "fn_listextendedproperty")) {
            notSupported(); // the system function listing extended properties
        }
        if (at(pos).isSymbol("(")) {
            // A table-valued function with its arguments.
            ++pos;
            std::vector<std::unique_ptr<Expr>> args;
            while (!at(pos).isSymbol(")")) {
                if (at(pos).isWord("default") && (at(pos + 1).isSymbol(",") || at(pos + 1).isSymbol(")"))) {
                    args.push_back(nullptr); // the parameter's declared default
                    ++pos;
                } else {
                    ExpressionParser p(t, pos, m_runner.text());
                    args.push_back(p.parse());
                }
                if (!at(pos).isSymbol(",")) {
                    break;
                }
                ++pos;
            }
            if (!at(pos).isSymbol(")")) {
                syntaxError(at(pos));
            }
            ++pos;
            if (!m_checkOnly) {
                std::vector<std::optional<SqlValue>> values;
                for (const auto& a : args) {
                    values.push_back(a ? std::optional<SqlValue>(Evaluator::eval(*a, m_runner.scope({}, nullptr)))
                                       : std::nullopt);
                }
                s.owned = UserProcedures::readFunction(m_runner, name, values);
            }
        } else if (!m_checkOnly) {
            s.owned = m_runner.read(name, nullptr, &s.rows);
        }
        if (!s.rows) {
            s.rows = &s.owned.rows;
        }
    }
    s.columns = s.owned.columns;
    if (at(pos).isWord("as")) {
        ++pos;
        if (!at(pos).isName()) {
            syntaxError(at(pos));
        }
    }
    if (at(pos).isName() && !isClauseWord(at(pos))) {
        s.alias = at(pos).text;
        ++pos;
    } else if (s.alias.empty()) {
        syntaxError(at(pos)); // a derived table needs a name
    }
    // Table hints: with (nolock) and the like change nothing here.
    if (at(pos).isWord("with") && at(pos + 1).isSymbol("(")) {
        pos += 2;
        while (!at(pos).isSymbol(")")) {
            if (at(pos).kind == Token::Kind::End) {
                syntaxError(at(pos));
            }
            ++pos;
        }
        ++pos;
    }
    for (const Source& other : core.sources) {
        if (sameName(other.alias, s.alias)) {
            throw SqlError(1013, 16,
                           "The objects \"" + other.alias + "\" and \"" + s.alias +
                               "\" in the FROM clause have the same exposed names. Use correlation names to "
                               "distinguish them.");
        }
    }
    s.owns = s.rows == &s.owned.rows;
    core.sources.push_back(std::move(s));
    for (Source& src : core.sources) { // the vector may have moved them
        if (src.owns) {
            src.rows = &src.owned.rows;
        }
    }
}

EvalScope SelectQuery::makeScope(Core& core) {
    EvalScope s = m_runner.scope({}, nullptr);
    Core* c = &core;
    const EvalScope* outer = m_outer;
    auto find = [c](const std::string& q, const std::string& name) -> std::pair<int, int> {
        for (size_t k = 0; k < c->sources.size(); ++k) {
            if (!q.empty() && !sameName(q, c->sources[k].alias)) {
                continue;
            }
            const auto& cols = c->sources[k].columns;
            for (size_t i = 0; i < cols.size(); ++i) {
                if (sameName(cols[i].name, name)) {
                    return {int(k), int(i)};
                }
            }
        }
        return {-1, -1};
    };
    s.column = [c, find, outer](const std::string& q, const std::string& name) -> std::optional<SqlValue> {
        auto [k, i] = find(q, name);
        if (k >= 0) {
            if (!c->tuple) {
                return SqlValue::null();
            }
            const Row* r = c->tuple[k];
            return r ? (*r)[size_t(i)] : SqlValue::null();
        }
        return outer && outer->column ? outer->column(q, name) : std::nullopt;
    };
    s.columnType = [c, find, outer](const std::string& q,
                                    const std::string& name) -> std::optional<ColumnType> {
        auto [k, i] = find(q, name);
        if (k >= 0) {
            return c->sources[size_t(k)].columns[size_t(i)].type;
        }
        return outer && outer->columnType ? outer->columnType(q, name) : std::nullopt;
    };
    s.subquery = [this](const Expr& e, const EvalScope& o) { return subquery(e, o); };
    s.subqueryType = [this](const Expr& e) { return subqueryType(e); };
    s.layout = c;
    return s;
}

void SelectQuery::join(Pass& p) {
    Core& core = p.core;
    EvalScope& scope = p.scope;
    const size_t width = p.width;
    std::vector<const Row*>& tuples = p.tuples;
    auto setTuple = [&](const Row* const* t) { p.setTuple(t); };
    if (core.sources.empty()) {
        tuples.push_back(nullptr);
    } else {
        const auto& rows = *core.sources[0].rows;
        const bool filterNow = core.sources.size() == 1 && core.where;
        tuples.reserve(filterNow ? 0 : rows.size());
        for (const Row& r : rows) {
            if (core.sources.size() == 1 && tuples.size() >= p.stopAfter) {
                break;
            }
            const Row* p = &r;
            if (filterNow) {
                setTuple(&p);
                if (!Evaluator::isTrue(*core.where, scope)) {
                    continue;
                }
            }
            tuples.push_back(p);
        }
    }
    for (size_t k = 1; k < core.sources.size(); ++k) {
        const Core::Join join = core.joins[k - 1];
        const Expr* on = core.on[k - 1].get();
        const auto& right = *core.sources[k].rows;
        if (join == Core::Join::Left || join == Core::Join::Full) {
            core.sources[k].nullable = true;
        }
        if (join == Core::Join::Right || join == Core::Join::Full) {
            for (size_t j = 0; j < k; ++j) {
                core.sources[j].nullable = true;
            }
        }
        // An equality between a column of this source and one of the sources before it is looked up
        // through a hash of this source's rows.
        const Expr* probe = nullptr;
        int buildColumn = -1;
        std::function<void(const Expr&)> findKey = [&](const Expr& e) {
            if (probe) {
                return;
            }
            if (e.kind == Expr::Kind::Binary && e.name == "and") {
                findKey(*e.args[0]);
                findKey(*e.args[1]);
                return;
            }
            if (e.kind != Expr::Kind::Binary || e.name != "=") {
                return;
            }
            const Expr& a = *e.args[0];
            const Expr& b = *e.args[1];
            auto local = [&](const Expr& x) { return x.kind == Expr::Kind::Column && x.slotLayout == &core; };
            if (!local(a) || !local(b)) {
                return;
            }
            size_t sa = size_t(a.slot >> 16), sb = size_t(b.slot >> 16);
            if (sa == k && sb < k) {
                probe = &b;
                buildColumn = a.slot & 0xFFFF;
            } else if (sb == k && sa < k) {
                probe = &a;
                buildColumn = b.slot & 0xFFFF;
            }
        };
        if (on) {
            findKey(*on);
        }
        std::unordered_multimap<uint64_t, size_t> hash;
        if (probe) {
            hash.reserve(right.size());
            for (size_t i = 0; i < right.size(); ++i) {
                const SqlValue& v = right[i][size_t(buildColumn)];
                if (!v.isNull()) {
                    hash.emplace(hashValue(v), i);
                }
            }
        }
        std::vector<char> matchedRight(right.size(), 0);
        std::vector<const Row*> next;
        std::vector<const Row*> t(width, nullptr);
        std::vector<size_t> candidates;
        const size_t count = core.sources.empty() ? 0 : tuples.size() / k;
        for (size_t n = 0; n < count; ++n) {
            std::copy(tuples.begin() + long(n * k), tuples.begin() + long(n * k + k), t.begin());
            std::fill(t.begin() + long(k), t.end(), nullptr);
            setTuple(t.data());
            candidates.clear();
            if (probe) {
                SqlValue key = Evaluator::eval(*probe, scope);
                if (!key.isNull()) {
                    auto range = hash.equal_range(hashValue(key));
                    for (auto it = range.first; it != range.second; ++it) {
                        candidates.push_back(it->second);
                    }
                    std::sort(candidates.begin(), candidates.end());
                }
            } else {
                for (size_t i = 0; i < right.size(); ++i) {
                    candidates.push_back(i);
                }
            }
            bool matched = false;
            for (size_t i : candidates) {
                t[k] = &right[i];
                if (on && !Evaluator::isTrue(*on, scope)) {
                    continue;
                }
                matched = true;
                matchedRight[i] = 1;
                next.insert(next.end(), t.begin(), t.begin() + long(k + 1));
            }
            if (!matched && (join == Core::Join::Left || join == Core::Join::Full)) {
                t[k] = nullptr;
                next.insert(next.end(), t.begin(), t.begin() + long(k + 1));
            }
        }
        if (join == Core::Join::Right || join == Core::Join::Full) {
            for (size_t i = 0; i < right.size(); ++i) {
                if (!matchedRight[i]) {
                    for (size_t j = 0; j < k; ++j) {
                        next.push_back(nullptr);
                    }
                    next.push_back(&right[i]);
                }
            }
        }
        tuples = std::move(next);
    }
}

void SelectQuery::filter(Pass& p) {
    Core& core = p.core;
    EvalScope& scope = p.scope;
    auto setTuple = [&](const Row* const* t) { p.setTuple(t); };
    std::vector<size_t>& kept = p.kept;
    const size_t rowCount = core.sources.empty() ? 1 : p.tuples.size() / p.width;
    kept.reserve(rowCount);
    const bool filtered = core.sources.size() == 1;
    for (size_t n = 0; n < rowCount && kept.size() < p.stopAfter; ++n) {
        if (core.where && !filtered) {
            setTuple(p.tupleAt(n));
            if (!Evaluator::isTrue(*core.where, scope)) {
                continue;
            }
        }
        kept.push_back(n);
    }
}

} // namespace sqlsim::model
