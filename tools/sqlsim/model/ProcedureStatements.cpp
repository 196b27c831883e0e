#include "ProcedureStatements.h"

#include "BatchRunner.h"
#include "DatabaseTriggers.h"
#include "FunctionBodies.h"
#include "Names.h"
#include "Permissions.h"
#include "SqlLexer.h"
#include "UserProcedures.h"

namespace sqlsim::model {

namespace {

[[noreturn]] void refuse() {
    throw SqlError(50000, 16, "__not_supported__");
}

const char* dropWord(const Token& t) {
    if (t.isWord("procedure") || t.isWord("proc")) {
        return "procedure";
    }
    for (const char* w : {"view", "function", "trigger"}) {
        if (t.isWord(w)) {
            return w;
        }
    }
    return nullptr;
}

bool ofKind(const ObjectDef& o, const std::string& word) {
    if (word == "procedure") {
        return o.type == "P";
    }
    if (word == "view") {
        return o.type == "V";
    }
    if (word == "function") {
        return o.type == "FN" || o.type == "IF" || o.type == "TF";
    }
    return o.type == "TR";
}

// Where the character at offset of the batch as the runner reads it stands in the batch as sent.
size_t rawOffset(const std::string& raw, size_t offset) {
    std::vector<size_t> kept; // raw index of each character kept by the runner's reading
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            continue;
        }
        kept.push_back(i);
    }
    size_t b = 0;
    while (b < kept.size() && std::isspace(static_cast<unsigned char>(raw[kept[b]]))) {
        ++b;
    }
    return b + offset < kept.size() ? kept[b + offset] : raw.size();
}

// The owner a schema name means: dbo when none is given.
int ownerUid(Database& db, const std::string& schema) {
    if (schema.empty() || sameName(schema, "dbo")) {
        return Database::kDboUid;
    }
    DbPrincipal* p = db.principal(schema);
    if (!p || p->uid == Database::kPublicUid) {
        throw SqlError(2760, 16,
                       "The specified schema name \"" + schema +
                           "\" either does not exist or you do not have permission to use it.");
    }
    return p->uid;
}

std::string upperWord(std::string s) {
    for (char& ch : s) {
        ch = char(std::toupper(static_cast<unsigned char>(ch)));
    }
    return s;
}

// An object has at most one instead of trigger for each of insert, update and delete: 2111 for a
// second one (self: the trigger being altered, which may keep its own).
void checkOneInsteadOf(Database& db, const ModuleDefinition& def, const ObjectDef& parent, int self) {
    for (const auto& [id, o] : db.objects) {
        if (o.type != "TR" || o.parentId != parent.id || id == self) {
            continue;
        }
        std::vector<Token> tokens = SqlLexer::tokenize(o.source);
        size_t head = 0;
        while (head < tokens.size() && tokens[head].isSymbol(";")) {
            ++head;
        }
        std::optional<ModuleDefinition> other = ModuleDefinition::read(tokens, head);
        if (!other || !other->insteadOf) {
            continue;
        }
        for (const std::string& e : def.events) {
            for (const std::string& taken : other->events) {
                if (e == taken) {
                    throw SqlError(2111, 16,
                                   std::string("Cannot ") + (def.verb == ModuleDefinition::Verb::Create ? "CREATE" : "ALTER") +
                                       " trigger '" + def.name + "' on " + (parent.type == "V" ? "view" : "table") +
                                       " '" + def.parentTable + "' because an INSTEAD OF " + upperWord(e) +
                                       " trigger already exists on this object.",
                                   1);
                }
            }
        }
    }
}

} // namespace

bool ProcedureStatements::handles(const std::vector<Token>& tokens, size_t pos) {
    if (ModuleDefinition::startsModule(tokens, pos)) {
        return true;
    }
    return pos + 1 < tokens.size() && tokens[pos].isWord("drop") && dropWord(tokens[pos + 1]);
}

