#pragma once
// The results of one command, walked in order: each result is read completely into memory when
// the recordset reaches it. A result without columns (a statement that returns no rows) is a
// closed recordset. A forward-only recordset (a server-side cursor) holds one block of rows at a
// time instead and reads the next block when MoveNext passes the last row held.
#include "TADOField.h"
#include "TRowStore.h"

#include <memory>

class TConnectionObject;
class TOdbcStatement;

class TADORecordset {
public:
    // Takes over a statement that stands on its first result (or on none).
    explicit TADORecordset(std::unique_ptr<TOdbcStatement> statement, bool forwardOnly = false);
    ~TADORecordset();

    // Open when the current result has columns.
    bool IsOpen() const { return m_open; }
    int FieldCount() const { return m_open ? m_store.ColumnCount() : 0; }
    TADOField Fields(int index) const { return TADOField(&m_store, index, m_position); }
    // The field with this name (without case), or a field at -1 when there is none.
    int FieldIndex(const QString& name) const;
    // -1 when not known: a closed or a forward-only recordset.
    int RecordCount() const { return m_open && !m_forwardOnly ? m_store.RowCount() : -1; }
    bool ForwardOnly() const { return m_forwardOnly; }
    // Rows a forward-only recordset reads at a time.
    static int BlockRows() { return 4096; }
    qint64 RecordsAffected() const { return m_recordsAffected; }

    bool Eof() const { return !m_open || (m_position >= m_store.RowCount() && !m_more); }
    bool Bof() const { return !m_open || m_position < 0 || m_store.RowCount() == 0; }
    // A forward-only recordset moves only within the block it holds, except forward with MoveNext.
    void MoveFirst() { m_position = 0; }
    void MoveNext();
    void MovePrevious();
    void MoveLast() { m_position = m_store.RowCount() - 1; }

    // Moves to the command's next result; false when there is none (the recordset is then closed).
    // Raises the server's error when the next statement of the batch failed.
    bool NextRecordset();
    void Close();
    const TRowStore& Store() const { return m_store; }

private:
    void load();
    void readBlock();

    std::unique_ptr<TOdbcStatement> m_statement;
    TRowStore m_store;
    bool m_open = false;
    bool m_forwardOnly = false;
    bool m_more = false; // a forward-only result has rows beyond the block held
    int m_position = 0;
    qint64 m_recordsAffected = -1;
};
