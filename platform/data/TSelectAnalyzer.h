#pragma once
// Recognises a select over exactly one table, so that its rows can be written back: the table's
// name and, for each item of the select list, whether it is a plain column of that table.
#include <QList>
#include <QString>
#include <QStringList>

class TSelectAnalyzer {
public:
    struct Item {
        bool computed = true; // an expression, a literal, a subquery: never written back
        QString column;       // the table's column for a plain column
        QString resultName;   // the name the result column gets (the alias, else the column)
    };
    struct Result {
        bool singleTable = false;
        QStringList tableParts; // catalog, schema, table as written (unquoted), 1 to 3 parts
        bool star = false;      // the list holds "*" or "alias.*"
        QList<Item> items;      // the other items in list order

        QString TableName() const { return tableParts.isEmpty() ? QString() : tableParts.back(); }
        QString SchemaName() const {
            return tableParts.size() >= 2 ? tableParts[tableParts.size() - 2] : QString();
        }
        QString CatalogName() const { return tableParts.size() >= 3 ? tableParts[0] : QString(); }
        // The table as SQL, each part quoted where it needs it, e.g. dbo.[Order Lines].
        QString QuotedTable() const;
        // The table column a result column comes from, or empty when it is computed.
        QString BaseColumn(const QString& resultName) const;
    };

    static Result Analyze(const QString& sql);
};
