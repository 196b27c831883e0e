// Reading relations and running select statements for the batch runner.
#include "BatchRunner.h"

#include "Permissions.h"
#include "SystemProcedures.h"

#include "CatalogViews.h"
#include "ExtendedProperties.h"
#include "Names.h"
#include "ModuleCatalog.h"
#include "SecurityProcedures.h"
#include "UserFunctions.h"
#include "SelectQuery.h"
#include "SystemProcedures.h"
#include "TempTables.h"
#include "TextTemplate.h"

#include <algorithm>

namespace sqlsim::model {

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
    const BatchRunner* self = this;
    s.variable = [ctx, request, variables, self](const std::string& name) -> SqlValue {
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
        if (n == "@@rowcount")
            return SqlValue(self->m_rowCount);
        if (n == "@@error")
            return SqlValue(int64_t(self->m_lastError));
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
    // Subqueries in statements other than select (if, while, set, print ...).
    BatchRunner* runner = const_cast<BatchRunner*>(this);
    s.subquery = [runner](const Expr& e, const EvalScope& outer) {
        SelectQuery q(*runner, runner->m_ctx, &outer);
        size_t p = e.tokenPos;
        Relation r = q.run(p);
        if (e.kind != Expr::Kind::Exists && r.columns.size() != 1) {
            throw SqlError(116, 16,
                           "Only one expression can be specified in the select list when the subquery is not "
                           "introduced with EXISTS.");
        }
        return r.rows;
    };
    s.subqueryType = [runner](const Expr& e) {
        SelectQuery q(*runner, runner->m_ctx);
        auto cols = q.columns(e.tokenPos);
        return cols.empty() ? ColumnType::of(SqlType::Int) : cols.front().type;
    };
    s.functionType = [ctx](const std::string& f) { return UserFunctions::type(*ctx, f); };
    s.function = [ctx, self](const std::string& f,
                             const std::vector<SqlValue>& a) -> std::optional<SqlValue> {
        if (f.find('.') != std::string::npos) {
            return UserFunctions::call(*ctx, self->m_procedures, f, a); // dbo.f(...)
        }
        if (f.rfind("error_", 0) == 0 && a.empty()) {
            // The error a catch block is handling; NULL outside one.
            if (self->m_caught.empty()) {
                return SqlValue::null();
            }
            const CaughtError& c = self->m_caught.back();
            if (f == "error_number")
                return SqlValue(int64_t(c.number));
            if (f == "error_message")
                return SqlValue(c.message);
            if (f == "error_severity")
                return SqlValue(int64_t(c.severity));
            if (f == "error_state")
                return SqlValue(int64_t(c.state));
            if (f == "error_line")
                return SqlValue(int64_t(c.line));
            if (f == "error_procedure")
                return c.procedure.empty() ? SqlValue::null() : SqlValue(c.procedure);
        }
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
            const std::string temp = TempTables::tempName(splitName(a[0].toText()));
            if (!temp.empty()) {
                // A temporary table is found through tempdb: named with it, or from tempdb itself.
                const auto parts = splitName(a[0].toText());
                if (parts.size() < 3 && !sameName(ctx->session.database, "tempdb"))
                    return SqlValue::null();
                ObjectDef* t = TempTables::find(ctx->instance, temp, ctx->session);
                return t ? SqlValue(int64_t(t->id)) : SqlValue::null();
            }
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
        if (f == "object_name" && !a.empty()) {
            Database* d =
                a.size() > 1 && !a[1].isNull() ? ctx->instance.findDatabase(int(a[1].toInt())) : &ctx->db();
            ObjectDef* o = d && !a[0].isNull() ? d->object(int(a[0].toInt())) : nullptr;
            return o ? SqlValue(o->name) : SqlValue::null();
        }
        if (f == "schema_name") {
            return a.empty() || a[0].toInt() == 1 ? SqlValue("dbo") : SqlValue::null();
        }
        if (f == "is_member" && a.size() == 1) {
            if (a[0].isNull())
                return SqlValue::null();
            Database& db = ctx->db();
            DbPrincipal* role = db.principal(a[0].toText());
            if (!role || !role->isRole)
                return SqlValue::null();
            Login* l = ctx->instance.findLogin(ctx->session.login);
            if (l && ctx->instance.isSysadmin(l->name))
                return SqlValue(int64_t(1)); // sysadmins act as dbo, a member of every role
            DbPrincipal* u = l ? db.userOfSid(l->sid) : nullptr;
            if (role->uid == Database::kPublicUid)
                return SqlValue(int64_t(1));
            return SqlValue(int64_t(u && db.isMember(u->uid, role->uid) ? 1 : 0));
        }
        if (f == "serverproperty" && a.size() == 1) {
            std::string p = lower(a[0].toText());
            if (p == "productversion")
                return SqlValue("15.0.4322.2");
            if (p == "productlevel")
                return SqlValue("RTM");
            if (p == "edition")
                return SqlValue("Developer Edition (64-bit)");
            if (p == "engineedition")
                return SqlValue("3");
            if (p == "machinename" || p == "servername")
                return SqlValue(ctx->instance.serverName);
            if (p == "instancename")
                return SqlValue::null();
            if (p == "collation")
                return SqlValue("SQL_Latin1_General_CP1_CI_AS");
            if (p == "isintegratedsecurityonly" || p == "isclustered" || p == "isfulltextinstalled")
                return SqlValue("0");
            return SqlValue::null();
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

Relation BatchRunner::read(const std::string& name, std::string* resolvedDatabase,
                           const std::vector<Row>** shared) {
    auto parts = splitName(name);
    if (m_triggerRows && parts.size() == 1 && m_triggerRows->count(lower(parts[0]))) {
        return m_triggerRows->at(lower(parts[0])); // inserted, deleted
    }
    const Relation* named = parts.size() == 1 ? commonTable(parts[0]) : nullptr;
    ObjectDef* variable = nullptr;
    if (!named && parts.size() == 1 && parts[0].rfind("@", 0) == 0) {
        variable = tableVariable(parts[0]);
        if (!variable) {
            throw SqlError(1087, 15, "Must declare the table variable \"" + parts[0] + "\".");
        }
    }
    if (named || variable) {
        Relation r;
        if (named) {
            r.columns = named->columns;
        } else {
            for (const auto& c : variable->columns) {
                r.columns.push_back(Column{c.name, c.type, c.nullable, c.identity, c.isComputed()});
            }
        }
        const std::vector<Row>& rows = named ? named->rows : variable->rows;
        if (shared) {
            *shared = &rows;
        } else {
            r.rows = rows;
        }
        return r;
    }
    if (!parts.empty() && TempTables::isTemp(parts.back())) {
        ObjectDef* t = TempTables::find(m_ctx.instance, parts.back(), m_ctx.session);
        if (!t) {
            throw SqlError(208, 16, "Invalid object name '" + parts.back() + "'.");
        }
        Relation r;
        for (const auto& c : t->columns) {
            r.columns.push_back(Column{c.name, c.type, c.nullable, c.identity, c.isComputed()});
        }
        if (shared) {
            *shared = &t->rows;
        } else {
            r.rows = t->rows;
        }
        return r;
    }
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
    if (auto r = ModuleCatalog::read(*db, owner, parts.back())) {
        return *r;
    }
    if (auto r = ExtendedProperties::read(m_ctx, *db, owner, parts.back())) {
        return *r;
    }
    if (sameName(owner, "sys") || sameName(owner, "information_schema")) {
        if (auto r = CatalogViews::read(m_ctx, *db, owner, parts.back())) {
            return *r;
        }
    }
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
    if (!o && (sameName(owner, "sys") || sameName(owner, "information_schema"))) {
        // A catalogue view the model does not build: refused rather than called missing.
        throw SqlError(50000, 16, "__not_supported__");
    }
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
        if (shared) {
            *shared = &o->rows;
            return r;
        }
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
    SelectQuery query(*this, m_ctx);
    Relation r;
    try {
        r = query.run(pos);
    } catch (const SqlError&) {
        m_rowsBeforeFailure = query.takeRowsBeforeFailure();
        throw;
    }
    if (query.into().empty()) {
        return r;
    }
    // select ... into name: a new table of the result's columns and rows; a #name makes a
    // temporary table of the session.
    auto parts = splitName(query.into());
    std::vector<TableColumn> columns = query.intoColumns(r);
    ObjectDef* table = nullptr;
    if (TempTables::isTemp(parts.back())) {
        const std::string temp = TempTables::tempName(parts);
        if (temp.empty() || !makesTempTables()) {
            notSupported();
        }
        prepareToWrite();
        table = &TempTables::create(m_ctx.instance, temp, m_ctx.session, std::move(columns));
    } else {
        Database* db =
            parts.size() == 3 && !parts[0].empty() ? m_ctx.instance.findDatabase(parts[0]) : &m_ctx.db();
        if (!db || parts.size() > 3 || m_inFunction || m_triggerRows) {
            notSupported();
        }
        if (!Permissions::dbRole(m_ctx, *db, "db_ddladmin")) {
            throw SqlError(262, 14, "CREATE TABLE permission denied in database '" + db->name + "'.", 1);
        }
        const std::string owner = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();
        int uid = Database::kDboUid;
        if (!owner.empty()) {
            DbPrincipal* p = db->principal(owner);
            if (!p) {
                throw SqlError(2760, 16,
                               "The specified schema name \"" + owner +
                                   "\" either does not exist or you do not have permission to use it.");
            }
            uid = p->uid;
        }
        if (db->findObject((owner.empty() ? std::string() : bracketed(owner) + ".") +
                           bracketed(parts.back()))) {
            throw SqlError(2714, 16,
                           "There is already an object named '" + parts.back() + "' in the database.", 6);
        }
        prepareToWrite();
        table = &db->addTable(parts.back(), std::move(columns), uid);
    }
    table->rows = std::move(r.rows);
    if (int k = table->identityColumn(); k >= 0) {
        const TableColumn& c = table->columns[size_t(k)];
        for (const Row& row : table->rows) {
            if (!row[size_t(k)].isNull()) {
                table->identityNext = std::max(table->identityNext, row[size_t(k)].toInt() + c.identityStep);
            }
        }
    }
    m_ctx.rowCount(int64_t(table->rows.size()));
    m_intoDone = true;
    return Relation{};
}

} // namespace sqlsim::model
