#include "TOdbcTypes.h"

#include "EDatabaseError.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr SQLSMALLINT kSqlSsTime2 = -154;
constexpr SQLSMALLINT kSqlSsVariant = -150;
constexpr SQLSMALLINT kSqlSsXml = -152;
constexpr int64_t kMicrosPerDay = int64_t(86400) * 1000000;
constexpr int64_t kJulianDay1970 = 2440588;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

int64_t timestampMicros(const SQL_TIMESTAMP_STRUCT& t) {
    return daysFromCivil(t.year, t.month, t.day) * kMicrosPerDay +
           ((int64_t(t.hour) * 60 + t.minute) * 60 + t.second) * 1000000 + t.fraction / 1000;
}

// "hh:mm:ss[.fffffff]" in UTF-16 units -> microseconds since midnight.
int64_t timeMicros(const char16_t* s, size_t n) {
    int64_t parts[3] = {0, 0, 0};
    size_t i = 0;
    for (int p = 0; p < 3 && i < n; ++p) {
        while (i < n && s[i] >= u'0' && s[i] <= u'9')
            parts[p] = parts[p] * 10 + (s[i++] - u'0');
        if (i < n && s[i] == u':')
            ++i;
    }
    int64_t micros = ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000000;
    if (i < n && s[i] == u'.') {
        int64_t scale = 100000;
        for (++i; i < n && s[i] >= u'0' && s[i] <= u'9'; ++i, scale /= 10)
            micros += (s[i] - u'0') * scale;
    }
    return micros;
}

void guidToText(const SQLGUID& g, unsigned char* out) {
    out[0] = uint8_t(g.Data1 >> 24), out[1] = uint8_t(g.Data1 >> 16), out[2] = uint8_t(g.Data1 >> 8);
    out[3] = uint8_t(g.Data1);
    out[4] = uint8_t(g.Data2 >> 8), out[5] = uint8_t(g.Data2);
    out[6] = uint8_t(g.Data3 >> 8), out[7] = uint8_t(g.Data3);
    std::memcpy(out + 8, g.Data4, 8);
}

} // namespace

// The C type a column is read as, and the bytes one value takes in a bound buffer.
SQLSMALLINT TOdbcTypes::CTypeOf(const TColumnInfo& c, SQLLEN& width) {
    switch (c.kind) {
    case TStorageKind::Int32:
        width = 4;
        return SQL_C_SLONG;
    case TStorageKind::Int64:
        width = 8;
        return SQL_C_SBIGINT;
    case TStorageKind::Double:
        width = 8;
        return SQL_C_DOUBLE;
    case TStorageKind::Bool:
        width = 1;
        return SQL_C_BIT;
    case TStorageKind::Decimal64:
    case TStorageKind::Decimal128:
        width = c.precision + 4;
        return SQL_C_CHAR;
    case TStorageKind::DateTime:
        width = sizeof(SQL_TIMESTAMP_STRUCT);
        return SQL_C_TYPE_TIMESTAMP;
    case TStorageKind::Date:
        width = sizeof(SQL_DATE_STRUCT);
        return SQL_C_TYPE_DATE;
    case TStorageKind::Time:
        width = 40 * 2;
        return SQL_C_WCHAR;
    case TStorageKind::Guid:
        width = sizeof(SQLGUID);
        return SQL_C_GUID;
    case TStorageKind::Text: {
        // Long values are read in pieces and need no bound buffer. A varchar(n) holds at most n
        // characters, each of which may take two UTF-16 units.
        const bool unicode = c.sqlType == SQL_WCHAR || c.sqlType == SQL_WVARCHAR;
        width = c.longData ? 2 : (SQLLEN(c.definedSize) + 1) * (unicode ? 2 : 4);
        return SQL_C_WCHAR;
    }
    case TStorageKind::Binary:
        width = c.longData ? 1 : std::max(1, c.definedSize);
        return SQL_C_BINARY;
    }
    return SQL_C_WCHAR;
}

// Fills a cell from a value the driver wrote as cTypeOf(column) says; bytes is its indicator.
void TOdbcTypes::ToCell(const TColumnInfo& c, const char* p, SQLLEN bytes, TRowStore::Cell& cell,
                        unsigned char* guid) {
    if (bytes == SQL_NULL_DATA) {
        cell.SetNull();
        return;
    }
    switch (c.kind) {
    case TStorageKind::Int32: {
        int32_t v;
        std::memcpy(&v, p, 4);
        cell.SetInteger(v);
        break;
    }
    case TStorageKind::Int64: {
        int64_t v;
        std::memcpy(&v, p, 8);
        cell.SetInteger(v);
        break;
    }
    case TStorageKind::Double: {
        double v;
        std::memcpy(&v, p, 8);
        cell.SetReal(v);
        break;
    }
    case TStorageKind::Bool:
        cell.SetInteger(*p != 0);
        break;
    case TStorageKind::Decimal64:
    case TStorageKind::Decimal128: {
        __int128 v = 0;
        if (!TRowStore::ParseDecimal(p, size_t(bytes), c.scale, v))
            throw EDatabaseError(QStringLiteral("The value of column '%1' is not a number.").arg(c.name));
        cell.SetDecimal(v);
        break;
    }
    case TStorageKind::DateTime: {
        SQL_TIMESTAMP_STRUCT t;
        std::memcpy(&t, p, sizeof t);
        cell.SetInteger(timestampMicros(t));
        break;
    }
    case TStorageKind::Date: {
        SQL_DATE_STRUCT d;
        std::memcpy(&d, p, sizeof d);
        cell.SetInteger(daysFromCivil(d.year, d.month, d.day) + kJulianDay1970);
        break;
    }
    case TStorageKind::Time:
        cell.SetInteger(timeMicros(reinterpret_cast<const char16_t*>(p), size_t(bytes) / 2));
        break;
    case TStorageKind::Guid: {
        SQLGUID g;
        std::memcpy(&g, p, sizeof g);
        guidToText(g, guid);
        cell.SetData(guid, 16);
        break;
    }
    case TStorageKind::Text:
        cell.SetData(p, uint32_t(bytes / 2));
        break;
    case TStorageKind::Binary:
        cell.SetData(p, uint32_t(bytes));
        break;
    }
}

