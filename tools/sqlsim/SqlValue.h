#pragma once
// Typed values and column types as the simulator stores, receives and sends them.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace sqlsim {

enum class SqlType {
    Bit,
    TinyInt,
    SmallInt,
    Int,
    BigInt,
    Real,
    Float,
    Decimal,
    Numeric,
    Money,
    SmallMoney,
    DateTime,
    SmallDateTime,
    Date,
    Time,
    DateTime2,
    Char,
    VarChar,
    NChar,
    NVarChar,
    Text,
    NText,
    UniqueIdentifier,
    Binary,
    VarBinary,
    Image,
    Variant, // sql_variant: each value keeps the type it was stored with
};

// length: characters for char types, bytes for binary types, kMax for (max).
struct ColumnType {
    static constexpr int kMax = -1;
    SqlType type = SqlType::Int;
    int length = 0;
    uint8_t precision = 0;
    uint8_t scale = 0;

    static ColumnType of(SqlType t, int length = 0, uint8_t precision = 0, uint8_t scale = 0) {
        return ColumnType{t, length, precision, scale};
    }
    bool isUnicode() const {
        return type == SqlType::NChar || type == SqlType::NVarChar || type == SqlType::NText;
    }
    bool isCharacter() const;
    bool isBinary() const {
        return type == SqlType::Binary || type == SqlType::VarBinary || type == SqlType::Image;
    }
    // SQL text of the type, e.g. "nvarchar(50)", "decimal(18,2)", "varchar(max)".
    std::string sqlName() const;
    bool operator==(const ColumnType&) const = default;
};

// Calendar value; days counted from 1900-01-01 (negative before it).
struct DateTimeValue {
    int32_t days = 0;
    int64_t micros = 0; // since midnight

    static DateTimeValue fromParts(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0);
    void toParts(int& y, int& mo, int& d, int& h, int& mi, int& s, int& ms) const;
    // Reads "yyyy-mm-dd[ hh:mm[:ss[.fff]]]" (also with "T" or "/" separators, or "yyyymmdd").
    static bool parse(const std::string& text, DateTimeValue& out);
    // "yyyy-mm-dd hh:mm:ss.mmm"
    std::string text() const;
    bool operator==(const DateTimeValue&) const = default;
};

// Exact numeric as an unscaled integer and a scale (decimal, numeric, money).
struct DecimalValue {
    __int128 unscaled = 0;
    uint8_t scale = 0;

    static bool parse(const std::string& text, DecimalValue& out);
    DecimalValue rescaled(uint8_t newScale) const;
    std::string text() const;
    double toDouble() const;
    bool operator==(const DecimalValue&) const = default;
};

struct GuidValue {
    std::array<uint8_t, 16> bytes{}; // in the textual order of the hex digits
    static bool parse(const std::string& text, GuidValue& out);
    std::string text() const; // upper case, with braces omitted
    bool operator==(const GuidValue&) const = default;
};

using Bytes = std::vector<uint8_t>;

class SqlValue;

// A sql_variant's value: a value that is not NULL and the type it was stored as.
struct VariantValue {
    std::shared_ptr<const SqlValue> value;
    ColumnType type;
    bool operator==(const VariantValue& other) const;
};

// NULL, bit, integer, float, exact numeric, text (UTF-8), binary, date/time, guid, sql_variant.
class SqlValue {
public:
    using Storage = std::variant<std::monostate, bool, int64_t, double, DecimalValue, std::string, Bytes,
                                 DateTimeValue, GuidValue, VariantValue>;

    SqlValue() = default;
    SqlValue(bool v) : m_v(v) {}
    SqlValue(int v) : m_v(int64_t(v)) {}
    SqlValue(int64_t v) : m_v(v) {}
    SqlValue(double v) : m_v(v) {}
    SqlValue(DecimalValue v) : m_v(v) {}
    SqlValue(std::string v) : m_v(std::move(v)) {}
    SqlValue(const char* v) : m_v(std::string(v)) {}
    SqlValue(Bytes v) : m_v(std::move(v)) {}
    SqlValue(DateTimeValue v) : m_v(v) {}
    SqlValue(GuidValue v) : m_v(v) {}
    SqlValue(VariantValue v) : m_v(std::move(v)) {}
    // A sql_variant holding the value as the given type (NULL stays NULL, a variant stays itself).
    static SqlValue variant(const SqlValue& v, const ColumnType& type);
    // The value inside a sql_variant; any other value as it is.
    const SqlValue& base() const { return is<VariantValue>() ? *get<VariantValue>().value : *this; }
    // The type a sql_variant keeps for the value: its own for a sql_variant, else the one its
    // storage implies (text as nvarchar, an integer as int or bigint).
    ColumnType variantType() const;

    static SqlValue null() { return SqlValue(); }
    bool isNull() const { return std::holds_alternative<std::monostate>(m_v); }
    const Storage& storage() const { return m_v; }

    template <class T> bool is() const { return std::holds_alternative<T>(m_v); }
    template <class T> const T& get() const { return std::get<T>(m_v); }

    // Conversions used by the encoder and by handlers; they never throw.
    int64_t toInt() const;
    double toDouble() const;
    bool toBool() const { return toInt() != 0; }
    // Plain text of the value ("NULL" for NULL), as a log or a handler wants to read it.
    std::string toText() const;

    bool operator==(const SqlValue&) const = default;

private:
    Storage m_v;
};

using Row = std::vector<SqlValue>;

} // namespace sqlsim
