#include "TADORecordset.h"

#include "TOdbcStatement.h"

TADORecordset::TADORecordset(std::unique_ptr<TOdbcStatement> statement, bool forwardOnly)
    : m_statement(std::move(statement)), m_forwardOnly(forwardOnly) {
    load();
}

TADORecordset::~TADORecordset() = default;

void TADORecordset::load() {
    m_store.SetColumns({});
    m_open = false;
    m_position = 0;
    m_more = false;
    m_recordsAffected = -1;
    if (!m_statement || !m_statement->HasResult())
        return;
    if (m_statement->ColumnCount() > 0) {
        m_store.SetColumns(m_statement->DescribeColumns());
        if (m_forwardOnly)
            m_more = m_statement->FetchRows(m_store, BlockRows());
        else
            m_statement->FetchAll(m_store);
        m_open = true;
    } else {
        m_recordsAffected = m_statement->RowsAffected();
    }
}

int TADORecordset::FieldIndex(const QString& name) const {
    for (int i = 0; i < FieldCount(); ++i) {
        if (m_store.Columns()[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void TADORecordset::MoveNext() {
    if (m_position < m_store.RowCount())
        ++m_position;
    if (m_position >= m_store.RowCount() && m_more)
        readBlock();
}

void TADORecordset::readBlock() {
    m_store.ClearRows();
    m_position = 0;
    m_more = false;
    m_more = m_statement->FetchRows(m_store, BlockRows());
}

void TADORecordset::MovePrevious() {
    if (m_position >= 0)
        --m_position;
}

bool TADORecordset::NextRecordset() {
    if (!m_statement || !m_statement->NextResult()) {
        Close();
        return false;
    }
    load();
    return true;
}

void TADORecordset::Close() {
    m_store.SetColumns({});
    m_open = false;
    m_more = false;
    if (m_statement)
        m_statement->CloseCursor();
}
