#include "CatalogProcedures.h"

#include "DriverCatalogProcedures.h"
#include "HelpProcedures.h"
#include "Names.h"
#include "OdbcTypes.h"
#include "Permissions.h"
#include "SqlExpression.h"
#include "TypeInfo.h"

#include <algorithm>
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

// One row of sp_datatype_info: a base type (or its identity form) as ODBC sees it. Texts left empty
// are NULL; -1 in a number is NULL.
struct TypeInfoRow {
    const char* name;
    int dataType;
    int64_t precision;
    const char* prefix;
    const char* suffix;
    const char* createParams;
    int caseSensitive;
    int searchable;
    int unsignedAttribute;
    int money;
    int autoIncrement;
    int minimumScale;
    int maximumScale;
    int sqlDataType;
    int dateTimeSub;
    int radix;
    int userType;
};

// In the order the server lists them: by ODBC type, then the closest match first.
const TypeInfoRow kTypeInfo[] = {
    {"uniqueidentifier", -11, 36, "'", "'", "", 0, 2, -1, 0, -1, -1, -1, -11, -1, -1, 0},
    {"ntext", -10, 1073741823, "N'", "'", "", 0, 1, -1, 0, -1, -1, -1, -10, -1, -1, 0},
    {"nvarchar", -9, 4000, "N'", "'", "max length", 0, 3, -1, 0, -1, -1, -1, -9, -1, -1, 0},
    {"nchar", -8, 4000, "N'", "'", "length", 0, 3, -1, 0, -1, -1, -1, -8, -1, -1, 0},
    {"bit", -7, 1, "", "", "", 0, 2, -1, 0, -1, 0, 0, -7, -1, -1, 16},
    {"tinyint", -6, 3, "", "", "", 0, 2, 1, 0, 0, 0, 0, -6, -1, 10, 5},
    {"tinyint identity", -6, 3, "", "", "", 0, 2, 1, 0, 1, 0, 0, -6, -1, 10, 5},
    {"bigint", -5, 19, "", "", "", 0, 2, 0, 0, 0, 0, 0, -5, -1, 10, 0},
    {"bigint identity", -5, 19, "", "", "", 0, 2, 0, 0, 1, 0, 0, -5, -1, 10, 0},
    {"image", -4, 2147483647, "0x", "", "", 0, 0, -1, 0, -1, -1, -1, -4, -1, -1, 20},
    {"varbinary", -3, 8000, "0x", "", "max length", 0, 2, -1, 0, -1, -1, -1, -3, -1, -1, 4},
    {"binary", -2, 8000, "0x", "", "length", 0, 2, -1, 0, -1, -1, -1, -2, -1, -1, 3},
    {"text", -1, 2147483647, "'", "'", "", 0, 1, -1, 0, -1, -1, -1, -1, -1, -1, 19},
    {"char", 1, 8000, "'", "'", "length", 0, 3, -1, 0, -1, -1, -1, 1, -1, -1, 1},
    {"numeric", 2, 38, "", "", "precision,scale", 0, 2, 0, 0, 0, 0, 38, 2, -1, 10, 10},
    {"numeric() identity", 2, 38, "", "", "precision", 0, 2, 0, 0, 1, 0, 0, 2, -1, 10, 10},
    {"decimal", 3, 38, "", "", "precision,scale", 0, 2, 0, 0, 0, 0, 38, 3, -1, 10, 24},
    {"money", 3, 19, "$", "", "", 0, 2, 0, 1, 0, 4, 4, 3, -1, 10, 11},
    {"smallmoney", 3, 10, "$", "", "", 0, 2, 0, 1, 0, 4, 4, 3, -1, 10, 21},
    {"decimal() identity", 3, 38, "", "", "precision", 0, 2, 0, 0, 1, 0, 0, 3, -1, 10, 24},
    {"int", 4, 10, "", "", "", 0, 2, 0, 0, 0, 0, 0, 4, -1, 10, 7},
    {"int identity", 4, 10, "", "", "", 0, 2, 0, 0, 1, 0, 0, 4, -1, 10, 7},
    {"smallint", 5, 5, "", "", "", 0, 2, 0, 0, 0, 0, 0, 5, -1, 10, 6},
    {"smallint identity", 5, 5, "", "", "", 0, 2, 0, 0, 1, 0, 0, 5, -1, 10, 6},
    {"float", 6, 53, "", "", "", 0, 2, 0, 0, 0, -1, -1, 6, -1, 2, 8},
    {"real", 7, 24, "", "", "", 0, 2, 0, 0, 0, -1, -1, 7, -1, 2, 23},
    {"varchar", 12, 8000, "'", "'", "max length", 0, 3, -1, 0, -1, -1, -1, 12, -1, -1, 2},
    {"datetime", 93, 23, "'", "'", "", 0, 3, -1, 0, -1, 3, 3, 9, 3, -1, 12},
    {"smalldatetime", 93, 16, "'", "'", "", 0, 3, -1, 0, -1, 0, 0, 9, 3, -1, 22},
};

