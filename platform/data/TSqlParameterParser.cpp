#include "TSqlParameterParser.h"

namespace {

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Index just past the closing quote, where a doubled quote stands for itself.
qsizetype skipDelimited(const QString& s, qsizetype pos, QChar close) {
    qsizetype i = pos + 1;
    while (i < s.size()) {
        if (s[i] == close) {
            if (i + 1 < s.size() && s[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return s.size();
}

} // namespace

qsizetype TSqlParameterParser::SkipQuoted(const QString& s, qsizetype pos) {
    const QChar c = s[pos];
    const QChar next = pos + 1 < s.size() ? s[pos + 1] : QChar();
    qsizetype end = pos;
    if (c == QLatin1Char('\''))
        end = skipDelimited(s, pos, QLatin1Char('\''));
    else if (c == QLatin1Char('"'))
        end = skipDelimited(s, pos, QLatin1Char('"'));
    else if (c == QLatin1Char('['))
        end = skipDelimited(s, pos, QLatin1Char(']'));
    else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
        end = s.indexOf(QLatin1Char('\n'), pos);
        end = end < 0 ? s.size() : end;
    } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
        // Block comments nest in T-SQL.
        int depth = 0;
        qsizetype i = pos;
        while (i < s.size()) {
            if (s[i] == QLatin1Char('/') && i + 1 < s.size() && s[i + 1] == QLatin1Char('*')) {
                ++depth;
                i += 2;
            } else if (s[i] == QLatin1Char('*') && i + 1 < s.size() && s[i + 1] == QLatin1Char('/')) {
                i += 2;
                if (--depth == 0)
                    break;
            } else {
                ++i;
            }
        }
        end = i;
    }
    return end - pos;
}

TSqlParameterParser::Result TSqlParameterParser::Parse(const QString& sql) {
    Result r;
    r.odbcText.reserve(sql.size());
    qsizetype i = 0;
    while (i < sql.size()) {
        const qsizetype skipped = SkipQuoted(sql, i);
        if (skipped > 0) {
            r.odbcText += QStringView(sql).mid(i, skipped);
            i += skipped;
            continue;
        }
        const QChar c = sql[i];
        if (c == QLatin1Char(':')) {
            // "::" (scope qualifier, e.g. SCHEMA::name) is not a parameter.
            if (i + 1 < sql.size() && sql[i + 1] == QLatin1Char(':')) {
                r.odbcText += QLatin1String("::");
                i += 2;
                continue;
            }
            qsizetype j = i + 1;
            while (j < sql.size() && isNameChar(sql[j]))
                ++j;
            if (j > i + 1) {
                const QString name = sql.mid(i + 1, j - i - 1);
                r.markers << name;
                bool known = false;
                for (const QString& n : r.names)
                    known = known || n.compare(name, Qt::CaseInsensitive) == 0;
                if (!known)
                    r.names << name;
                r.odbcText += QLatin1Char('?');
                i = j;
                continue;
            }
        }
        r.odbcText += c;
        ++i;
    }
    return r;
}
