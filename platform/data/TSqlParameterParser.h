#pragma once
// Finds ":name" parameters in SQL text, skipping string literals, quoted identifiers and comments,
// and rewrites them as ODBC "?" markers.
#include <QString>
#include <QStringList>

class TSqlParameterParser {
public:
    struct Result {
        QString odbcText;    // the text with every parameter replaced by "?"
        QStringList markers; // the parameter name of each "?", in text order (names may repeat)
        QStringList names;   // each distinct name once, in order of first appearance
    };

    static Result Parse(const QString& sql);

    // Length of the literal, quoted identifier or comment starting at pos, or 0 when none starts there.
    static qsizetype SkipQuoted(const QString& sql, qsizetype pos);
};
