#include "OdbcTypes.h"

#include <climits>

namespace sqlsim::model {

namespace {

SqlValue number(int64_t n) {
    return SqlValue(n);
}

} // namespace

bool OdbcTypes::known(const ColumnType& t) {
    return t.type != SqlType::Date && t.type != SqlType::Time && t.type != SqlType::DateTime2;
}

OdbcTypeRow OdbcTypes::describe(const ColumnType& t, bool nullable, int odbcVersion) {
    OdbcTypeRow r;
    const SqlValue null = SqlValue::null();
    auto fixed = [&](int data, int64_t prec, int64_t len, SqlValue scale, int ss, int ssNullable) {
        r.dataType = r.sqlDataType = data;
        r.precision = number(prec);
        r.length = number(len);
        r.scale = scale;
        r.radix = number(10);
        r.ssType = nullable ? ssNullable : ss;
    };
    int chars = t.length == ColumnType::kMax ? 0 : t.length;
    switch (t.type) {
    case SqlType::Bit:
        fixed(-7, 1, 1, null, 50, 104);
        r.radix = null;
        break;
    case SqlType::TinyInt:
        fixed(-6, 3, 1, number(0), 48, 38);
        break;
    case SqlType::SmallInt:
        fixed(5, 5, 2, number(0), 52, 38);
        break;
    case SqlType::Int:
        fixed(4, 10, 4, number(0), 56, 38);
        break;
    case SqlType::BigInt:
        fixed(-5, 19, 8, number(0), 127, 38);
        break;
    case SqlType::Real:
        fixed(7, 24, 4, null, 59, 109);
        r.radix = number(2);
        break;
    case SqlType::Float:
        fixed(6, 53, 8, null, 62, 109);
        r.radix = number(2);
        break;
    case SqlType::Money:
        fixed(3, 19, 21, number(4), 60, 110);
        break;
    case SqlType::SmallMoney:
        fixed(3, 10, 12, number(4), 122, 110);
        break;
    case SqlType::Decimal:
    case SqlType::Numeric:
        fixed(t.type == SqlType::Decimal ? 3 : 2, t.precision, t.precision + 2, number(t.scale), 55, 106);
        if (t.type == SqlType::Numeric) {
            r.ssType = nullable ? 108 : 63;
        }
        break;
    case SqlType::DateTime:
    case SqlType::SmallDateTime: {
        bool small = t.type == SqlType::SmallDateTime;
        fixed(odbcVersion >= 3 ? 93 : 11, small ? 16 : 23, 16, number(small ? 0 : 3), small ? 58 : 61, 111);
        r.sqlDataType = 9;
        r.dateTimeSub = number(3);
        r.radix = null;
        break;
    }
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::Text: {
        bool text = t.type == SqlType::Text;
        int64_t len = text || t.length == ColumnType::kMax ? INT_MAX : chars;
        fixed(text ? -1 : t.type == SqlType::Char ? 1 : 12, len, len, null, 39, 39);
        if (t.type == SqlType::Char) {
            r.ssType = 47;
        }
        r.radix = null;
        r.octetLength = number(len);
        break;
    }
    case SqlType::NChar:
    case SqlType::NVarChar:
    case SqlType::NText: {
        bool ntext = t.type == SqlType::NText;
        int64_t len = ntext || t.length == ColumnType::kMax ? INT_MAX / 2 : chars;
        int64_t bytes = ntext || t.length == ColumnType::kMax ? INT_MAX : 2 * chars;
        fixed(ntext ? -10 : t.type == SqlType::NChar ? -8 : -9, len, bytes, null, 39, 39);
        r.radix = null;
        r.octetLength = number(bytes);
        break;
    }
    case SqlType::UniqueIdentifier:
        fixed(-11, 36, 16, null, 37, 37);
        r.radix = null;
        break;
    case SqlType::Binary:
    case SqlType::VarBinary:
    case SqlType::Image: {
        int64_t len = t.type == SqlType::Image || t.length == ColumnType::kMax ? INT_MAX : t.length;
        fixed(t.type == SqlType::Image ? -4 : t.type == SqlType::Binary ? -2 : -3, len, len, null, 37, 37);
        r.radix = null;
        r.octetLength = number(len);
        break;
    }
    default:
        fixed(-9, 0, 0, null, 39, 39);
        break;
    }
    return r;
}

} // namespace sqlsim::model