void TOdbcTypes::Describe(TColumnInfo& c, SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits) {
    c.sqlType = sqlType;
    c.precision = int(size);
    c.scale = digits;
    const auto text = [&](TFieldType ft, int ado, bool isLong) {
        c.kind = TStorageKind::Text;
        c.longData = isLong || size == 0 || size > 8000;
        // (max) types are long values, as text and ntext are.
        const bool wide = ado == adWChar || ado == adVarWChar || ado == adLongVarWChar;
        c.fieldType = c.longData && ado != adVariant ? (wide ? ftWideMemo : ftMemo) : ft;
        c.adoType = c.longData && ado != adVariant ? (wide ? adLongVarWChar : adLongVarChar) : ado;
        c.definedSize = size == 0 || size > 0x7fffffff ? 0x7fffffff : int(size);
    };
    const auto fixed = [&](TStorageKind k, TFieldType ft, int ado, int definedSize) {
        c.kind = k;
        c.fieldType = ft;
        c.adoType = ado;
        c.definedSize = definedSize;
    };
    switch (sqlType) {
    case SQL_BIT:
        return fixed(TStorageKind::Bool, ftBoolean, adBoolean, 2);
    case SQL_TINYINT:
        return fixed(TStorageKind::Int32, ftWord, adUnsignedTinyInt, 1);
    case SQL_SMALLINT:
        return fixed(TStorageKind::Int32, ftSmallint, adSmallInt, 2);
    case SQL_INTEGER:
        return fixed(TStorageKind::Int32, c.identity ? ftAutoInc : ftInteger, adInteger, 4);
    case SQL_BIGINT:
        return fixed(TStorageKind::Int64, ftLargeint, adBigInt, 8);
    case SQL_REAL:
        return fixed(TStorageKind::Double, ftFloat, adSingle, 4);
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return fixed(TStorageKind::Double, ftFloat, adDouble, 8);
    case SQL_DECIMAL:
    case SQL_NUMERIC: {
        const bool money = c.typeName.contains(QLatin1String("money"), Qt::CaseInsensitive);
        return fixed(size <= 18 ? TStorageKind::Decimal64 : TStorageKind::Decimal128,
                     money ? ftCurrency : ftFMTBcd, money ? adCurrency : adNumeric, money ? 8 : 19);
    }
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME:
        return fixed(TStorageKind::DateTime, ftDateTime, adDBTimeStamp, 16);
    case SQL_TYPE_DATE:
        return fixed(TStorageKind::Date, ftDate, adDBDate, 6);
    case SQL_TYPE_TIME:
    case kSqlSsTime2:
        return fixed(TStorageKind::Time, ftTime, adDBTime, 6);
    case SQL_GUID:
        return fixed(TStorageKind::Guid, ftGuid, adGUID, 16);
    case SQL_CHAR:
        return text(ftFixedChar, adChar, false);
    case SQL_VARCHAR:
        return text(ftString, adVarChar, false);
    case SQL_LONGVARCHAR:
        return text(ftMemo, adLongVarChar, true);
    case SQL_WCHAR:
        return text(ftWideString, adWChar, false);
    case SQL_WVARCHAR:
        return text(ftWideString, adVarWChar, false);
    case SQL_WLONGVARCHAR:
    case kSqlSsXml:
        return text(ftWideMemo, adLongVarWChar, true);
    case kSqlSsVariant:
        return text(ftVariant, adVariant, true);
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        c.kind = TStorageKind::Binary;
        c.fieldType = sqlType == SQL_BINARY ? ftBytes : sqlType == SQL_VARBINARY ? ftVarBytes : ftBlob;
        c.adoType = sqlType == SQL_BINARY      ? adBinary
                    : sqlType == SQL_VARBINARY ? adVarBinary
                                               : adLongVarBinary;
        c.longData = sqlType == SQL_LONGVARBINARY || size == 0 || size > 8000;
        if (c.longData) {
            c.fieldType = ftBlob;
            c.adoType = adLongVarBinary;
        }
        c.definedSize = size == 0 || size > 0x7fffffff ? 0x7fffffff : int(size);
        return;
    default:
        return text(ftWideString, adVarWChar, true);
    }
}
