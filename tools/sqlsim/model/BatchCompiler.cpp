#include "BatchCompiler.h"

#include "BatchRunner.h"
#include "ExpressionParser.h"
#include "ModuleDefinition.h"
#include "Names.h"

#include <algorithm>
#include <cctype>

namespace sqlsim::model {

BatchCompiler::BatchCompiler(BatchRunner& runner, Context& ctx) : m_runner(runner), m_ctx(ctx) {}

const std::vector<Token>& BatchCompiler::tokens() const {
    return m_runner.tokens();
}

const std::string& BatchCompiler::text() const {
    return m_runner.text();
}

const Token& BatchCompiler::at(size_t pos) const {
    const auto& t = tokens();
    return pos < t.size() ? t[pos] : t.back();
}

void BatchCompiler::skipSemicolons(size_t& pos) const {
    while (at(pos).isSymbol(";")) {
        ++pos;
    }
}

CompiledBatch BatchCompiler::compile(size_t from) {
    size_t pos = from;
    if (from > 0) {
        m_module = true; // a module's body: its parameters are variables the text does not declare
    }
    skipSemicolons(pos);
    while (at(pos).kind != Token::Kind::End) {
        m_batch.statements.push_back(statement(pos));
        skipSemicolons(pos);
    }
    if (!m_module) {
        checkVariables();
    }
    return std::move(m_batch);
}

void BatchCompiler::checkVariables() const {
    auto declaredBefore = [](const std::vector<Declaration>& list, const std::string& name, size_t k) {
        for (const Declaration& d : list) {
            if (d.pos < k && sameName(d.name, name)) {
                return true;
            }
        }
        return false;
    };
    const auto& t = tokens();
    for (size_t k = 0; k < t.size(); ++k) {
        if (t[k].kind != Token::Kind::Variable || t[k].text.rfind("@@", 0) == 0) {
            continue;
        }
        const std::string& name = t[k].text;
        if (std::find(m_parameterNames.begin(), m_parameterNames.end(), k) != m_parameterNames.end() ||
            declaredBefore(m_batch.declarations, name, k) || declaredBefore(m_tables, name, k) ||
            m_runner.knowsParameter(name)) {
            continue;
        }
        // Where a table goes, the server asks for a table variable.
        const Token& before = k > 0 ? t[k - 1] : t[k];
        if (k > 0 && (before.isWord("from") || before.isWord("join") || before.isWord("into") ||
                      before.isWord("update") || before.isWord("insert") || before.isWord("delete"))) {
            throw SqlError(1087, 15, "Must declare the table variable \"" + name + "\".", 1, {},
                           int(t[k].line));
        }
        throw SqlError(137, 15, "Must declare the scalar variable \"" + name + "\".", 1, {}, int(t[k].line));
    }
}

void BatchCompiler::declareTable(size_t pos, const std::string& name) {
    m_tables.push_back(Declaration{pos, name, ColumnType{}});
}

void BatchCompiler::expression(size_t& pos) {
    ExpressionParser p(tokens(), pos, text());
    p.parse();
}

void BatchCompiler::declare(size_t pos, const std::string& name, const ColumnType& type) {
    for (const Declaration& d : m_batch.declarations) {
        if (sameName(d.name, name)) {
            throw SqlError(134, 15,
                           "The variable name '" + name +
                               "' has already been declared. Variable names must be unique within a query "
                               "batch or stored procedure.",
                           1, {}, int(at(pos).line));
        }
    }
    m_batch.declarations.push_back(Declaration{pos, name, type});
}

namespace {

bool beginsBlock(const BatchCompiler& c, size_t pos) {
    const Token& next = c.at(pos + 1);
    return c.at(pos).isWord("begin") && !next.isWord("tran") && !next.isWord("transaction") &&
           !next.isWord("distributed") && !next.isWord("dialog") && !next.isWord("conversation");
}

} // namespace

CompiledStatement BatchCompiler::statement(size_t& pos) {
    CompiledStatement s;
    s.begin = pos;
    s.line = int(at(pos).line);
    const Token& t = at(pos);
    if (t.isWord("if") || t.isWord("while")) {
        s.kind = t.isWord("if") ? CompiledStatement::Kind::If : CompiledStatement::Kind::While;
        ++pos;
        s.condition = pos;
        expression(pos);
        skipSemicolons(pos);
        if (at(pos).kind == Token::Kind::End) {
            syntaxError(at(pos));
        }
        const bool loop = s.kind == CompiledStatement::Kind::While;
        m_loops += loop ? 1 : 0;
        s.body.push_back(statement(pos));
        m_loops -= loop ? 1 : 0;
        if (s.kind == CompiledStatement::Kind::If) {
            size_t after = pos;
            skipSemicolons(after);
            if (at(after).isWord("else")) {
                pos = after + 1;
                skipSemicolons(pos);
                s.body.push_back(statement(pos));
            }
        }
    } else if (beginsBlock(*this, pos) && at(pos + 1).isWord("try")) {
        s.kind = CompiledStatement::Kind::Try;
        pos += 2;
        CompiledStatement tryBlock;
        tryBlock.kind = CompiledStatement::Kind::Block;
        tryBlock.begin = pos;
        tryBlock.body = block(pos, "try");
        tryBlock.end = pos;
        if (!at(pos).isWord("begin") || !at(pos + 1).isWord("catch")) {
            syntaxError(at(pos));
        }
        pos += 2;
        CompiledStatement catchBlock;
        catchBlock.kind = CompiledStatement::Kind::Block;
        catchBlock.begin = pos;
        catchBlock.body = block(pos, "catch");
        catchBlock.end = pos;
        s.body.push_back(std::move(tryBlock));
        s.body.push_back(std::move(catchBlock));
    } else if (beginsBlock(*this, pos)) {
        s.kind = CompiledStatement::Kind::Block;
        ++pos;
        s.body = block(pos, nullptr);
    } else if (t.isWord("else") || t.isWord("end")) {
        syntaxError(t);
    } else if (m_loops == 0 && t.isWord("break")) {
        throw SqlError(135, 15, "Cannot use a BREAK statement outside the scope of a WHILE statement.", 1, {},
                       s.line);
    } else if (m_loops == 0 && t.isWord("continue")) {
        throw SqlError(136, 15, "Cannot use a CONTINUE statement outside the scope of a WHILE statement.", 1,
                       {}, s.line);
    } else {
        return simple(pos);
    }
    s.end = pos;
    return s;
}

// Statements up to "end" (and the closing word after it, as in "end try"), which pos moves past.
std::vector<CompiledStatement> BatchCompiler::block(size_t& pos, const char* closing) {
    std::vector<CompiledStatement> body;
    skipSemicolons(pos);
    while (!at(pos).isWord("end")) {
        if (at(pos).kind == Token::Kind::End) {
            syntaxError(at(pos));
        }
        body.push_back(statement(pos));
        skipSemicolons(pos);
    }
    ++pos;
    if (closing) {
        if (!at(pos).isWord(closing)) {
            syntaxError(at(pos));
        }
        ++pos;
    }
    return body;
}

CompiledStatement BatchCompiler::simple(size_t& pos) {
    CompiledStatement s;
    s.begin = pos;
    s.line = int(at(pos).line);
    const Entry* best = nullptr;
    for (const Entry& e : registry()) {
        if (e.words.empty()) {
            continue;
        }
        bool matches = true;
        for (size_t k = 0; k < e.words.size() && matches; ++k) {
            matches = at(pos + k).kind == Token::Kind::Name && at(pos + k).isWord(e.words[k]);
        }
        if (matches && (!best || e.words.size() > best->words.size())) {
            best = &e;
        }
    }
    try {
        if (best && best->wholeBatch) {
            size_t first = 0;
            while (tokens()[first].isSymbol(";")) {
                ++first;
            }
            if (pos != first) {
                throw ModuleDefinition::notFirstInBatch(tokens(), pos);
            }
            best->check(*this, pos);
            pos = tokens().size() - 1; // the rest of the batch is its body
            m_module = true;
        } else if (best) {
            best->check(*this, pos);
        } else {
            const Token& t = at(pos);
            if ((t.kind == Token::Kind::Name && BatchRunner::isKeyword(t.text)) || t.isSymbol("(")) {
                throw SqlError(50000, 16, "__not_supported__"); // "(" : a query in parentheses
            }
            if (!t.isName() || pos != 0) {
                syntaxError(t);
            }
            // A procedure's name as the batch's first word runs it.
            for (const Entry& e : registry()) {
                if (e.words.empty()) {
                    e.check(*this, pos);
                }
            }
        }
    } catch (SqlError& e) {
        if (e.line() > 1 || std::string(e.what()) == "__not_supported__") {
            throw;
        }
        throw SqlError(e.number(), e.severity(), e.what(), e.state(), e.procedure(), s.line);
    }
    if (pos <= s.begin) {
        pos = s.begin + 1; // every statement covers at least its first word
    }
    s.end = pos;
    return s;
}

void BatchCompiler::permissive(BatchCompiler& c, size_t& pos) {
    pos = c.scanEnd(pos);
}

size_t BatchCompiler::scanEnd(size_t pos) const {
    std::string kind = lower(at(pos).text);
    // Words that begin a statement of their own elsewhere but belong to this one, once each.
    bool ownsQuery = kind == "insert" || kind == "with";
    bool ownsSet = kind == "update" || kind == "alter";
    bool ownsAlterations = kind == "alter";
    const size_t first = pos;
    ++pos;
    for (int depth = 0, cases = 0; at(pos).kind != Token::Kind::End; ++pos) {
        const Token& t = at(pos);
        if (t.isSymbol("(")) {
            ++depth;
            continue;
        }
        if (t.isSymbol(")")) {
            --depth;
            continue;
        }
        if (depth > 0 || (t.kind != Token::Kind::Name && !t.isSymbol(";"))) {
            continue;
        }
        if (t.isWord("case")) {
            ++cases;
            continue;
        }
        if (cases > 0) {
            cases -= t.isWord("end") ? 1 : 0;
            continue;
        }
        if (t.isSymbol(";")) {
            break;
        }
        if (!BatchRunner::startsStatement(t)) {
            continue;
        }
        const Token& before = at(pos - 1);
        if (t.isWord("select") && (before.isWord("union") || before.isWord("all") || before.isWord("except") ||
                                   before.isWord("intersect"))) {
            continue;
        }
        if (ownsQuery && (t.isWord("select") || t.isWord("exec") || t.isWord("execute") ||
                          (kind == "with" && (t.isWord("insert") || t.isWord("update") || t.isWord("delete"))))) {
            ownsQuery = t.isWord("insert"); // with ... insert: the insert's own select follows
            ownsSet = ownsSet || t.isWord("update");
            continue;
        }
        if (ownsSet && t.isWord("set")) {
            ownsSet = false;
            continue;
        }
        if (ownsAlterations && (t.isWord("drop") || t.isWord("alter"))) {
            ownsAlterations = false;
            continue;
        }
        if (kind == "alter" && t.isWord("rollback") && (before.isWord("with") || before.isSymbol(","))) {
            continue;
        }
        if (kind == "drop" && pos == first + 2 && t.isWord("if") && at(pos + 1).isWord("exists")) {
            continue; // drop table if exists ...
        }
        break;
    }
    return pos;
}

void BatchCompiler::expectEnd(const Token& t) {
    if (t.kind == Token::Kind::End || t.isSymbol(";") || BatchRunner::startsStatement(t)) {
        return;
    }
    // A word that begins no clause of these statements is a plain syntax error.
    static const char* clauses[] = {"option", "output", "from",   "with",      "order", "group",
                                    "having", "union",  "except", "intersect", "where", "collate",
                                    "escape", "into",   "for",    "join",      "inner", "left",
                                    "right",  "outer",  "cross",  "on"};
    if (t.kind == Token::Kind::Name && !BatchRunner::isKeyword(t.text)) {
        bool clause = false;
        for (const char* w : clauses) {
            clause = clause || t.isWord(w);
        }
        if (!clause) {
            syntaxError(t);
        }
    }
    throw SqlError(50000, 16, "__not_supported__");
}

} // namespace sqlsim::model