SqlValue orNull(int n) {
    return n < 0 ? SqlValue::null() : number(n);
}

SqlValue orNull(const char* s) {
    return *s ? SqlValue(std::string(s)) : SqlValue::null();
}

// sp_datatype_info[_100] @data_type, @ODBCVer: every type, or the types of one ODBC type code. ODBC 2
// calls the date and time type 11 rather than 93.
int datatypeInfo(Context& ctx, const std::vector<SqlValue>& a) {
    ResultSet rs;
    const ColumnType smallint = ColumnType::of(SqlType::SmallInt);
    const ColumnType word = ColumnType::of(SqlType::VarChar, 32);
    rs.column("TYPE_NAME", kSysname)
        .column("DATA_TYPE", smallint)
        .column("PRECISION", ColumnType::of(SqlType::Int))
        .column("LITERAL_PREFIX", word)
        .column("LITERAL_SUFFIX", word)
        .column("CREATE_PARAMS", word)
        .column("NULLABLE", smallint)
        .column("CASE_SENSITIVE", smallint)
        .column("SEARCHABLE", smallint)
        .column("UNSIGNED_ATTRIBUTE", smallint)
        .column("MONEY", smallint)
        .column("AUTO_INCREMENT", smallint)
        .column("LOCAL_TYPE_NAME", kSysname)
        .column("MINIMUM_SCALE", smallint)
        .column("MAXIMUM_SCALE", smallint)
        .column("SQL_DATA_TYPE", smallint)
        .column("SQL_DATETIME_SUB", smallint)
        .column("NUM_PREC_RADIX", ColumnType::of(SqlType::Int))
        .column("INTERVAL_PRECISION", smallint)
        .column("USERTYPE", smallint);
    const int wanted = a[0].isNull() ? 0 : int(a[0].toInt());
    const int odbcVersion = a[1].isNull() ? 2 : int(a[1].toInt());
    for (const TypeInfoRow& t : kTypeInfo) {
        int dataType = t.dataType == 93 && odbcVersion < 3 ? 11 : t.dataType;
        if (wanted != 0 && wanted != dataType) {
            continue;
        }
        rs.row({SqlValue(std::string(t.name)),
                number(dataType),
                number(t.precision),
                orNull(t.prefix),
                orNull(t.suffix),
                orNull(t.createParams),
                number(t.autoIncrement == 1 ? 0 : 1),
                number(t.caseSensitive),
                number(t.searchable),
                orNull(t.unsignedAttribute),
                number(t.money),
                orNull(t.autoIncrement),
                SqlValue(std::string(t.name)),
                orNull(t.minimumScale),
                orNull(t.maximumScale),
                number(t.sqlDataType),
                orNull(t.dateTimeSub),
                orNull(t.radix),
                SqlValue::null(),
                number(t.userType)});
    }
    ctx.response.resultSet(std::move(rs));
    return 0;
}

