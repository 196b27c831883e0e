// throw: raising an error with a number, message and state of one's own, and re-raising, inside a
// catch block, the error it is handling; and what a select that fails as it runs has sent first.
#include "BatchRunner.h"

#include "Names.h"
#include "SelectQuery.h"

namespace sqlsim::model {

void BatchRunner::runThrow(size_t& pos) {
    const int line = int(at(pos).line);
    ++pos; // throw
    auto raise = [&](const SqlError& e) {
        if (m_tryDepth > 0) {
            throw e; // to the catch block
        }
        // Outside try ... catch the error ends the batch.
        addError(m_ctx.response, e, e.line() > 1 ? e.line() : line);
        m_lastError = e.number();
        m_rowCount = 0;
        throw BatchEnd{};
    };
    if (at(pos).kind == Token::Kind::End || at(pos).isSymbol(";") || at(pos).isWord("end")) {
        if (m_caught.empty()) {
            throw SqlError(10704, 15,
                           "To rethrow an error, a THROW statement must be used inside a CATCH block. Insert "
                           "the THROW statement inside a CATCH block, or add error parameters to the THROW "
                           "statement.");
        }
        const CaughtError& c = m_caught.back();
        raise(SqlError(c.number, c.severity, c.message, c.state, c.procedure, c.line));
    }
    std::vector<SqlValue> args;
    while (true) {
        ExpressionParser p(m_tokens, pos, m_text);
        args.push_back(Evaluator::eval(*p.parse(), scope({}, nullptr)));
        if (args.size() == 3 || !at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    if (args.size() != 3) {
        syntaxError(at(pos));
    }
    const int64_t number = args[0].isNull() ? 0 : args[0].toInt();
    if (number < 50000 || number > 2147483647LL) {
        throw SqlError(35100, 16,
                       "Error number " + std::to_string(number) +
                           " in the THROW statement is outside the valid range. Specify an error number in "
                           "the valid range of 50000 to 2147483647.");
    }
    const int64_t state = args[2].isNull() ? -1 : args[2].toInt();
    if (state < 0 || state > 255) {
        throw SqlError(35101, 16,
                       "State " + std::to_string(state) +
                           " in the THROW statement is outside the valid range. Specify a state in the valid "
                           "range of 0 to 255.");
    }
    raise(SqlError(int(number), 16, args[1].isNull() ? std::string() : args[1].toText(), int(state), {}, line));
}

void BatchRunner::announceFailedSelect(size_t start, const SqlError& e) {
    const int n = e.number();
    if (n == 208 || n == 207 || n == 209 || n == 4104 || n == 8120 || n == 911 || n == 229 || n == 916) {
        return; // found as the statement compiles, before any result
    }
    try {
        SelectQuery query(*this, m_ctx);
        std::vector<Column> columns = query.columns(start);
        if (!query.into().empty() || columns.empty()) {
            return;
        }
        ResultSet rs;
        rs.columns = std::move(columns);
        // The rows computed before the failing one went out ahead of the error.
        std::vector<Row> before = std::move(m_rowsBeforeFailure);
        if (!before.empty() && before.front().size() == rs.columns.size()) {
            rs.rows = std::move(before);
        }
        rs.endsInError = true;
        m_ctx.response.resultSet(std::move(rs));
    } catch (const SqlError&) {
        // The columns cannot be known either: the error goes alone.
    }
}

} // namespace sqlsim::model
