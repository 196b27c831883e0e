#pragma once
// A field of a provider recordset: the column's provider-level data and its value in the
// recordset's current row.
#include "TRowStore.h"

#include <QVariant>

class TADOField {
public:
    TADOField(const TRowStore* store, int column, int row) : m_store(store), m_column(column), m_row(row) {}

    QString Name() const { return info().name; }
    // The ADO DataTypeEnum number.
    int Type() const { return info().adoType; }
    int DefinedSize() const { return info().definedSize; }
    int Precision() const { return info().precision; }
    int NumericScale() const { return info().scale; }
    bool KeyColumn() const { return info().keyColumn; }
    bool IsNull() const { return !hasRow() || m_store->IsNull(m_row, m_column); }
    // NullVariant() for NULL; unassigned when there is no current row.
    QVariant Value() const { return hasRow() ? m_store->Value(m_row, m_column) : QVariant(); }
    QString Text() const { return hasRow() ? m_store->Text(m_row, m_column) : QString(); }

    // The stored value as the row store keeps it, for readers that turn many values into text:
    // the storage kind; Integer (whole numbers, micros since 1970 for DateTime, the Julian day for
    // Date, micros of the day for Time); Decimal (unscaled, at NumericScale); TextData (UTF-16
    // units, unaligned, valid while the row is current). The current row must exist and hold a value.
    TStorageKind Kind() const { return info().kind; }
    int64_t Integer() const { return m_store->Integer(m_row, m_column); }
    __int128 Decimal() const { return m_store->Decimal(m_row, m_column); }
    const unsigned char* TextData(uint32_t& units) const { return m_store->TextData(m_row, m_column, units); }

private:
    const TColumnInfo& info() const { return m_store->Columns()[m_column]; }
    bool hasRow() const { return m_row >= 0 && m_row < m_store->RowCount(); }

    const TRowStore* m_store;
    int m_column;
    int m_row;
};