void ProcedureStatements::run(BatchRunner& runner, Context& ctx, const std::string& rawText, size_t& pos) {
    if (runner.tokens()[pos].isWord("drop")) {
        drop(ctx, runner.tokens(), pos);
    } else {
        create(runner, ctx, rawText, pos);
    }
}

void ProcedureStatements::create(BatchRunner& runner, Context& ctx, const std::string& rawText, size_t& pos) {
    const std::vector<Token>& tokens = runner.tokens();
    std::optional<ModuleDefinition> def = ModuleDefinition::read(tokens, pos);
    if (def->type != "V" && def->type != "IF") {
        // The body is parsed as the module is created: a syntax error fails the create. The names
        // it uses are looked up only when it runs.
        const CompiledBatch body = BatchCompiler(runner, ctx).compile(def->bodyAt);
        if (def->type == "FN" || def->type == "TF") {
            FunctionBodies::check(tokens, body.statements, def->name, def->type == "TF");
        }
    }
    const std::string source = rawText.substr(rawOffset(rawText, tokens[pos].offset));
    pos = tokens.size() - 1; // the rest of the batch is the body
    if (def->onDatabase) {
        DatabaseTriggers::define(ctx, *def, source);
        return;
    }
    Database& db = ctx.db();
    const int uid = ownerUid(db, def->schema);
    const std::string qualified = bracketed(db.ownerName(uid)) + "." + bracketed(def->name);
    ObjectDef* existing = db.findObject(qualified);
    const bool altering =
        def->verb == ModuleDefinition::Verb::Alter || (def->verb == ModuleDefinition::Verb::CreateOrAlter && existing);
    if (!Permissions::dbRole(ctx, db, "db_ddladmin")) {
        if (altering && existing) {
            throw SqlError(15151, 16,
                           "Cannot alter the " + lower(def->word) + " '" + def->name +
                               "', because it does not exist or you do not have permission.");
        }
        throw SqlError(262, 14, (altering ? "ALTER " : "CREATE ") + def->word +
                                    " permission denied in database '" + db.name + "'.");
    }
    if (!altering && existing) {
        throw SqlError(2714, 16, "There is already an object named '" + def->name + "' in the database.", 6);
    }
    if (altering && !existing) {
        throw SqlError(208, 16, "Invalid object name '" + def->name + "'.", 6);
    }
    if (altering && existing->type != def->type) {
        refuse(); // alter of an object of another kind
    }
    int parentId = 0;
    if (def->type == "TR") {
        // A table takes after and instead of triggers, a view only instead of ones.
        ObjectDef* table = db.findObject(def->parentTable);
        if (!table || !(table->isTable() || (table->type == "V" && def->insteadOf))) {
            throw SqlError(8197, 16,
                           "The object '" + def->parentTable + "' does not exist or is invalid for this operation.");
        }
        if (altering && existing->parentId != table->id) {
            refuse(); // moving a trigger to another table
        }
        parentId = table->id;
        if (def->insteadOf) {
            checkOneInsteadOf(db, *def, *table, altering ? existing->id : 0);
        }
    }
    std::vector<TableColumn> columns;
    if (def->type == "TF") {
        columns = FunctionBodies::returnColumns(tokens, *def);
    }
    if (def->type == "V" || def->type == "IF") {
        // The select compiles as the view or inline function is created: what it reads must exist,
        // and its columns become the object's. A function's parameters are NULL for it.
        Request request;
        request.text = source;
        BatchRunner reader(ctx, runner.m_procedures, request);
        size_t at = def->bodyAt;
        Relation r;
        if (def->type == "IF") {
            r = UserProcedures::inlineSelect(reader, *def, at, {});
        } else {
            if (!reader.at(at).isWord("select")) {
                refuse();
            }
            r = reader.select(at);
            while (reader.at(at).isSymbol(";")) {
                ++at;
            }
            if (reader.at(at).kind != Token::Kind::End) {
                refuse(); // with check option, or more than one statement
            }
        }
        if (!def->columns.empty() && def->columns.size() != r.columns.size()) {
            throw SqlError(8159, 16,
                           "'" + def->name + "' has " +
                               (def->columns.size() > r.columns.size() ? "fewer" : "more") +
                               " columns than were specified in the column list.");
        }
        for (size_t k = 0; k < r.columns.size(); ++k) {
            TableColumn c;
            c.name = def->columns.empty() ? r.columns[k].name : def->columns[k];
            c.type = r.columns[k].type;
            c.nullable = r.columns[k].nullable;
            if (c.name.empty()) {
                throw SqlError(4511, 16,
                               "Create View or Function failed because no column name was specified for "
                               "column " +
                                   std::to_string(k + 1) + ".");
            }
            for (const TableColumn& other : columns) {
                if (sameName(other.name, c.name)) {
                    throw SqlError(4506, 16,
                                   "Column names in each view or function must be unique. Column name '" +
                                       c.name + "' in view or function '" + def->name +
                                       "' is specified more than once.");
                }
            }
            columns.push_back(std::move(c));
        }
    }
    if (altering) {
        existing->source = source;
        existing->columns = std::move(columns);
        return;
    }
    ObjectDef& o = db.addModule(def->type, def->name, source, parentId, uid);
    o.created = Instance::now();
    o.columns = std::move(columns);
}

