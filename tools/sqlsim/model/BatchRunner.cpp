#include "BatchRunner.h"

#include "DatabaseTriggers.h"

#include "AlterDatabaseStatements.h"
#include "DatabaseStatements.h"
#include "ExpressionParser.h"
#include "Names.h"
#include "PermissionStatements.h"
#include "ProcedureStatements.h"
#include "SecurityProcedures.h"
#include "SystemProcedures.h"
#include "TableStatements.h"
#include "TextTemplate.h"
#include "Transactions.h"
#include "UserProcedures.h"

#include "../RuleResponder.h"

#include <algorithm>
#include <cctype>

namespace sqlsim::model {

BatchRunner::BatchRunner(Context& ctx, const ProcedureTable& procedures, const Request& request)
    : m_ctx(ctx), m_procedures(procedures), m_request(request), m_text(TextTemplate::normalize(request.text)),
      m_tokens(SqlLexer::tokenize(m_text)) {}

void BatchRunner::notSupported() {
    throw SqlError(50000, 16, "__not_supported__");
}

void BatchRunner::run() {
    m_isBatch = true;
    m_sessionBefore = m_ctx.session;
    m_itemsBefore = m_ctx.response.items().size();
    m_tranCountBefore = m_ctx.session.tranCount;
    // A "]" that closes no bracketed name (as in [dbo].[a]b]) fails the whole batch when it compiles.
    for (const Token& t : m_tokens) {
        if (t.isSymbol("]")) {
            m_ctx.response.error(102, 15, "Incorrect syntax near ']'.", 1, {}, int(t.line));
            return;
        }
    }
    // The old outer join operators fail the whole batch as it compiles, at every compatibility
    // level the server supports ("@v *= 2" is an assignment and stays valid).
    for (size_t k = 0; k < m_tokens.size(); ++k) {
        const Token& t = m_tokens[k];
        if ((t.isSymbol("*=") || t.isSymbol("=*")) &&
            !(k > 0 && m_tokens[k - 1].kind == Token::Kind::Variable)) {
            addError(m_ctx.response, ExpressionParser::outerJoinError(int(t.line)), int(t.line));
            return;
        }
    }
    // The whole batch is read and checked before any of it runs.
    CompiledBatch batch;
    try {
        batch = BatchCompiler(*this, m_ctx).compile();
    } catch (const SqlError& e) {
        if (std::string(e.what()) == "__not_supported__") {
            if (m_nested) {
                throw; // the outer batch is refused whole
            }
            RuleResponder::notSupported(m_request, m_ctx.response);
            return;
        }
        addError(m_ctx.response, e, 1);
        return;
    }
    m_declarations = std::move(batch.declarations);
    try {
        runSequence(batch.statements);
    } catch (const BatchEnd&) {
        return;
    } catch (const LoopBreak&) {
        m_ctx.response.error(135, 15, "Cannot use a BREAK statement outside the scope of a WHILE statement.",
                             1, {}, m_statementLine);
    } catch (const LoopContinue&) {
        m_ctx.response.error(136, 15, "Cannot use a CONTINUE statement outside the scope of a WHILE statement.",
                             1, {}, m_statementLine);
    } catch (const SqlError& e) {
        if (std::string(e.what()) == "__not_supported__") {
            if (m_nested) {
                throw; // the outer batch is refused whole
            }
            undoBatch();
            RuleResponder::notSupported(m_request, m_ctx.response);
            return;
        }
        // What only running finds out but fails the batch as if it had not compiled: variables used
        // but not declared (137).
        undoBatch();
        addError(m_ctx.response, e, m_statementLine);
    }
}

bool BatchRunner::xactAbort() {
    auto it = m_ctx.session.options.find("xact_abort");
    if (it == m_ctx.session.options.end() || it->second != "on") {
        return false;
    }
    Transactions::rollbackAll(m_ctx.instance, m_ctx.session, &m_ctx.response);
    return true;
}

void BatchRunner::prepareToWrite() {
    Transactions::waitToWrite(m_ctx);
    Transactions::writing(m_ctx);
    if (m_isBatch && !m_undo) {
        m_undo = m_ctx.instance.snapshot();
    }
}

void BatchRunner::undoBatch() {
    if (!m_isBatch || m_ctx.response.partlySent) {
        return; // what went out before a wait cannot be taken back
    }
    if (m_undo) {
        m_ctx.instance.restore(std::move(*m_undo));
        m_undo.reset();
    }
    if (m_tranCountBefore == 0 && m_ctx.session.tranCount > 0) {
        m_ctx.instance.transactions.erase(m_ctx.session.spid);
        if (m_ctx.instance.transactionOwner == m_ctx.session.spid) {
            m_ctx.instance.transactionOwner = 0;
            m_ctx.instance.transactionWrote = false;
        }
    }
    m_ctx.session = m_sessionBefore;
    m_ctx.response.items().resize(m_itemsBefore);
}

bool BatchRunner::startsStatement(const Token& t) {
    for (const char* w : {"select",  "insert",   "update", "delete", "exec",     "execute",   "print",
                          "use",     "create",   "drop",   "alter",  "set",      "raiserror", "backup",
                          "restore", "if",       "else",   "begin",  "end",      "declare",   "waitfor",
                          "commit",  "rollback", "while",  "break",  "continue", "return",  "throw",   "truncate",
                          "grant",   "revoke",   "deny"}) {
        if (t.isWord(w)) {
            return true;
        }
    }
    return false;
}

void BatchRunner::expectSymbol(size_t& pos, const char* symbol) {
    if (!at(pos).isSymbol(symbol)) {
        syntaxError(at(pos));
    }
    ++pos;
}

std::string BatchRunner::readName(size_t& pos) {
    std::string name;
    if (!at(pos).isName()) {
        syntaxError(at(pos));
    }
    while (true) {
        if (at(pos).isName()) {
            name += bracketed(at(pos).text);
            ++pos;
        }
        if (at(pos).isSymbol(".")) {
            name += ".";
            ++pos;
            continue;
        }
        break;
    }
    return name;
}

bool BatchRunner::runStatement(size_t& pos) {
    const Token& t = at(pos);
    const bool readOnly =
        t.isWord("select") || t.isWord("print") || t.isWord("use") || t.isWord("waitfor") ||
        t.isWord("raiserror") || t.isWord("throw") || t.isWord("commit") || t.isWord("rollback") ||
        t.isWord("declare") || (t.isWord("set") && !at(pos + 1).isWord("identity_insert")) ||
        t.isWord("if") || t.isWord("while") || t.isWord("break") || t.isWord("continue") ||
        t.isWord("return") || t.isWord("with") ||
        (t.isWord("begin") && !at(pos + 1).isWord("tran") && !at(pos + 1).isWord("transaction"));
    if (!readOnly && !callsReadOnlyProcedure(pos)) {
        prepareToWrite();
    }
    if (t.isWord("use")) {
        runUse(pos);
    } else if (t.isWord("exec") || t.isWord("execute")) {
        ++pos;
        if (at(pos).isSymbol("(")) {
            runDynamic(pos);
        } else if (at(pos).isWord("sp_executesql") ||
                   (at(pos).isName() && at(pos + 1).isSymbol(".") &&
                    (at(pos + 2).isWord("sp_executesql") ||
                     (at(pos + 2).isSymbol(".") && at(pos + 3).isWord("sp_executesql"))))) {
            runExecuteSql(pos);
        } else {
            runExec(pos, true);
        }
    } else if (t.isName() && pos == 0 && t.kind == Token::Kind::Name &&
               (lower(t.text).rfind("sp_", 0) == 0 || at(pos + 1).isSymbol("."))) {
        runExec(pos, false);
    } else if (t.isWord("select") && at(pos + 1).kind == Token::Kind::Variable && at(pos + 2).isSymbol("=")) {
        runSelectAssign(pos);
    } else if (t.isWord("break") || t.isWord("continue")) {
        ++pos;
        if (t.isWord("break")) {
            throw LoopBreak{};
        }
        throw LoopContinue{};
    } else if (t.isWord("return")) {
        ++pos;
        if (at(pos).kind != Token::Kind::End && !at(pos).isSymbol(";") && !startsStatement(at(pos))) {
            if (m_procedure.empty()) {
                notSupported(); // return with a value, outside a procedure
            }
            ExpressionParser p(m_tokens, pos, m_text);
            SqlValue v = Evaluator::eval(*p.parse(), scope({}, nullptr));
            if (m_inFunction) {
                m_returnValue = v;
                throw BatchEnd{};
            }
            m_returnStatus = v.isNull() ? 0 : int(Evaluator::coerce(v, ColumnType::of(SqlType::Int)).toInt());
        }
        throw BatchEnd{};
    } else if (t.isWord("select")) {
        m_intoDone = false;
        Relation r = select(pos);
        if (m_intoDone) {
            return true;
        }
        ResultSet rs;
        rs.columns = r.columns;
        rs.rows = std::move(r.rows);
        rs.counted = !m_ctx.noCount();
        m_ctx.response.resultSet(std::move(rs)); // its DONE carries the row count
    } else if (t.isWord("with")) {
        runWith(pos);
    } else if (t.isWord("insert") || t.isWord("update") || t.isWord("delete")) {
        TableStatements::run(*this, m_ctx, pos);
    } else if (ProcedureStatements::handles(m_tokens, pos)) {
        DatabaseTriggers::Statement definition(*this, m_ctx, pos);
        ProcedureStatements::run(*this, m_ctx, m_request.text, pos);
        definition.fire();
    } else if ((t.isWord("create") || t.isWord("drop") || t.isWord("alter") || t.isWord("truncate")) &&
               at(pos + 1).isWord("table")) {
        DatabaseTriggers::Statement definition(*this, m_ctx, pos);
        TableStatements::run(*this, m_ctx, pos);
        definition.fire();
    } else if (DatabaseTriggers::handlesEnable(m_tokens, pos)) {
        DatabaseTriggers::runEnable(m_ctx, m_tokens, pos);
    } else if (t.isWord("alter") && at(pos + 1).isWord("database")) {
        if (!AlterDatabaseStatements::run(m_ctx, m_tokens, pos)) {
            notSupported();
        }
    } else if (t.isWord("create") || t.isWord("drop") || t.isWord("backup") || t.isWord("restore")) {
        if (!DatabaseStatements::run(m_ctx, m_tokens, pos)) {
            notSupported();
        }
    } else if (t.isWord("grant") || t.isWord("revoke") || t.isWord("deny")) {
        PermissionStatements::run(m_ctx, m_tokens, pos);
    } else if (t.isWord("waitfor")) {
        runWaitfor(pos);
    } else if (t.isWord("print")) {
        runPrint(pos);
    } else if (t.isWord("raiserror")) {
        runRaiserror(pos);
    } else if (t.isWord("throw")) {
        runThrow(pos);
    } else if (t.isWord("set")) {
        runSet(pos);
    } else if (t.isWord("declare")) {
        runDeclare(pos);
    } else if ((t.isWord("begin") && (at(pos + 1).isWord("tran") || at(pos + 1).isWord("transaction"))) ||
               t.isWord("commit") || t.isWord("rollback")) {
        if (m_triggerRows && t.isWord("rollback")) {
            throw TriggerRollback{};
        }
        runTransaction(pos);
    } else if (t.kind == Token::Kind::Name && !isKeyword(t.text)) {
        if (pos != 0) {
            syntaxError(t); // a plain name runs a procedure only as the batch's first statement
        }
        runExec(pos, false);
    } else {
        notSupported();
    }
    return true;
}

void BatchRunner::runUse(size_t& pos) {
    ++pos;
    if (!at(pos).isName()) {
        syntaxError(at(pos));
    }
    std::string name = at(pos).text;
    size_t line = at(pos).line;
    ++pos;
    if (at(pos).kind != Token::Kind::End && !at(pos).isSymbol(";") && at(pos).line == line) {
        syntaxError(at(pos));
    }
    Database* db = m_ctx.instance.findDatabase(name);
    if (!db) {
        throw SqlError(
            911, 16, "Database '" + name + "' does not exist. Make sure that the name is entered correctly.");
    }
    if (!SystemProcedures::hasDbAccess(m_ctx.instance, m_ctx.session.login, *db)) {
        throw SqlError(916, 14,
                       "The server principal \"" + m_ctx.session.login +
                           "\" is not able to access the database \"" + db->name +
                           "\" under the current security context.");
    }
    m_ctx.session.database = db->name;
    m_ctx.response.add(DatabaseChange{db->name});
}

void BatchRunner::runExec(size_t& pos, bool keyword) {
    std::string procName;
    size_t line = at(pos).line;
    std::string statusVariable;
    if (keyword && at(pos).kind == Token::Kind::Variable && at(pos + 1).isSymbol("=")) {
        statusVariable = at(pos).text; // exec @status = proc
        pos += 2;
    }
    std::string qualifier;
    while (true) {
        if (at(pos).isName()) {
            procName = at(pos).text;
            ++pos;
        }
        if (at(pos).isSymbol(".")) {
            qualifier += procName + ".";
            ++pos;
            continue;
        }
        break;
    }
    if (procName.empty()) {
        syntaxError(at(pos));
    }
    std::vector<Argument> args;
    auto ends = [&](size_t p) {
        const Token& t = at(p);
        return t.kind == Token::Kind::End || t.isSymbol(";") ||
               (t.line != line && t.kind == Token::Kind::Name);
    };
    while (!ends(pos)) {
        Argument a;
        if (at(pos).kind == Token::Kind::Variable && at(pos + 1).isSymbol("=")) {
            a.name = at(pos).text;
            pos += 2;
        }
        const Token& v = at(pos);
        const std::string variable = v.kind == Token::Kind::Variable ? v.text : std::string();
        if (v.kind == Token::Kind::Name && !v.isWord("null") && !v.isWord("default")) {
            a.value = SqlValue(v.text); // an unquoted word is a string argument
            ++pos;
        } else if (v.isWord("default")) {
            a.isDefault = true;
            ++pos;
        } else {
            ExpressionParser p(m_tokens, pos, m_text);
            auto e = p.parse();
            a.value = Evaluator::eval(*e, scope({}, nullptr));
            try {
                a.type = Evaluator::typeOf(*e, scope({}, nullptr)); // a sql_variant parameter keeps it
            } catch (const SqlError&) {
                a.type.reset(); // the value's own storage tells it then
            }
        }
        if (at(pos).isWord("output") || at(pos).isWord("out")) {
            a.outputVariable = variable;
            ++pos;
        }
        args.push_back(a);
        if (at(pos).isSymbol(",")) {
            ++pos;
            continue;
        }
        break;
    }
    std::string savedDb = m_ctx.session.database;
    auto parts = splitName(qualifier + procName);
    if (parts.size() == 3 && !parts[0].empty()) {
        Database* db = m_ctx.instance.findDatabase(parts[0]);
        if (!db) {
            throw SqlError(2812, 16, "Could not find stored procedure '" + qualifier + procName + "'.", 62);
        }
    }
    Database* userDb = nullptr;
    int status = 0;
    if (ObjectDef* user = UserProcedures::find(m_ctx, qualifier + procName, &userDb)) {
        status = UserProcedures::exec(*this, *userDb, *user, args);
    } else {
        if (parts.size() == 3 && !parts[0].empty()) {
            m_ctx.session.database = m_ctx.instance.findDatabase(parts[0])->name;
        }
        if (!m_procedures.has(procName)) {
            m_ctx.session.database = savedDb;
            throw SqlError(2812, 16, "Could not find stored procedure '" + procName + "'.", 62);
        }
        status = m_procedures.call(m_ctx, procName, args);
        m_ctx.session.database = savedDb;
    }
    if (!statusVariable.empty()) {
        assign(statusVariable, SqlValue(int64_t(status)));
    }
}

void BatchRunner::runPrint(size_t& pos) {
    ++pos;
    ExpressionParser p(m_tokens, pos, m_text);
    auto e = p.parse();
    SqlValue v = Evaluator::eval(*e, scope({}, nullptr));
    m_ctx.response.info(v.isNull() ? std::string() : v.toText());
}

void BatchRunner::runRaiserror(size_t& pos) {
    ++pos;
    expectSymbol(pos, "(");
    std::vector<SqlValue> args;
    while (true) {
        ExpressionParser p(m_tokens, pos, m_text);
        args.push_back(Evaluator::eval(*p.parse(), scope({}, nullptr)));
        if (at(pos).isSymbol(",")) {
            ++pos;
            continue;
        }
        break;
    }
    expectSymbol(pos, ")");
    if (at(pos).isWord("with")) {
        ++pos;
        while (at(pos).isWord("log") || at(pos).isWord("nowait") || at(pos).isWord("seterror") ||
               at(pos).isSymbol(",")) {
            ++pos;
        }
    }
    if (args.size() < 3) {
        throw SqlError(102, 15, "Incorrect syntax near ')'.");
    }
    int severity = int(std::clamp<int64_t>(args[1].toInt(), 0, 25));
    int state = int(args[2].toInt() < 0 ? 1 : std::min<int64_t>(args[2].toInt(), 255));
    std::string format = args[0].toText();
    std::string message;
    size_t next = 3;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            size_t j = i + 1;
            while (j < format.size() &&
                   std::string("-+ #0123456789.lhI64").find(format[j]) != std::string::npos) {
                ++j;
            }
            if (j < format.size() && std::string("dsiuoxX").find(format[j]) != std::string::npos) {
                message += next < args.size() ? args[next++].toText() : std::string("(null)");
                i = j;
                continue;
            }
            if (format[i + 1] == '%') {
                message += '%';
                ++i;
                continue;
            }
        }
        message += format[i];
    }
    if (severity > 18 && !m_ctx.instance.isSysadmin(m_ctx.session.login)) {
        throw SqlError(2754, 16,
                       "Error severity levels greater than 18 can only be specified by members of the "
                       "sysadmin role, using the WITH LOG option.");
    }
    int number = args[0].is<std::string>() ? 50000 : int(args[0].toInt());
    if (m_tryDepth > 0 && severity > 10) {
        throw SqlError(number, severity, message, state);
    }
    m_ctx.response.add(Message{number, state, severity, message, {}, int(at(pos).line)});
}

