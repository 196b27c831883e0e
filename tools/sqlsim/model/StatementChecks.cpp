// The statements the batch compiler checks for syntax before a batch runs, keyed by their first
// words. Each check reads its statement as the runner's handler will, without evaluating or
// looking anything up, and stops where it ends. Statements listed with the permissive check are
// only delimited here; their handlers parse them when they run.
#include "BatchCompiler.h"
#include "DatabaseTriggers.h"

#include "BatchRunner.h"
#include "DefinitionChecks.h"
#include "PermissionStatements.h"
#include "SelectQuery.h"

namespace sqlsim::model {

namespace {

[[noreturn]] void notSupported() {
    throw SqlError(50000, 16, "__not_supported__");
}

void expect(BatchCompiler& c, size_t& pos, const char* symbol) {
    if (!c.at(pos).isSymbol(symbol)) {
        syntaxError(c.at(pos));
    }
    ++pos;
}

// A possibly qualified name: a, a.b, a.b.c, a..c
void name(BatchCompiler& c, size_t& pos) {
    if (!c.at(pos).isName()) {
        syntaxError(c.at(pos));
    }
    ++pos;
    while (c.at(pos).isSymbol(".")) {
        ++pos;
        if (c.at(pos).isName()) {
            ++pos;
        }
    }
}

// The table an insert, update or delete writes: a name or a table variable.
void tableName(BatchCompiler& c, size_t& pos) {
    if (c.at(pos).kind == Token::Kind::Variable) {
        ++pos;
        return;
    }
    name(c, pos);
}

// expr, expr, ... up to the closing parenthesis, which pos moves past.
void expressionList(BatchCompiler& c, size_t& pos) {
    while (true) {
        c.expression(pos);
        if (!c.at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    expect(c, pos, ")");
}

void select(BatchCompiler& c, size_t& pos) {
    SelectQuery query(c.runner(), c.context());
    query.check(pos);
}

// truncate table name
void truncate(BatchCompiler& c, size_t& pos) {
    pos += 2;
    name(c, pos);
    BatchCompiler::expectEnd(c.at(pos));
}

void exec(BatchCompiler& c, size_t& pos);

// insert [into] name [(columns)] values (...)[, (...)] | select ... | exec ... | insert [into] name default values
void insert(BatchCompiler& c, size_t& pos) {
    ++pos;
    if (c.at(pos).isWord("into")) {
        ++pos;
    }
    tableName(c, pos);
    if (c.at(pos).isWord("default") && c.at(pos + 1).isWord("values")) {
        pos += 2;
        BatchCompiler::expectEnd(c.at(pos));
        return;
    }
    if (c.at(pos).isSymbol("(")) {
        ++pos;
        while (true) {
            if (!c.at(pos).isName()) {
                syntaxError(c.at(pos));
            }
            ++pos;
            if (!c.at(pos).isSymbol(",")) {
                break;
            }
            ++pos;
        }
        expect(c, pos, ")");
    }
    if (c.at(pos).isWord("select")) {
        select(c, pos);
        return;
    }
    if (c.at(pos).isWord("exec") || c.at(pos).isWord("execute")) {
        exec(c, pos);
        return;
    }
    if (!c.at(pos).isWord("values")) {
        notSupported(); // default values after a column list
    }
    ++pos;
    while (true) {
        expect(c, pos, "(");
        expressionList(c, pos);
        if (!c.at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    BatchCompiler::expectEnd(c.at(pos));
}

// update [top (n) [percent]] name set [alias.]column = expr, ... [where expr] |
// delete [top (n) [percent]] [from] name [where expr]
void updateOrDelete(BatchCompiler& c, size_t& pos) {
    const bool isUpdate = c.at(pos).isWord("update");
    ++pos;
    if (c.at(pos).isWord("top")) {
        ++pos;
        expect(c, pos, "(");
        c.expression(pos);
        expect(c, pos, ")");
        pos += c.at(pos).isWord("percent") ? 1 : 0;
    }
    if (!isUpdate && c.at(pos).isWord("from")) {
        ++pos;
    }
    tableName(c, pos);
    if (isUpdate) {
        if (!c.at(pos).isWord("set")) {
            syntaxError(c.at(pos));
        }
        ++pos;
        while (true) {
            if (c.at(pos + 1).isSymbol(".")) {
                pos += 2;
            }
            if (!c.at(pos).isName()) {
                syntaxError(c.at(pos));
            }
            ++pos;
            expect(c, pos, "=");
            c.expression(pos);
            if (!c.at(pos).isSymbol(",")) {
                break;
            }
            ++pos;
        }
    }
    if (c.at(pos).isWord("where")) {
        ++pos;
        c.expression(pos);
    }
    BatchCompiler::expectEnd(c.at(pos));
}

// with name [(column, ...)] as (query)[, ...] then the select, insert, update or delete that uses them
void with(BatchCompiler& c, size_t& pos) {
    ++pos;
    while (true) {
        if (!c.at(pos).isName()) {
            syntaxError(c.at(pos));
        }
        ++pos;
        if (c.at(pos).isSymbol("(")) {
            ++pos;
            while (true) {
                if (!c.at(pos).isName()) {
                    syntaxError(c.at(pos));
                }
                ++pos;
                if (!c.at(pos).isSymbol(",")) {
                    break;
                }
                ++pos;
            }
            expect(c, pos, ")");
        }
        if (!c.at(pos).isWord("as")) {
            syntaxError(c.at(pos));
        }
        ++pos;
        expect(c, pos, "(");
        if (!c.at(pos).isWord("select")) {
            syntaxError(c.at(pos));
        }
        select(c, pos);
        expect(c, pos, ")");
        if (!c.at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    const Token& t = c.at(pos);
    if (t.isWord("select")) {
        select(c, pos);
    } else if (t.isWord("insert")) {
        insert(c, pos);
    } else if (t.isWord("update") || t.isWord("delete")) {
        updateOrDelete(c, pos);
    } else if (t.isWord("merge")) {
        notSupported();
    } else {
        syntaxError(t);
    }
}

// set @v = expr | set identity_insert name on|off | set option[, option] value
void set(BatchCompiler& c, size_t& pos) {
    ++pos;
    if (c.at(pos).kind == Token::Kind::Variable) {
        ++pos;
        if (!c.at(pos).isSymbol("=")) {
            notSupported(); // +=, -= ...
        }
        ++pos;
        c.expression(pos);
        return;
    }
    if (c.at(pos).isWord("identity_insert")) {
        ++pos;
        name(c, pos);
        if (!c.at(pos).isWord("on") && !c.at(pos).isWord("off")) {
            syntaxError(c.at(pos));
        }
        ++pos;
        return;
    }
    // The options' values are words, numbers or "-1"; set transaction isolation level names its
    // level in words.
    pos = c.scanEnd(pos - 1);
}

// declare @v [as] type [= expr], ...
void declareVariables(BatchCompiler& c, size_t& pos) {
    const size_t start = pos;
    ++pos;
    while (true) {
        if (c.at(pos).kind != Token::Kind::Variable) {
            notSupported(); // cursors
        }
        const std::string variable = c.at(pos).text;
        ++pos;
        if (c.at(pos).isWord("as")) {
            ++pos;
        }
        if (c.at(pos).isWord("cursor")) {
            notSupported();
        }
        if (c.at(pos).isWord("table")) {
            // A table variable: only delimited here (its handler reads the definition).
            c.declareTable(start, variable);
            ++pos;
            if (c.at(pos).isSymbol("(")) {
                for (int depth = 0; c.at(pos).kind != Token::Kind::End; ++pos) {
                    depth += c.at(pos).isSymbol("(") ? 1 : c.at(pos).isSymbol(")") ? -1 : 0;
                    if (depth == 0) {
                        ++pos;
                        break;
                    }
                }
            }
        } else {
            ColumnType type = BatchRunner::readType(c.tokens(), pos);
            c.declare(start, variable, type);
            if (c.at(pos).isSymbol("=")) {
                ++pos;
                c.expression(pos);
            }
        }
        if (!c.at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
}

void print(BatchCompiler& c, size_t& pos) {
    ++pos;
    c.expression(pos);
}

// raiserror (format, severity, state[, argument ...]) [with log, nowait, seterror]
void raiserror(BatchCompiler& c, size_t& pos) {
    ++pos;
    expect(c, pos, "(");
    expressionList(c, pos);
    if (c.at(pos).isWord("with")) {
        ++pos;
        while (c.at(pos).isWord("log") || c.at(pos).isWord("nowait") || c.at(pos).isWord("seterror") ||
               c.at(pos).isSymbol(",")) {
            ++pos;
        }
    }
}

// name [argument, ...]: an argument is [@name =] a value (an expression, or a plain word read as a
// string) [output]. The arguments end at the end of the batch, at ";", at a statement's first word
// or at a word on a later line.
void procedureCall(BatchCompiler& c, size_t& pos) {
    const size_t line = c.at(pos).line;
    name(c, pos);
    auto ends = [&](size_t p) {
        const Token& t = c.at(p);
        return t.kind == Token::Kind::End || t.isSymbol(";") ||
               (t.line != line && t.kind == Token::Kind::Name) ||
               (t.kind == Token::Kind::Name && BatchRunner::startsStatement(t));
    };
    while (!ends(pos)) {
        if (c.at(pos).kind == Token::Kind::Variable && c.at(pos + 1).isSymbol("=")) {
            c.parameterName(pos);
            pos += 2;
        }
        if (c.at(pos).kind == Token::Kind::Name) {
            ++pos; // a word, null or default
        } else {
            c.expression(pos);
        }
        if (c.at(pos).isWord("output") || c.at(pos).isWord("out")) {
            ++pos;
        }
        if (!c.at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
}

// exec (text) | exec [@status =] procedure call
void exec(BatchCompiler& c, size_t& pos) {
    ++pos;
    if (c.at(pos).isSymbol("(")) {
        c.expression(pos);
        if (c.at(pos).isWord("at") || c.at(pos).isWord("as")) {
            notSupported(); // on a linked server, or as another login or user
        }
        return;
    }
    if (c.at(pos).kind == Token::Kind::Variable && c.at(pos + 1).isSymbol("=")) {
        pos += 2;
    }
    procedureCall(c, pos);
}

// waitfor delay 'hh:mm[:ss[.fff]]' or a variable holding it
void waitfor(BatchCompiler& c, size_t& pos) {
    ++pos;
    if (!c.at(pos).isWord("delay")) {
        notSupported(); // waitfor time, and waiting for a receive
    }
    ++pos;
    if (c.at(pos).kind != Token::Kind::String && c.at(pos).kind != Token::Kind::Variable) {
        syntaxError(c.at(pos));
    }
    c.expression(pos);
}

// use name, alone on its line
void use(BatchCompiler& c, size_t& pos) {
    ++pos;
    if (!c.at(pos).isName()) {
        syntaxError(c.at(pos));
    }
    const size_t line = c.at(pos).line;
    ++pos;
    if (c.at(pos).kind != Token::Kind::End && !c.at(pos).isSymbol(";") && c.at(pos).line == line) {
        syntaxError(c.at(pos));
    }
}

// begin tran[saction] [name] | commit [tran[saction] | work] [name] | rollback [...] [name]
void transaction(BatchCompiler& c, size_t& pos) {
    ++pos;
    const bool keyword = c.at(pos).isWord("tran") || c.at(pos).isWord("transaction") || c.at(pos).isWord("work");
    if (keyword) {
        ++pos;
    }
    const Token& t = c.at(pos);
    if (keyword && (t.isName() || t.kind == Token::Kind::Variable) && !BatchRunner::startsStatement(t) &&
        !t.isWord("with")) {
        ++pos;
    }
}

// return [value] (a value only inside a procedure: its handler refuses one), break, continue
void flow(BatchCompiler& c, size_t& pos) {
    const bool isReturn = c.at(pos).isWord("return");
    ++pos;
    const Token& t = c.at(pos);
    if (isReturn && t.kind != Token::Kind::End && !t.isSymbol(";") && !BatchRunner::startsStatement(t)) {
        c.expression(pos);
    }
}

// throw alone (re-raising in a catch block) | throw number, message, state
void throwStatement(BatchCompiler& c, size_t& pos) {
    ++pos;
    const Token& t = c.at(pos);
    if (t.kind == Token::Kind::End || t.isSymbol(";") || t.isWord("end")) {
        return;
    }
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            expect(c, pos, ",");
        }
        c.expression(pos);
    }
}

// drop table|view|procedure|proc|function|database [if exists] name[, name ...]
void dropObjects(BatchCompiler& c, size_t& pos) {
    pos += 2;
    if (c.at(pos).isWord("if") && c.at(pos + 1).isWord("exists")) {
        pos += 2;
    }
    while (true) {
        name(c, pos);
        if (!c.at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    BatchCompiler::expectEnd(c.at(pos));
}

} // namespace

const std::vector<BatchCompiler::Entry>& BatchCompiler::registry() {
    static const std::vector<Entry> entries = {
        {{"select"}, select},
        {{"insert"}, insert},
        {{"update"}, updateOrDelete},
        {{"delete"}, updateOrDelete},
        {{"set"}, set},
        {{"truncate", "table"}, truncate},
        {{"declare"}, declareVariables},
        {{"print"}, print},
        {{"raiserror"}, raiserror},
        {{}, procedureCall}, // a procedure's name as the batch's first word
        {{"exec"}, exec},
        {{"execute"}, exec},
        {{"waitfor"}, waitfor},
        {{"use"}, use},
        {{"begin", "tran"}, transaction},
        {{"begin", "transaction"}, transaction},
        {{"begin", "distributed"}, permissive},
        {{"commit"}, transaction},
        {{"rollback"}, transaction},
        {{"return"}, flow},
        {{"break"}, flow},
        {{"continue"}, flow},
        {{"grant"}, PermissionStatements::check},
        {{"revoke"}, PermissionStatements::check},
        {{"deny"}, PermissionStatements::check},
        // Checked by their handlers when they run.
        {{"create"}, permissive},
        {{"alter"}, permissive},
        {{"drop"}, permissive},
        {{"backup"}, DefinitionChecks::backup},
        {{"restore"}, DefinitionChecks::restore},
        {{"create", "table"}, DefinitionChecks::createTable},
        {{"create", "index"}, DefinitionChecks::createIndex},
        {{"create", "unique"}, DefinitionChecks::createIndex},
        {{"create", "clustered"}, DefinitionChecks::createIndex},
        {{"create", "nonclustered"}, DefinitionChecks::createIndex},
        {{"alter", "table"}, DefinitionChecks::alterTable},
        {{"throw"}, throwStatement},
        {{"drop", "table"}, dropObjects},
        {{"drop", "view"}, dropObjects},
        {{"drop", "procedure"}, dropObjects},
        {{"drop", "proc"}, dropObjects},
        {{"drop", "function"}, dropObjects},
        {{"drop", "database"}, dropObjects},
        {{"with"}, with},
        {{"disable", "trigger"}, DatabaseTriggers::check},
        {{"enable", "trigger"}, DatabaseTriggers::check},
        // The body of these is the rest of the batch.
        {{"create", "procedure"}, permissive, true},
        {{"create", "proc"}, permissive, true},
        {{"create", "function"}, permissive, true},
        {{"create", "trigger"}, permissive, true},
        {{"create", "view"}, permissive, true},
        {{"alter", "procedure"}, permissive, true},
        {{"alter", "proc"}, permissive, true},
        {{"alter", "function"}, permissive, true},
        {{"alter", "trigger"}, permissive, true},
        {{"alter", "view"}, permissive, true},
        {{"create", "or", "alter", "procedure"}, permissive, true},
        {{"create", "or", "alter", "proc"}, permissive, true},
        {{"create", "or", "alter", "function"}, permissive, true},
        {{"create", "or", "alter", "trigger"}, permissive, true},
        {{"create", "or", "alter", "view"}, permissive, true},
    };
    return entries;
}

} // namespace sqlsim::model
