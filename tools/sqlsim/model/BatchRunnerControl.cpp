// The batch runner's statements of flow and state (waitfor, transactions), and how it tells
// statements it does not run from syntax errors and reports from changes.
#include "BatchRunner.h"

#include "Names.h"
#include "Transactions.h"

#include <cctype>

namespace sqlsim::model {

// waitfor delay 'hh:mm[:ss[.fff]]': the session waits; the client's attention ends the wait and
// the rest of the request.
void BatchRunner::runWaitfor(size_t& pos) {
    ++pos;
    if (!at(pos).isWord("delay")) {
        notSupported(); // waitfor time, and waiting for a receive
    }
    ++pos;
    const Token& valueToken = at(pos);
    if (valueToken.kind != Token::Kind::String && valueToken.kind != Token::Kind::Variable) {
        syntaxError(valueToken);
    }
    ExpressionParser p(m_tokens, pos, m_text);
    SqlValue v = Evaluator::eval(*p.parse(), scope({}, nullptr));
    std::string text = v.isNull() ? std::string() : v.toText();
    auto delay = parseDelay(text);
    if (!delay) {
        throw SqlError(148, 15, "Incorrect time syntax in time string '" + text + "' used with WAITFOR.");
    }
    m_ctx.response.wait(*delay);
}

std::optional<std::chrono::milliseconds> BatchRunner::parseDelay(const std::string& text) {
    // hh:mm, hh:mm:ss or hh:mm:ss.fff (one to three fraction digits), below 24 hours.
    int parts[3] = {0, 0, 0};
    int count = 0, millis = 0;
    size_t i = 0;
    auto digits = [&](int& out, size_t maxDigits) {
        size_t start = i;
        out = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) &&
               i - start < maxDigits) {
            out = out * 10 + (text[i++] - '0');
        }
        return i > start;
    };
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    while (count < 3) {
        if (!digits(parts[count], 2)) {
            return std::nullopt;
        }
        ++count;
        if (i < text.size() && text[i] == ':' && count < 3) {
            ++i;
            continue;
        }
        break;
    }
    if (count < 2) {
        return std::nullopt;
    }
    if (count == 3 && i < text.size() && text[i] == '.') {
        ++i;
        size_t start = i;
        if (!digits(millis, 3)) {
            return std::nullopt;
        }
        for (size_t n = i - start; n < 3; ++n) {
            millis *= 10;
        }
    }
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    if (i != text.size() || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) {
        return std::nullopt;
    }
    return std::chrono::milliseconds((int64_t(parts[0]) * 3600 + parts[1] * 60 + parts[2]) * 1000 + millis);
}

// Reserved words of statements the simulator does not run: such a statement is refused as not
// supported rather than as a syntax error.
bool BatchRunner::isKeyword(const std::string& word) {
    static const char* words[] = {
        "merge",      "declare",     "while",      "truncate", "grant",     "revoke",     "deny",
        "dbcc",       "bulk",        "checkpoint", "kill",     "open",      "close",      "fetch",
        "deallocate", "goto",        "return",     "break",    "continue",  "throw",      "with",
        "save",       "reconfigure", "shutdown",   "readtext", "writetext", "updatetext", "setuser",
        "disable",    "enable",      "receive",    "send",     "get",       "move",       "revert",
        "end",        "else",        "try",        "catch",    "go",        "begin",      "openxml"};
    for (const char* w : words) {
        if (sameName(word, w)) {
            return true;
        }
    }
    return false;
}

// begin tran[saction] [name] | commit [tran[saction] | work] [name] | rollback [...] [name]
void BatchRunner::runTransaction(size_t& pos) {
    const bool isBegin = at(pos).isWord("begin"), isCommit = at(pos).isWord("commit");
    ++pos;
    bool keyword = at(pos).isWord("tran") || at(pos).isWord("transaction") || at(pos).isWord("work");
    if (keyword) {
        ++pos;
    }
    std::string name;
    if (keyword && (at(pos).isName() || at(pos).kind == Token::Kind::Variable) && !startsStatement(at(pos)) &&
        !at(pos).isWord("commit") && !at(pos).isWord("rollback") && !at(pos).isWord("with")) {
        name = at(pos).kind == Token::Kind::Variable ? scope({}, nullptr).variable(at(pos).text).toText()
                                                     : at(pos).text;
        ++pos;
    }
    if (isBegin) {
        Transactions::begin(m_ctx, name);
    } else if (isCommit) {
        Transactions::commit(m_ctx);
    } else {
        Transactions::rollback(m_ctx, name);
    }
}

// exec of a procedure that only reports: no copy of the instance is needed for it.
bool BatchRunner::callsReadOnlyProcedure(size_t pos) const {
    if (at(pos).isWord("exec") || at(pos).isWord("execute")) {
        ++pos;
    } else if (pos != 0) {
        return false;
    }
    if (at(pos).kind == Token::Kind::Variable && at(pos + 1).isSymbol("=")) {
        pos += 2;
    }
    std::string name;
    while (at(pos).isName() || at(pos).isSymbol(".")) {
        if (at(pos).isName()) {
            name = at(pos).text;
        }
        ++pos;
    }
    for (const char* p : {"sp_who", "sp_who2", "sp_helpsrvrole", "sp_databases", "sp_tables", "sp_pkeys",
                          "sp_columns", "sp_MShasdbaccess"}) {
        if (sameName(name, p)) {
            return true;
        }
    }
    return false;
}

} // namespace sqlsim::model
