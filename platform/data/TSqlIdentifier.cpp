#include "TSqlIdentifier.h"

#include <QSet>

namespace {

const QSet<QString>& reservedWords() {
    static const QSet<QString> words = [] {
        const char* const list[] = {"add",
                                    "all",
                                    "alter",
                                    "and",
                                    "any",
                                    "as",
                                    "asc",
                                    "authorization",
                                    "backup",
                                    "begin",
                                    "between",
                                    "break",
                                    "browse",
                                    "bulk",
                                    "by",
                                    "cascade",
                                    "case",
                                    "check",
                                    "checkpoint",
                                    "close",
                                    "clustered",
                                    "coalesce",
                                    "collate",
                                    "column",
                                    "commit",
                                    "compute",
                                    "constraint",
                                    "contains",
                                    "containstable",
                                    "continue",
                                    "convert",
                                    "create",
                                    "cross",
                                    "current",
                                    "current_date",
                                    "current_time",
                                    "current_timestamp",
                                    "current_user",
                                    "cursor",
                                    "database",
                                    "dbcc",
                                    "deallocate",
                                    "declare",
                                    "default",
                                    "delete",
                                    "deny",
                                    "desc",
                                    "disk",
                                    "distinct",
                                    "distributed",
                                    "double",
                                    "drop",
                                    "dump",
                                    "else",
                                    "end",
                                    "errlvl",
                                    "escape",
                                    "except",
                                    "exec",
                                    "execute",
                                    "exists",
                                    "exit",
                                    "external",
                                    "fetch",
                                    "file",
                                    "fillfactor",
                                    "for",
                                    "foreign",
                                    "freetext",
                                    "freetexttable",
                                    "from",
                                    "full",
                                    "function",
                                    "goto",
                                    "grant",
                                    "group",
                                    "having",
                                    "holdlock",
                                    "identity",
                                    "identity_insert",
                                    "identitycol",
                                    "if",
                                    "in",
                                    "index",
                                    "inner",
                                    "insert",
                                    "intersect",
                                    "into",
                                    "is",
                                    "join",
                                    "key",
                                    "kill",
                                    "left",
                                    "like",
                                    "lineno",
                                    "load",
                                    "merge",
                                    "national",
                                    "nocheck",
                                    "nonclustered",
                                    "not",
                                    "null",
                                    "nullif",
                                    "of",
                                    "off",
                                    "offsets",
                                    "on",
                                    "open",
                                    "opendatasource",
                                    "openquery",
                                    "openrowset",
                                    "openxml",
                                    "option",
                                    "or",
                                    "order",
                                    "outer",
                                    "over",
                                    "percent",
                                    "pivot",
                                    "plan",
                                    "precision",
                                    "primary",
                                    "print",
                                    "proc",
                                    "procedure",
                                    "public",
                                    "raiserror",
                                    "read",
                                    "readtext",
                                    "reconfigure",
                                    "references",
                                    "replication",
                                    "restore",
                                    "restrict",
                                    "return",
                                    "revert",
                                    "revoke",
                                    "right",
                                    "rollback",
                                    "rowcount",
                                    "rowguidcol",
                                    "rule",
                                    "save",
                                    "schema",
                                    "securityaudit",
                                    "select",
                                    "semantickeyphrasetable",
                                    "semanticsimilaritydetailstable",
                                    "semanticsimilaritytable",
                                    "session_user",
                                    "set",
                                    "setuser",
                                    "shutdown",
                                    "some",
                                    "statistics",
                                    "system_user",
                                    "table",
                                    "tablesample",
                                    "textsize",
                                    "then",
                                    "to",
                                    "top",
                                    "tran",
                                    "transaction",
                                    "trigger",
                                    "truncate",
                                    "try_convert",
                                    "tsequal",
                                    "union",
                                    "unique",
                                    "unpivot",
                                    "update",
                                    "updatetext",
                                    "use",
                                    "user",
                                    "values",
                                    "varying",
                                    "view",
                                    "waitfor",
                                    "when",
                                    "where",
                                    "while",
                                    "with",
                                    "within",
                                    "writetext"};
        QSet<QString> s;
        for (const char* w : list)
            s.insert(QString::fromLatin1(w));
        return s;
    }();
    return words;
}

} // namespace

bool TSqlIdentifier::IsReservedWord(const QString& word) {
    return reservedWords().contains(word.toLower());
}

bool TSqlIdentifier::IsRegular(const QString& name) {
    if (name.isEmpty() || name.size() > 128)
        return false;
    const auto isOther = [](QChar c) {
        return c == QLatin1Char('_') || c == QLatin1Char('@') || c == QLatin1Char('#');
    };
    const QChar first = name.front();
    if (!first.isLetter() && !isOther(first))
        return false;
    for (qsizetype i = 1; i < name.size(); ++i) {
        const QChar c = name[i];
        if (!c.isLetter() && !(c.category() == QChar::Number_DecimalDigit) && !isOther(c) &&
            c != QLatin1Char('$'))
            return false;
    }
    return !IsReservedWord(name);
}

QString TSqlIdentifier::Quote(const QString& name) {
    if (IsRegular(name))
        return name;
    QString inner = name;
    inner.replace(QLatin1Char(']'), QLatin1String("]]"));
    return QLatin1Char('[') + inner + QLatin1Char(']');
}

QString TSqlIdentifier::StringLiteral(const QString& text) {
    QString inner = text;
    inner.replace(QLatin1Char('\''), QLatin1String("''"));
    return QStringLiteral("N'") + inner + QLatin1Char('\'');
}
