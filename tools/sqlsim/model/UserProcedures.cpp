#include "UserProcedures.h"

#include "TableDefinitions.h"
#include "TempTables.h"
#include "TokenCursor.h"

#include "BatchRunner.h"
#include "BuiltinFunctions.h"
#include "ExpressionParser.h"
#include "Names.h"
#include "Permissions.h"

namespace sqlsim::model {

namespace {

thread_local int g_nesting = 0;

// Puts things back when the procedure ends, however it ends.
struct Scope {
    Context& ctx;
    std::string database;
    std::map<std::string, std::string> options;
    ~Scope() {
        ctx.session.database = database;
        ctx.session.options = options; // SET options chosen inside end with it
        --g_nesting;
    }
};

} // namespace

ObjectDef* UserProcedures::find(Context& ctx, const std::string& name, Database** db) {
    auto parts = splitName(name);
    if (parts.empty() || parts.size() > 3 || parts.back().empty()) {
        return nullptr;
    }
    Database* d = nullptr;
    if (parts.size() == 3 && !parts[0].empty()) {
        d = ctx.instance.findDatabase(parts[0]);
    } else {
        d = ctx.instance.findDatabase(ctx.session.database);
    }
    if (!d) {
        return nullptr;
    }
    std::string owner = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();
    ObjectDef* o = d->findObject(owner.empty() ? bracketed(parts.back())
                                               : bracketed(owner) + "." + bracketed(parts.back()));
    if (!o || o->type != "P") {
        return nullptr;
    }
    *db = d;
    return o;
}

ModuleDefinition UserProcedures::storedDefinition(BatchRunner& inner) {
    size_t head = 0;
    while (inner.at(head).isSymbol(";")) {
        ++head;
    }
    std::optional<ModuleDefinition> def = ModuleDefinition::read(inner.m_tokens, head);
    if (!def) {
        throw SqlError(50000, 16, "__not_supported__"); // a kept text that no longer reads as a module
    }
    return std::move(*def);
}

UserProcedures::Outcome UserProcedures::call(Context& ctx, const ProcedureTable& procedures, Database& db,
                                             const ObjectDef& proc, const std::vector<Argument>& args,
                                             int callerTryDepth) {
    Permissions::requireOnObject(ctx, db, proc, Permissions::kExecute);
    if (g_nesting >= 32) {
        throw SqlError(217, 16,
                       "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).");
    }
    Request request;
    request.kind = Request::Kind::Statement;
    request.text = proc.source;
    BatchRunner inner(ctx, procedures, request);
    const ModuleDefinition def = storedDefinition(inner);
    const std::string& name = proc.name;
    const auto& declared = def.parameters;
    // Bind the arguments: by position first, then by name.
    std::vector<const Argument*> bound(declared.size(), nullptr);
    Outcome out;
    out.outputs.resize(args.size());
    out.types.resize(args.size());
    std::vector<size_t> target(args.size());
    bool namedSeen = false;
    size_t position = 0;
    for (size_t k = 0; k < args.size(); ++k) {
        const Argument& a = args[k];
        size_t index = declared.size();
        if (a.name.empty()) {
            if (namedSeen) {
                throw SqlError(119, 15,
                               "Must pass parameter number " + std::to_string(k + 1) +
                                   " and subsequent parameters as '@name = value'. After the form '@name = "
                                   "value' has been used, all subsequent parameters must be passed in the "
                                   "form '@name = value'.");
            }
            if (declared.empty()) {
                throw SqlError(8146, 16, "Procedure " + name + " has no parameters and arguments were supplied.",
                               1, name);
            }
            if (position >= declared.size()) {
                throw SqlError(8144, 16, "Procedure or function " + name + " has too many arguments specified.",
                               2, name);
            }
            index = position++;
        } else {
            namedSeen = true;
            for (size_t p = 0; p < declared.size(); ++p) {
                if (sameName(declared[p].name, a.name)) {
                    index = p;
                }
            }
            if (index == declared.size()) {
                throw SqlError(8145, 16, a.name + " is not a parameter for procedure " + name + ".", 2, name);
            }
        }
        if (!a.outputVariable.empty() && !declared[index].output) {
            throw SqlError(8162, 16,
                           "The formal parameter \"" + declared[index].name +
                               "\" was not declared as an OUTPUT parameter, but the actual parameter passed "
                               "in requested output.",
                           1, name);
        }
        bound[index] = &a;
        target[k] = index;
        out.types[k] = declared[index].type;
    }
    for (size_t p = 0; p < declared.size(); ++p) {
        const ModuleParameter& d = declared[p];
        SqlValue value;
        if (bound[p] && !bound[p]->isDefault) {
            value = bound[p]->value;
            if (d.type.type == SqlType::Variant && bound[p]->type) {
                value = BuiltinFunctions::cast(value, *bound[p]->type, d.type, -1);
            }
        } else if (d.hasDefault()) {
            size_t at = d.defaultAt;
            const Token& t = inner.at(at);
            if (t.kind == Token::Kind::Name && !t.isWord("null")) {
                value = SqlValue(t.text); // an unquoted word is a string
            } else {
                ExpressionParser ep(inner.m_tokens, at, inner.m_text);
                value = Evaluator::eval(*ep.parse(), inner.scope({}, nullptr));
            }
        } else {
            throw SqlError(201, 16,
                           "Procedure or function '" + name + "' expects parameter '" + d.name +
                               "', which was not supplied.",
                           4, name);
        }
        inner.m_variables[lower(d.name)] = Param{d.name, d.type, BatchRunner::stored(value, d.type), d.output};
    }

    ++g_nesting;
    Scope scope{ctx, ctx.session.database, ctx.session.options};
    ctx.session.database = db.name;
    inner.m_nested = true;
    inner.m_procedure = name;
    inner.m_tryDepth = callerTryDepth;
    ctx.response.add(ProcedureStart{});
    // The temporary tables the procedure makes go when it ends, however it ends.
    TempTables::Scope tempTables(ctx);
    if (std::optional<SqlError> escaped = runBody(ctx, inner, def.bodyAt, name)) {
        if (callerTryDepth > 0) {
            ctx.response.add(ReturnStatus{inner.m_returnStatus});
            throw *escaped;
        }
        addError(ctx.response, *escaped, escaped->line());
    }
    out.status = inner.m_returnStatus;
    ctx.response.add(ReturnStatus{out.status});
    for (size_t k = 0; k < args.size(); ++k) {
        if (!args[k].outputVariable.empty()) {
            out.outputs[k] = inner.m_variables.at(lower(declared[target[k]].name)).value;
        }
    }
    return out;
}

std::optional<SqlError> UserProcedures::runBody(Context& ctx, BatchRunner& inner, size_t pos,
                                                const std::string& name) {
    // What the module's statements raised names it, however the body ends.
    struct Naming {
        Context& ctx;
        size_t first;
        const std::string& name;
        ~Naming() {
            for (size_t k = first; k < ctx.response.items().size(); ++k) {
                if (auto* m = std::get_if<Message>(&ctx.response.items()[k]); m && m->procedure.empty()) {
                    m->procedure = name;
                }
            }
        }
    } naming{ctx, ctx.response.items().size(), name};
    try {
        inner.runCompiledFrom(pos);
    } catch (const BatchRunner::BatchEnd&) {
    } catch (const BatchRunner::LoopBreak&) {
    } catch (const BatchRunner::LoopContinue&) {
    } catch (const SqlError& e) {
        if (std::string(e.what()) == "__not_supported__") {
            throw; // the caller's batch is refused whole
        }
        SqlError named(e.number(), e.severity(), e.what(), e.state(), e.procedure().empty() ? name : e.procedure(),
                       e.line());
        named.following = e.following;
        return named;
    }
    return std::nullopt;
}

int UserProcedures::exec(BatchRunner& caller, Database& db, const ObjectDef& proc,
                         const std::vector<Argument>& args) {
    Outcome o = call(caller.m_ctx, caller.m_procedures, db, proc, args, caller.m_tryDepth);
    for (size_t k = 0; k < args.size(); ++k) {
        if (o.outputs[k]) {
            caller.assign(args[k].outputVariable, *o.outputs[k]);
        }
    }
    return o.status;
}

bool UserProcedures::callRpc(Context& ctx, const ProcedureTable& procedures, const Request& request) {
    Database* db = nullptr;
    ObjectDef* proc = find(ctx, request.procName, &db);
    if (!proc) {
        return false;
    }
    std::vector<Argument> args;
    for (const Param& p : request.params) {
        Argument a{p.name, p.value, false, {}, p.type};
        if (p.output) {
            a.outputVariable = p.name.empty() ? std::string("@") : p.name;
        }
        args.push_back(std::move(a));
    }
    Outcome o = call(ctx, procedures, *db, *proc, args, 0);
    ctx.response.add(ReturnStatus{o.status});
    for (size_t k = 0; k < args.size(); ++k) {
        if (o.outputs[k]) {
            ctx.response.add(OutputValue{request.params[k].name, o.types[k], *o.outputs[k]});
        }
    }
    return true;
}

SqlValue UserProcedures::runFunction(Context& ctx, const ProcedureTable& procedures, Database& db,
                                     const ObjectDef& f, const std::vector<SqlValue>& args) {
    if (g_nesting >= 32) {
        throw SqlError(217, 16,
                       "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).");
    }
    const std::string shown = db.ownerName(f.uid) + "." + f.name;
    Request request;
    request.kind = Request::Kind::Statement;
    request.text = f.source;
    BatchRunner inner(ctx, procedures, request);
    const ModuleDefinition def = storedDefinition(inner);
    if (def.parameters.empty()) {
        throw SqlError(50000, 16, "__not_supported__");
    }
    const ModuleParameter result = def.parameters.front();
    const std::vector<ModuleParameter> declared(def.parameters.begin() + 1, def.parameters.end());
    if (args.size() > declared.size()) {
        throw SqlError(8144, 16, "Procedure or function " + shown + " has too many arguments specified.", 1);
    }
    if (args.size() < declared.size()) {
        throw SqlError(313, 16,
                       "An insufficient number of arguments were supplied for the procedure or function " + shown +
                           ".",
                       3);
    }
    for (size_t k = 0; k < declared.size(); ++k) {
        const ModuleParameter& d = declared[k];
        inner.m_variables[lower(d.name)] = Param{d.name, d.type, BatchRunner::stored(args[k], d.type), false};
    }
    struct Nesting {
        Nesting() { ++g_nesting; }
        ~Nesting() { --g_nesting; }
    } nesting;
    const std::string database = ctx.session.database;
    ctx.session.database = db.name;
    inner.m_nested = true;
    inner.m_procedure = f.name;
    inner.m_inFunction = true;
    std::optional<SqlError> escaped;
    try {
        escaped = UserProcedures::runBody(ctx, inner, def.bodyAt, f.name);
    } catch (...) {
        ctx.session.database = database;
        throw;
    }
    ctx.session.database = database;
    if (escaped) {
        throw *escaped;
    }
    return BatchRunner::stored(inner.m_returnValue, result.type);
}

Relation UserProcedures::inlineSelect(BatchRunner& inner, const ModuleDefinition& def, size_t& pos,
                                      const std::vector<SqlValue>& args) {
    for (size_t k = 0; k < def.parameters.size(); ++k) {
        const ModuleParameter& d = def.parameters[k];
        const SqlValue v = k < args.size() ? BatchRunner::stored(args[k], d.type) : SqlValue::null();
        inner.m_variables[lower(d.name)] = Param{d.name, d.type, v, false};
    }
    if (!inner.at(pos).isWord("return")) {
        syntaxError(inner.at(pos));
    }
    ++pos;
    const bool parenthesized = inner.at(pos).isSymbol("(");
    if (parenthesized) {
        ++pos;
    }
    if (!inner.at(pos).isWord("select")) {
        throw SqlError(50000, 16, "__not_supported__"); // a common table expression, a union in parentheses
    }
    Relation r = inner.select(pos);
    if (parenthesized) {
        inner.expectSymbol(pos, ")");
    }
    while (inner.at(pos).isSymbol(";")) {
        ++pos;
    }
    if (inner.at(pos).kind != Token::Kind::End) {
        syntaxError(inner.at(pos));
    }
    return r;
}

Relation UserProcedures::readFunction(BatchRunner& caller, const std::string& name,
                                      const std::vector<std::optional<SqlValue>>& args) {
    Context& ctx = caller.m_ctx;
    auto parts = splitName(name);
    Database* db = parts.size() == 3 && !parts[0].empty() ? ctx.instance.findDatabase(parts[0]) : &ctx.db();
    ObjectDef* f = nullptr;
    if (db && parts.size() <= 3 && !parts.back().empty()) {
        const std::string owner = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();
        f = db->findObject(owner.empty() ? bracketed(parts.back())
                                         : bracketed(owner) + "." + bracketed(parts.back()));
    }
    if (!f || (f->type != "IF" && f->type != "TF")) {
        std::string shown;
        for (const std::string& part : parts) {
            shown += (shown.empty() ? "" : ".") + part;
        }
        throw SqlError(208, 16, "Invalid object name '" + shown + "'.");
    }
    if (caller.m_checkPermissions) {
        Permissions::requireOnObject(ctx, *db, *f, Permissions::kSelect);
    }
    if (g_nesting >= 32) {
        throw SqlError(
            217, 16,
            "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).");
    }
    Request request;
    request.kind = Request::Kind::Statement;
    request.text = f->source;
    BatchRunner inner(ctx, caller.m_procedures, request);
    const ModuleDefinition def = storedDefinition(inner);
    const std::string shown = db->ownerName(f->uid) + "." + f->name;
    if (args.size() > def.parameters.size()) {
        throw SqlError(8144, 16, "Procedure or function " + shown + " has too many arguments specified.", 1);
    }
    if (args.size() < def.parameters.size()) {
        throw SqlError(313, 16,
                       "An insufficient number of arguments were supplied for the procedure or function " +
                           shown + ".",
                       3);
    }
    // "default" takes the parameter's declared default, evaluated as the function starts.
    std::vector<SqlValue> values;
    for (size_t k = 0; k < args.size(); ++k) {
        if (args[k]) {
            values.push_back(*args[k]);
            continue;
        }
        const ModuleParameter& d = def.parameters[k];
        if (!d.hasDefault()) {
            // "default" for a parameter declared without one counts as an argument left out.
            throw SqlError(313, 16,
                           "An insufficient number of arguments were supplied for the procedure or function " +
                               shown + ".",
                           3);
        }
        size_t at = d.defaultAt;
        ExpressionParser ep(inner.m_tokens, at, inner.m_text);
        values.push_back(Evaluator::eval(*ep.parse(), inner.scope({}, nullptr)));
    }
    ++g_nesting;
    Scope scope{ctx, ctx.session.database, ctx.session.options};
    ctx.session.database = db->name;
    inner.m_nested = true;
    inner.m_checkPermissions = false; // its owner's rights cover the tables it reads, as a view's
    if (def.type == "TF") {
        return runTableFunction(ctx, inner, def, *f, values);
    }
    size_t pos = def.bodyAt;
    Relation r = inlineSelect(inner, def, pos, values);
    // The function's columns as it declared them when it was made.
    for (size_t k = 0; k < r.columns.size() && k < f->columns.size(); ++k) {
        r.columns[k].name = f->columns[k].name;
    }
    return r;
}

Relation UserProcedures::runTableFunction(Context& ctx, BatchRunner& inner, const ModuleDefinition& def,
                                          const ObjectDef& f, const std::vector<SqlValue>& args) {
    for (size_t k = 0; k < def.parameters.size(); ++k) {
        const ModuleParameter& d = def.parameters[k];
        inner.m_variables[lower(d.name)] = Param{d.name, d.type, BatchRunner::stored(args[k], d.type), false};
    }
    // The table it returns starts empty each time it is called; its body fills it.
    size_t at = def.returnTableAt;
    Cursor c{inner.m_tokens, at};
    TableDefinitions::declareTable(c, inner.tableVariables(), def.returnTable);
    inner.m_procedure = f.name;
    inner.m_inFunction = true;
    if (std::optional<SqlError> escaped = runBody(ctx, inner, def.bodyAt, f.name)) {
        throw *escaped;
    }
    const ObjectDef* table = inner.tableVariable(def.returnTable);
    Relation r;
    for (const auto& col : table->columns) {
        r.columns.push_back(Column{col.name, col.type, col.nullable, col.identity, col.isComputed()});
    }
    r.rows = table->rows;
    return r;
}

} // namespace sqlsim::model
