#pragma once
// Rows of a result held compactly in memory: each row is one packed record (an id, a null bitmap,
// fixed-size slots, then the variable-length text and bytes) in large shared blocks.
#include "TColumnInfo.h"

#include <QByteArray>
#include <QList>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <vector>

class TRowStore {
public:
    // One value being written, before the row is packed. Text and bytes are referenced, not copied.
    struct Cell {
        bool isNull = true;
        int64_t integer = 0; // Int32, Int64, Bool, DateTime, Date, Time
        double real = 0;
        __int128 decimal = 0;
        const void* data = nullptr; // Text (char16_t units), Binary, Guid
        uint32_t length = 0;        // Text: UTF-16 units; Binary: bytes

        void SetNull() { isNull = true; }
        void SetInteger(int64_t v) { isNull = false, integer = v; }
        void SetReal(double v) { isNull = false, real = v; }
        void SetDecimal(__int128 v) { isNull = false, decimal = v; }
        void SetData(const void* p, uint32_t n) { isNull = false, data = p, length = n; }
    };

    TRowStore();
    ~TRowStore();
    TRowStore(const TRowStore&) = delete;
    TRowStore& operator=(const TRowStore&) = delete;

    void SetColumns(QList<TColumnInfo> columns);
    const QList<TColumnInfo>& Columns() const { return m_columns; }
    QList<TColumnInfo>& Columns() { return m_columns; }
    int ColumnCount() const { return int(m_columns.size()); }
    int RowCount() const { return int(m_rows.size()); }
    // Drops every row (and the memory they used); the columns stay.
    void ClearRows();
    // Drops every row but keeps the block being filled, so a reader that holds a result one part
    // at a time refills the same memory instead of asking the system for new pages each time.
    void RecycleRows();

    // Packs cells (one per column) into a new row; returns its position.
    int Append(const Cell* cells);
    int Insert(int row, const Cell* cells);
    void Replace(int row, const Cell* cells);
    void Remove(int row);

    // The same from variants (unassigned and NULL both store NULL); conversions may throw EDatabaseError.
    int AppendValues(const QList<QVariant>& values);
    int InsertValues(int row, const QList<QVariant>& values);
    void ReplaceValues(int row, const QList<QVariant>& values);

    // A row's identity: unchanged by edits, unique within the store, never reused.
    uint32_t RowId(int row) const;
    // Position of the row with this id, looked for at hint first; -1 when it is gone.
    int FindRow(uint32_t id, int hint = -1) const;

    bool IsNull(int row, int col) const;
    QVariant Value(int row, int col) const; // NullVariant() for NULL
    QString Text(int row, int col) const;   // "" for NULL
    // A text column's UTF-16 units without a copy (not aligned; read them with memcpy), valid until
    // the store changes; nullptr with units 0 for NULL or another kind of column.
    const unsigned char* TextData(int row, int col, uint32_t& units) const;
    int64_t Integer(int row, int col) const;
    double Real(int row, int col) const;
    __int128 Decimal(int row, int col) const;
    QByteArray Bytes(int row, int col) const;

    // Bytes held by the rows, their index and the block slack.
    size_t MemoryBytes() const;

    // Text of an unscaled decimal, trailing fractional zeros removed ("12.5", "-0.01", "3").
    static QString DecimalText(__int128 unscaled, int scale);
    // Parses "[-]digits[.digits]" into an unscaled value at scale; false when it is no number.
    static bool ParseDecimal(const char* text, size_t length, int scale, __int128& out);
    static QString GuidText(const unsigned char* bytes);

private:
    struct Block;
    const unsigned char* record(int row, int col, bool& isNull) const;
    const unsigned char* varData(const unsigned char* rec, int col, uint32_t& bytes) const;
    unsigned char* allocate(size_t bytes);
    unsigned char* pack(const Cell* cells, uint32_t id);
    void convert(const QList<QVariant>& values, std::vector<Cell>& cells,
                 std::vector<QByteArray>& keep) const;

    QList<TColumnInfo> m_columns;
    std::vector<int> m_slotOffset; // of each column within the record
    std::vector<int> m_varIndex;   // of each variable-length column among them, -1 for fixed
    int m_fixedBytes = 0;
    int m_varCount = 0;
    std::vector<unsigned char*> m_rows;
    struct TBlockFree {
        void operator()(unsigned char* p) const;
    };
    using TBlock = std::unique_ptr<unsigned char[], TBlockFree>;
    static TBlock newBlock(size_t bytes);
    std::vector<TBlock> m_blocks;
    size_t m_blockUsed = 0;
    size_t m_blockSize = 0;
    size_t m_allocated = 0;
    uint32_t m_nextId = 1;
};