void BatchRunner::runSet(size_t& pos) {
    ++pos;
    if (at(pos).kind == Token::Kind::Variable) {
        runSetVariable(pos);
        return;
    }
    if (at(pos).isWord("identity_insert")) {
        ++pos;
        std::string table = readName(pos);
        Database& db = m_ctx.db();
        ObjectDef* o = db.findObject(table);
        if (!o || !o->isTable()) {
            throw SqlError(208, 16, "Invalid object name '" + table + "'.");
        }
        if (o->identityColumn() < 0) {
            throw SqlError(8106, 16,
                           "Table '" + db.fullName(*o) +
                               "' does not have the identity property. Cannot "
                               "perform SET operation.");
        }
        bool on = at(pos).isWord("on");
        ++pos;
        m_ctx.session.options["identity_insert"] =
            on ? lower(db.name + "." + db.fullName(*o)) : std::string();
        return;
    }
    std::vector<std::string> names;
    while (at(pos).kind == Token::Kind::Name && !at(pos).isWord("on") && !at(pos).isWord("off")) {
        names.push_back(lower(at(pos).text));
        ++pos;
        if (at(pos).isSymbol(",")) {
            ++pos;
        }
    }
    std::string value;
    if (at(pos).isSymbol("-") && at(pos + 1).kind == Token::Kind::Number) {
        value = "-" + at(pos + 1).text; // set lock_timeout -1
        pos += 2;
    } else if (at(pos).kind != Token::Kind::End && !at(pos).isSymbol(";")) {
        value = lower(at(pos).text);
        ++pos;
    }
    for (const auto& n : names) {
        m_ctx.session.options[n] = value;
    }
}

} // namespace sqlsim::model
