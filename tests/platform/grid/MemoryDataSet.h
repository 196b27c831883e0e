#pragma once
// A data set over rows made in memory: given as values, or made by a generator (for a million rows).
// Writes are recorded, and can be made to fail as a server would.
#include "EDatabaseError.h"
#include "TDataSet.h"

#include <functional>

inline TColumnInfo MakeColumn(const char* name, TStorageKind kind, TFieldType type, int scale = 0) {
    TColumnInfo c;
    c.name = QString::fromUtf8(name);
    c.kind = kind;
    c.fieldType = type;
    c.scale = scale;
    c.precision = 19;
    c.definedSize = kind == TStorageKind::Text ? 50 : 8;
    return c;
}

class MemoryDataSet : public TDataSet {
public:
    QList<TColumnInfo> columns;
    QList<QList<QVariant>> rows;
    int generated = 0;
    std::function<void(int row, TRowStore::Cell* cells)> generator;
    QStringList writes;
    bool failWrites = false;

protected:
    void InternalOpen() override {
        MutableStore().SetColumns(columns);
        for (const auto& r : rows)
            MutableStore().AppendValues(r);
        std::vector<TRowStore::Cell> cells(size_t(columns.size()));
        for (int i = 0; i < generated; ++i) {
            generator(i, cells.data());
            MutableStore().Append(cells.data());
        }
    }
    void InternalPost(bool inserting, int, QList<QVariant>& values, const std::vector<bool>&) override {
        if (failWrites)
            throw EDatabaseError(QStringLiteral("The record cannot be written"), 547);
        writes << (inserting ? "insert " : "update ") + values.value(1).toString();
    }
};

// (id int, name nvarchar(50), kind nvarchar, amount money, created datetime, active bit)
inline void FillPeople(MemoryDataSet& d) {
    d.columns = {MakeColumn("id", TStorageKind::Int32, ftInteger),
                 MakeColumn("name", TStorageKind::Text, ftWideString),
                 MakeColumn("kind", TStorageKind::Text, ftWideString),
                 MakeColumn("amount", TStorageKind::Decimal64, ftCurrency, 4),
                 MakeColumn("created", TStorageKind::DateTime, ftDateTime),
                 MakeColumn("active", TStorageKind::Bool, ftBoolean)};
    const QDateTime t(QDate(2024, 5, 1), QTime(9, 0));
    d.rows = {{1, "carl", "U", "1234.5", t, true},
              {2, "Anna", "P", "10", t.addDays(1), false},
              {3, "bert", "U", "0.25", t.addDays(2), true},
              {4, "Cecil", "P", "-5", t.addDays(3), true},
              {5, "anton", "U", "100000", t.addDays(4), false},
              {6, "Dora", "V", "1", t.addDays(5), true}};
}
