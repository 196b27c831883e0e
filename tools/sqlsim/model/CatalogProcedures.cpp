#include "CatalogProcedures.h"

#include "Names.h"
#include "SqlExpression.h"
#include "TypeInfo.h"

#include <climits>

namespace sqlsim::model {

namespace {

const ColumnType kSysname = ColumnType::of(SqlType::NVarChar, 128);

std::string text(const SqlValue& v) {
    return v.isNull() ? std::string() : v.toText();
}

SqlValue number(int64_t n) {
    return SqlValue(n);
}

// What sp_columns says about one column type.
struct OdbcTypeRow {
    int dataType = 0;
    int sqlDataType = 0;
    SqlValue dateTimeSub;
    SqlValue precision;
    SqlValue length;
    SqlValue scale;
    SqlValue radix;
    SqlValue octetLength;
    int ssType = 0;
};

OdbcTypeRow describe(const ColumnType& t, bool nullable, int odbcVersion) {
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

} // namespace

void CatalogProcedures::registerAll(ProcedureTable& table) {
    table.add(
        "sp_columns",
        {"@table_name", "@table_owner", "@table_qualifier", "@column_name", "@ODBCVer", "@fUsePattern"},
        [](Context& ctx, const std::vector<SqlValue>& a) {
            ResultSet rs;
            rs.column("TABLE_QUALIFIER", kSysname)
                .column("TABLE_OWNER", kSysname)
                .column("TABLE_NAME", kSysname)
                .column("COLUMN_NAME", kSysname)
                .column("DATA_TYPE", ColumnType::of(SqlType::SmallInt))
                .column("TYPE_NAME", kSysname)
                .column("PRECISION", ColumnType::of(SqlType::Int))
                .column("LENGTH", ColumnType::of(SqlType::Int))
                .column("SCALE", ColumnType::of(SqlType::SmallInt))
                .column("RADIX", ColumnType::of(SqlType::SmallInt))
                .column("NULLABLE", ColumnType::of(SqlType::SmallInt))
                .column("REMARKS", ColumnType::of(SqlType::VarChar, 254))
                .column("COLUMN_DEF", ColumnType::of(SqlType::NVarChar, 4000))
                .column("SQL_DATA_TYPE", ColumnType::of(SqlType::SmallInt))
                .column("SQL_DATETIME_SUB", ColumnType::of(SqlType::SmallInt))
                .column("CHAR_OCTET_LENGTH", ColumnType::of(SqlType::Int))
                .column("ORDINAL_POSITION", ColumnType::of(SqlType::Int))
                .column("IS_NULLABLE", ColumnType::of(SqlType::VarChar, 254))
                .column("SS_DATA_TYPE", ColumnType::of(SqlType::TinyInt));
            Database& db = ctx.db();
            std::string qualifier = text(a[2]);
            if (!qualifier.empty() && !sameName(qualifier, db.name)) {
                throw SqlError(15250, 16,
                               "The database name component of the object qualifier must be the name "
                               "of the current database.",
                               1, {}, 45);
            }
            bool pattern = a[5].isNull() || a[5].toInt() != 0;
            auto matches = [pattern](const std::string& value, const SqlValue& wanted) {
                if (wanted.isNull()) {
                    return true;
                }
                return pattern ? Evaluator::like(value, wanted.toText()) : sameName(value, wanted.toText());
            };
            int odbcVersion = a[4].isNull() ? 2 : int(a[4].toInt());
            for (auto& [id, o] : db.objects) {
                if ((o.type != "U" && o.type != "V" && o.type != "S") || !matches(o.name, a[0]) ||
                    !matches(db.ownerName(o.uid), a[1])) {
                    continue;
                }
                int position = 0;
                for (const TableColumn& c : o.columns) {
                    ++position;
                    if (!matches(c.name, a[3])) {
                        continue;
                    }
                    OdbcTypeRow t = describe(c.type, c.nullable, odbcVersion);
                    rs.row({SqlValue(db.name), SqlValue(db.ownerName(o.uid)), SqlValue(o.name),
                            SqlValue(c.name), number(t.dataType),
                            SqlValue(TypeInfo::name(c.type) + (c.identity ? " identity" : "")), t.precision,
                            t.length, t.scale, t.radix, number(c.nullable ? 1 : 0), SqlValue::null(),
                            c.defaultText.empty() ? SqlValue::null() : SqlValue(c.defaultText),
                            number(t.sqlDataType), t.dateTimeSub, t.octetLength, number(position),
                            SqlValue(c.nullable ? "YES" : "NO"), number(t.ssType)});
                }
            }
            ctx.response.resultSet(std::move(rs));
            return 0;
        });
}

} // namespace sqlsim::model
