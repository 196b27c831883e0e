#include "TSelectAnalyzer.h"

#include "TSqlIdentifier.h"
#include "TSqlParameterParser.h"

namespace {

struct Token {
    enum Kind { Word, Quoted, Literal, Symbol } kind;
    QString text; // words and quoted identifiers unquoted; symbols as written
};

QList<Token> tokenize(const QString& s) {
    QList<Token> out;
    qsizetype i = 0;
    while (i < s.size()) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        const qsizetype skipped = TSqlParameterParser::SkipQuoted(s, i);
        if (skipped > 0) {
            if (c == QLatin1Char('[') || c == QLatin1Char('"')) {
                QString inner = s.mid(i + 1, skipped - 2);
                const QString close = c == QLatin1Char('[') ? QStringLiteral("]") : QStringLiteral("\"");
                inner.replace(close + close, close);
                out.append({Token::Quoted, inner});
            } else if (c == QLatin1Char('\'')) {
                out.append({Token::Literal, s.mid(i, skipped)});
            }
            i += skipped; // comments vanish
            continue;
        }
        if ((c == QLatin1Char('N') || c == QLatin1Char('n')) && i + 1 < s.size() &&
            s[i + 1] == QLatin1Char('\'')) {
            const qsizetype len = TSqlParameterParser::SkipQuoted(s, i + 1);
            out.append({Token::Literal, s.mid(i, len + 1)});
            i += len + 1;
            continue;
        }
        if (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('@') || c == QLatin1Char('#') ||
            c == QLatin1Char('$')) {
            qsizetype j = i;
            while (j < s.size() &&
                   (s[j].isLetterOrNumber() || s[j] == QLatin1Char('_') || s[j] == QLatin1Char('@') ||
                    s[j] == QLatin1Char('#') || s[j] == QLatin1Char('$')))
                ++j;
            out.append({Token::Word, s.mid(i, j - i)});
            i = j;
            continue;
        }
        out.append({Token::Symbol, QString(c)});
        ++i;
    }
    return out;
}

bool isWord(const Token& t, const char* w) {
    return t.kind == Token::Word && t.text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
}

bool isSymbol(const Token& t, char c) {
    return t.kind == Token::Symbol && t.text == QLatin1Char(c);
}

bool isName(const Token& t) {
    return t.kind == Token::Quoted ||
           (t.kind == Token::Word && !t.text.front().isDigit() && !t.text.startsWith(QLatin1Char('@')));
}

// Reads a dotted name (a.b.c) at pos; returns the parts, or nothing when no name starts there.
QStringList readDottedName(const QList<Token>& t, qsizetype& pos, qsizetype end) {
    QStringList parts;
    while (pos < end && isName(t[pos])) {
        parts << t[pos].text;
        ++pos;
        if (pos < end && isSymbol(t[pos], '.'))
            ++pos;
        else
            break;
    }
    return parts;
}

TSelectAnalyzer::Item analyzeItem(const QList<Token>& t, qsizetype begin, qsizetype end, bool& star) {
    TSelectAnalyzer::Item item;
    if (begin >= end)
        return item;
    // alias = column
    if (end - begin >= 3 && isName(t[begin]) && isSymbol(t[begin + 1], '=')) {
        qsizetype pos = begin + 2;
        const QStringList col = readDottedName(t, pos, end);
        item.resultName = t[begin].text;
        if (!col.isEmpty() && pos == end && col.size() <= 2) {
            item.computed = false;
            item.column = col.back();
        }
        return item;
    }
    qsizetype pos = begin;
    const QStringList col = readDottedName(t, pos, end);
    if (pos < end && isSymbol(t[pos], '*') && pos + 1 == end) {
        star = true;
        item.resultName = QStringLiteral("*");
        return item;
    }
    if (!col.isEmpty() && col.size() <= 2) {
        if (pos == end) {
            item.computed = false;
            item.column = item.resultName = col.back();
            return item;
        }
        qsizetype aliasPos = pos;
        if (isWord(t[aliasPos], "as"))
            ++aliasPos;
        if (aliasPos + 1 == end && (isName(t[aliasPos]) || t[aliasPos].kind == Token::Literal)) {
            item.computed = false;
            item.column = col.back();
            item.resultName = t[aliasPos].text;
            return item;
        }
    }
    // Expression: its name is a trailing alias when there is one.
    if (end - begin >= 2 && isName(t[end - 1])) {
        if (isWord(t[end - 2], "as") || t[end - 2].kind == Token::Symbol || t[end - 2].kind == Token::Literal)
            item.resultName = t[end - 1].text;
    }
    return item;
}

