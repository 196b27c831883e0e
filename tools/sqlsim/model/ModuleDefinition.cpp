#include "ModuleDefinition.h"

#include "BatchRunner.h"
#include "Names.h"

#include <algorithm>
#include <map>

namespace sqlsim::model {

namespace {

[[noreturn]] void refuse() {
    throw SqlError(50000, 16, "__not_supported__");
}

struct Reader {
    const std::vector<Token>& t;
    size_t pos;
    const Token& at(size_t ahead = 0) const { return pos + ahead < t.size() ? t[pos + ahead] : t.back(); }
    void expectWord(const char* w) {
        if (!at().isWord(w)) {
            syntaxError(at());
        }
        ++pos;
    }
    bool skipWord(const char* w) {
        if (at().isWord(w)) {
            ++pos;
            return true;
        }
        return false;
    }
};

// The object word after create/alter, or nullptr.
const char* objectWord(const Token& t) {
    if (t.isWord("procedure") || t.isWord("proc")) {
        return "PROCEDURE";
    }
    if (t.isWord("view")) {
        return "VIEW";
    }
    if (t.isWord("function")) {
        return "FUNCTION";
    }
    if (t.isWord("trigger")) {
        return "TRIGGER";
    }
    return nullptr;
}

// Adds the event, or the events of the group, a database trigger names; false for one the
// simulator does not raise.
bool readDatabaseEvent(const std::string& word, std::vector<std::string>& events) {
    static const std::map<std::string, std::vector<std::string>> groups = {
        {"ddl_table_events", {"create_table", "alter_table", "drop_table"}},
        {"ddl_view_events", {"create_view", "alter_view", "drop_view"}},
        {"ddl_procedure_events", {"create_procedure", "alter_procedure", "drop_procedure"}},
        {"ddl_function_events", {"create_function", "alter_function", "drop_function"}},
    };
    std::vector<std::string> named;
    if (auto g = groups.find(word); g != groups.end()) {
        named = g->second;
    } else {
        for (const auto& [group, members] : groups) {
            for (const std::string& e : members) {
                if (e == word) {
                    named.push_back(e);
                }
            }
        }
    }
    for (const std::string& e : named) {
        if (std::find(events.begin(), events.end(), e) == events.end()) {
            events.push_back(e);
        }
    }
    return !named.empty();
}

void readName(Reader& r, ModuleDefinition& d) {
    if (!r.at().isName()) {
        syntaxError(r.at());
    }
    std::vector<std::string> parts{r.at().text};
    ++r.pos;
    while (r.at().isSymbol(".") && r.at(1).isName()) {
        parts.push_back(r.at(1).text);
        r.pos += 2;
    }
    if (parts.size() > 2) {
        refuse(); // a database named in front
    }
    d.name = parts.back();
    d.schema = parts.size() == 2 ? parts[0] : std::string();
}

void readParameters(Reader& r, ModuleDefinition& d, bool parenthesised) {
    while (r.at().kind == Token::Kind::Variable) {
        ModuleParameter p;
        p.name = r.at().text;
        ++r.pos;
        r.skipWord("as");
        p.typeName = lower(r.at().text);
        if (r.at(1).isSymbol(".")) {
            refuse(); // a type from a schema: user-defined types and table types
        }
        p.type = BatchRunner::readType(r.t, r.pos);
        r.skipWord("varying");
        if (r.at().isSymbol("=")) {
            ++r.pos;
            p.defaultAt = r.pos;
            if (r.at().isSymbol("-") || r.at().isSymbol("+")) {
                ++r.pos;
            }
            if (r.at().kind == Token::Kind::End || r.at().kind == Token::Kind::Symbol) {
                syntaxError(r.at());
            }
            ++r.pos;
        }
        if (r.skipWord("output") || r.skipWord("out")) {
            p.output = true;
        }
        if (r.at().isWord("readonly")) {
            refuse();
        }
        d.parameters.push_back(std::move(p));
        if (!r.at().isSymbol(",")) {
            break;
        }
        ++r.pos;
    }
    if (parenthesised) {
        if (!r.at().isSymbol(")")) {
            syntaxError(r.at());
        }
        ++r.pos;
    }
}

} // namespace

bool ModuleDefinition::startsModule(const std::vector<Token>& tokens, size_t pos) {
    auto at = [&](size_t k) -> const Token& { return k < tokens.size() ? tokens[k] : tokens.back(); };
    if (at(pos).isWord("create") && at(pos + 1).isWord("or") && at(pos + 2).isWord("alter")) {
        return objectWord(at(pos + 3)) != nullptr;
    }
    return (at(pos).isWord("create") || at(pos).isWord("alter")) && objectWord(at(pos + 1)) != nullptr;
}

SqlError ModuleDefinition::notFirstInBatch(const std::vector<Token>& tokens, size_t pos) {
    auto at = [&](size_t k) -> const Token& { return k < tokens.size() ? tokens[k] : tokens.back(); };
    const char* word = objectWord(at(pos + 1).isWord("or") ? at(pos + 3) : at(pos + 1));
    // Since the server learnt "create or alter" its procedure message names both verbs.
    const std::string what = word == std::string("PROCEDURE") ? "CREATE/ALTER PROCEDURE"
                                                               : "CREATE " + std::string(word ? word : "");
    return SqlError(111, 15, "'" + what + "' must be the first statement in a query batch.", 1, {},
                    int(at(pos).line));
}

std::optional<ModuleDefinition> ModuleDefinition::ofText(const std::string& source) {
    std::vector<Token> tokens = SqlLexer::tokenize(source);
    size_t head = 0;
    while (head < tokens.size() && tokens[head].isSymbol(";")) {
        ++head;
    }
    return read(tokens, head);
}

std::optional<ModuleDefinition> ModuleDefinition::read(const std::vector<Token>& tokens, size_t pos) {
    if (!startsModule(tokens, pos)) {
        return std::nullopt;
    }
    Reader r{tokens, pos};
    ModuleDefinition d;
    if (r.at().isWord("create") && r.at(1).isWord("or")) {
        d.verb = Verb::CreateOrAlter;
        r.pos += 3;
    } else {
        d.verb = r.at().isWord("create") ? Verb::Create : Verb::Alter;
        ++r.pos;
    }
    d.word = objectWord(r.at());
    ++r.pos;
    readName(r, d);
    if (d.word == "PROCEDURE") {
        d.type = "P";
        if (r.at().isSymbol(";")) {
            refuse(); // numbered procedures
        }
        const bool parenthesised = r.at().isSymbol("(");
        if (parenthesised) {
            ++r.pos;
        }
        readParameters(r, d, parenthesised);
        if (r.at().isWord("with") || r.at().isWord("for")) {
            refuse(); // recompile, encryption, execute as, for replication
        }
    } else if (d.word == "VIEW") {
        d.type = "V";
        if (r.at().isSymbol("(")) {
            ++r.pos;
            while (r.at().isName()) {
                d.columns.push_back(r.at().text);
                ++r.pos;
                if (!r.at().isSymbol(",")) {
                    break;
                }
                ++r.pos;
            }
            if (!r.at().isSymbol(")")) {
                syntaxError(r.at());
            }
            ++r.pos;
        }
        if (r.at().isWord("with")) {
            refuse(); // schemabinding, encryption, view_metadata
        }
    } else if (d.word == "FUNCTION") {
        if (!r.at().isSymbol("(")) {
            syntaxError(r.at());
        }
        ++r.pos;
        readParameters(r, d, true);
        r.expectWord("returns");
        if (r.at().isWord("table")) {
            d.type = "IF";
            ++r.pos;
        } else if (r.at().kind == Token::Kind::Variable) {
            d.type = "TF";
            d.returnTable = r.at().text;
            ++r.pos;
            r.expectWord("table");
            if (!r.at().isSymbol("(")) {
                syntaxError(r.at());
            }
            d.returnTableAt = r.pos;
            for (int depth = 0; r.at().kind != Token::Kind::End; ++r.pos) {
                depth += r.at().isSymbol("(") ? 1 : r.at().isSymbol(")") ? -1 : 0;
                if (depth == 0) {
                    ++r.pos;
                    break;
                }
            }
        } else {
            d.type = "FN";
            ModuleParameter result;
            result.typeName = lower(r.at().text);
            result.type = BatchRunner::readType(r.t, r.pos);
            d.parameters.insert(d.parameters.begin(), result); // the result comes first, unnamed
        }
        if (r.at().isWord("with")) {
            refuse();
        }
        if (d.type != "IF" && r.at().isWord("begin")) {
            d.bodyAt = r.pos; // "as" may be left out before a function's begin
            return d;
        }
    } else {
        d.type = "TR";
        r.expectWord("on");
        if (r.at().isWord("all")) {
            refuse(); // triggers on the server's statements
        }
        if (r.skipWord("database")) {
            d.onDatabase = true;
            if (!d.schema.empty()) {
                refuse(); // such a trigger belongs to no schema
            }
            if (r.at().isWord("with")) {
                refuse();
            }
            if (!r.skipWord("after") && !r.skipWord("for")) {
                syntaxError(r.at());
            }
            while (r.at().kind == Token::Kind::Name && !r.at().isWord("as")) {
                if (!readDatabaseEvent(lower(r.at().text), d.events)) {
                    refuse(); // an event or group the simulator does not raise
                }
                ++r.pos;
                if (!r.at().isSymbol(",")) {
                    break;
                }
                ++r.pos;
            }
            if (d.events.empty()) {
                syntaxError(r.at());
            }
            r.expectWord("as");
            d.bodyAt = r.pos;
            if (r.at().kind == Token::Kind::End) {
                syntaxError(r.at());
            }
            for (size_t k = d.bodyAt; k < r.t.size(); ++k) {
                if (r.t[k].isWord("eventdata")) {
                    refuse(); // the event's description
                }
            }
            return d;
        }
        ModuleDefinition table;
        readName(r, table);
        d.parentTable = table.schema.empty() ? table.name : table.schema + "." + table.name;
        if (r.at().isWord("with")) {
            refuse();
        }
        if (r.skipWord("instead")) {
            r.expectWord("of");
            d.insteadOf = true;
        } else if (!r.skipWord("after") && !r.skipWord("for")) {
            syntaxError(r.at());
        }
        while (r.at().isWord("insert") || r.at().isWord("update") || r.at().isWord("delete")) {
            d.events.push_back(lower(r.at().text));
            ++r.pos;
            if (!r.at().isSymbol(",")) {
                break;
            }
            ++r.pos;
        }
        if (d.events.empty()) {
            syntaxError(r.at());
        }
        if (r.at().isWord("not") || r.at().isWord("with")) {
            refuse();
        }
    }
    r.expectWord("as");
    d.bodyAt = r.pos;
    if (r.at().kind == Token::Kind::End) {
        syntaxError(r.at());
    }
    return d;
}

} // namespace sqlsim::model
