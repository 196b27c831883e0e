#include "SelectQuery.h"

#include "BatchRunner.h"
#include "BuiltinFunctions.h"
#include "Names.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <unordered_map>

namespace sqlsim::model {

struct SelectQuery::Source {
    std::string alias;
    std::vector<Column> columns;
    Relation owned;                         // views, catalogue views, derived tables
    const std::vector<Row>* rows = nullptr; // owned.rows or a table's own rows
    bool nullable = false;                  // the optional side of an outer join
    bool owns = false;                      // rows points at owned.rows
};

struct SelectQuery::Core {
    bool distinct = false;
    std::unique_ptr<Expr> top;
    bool percent = false;
    bool withTies = false;
    struct Item {
        std::unique_ptr<Expr> expr;
        std::string alias;
    };
    std::vector<Item> items;
    std::vector<Source> sources;
    enum class Join { Cross, Inner, Left, Right, Full };
    std::vector<Join> joins; // how source i (from 1) joins the ones before it
    std::vector<std::unique_ptr<Expr>> on;
    std::unique_ptr<Expr> where;
    std::vector<std::unique_ptr<Expr>> groupBy;
    std::unique_ptr<Expr> having;
    bool grouped = false;
    std::vector<Column> columns; // the result's
    std::vector<const Expr*> aggregates;
    bool correlated = false;
    // The row being evaluated, for columns not bound to a slot (names looked up).
    const Row* const* tuple = nullptr;
};

namespace {

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

// Calls f on every expression of e's tree that belongs to this query (not inside subqueries).
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
        std::string s = lower(v.get<std::string>());
        while (!s.empty() && s.back() == ' ') {
            s.pop_back();
        }
        return std::hash<std::string>()(s);
    }
    if (v.is<DateTimeValue>()) {
        return std::hash<int64_t>()(int64_t(v.get<DateTimeValue>().days) * 86400000000LL +
                                    v.get<DateTimeValue>().micros);
    }
    return std::hash<std::string>()(lower(v.toText()));
}

// Equal for grouping and distinct: NULLs are alike.
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

// Rows without duplicates, in their first order.
void removeDuplicates(std::vector<Row>& rows, std::vector<size_t>* kept = nullptr) {
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

} // namespace

SelectQuery::SelectQuery(BatchRunner& runner, Context& ctx, const EvalScope* outer)
    : m_runner(runner), m_ctx(ctx), m_outer(outer) {}

SelectQuery::~SelectQuery() = default;

Relation SelectQuery::run(size_t& pos) {
    parse(pos);
    for (auto& c : m_cores) {
        bind(*c);
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
            notSupported();
        }
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
        if (at(pos).isWord("over") || at(pos).isWord("within")) {
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
    } else if (at(pos).isSymbol("(") || at(pos).kind == Token::Kind::Variable) {
        notSupported(); // nested joins, table variables
    } else {
        std::string name = m_runner.readNameText(pos);
        if (at(pos).isSymbol("(")) {
            notSupported(); // table-valued functions
        }
        s.alias = splitName(name).back();
        if (!m_checkOnly) {
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
    return out;
}

Relation SelectQuery::executeCore(Core& core) {
    EvalScope scope = makeScope(core);
    const size_t width = std::max<size_t>(core.sources.size(), 1);
    std::vector<const Row*> tuples; // width pointers per joined row
    auto setTuple = [&](const Row* const* t) {
        scope.tuple = t;
        core.tuple = t;
    };
    if (core.sources.empty()) {
        tuples.push_back(nullptr);
    } else {
        const auto& rows = *core.sources[0].rows;
        const bool filterNow = core.sources.size() == 1 && core.where;
        tuples.reserve(filterNow ? 0 : rows.size());
        for (const Row& r : rows) {
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
    const size_t rowCount = core.sources.empty() ? 1 : tuples.size() / width;
    auto tupleAt = [&](size_t n) -> const Row* const* {
        return core.sources.empty() ? nullptr : &tuples[n * width];
    };
    std::vector<size_t> kept;
    kept.reserve(rowCount);
    const bool filtered = core.sources.size() == 1;
    for (size_t n = 0; n < rowCount; ++n) {
        if (core.where && !filtered) {
            setTuple(tupleAt(n));
            if (!Evaluator::isTrue(*core.where, scope)) {
                continue;
            }
        }
        kept.push_back(n);
    }

    // The result rows, each with what its order by keys are computed from.
    Relation out;
    out.columns = core.columns;
    const bool single = m_cores.size() == 1;
    std::vector<std::vector<SqlValue>> keys;
    auto project = [&](Row& r) {
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
            const ColumnType& type = out.columns[r.size()].type;
            if (e.kind != Expr::Kind::Column && !v.isNull() &&
                (v.is<DecimalValue>() || v.is<double>() || v.is<int64_t>()) &&
                (type.type == SqlType::Decimal || type.type == SqlType::Numeric ||
                 type.type == SqlType::Money || type.type == SqlType::SmallMoney ||
                 type.type == SqlType::Float)) {
                v = BuiltinFunctions::convert(v, type, -1);
            }
            r.push_back(std::move(v));
        }
    };
    auto orderKeys = [&](const Row& r) {
        std::vector<SqlValue> k;
        if (!single) {
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
    };
    if (single) {
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
    if (core.grouped) {
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
        for (size_t n : kept) {
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
            project(r);
            keys.push_back(orderKeys(r));
            out.rows.push_back(std::move(r));
        }
    } else {
        out.rows.reserve(kept.size());
        for (size_t n : kept) {
            setTuple(tupleAt(n));
            Row r;
            project(r);
            keys.push_back(orderKeys(r));
            out.rows.push_back(std::move(r));
        }
    }
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
    if (core.top) {
        if (core.withTies && !ordered) {
            throw SqlError(
                1062, 16,
                "The TOP N WITH TIES clause is not allowed without a corresponding ORDER BY clause.");
        }
        SqlValue n = Evaluator::eval(*core.top, m_runner.scope({}, nullptr));
        double want = n.isNull() ? 0 : n.toDouble();
        if (core.percent) {
            if (want < 0 || want > 100) {
                throw SqlError(1031, 16, "Percent values must be between 0 and 100.");
            }
            want = std::ceil(double(out.rows.size()) * want / 100.0);
        } else if (want < 0) {
            throw SqlError(1060, 16,
                           "The number of rows provided for a TOP or FETCH clauses row count parameter must "
                           "be an integer.");
        }
        size_t limit = size_t(want);
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
    setTuple(nullptr);
    return out;
}

} // namespace sqlsim::model
