#include "TdsTypes.h"

#include <cmath>

namespace sqlsim {

const uint8_t kCollation[5] = {0x09, 0x04, 0xD0, 0x00, 0x34};

namespace {

enum : uint8_t {
    kNull = 0x1F,
    kInt1 = 0x30,
    kBit = 0x32,
    kInt2 = 0x34,
    kInt4 = 0x38,
    kDateTim4 = 0x3A,
    kFlt4 = 0x3B,
    kMoney = 0x3C,
    kDateTime = 0x3D,
    kFlt8 = 0x3E,
    kMoney4 = 0x7A,
    kInt8 = 0x7F,
    kGuid = 0x24,
    kIntN = 0x26,
    kDecimal = 0x37,
    kNumeric = 0x3F,
    kBitN = 0x68,
    kDecimalN = 0x6A,
    kNumericN = 0x6C,
    kFltN = 0x6D,
    kMoneyN = 0x6E,
    kDateTimeN = 0x6F,
    kDateN = 0x28,
    kTimeN = 0x29,
    kDateTime2N = 0x2A,
    kDateTimeOffsetN = 0x2B,
    kChar = 0x2F,
    kVarChar = 0x27,
    kBinary = 0x2D,
    kVarBinary = 0x25,
    kBigVarBin = 0xA5,
    kBigVarChr = 0xA7,
    kBigBinary = 0xAD,
    kBigChar = 0xAF,
    kNVarChar = 0xE7,
    kNChar = 0xEF,
    kXml = 0xF1,
    kText = 0x23,
    kImage = 0x22,
    kNText = 0x63,
};

constexpr int64_t kMicrosPerDay = 86400LL * 1000000;
// Days from 0001-01-01 to 1900-01-01, for the date types counted from year 1.
constexpr int32_t kDaysYear1To1900 = 693595;

uint8_t decimalBytes(uint8_t precision) {
    return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

uint8_t timeBytes(uint8_t scale) {
    return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

int64_t pow10(int n) {
    int64_t v = 1;
    while (n-- > 0) {
        v *= 10;
    }
    return v;
}

DecimalValue toDecimal(const SqlValue& v, uint8_t scale) {
    if (v.is<DecimalValue>()) {
        return v.get<DecimalValue>().rescaled(scale);
    }
    if (v.is<int64_t>() || v.is<bool>()) {
        return DecimalValue{__int128(v.toInt()), 0}.rescaled(scale);
    }
    DecimalValue d;
    if (v.is<std::string>() && DecimalValue::parse(v.get<std::string>(), d)) {
        return d.rescaled(scale);
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", int(scale), v.toDouble());
    DecimalValue::parse(buf, d);
    return d.rescaled(scale);
}

bool toDateTime(const SqlValue& v, DateTimeValue& out) {
    if (v.is<DateTimeValue>()) {
        out = v.get<DateTimeValue>();
        return true;
    }
    if (v.is<std::string>()) {
        return DateTimeValue::parse(v.get<std::string>(), out);
    }
    return false;
}

std::string textOf(const SqlValue& v) {
    return v.is<std::string>() ? v.get<std::string>() : v.toText();
}

Bytes bytesOf(const SqlValue& v) {
    if (v.is<Bytes>()) {
        return v.get<Bytes>();
    }
    std::string s = textOf(v);
    return Bytes(s.begin(), s.end());
}

void writeUnsigned(TdsWriter& w, uint64_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) {
        w.u8(uint8_t(v >> (8 * k)));
    }
}

uint64_t readUnsigned(TdsReader& r, int bytes) {
    uint64_t v = 0;
    for (int k = 0; k < bytes; ++k) {
        v |= uint64_t(r.u8()) << (8 * k);
    }
    return v;
}

// Character and binary payload: either a 16-bit length or, for (max), partially length-prefixed chunks.
void writeVariable(TdsWriter& w, const ColumnType& type, const uint8_t* data, size_t size) {
    if (type.length == ColumnType::kMax) {
        w.u64(size);
        if (size > 0) {
            w.u32(uint32_t(size));
            w.raw(data, size);
        }
        w.u32(0);
        return;
    }
    w.u16(uint16_t(size));
    w.raw(data, size);
}

void writeLegacyText(TdsWriter& w, const uint8_t* data, size_t size) {
    static const uint8_t textPtr[16] = {0};
    static const uint8_t timestamp[8] = {0};
    w.u8(16);
    w.raw(textPtr, 16);
    w.raw(timestamp, 8);
    w.u32(uint32_t(size));
    w.raw(data, size);
}

} // namespace

void writeTypeInfo(TdsWriter& w, const ColumnType& t) {
    auto maxBytes = [&](int perChar) -> uint16_t {
        if (t.length == ColumnType::kMax) {
            return 0xFFFF;
        }
        int n = (t.length > 0 ? t.length : 1) * perChar;
        return uint16_t(n > 8000 ? 8000 : n);
    };
    switch (t.type) {
    case SqlType::Bit:
        w.u8(kBitN);
        w.u8(1);
        break;
    case SqlType::TinyInt:
        w.u8(kIntN);
        w.u8(1);
        break;
    case SqlType::SmallInt:
        w.u8(kIntN);
        w.u8(2);
        break;
    case SqlType::Int:
        w.u8(kIntN);
        w.u8(4);
        break;
    case SqlType::BigInt:
        w.u8(kIntN);
        w.u8(8);
        break;
    case SqlType::Real:
        w.u8(kFltN);
        w.u8(4);
        break;
    case SqlType::Float:
        w.u8(kFltN);
        w.u8(8);
        break;
    case SqlType::Decimal:
    case SqlType::Numeric: {
        uint8_t p = t.precision ? t.precision : 18;
        w.u8(t.type == SqlType::Decimal ? kDecimalN : kNumericN);
        w.u8(decimalBytes(p));
        w.u8(p);
        w.u8(t.scale);
        break;
    }
    case SqlType::Money:
        w.u8(kMoneyN);
        w.u8(8);
        break;
    case SqlType::SmallMoney:
        w.u8(kMoneyN);
        w.u8(4);
        break;
    case SqlType::DateTime:
        w.u8(kDateTimeN);
        w.u8(8);
        break;
    case SqlType::SmallDateTime:
        w.u8(kDateTimeN);
        w.u8(4);
        break;
    case SqlType::Date:
        w.u8(kDateN);
        break;
    case SqlType::Time:
        w.u8(kTimeN);
        w.u8(7);
        break;
    case SqlType::DateTime2:
        w.u8(kDateTime2N);
        w.u8(7);
        break;
    case SqlType::Char:
    case SqlType::VarChar:
        w.u8(t.type == SqlType::Char ? kBigChar : kBigVarChr);
        w.u16(maxBytes(1));
        w.raw(kCollation, 5);
        break;
    case SqlType::NChar:
    case SqlType::NVarChar:
        w.u8(t.type == SqlType::NChar ? kNChar : kNVarChar);
        w.u16(t.length == ColumnType::kMax ? 0xFFFF
                                           : uint16_t(std::min(t.length > 0 ? t.length : 1, 4000) * 2));
        w.raw(kCollation, 5);
        break;
    case SqlType::Binary:
    case SqlType::VarBinary:
        w.u8(t.type == SqlType::Binary ? kBigBinary : kBigVarBin);
        w.u16(maxBytes(1));
        break;
    case SqlType::UniqueIdentifier:
        w.u8(kGuid);
        w.u8(16);
        break;
    case SqlType::Text:
    case SqlType::NText:
    case SqlType::Image:
        w.u8(t.type == SqlType::Text ? kText : t.type == SqlType::NText ? kNText : kImage);
        w.u32(t.type == SqlType::NText ? 0x7FFFFFFE : 0x7FFFFFFF);
        if (t.type != SqlType::Image) {
            w.raw(kCollation, 5);
        }
        w.u8(0); // no table name parts
        break;
    }
}

void writeValue(TdsWriter& w, const ColumnType& t, const SqlValue& v) {
    const bool null = v.isNull();
    switch (t.type) {
    case SqlType::Bit:
    case SqlType::TinyInt:
    case SqlType::SmallInt:
    case SqlType::Int:
    case SqlType::BigInt: {
        int n = t.type == SqlType::BigInt     ? 8
                : t.type == SqlType::Int      ? 4
                : t.type == SqlType::SmallInt ? 2
                                              : 1;
        if (null) {
            w.u8(0);
            return;
        }
        w.u8(uint8_t(n));
        int64_t x = t.type == SqlType::Bit ? (v.toInt() != 0) : v.toInt();
        writeUnsigned(w, uint64_t(x), n);
        return;
    }
    case SqlType::Real:
        if (null) {
            w.u8(0);
        } else {
            w.u8(4);
            w.f32(float(v.toDouble()));
        }
        return;
    case SqlType::Float:
        if (null) {
            w.u8(0);
        } else {
            w.u8(8);
            w.f64(v.toDouble());
        }
        return;
    case SqlType::Decimal:
    case SqlType::Numeric: {
        if (null) {
            w.u8(0);
            return;
        }
        uint8_t bytes = decimalBytes(t.precision ? t.precision : 18);
        DecimalValue d = toDecimal(v, t.scale);
        unsigned __int128 mag =
            d.unscaled < 0 ? (unsigned __int128)(-d.unscaled) : (unsigned __int128)d.unscaled;
        w.u8(bytes);
        w.u8(d.unscaled < 0 ? 0 : 1);
        for (int k = 0; k < bytes - 1; ++k) {
            w.u8(uint8_t(mag >> (8 * k)));
        }
        return;
    }
    case SqlType::Money:
    case SqlType::SmallMoney: {
        if (null) {
            w.u8(0);
            return;
        }
        int64_t units = int64_t(toDecimal(v, 4).unscaled);
        if (t.type == SqlType::SmallMoney) {
            w.u8(4);
            w.i32(int32_t(units));
        } else {
            w.u8(8);
            w.i32(int32_t(units >> 32));
            w.u32(uint32_t(units & 0xFFFFFFFF));
        }
        return;
    }
    case SqlType::DateTime:
    case SqlType::SmallDateTime:
    case SqlType::Date:
    case SqlType::Time:
    case SqlType::DateTime2: {
        DateTimeValue dt;
        if (null || !toDateTime(v, dt)) {
            w.u8(0);
            return;
        }
        if (t.type == SqlType::DateTime) {
            int64_t ticks = (dt.micros * 3 + 5000) / 10000;
            int32_t days = dt.days;
            if (ticks >= 300LL * 86400) {
                ticks -= 300LL * 86400;
                ++days;
            }
            w.u8(8);
            w.i32(days);
            w.u32(uint32_t(ticks));
        } else if (t.type == SqlType::SmallDateTime) {
            int64_t minutes = (dt.micros + 30000000) / 60000000;
            int32_t days = dt.days;
            if (minutes >= 1440) {
                minutes -= 1440;
                ++days;
            }
            w.u8(4);
            w.u16(uint16_t(days));
            w.u16(uint16_t(minutes));
        } else {
            bool hasTime = t.type != SqlType::Date, hasDate = t.type != SqlType::Time;
            w.u8(uint8_t((hasTime ? 5 : 0) + (hasDate ? 3 : 0)));
            if (hasTime) {
                writeUnsigned(w, uint64_t(dt.micros) * 10, 5);
            }
            if (hasDate) {
                writeUnsigned(w, uint64_t(dt.days + kDaysYear1To1900), 3);
            }
        }
        return;
    }
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::Text: {
        if (null) {
            if (t.type == SqlType::Text) {
                w.u8(0);
            } else if (t.length == ColumnType::kMax) {
                w.u64(~0ULL);
            } else {
                w.u16(0xFFFF);
            }
            return;
        }
        std::string s = toCp1252(textOf(v));
        if (t.type == SqlType::Char && t.length > 0 && s.size() < size_t(t.length)) {
            s.append(size_t(t.length) - s.size(), ' ');
        }
        if (t.type == SqlType::Text) {
            writeLegacyText(w, reinterpret_cast<const uint8_t*>(s.data()), s.size());
        } else {
            writeVariable(w, t, reinterpret_cast<const uint8_t*>(s.data()),
                          std::min<size_t>(s.size(), t.length == ColumnType::kMax ? s.size() : 8000));
        }
        return;
    }
    case SqlType::NChar:
    case SqlType::NVarChar:
    case SqlType::NText: {
        if (null) {
            if (t.type == SqlType::NText) {
                w.u8(0);
            } else if (t.length == ColumnType::kMax) {
                w.u64(~0ULL);
            } else {
                w.u16(0xFFFF);
            }
            return;
        }
        std::vector<uint8_t> u;
        appendUtf16(u, textOf(v));
        if (t.type == SqlType::NChar && t.length > 0) {
            while (u.size() < size_t(t.length) * 2) {
                u.push_back(' ');
                u.push_back(0);
            }
        }
        if (t.type == SqlType::NText) {
            writeLegacyText(w, u.data(), u.size());
        } else {
            writeVariable(w, t, u.data(),
                          t.length == ColumnType::kMax ? u.size() : std::min<size_t>(u.size(), 8000));
        }
        return;
    }
    case SqlType::Binary:
    case SqlType::VarBinary:
    case SqlType::Image: {
        if (null) {
            if (t.type == SqlType::Image) {
                w.u8(0);
            } else if (t.length == ColumnType::kMax) {
                w.u64(~0ULL);
            } else {
                w.u16(0xFFFF);
            }
            return;
        }
        Bytes b = bytesOf(v);
        if (t.type == SqlType::Binary && t.length > 0 && b.size() < size_t(t.length)) {
            b.resize(size_t(t.length), 0);
        }
        if (t.type == SqlType::Image) {
            writeLegacyText(w, b.data(), b.size());
        } else {
            writeVariable(w, t, b.data(),
                          t.length == ColumnType::kMax ? b.size() : std::min<size_t>(b.size(), 8000));
        }
        return;
    }
    case SqlType::UniqueIdentifier: {
        GuidValue g;
        bool ok =
            v.is<GuidValue>() ? (g = v.get<GuidValue>(), true) : (!null && GuidValue::parse(textOf(v), g));
        if (!ok) {
            w.u8(0);
            return;
        }
        // The first three groups travel little-endian.
        const auto& b = g.bytes;
        uint8_t wire[16] = {b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6]};
        for (int k = 8; k < 16; ++k) {
            wire[k] = b[k];
        }
        w.u8(16);
        w.raw(wire, 16);
        return;
    }
    }
}

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
