#pragma once
// TYPE_INFO and value encoding of the tabular data stream, in both directions.
#include "SqlValue.h"
#include "TdsBuffer.h"

namespace sqlsim {

// The collation sent with character columns and in the login's environment change
// (SQL_Latin1_General_CP1_CI_AS: code page 1252).
extern const uint8_t kCollation[5];

// A type as a client described it in an RPC parameter.
struct WireType {
    uint8_t code = 0;
    uint32_t maxLength = 0;
    uint8_t precision = 0;
    uint8_t scale = 0;
    bool plp = false;        // (max) types, sent in chunks
    bool legacyText = false; // text, ntext, image
    ColumnType column;
};

void writeTypeInfo(TdsWriter& w, const ColumnType& type);
// Writes the value in the column's wire format, converting it to the column's type where needed.
void writeValue(TdsWriter& w, const ColumnType& type, const SqlValue& value);

WireType readTypeInfo(TdsReader& r);
SqlValue readValue(TdsReader& r, const WireType& type);

} // namespace sqlsim
