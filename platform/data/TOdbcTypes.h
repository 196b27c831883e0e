#pragma once
// How the server's column types map onto stored values, field types and ADO type numbers, and
// how a value the driver wrote becomes a stored cell.
#include "TColumnInfo.h"
#include "TRowStore.h"

#include <sql.h>

class TOdbcTypes {
public:
    // Fills kind, field type, ADO type and sizes from what SQLDescribeCol reported
    // (typeName and identity must already be set).
    static void Describe(TColumnInfo& column, SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits);
    // The C type a column is read as, and the bytes one value takes in a bound buffer.
    static SQLSMALLINT CTypeOf(const TColumnInfo& column, SQLLEN& width);
    // A value written as CTypeOf says (bytes: its length indicator) -> cell. guid: 16 bytes of
    // scratch space the cell may point to.
    static void ToCell(const TColumnInfo& column, const char* value, SQLLEN bytes, TRowStore::Cell& cell,
                       unsigned char* guid);
};
