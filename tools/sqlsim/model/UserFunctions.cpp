#include "UserFunctions.h"

#include "BatchRunner.h"
#include "Names.h"
#include "Permissions.h"
#include "UserProcedures.h"

namespace sqlsim::model {

namespace {

ObjectDef* findFunction(Context& ctx, const std::string& name, Database** db) {
    auto parts = splitName(name);
    Database* d = parts.size() == 3 && !parts[0].empty() ? ctx.instance.findDatabase(parts[0])
                                                         : ctx.instance.findDatabase(ctx.session.database);
    if (!d || parts.size() < 2) {
        return nullptr;
    }
    ObjectDef* o = d->findObject(bracketed(parts[parts.size() - 2]) + "." + bracketed(parts.back()));
    if (!o || o->type != "FN") {
        return nullptr;
    }
    *db = d;
    return o;
}

std::optional<ModuleDefinition> definition(const std::string& source) {
    std::vector<Token> tokens = SqlLexer::tokenize(source);
    size_t head = 0;
    while (head < tokens.size() && tokens[head].isSymbol(";")) {
        ++head;
    }
    return ModuleDefinition::read(tokens, head);
}

} // namespace

std::optional<ColumnType> UserFunctions::type(Context& ctx, const std::string& name) {
    Database* db = nullptr;
    ObjectDef* f = findFunction(ctx, name, &db);
    if (!f) {
        return std::nullopt;
    }
    std::optional<ModuleDefinition> def = definition(f->source);
    if (!def || def->parameters.empty()) {
        return std::nullopt;
    }
    return def->parameters.front().type; // the result comes first
}

SqlValue UserFunctions::call(Context& ctx, const ProcedureTable& procedures, const std::string& name,
                             const std::vector<SqlValue>& args) {
    Database* db = nullptr;
    ObjectDef* f = findFunction(ctx, name, &db);
    if (!f) {
        auto parts = splitName(name);
        throw SqlError(4121, 16,
                       "Cannot find either column \"" + parts[parts.size() - 2] +
                           "\" or the user-defined function or aggregate \"" + name +
                           "\", or the name is ambiguous.");
    }
    Permissions::requireOnObject(ctx, *db, *f, Permissions::kExecute);
    return UserProcedures::runFunction(ctx, procedures, *db, *f, args);
}

} // namespace sqlsim::model