void ProcedureStatements::drop(Context& ctx, const std::vector<Token>& tokens, size_t& pos) {
    auto at = [&](size_t k) -> const Token& { return k < tokens.size() ? tokens[k] : tokens.back(); };
    const std::string word = dropWord(at(pos + 1));
    pos += 2;
    bool ifExists = false;
    if (at(pos).isWord("if") && at(pos + 1).isWord("exists")) {
        ifExists = true;
        pos += 2;
    }
    Database& db = ctx.db();
    std::vector<std::pair<std::string, std::string>> names; // as looked up, as shown
    while (true) {
        if (!at(pos).isName()) {
            syntaxError(at(pos));
        }
        std::vector<std::string> parts{at(pos).text};
        ++pos;
        while (at(pos).isSymbol(".") && at(pos + 1).isName()) {
            parts.push_back(at(pos + 1).text);
            pos += 2;
        }
        if (parts.size() > 2) {
            refuse();
        }
        std::string name = parts.size() == 2 ? bracketed(parts[0]) + "." + bracketed(parts[1]) : bracketed(parts[0]);
        names.emplace_back(parts.size() == 2 ? name : parts.back(), parts.back());
        if (!at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    if (word == "trigger" && at(pos).isWord("on")) {
        if (!at(pos + 1).isWord("database")) {
            refuse(); // triggers on the server's statements
        }
        pos += 2;
        DatabaseTriggers::drop(ctx, names, ifExists);
        return;
    }
    for (auto& [name, shown] : names) {
        if (name == shown) {
            name = bracketed(shown);
        }
        ObjectDef* o = db.findObject(name);
        if (o && !ofKind(*o, word)) {
            refuse(); // dropping an object of another kind
        }
    }
    // Each object goes in turn; one that cannot go is reported and the others still go.
    std::vector<SqlError> failed;
    for (const auto& [name, shown] : names) {
        ObjectDef* o = db.findObject(name);
        if (o && Permissions::dbRole(ctx, db, "db_ddladmin")) {
            db.dropObject(o->id);
        } else if (o || !ifExists) {
            failed.emplace_back(3701, 11,
                                "Cannot drop the " + word + " '" + shown +
                                    "', because it does not exist or you do not have permission.");
        }
    }
    if (!failed.empty()) {
        SqlError first = failed.front();
        first.following.insert(first.following.end(), failed.begin() + 1, failed.end());
        throw first;
    }
}

} // namespace sqlsim::model
