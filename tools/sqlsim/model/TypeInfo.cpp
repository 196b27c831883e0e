#include "TypeInfo.h"

#include "Names.h"

#include <cstdlib>

namespace sqlsim::model {

namespace {

struct Entry {
    SqlType type;
    const char* name;
    int xtype;
    int length;
    int precision;
};

const Entry kTypes[] = {
    {SqlType::Bit, "bit", 104, 1, 1},
    {SqlType::TinyInt, "tinyint", 48, 1, 3},
    {SqlType::SmallInt, "smallint", 52, 2, 5},
    {SqlType::Int, "int", 56, 4, 10},
    {SqlType::BigInt, "bigint", 127, 8, 19},
    {SqlType::Real, "real", 59, 4, 24},
    {SqlType::Float, "float", 62, 8, 53},
    {SqlType::Decimal, "decimal", 106, 0, 0},
    {SqlType::Numeric, "numeric", 108, 0, 0},
    {SqlType::Money, "money", 60, 8, 19},
    {SqlType::SmallMoney, "smallmoney", 122, 4, 10},
    {SqlType::DateTime, "datetime", 61, 8, 23},
    {SqlType::SmallDateTime, "smalldatetime", 58, 4, 16},
    {SqlType::Date, "date", 40, 3, 10},
    {SqlType::Time, "time", 41, 5, 16},
    {SqlType::DateTime2, "datetime2", 42, 8, 27},
    {SqlType::Char, "char", 175, 0, 0},
    {SqlType::VarChar, "varchar", 167, 0, 0},
    {SqlType::NChar, "nchar", 239, 0, 0},
    {SqlType::NVarChar, "nvarchar", 231, 0, 0},
    {SqlType::Text, "text", 35, 16, 0},
    {SqlType::NText, "ntext", 99, 16, 0},
    {SqlType::UniqueIdentifier, "uniqueidentifier", 36, 16, 0},
    {SqlType::Binary, "binary", 173, 0, 0},
    {SqlType::VarBinary, "varbinary", 165, 0, 0},
    {SqlType::Image, "image", 34, 16, 0},
    {SqlType::Variant, "sql_variant", 98, 8016, 0},
};

const Entry& entry(SqlType t) {
    for (const auto& e : kTypes) {
        if (e.type == t) {
            return e;
        }
    }
    return kTypes[3];
}

bool hasLength(SqlType t) {
    return t == SqlType::Char || t == SqlType::VarChar || t == SqlType::NChar || t == SqlType::NVarChar ||
           t == SqlType::Binary || t == SqlType::VarBinary;
}

} // namespace

std::string TypeInfo::name(const ColumnType& type) {
    return entry(type.type).name;
}

int TypeInfo::xtype(const ColumnType& type) {
    return entry(type.type).xtype;
}

int TypeInfo::storageLength(const ColumnType& type) {
    if (hasLength(type.type)) {
        if (type.length == ColumnType::kMax) {
            return -1;
        }
        return type.isUnicode() ? type.length * 2 : type.length;
    }
    if (type.type == SqlType::Decimal || type.type == SqlType::Numeric) {
        int p = type.precision;
        return p <= 9 ? 5 : p <= 19 ? 9 : p <= 28 ? 13 : 17;
    }
    return entry(type.type).length;
}

int TypeInfo::precision(const ColumnType& type) {
    if (hasLength(type.type)) {
        return type.length == ColumnType::kMax ? -1 : type.length;
    }
    if (type.type == SqlType::Decimal || type.type == SqlType::Numeric) {
        return type.precision;
    }
    return entry(type.type).precision;
}

int TypeInfo::scale(const ColumnType& type) {
    switch (type.type) {
    case SqlType::Decimal:
    case SqlType::Numeric:
        return type.scale;
    case SqlType::Money:
    case SqlType::SmallMoney:
        return 4;
    case SqlType::DateTime:
        return 3;
    case SqlType::DateTime2:
    case SqlType::Time:
        return 7;
    default:
        return 0;
    }
}

bool TypeInfo::parse(const std::string& text, ColumnType& out) {
    std::string t = lower(text);
    std::string base = t, args;
    auto open = t.find('(');
    if (open != std::string::npos) {
        base = t.substr(0, open);
        auto close = t.find(')', open);
        if (close == std::string::npos) {
            return false;
        }
        args = t.substr(open + 1, close - open - 1);
    }
    while (!base.empty() && base.back() == ' ') {
        base.pop_back();
    }
    if (base == "sysname") {
        out = ColumnType::of(SqlType::NVarChar, 128);
        return true;
    }
    if (base == "integer") {
        base = "int";
    }
    for (const auto& e : kTypes) {
        if (base != e.name) {
            continue;
        }
        out = ColumnType::of(e.type);
        if (hasLength(e.type)) {
            out.length = 1;
            if (!args.empty()) {
                out.length =
                    args.find("max") != std::string::npos ? ColumnType::kMax : std::atoi(args.c_str());
            }
        } else if (e.type == SqlType::Decimal || e.type == SqlType::Numeric) {
            out.precision = 18;
            out.scale = 0;
            if (!args.empty()) {
                out.precision = uint8_t(std::atoi(args.c_str()));
                auto comma = args.find(',');
                if (comma != std::string::npos) {
                    out.scale = uint8_t(std::atoi(args.c_str() + comma + 1));
                }
            }
        } else if (e.type == SqlType::Money) {
            out.precision = 19;
            out.scale = 4;
        } else if (e.type == SqlType::SmallMoney) {
            out.precision = 10;
            out.scale = 4;
        }
        return true;
    }
    return false;
}

} // namespace sqlsim::model
