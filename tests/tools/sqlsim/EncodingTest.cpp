// Value encoding both ways, and the text conversions under it.
#include "TdsTypes.h"

#include <gtest/gtest.h>

using namespace sqlsim;

namespace {

SqlValue roundTrip(const ColumnType& type, const SqlValue& value) {
    TdsWriter w;
    writeTypeInfo(w, type);
    writeValue(w, type, value);
    TdsReader r(w.bytes().data(), w.size());
    WireType wire = readTypeInfo(r);
    SqlValue back = readValue(r, wire);
    EXPECT_TRUE(r.atEnd()) << type.sqlName();
    return back;
}

} // namespace

TEST(Encoding, ValuesSurviveTheWireInBothDirections) {
    DecimalValue d;
    ASSERT_TRUE(DecimalValue::parse("-98765432109876543210.123456", d));
    GuidValue g;
    ASSERT_TRUE(GuidValue::parse("{01234567-89AB-CDEF-0123-456789ABCDEF}", g));
    struct Case {
        ColumnType type;
        SqlValue value;
    } cases[] = {
        {ColumnType::of(SqlType::Bit), SqlValue(true)},
        {ColumnType::of(SqlType::TinyInt), SqlValue(int64_t(200))},
        {ColumnType::of(SqlType::SmallInt), SqlValue(int64_t(-300))},
        {ColumnType::of(SqlType::Int), SqlValue(int64_t(-70000))},
        {ColumnType::of(SqlType::BigInt), SqlValue(int64_t(-5000000000LL))},
        {ColumnType::of(SqlType::Float), SqlValue(-0.125)},
        {ColumnType::of(SqlType::Decimal, 0, 38, 6), SqlValue(d)},
        {ColumnType::of(SqlType::Money), SqlValue(DecimalValue{-123456789, 4})},
        {ColumnType::of(SqlType::DateTime), SqlValue(DateTimeValue::fromParts(1753, 1, 1, 0, 0, 0, 3))},
        {ColumnType::of(SqlType::DateTime2),
         SqlValue(DateTimeValue::fromParts(9999, 12, 31, 23, 59, 59, 999))},
        {ColumnType::of(SqlType::Date), SqlValue(DateTimeValue::fromParts(1, 1, 1))},
        {ColumnType::of(SqlType::VarChar, 30), SqlValue("caf\xc3\xa9 \xe2\x82\xac")},
        {ColumnType::of(SqlType::NVarChar, 30), SqlValue("smile \xf0\x9f\x98\x80 ok")},
        {ColumnType::of(SqlType::NVarChar, ColumnType::kMax), SqlValue(std::string(70000, 'q'))},
        {ColumnType::of(SqlType::VarBinary, ColumnType::kMax), SqlValue(Bytes(9000, 0x5A))},
        {ColumnType::of(SqlType::UniqueIdentifier), SqlValue(g)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(roundTrip(c.type, c.value), c.value) << c.type.sqlName();
        EXPECT_TRUE(roundTrip(c.type, SqlValue::null()).isNull()) << c.type.sqlName();
    }
}

TEST(Encoding, ExactNumbersAndDatesConvertAsTheServerDoes) {
    DecimalValue d;
    ASSERT_TRUE(DecimalValue::parse("2.675", d));
    EXPECT_EQ(d.rescaled(2).text(), "2.68");
    ASSERT_TRUE(DecimalValue::parse("-2.675", d));
    EXPECT_EQ(d.rescaled(2).text(), "-2.68");
    EXPECT_EQ(d.rescaled(5).text(), "-2.67500");
    ASSERT_TRUE(DecimalValue::parse("0.05", d));
    EXPECT_EQ(d.text(), "0.05");
    EXPECT_FALSE(DecimalValue::parse("1.2.3", d));
    EXPECT_FALSE(DecimalValue::parse("", d));

    // datetime keeps 1/300 s: .999 rounds up to the next second, .998 down to .997.
    auto viaDatetime = [](int ms) {
        return roundTrip(ColumnType::of(SqlType::DateTime),
                         SqlValue(DateTimeValue::fromParts(2000, 2, 29, 23, 59, 59, ms)))
            .get<DateTimeValue>()
            .text();
    };
    EXPECT_EQ(viaDatetime(999), "2000-03-01 00:00:00.000");
    EXPECT_EQ(viaDatetime(998), "2000-02-29 23:59:59.997");
    EXPECT_EQ(viaDatetime(3), "2000-02-29 23:59:59.003");

    DateTimeValue dt;
    ASSERT_TRUE(DateTimeValue::parse("2024-07-01T08:09:10.5", dt));
    EXPECT_EQ(dt.text(), "2024-07-01 08:09:10.500");
    ASSERT_TRUE(DateTimeValue::parse("19991231", dt));
    EXPECT_EQ(dt.text(), "1999-12-31 00:00:00.000");
    EXPECT_FALSE(DateTimeValue::parse("2024-13-01", dt));
    EXPECT_FALSE(DateTimeValue::parse("yesterday", dt));
}

TEST(Encoding, TextConversionsNeverFailOnBadInput) {
    std::vector<uint8_t> u;
    appendUtf16(u, "a\xff\xc3");
    EXPECT_EQ(utf16ToUtf8(u.data(), u.size()), "a\xef\xbf\xbd\xef\xbf\xbd");
    const uint8_t lone[] = {0x00, 0xD8, 'x', 0};
    EXPECT_EQ(utf16ToUtf8(lone, 4), "\xef\xbf\xbdx");
    EXPECT_EQ(toCp1252("\xe2\x82\xac\xd0\xaf"), "\x80?");
    EXPECT_EQ(cp1252ToUtf8("\x80\xe9"), "\xe2\x82\xac\xc3\xa9");
    EXPECT_EQ(utf16Units("\xf0\x9f\x98\x80"), 2u);
}
