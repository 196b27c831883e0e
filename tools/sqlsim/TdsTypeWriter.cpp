// Encoding of result columns (TYPE_INFO) and their values, converting values to the column's type.
#include "TdsTypeCodes.h"
#include "TdsTypes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sqlsim {

using namespace tds;

const uint8_t kCollation[5] = {0x09, 0x04, 0xD0, 0x00, 0x34};

namespace {

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

// SQL_VARIANT: total length, the base type, its properties, then the value's bytes without their
// length prefix.
void writeVariant(TdsWriter& w, const SqlValue& v) {
    if (v.isNull()) {
        w.u32(0);
        return;
    }
    ColumnType t = v.variantType();
    if (t.length == ColumnType::kMax) {
        t.length = 8000;
    }
    TdsWriter data;
    writeValue(data, t, v.base());
    std::vector<uint8_t> props;
    uint8_t code = 0;
    size_t prefix = 1; // the value's own length byte
    auto maxLength = [&](int bytes) {
        props.push_back(uint8_t(bytes & 0xFF));
        props.push_back(uint8_t(bytes >> 8));
    };
    switch (t.type) {
    case SqlType::Bit: code = kBit; break;
    case SqlType::TinyInt: code = kInt1; break;
    case SqlType::SmallInt: code = kInt2; break;
    case SqlType::Int: code = kInt4; break;
    case SqlType::BigInt: code = kInt8; break;
    case SqlType::Real: code = kFlt4; break;
    case SqlType::Float: code = kFlt8; break;
    case SqlType::Money: code = kMoney; break;
    case SqlType::SmallMoney: code = kMoney4; break;
    case SqlType::DateTime: code = kDateTime; break;
    case SqlType::SmallDateTime: code = kDateTim4; break;
    case SqlType::UniqueIdentifier: code = kGuid; break;
    case SqlType::Date: code = kDateN; break;
    case SqlType::Time:
    case SqlType::DateTime2:
        code = t.type == SqlType::Time ? kTimeN : kDateTime2N;
        props.push_back(7);
        break;
    case SqlType::Decimal:
    case SqlType::Numeric:
        code = t.type == SqlType::Decimal ? kDecimalN : kNumericN;
        props.push_back(t.precision ? t.precision : 18);
        props.push_back(t.scale);
        break;
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::Text:
        code = t.type == SqlType::Char ? kBigChar : kBigVarChr;
        props.insert(props.end(), kCollation, kCollation + 5);
        maxLength(std::min(std::max(t.length, 1), 8000));
        prefix = 2;
        break;
    case SqlType::NChar:
    case SqlType::NVarChar:
    case SqlType::NText:
        code = t.type == SqlType::NChar ? kNChar : kNVarChar;
        props.insert(props.end(), kCollation, kCollation + 5);
        maxLength(std::min(std::max(t.length, 1), 4000) * 2);
        prefix = 2;
        break;
    case SqlType::Binary:
    case SqlType::VarBinary:
    case SqlType::Image:
        code = t.type == SqlType::Binary ? kBigBinary : kBigVarBin;
        maxLength(std::min(std::max(t.length, 1), 8000));
        prefix = 2;
        break;
    case SqlType::Variant:
        w.u32(0); // a sql_variant never holds another
        return;
    }
    const auto& bytes = data.bytes();
    const size_t size = bytes.size() > prefix ? bytes.size() - prefix : 0;
    w.u32(uint32_t(2 + props.size() + size));
    w.u8(code);
    w.u8(uint8_t(props.size()));
    w.raw(props.data(), props.size());
    if (size > 0) {
        w.raw(bytes.data() + prefix, size);
    }
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
    case SqlType::Variant:
        w.u8(kSqlVariant);
        w.u32(8009);
        break;
    }
}

void writeValue(TdsWriter& w, const ColumnType& t, const SqlValue& v) {
    const bool null = v.isNull();
    if (null && (t.isCharacter() || t.isBinary())) {
        // No text pointer, an all-ones (max) length, or the 16-bit NULL length.
        const bool legacy = t.type == SqlType::Text || t.type == SqlType::NText || t.type == SqlType::Image;
        if (legacy) {
            w.u8(0);
        } else if (t.length == ColumnType::kMax) {
            w.u64(~0ULL);
        } else {
            w.u16(0xFFFF);
        }
        return;
    }
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
        if (t.type == SqlType::NVarChar && t.length != ColumnType::kMax) {
            // The common case, written in place: length, then the text cut at 8000 bytes.
            size_t at = w.placeholder16();
            if (v.is<std::string>()) {
                appendUtf16(w.bytes(), v.get<std::string>());
            } else {
                appendUtf16(w.bytes(), v.toText());
            }
            if (w.size() - at - 2 > 8000) {
                w.bytes().resize(at + 2 + 8000);
            }
            w.patchLength16(at);
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
    case SqlType::Variant:
        writeVariant(w, v);
        return;
    }
}

} // namespace sqlsim
