#include "Triggers.h"

#include "Names.h"
#include "Transactions.h"
#include "UserProcedures.h"

#include <set>

namespace sqlsim::model {

namespace {

thread_local std::set<int> g_firing; // a trigger does not fire itself again (recursive triggers off)
// The database as it was before the outermost triggering statement outside a transaction.
thread_local std::unique_ptr<Database> g_statementStart;

// The triggers of the table for the action, in the order they were made.
std::vector<const ObjectDef*> triggersOf(Database& db, int tableId, const char* action,
                                         bool insteadOf = false) {
    std::vector<const ObjectDef*> found;
    for (const auto& [id, o] : db.objects) {
        if (o.type != "TR" || o.parentId != tableId || g_firing.count(id)) {
            continue;
        }
        std::optional<ModuleDefinition> def = ModuleDefinition::ofText(o.source);
        if (!def || def->insteadOf != insteadOf) {
            continue;
        }
        for (const std::string& e : def->events) {
            if (e == action) {
                found.push_back(&o);
                break;
            }
        }
    }
    return found;
}

} // namespace

Triggers::StatementStart::StatementStart(Context& ctx, bool triggered) {
    if (triggered && !g_statementStart && ctx.session.tranCount == 0) {
        g_statementStart = std::make_unique<Database>(ctx.db());
        m_outermost = true;
    }
}

Triggers::StatementStart::~StatementStart() {
    if (m_outermost) {
        g_statementStart.reset();
    }
}

bool Triggers::isInsteadOf(const ObjectDef& trigger) {
    const std::optional<ModuleDefinition> def = ModuleDefinition::ofText(trigger.source);
    return def && def->insteadOf;
}

bool Triggers::has(Database& db, const ObjectDef& table, const char* action) {
    return !triggersOf(db, table.id, action).empty();
}

bool Triggers::hasInstead(Database& db, const ObjectDef& table, const char* action) {
    return !triggersOf(db, table.id, action, true).empty();
}

std::vector<Row> Triggers::viewRows(BatchRunner& runner, Database& db, const ObjectDef& view) {
    struct Unchecked {
        BatchRunner& runner;
        bool saved;
        ~Unchecked() { runner.m_checkPermissions = saved; }
    } unchecked{runner, runner.m_checkPermissions};
    runner.m_checkPermissions = false;
    return runner
        .read(bracketed(db.name) + "." + bracketed(db.ownerName(view.uid)) + "." + bracketed(view.name))
        .rows;
}

void Triggers::fireInstead(BatchRunner& runner, Context& ctx, int tableId, const char* action,
                           std::vector<Row> inserted, std::vector<Row> deleted) {
    Database& db = ctx.db();
    const ObjectDef* table = db.object(tableId);
    const std::vector<Row> rowsBefore = table ? table->rows : std::vector<Row>{};
    run(runner, ctx, tableId, triggersOf(db, tableId, action, true), std::move(inserted), std::move(deleted),
        rowsBefore);
}

void Triggers::fire(BatchRunner& runner, Context& ctx, int tableId, const char* action,
                    std::vector<Row> inserted, std::vector<Row> deleted, const std::vector<Row>& rowsBefore) {
    run(runner, ctx, tableId, triggersOf(ctx.db(), tableId, action), std::move(inserted), std::move(deleted),
        rowsBefore);
}

void Triggers::run(BatchRunner& runner, Context& ctx, int tableId, std::vector<const ObjectDef*> triggers,
                   std::vector<Row> inserted, std::vector<Row> deleted, const std::vector<Row>& rowsBefore) {
    Database& db = ctx.db();
    const ObjectDef* table = db.object(tableId);
    if (!table || triggers.empty()) {
        return;
    }
    std::map<std::string, Relation> rows;
    for (const char* name : {"inserted", "deleted"}) {
        Relation& r = rows[name];
        for (const auto& c : table->columns) {
            r.columns.push_back(Column{c.name, c.type, c.nullable, c.identity, c.isComputed()});
        }
    }
    rows["inserted"].rows = std::move(inserted);
    rows["deleted"].rows = std::move(deleted);
    for (const ObjectDef* trigger : triggers) {
        Request request;
        request.kind = Request::Kind::Statement;
        request.text = trigger->source;
        const std::string name = trigger->name;
        const int id = trigger->id;
        BatchRunner inner(ctx, runner.m_procedures, request);
        size_t head = 0;
        while (inner.at(head).isSymbol(";")) {
            ++head;
        }
        std::optional<ModuleDefinition> def = ModuleDefinition::read(inner.m_tokens, head);
        inner.m_nested = true;
        inner.m_procedure = name;
        inner.m_checkPermissions = false; // the table's owner owns its triggers
        inner.m_triggerRows = &rows;
        inner.m_tryDepth = runner.m_tryDepth;
        g_firing.insert(id);
        // SET options chosen inside end with the trigger.
        struct Options {
            Session& session;
            std::map<std::string, std::string> saved;
            ~Options() { session.options = saved; }
        } options{ctx.session, ctx.session.options};
        std::optional<SqlError> escaped;
        try {
            escaped = UserProcedures::runBody(ctx, inner, def->bodyAt, name);
        } catch (const BatchRunner::TriggerRollback&) {
            g_firing.erase(id);
            if (runner.m_triggerRows) {
                throw; // the statement that set off this one's trigger undoes it all
            }
            if (ctx.session.tranCount > 0) {
                Transactions::rollbackAll(ctx.instance, ctx.session, &ctx.response);
            } else if (Database* start =
                           g_statementStart ? ctx.instance.findDatabase(g_statementStart->name) : nullptr) {
                *start = *g_statementStart; // the statement's own transaction, with all it set off
            } else if (ObjectDef* t = ctx.db().object(tableId)) {
                t->rows = rowsBefore; // the statement's own transaction
            }
            throw SqlError(3609, 16, "The transaction ended in the trigger. The batch has been aborted.", 1);
        } catch (...) {
            g_firing.erase(id);
            throw;
        }
        g_firing.erase(id);
        if (escaped) {
            if (runner.m_tryDepth > 0) {
                throw *escaped;
            }
            addError(ctx.response, *escaped, escaped->line());
        }
    }
}

} // namespace sqlsim::model
