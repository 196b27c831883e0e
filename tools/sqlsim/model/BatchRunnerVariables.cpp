// Local variables and dynamic SQL: declare, set @v = ..., exec (text) and exec sp_executesql. The
// text built at run time is compiled and run as a batch of its own, by the same runner.
#include "BatchRunner.h"
#include "BuiltinFunctions.h"
#include "TableDefinitions.h"
#include "TempTables.h"

#include "Names.h"
#include "TypeInfo.h"

namespace sqlsim::model {

ColumnType BatchRunner::readType(const std::vector<Token>& t, size_t& pos) {
    auto at = [&](size_t k) -> const Token& { return k < t.size() ? t[k] : t.back(); };
    if (!at(pos).isName()) {
        syntaxError(at(pos));
    }
    std::string text = at(pos).text;
    ++pos;
    if (at(pos).isSymbol("(")) {
        text += "(";
        ++pos;
        while (!at(pos).isSymbol(")")) {
            if (at(pos).kind == Token::Kind::End) {
                syntaxError(at(pos));
            }
            text += at(pos).text;
            ++pos;
        }
        text += ")";
        ++pos;
    }
    ColumnType type;
    if (!TypeInfo::parse(text, type)) {
        throw SqlError(2715, 16,
                       "Column, parameter, or variable #1: Cannot find data type " +
                           text.substr(0, text.find('(')) + ".",
                       6);
    }
    return type;
}

// A value as a variable of the type holds it: converted, and character and binary values cut to the
// declared length (the server cuts silently on assignment).
SqlValue BatchRunner::stored(const SqlValue& v, const ColumnType& type) {
    SqlValue c = Evaluator::coerce(v, type);
    if (type.length > 0) {
        if (c.is<std::string>() && characterCount(c.get<std::string>()) > size_t(type.length)) {
            return SqlValue(characterPrefix(c.get<std::string>(), size_t(type.length)));
        }
        if (c.is<Bytes>() && c.get<Bytes>().size() > size_t(type.length)) {
            Bytes b = c.get<Bytes>();
            b.resize(size_t(type.length));
            return SqlValue(b);
        }
    }
    return c;
}

void BatchRunner::runDeclare(size_t& pos) {
    ++pos;
    while (true) {
        if (at(pos).kind != Token::Kind::Variable) {
            notSupported(); // cursors
        }
        std::string name = at(pos).text;
        ++pos;
        if (at(pos).isWord("as")) {
            ++pos;
        }
        if (at(pos).isWord("cursor")) {
            notSupported();
        }
        if (at(pos).isWord("table")) {
            // A table variable; run again (in a loop), the declare keeps its rows.
            ++pos;
            if (!tableVariable(name)) {
                Cursor c{m_tokens, pos};
                TableDefinitions::declareTable(c, tableVariables(), name);
            } else {
                for (int depth = 0; at(pos).kind != Token::Kind::End; ++pos) {
                    depth += at(pos).isSymbol("(") ? 1 : at(pos).isSymbol(")") ? -1 : 0;
                    if (depth == 0) {
                        ++pos;
                        break;
                    }
                }
            }
            if (!at(pos).isSymbol(",")) {
                break;
            }
            ++pos;
            continue;
        }
        ColumnType type = readType(m_tokens, pos);
        // Run again (in a loop), a declare keeps the variable's value unless it assigns one.
        m_variables.emplace(lower(name), Param{name, type, SqlValue::null(), false});
        if (at(pos).isSymbol("=")) {
            ++pos;
            ExpressionParser p(m_tokens, pos, m_text);
            auto e = p.parse();
            assign(name, typedValue(*e, type));
        }
        if (!at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
}

void BatchRunner::runSetVariable(size_t& pos) {
    std::string name = at(pos).text;
    ++pos;
    if (!at(pos).isSymbol("=")) {
        notSupported(); // +=, -= ...
    }
    ++pos;
    ExpressionParser p(m_tokens, pos, m_text);
    auto e = p.parse();
    auto it = m_variables.find(lower(name));
    if (it != m_variables.end()) {
        assign(name, typedValue(*e, it->second.type));
        return;
    }
    assign(name, Evaluator::eval(*e, scope({}, nullptr)));
}

SqlValue BatchRunner::typedValue(const Expr& e, const ColumnType& target) {
    const EvalScope s = scope({}, nullptr);
    SqlValue v = Evaluator::eval(e, s);
    if (target.type == SqlType::Variant) {
        // A sql_variant keeps the type of the expression assigned to it.
        return BuiltinFunctions::cast(v, Evaluator::typeOf(e, s), target, -1);
    }
    return v;
}

void BatchRunner::assign(const std::string& name, const SqlValue& value) {
    auto it = m_variables.find(lower(name));
    if (it == m_variables.end()) {
        const Param* p = m_request.param(name);
        if (!p) {
            throw SqlError(137, 15, "Must declare the scalar variable \"" + name + "\".");
        }
        it = m_variables.emplace(lower(name), *p).first;
    }
    it->second.value = stored(value, it->second.type);
}

std::vector<OutputValue> BatchRunner::outputs() const {
    std::vector<OutputValue> out;
    for (const Param& p : m_request.params) {
        if (!p.output) {
            continue;
        }
        auto it = m_variables.find(lower(p.name));
        out.push_back(OutputValue{p.name, p.type, it == m_variables.end() ? p.value : it->second.value});
    }
    return out;
}

std::map<std::string, Param> BatchRunner::runNested(const std::string& text, std::vector<Param> params) {
    Request request;
    request.kind = params.empty() ? Request::Kind::Batch : Request::Kind::Statement;
    request.text = text;
    request.params = std::move(params);
    const std::string database = m_ctx.session.database;
    std::map<std::string, Param> result;
    // The temporary tables the text makes go when it ends.
    TempTables::Scope tempTables(m_ctx);
    try {
        BatchRunner inner(m_ctx, m_procedures, request);
        inner.m_nested = true;
        inner.run();
        result = inner.m_variables;
    } catch (const SqlError& e) {
        if (std::string(e.what()) == "__not_supported__") {
            throw;
        }
        // The text does not even read as tokens (an unclosed quote or comment): only the dynamic
        // batch fails; the one that built it goes on.
        addError(m_ctx.response, e, 1);
    }
    for (const Param& p : request.params) {
        result.emplace(lower(p.name), p);
    }
    // A database chosen inside the dynamic batch is left when it ends.
    if (!sameName(m_ctx.session.database, database) && m_ctx.instance.findDatabase(database)) {
        m_ctx.session.database = database;
        m_ctx.response.add(DatabaseChange{database});
    }
    return result;
}

void BatchRunner::runDynamic(size_t& pos) {
    ExpressionParser p(m_tokens, pos, m_text);
    auto e = p.parse();
    if (at(pos).isWord("at") || at(pos).isWord("as")) {
        notSupported(); // on a linked server, or as another login or user
    }
    SqlValue text = Evaluator::eval(*e, scope({}, nullptr));
    if (!text.isNull() && !text.toText().empty()) {
        runNested(text.toText(), {});
    }
}

void BatchRunner::runExecuteSql(size_t& pos) {
    // The procedure's name: sp_executesql, sys.sp_executesql or master..sp_executesql.
    while (!at(pos).isWord("sp_executesql")) {
        ++pos;
    }
    ++pos;
    struct Argument {
        std::string name; // "@x" for @x = value, empty for a positional one
        SqlValue value;
        std::string outputVariable; // the caller's variable that receives an OUTPUT value
        ColumnType type;
    };
    std::vector<Argument> args;
    while (at(pos).kind != Token::Kind::End && !at(pos).isSymbol(";") && !startsStatement(at(pos))) {
        Argument a;
        if (at(pos).kind == Token::Kind::Variable && at(pos + 1).isSymbol("=")) {
            a.name = at(pos).text;
            pos += 2;
        }
        const bool isVariable = at(pos).kind == Token::Kind::Variable;
        const std::string variable = at(pos).text;
        ExpressionParser p(m_tokens, pos, m_text);
        auto e = p.parse();
        a.type = Evaluator::typeOf(*e, scope({}, nullptr));
        a.value = Evaluator::eval(*e, scope({}, nullptr));
        if (at(pos).isWord("output") || at(pos).isWord("out")) {
            ++pos;
            if (!isVariable) {
                syntaxError(at(pos - 1));
            }
            a.outputVariable = variable;
        }
        args.push_back(std::move(a));
        if (!at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    auto named = [&](const char* n, size_t index) -> const Argument* {
        for (const Argument& a : args) {
            if (sameName(a.name, n)) {
                return &a;
            }
        }
        return index < args.size() && args[index].name.empty() ? &args[index] : nullptr;
    };
    const Argument* stmt = named("@stmt", 0);
    if (!stmt) {
        throw SqlError(201, 16,
                       "Procedure or function 'sp_executesql' expects parameter '@statement', which was not "
                       "supplied.",
                       4, "sp_executesql");
    }
    if (stmt->value.isNull()) {
        return;
    }
    const Argument* declared = named("@params", 1);
    // The statement and the declarations must be Unicode text (a varchar variable is refused).
    for (const auto& [argument, name] : {std::pair{stmt, "@statement"}, std::pair{declared, "@params"}}) {
        if (argument && !argument->value.isNull() && !argument->type.isUnicode()) {
            throw SqlError(214, 16,
                           std::string("Procedure expects parameter '") + name +
                               "' of type 'ntext/nchar/nvarchar'.",
                           2, "sp_executesql");
        }
    }
    std::string declarations =
        declared && !declared->value.isNull() ? declared->value.toText() : std::string();
    // The declared parameters, each with the value given by name or by position.
    std::vector<Param> params;
    std::vector<Token> decl = SqlLexer::tokenize(declarations);
    size_t d = 0;
    size_t positional = 2;
    while (d < decl.size() && decl[d].kind == Token::Kind::Variable) {
        Param p;
        p.name = decl[d++].text;
        p.type = readType(decl, d);
        if (d < decl.size() && (decl[d].isWord("output") || decl[d].isWord("out"))) {
            p.output = true;
            ++d;
        }
        const Argument* given = nullptr;
        for (const Argument& a : args) {
            if (sameName(a.name, p.name)) {
                given = &a;
            }
        }
        if (!given && positional < args.size() && args[positional].name.empty()) {
            given = &args[positional++];
        }
        if (!given) {
            throw SqlError(8178, 16,
                           "The parameterized query '(" + declarations + ")" + stmt->value.toText() +
                               "' expects the parameter '" + p.name + "', which was not supplied.");
        }
        p.value = stored(given->value, p.type);
        params.push_back(p);
        if (d < decl.size() && decl[d].isSymbol(",")) {
            ++d;
        }
    }
    if (d < decl.size() && decl[d].kind != Token::Kind::End) {
        syntaxError(decl[d]);
    }
    std::map<std::string, Param> after = runNested(stmt->value.toText(), params);
    for (const Argument& a : args) {
        if (a.outputVariable.empty() || a.name.empty()) {
            continue;
        }
        auto it = after.find(lower(a.name));
        if (it != after.end()) {
            assign(a.outputVariable, it->second.value);
        }
    }
    size_t k = 2;
    for (const Param& p : params) {
        // A positional argument marked OUTPUT receives the parameter in its place.
        if (k < args.size() && args[k].name.empty()) {
            if (!args[k].outputVariable.empty() && p.output) {
                assign(args[k].outputVariable, after.at(lower(p.name)).value);
            }
            ++k;
        }
    }
}

} // namespace sqlsim::model
