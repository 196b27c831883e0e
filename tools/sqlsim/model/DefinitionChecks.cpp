#include "DefinitionChecks.h"

#include "BatchCompiler.h"
#include "BatchRunner.h"

namespace sqlsim::model {

namespace {

void word(BatchCompiler& c, size_t& pos, const char* w) {
    if (!c.at(pos).isWord(w)) {
        syntaxError(c.at(pos));
    }
    ++pos;
}

void symbol(BatchCompiler& c, size_t& pos, const char* s) {
    if (!c.at(pos).isSymbol(s)) {
        syntaxError(c.at(pos));
    }
    ++pos;
}

bool either(const Token& t, std::initializer_list<const char*> words);

// One name, not qualified. The words these statements are made of name nothing unless delimited.
void simpleName(BatchCompiler& c, size_t& pos) {
    const Token& t = c.at(pos);
    if (!t.isName() || either(t, {"primary", "key", "foreign", "references", "constraint", "unique", "check",
                                  "default", "index", "on", "table", "null", "not", "with", "add", "column",
                                  "identity", "to", "from", "database", "clustered", "nonclustered"})) {
        syntaxError(t);
    }
    ++pos;
}

// A possibly qualified name: a, a.b, a.b.c, a..c
void qualifiedName(BatchCompiler& c, size_t& pos) {
    simpleName(c, pos);
    while (c.at(pos).isSymbol(".")) {
        ++pos;
        if (c.at(pos).isName()) {
            ++pos;
        }
    }
}

bool either(const Token& t, std::initializer_list<const char*> words) {
    for (const char* w : words) {
        if (t.isWord(w)) {
            return true;
        }
    }
    return false;
}

// (name [asc|desc], ...): the columns of a key or an index; ordered: asc and desc allowed.
void columnList(BatchCompiler& c, size_t& pos, bool ordered) {
    symbol(c, pos, "(");
    while (true) {
        simpleName(c, pos);
        if (ordered && either(c.at(pos), {"asc", "desc"})) {
            ++pos;
        }
        if (!c.at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    symbol(c, pos, ")");
}

// [-]number
void signedNumber(BatchCompiler& c, size_t& pos) {
    if (c.at(pos).isSymbol("-") || c.at(pos).isSymbol("+")) {
        ++pos;
    }
    if (c.at(pos).kind != Token::Kind::Number) {
        syntaxError(c.at(pos));
    }
    ++pos;
}

// type [(length | max [, scale])], the type possibly qualified by its schema.
void typeName(BatchCompiler& c, size_t& pos) {
    qualifiedName(c, pos);
    if (!c.at(pos).isSymbol("(")) {
        return;
    }
    ++pos;
    if (c.at(pos).isWord("max")) {
        ++pos;
    } else {
        signedNumber(c, pos);
        if (c.at(pos).isSymbol(",")) {
            ++pos;
            signedNumber(c, pos);
        }
    }
    symbol(c, pos, ")");
}

// option [= value] [(...)], ...: the options of with (...) and of backup and restore. A value is an
// expression or a word; move names a file and where it goes.
void optionList(BatchCompiler& c, size_t& pos) {
    while (true) {
        if (c.at(pos).isWord("move")) {
            ++pos;
            c.expression(pos);
            word(c, pos, "to");
            c.expression(pos);
        } else {
            if (c.at(pos).kind != Token::Kind::Name) {
                syntaxError(c.at(pos));
            }
            ++pos;
            if (c.at(pos).isSymbol("=")) {
                ++pos;
                if (c.at(pos).kind == Token::Kind::Name && !c.at(pos + 1).isSymbol("(")) {
                    ++pos;
                } else {
                    c.expression(pos);
                }
            } else if (c.at(pos).isSymbol("(")) {
                ++pos;
                optionList(c, pos);
                symbol(c, pos, ")");
            }
        }
        if (!c.at(pos).isSymbol(",")) {
            return;
        }
        ++pos;
    }
}

// with (option = value, ...)
void withOptions(BatchCompiler& c, size_t& pos) {
    if (c.at(pos).isWord("with") && c.at(pos + 1).isSymbol("(")) {
        pos += 2;
        optionList(c, pos);
        symbol(c, pos, ")");
    }
}

// references table [(columns)] [on delete|update action] ... [not for replication]
void references(BatchCompiler& c, size_t& pos) {
    word(c, pos, "references");
    qualifiedName(c, pos);
    if (c.at(pos).isSymbol("(")) {
        columnList(c, pos, false);
    }
    while (c.at(pos).isWord("on") && either(c.at(pos + 1), {"delete", "update"})) {
        pos += 2;
        if (c.at(pos).isWord("cascade")) {
            ++pos;
        } else if (c.at(pos).isWord("no")) {
            ++pos;
            word(c, pos, "action");
        } else if (c.at(pos).isWord("set")) {
            ++pos;
            if (!either(c.at(pos), {"null", "default"})) {
                syntaxError(c.at(pos));
            }
            ++pos;
        } else {
            syntaxError(c.at(pos));
        }
    }
    if (c.at(pos).isWord("not") && c.at(pos + 1).isWord("for")) {
        pos += 2;
        word(c, pos, "replication");
    }
}

// check [not for replication] (condition)
void checkConstraint(BatchCompiler& c, size_t& pos) {
    ++pos;
    if (c.at(pos).isWord("not")) {
        ++pos;
        word(c, pos, "for");
        word(c, pos, "replication");
    }
    symbol(c, pos, "(");
    c.expression(pos);
    symbol(c, pos, ")");
}

// A column's own constraints and properties, as many as follow its type.
void columnProperties(BatchCompiler& c, size_t& pos) {
    while (true) {
        const Token& t = c.at(pos);
        if (t.isWord("constraint")) {
            ++pos;
            simpleName(c, pos);
            if (!either(c.at(pos), {"primary", "unique", "default", "references", "foreign", "check"})) {
                syntaxError(c.at(pos));
            }
        } else if (t.isWord("identity")) {
            ++pos;
            if (c.at(pos).isSymbol("(")) {
                ++pos;
                signedNumber(c, pos);
                symbol(c, pos, ",");
                signedNumber(c, pos);
                symbol(c, pos, ")");
            }
        } else if (t.isWord("not")) {
            ++pos;
            if (c.at(pos).isWord("for")) {
                ++pos;
                word(c, pos, "replication");
            } else {
                word(c, pos, "null");
            }
        } else if (either(t, {"null", "rowguidcol", "sparse", "filestream", "persisted"})) {
            ++pos;
        } else if (t.isWord("primary") || t.isWord("unique")) {
            pos += t.isWord("primary") ? 1 : 0;
            word(c, pos, t.isWord("primary") ? "key" : "unique");
            if (either(c.at(pos), {"clustered", "nonclustered"})) {
                ++pos;
            }
        } else if (t.isWord("default")) {
            ++pos;
            c.expression(pos);
        } else if (t.isWord("foreign")) {
            ++pos;
            word(c, pos, "key");
            references(c, pos);
        } else if (t.isWord("references")) {
            references(c, pos);
        } else if (t.isWord("check")) {
            checkConstraint(c, pos);
        } else if (t.isWord("collate")) {
            ++pos;
            simpleName(c, pos);
        } else {
            return;
        }
    }
}

// name type [properties] | name as (expression) [persisted] [properties]
void columnDefinition(BatchCompiler& c, size_t& pos) {
    simpleName(c, pos);
    if (c.at(pos).isWord("as")) {
        ++pos;
        c.expression(pos);
    } else {
        typeName(c, pos);
    }
    columnProperties(c, pos);
}

// [constraint name] primary key|unique [clustered|nonclustered] (columns) | foreign key (columns)
// references ... | check (condition) | default value for column (altering a table only).
void tableConstraint(BatchCompiler& c, size_t& pos, bool altering) {
    if (c.at(pos).isWord("constraint")) {
        ++pos;
        simpleName(c, pos);
    }
    const Token& t = c.at(pos);
    if (t.isWord("primary") || t.isWord("unique")) {
        pos += t.isWord("primary") ? 1 : 0;
        word(c, pos, t.isWord("primary") ? "key" : "unique");
        if (either(c.at(pos), {"clustered", "nonclustered"})) {
            ++pos;
        }
        columnList(c, pos, true);
        withOptions(c, pos);
    } else if (t.isWord("foreign")) {
        ++pos;
        word(c, pos, "key");
        columnList(c, pos, false);
        references(c, pos);
    } else if (t.isWord("check")) {
        checkConstraint(c, pos);
    } else if (altering && t.isWord("default")) {
        ++pos;
        c.expression(pos);
        word(c, pos, "for");
        simpleName(c, pos);
        if (c.at(pos).isWord("with") && c.at(pos + 1).isWord("values")) {
            pos += 2;
        }
    } else {
        syntaxError(t);
    }
}

// The statement ends at pos: nothing more, ";" or the next statement. clauses: words that may follow
// here and that the simulator does not answer (refused as not supported); anything else is a syntax
// error.
void ends(BatchCompiler& c, size_t pos, std::initializer_list<const char*> clauses = {}) {
    const Token& t = c.at(pos);
    if (t.kind == Token::Kind::End || t.isSymbol(";") || BatchRunner::startsStatement(t)) {
        return;
    }
    if (either(t, clauses)) {
        throw SqlError(50000, 16, "__not_supported__");
    }
    syntaxError(t);
}

bool startsTableConstraint(const Token& t) {
    return either(t, {"constraint", "primary", "unique", "foreign", "check"});
}

// The devices of backup ... to and restore ... from: disk|tape|url = path, or a device's name.
void devices(BatchCompiler& c, size_t& pos) {
    while (true) {
        if (either(c.at(pos), {"disk", "tape", "url"})) {
            ++pos;
            symbol(c, pos, "=");
            if (c.at(pos).kind != Token::Kind::String && c.at(pos).kind != Token::Kind::Variable) {
                syntaxError(c.at(pos));
            }
            ++pos;
        } else if (c.at(pos).isName() || c.at(pos).kind == Token::Kind::Variable) {
            ++pos;
        } else {
            syntaxError(c.at(pos));
        }
        if (!c.at(pos).isSymbol(",")) {
            return;
        }
        ++pos;
    }
}

// The database of backup and restore: its name or a variable holding it.
void databaseName(BatchCompiler& c, size_t& pos) {
    if (c.at(pos).kind == Token::Kind::Variable) {
        ++pos;
        return;
    }
    simpleName(c, pos);
}

void withClause(BatchCompiler& c, size_t& pos) {
    if (c.at(pos).isWord("with")) {
        ++pos;
        optionList(c, pos);
    }
}

} // namespace

// create table name (column or table constraint, ...)
void DefinitionChecks::createTable(BatchCompiler& c, size_t& pos) {
    pos += 2;
    qualifiedName(c, pos);
    symbol(c, pos, "(");
    while (true) {
        if (startsTableConstraint(c.at(pos))) {
            tableConstraint(c, pos, false);
        } else if (c.at(pos).isWord("index")) {
            // an index of the table: index name [clustered|nonclustered] (columns)
            ++pos;
            simpleName(c, pos);
            if (either(c.at(pos), {"clustered", "nonclustered"})) {
                ++pos;
            }
            columnList(c, pos, true);
        } else {
            columnDefinition(c, pos);
        }
        if (!c.at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    symbol(c, pos, ")");
    ends(c, pos, {"on", "textimage_on", "filestream_on", "with"});
}

// create [unique] [clustered|nonclustered] index name on table (columns) [include (columns)]
// [where condition] [with (options)] [on place]
void DefinitionChecks::createIndex(BatchCompiler& c, size_t& pos) {
    ++pos;
    if (c.at(pos).isWord("unique")) {
        ++pos;
    }
    if (either(c.at(pos), {"clustered", "nonclustered"})) {
        ++pos;
    }
    word(c, pos, "index");
    simpleName(c, pos);
    word(c, pos, "on");
    qualifiedName(c, pos);
    columnList(c, pos, true);
    if (c.at(pos).isWord("include")) {
        ++pos;
        columnList(c, pos, false);
    }
    if (c.at(pos).isWord("where")) {
        ++pos;
        c.expression(pos);
    }
    withOptions(c, pos);
    if (c.at(pos).isWord("on")) {
        ++pos;
        simpleName(c, pos);
        if (c.at(pos).isSymbol("(")) {
            columnList(c, pos, false);
        }
    }
    ends(c, pos);
}

// alter table name add definitions | drop [constraint|column] [if exists] names | alter column ... |
// [with check|nocheck] check|nocheck constraint all|names | enable|disable trigger all|names
void DefinitionChecks::alterTable(BatchCompiler& c, size_t& pos) {
    pos += 2;
    qualifiedName(c, pos);
    if (c.at(pos).isWord("with")) {
        ++pos;
        if (!either(c.at(pos), {"check", "nocheck"})) {
            syntaxError(c.at(pos));
        }
        ++pos;
        if (!either(c.at(pos), {"add", "check", "nocheck"})) {
            syntaxError(c.at(pos));
        }
    }
    const Token& t = c.at(pos);
    if (t.isWord("add")) {
        ++pos;
        while (true) {
            if (startsTableConstraint(c.at(pos)) || c.at(pos).isWord("default")) {
                tableConstraint(c, pos, true);
            } else {
                columnDefinition(c, pos);
            }
            if (!c.at(pos).isSymbol(",")) {
                break;
            }
            ++pos;
        }
    } else if (t.isWord("drop")) {
        ++pos;
        while (true) {
            if (either(c.at(pos), {"constraint", "column"})) {
                ++pos;
            }
            if (c.at(pos).isWord("if") && c.at(pos + 1).isWord("exists")) {
                pos += 2;
            }
            simpleName(c, pos);
            if (!c.at(pos).isSymbol(",")) {
                break;
            }
            ++pos;
        }
    } else if (t.isWord("alter")) {
        ++pos;
        word(c, pos, "column");
        simpleName(c, pos);
        if (either(c.at(pos), {"add", "drop"})) {
            ++pos;
            if (c.at(pos).isWord("not")) {
                ++pos;
                word(c, pos, "for");
                word(c, pos, "replication");
            } else if (either(c.at(pos), {"rowguidcol", "persisted", "sparse"})) {
                ++pos;
            } else {
                syntaxError(c.at(pos));
            }
        } else {
            typeName(c, pos);
            if (c.at(pos).isWord("collate")) {
                ++pos;
                simpleName(c, pos);
            }
            if (c.at(pos).isWord("null")) {
                ++pos;
            } else if (c.at(pos).isWord("not")) {
                ++pos;
                word(c, pos, "null");
            }
        }
    } else if (either(t, {"check", "nocheck", "enable", "disable"})) {
        const bool constraints = either(t, {"check", "nocheck"});
        ++pos;
        word(c, pos, constraints ? "constraint" : "trigger");
        if (c.at(pos).isWord("all")) {
            ++pos;
        } else {
            while (true) {
                simpleName(c, pos);
                if (!c.at(pos).isSymbol(",")) {
                    break;
                }
                ++pos;
            }
        }
    } else {
        syntaxError(t);
    }
    ends(c, pos);
}

// backup database|log name to devices [with options]; backup of keys and certificates is only
// delimited here.
void DefinitionChecks::backup(BatchCompiler& c, size_t& pos) {
    if (!either(c.at(pos + 1), {"database", "log"})) {
        if (!either(c.at(pos + 1), {"certificate", "master", "service", "symmetric"})) {
            syntaxError(c.at(pos + 1));
        }
        BatchCompiler::permissive(c, pos);
        return;
    }
    pos += 2;
    databaseName(c, pos);
    word(c, pos, "to");
    devices(c, pos);
    withClause(c, pos);
    ends(c, pos);
}

// restore database|log name [from devices] [with options] | restore filelistonly|headeronly|
// labelonly|verifyonly from devices [with options]; restore of keys is only delimited here.
void DefinitionChecks::restore(BatchCompiler& c, size_t& pos) {
    const Token& what = c.at(pos + 1);
    if (either(what, {"database", "log"})) {
        pos += 2;
        databaseName(c, pos);
        if (c.at(pos).isWord("from")) {
            ++pos;
            devices(c, pos);
        }
    } else if (either(what, {"filelistonly", "headeronly", "labelonly", "verifyonly"})) {
        pos += 2;
        word(c, pos, "from");
        devices(c, pos);
    } else if (either(what, {"master", "service", "symmetric"})) {
        BatchCompiler::permissive(c, pos);
        return;
    } else {
        syntaxError(what);
    }
    withClause(c, pos);
    ends(c, pos);
}

} // namespace sqlsim::model
