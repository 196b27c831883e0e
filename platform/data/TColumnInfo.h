#pragma once
// What the data layer knows about one result column: how it is stored and how it is presented.
#include <QString>

#include <cstdint>

enum TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftGuid,
    ftFMTBcd,
    ftWideMemo,
    ftVariant,
};

// The ADO DataTypeEnum numbers the utilities read from a provider field.
enum TAdoDataType {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBoolean = 11,
    adVariant = 12,
    adDecimal = 14,
    adTinyInt = 16,
    adUnsignedTinyInt = 17,
    adBigInt = 20,
    adGUID = 72,
    adBinary = 128,
    adChar = 129,
    adWChar = 130,
    adNumeric = 131,
    adDBDate = 133,
    adDBTime = 134,
    adDBTimeStamp = 135,
    adVarChar = 200,
    adLongVarChar = 201,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adVarBinary = 204,
    adLongVarBinary = 205,
};

// How a value sits in a stored row.
enum class TStorageKind : uint8_t {
    Int32,
    Int64,
    Double,
    Bool,
    Decimal64,  // unscaled value at the column's scale, precision up to 18
    Decimal128, // the same, precision up to 38
    DateTime,   // microseconds since 1970-01-01 00:00, no time zone
    Date,       // Julian day
    Time,       // microseconds since midnight
    Guid,       // 16 bytes in textual order
    Text,       // UTF-16
    Binary,
};

struct TColumnInfo {
    QString name;
    TStorageKind kind = TStorageKind::Text;
    TFieldType fieldType = ftUnknown;
    int adoType = adEmpty;
    int definedSize = 0; // characters for text, bytes for binary, the value's size otherwise
    int precision = 0;
    int scale = 0;
    int sqlType = 0;  // the ODBC SQL type the driver reported
    QString typeName; // the server's type name, e.g. "nvarchar"
    bool nullable = true;
    bool identity = false;
    bool longData = false; // (max), text, image: read in pieces
    bool computed = false; // not a plain column of the selected table
    bool keyColumn = false;
    QString baseColumn; // the table's column it comes from, when known
};