// sp_fkeys: the foreign keys that reference the primary key table, or that the foreign key table
// holds, or the ones between the two when both are named. Keys here are one column each; an update
// never cascades, a delete may.
int foreignKeys(Context& ctx, const std::vector<SqlValue>& a) {
    ResultSet rs;
    const ColumnType smallint = ColumnType::of(SqlType::SmallInt);
    rs.column("PKTABLE_QUALIFIER", kSysname)
        .column("PKTABLE_OWNER", kSysname)
        .column("PKTABLE_NAME", kSysname)
        .column("PKCOLUMN_NAME", kSysname)
        .column("FKTABLE_QUALIFIER", kSysname)
        .column("FKTABLE_OWNER", kSysname)
        .column("FKTABLE_NAME", kSysname)
        .column("FKCOLUMN_NAME", kSysname)
        .column("KEY_SEQ", smallint)
        .column("UPDATE_RULE", smallint)
        .column("DELETE_RULE", smallint)
        .column("FK_NAME", kSysname)
        .column("PK_NAME", kSysname)
        .column("DEFERRABILITY", smallint);
    if (a[0].isNull() && a[3].isNull()) {
        throw SqlError(50000, 16, "__not_supported__"); // neither table named
    }
    Database& db = ctx.db();
    for (const SqlValue& qualifier : {a[2], a[5]}) {
        if (!qualifier.isNull() && !text(qualifier).empty() && !sameName(text(qualifier), db.name)) {
            throw SqlError(15250, 16,
                           "The database name component of the object qualifier must be the name of the "
                           "current database.",
                           1, {}, 69);
        }
    }
    auto named = [&db](const ObjectDef& t, const SqlValue& name, const SqlValue& owner) {
        return (name.isNull() || sameName(t.name, text(name))) &&
               (owner.isNull() || text(owner).empty() || sameName(db.ownerName(t.uid), text(owner)));
    };
    std::vector<std::pair<std::string, Row>> rows;
    for (auto& [id, fkTable] : db.objects) {
        if (!fkTable.isTable() || !named(fkTable, a[3], a[4])) {
            continue;
        }
        for (const ForeignKey& fk : fkTable.foreignKeys) {
            ObjectDef* pkTable = db.object(fk.refTableId);
            if (!pkTable || !named(*pkTable, a[0], a[1])) {
                continue;
            }
            ObjectDef* pk = pkTable->primaryKeyId ? db.object(pkTable->primaryKeyId) : nullptr;
            bool onKey = pk && pkTable->primaryKeyColumns.size() == 1 &&
                         sameName(pkTable->primaryKeyColumns[0], fk.refColumn);
            const ObjectDef& orderBy = a[0].isNull() ? *pkTable : fkTable;
            rows.push_back({lower(db.ownerName(orderBy.uid) + "." + orderBy.name + "." + fk.name),
                            {SqlValue(db.name), SqlValue(db.ownerName(pkTable->uid)), SqlValue(pkTable->name),
                             SqlValue(fk.refColumn), SqlValue(db.name), SqlValue(db.ownerName(fkTable.uid)),
                             SqlValue(fkTable.name), SqlValue(fk.column), number(1), number(1),
                             number(fk.deleteCascade ? 0 : 1), SqlValue(fk.name),
                             onKey ? SqlValue(pk->name) : SqlValue::null(), number(7)}});
        }
    }
    std::sort(rows.begin(), rows.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    for (auto& r : rows) {
        rs.row(std::move(r.second));
    }
    ctx.response.resultSet(std::move(rs));
    return 0;
}

// sp_statistics: the table's own row (type 0: its row count and data pages), then one row per column
// of each index. The model's only index is the primary key's, clustered unless declared otherwise.
int statistics(Context& ctx, const std::vector<SqlValue>& a) {
    ResultSet rs;
    const ColumnType smallint = ColumnType::of(SqlType::SmallInt);
    rs.column("TABLE_QUALIFIER", kSysname)
        .column("TABLE_OWNER", kSysname)
        .column("TABLE_NAME", kSysname)
        .column("NON_UNIQUE", smallint)
        .column("INDEX_QUALIFIER", kSysname)
        .column("INDEX_NAME", kSysname)
        .column("TYPE", smallint)
        .column("SEQ_IN_INDEX", smallint)
        .column("COLUMN_NAME", kSysname)
        .column("COLLATION", ColumnType::of(SqlType::Char, 1))
        .column("CARDINALITY", ColumnType::of(SqlType::Int))
        .column("PAGES", ColumnType::of(SqlType::Int))
        .column("FILTER_CONDITION", ColumnType::of(SqlType::VarChar, 128));
    Database& db = ctx.db();
    std::string qualifier = text(a[2]);
    if (!qualifier.empty() && !sameName(qualifier, db.name)) {
        throw SqlError(15250, 16,
                       "The database name component of the object qualifier must be the name of the "
                       "current database.",
                       1, {}, 51);
    }
    std::string owner = text(a[1]);
    ObjectDef* t =
        db.findObject(owner.empty() ? bracketed(text(a[0])) : bracketed(owner) + "." + bracketed(text(a[0])));
    if (!t || !t->isTable()) {
        throw SqlError(50000, 16, "__not_supported__"); // no such table, or a view
    }
    const SqlValue null = SqlValue::null();
    const int64_t rows = int64_t(t->rows.size());
    const int64_t pages = HelpProcedures::dataPages(*t);
    const SqlValue tableName(t->name), ownerName(db.ownerName(t->uid)), dbName(db.name);
    rs.row({dbName, ownerName, tableName, null, null, null, number(0), null, null, null, number(rows),
            number(pages), null});
    ObjectDef* pk = t->primaryKeyId ? db.object(t->primaryKeyId) : nullptr;
    if (pk && (a[3].isNull() || Evaluator::like(pk->name, text(a[3])))) {
        for (size_t k = 0; k < t->primaryKeyColumns.size(); ++k) {
            bool descending = k < t->primaryKeyDescending.size() && t->primaryKeyDescending[k];
            rs.row({dbName, ownerName, tableName, number(0), tableName, SqlValue(pk->name),
                    number(t->primaryKeyClustered ? 1 : 3), number(int64_t(k + 1)),
                    SqlValue(t->primaryKeyColumns[k]), SqlValue(std::string(descending ? "D" : "A")),
                    number(rows), number(t->primaryKeyClustered ? pages : 1), null});
        }
    }
    ctx.response.resultSet(std::move(rs));
    return 0;
}

// sp_stored_procedures: the procedures and functions of one user schema, named "name;1" (a function
// "name;0"), with the counts the server leaves unknown (-1) and type 2. Without a user schema the
// server's own list would hold its system procedures too, and another login sees only what it may
// run: those calls are refused.
int storedProcedures(Context& ctx, const std::vector<SqlValue>& a) {
    const std::string owner = text(a[1]);
    if (a[1].isNull() || owner.empty() || owner.find_first_of("%_[") != std::string::npos ||
        sameName(owner, "sys") || sameName(owner, "INFORMATION_SCHEMA") ||
        !Permissions::serverRole(ctx, "sysadmin")) {
        throw SqlError(50000, 16, "__not_supported__");
    }
    Database& db = ctx.db();
    std::string qualifier = text(a[2]);
    if (!qualifier.empty() && !sameName(qualifier, db.name)) {
        throw SqlError(15250, 16,
                       "The database name component of the object qualifier must be the name of the "
                       "current database.",
                       1, {}, 75);
    }
    ResultSet rs;
    const ColumnType integer = ColumnType::of(SqlType::Int);
    rs.column("PROCEDURE_QUALIFIER", kSysname)
        .column("PROCEDURE_OWNER", kSysname)
        .column("PROCEDURE_NAME", ColumnType::of(SqlType::NVarChar, 134))
        .column("NUM_INPUT_PARAMS", integer)
        .column("NUM_OUTPUT_PARAMS", integer)
        .column("NUM_RESULT_SETS", integer)
        .column("REMARKS", ColumnType::of(SqlType::VarChar, 254))
        .column("PROCEDURE_TYPE", ColumnType::of(SqlType::SmallInt));
    const bool pattern = a[3].isNull() || a[3].toInt() != 0;
    std::vector<Row> rows;
    for (auto& [id, o] : db.objects) {
        if (o.type != "P" && o.type != "FN" && o.type != "IF" && o.type != "TF") {
            continue;
        }
        if (!sameName(db.ownerName(o.uid), owner) ||
            (!a[0].isNull() &&
             !(pattern ? Evaluator::like(o.name, text(a[0])) : sameName(o.name, text(a[0]))))) {
            continue;
        }
        rows.push_back({SqlValue(db.name), SqlValue(db.ownerName(o.uid)),
                        SqlValue(o.name + (o.type == "P" ? ";1" : ";0")), number(-1), number(-1), number(-1),
                        SqlValue::null(), number(2)});
    }
    std::sort(rows.begin(), rows.end(),
              [](const Row& x, const Row& y) { return lower(x[2].toText()) < lower(y[2].toText()); });
    rs.rows = std::move(rows);
    ctx.response.resultSet(std::move(rs));
    return 0;
}

// sp_special_columns: for 'R' the columns of the best unique key (here the primary key), for 'V' the
// columns a change updates by itself (the model has no rowversion, so none). Scope is always 0 and no
// column is a pseudo column. Where a key column is an identity column it is refused: the type name
// the server gives it there is not modelled.
int specialColumns(Context& ctx, const std::vector<SqlValue>& a) {
    ResultSet rs;
    const ColumnType smallint = ColumnType::of(SqlType::SmallInt);
    rs.column("SCOPE", smallint)
        .column("COLUMN_NAME", kSysname)
        .column("DATA_TYPE", smallint)
        .column("TYPE_NAME", kSysname)
        .column("PRECISION", ColumnType::of(SqlType::Int))
        .column("LENGTH", ColumnType::of(SqlType::Int))
        .column("SCALE", smallint)
        .column("PSEUDO_COLUMN", smallint);
    Database& db = ctx.db();
    std::string qualifier = text(a[2]);
    if (!qualifier.empty() && !sameName(qualifier, db.name)) {
        throw SqlError(15250, 16,
                       "The database name component of the object qualifier must be the name of the "
                       "current database.",
                       1, {}, 60);
    }
    std::string owner = text(a[1]);
    ObjectDef* t =
        db.findObject(owner.empty() ? bracketed(text(a[0])) : bracketed(owner) + "." + bracketed(text(a[0])));
    std::string colType = a[3].isNull() ? "R" : text(a[3]);
    if (!t || !t->isTable() || (!sameName(colType, "R") && !sameName(colType, "V"))) {
        throw SqlError(50000, 16, "__not_supported__"); // no such table, a view, or an unknown kind
    }
    const int odbcVersion = a[6].isNull() ? 2 : int(a[6].toInt());
    if (sameName(colType, "R")) {
        for (const std::string& key : t->primaryKeyColumns) {
            int at = t->columnIndex(key);
            if (at < 0 || t->columns[size_t(at)].identity) {
                throw SqlError(50000, 16, "__not_supported__");
            }
            const TableColumn& c = t->columns[size_t(at)];
            OdbcTypeRow type = OdbcTypes::describe(c.type, c.nullable, odbcVersion);
            rs.row({number(0), SqlValue(c.name), number(type.dataType), SqlValue(TypeInfo::name(c.type)),
                    type.precision, type.length, type.scale, number(1)});
        }
    }
    ctx.response.resultSet(std::move(rs));
    return 0;
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
                    OdbcTypeRow t = OdbcTypes::describe(c.type, c.nullable, odbcVersion);
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
    table.add("sp_datatype_info_100", {"@data_type", "@ODBCVer"}, datatypeInfo);
    table.add("sp_datatype_info", {"@data_type", "@ODBCVer"}, datatypeInfo);
    table.add("sp_fkeys",
              {"@pktable_name", "@pktable_owner", "@pktable_qualifier", "@fktable_name", "@fktable_owner",
               "@fktable_qualifier"},
              foreignKeys);
    table.add("sp_statistics",
              {"@table_name", "@table_owner", "@table_qualifier", "@index_name", "@is_unique", "@accuracy"},
              statistics);
    table.add("sp_stored_procedures", {"@sp_name", "@sp_owner", "@sp_qualifier", "@fUsePattern"},
              storedProcedures);
    table.add(
        "sp_special_columns",
        {"@table_name", "@table_owner", "@table_qualifier", "@col_type", "@scope", "@nullable", "@ODBCVer"},
        specialColumns);
    DriverCatalogProcedures::registerAll(table);
}

} // namespace sqlsim::model
