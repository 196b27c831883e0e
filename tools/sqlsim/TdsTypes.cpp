// Decoding of the types and values a client sends as RPC parameters.
#include "TdsTypes.h"
#include "TdsTypeCodes.h"

namespace sqlsim {

using namespace tds;

namespace {

uint64_t readUnsigned(TdsReader& r, int bytes) {
    uint64_t v = 0;
    for (int k = 0; k < bytes; ++k) {
        v |= uint64_t(r.u8()) << (8 * k);
    }
    return v;
}

// Character and binary payload: either a 16-bit length or, for (max), partially length-prefixed chunks.

} // namespace

WireType readTypeInfo(TdsReader& r) {
    WireType t;
    t.code = r.u8();
    auto fixed = [&](SqlType type, uint32_t len) {
        t.column = ColumnType::of(type);
        t.maxLength = len;
    };
    switch (t.code) {
    case kNull:
        fixed(SqlType::Int, 0);
        break;
    case kInt1:
        fixed(SqlType::TinyInt, 1);
        break;
    case kBit:
        fixed(SqlType::Bit, 1);
        break;
    case kInt2:
        fixed(SqlType::SmallInt, 2);
        break;
    case kInt4:
        fixed(SqlType::Int, 4);
        break;
    case kInt8:
        fixed(SqlType::BigInt, 8);
        break;
    case kDateTim4:
        fixed(SqlType::SmallDateTime, 4);
        break;
    case kDateTime:
        fixed(SqlType::DateTime, 8);
        break;
    case kFlt4:
        fixed(SqlType::Real, 4);
        break;
    case kFlt8:
        fixed(SqlType::Float, 8);
        break;
    case kMoney:
        fixed(SqlType::Money, 8);
        break;
    case kMoney4:
        fixed(SqlType::SmallMoney, 4);
        break;
    case kIntN:
    case kBitN:
    case kFltN:
    case kMoneyN:
    case kDateTimeN:
    case kGuid: {
        t.maxLength = r.u8();
        uint32_t n = t.maxLength;
        SqlType type = SqlType::Int;
        if (t.code == kIntN) {
            type = n == 1   ? SqlType::TinyInt
                   : n == 2 ? SqlType::SmallInt
                   : n == 8 ? SqlType::BigInt
                            : SqlType::Int;
        } else if (t.code == kBitN) {
            type = SqlType::Bit;
        } else if (t.code == kFltN) {
            type = n == 4 ? SqlType::Real : SqlType::Float;
        } else if (t.code == kMoneyN) {
            type = n == 4 ? SqlType::SmallMoney : SqlType::Money;
        } else if (t.code == kDateTimeN) {
            type = n == 4 ? SqlType::SmallDateTime : SqlType::DateTime;
        } else {
            type = SqlType::UniqueIdentifier;
        }
        t.column = ColumnType::of(type);
        break;
    }
    case kDecimal:
    case kNumeric:
    case kDecimalN:
    case kNumericN:
        t.maxLength = r.u8();
        t.precision = r.u8();
        t.scale = r.u8();
        t.column =
            ColumnType::of(t.code == kNumeric || t.code == kNumericN ? SqlType::Numeric : SqlType::Decimal, 0,
                           t.precision, t.scale);
        break;
    case kDateN:
        t.column = ColumnType::of(SqlType::Date);
        break;
    case kTimeN:
    case kDateTime2N:
    case kDateTimeOffsetN:
        t.scale = r.u8();
        if (t.scale > 7) {
            throw ProtocolError("time scale out of range");
        }
        t.column = ColumnType::of(t.code == kTimeN ? SqlType::Time : SqlType::DateTime2, 0, 0, t.scale);
        break;
    case kChar:
    case kVarChar:
    case kBinary:
    case kVarBinary:
        t.maxLength = r.u8();
        t.column = ColumnType::of(t.code == kChar      ? SqlType::Char
                                  : t.code == kVarChar ? SqlType::VarChar
                                  : t.code == kBinary  ? SqlType::Binary
                                                       : SqlType::VarBinary,
                                  int(t.maxLength));
        break;
    case kBigVarChr:
    case kBigChar:
    case kNVarChar:
    case kNChar:
    case kBigVarBin:
    case kBigBinary: {
        t.maxLength = r.u16();
        t.plp = t.maxLength == 0xFFFF;
        bool unicode = t.code == kNVarChar || t.code == kNChar;
        bool binary = t.code == kBigVarBin || t.code == kBigBinary;
        if (!binary) {
            r.skip(5);
        }
        SqlType type = t.code == kBigVarChr   ? SqlType::VarChar
                       : t.code == kBigChar   ? SqlType::Char
                       : t.code == kNVarChar  ? SqlType::NVarChar
                       : t.code == kNChar     ? SqlType::NChar
                       : t.code == kBigVarBin ? SqlType::VarBinary
                                              : SqlType::Binary;
        int length = t.plp ? ColumnType::kMax : int(unicode ? t.maxLength / 2 : t.maxLength);
        t.column = ColumnType::of(type, length);
        break;
    }
    case kXml:
        if (r.u8() != 0) {
            r.bVarchar();
            r.bVarchar();
            r.usVarchar();
        }
        t.plp = true;
        t.column = ColumnType::of(SqlType::NVarChar, ColumnType::kMax);
        break;
    case kText:
    case kNText:
    case kImage:
        t.maxLength = r.u32();
        if (t.code != kImage) {
            r.skip(5);
        }
        t.legacyText = true;
        t.column = ColumnType::of(t.code == kText    ? SqlType::Text
                                  : t.code == kNText ? SqlType::NText
                                                     : SqlType::Image);
        break;
    default:
        throw ProtocolError("unsupported parameter type");
    }
    return t;
}

SqlValue readValue(TdsReader& r, const WireType& t) {
    const ColumnType& c = t.column;
    auto decodeBytes = [&](const uint8_t* p, size_t n) -> SqlValue {
        if (c.isUnicode() || t.code == kXml) {
            return SqlValue(utf16ToUtf8(p, n));
        }
        if (c.isCharacter()) {
            return SqlValue(cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(p), n)));
        }
        return SqlValue(Bytes(p, p + n));
    };
    if (t.plp) {
        uint64_t total = r.u64();
        if (total == ~0ULL) {
            return SqlValue::null();
        }
        std::vector<uint8_t> data;
        for (;;) {
            uint32_t chunk = r.u32();
            if (chunk == 0) {
                break;
            }
            const uint8_t* p = r.take(chunk);
            data.insert(data.end(), p, p + chunk);
        }
        return decodeBytes(data.data(), data.size());
    }
    if (t.legacyText) {
        // Parameters carry a plain 32-bit length (no text pointer); -1 or a zero pointer length is NULL.
        int32_t len = r.i32();
        if (len < 0) {
            return SqlValue::null();
        }
        return decodeBytes(r.take(size_t(len)), size_t(len));
    }
    switch (t.code) {
    case kBigVarChr:
    case kBigChar:
    case kNVarChar:
    case kNChar:
    case kBigVarBin:
    case kBigBinary: {
        uint16_t len = r.u16();
        if (len == 0xFFFF) {
            return SqlValue::null();
        }
        return decodeBytes(r.take(len), len);
    }
    case kChar:
    case kVarChar:
    case kBinary:
    case kVarBinary: {
        uint8_t len = r.u8();
        if (len == 0xFF) {
            return SqlValue::null();
        }
        return decodeBytes(r.take(len), len);
    }
    default:
        break;
    }
    // Fixed-length types have no length prefix; the nullable ones have a byte.
    uint32_t len;
    switch (t.code) {
    case kNull:
        return SqlValue::null();
    case kInt1:
    case kBit:
    case kInt2:
    case kInt4:
    case kInt8:
    case kDateTim4:
    case kDateTime:
    case kFlt4:
    case kFlt8:
    case kMoney:
    case kMoney4:
        len = t.maxLength;
        break;
    default:
        len = r.u8();
        break;
    }
    if (len == 0) {
        return SqlValue::null();
    }
    switch (c.type) {
    case SqlType::Bit:
        return SqlValue(readUnsigned(r, int(len)) != 0);
    case SqlType::TinyInt:
        return SqlValue(int64_t(uint8_t(readUnsigned(r, int(len)))));
    case SqlType::SmallInt:
        return SqlValue(int64_t(int16_t(readUnsigned(r, int(len)))));
    case SqlType::Int:
        return SqlValue(int64_t(int32_t(readUnsigned(r, int(len)))));
    case SqlType::BigInt:
        return SqlValue(int64_t(readUnsigned(r, int(len))));
    case SqlType::Real:
    case SqlType::Float:
        if (len == 4) {
            return SqlValue(double(r.f32()));
        }
        if (len == 8) {
            return SqlValue(r.f64());
        }
        throw ProtocolError("bad float length");
    case SqlType::Money:
    case SqlType::SmallMoney: {
        int64_t units;
        if (len == 4) {
            units = r.i32();
        } else if (len == 8) {
            int64_t hi = r.i32();
            uint32_t lo = r.u32();
            units = int64_t((uint64_t(hi) << 32) | lo);
        } else {
            throw ProtocolError("bad money length");
        }
        return SqlValue(DecimalValue{__int128(units), 4});
    }
    case SqlType::Decimal:
    case SqlType::Numeric: {
        if (len < 2 || len > 17) {
            throw ProtocolError("bad decimal length");
        }
        uint8_t sign = r.u8();
        unsigned __int128 mag = 0;
        for (uint32_t k = 0; k < len - 1; ++k) {
            mag |= (unsigned __int128)r.u8() << (8 * k);
        }
        __int128 v = __int128(mag);
        return SqlValue(DecimalValue{sign ? v : -v, t.scale});
    }
    case SqlType::DateTime:
    case SqlType::SmallDateTime: {
        DateTimeValue dt;
        if (len == 8) {
            dt.days = r.i32();
            uint32_t ticks = r.u32();
            dt.micros = int64_t((uint64_t(ticks) * 10 + 1) / 3) * 1000;
        } else if (len == 4) {
            dt.days = r.u16();
            dt.micros = int64_t(r.u16()) * 60000000;
        } else {
            throw ProtocolError("bad datetime length");
        }
        return SqlValue(dt);
    }
    case SqlType::Date:
    case SqlType::Time:
    case SqlType::DateTime2: {
        DateTimeValue dt;
        uint32_t used = 0;
        if (c.type != SqlType::Date) {
            int n = timeBytes(t.scale);
            uint64_t units = readUnsigned(r, n);
            dt.micros = t.scale >= 6 ? int64_t(units / uint64_t(pow10(t.scale - 6)))
                                     : int64_t(units * uint64_t(pow10(6 - t.scale)));
            dt.micros %= kMicrosPerDay;
            used += uint32_t(n);
        }
        if (c.type != SqlType::Time) {
            dt.days = int32_t(readUnsigned(r, 3)) - kDaysYear1To1900;
            used += 3;
        }
        if (t.code == kDateTimeOffsetN) {
            r.skip(2);
            used += 2;
        }
        if (used != len) {
            throw ProtocolError("bad date/time length");
        }
        return SqlValue(dt);
    }
    case SqlType::UniqueIdentifier: {
        if (len != 16) {
            throw ProtocolError("bad uniqueidentifier length");
        }
        const uint8_t* p = r.take(16);
        GuidValue g;
        uint8_t order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
        for (int k = 0; k < 16; ++k) {
            g.bytes[k] = p[order[k]];
        }
        return SqlValue(g);
    }
    default:
        throw ProtocolError("unsupported parameter value");
    }
}

} // namespace sqlsim
