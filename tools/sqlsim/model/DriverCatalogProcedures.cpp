#include "DriverCatalogProcedures.h"

#include "ModuleDefinition.h"
#include "Names.h"
#include "ObjectHelpProcedures.h"
#include "OdbcTypes.h"
#include "Permissions.h"
#include "SqlLexer.h"
#include "TypeInfo.h"

#include <algorithm>

namespace sqlsim::model {

namespace {

const ColumnType kSysname = ColumnType::of(SqlType::NVarChar, 128);
const ColumnType kSmallInt = ColumnType::of(SqlType::SmallInt);
const ColumnType kInt = ColumnType::of(SqlType::Int);

std::string text(const SqlValue& v) {
    return v.isNull() ? std::string() : v.toText();
}

SqlValue number(int64_t n) {
    return SqlValue(n);
}

[[noreturn]] void notSupported() {
    throw SqlError(50000, 16, "__not_supported__");
}

void checkQualifier(Database& db, const SqlValue& qualifier, int line) {
    if (!text(qualifier).empty() && !sameName(text(qualifier), db.name)) {
        throw SqlError(15250, 16,
                       "The database name component of the object qualifier must be the name of the "
                       "current database.",
                       1, {}, line);
    }
}

bool matches(const std::string& value, const SqlValue& wanted, bool pattern) {
    if (wanted.isNull()) {
        return true;
    }
    return pattern ? Evaluator::like(value, wanted.toText()) : sameName(value, wanted.toText());
}

bool isPattern(const std::string& s) {
    return s.find_first_of("%_[") != std::string::npos;
}

// sp_sproc_columns: the return value (COLUMN_TYPE 5) and the parameters (1 input, 2 output) of the
// procedures and scalar functions named, each as sp_columns describes a nullable column. A
// table-valued function gives its table as @TABLE_RETURN_VALUE and, after its parameters, each of
// its result columns (COLUMN_TYPE 3). The lists the simulator cannot give whole are refused:
// procedures of system schemas (an owner left out with a name pattern would list them), and another
// login's view (only what it may run).
int procedureColumns(Context& ctx, const std::vector<SqlValue>& a) {
    Database& db = ctx.db();
    checkQualifier(db, a[2], 86);
    const bool pattern = a[5].isNull() || a[5].toInt() != 0;
    const std::string owner = text(a[1]);
    const std::string name = a[0].isNull() ? std::string("%") : text(a[0]);
    if (!Permissions::serverRole(ctx, "sysadmin") || sameName(owner, "sys") ||
        sameName(owner, "INFORMATION_SCHEMA") || (pattern && isPattern(owner)) ||
        (owner.empty() && pattern && isPattern(name))) {
        notSupported();
    }
    const int odbcVersion = a[4].isNull() ? 2 : int(a[4].toInt());
    ResultSet rs;
    rs.column("PROCEDURE_QUALIFIER", kSysname)
        .column("PROCEDURE_OWNER", kSysname)
        .column("PROCEDURE_NAME", ColumnType::of(SqlType::NVarChar, 134))
        .column("COLUMN_NAME", kSysname)
        .column("COLUMN_TYPE", kSmallInt)
        .column("DATA_TYPE", kSmallInt)
        .column("TYPE_NAME", kSysname)
        .column("PRECISION", kInt)
        .column("LENGTH", kInt)
        .column("SCALE", kSmallInt)
        .column("RADIX", kSmallInt)
        .column("NULLABLE", kSmallInt)
        .column("REMARKS", ColumnType::of(SqlType::VarChar, 254))
        .column("COLUMN_DEF", ColumnType::of(SqlType::NVarChar, 4000))
        .column("SQL_DATA_TYPE", kSmallInt)
        .column("SQL_DATETIME_SUB", kSmallInt)
        .column("CHAR_OCTET_LENGTH", kInt)
        .column("ORDINAL_POSITION", kInt)
        .column("IS_NULLABLE", ColumnType::of(SqlType::VarChar, 254))
        .column("SS_DATA_TYPE", ColumnType::of(SqlType::TinyInt));
    struct Found {
        std::string sortKey;
        std::vector<Row> rows;
    };
    std::vector<Found> found;
    for (auto& [id, o] : db.objects) {
        if (o.type != "P" && o.type != "FN" && o.type != "IF" && o.type != "TF") {
            continue;
        }
        const std::string objectOwner = db.ownerName(o.uid);
        const bool ownerFits =
            owner.empty() ? sameName(objectOwner, "dbo") : matches(objectOwner, a[1], pattern);
        if (!ownerFits || !matches(o.name, SqlValue(name), pattern)) {
            continue;
        }
        std::optional<ModuleDefinition> def = ModuleDefinition::ofText(o.source);
        const bool tableValued = o.type == "IF" || o.type == "TF";
        if (!def || (tableValued && o.columns.empty())) {
            notSupported();
        }
        const std::string shownName = o.name + (o.type == "P" ? ";1" : ";0");
        Found f{lower(objectOwner + "." + shownName), {}};
        auto add = [&](const std::string& column, int columnType, const ColumnType& type, bool nullable,
                       int position) {
            if (!matches(column, a[3], pattern)) {
                return;
            }
            if (!OdbcTypes::known(type)) {
                notSupported(); // the newer date and time types
            }
            OdbcTypeRow t = OdbcTypes::describe(type, nullable, odbcVersion);
            f.rows.push_back({SqlValue(db.name),
                              SqlValue(objectOwner),
                              SqlValue(shownName),
                              SqlValue(column),
                              number(columnType),
                              number(t.dataType),
                              SqlValue(TypeInfo::name(type)),
                              t.precision,
                              t.length,
                              t.scale,
                              t.radix,
                              number(nullable ? 1 : 0),
                              SqlValue::null(),
                              SqlValue::null(),
                              number(t.sqlDataType),
                              t.dateTimeSub,
                              t.octetLength,
                              number(position),
                              SqlValue(nullable ? "YES" : "NO"),
                              number(t.ssType)});
        };
        size_t first = 0;
        if (o.type == "P") {
            add("@RETURN_VALUE", 5, ColumnType::of(SqlType::Int), false, 0);
        } else if (tableValued) {
            if (matches("@TABLE_RETURN_VALUE", a[3], pattern)) {
                // The returned table itself has no ODBC type of its own: the table type's code.
                f.rows.push_back({SqlValue(db.name),
                                  SqlValue(objectOwner),
                                  SqlValue(shownName),
                                  SqlValue(std::string("@TABLE_RETURN_VALUE")),
                                  number(3),
                                  number(-153),
                                  SqlValue(std::string("table type")),
                                  number(0),
                                  number(0),
                                  SqlValue::null(),
                                  SqlValue::null(),
                                  number(0),
                                  SqlValue::null(),
                                  SqlValue::null(),
                                  number(-153),
                                  SqlValue::null(),
                                  SqlValue::null(),
                                  number(0),
                                  SqlValue(std::string("NO")),
                                  number(0)});
            }
        } else {
            add("@RETURN_VALUE", 5, def->parameters.at(0).type, true, 0);
            first = 1;
        }
        for (size_t k = first; k < def->parameters.size(); ++k) {
            const ModuleParameter& p = def->parameters[k];
            add(p.name, p.output ? 2 : 1, p.type, true, int(k + 1 - first));
        }
        if (tableValued) {
            for (size_t k = 0; k < o.columns.size(); ++k) {
                const TableColumn& c = o.columns[k];
                add(c.name, 3, c.type, c.nullable, int(k + 1));
            }
        }
        found.push_back(std::move(f));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& x, const Found& y) { return x.sortKey < y.sortKey; });
    for (Found& f : found) {
        for (Row& r : f.rows) {
            rs.row(std::move(r));
        }
    }
    ctx.response.resultSet(std::move(rs));
    return 0;
}

// One privilege as sp_table_privileges and sp_column_privileges list it.
struct Privilege {
    std::string grantee;
    std::string privilege;
    bool grantable = false;
};

// The privileges on an object: its owner holds every one and may grant it; then each grant held in
// the model, made by the owner (the server names the owner as grantor) and without grant option.
std::vector<Privilege> privileges(Database& db, const ObjectDef& o, bool columns) {
    std::vector<Privilege> list;
    const std::string owner = db.ownerName(o.uid);
    for (const char* p : {"DELETE", "INSERT", "REFERENCES", "SELECT", "UPDATE"}) {
        if (!(columns && std::string(p) == "DELETE")) {
            list.push_back({owner, p, true});
        }
    }
    for (const Permission& perm : db.permissions) {
        DbPrincipal* grantee = perm.objectId == o.id ? db.principal(perm.grantee) : nullptr;
        if (!grantee) {
            continue;
        }
        const std::pair<int, const char*> bits[] = {{Permissions::kDelete, "DELETE"},
                                                    {Permissions::kInsert, "INSERT"},
                                                    {Permissions::kSelect, "SELECT"},
                                                    {Permissions::kUpdate, "UPDATE"}};
        for (const auto& [bit, p] : bits) {
            if ((perm.actions & bit) && !(columns && bit == Permissions::kDelete)) {
                list.push_back({grantee->name, p, false});
            }
        }
    }
    std::stable_sort(list.begin(), list.end(), [](const Privilege& x, const Privilege& y) {
        return x.privilege != y.privilege ? x.privilege < y.privilege : lower(x.grantee) < lower(y.grantee);
    });
    return list;
}

void privilegeColumns(ResultSet& rs, bool withColumn) {
    rs.column("TABLE_QUALIFIER", kSysname).column("TABLE_OWNER", kSysname).column("TABLE_NAME", kSysname);
    if (withColumn) {
        rs.column("COLUMN_NAME", kSysname);
    }
    rs.column("GRANTOR", kSysname)
        .column("GRANTEE", kSysname)
        .column("PRIVILEGE", ColumnType::of(SqlType::VarChar, 32))
        .column("IS_GRANTABLE", ColumnType::of(SqlType::VarChar, 3));
}

// sp_table_privileges: the privileges on the tables and views the name and owner patterns match.
int tablePrivileges(Context& ctx, const std::vector<SqlValue>& a) {
    Database& db = ctx.db();
    checkQualifier(db, a[2], 57);
    ObjectHelpProcedures::requireFullMetadataView(ctx, db);
    const bool pattern = a[3].isNull() || a[3].toInt() != 0;
    if (sameName(text(a[1]), "sys") || sameName(text(a[1]), "INFORMATION_SCHEMA")) {
        notSupported();
    }
    ResultSet rs;
    privilegeColumns(rs, false);
    std::vector<const ObjectDef*> tables;
    for (auto& [id, o] : db.objects) {
        if ((o.type == "U" || o.type == "V") && matches(o.name, a[0], pattern) &&
            matches(db.ownerName(o.uid), a[1], pattern)) {
            tables.push_back(&o);
        }
    }
    std::sort(tables.begin(), tables.end(), [&db](const ObjectDef* x, const ObjectDef* y) {
        return lower(db.ownerName(x->uid) + "." + x->name) < lower(db.ownerName(y->uid) + "." + y->name);
    });
    for (const ObjectDef* o : tables) {
        const std::string owner = db.ownerName(o->uid);
        for (const Privilege& p : privileges(db, *o, false)) {
            rs.row({SqlValue(db.name), SqlValue(owner), SqlValue(o->name), SqlValue(owner),
                    SqlValue(p.grantee), SqlValue(p.privilege), SqlValue(p.grantable ? "YES" : "NO")});
        }
    }
    ctx.response.resultSet(std::move(rs));
    return 0;
}

// sp_column_privileges: the privileges on each column of one table, the column name a pattern. An
// object-level grant covers every column.
int columnPrivileges(Context& ctx, const std::vector<SqlValue>& a) {
    Database& db = ctx.db();
    checkQualifier(db, a[2], 48);
    ObjectHelpProcedures::requireFullMetadataView(ctx, db);
    ResultSet rs;
    privilegeColumns(rs, true);
    const std::string owner = text(a[1]);
    ObjectDef* o =
        db.findObject(owner.empty() ? bracketed(text(a[0])) : bracketed(owner) + "." + bracketed(text(a[0])));
    if (o && (o->type == "U" || o->type == "V")) {
        std::vector<const TableColumn*> columns;
        for (const TableColumn& c : o->columns) {
            if (matches(c.name, a[3], true)) {
                columns.push_back(&c);
            }
        }
        std::stable_sort(columns.begin(), columns.end(), [](const TableColumn* x, const TableColumn* y) {
            return lower(x->name) < lower(y->name);
        });
        const std::vector<Privilege> list = privileges(db, *o, true);
        const std::string objectOwner = db.ownerName(o->uid);
        for (const TableColumn* c : columns) {
            for (const Privilege& p : list) {
                rs.row({SqlValue(db.name), SqlValue(objectOwner), SqlValue(o->name), SqlValue(c->name),
                        SqlValue(objectOwner), SqlValue(p.grantee), SqlValue(p.privilege),
                        SqlValue(p.grantable ? "YES" : "NO")});
            }
        }
    }
    ctx.response.resultSet(std::move(rs));
    return 0;
}

// sp_server_info: the documented attributes, the version ones taken from the instance's own.
int serverInfo(Context& ctx, const std::vector<SqlValue>& a) {
    const std::string& version = ctx.instance.version;
    // The @@version text: the product name with its year before the first " (", the build number
    // after " - ".
    const size_t dash = version.find(" - ");
    const size_t paren = version.find(" (");
    const std::string product = version.substr(0, std::min(paren, dash));
    std::string build = dash == std::string::npos ? std::string() : version.substr(dash + 3);
    build = build.substr(0, build.find(' '));
    std::vector<std::string> parts;
    for (size_t start = 0; start <= build.size();) {
        size_t dot = build.find('.', start);
        parts.push_back(build.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        start = dot == std::string::npos ? build.size() + 1 : dot + 1;
    }
    std::string sprocVersion;
    if (parts.size() >= 3) {
        sprocVersion = (parts[0].size() < 2 ? "0" + parts[0] : parts[0]) + "." +
                       (parts[1].size() < 2 ? std::string(2 - parts[1].size(), '0') + parts[1] : parts[1]) +
                       "." + parts[2];
    }
    const std::string dbmsName = product.substr(0, product.find_last_of(' '));
    const std::pair<int, std::string> attributes[] = {
        {1, "DBMS_NAME\t" + dbmsName},
        {2, "DBMS_VER\t" + product + " - " + build},
        {10, "OWNER_TERM\towner"},
        {11, "TABLE_TERM\ttable"},
        {12, "MAX_OWNER_NAME_LENGTH\t128"},
        {13, "TABLE_LENGTH\t128"},
        {14, "MAX_QUAL_LENGTH\t128"},
        {15, "COLUMN_LENGTH\t128"},
        {16, "IDENTIFIER_CASE\tMIXED"},
        {17, "TX_ISOLATION\t2"},
        {18, "COLLATION_SEQ\tcharset=iso_1 sort_order=nocase_iso charset_num=1 sort_order_num=52"},
        {19, "SAVEPOINT_SUPPORT\tY"},
        {20, "MULTI_RESULT_SETS\tY"},
        {22, "ACCESSIBLE_TABLES\tY"},
        {100, "USERID_LENGTH\t128"},
        {101, "QUALIFIER_TERM\tdatabase"},
        {102, "NAMED_TRANSACTIONS\tY"},
        {103, "SPROC_AS_LANGUAGE\tY"},
        {104, "ACCESSIBLE_SPROC\tY"},
        {105, "MAX_INDEX_COLS\t16"},
        {106, "RENAME_TABLE\tY"},
        {107, "RENAME_COLUMN\tY"},
        {108, "DROP_COLUMN\tY"},
        {109, "INCREASE_COLUMN_LENGTH\tY"},
        {110, "DDL_IN_TRANSACTION\tY"},
        {111, "DESCENDING_INDEXES\tY"},
        {112, "SP_RENAME\tY"},
        {113, "REMOTE_SPROC\tY"},
        {500, "SYS_SPROC_VERSION\t" + sprocVersion},
    };
    ResultSet rs;
    rs.column("ATTRIBUTE_ID", kInt, false)
        .column("ATTRIBUTE_NAME", ColumnType::of(SqlType::VarChar, 60), false)
        .column("ATTRIBUTE_VALUE", ColumnType::of(SqlType::VarChar, 255));
    for (const auto& [id, nameAndValue] : attributes) {
        if (!a[0].isNull() && a[0].toInt() != id) {
            continue;
        }
        const size_t tab = nameAndValue.find('\t');
        rs.row({number(id), SqlValue(nameAndValue.substr(0, tab)), SqlValue(nameAndValue.substr(tab + 1))});
    }
    ctx.response.resultSet(std::move(rs));
    return 0;
}

} // namespace

void DriverCatalogProcedures::registerAll(ProcedureTable& table) {
    table.add("sp_sproc_columns",
              {"@procedure_name", "@procedure_owner", "@procedure_qualifier", "@column_name", "@ODBCVer",
               "@fUsePattern"},
              procedureColumns);
    table.add("sp_table_privileges", {"@table_name", "@table_owner", "@table_qualifier", "@fUsePattern"},
              tablePrivileges);
    table.add("sp_column_privileges", {"@table_name", "@table_owner", "@table_qualifier", "@column_name"},
              columnPrivileges);
    table.add("sp_server_info", {"@attribute_id"}, serverInfo);
}

} // namespace sqlsim::model
