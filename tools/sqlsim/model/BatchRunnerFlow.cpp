// The batch runner's flow of control: begin ... end blocks, if ... else and while with break and
// continue, return, begin try ... end try begin catch ... end catch, select @v = ..., and the
// @@rowcount and @@error each statement leaves behind.
#include "BatchRunner.h"

#include "Names.h"
#include "SelectQuery.h"

namespace sqlsim::model {

bool BatchRunner::compileError(const SqlError& e) {
    const int n = e.number();
    return std::string(e.what()) == "__not_supported__" || n == 102 || n == 156 || n == 105 || n == 113 ||
           n == 170 || n == 4147 || n == 137 || n == 134;
}

void BatchRunner::runOne(size_t& pos) {
    const int line = int(at(pos).line);
    const Token& t = at(pos);
    const bool compound =
        t.isWord("if") || t.isWord("while") ||
        (t.isWord("begin") && !at(pos + 1).isWord("tran") && !at(pos + 1).isWord("transaction"));
    const bool assigns =
        t.isWord("set") ||
        (t.isWord("select") && at(pos + 1).kind == Token::Kind::Variable && at(pos + 2).isSymbol("="));
    const size_t itemsBefore = m_ctx.response.items().size();
    const size_t start = pos;
    const bool isSelect = t.isWord("select");
    try {
        runStatement(pos);
    } catch (const SqlError& e) {
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
        if (!isSelect) {
            skipStatement(pos);
            return;
        }
        // A select ends at the first statement word outside parentheses (a select after union
        // belongs to it).
        pos = start + 1;
        for (int depth = 0; at(pos).kind != Token::Kind::End; ++pos) {
            const Token& k = at(pos);
            if (k.isSymbol("(")) {
                ++depth;
            } else if (k.isSymbol(")")) {
                --depth;
            } else if (depth == 0 &&
                       (k.isSymbol(";") ||
                        (startsStatement(k) && !(k.isWord("select") && (at(pos - 1).isWord("union") ||
                                                                        at(pos - 1).isWord("all")))))) {
                break;
            }
        }
        return;
    }
    if (compound) {
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

size_t BatchRunner::blockEnd(size_t pos) const {
    int depth = 1;
    for (; at(pos).kind != Token::Kind::End; ++pos) {
        const Token& t = at(pos);
        if ((t.isWord("begin") && !at(pos + 1).isWord("tran") && !at(pos + 1).isWord("transaction") &&
             !at(pos + 1).isWord("distributed")) ||
            t.isWord("case")) {
            ++depth;
        } else if (t.isWord("end")) {
            if (--depth == 0) {
                return pos;
            }
        }
    }
    syntaxError(at(pos));
}

void BatchRunner::runBody(size_t& pos) {
    if (at(pos).isWord("begin") && !at(pos + 1).isWord("tran") && !at(pos + 1).isWord("transaction") &&
        !at(pos + 1).isWord("try")) {
        runBlock(pos);
    } else {
        runOne(pos);
    }
}

void BatchRunner::runBlock(size_t& pos) {
    ++pos; // begin
    const size_t end = blockEnd(pos);
    while (pos < end) {
        if (at(pos).isSymbol(";")) {
            ++pos;
            continue;
        }
        runOne(pos);
    }
    if (!at(pos).isWord("end")) {
        syntaxError(at(pos));
    }
    ++pos;
}

bool BatchRunner::condition(size_t& pos) {
    ExpressionParser p(m_tokens, pos, m_text);
    auto e = p.parse();
    return Evaluator::isTrue(*e, scope({}, nullptr));
}

void BatchRunner::runWhile(size_t& pos) {
    ++pos;
    const size_t conditionAt = pos;
    while (true) {
        pos = conditionAt;
        const bool go = condition(pos);
        const size_t body = pos;
        if (!go) {
            skipStatement(pos);
            return;
        }
        try {
            runBody(pos);
        } catch (const LoopBreak&) {
            pos = body;
            skipStatement(pos);
            return;
        } catch (const LoopContinue&) {
        }
    }
}

void BatchRunner::runTry(size_t& pos) {
    pos += 2; // begin try
    const size_t tryEnd = blockEnd(pos);
    if (!at(tryEnd + 1).isWord("try") || !at(tryEnd + 2).isWord("begin") || !at(tryEnd + 3).isWord("catch")) {
        syntaxError(at(tryEnd + 1));
    }
    const size_t catchStart = tryEnd + 4;
    const size_t catchEnd = blockEnd(catchStart);
    if (!at(catchEnd + 1).isWord("catch")) {
        syntaxError(at(catchEnd + 1));
    }
    bool caught = false;
    ++m_tryDepth;
    try {
        while (pos < tryEnd) {
            if (at(pos).isSymbol(";")) {
                ++pos;
                continue;
            }
            const int line = int(at(pos).line);
            try {
                runOne(pos);
            } catch (const SqlError& e) {
                if (compileError(e)) {
                    throw;
                }
                m_caught.push_back(CaughtError{e.number(), e.severity(), e.state(),
                                               e.line() > 1 ? e.line() : line, e.what(), e.procedure()});
                caught = true;
                break;
            }
        }
    } catch (...) {
        --m_tryDepth;
        throw;
    }
    --m_tryDepth;
    pos = catchStart;
    if (caught) {
        m_lastError = m_caught.back().number;
        try {
            while (pos < catchEnd) {
                if (at(pos).isSymbol(";")) {
                    ++pos;
                    continue;
                }
                runOne(pos);
            }
        } catch (...) {
            m_caught.pop_back();
            throw;
        }
        m_caught.pop_back();
    }
    pos = catchEnd + 2; // end catch
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
