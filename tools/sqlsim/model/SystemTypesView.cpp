#include "SystemTypesView.h"

#include "CatalogViews.h"
#include "TypeInfo.h"

namespace sqlsim::model {

namespace {

// What sys.types does not say: the old usertype number and the old type code of each base type.
struct OldType {
    const char* name;
    int usertype;
    int type;
};

const OldType kOldTypes[] = {
    {"image", 20, 34},
    {"text", 19, 35},
    {"uniqueidentifier", 0, 37},
    {"date", 0, 0},
    {"time", 0, 0},
    {"datetime2", 0, 0},
    {"tinyint", 5, 48},
    {"smallint", 6, 52},
    {"int", 7, 56},
    {"smalldatetime", 22, 58},
    {"real", 23, 59},
    {"money", 11, 60},
    {"datetime", 12, 61},
    {"float", 8, 62},
    {"ntext", 0, 35},
    {"bit", 16, 50},
    {"decimal", 24, 55},
    {"numeric", 10, 63},
    {"smallmoney", 21, 122},
    {"bigint", 0, 63},
    {"varbinary", 4, 37},
    {"varchar", 2, 39},
    {"binary", 3, 45},
    {"char", 1, 47},
    {"nvarchar", 0, 39},
    {"nchar", 0, 47},
};

const OldType* oldType(const std::string& name) {
    for (const OldType& t : kOldTypes) {
        if (name == t.name) {
            return &t;
        }
    }
    return nullptr;
}

void col(Relation& r, const char* name, ColumnType t, bool nullable = true) {
    r.columns.push_back(Column{name, t, nullable, false, false});
}

} // namespace

Relation SystemTypesView::read(Context& ctx, Database& db) {
    Relation r;
    const ColumnType tiny = ColumnType::of(SqlType::TinyInt);
    const ColumnType small = ColumnType::of(SqlType::SmallInt);
    const ColumnType integer = ColumnType::of(SqlType::Int);
    const ColumnType bit = ColumnType::of(SqlType::Bit);
    const ColumnType sysname = ColumnType::of(SqlType::NVarChar, 128);
    col(r, "name", sysname, false);
    col(r, "xtype", tiny, false);
    col(r, "status", tiny);
    col(r, "xusertype", small);
    col(r, "length", small, false);
    col(r, "xprec", tiny, false);
    col(r, "xscale", tiny, false);
    col(r, "tdefault", integer, false);
    col(r, "domain", integer, false);
    col(r, "uid", small);
    col(r, "reserved", small);
    col(r, "collationid", integer);
    col(r, "usertype", small);
    col(r, "variable", bit, false);
    col(r, "allownulls", bit);
    col(r, "type", tiny, false);
    col(r, "printfmt", ColumnType::of(SqlType::VarChar, 255));
    col(r, "prec", small);
    col(r, "scale", tiny);
    col(r, "collation", sysname);
    std::optional<Relation> types = CatalogViews::read(ctx, db, "sys", "types");
    if (!types) {
        return r;
    }
    // sys.types: name, system_type_id, user_type_id, schema_id, max_length, precision, scale,
    // is_nullable, is_user_defined.
    const SqlValue zero(int64_t(0));
    for (const Row& t : types->rows) {
        const std::string name = t[0].toText();
        const OldType* old = oldType(name);
        ColumnType parsed;
        TypeInfo::parse(name, parsed);
        const bool character = parsed.isCharacter();
        const bool varying = name == "varchar" || name == "nvarchar" || name == "varbinary";
        const bool sized = character || parsed.isBinary();
        // prec: characters for a string type, digits for a number.
        int64_t prec = t[5].toInt();
        if (sized) {
            prec = name == "text" || name == "ntext" || name == "image" ? 0
                   : parsed.isUnicode()                                 ? t[4].toInt() / 2
                                                                        : t[4].toInt();
        }
        r.rows.push_back(
            {t[0],
             t[1],
             zero,
             t[2],
             t[4],
             t[5],
             t[6],
             zero,
             zero,
             t[3],
             zero,
             character ? SqlValue(int64_t(872468488)) : SqlValue::null(),
             SqlValue(int64_t(old ? old->usertype : 0)),
             SqlValue(varying),
             t[7],
             SqlValue(int64_t(old ? old->type : 0)),
             SqlValue::null(),
             SqlValue(prec),
             sized ? SqlValue::null() : t[6],
             character ? SqlValue(std::string("SQL_Latin1_General_CP1_CI_AS")) : SqlValue::null()});
    }
    return r;
}

} // namespace sqlsim::model
