// The batch runner's flow of control: begin ... end blocks, if ... else and while with break and
// continue, return, begin try ... end try begin catch ... end catch, select @v = ..., and the
// @@rowcount and @@error each statement leaves behind.
#include "BatchRunner.h"

#include "Names.h"
#include "SelectQuery.h"
#include "TempTables.h"
#include "Transactions.h"

#include <algorithm>

namespace sqlsim::model {

bool BatchRunner::compileError(const SqlError& e) {
    const int n = e.number();
    return std::string(e.what()) == "__not_supported__" || n == 102 || n == 156 || n == 105 || n == 113 ||
           n == 170 || n == 4147 || n == 137 || n == 134 || n == 10704;
}

void BatchRunner::statementFailed(const SqlError& e, int line) {
    if (compileError(e) || m_tryDepth > 0) {
        throw;
    }
    addError(m_ctx.response, e, line);
    m_lastError = e.number();
    m_rowCount = 0;
    const int n = e.number();
    if (n == 208 || n == 207 || n == 911 || n == 2812 || n == 195 || n == 3609 || xactAbort()) {
        throw BatchEnd{};
    }
}

void BatchRunner::runOne(size_t& pos) {
    const int line = int(at(pos).line);
    m_statementLine = line;
    const Token& t = at(pos);
    const bool assigns =
        t.isWord("set") ||
        (t.isWord("select") && at(pos + 1).kind == Token::Kind::Variable && at(pos + 2).isSymbol("="));
    const size_t itemsBefore = m_ctx.response.items().size();
    const size_t start = pos;
    m_rowsBeforeFailure.clear();
    try {
        runStatement(pos);
    } catch (const SqlError& e) {
        if (!compileError(e) && m_tryDepth == 0 && t.isWord("select") && !assigns) {
            announceFailedSelect(start, e);
        }
        statementFailed(e, line);
        pos = start; // the caller moves on to the next statement
        return;
    }
    m_lastError = 0;
    if (t.isWord("set") && at(start + 1).kind == Token::Kind::Variable) {
        m_rowCount = 1; // set @v = ... counts its one row
    } else if (!assigns) {
        m_rowCount = 0;
    }
    for (size_t k = itemsBefore; k < m_ctx.response.items().size(); ++k) {
        const auto& item = m_ctx.response.items()[k];
        if (const auto* rc = std::get_if<RowCount>(&item)) {
            m_rowCount = rc->count;
        } else if (const auto* rs = std::get_if<ResultSet>(&item)) {
            m_rowCount = int64_t(rs->rows.size());
        } else if (const auto* m = std::get_if<Message>(&item); m && m->severity >= 11) {
            m_lastError = m->number;
            if (xactAbort()) {
                throw BatchEnd{};
            }
        }
    }
}

void BatchRunner::runCompiledFrom(size_t pos) {
    CompiledBatch body = BatchCompiler(*this, m_ctx).compile(pos);
    m_declarations = std::move(body.declarations);
    m_declared = 0;
    runSequence(body.statements);
}

void BatchRunner::runSequence(const std::vector<CompiledStatement>& statements) {
    size_t readUpTo = 0;
    for (size_t i = 0; i < statements.size(); ++i) {
        runCompiled(statements, i, readUpTo);
    }
}

void BatchRunner::runCompiled(const std::vector<CompiledStatement>& statements, size_t index,
                              size_t& readUpTo) {
    const CompiledStatement& s = statements[index];
    if (s.begin < readUpTo) {
        return; // an earlier statement's handler read these tokens as its own
    }
    switch (s.kind) {
    case CompiledStatement::Kind::Block:
        runSequence(s.body);
        return;
    case CompiledStatement::Kind::If:
        runIf(s);
        return;
    case CompiledStatement::Kind::While:
        runWhile(s);
        return;
    case CompiledStatement::Kind::Try:
        runTry(s);
        return;
    case CompiledStatement::Kind::Simple:
        break;
    }
    size_t pos = s.begin;
    while (pos < s.end) {
        if (at(pos).isSymbol(";")) {
            ++pos;
            continue;
        }
        declareUpTo(pos);
        waitForReaders(pos, s.end);
        const size_t start = pos;
        runOne(pos);
        if (pos == start) {
            break; // it failed: on to the next statement
        }
        readUpTo = std::max(readUpTo, pos);
    }
}

bool BatchRunner::condition(size_t& pos) {
    ExpressionParser p(m_tokens, pos, m_text);
    auto e = p.parse();
    return Evaluator::isTrue(*e, scope({}, nullptr));
}

void BatchRunner::declareUpTo(size_t pos) {
    for (; m_declared < m_declarations.size() && m_declarations[m_declared].pos < pos; ++m_declared) {
        const Declaration& d = m_declarations[m_declared];
        m_variables.emplace(lower(d.name), Param{d.name, d.type, SqlValue::null(), false});
    }
}

bool BatchRunner::evaluateCondition(const CompiledStatement& s, bool& go) {
    declareUpTo(s.condition);
    waitForReaders(s.condition, s.body.front().begin);
    m_statementLine = s.line;
    size_t pos = s.condition;
    try {
        go = condition(pos);
    } catch (const SqlError& e) {
        statementFailed(e, s.line);
        return false;
    }
    return true;
}

void BatchRunner::runIf(const CompiledStatement& s) {
    bool go = false;
    if (!evaluateCondition(s, go)) {
        return;
    }
    size_t readUpTo = 0;
    if (go) {
        runCompiled(s.body, 0, readUpTo);
    } else if (s.body.size() > 1) {
        runCompiled(s.body, 1, readUpTo);
    }
}

void BatchRunner::runWhile(const CompiledStatement& s) {
    bool go = false;
    while (evaluateCondition(s, go) && go) {
        try {
            runSequence(s.body);
        } catch (const LoopBreak&) {
            return;
        } catch (const LoopContinue&) {
        }
    }
}

void BatchRunner::runTry(const CompiledStatement& s) {
    bool caught = false;
    ++m_tryDepth;
    try {
        runSequence(s.body[0].body);
    } catch (const SqlError& e) {
        --m_tryDepth;
        if (compileError(e)) {
            throw;
        }
        m_caught.push_back(CaughtError{e.number(), e.severity(), e.state(),
                                       e.line() > 1 ? e.line() : m_statementLine, e.what(), e.procedure()});
        caught = true;
    } catch (...) {
        --m_tryDepth;
        throw;
    }
    if (!caught) {
        --m_tryDepth;
        return;
    }
    m_lastError = m_caught.back().number;
    try {
        runSequence(s.body[1].body);
    } catch (...) {
        m_caught.pop_back();
        throw;
    }
    m_caught.pop_back();
}

void BatchRunner::waitForReaders(size_t begin, size_t end) {
    for (size_t k = begin; k < end && k < m_tokens.size(); ++k) {
        if (!m_tokens[k].isName() || (k > begin && m_tokens[k - 1].isSymbol("."))) {
            continue;
        }
        std::vector<std::string> parts;
        size_t p = k;
        while (true) {
            parts.push_back(m_tokens[p].text);
            if (p + 2 < end && m_tokens[p + 1].isSymbol(".") && m_tokens[p + 2].isName()) {
                p += 2;
                continue;
            }
            if (p + 3 < end && m_tokens[p + 1].isSymbol(".") && m_tokens[p + 2].isSymbol(".") &&
                m_tokens[p + 3].isName()) {
                parts.push_back({}); // database..table
                p += 3;
                continue;
            }
            break;
        }
        if (parts.size() <= 3 && TempTables::isGlobal(parts.back())) {
            // A global temporary table is shared like a user table: its readers wait the same way.
            if (TempTables::find(m_ctx.instance, parts.back(), m_ctx.session) && Transactions::waitToRead(m_ctx)) {
                return;
            }
            continue;
        }
        if (parts.size() > 3 || TempTables::isTemp(parts.back())) {
            continue;
        }
        Database* db = parts.size() == 3 ? m_ctx.instance.findDatabase(parts[0]) : &m_ctx.db();
        if (!db) {
            continue;
        }
        const std::string owner = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();
        const ObjectDef* o = db->findObject((owner.empty() ? std::string() : bracketed(owner) + ".") +
                                            bracketed(parts.back()));
        if (o && (o->type == "U" || o->type == "V") && Transactions::waitToRead(m_ctx)) {
            return;
        }
    }
}

void BatchRunner::runSelectAssign(size_t& pos) {
    // select @a = expr, @b = expr [from ...]: read as a query whose columns are the expressions.
    std::vector<std::string> names;
    std::vector<Token> rewritten = m_tokens;
    size_t p = pos + 1;
    int depth = 0;
    while (at(p).kind != Token::Kind::End) {
        const Token& t = at(p);
        if (t.isSymbol("(")) {
            ++depth;
        } else if (t.isSymbol(")")) {
            --depth;
        }
        if (depth == 0 && (p == pos + 1 || at(p - 1).isSymbol(",")) && t.kind == Token::Kind::Variable &&
            at(p + 1).isSymbol("=")) {
            names.push_back(t.text);
            // The variable and its "=" become "null," placeholders skipped below.
            rewritten[p].kind = Token::Kind::Symbol;
            rewritten[p].text = "@=";
            rewritten[p + 1].kind = Token::Kind::Symbol;
            rewritten[p + 1].text = "@=";
            p += 2;
            continue;
        }
        if (depth == 0 && (t.isWord("from") || t.isWord("where") || t.isWord("order") || t.isWord("group") ||
                           t.isSymbol(";") || (startsStatement(t) && !t.isWord("select")))) {
            break;
        }
        if (depth == 0 && t.isSymbol(",") && at(p + 1).kind != Token::Kind::Variable) {
            throw SqlError(141, 15,
                           "A SELECT statement that assigns a value to a variable must not be combined with "
                           "data-retrieval operations.");
        }
        ++p;
    }
    // The batch's own tokens are set aside, not copied: callers hold references into them, which
    // must still point at the same tokens when they come back.
    std::vector<Token> saved;
    std::vector<Token> stripped;
    for (size_t k = 0; k < rewritten.size(); ++k) {
        if (!(rewritten[k].kind == Token::Kind::Symbol && rewritten[k].text == "@=")) {
            stripped.push_back(rewritten[k]);
        }
    }
    // Positions after the assignments shift by two tokens per variable.
    size_t q = pos;
    saved.swap(m_tokens);
    m_tokens = std::move(stripped);
    Relation r;
    try {
        SelectQuery query(*this, m_ctx);
        r = query.run(q);
    } catch (...) {
        m_tokens.swap(saved);
        throw;
    }
    m_tokens.swap(saved);
    pos = q + 2 * names.size();
    if (r.columns.size() != names.size()) {
        throw SqlError(141, 15,
                       "A SELECT statement that assigns a value to a variable must not be combined with "
                       "data-retrieval operations.");
    }
    if (!r.rows.empty()) {
        for (size_t i = 0; i < names.size(); ++i) {
            assign(names[i], r.rows.back()[i]);
        }
    }
    m_rowCount = int64_t(r.rows.size());
}

} // namespace sqlsim::model
