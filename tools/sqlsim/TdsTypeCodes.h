#pragma once
// Type codes and small layout rules shared by the encoder and the decoder of TYPE_INFO.
#include <cstdint>

namespace sqlsim::tds {

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
    kSqlVariant = 0x62,
};

inline constexpr int64_t kMicrosPerDay = 86400LL * 1000000;
// Days from 0001-01-01 to 1900-01-01, for the date types counted from year 1.
inline constexpr int32_t kDaysYear1To1900 = 693595;

inline uint8_t decimalBytes(uint8_t precision) {
    return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

inline uint8_t timeBytes(uint8_t scale) {
    return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

inline int64_t pow10(int n) {
    int64_t v = 1;
    while (n-- > 0) {
        v *= 10;
    }
    return v;
}

} // namespace sqlsim::tds
