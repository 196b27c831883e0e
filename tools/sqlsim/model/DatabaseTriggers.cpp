#include "DatabaseTriggers.h"

#include "BatchCompiler.h"
#include "Instance.h"
#include "Names.h"
#include "Permissions.h"
#include "Transactions.h"
#include "UserProcedures.h"

#include <algorithm>
#include <set>

namespace sqlsim::model {

namespace {

[[noreturn]] void refuse() {
    throw SqlError(50000, 16, "__not_supported__");
}

thread_local std::set<int> g_firing; // a trigger does not fire itself again (recursive triggers off)

DatabaseTrigger* findTrigger(Database& db, const std::string& name) {
    for (DatabaseTrigger& t : db.databaseTriggers) {
        if (sameName(t.name, name)) {
            return &t;
        }
    }
    return nullptr;
}

std::vector<const DatabaseTrigger*> triggersFor(Database& db, const std::string& event) {
    std::vector<const DatabaseTrigger*> found;
    for (const DatabaseTrigger& t : db.databaseTriggers) {
        if (!t.disabled && !g_firing.count(t.id) &&
            std::find(t.events.begin(), t.events.end(), event) != t.events.end()) {
            found.push_back(&t);
        }
    }
    return found;
}

const char* objectKind(const Token& t) {
    if (t.isWord("table")) {
        return "table";
    }
    if (t.isWord("view")) {
        return "view";
    }
    if (t.isWord("procedure") || t.isWord("proc")) {
        return "procedure";
    }
    if (t.isWord("function")) {
        return "function";
    }
    return nullptr;
}

// The event the definition statement at pos raises in the session's database, or "" for none
// (temporary tables live in tempdb).
std::string eventOf(Context& ctx, const std::vector<Token>& tokens, size_t pos) {
    auto at = [&](size_t k) -> const Token& { return k < tokens.size() ? tokens[k] : tokens.back(); };
    std::string verb = lower(at(pos).text);
    size_t k = pos + 1;
    bool createOrAlter = false;
    if (verb == "create" && at(k).isWord("or") && at(k + 1).isWord("alter")) {
        createOrAlter = true;
        k += 2;
    }
    if (verb != "create" && verb != "alter" && verb != "drop") {
        return {};
    }
    const char* kind = objectKind(at(k));
    if (!kind) {
        return {};
    }
    size_t name = k + 1;
    if (verb == "drop" && at(name).isWord("if") && at(name + 1).isWord("exists")) {
        name += 2;
    }
    if (at(name).text.rfind("#", 0) == 0) {
        return {};
    }
    if (createOrAlter) {
        std::optional<ModuleDefinition> def = ModuleDefinition::read(tokens, pos);
        if (!def) {
            return {};
        }
        Database& db = ctx.db();
        const std::string schema = def->schema.empty() ? std::string("dbo") : def->schema;
        verb = db.findObject(bracketed(schema) + "." + bracketed(def->name)) ? "alter" : "create";
    }
    return verb + "_" + kind;
}

} // namespace

void DatabaseTriggers::define(Context& ctx, const ModuleDefinition& def, const std::string& source) {
    Database& db = ctx.db();
    DatabaseTrigger* existing = findTrigger(db, def.name);
    const bool altering = def.verb == ModuleDefinition::Verb::Alter ||
                          (def.verb == ModuleDefinition::Verb::CreateOrAlter && existing);
    if (!Permissions::dbRole(ctx, db, "db_ddladmin")) {
        throw SqlError(262, 14,
                       std::string(altering ? "ALTER" : "CREATE") +
                           " TRIGGER permission denied in database '" + db.name + "'.");
    }
    if (!altering && existing) {
        throw SqlError(2714, 16, "There is already an object named '" + def.name + "' in the database.", 6);
    }
    if (altering && !existing) {
        throw SqlError(208, 16, "Invalid object name '" + def.name + "'.", 6);
    }
    if (altering) {
        existing->source = source;
        existing->events = def.events;
        return;
    }
    DatabaseTrigger t;
    t.id = db.nextObjectId();
    t.name = def.name;
    t.source = source;
    t.events = def.events;
    t.created = Instance::now();
    db.databaseTriggers.push_back(std::move(t));
}

void DatabaseTriggers::drop(Context& ctx, const std::vector<std::pair<std::string, std::string>>& names,
                            bool ifExists) {
    Database& db = ctx.db();
    std::vector<SqlError> failed;
    for (const auto& [parts, shown] : names) {
        if (parts != shown) {
            refuse(); // a schema in front of a trigger that belongs to none
        }
        DatabaseTrigger* t = findTrigger(db, shown);
        if (t && Permissions::dbRole(ctx, db, "db_ddladmin")) {
            const int id = t->id;
            std::erase_if(db.databaseTriggers, [id](const DatabaseTrigger& d) { return d.id == id; });
        } else if (t || !ifExists) {
            failed.emplace_back(3701, 11,
                                "Cannot drop the trigger '" + shown +
                                    "', because it does not exist or you do not have permission.");
        }
    }
    if (!failed.empty()) {
        SqlError first = failed.front();
        first.following.insert(first.following.end(), failed.begin() + 1, failed.end());
        throw first;
    }
}

bool DatabaseTriggers::handlesEnable(const std::vector<Token>& tokens, size_t pos) {
    return pos + 1 < tokens.size() && (tokens[pos].isWord("disable") || tokens[pos].isWord("enable")) &&
           tokens[pos + 1].isWord("trigger");
}

void DatabaseTriggers::check(BatchCompiler& c, size_t& pos) {
    pos += 2;
    while (true) {
        if (c.at(pos).isWord("all") || !c.at(pos).isName() || c.at(pos + 1).isSymbol(".")) {
            refuse(); // all, or a trigger of a table
        }
        ++pos;
        if (!c.at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    if (!c.at(pos).isWord("on") || !c.at(pos + 1).isWord("database")) {
        refuse(); // triggers of a table or of the server
    }
    pos += 2;
    BatchCompiler::expectEnd(c.at(pos));
}

void DatabaseTriggers::runEnable(Context& ctx, const std::vector<Token>& tokens, size_t& pos) {
    const bool disable = tokens[pos].isWord("disable");
    pos += 2;
    std::vector<std::string> names;
    while (pos < tokens.size() && tokens[pos].isName() && !tokens[pos].isWord("on")) {
        names.push_back(tokens[pos].text);
        ++pos;
        if (pos < tokens.size() && tokens[pos].isSymbol(",")) {
            ++pos;
        }
    }
    pos += 2; // on database
    Database& db = ctx.db();
    const bool allowed = Permissions::dbRole(ctx, db, "db_ddladmin");
    for (const std::string& name : names) {
        DatabaseTrigger* t = findTrigger(db, name);
        if (!t || !allowed) {
            throw SqlError(1088, 16,
                           "Cannot find the object \"" + name +
                               "\" because it does not exist or you do not have permissions.");
        }
        t->disabled = disable;
    }
}

DatabaseTriggers::Statement::Statement(BatchRunner& runner, Context& ctx, size_t pos)
    : m_runner(runner), m_ctx(ctx) {
    m_event = eventOf(ctx, runner.tokens(), pos);
    if (m_event.empty()) {
        return;
    }
    Database& db = ctx.db();
    m_database = db.name;
    if (!triggersFor(db, m_event).empty() && ctx.session.tranCount == 0) {
        m_before = std::make_unique<Database>(db); // the statement's own transaction
    }
}

DatabaseTriggers::Statement::~Statement() = default;

void DatabaseTriggers::Statement::fire() {
    Database* db = m_event.empty() ? nullptr : m_ctx.instance.findDatabase(m_database);
    if (!db) {
        return;
    }
    static const std::map<std::string, Relation> noRows; // no inserted or deleted here
    std::vector<std::pair<int, std::string>> triggers;
    for (const DatabaseTrigger* t : triggersFor(*db, m_event)) {
        triggers.emplace_back(t->id, t->name);
    }
    for (const auto& [id, name] : triggers) {
        const DatabaseTrigger* trigger = nullptr;
        for (const DatabaseTrigger& t : db->databaseTriggers) {
            trigger = t.id == id ? &t : trigger;
        }
        if (!trigger) {
            continue; // dropped by one that ran before it
        }
        Request request;
        request.kind = Request::Kind::Statement;
        request.text = trigger->source;
        BatchRunner inner(m_ctx, m_runner.m_procedures, request);
        size_t head = 0;
        while (inner.at(head).isSymbol(";")) {
            ++head;
        }
        std::optional<ModuleDefinition> def = ModuleDefinition::read(inner.m_tokens, head);
        inner.m_nested = true;
        inner.m_procedure = name;
        inner.m_checkPermissions = false; // as a table's trigger, the trigger's rights cover its statements
        inner.m_triggerRows = &noRows;
        inner.m_tryDepth = m_runner.m_tryDepth;
        g_firing.insert(id);
        struct Options {
            Session& session;
            std::map<std::string, std::string> saved;
            ~Options() { session.options = saved; }
        } options{m_ctx.session, m_ctx.session.options};
        std::optional<SqlError> escaped;
        try {
            escaped = UserProcedures::runBody(m_ctx, inner, def->bodyAt, name);
        } catch (const BatchRunner::TriggerRollback&) {
            g_firing.erase(id);
            if (m_runner.m_triggerRows) {
                throw; // the statement that set off the trigger this one runs in undoes it all
            }
            if (m_ctx.session.tranCount > 0) {
                Transactions::rollbackAll(m_ctx.instance, m_ctx.session, &m_ctx.response);
            } else if (m_before) {
                if (Database* now = m_ctx.instance.findDatabase(m_database)) {
                    *now = *m_before;
                }
            }
            throw SqlError(3609, 16, "The transaction ended in the trigger. The batch has been aborted.", 1);
        } catch (...) {
            g_firing.erase(id);
            throw;
        }
        g_firing.erase(id);
        if (escaped) {
            if (m_runner.m_tryDepth > 0) {
                throw *escaped;
            }
            addError(m_ctx.response, *escaped, escaped->line());
        }
    }
}

} // namespace sqlsim::model
