// Reading relations and running select statements for the batch runner.
#include "BatchRunner.h"

#include "Permissions.h"
#include "SystemProcedures.h"

#include "Names.h"
#include "SecurityProcedures.h"
#include "SystemProcedures.h"
#include "TextTemplate.h"

#include <algorithm>

namespace sqlsim::model {

namespace {

bool isAggregate(const Expr& e) {
    return e.kind == Expr::Kind::Function &&
           (e.name == "count" || e.name == "sum" || e.name == "min" || e.name == "max" || e.name == "avg");
}

bool isClauseWord(const Token& t) {
    for (const char* w : {"from",  "where",   "order",   "group", "having", "union",   "into",   "join",
                          "inner", "left",    "right",   "on",    "select", "insert",  "update", "delete",
                          "exec",  "execute", "print",   "use",   "set",    "drop",    "create", "raiserror",
                          "go",    "backup",  "restore", "begin", "commit", "rollback"}) {
        if (t.isWord(w)) {
            return true;
        }
    }
    return false;
}

} // namespace

EvalScope BatchRunner::scope(const std::vector<std::pair<std::string, const Relation*>>& sources,
                             const Row* row) const {
    EvalScope s;
    auto find = [sources](const std::string& qualifier,
                          const std::string& column) -> std::pair<const Relation*, int> {
        for (const auto& [name, rel] : sources) {
            if (!qualifier.empty() && !sameName(qualifier, name)) {
                continue;
            }
            for (size_t i = 0; i < rel->columns.size(); ++i) {
                if (sameName(rel->columns[i].name, column)) {
                    return {rel, int(i)};
                }
            }
        }
        return {nullptr, -1};
    };
    s.column = [find, row](const std::string& q, const std::string& c) -> std::optional<SqlValue> {
        auto [rel, i] = find(q, c);
        if (!rel || !row) {
            return std::nullopt;
        }
        return (*row)[size_t(i)];
    };
    s.columnType = [find](const std::string& q, const std::string& c) -> std::optional<ColumnType> {
        auto [rel, i] = find(q, c);
        if (!rel) {
            return std::nullopt;
        }
        return rel->columns[size_t(i)].type;
    };
    Context* ctx = &m_ctx;
    const Request* request = &m_request;
    const std::map<std::string, Param>* variables = &m_variables;
    s.variable = [ctx, request, variables](const std::string& name) -> SqlValue {
        if (auto it = variables->find(lower(name)); it != variables->end()) {
            return it->second.value;
        }
        std::string n = lower(name);
        if (n == "@@version")
            return SqlValue(ctx->instance.version);
        if (n == "@@servername")
            return SqlValue(ctx->instance.serverName);
        if (n == "@@spid")
            return SqlValue(int64_t(ctx->session.spid));
        if (n == "@@language")
            return SqlValue(ctx->session.language);
        if (n == "@@trancount")
            return SqlValue(int64_t(ctx->session.tranCount));
        if (n == "@@identity") {
            auto it = ctx->instance.lastIdentity().find(ctx->session.spid);
            return it == ctx->instance.lastIdentity().end() ? SqlValue::null()
                                                            : SqlValue(DecimalValue{it->second, 0});
        }
        if (n == "@@rowcount" || n == "@@error")
            return SqlValue(int64_t(0));
        if (const Param* p = request->param(name)) {
            return p->value;
        }
        throw SqlError(137, 15, "Must declare the scalar variable \"" + name + "\".");
    };
    s.variableType = [request, variables](const std::string& name) -> std::optional<ColumnType> {
        if (auto it = variables->find(lower(name)); it != variables->end()) {
            return it->second.type;
        }
        if (name.rfind("@@", 0) != 0) {
            if (const Param* p = request->param(name)) {
                return p->type;
            }
        }
        return std::nullopt;
    };
    s.function = [ctx](const std::string& f, const std::vector<SqlValue>& a) -> std::optional<SqlValue> {
        if (f == "scope_identity" && a.empty()) {
            auto it = ctx->instance.lastIdentity().find(ctx->session.spid);
            return it == ctx->instance.lastIdentity().end() ? SqlValue::null()
                                                            : SqlValue(DecimalValue{it->second, 0});
        }
        if (f == "ident_current" && a.size() == 1) {
            ObjectDef* t = a[0].isNull() ? nullptr : ctx->db().findObject(a[0].toText());
            if (!t || t->identityColumn() < 0) {
                return SqlValue::null();
            }
            // The last value handed out, or the seed before the first insert.
            const TableColumn& c = t->columns[size_t(t->identityColumn())];
            int64_t last =
                t->identityNext == c.identitySeed ? c.identitySeed : t->identityNext - c.identityStep;
            return SqlValue(DecimalValue{last, 0});
        }
        if (f == "db_name") {
            if (a.empty())
                return SqlValue(ctx->session.database);
            Database* d = ctx->instance.findDatabase(int(a[0].toInt()));
            return d ? SqlValue(d->name) : SqlValue::null();
        }
        if (f == "db_id") {
            Database* d = a.empty() ? ctx->instance.findDatabase(ctx->session.database)
                                    : ctx->instance.findDatabase(a[0].toText());
            return d ? SqlValue(int64_t(d->dbid)) : SqlValue::null();
        }
        if (f == "user_name") {
            Database& db = ctx->db();
            if (a.empty()) {
                Login* l = ctx->instance.findLogin(ctx->session.login);
                DbPrincipal* u = l ? db.userOfSid(l->sid) : nullptr;
                return SqlValue(u ? u->name : (l && ctx->instance.isSysadmin(l->name) ? "dbo" : "guest"));
            }
            DbPrincipal* p = a[0].isNull() ? nullptr : db.principal(int(a[0].toInt()));
            return p ? SqlValue(p->name) : SqlValue::null();
        }
        if (f == "suser_sname" || f == "suser_name" || f == "system_user")
            return SqlValue(ctx->session.login);
        if (f == "object_id") {
            if (a.empty() || a[0].isNull())
                return SqlValue::null();
            int id = ctx->db().objectId(a[0].toText());
            return id ? SqlValue(int64_t(id)) : SqlValue::null();
        }
        if (f == "is_srvrolemember" && !a.empty()) {
            return SecurityProcedures::isServerRoleMember(ctx->instance, a[0].toText(),
                                                          a.size() > 1 ? a[1].toText() : ctx->session.login);
        }
        if (f == "has_dbaccess" && !a.empty()) {
            Database* d = ctx->instance.findDatabase(a[0].toText());
            return d ? SqlValue(int64_t(SystemProcedures::hasDbAccess(ctx->instance, ctx->session.login, *d)))
                     : SqlValue::null();
        }
        if (f == "getdate")
            return SqlValue(Instance::now());
        if (f == "newid") {
            GuidValue g;
            for (auto& b : g.bytes)
                b = uint8_t(std::rand() & 0xFF);
            return SqlValue(g);
        }
        return std::nullopt;
    };
    return s;
}

Relation BatchRunner::read(const std::string& name, std::string* resolvedDatabase) {
    auto parts = splitName(name);
    Database* db = &m_ctx.db();
    if (parts.size() == 3 && !parts[0].empty()) {
        db = m_ctx.instance.findDatabase(parts[0]);
        if (!db) {
            throw SqlError(208, 16,
                           "Invalid object name '" + parts[0] + "." + parts[1] + "." + parts[2] + "'.");
        }
    }
    if (resolvedDatabase) {
        *resolvedDatabase = db->name;
    }
    if (m_checkPermissions && !SystemProcedures::hasDbAccess(m_ctx.instance, m_ctx.session.login, *db)) {
        throw SqlError(916, 14,
                       "The server principal \"" + m_ctx.session.login +
                           "\" is not able to access the database \"" + db->name +
                           "\" under the current security context.",
                       1);
    }
    std::string owner = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();
    if (owner.empty() || sameName(owner, "dbo") || sameName(owner, "sys")) {
        if (auto r = SystemTables::read(m_ctx, *db, parts.back())) {
            return *r;
        }
    }
    std::string shown;
    for (size_t i = 0; i < parts.size(); ++i) {
        shown += (i ? "." : "") + parts[i];
    }
    ObjectDef* o = db->findObject(parts.size() == 3 ? bracketed(parts[1]) + "." + bracketed(parts[2]) : name);
    if (!o || (o->type != "U" && o->type != "V")) {
        throw SqlError(208, 16, "Invalid object name '" + shown + "'.");
    }
    if (m_checkPermissions) {
        Permissions::requireOnObject(m_ctx, *db, *o, Permissions::kSelect);
    }
    Relation r;
    for (const auto& c : o->columns) {
        r.columns.push_back(Column{c.name, c.type, c.nullable, c.identity, c.isComputed()});
    }
    if (o->isTable()) {
        r.rows = o->rows;
        return r;
    }
    // A view: run the select of its definition in its own database.
    Request inner;
    inner.text = o->source;
    std::string saved = m_ctx.session.database;
    m_ctx.session.database = db->name;
    BatchRunner runner(m_ctx, m_procedures, inner);
    runner.m_checkPermissions = false;
    const auto& t = runner.tokens();
    for (size_t p = 0; p + 1 < t.size(); ++p) {
        if (t[p].isWord("as") && t[p + 1].isWord("select")) {
            ++p;
            Relation v = runner.select(p);
            m_ctx.session.database = saved;
            for (size_t i = 0; i < v.columns.size() && i < r.columns.size(); ++i) {
                v.columns[i].name = r.columns[i].name;
            }
            return v;
        }
    }
    m_ctx.session.database = saved;
    return r;
}

Relation BatchRunner::select(size_t& pos) {
    ++pos; // select
    int64_t top = -1;
    if (at(pos).isWord("top")) {
        ++pos;
        bool paren = at(pos).isSymbol("(");
        if (paren) {
            ++pos;
        }
        if (at(pos).kind != Token::Kind::Number) {
            syntaxError(at(pos));
        }
        top = std::stoll(at(pos).text);
        ++pos;
        if (paren) {
            expectSymbol(pos, ")");
        }
    }
    if (at(pos).isWord("distinct")) {
        notSupported();
    }
    struct Item {
        std::unique_ptr<Expr> expr;
        std::string alias;
    };
    std::vector<Item> items;
    while (true) {
        Item item;
        if (at(pos).kind == Token::Kind::Name && at(pos + 1).isSymbol("=") && !isClauseWord(at(pos))) {
            item.alias = at(pos).text;
            pos += 2;
        }
        if (at(pos).kind == Token::Kind::Variable && at(pos + 1).isSymbol("=")) {
            notSupported();
        }
        ExpressionParser p(m_tokens, pos, m_text);
        item.expr = p.parse();
        if (at(pos).isWord("as")) {
            ++pos;
            item.alias = at(pos).text;
            ++pos;
        } else if ((at(pos).isName() && !isClauseWord(at(pos))) || at(pos).kind == Token::Kind::String) {
            item.alias = at(pos).text;
            ++pos;
        }
        items.push_back(std::move(item));
        if (at(pos).isSymbol(",")) {
            ++pos;
            continue;
        }
        break;
    }
    if (at(pos).isWord("into")) {
        notSupported();
    }
    Relation source;
    std::string sourceName, alias;
    bool hasFrom = false;
    if (at(pos).isWord("from")) {
        ++pos;
        hasFrom = true;
        sourceName = readName(pos);
        source = read(sourceName);
        alias = splitName(sourceName).back();
        if (at(pos).isWord("as")) {
            ++pos;
        }
        if (at(pos).isName() && !isClauseWord(at(pos))) {
            alias = at(pos).text;
            ++pos;
        }
        if (at(pos).isSymbol(",") || at(pos).isWord("join") || at(pos).isWord("inner") ||
            at(pos).isWord("left") || at(pos).isWord("cross") || at(pos).isWord("with")) {
            notSupported();
        }
    }
    std::unique_ptr<Expr> where;
    if (at(pos).isWord("where")) {
        ++pos;
        ExpressionParser p(m_tokens, pos, m_text);
        where = p.parse();
    }
    if (at(pos).isWord("group") || at(pos).isWord("having") || at(pos).isWord("union")) {
        notSupported();
    }
    struct Order {
        std::unique_ptr<Expr> expr;
        bool descending = false;
    };
    std::vector<Order> order;
    if (at(pos).isWord("order")) {
        ++pos;
        if (!at(pos).isWord("by")) {
            syntaxError(at(pos));
        }
        ++pos;
        while (true) {
            Order o;
            ExpressionParser p(m_tokens, pos, m_text);
            o.expr = p.parse();
            if (at(pos).isWord("desc")) {
                o.descending = true;
                ++pos;
            } else if (at(pos).isWord("asc")) {
                ++pos;
            }
            order.push_back(std::move(o));
            if (at(pos).isSymbol(",")) {
                ++pos;
                continue;
            }
            break;
        }
    }

    std::vector<std::pair<std::string, const Relation*>> sources;
    if (hasFrom) {
        sources.push_back({alias, &source});
    }
    EvalScope typeScope = scope(sources, nullptr);
    Relation out;
    std::vector<std::pair<const Expr*, int>> projection; // expression or source column index
    for (const auto& item : items) {
        if (item.expr->kind == Expr::Kind::Star) {
            if (!hasFrom) {
                throw SqlError(263, 16, "Must specify table to select from.");
            }
            for (size_t i = 0; i < source.columns.size(); ++i) {
                out.columns.push_back(source.columns[i]);
                projection.push_back({nullptr, int(i)});
            }
            continue;
        }
        Column c;
        c.name = !item.alias.empty()                     ? item.alias
                 : item.expr->kind == Expr::Kind::Column ? item.expr->name
                                                         : "";
        c.type = isAggregate(*item.expr) && (item.expr->name == "count") ? ColumnType::of(SqlType::Int)
                 : isAggregate(*item.expr) && !item.expr->args.empty()
                     ? Evaluator::typeOf(*item.expr->args[0], typeScope)
                     : Evaluator::typeOf(*item.expr, typeScope);
        c.nullable = true;
        out.columns.push_back(c);
        projection.push_back({item.expr.get(), -1});
    }
    std::vector<const Row*> kept;
    Row empty;
    if (hasFrom) {
        for (const auto& r : source.rows) {
            if (!where || Evaluator::isTrue(*where, scope(sources, &r))) {
                kept.push_back(&r);
            }
        }
    } else if (!where || Evaluator::isTrue(*where, scope(sources, &empty))) {
        kept.push_back(&empty);
    }
    bool aggregate =
        std::any_of(items.begin(), items.end(), [](const Item& i) { return isAggregate(*i.expr); });
    std::vector<std::pair<Row, const Row*>> rows;
    if (aggregate) {
        Row r;
        for (const auto& [expr, index] : projection) {
            if (!expr || !isAggregate(*expr)) {
                SqlValue v = expr && !kept.empty() ? Evaluator::eval(*expr, scope(sources, kept.front()))
                                                   : SqlValue::null();
                r.push_back(v);
                continue;
            }
            int64_t count = 0;
            SqlValue best;
            double sum = 0;
            for (const Row* src : kept) {
                SqlValue v = expr->args.empty() || expr->args[0]->kind == Expr::Kind::Star
                                 ? SqlValue(int64_t(1))
                                 : Evaluator::eval(*expr->args[0], scope(sources, src));
                if (v.isNull()) {
                    continue;
                }
                ++count;
                sum += v.toDouble();
                auto c = Evaluator::compare(v, best);
                if (best.isNull() || (expr->name == "min" && c && *c < 0) ||
                    (expr->name == "max" && c && *c > 0)) {
                    best = v;
                }
            }
            if (expr->name == "count") {
                r.push_back(SqlValue(count));
            } else if (expr->name == "sum" || expr->name == "avg") {
                r.push_back(count == 0 ? SqlValue::null()
                                       : SqlValue(expr->name == "sum" ? sum : sum / double(count)));
            } else {
                r.push_back(best);
            }
        }
        rows.push_back({std::move(r), nullptr});
    } else {
        for (const Row* src : kept) {
            Row r;
            EvalScope s = scope(sources, src);
            for (const auto& [expr, index] : projection) {
                r.push_back(expr ? Evaluator::eval(*expr, s) : (*src)[size_t(index)]);
            }
            rows.push_back({std::move(r), src});
        }
    }
    if (!order.empty()) {
        auto key = [&](const std::pair<Row, const Row*>& row, const Order& o) -> SqlValue {
            const Expr& e = *o.expr;
            if (e.kind == Expr::Kind::Literal && e.value.is<int64_t>()) {
                int64_t k = e.value.get<int64_t>();
                if (k < 1 || k > int64_t(row.first.size())) {
                    throw SqlError(108, 16,
                                   "The ORDER BY position number " + std::to_string(k) +
                                       " is out of range of the number of items in the select list.");
                }
                return row.first[size_t(k - 1)];
            }
            if (e.kind == Expr::Kind::Column && e.qualifier.empty()) {
                for (size_t i = 0; i < out.columns.size(); ++i) {
                    if (sameName(out.columns[i].name, e.name) && projection[i].first) {
                        return row.first[i];
                    }
                }
            }
            return Evaluator::eval(e, scope(sources, row.second ? row.second : &empty));
        };
        std::vector<std::vector<SqlValue>> keys;
        std::vector<size_t> index(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            index[i] = i;
            std::vector<SqlValue> k;
            for (const auto& o : order) {
                k.push_back(key(rows[i], o));
            }
            keys.push_back(std::move(k));
        }
        std::stable_sort(index.begin(), index.end(), [&](size_t a, size_t b) {
            for (size_t k = 0; k < order.size(); ++k) {
                const SqlValue &x = keys[a][k], &y = keys[b][k];
                int c = x.isNull()   ? (y.isNull() ? 0 : -1)
                        : y.isNull() ? 1
                                     : Evaluator::compare(x, y).value_or(0);
                if (c != 0) {
                    return order[k].descending ? c > 0 : c < 0;
                }
            }
            return false;
        });
        std::vector<std::pair<Row, const Row*>> sorted;
        for (size_t i : index) {
            sorted.push_back(std::move(rows[i]));
        }
        rows = std::move(sorted);
    }
    for (auto& r : rows) {
        if (top >= 0 && int64_t(out.rows.size()) >= top) {
            break;
        }
        out.rows.push_back(std::move(r.first));
    }
    return out;
}

} // namespace sqlsim::model