const char* const kBlockers[] = {"join", "union", "except",  "intersect", "group",    "having",  "into",
                                 "for",  "pivot", "unpivot", "apply",     "distinct", "compute", "with"};

} // namespace

QString TSelectAnalyzer::Result::QuotedTable() const {
    QStringList q;
    for (const QString& p : tableParts)
        q << TSqlIdentifier::Quote(p);
    return q.join(QLatin1Char('.'));
}

QString TSelectAnalyzer::Result::BaseColumn(const QString& resultName) const {
    for (const Item& i : items) {
        if (i.resultName.compare(resultName, Qt::CaseInsensitive) == 0)
            return i.computed ? QString() : i.column;
    }
    return star ? resultName : QString();
}

TSelectAnalyzer::Result TSelectAnalyzer::Analyze(const QString& sql) {
    Result r;
    QList<Token> t = tokenize(sql);
    while (!t.isEmpty() && isSymbol(t.back(), ';'))
        t.removeLast();
    if (t.isEmpty() || !isWord(t[0], "select"))
        return r;
    qsizetype from = -1;
    int depth = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (isSymbol(t[i], '('))
            ++depth;
        else if (isSymbol(t[i], ')'))
            --depth;
        else if (depth == 0) {
            if (isSymbol(t[i], ';') || (i > 0 && isWord(t[i], "select")))
                return r; // more than one statement, or a union
            for (const char* b : kBlockers) {
                if (isWord(t[i], b))
                    return r;
            }
            if (from < 0 && isWord(t[i], "from"))
                from = i;
        }
    }
    if (from < 0)
        return r;
    // FROM <table> [[AS] alias] [WHERE ... | ORDER BY ... | OPTION ...]
    qsizetype pos = from + 1;
    const QStringList table = readDottedName(t, pos, t.size());
    if (table.isEmpty() || table.size() > 3 || table.back().startsWith(QLatin1Char('#')))
        return r;
    if (pos < t.size() && isWord(t[pos], "as"))
        ++pos;
    if (pos < t.size() && isName(t[pos]) && !isWord(t[pos], "where") && !isWord(t[pos], "order") &&
        !isWord(t[pos], "option"))
        ++pos;
    if (pos < t.size() && !isWord(t[pos], "where") && !isWord(t[pos], "order") && !isWord(t[pos], "option"))
        return r;
    // The select list, without TOP (n) [PERCENT] and ALL.
    qsizetype begin = 1;
    if (begin < from && isWord(t[begin], "all"))
        ++begin;
    if (begin < from && isWord(t[begin], "top")) {
        ++begin;
        if (begin < from && isSymbol(t[begin], '(')) {
            while (begin < from && !isSymbol(t[begin], ')'))
                ++begin;
        }
        ++begin;
        if (begin < from && isWord(t[begin], "percent"))
            ++begin;
    }
    depth = 0;
    qsizetype itemBegin = begin;
    for (qsizetype i = begin; i <= from; ++i) {
        if (i < from && isSymbol(t[i], '('))
            ++depth;
        else if (i < from && isSymbol(t[i], ')'))
            --depth;
        else if (i == from || (depth == 0 && isSymbol(t[i], ','))) {
            bool star = false;
            const Item item = analyzeItem(t, itemBegin, i, star);
            if (star)
                r.star = true;
            else
                r.items.append(item);
            itemBegin = i + 1;
        }
    }
    r.tableParts = table;
    r.singleTable = true;
    return r;
}
