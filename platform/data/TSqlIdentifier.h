#pragma once
// The one place that decides how a name goes into SQL text: a regular identifier (a letter, "_",
// "@" or "#" first; then letters, digits, "@", "$", "#", "_"; not a reserved word) goes out as
// typed, any other name bracket-quoted with "]" doubled.
#include <QString>

class TSqlIdentifier {
public:
    static bool IsRegular(const QString& name);
    static bool IsReservedWord(const QString& word);
    // "Sales" -> "Sales", "My DB" -> "[My DB]", "a]b" -> "[a]]b]", "select" -> "[select]".
    static QString Quote(const QString& name);
    // "it's" -> "N'it''s'".
    static QString StringLiteral(const QString& text);
};
