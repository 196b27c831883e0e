#include "ObjectHelpProcedures.h"

#include "HelpProcedures.h"
#include "ModuleDefinition.h"
#include "Names.h"
#include "Permissions.h"
#include "SqlLexer.h"
#include "TypeInfo.h"

#include <algorithm>

namespace sqlsim::model {

namespace {

const ColumnType kSysname = ColumnType::of(SqlType::NVarChar, 128);

SqlValue number(int64_t n) {
    return SqlValue(n);
}

// The words sp_help gives each object type.
std::string typeWords(const std::string& type) {
    static const std::pair<const char*, const char*> words[] = {
        {"C", "check cns"},        {"D", "default (maybe cns)"},
        {"F", "foreign key cns"},  {"FN", "scalar function"},
        {"IF", "inline function"}, {"P", "stored procedure"},
        {"PK", "primary key cns"}, {"S", "system table"},
        {"SQ", "queue"},           {"TF", "table function"},
        {"TR", "trigger"},         {"U", "user table"},
        {"UQ", "unique key cns"},  {"V", "view"}};
    for (const auto& [code, text] : words) {
        if (type == code) {
            return text;
        }
    }
    return {};
}

ResultSet objectHead(Database& db, const ObjectDef& o) {
    ResultSet rs;
    rs.column("Name", kSysname, false)
        .column("Owner", kSysname)
        .column("Type", ColumnType::of(SqlType::NVarChar, 31))
        .column("Created_datetime", ColumnType::of(SqlType::DateTime), false);
    rs.row(
        {SqlValue(o.name), SqlValue(db.ownerName(o.uid)), SqlValue(typeWords(o.type)), SqlValue(o.created)});
    return rs;
}

// Precision and scale as sp_help shows them: char(5), blank for types without them.
SqlValue fiveChars(const std::string& s) {
    return SqlValue(s + std::string(s.size() < 5 ? 5 - s.size() : 0, ' '));
}

bool numeric(SqlType t) {
    switch (t) {
    case SqlType::TinyInt:
    case SqlType::SmallInt:
    case SqlType::Int:
    case SqlType::BigInt:
    case SqlType::Real:
    case SqlType::Float:
    case SqlType::Decimal:
    case SqlType::Numeric:
    case SqlType::Money:
    case SqlType::SmallMoney:
        return true;
    default:
        return false;
    }
}

// The columns of a table, a view or a table-valued function.
ResultSet columnsOf(const ObjectDef& t) {
    ResultSet cols;
    const ColumnType yesNo = ColumnType::of(SqlType::VarChar, 35);
    cols.column("Column_name", kSysname)
        .column("Type", kSysname)
        .column("Computed", yesNo)
        .column("Length", ColumnType::of(SqlType::Int))
        .column("Prec", ColumnType::of(SqlType::Char, 5))
        .column("Scale", ColumnType::of(SqlType::Char, 5))
        .column("Nullable", yesNo)
        .column("TrimTrailingBlanks", yesNo)
        .column("FixedLenNullInSource", yesNo)
        .column("Collation", kSysname);
    for (const TableColumn& c : t.columns) {
        const SqlType st = c.type.type;
        const bool fixedLength = st == SqlType::Char || st == SqlType::NChar || st == SqlType::Binary;
        const bool varying = st == SqlType::VarChar || st == SqlType::NVarChar || st == SqlType::VarBinary;
        const bool shown = numeric(st);
        cols.row({SqlValue(c.name), SqlValue(TypeInfo::name(c.type)), SqlValue(c.isComputed() ? "yes" : "no"),
                  number(TypeInfo::storageLength(c.type)),
                  fiveChars(shown ? std::to_string(TypeInfo::precision(c.type)) : std::string()),
                  fiveChars(shown ? std::to_string(TypeInfo::scale(c.type)) : std::string()),
                  SqlValue(c.nullable ? "yes" : "no"), SqlValue(fixedLength || varying ? "no" : "(n/a)"),
                  SqlValue(fixedLength ? (c.nullable ? "yes" : "no")
                           : varying   ? "no"
                                       : "(n/a)"),
                  c.type.isCharacter() ? SqlValue(std::string("SQL_Latin1_General_CP1_CI_AS"))
                                       : SqlValue::null()});
    }
    return cols;
}

// Its identity column, or the row that says it has none.
ResultSet identityOf(const ObjectDef& t) {
    ResultSet identity;
    const ColumnType seedType = ColumnType::of(SqlType::Numeric, 0, 38, 0);
    identity.column("Identity", kSysname)
        .column("Seed", seedType)
        .column("Increment", seedType)
        .column("Not For Replication", ColumnType::of(SqlType::Int));
    const int idCol = t.identityColumn();
    if (idCol >= 0) {
        const TableColumn& c = t.columns[size_t(idCol)];
        identity.row({SqlValue(c.name), number(c.identitySeed), number(c.identityStep), number(0)});
    } else {
        identity.row({SqlValue(std::string("No identity column defined.")), SqlValue::null(),
                      SqlValue::null(), SqlValue::null()});
    }
    return identity;
}

ResultSet noRowGuid() {
    ResultSet rowGuid;
    rowGuid.column("RowGuidCol", kSysname).row({SqlValue(std::string("No rowguidcol column defined."))});
    return rowGuid;
}

void describeTable(Context& ctx, Database& db, const ObjectDef& t) {
    Response& out = ctx.response;
    out.resultSet(objectHead(db, t));
    out.resultSet(columnsOf(t));
    out.resultSet(identityOf(t));
    out.resultSet(noRowGuid());
    ResultSet fileGroup;
    fileGroup.column("Data_located_on_filegroup", kSysname).row({SqlValue(std::string("PRIMARY"))});
    out.resultSet(std::move(fileGroup));

    // The model's only index is the primary key's.
    const ObjectDef* pk = t.primaryKeyId ? db.object(t.primaryKeyId) : nullptr;
    std::string keys;
    for (size_t k = 0; k < t.primaryKeyColumns.size(); ++k) {
        const bool descending = k < t.primaryKeyDescending.size() && t.primaryKeyDescending[k];
        keys += (k ? ", " : "") + t.primaryKeyColumns[k] + (descending ? "(-)" : "");
    }
    if (pk) {
        ResultSet indexes;
        indexes.column("index_name", kSysname)
            .column("index_description", ColumnType::of(SqlType::VarChar, 210))
            .column("index_keys", ColumnType::of(SqlType::NVarChar, 2126));
        indexes.row({SqlValue(pk->name),
                     SqlValue(std::string(t.primaryKeyClustered ? "clustered" : "nonclustered") +
                              ", unique, primary key located on PRIMARY"),
                     SqlValue(keys)});
        out.resultSet(std::move(indexes));
    } else {
        out.info("The object '" + t.name + "' does not have any indexes, or you do not have permissions.",
                 15472);
    }

    ResultSet constraints;
    const ColumnType action = ColumnType::of(SqlType::NVarChar, 9);
    constraints.column("constraint_type", ColumnType::of(SqlType::NVarChar, 146))
        .column("constraint_name", kSysname)
        .column("delete_action", action)
        .column("update_action", action)
        .column("status_enabled", ColumnType::of(SqlType::VarChar, 8))
        .column("status_for_replication", ColumnType::of(SqlType::VarChar, 19))
        .column("constraint_keys", ColumnType::of(SqlType::NVarChar, 2126));
    const SqlValue na(std::string("(n/a)"));
    std::vector<std::pair<std::string, std::vector<Row>>> found; // by constraint type and name
    for (const TableColumn& c : t.columns) {
        const ObjectDef* d = c.defaultId ? db.object(c.defaultId) : nullptr;
        if (d) {
            const std::string type = "DEFAULT on column " + c.name;
            found.push_back({lower(type + " " + d->name),
                             {{SqlValue(type), SqlValue(d->name), na, na, na, na, SqlValue(c.defaultText)}}});
        }
    }
    for (const ForeignKey& fk : t.foreignKeys) {
        const ObjectDef* ref = db.object(fk.refTableId);
        const std::string target =
            ref ? db.name + "." + db.ownerName(ref->uid) + "." + ref->name : std::string();
        const SqlValue blank(std::string(" "));
        found.push_back({lower("FOREIGN KEY " + fk.name),
                         {{SqlValue(std::string("FOREIGN KEY")), SqlValue(fk.name),
                           SqlValue(std::string(fk.deleteCascade ? "Cascade" : "No Action")),
                           SqlValue(std::string("No Action")), SqlValue(std::string("Enabled")),
                           SqlValue(std::string("Is_For_Replication")), SqlValue(fk.column)},
                          {blank, blank, blank, blank, blank, blank,
                           SqlValue("REFERENCES " + target + " (" + fk.refColumn + ")")}}});
    }
    if (pk) {
        const std::string type =
            std::string("PRIMARY KEY (") + (t.primaryKeyClustered ? "clustered" : "non-clustered") + ")";
        found.push_back({lower(type + " " + pk->name),
                         {{SqlValue(type), SqlValue(pk->name), na, na, na, na, SqlValue(keys)}}});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    for (auto& f : found) {
        for (Row& r : f.second) {
            constraints.row(std::move(r));
        }
    }
    if (constraints.rows.empty()) {
        out.info("No constraints are defined on object '" + t.name + "', or you do not have permissions.",
                 15469);
    } else {
        out.resultSet(std::move(constraints));
    }

    ResultSet referenced;
    referenced.column("Table is referenced by foreign key", ColumnType::of(SqlType::NVarChar, 516));
    for (auto& [id, other] : db.objects) {
        for (const ForeignKey& fk : other.foreignKeys) {
            if (fk.refTableId == t.id) {
                referenced.row(
                    {SqlValue(db.name + "." + db.ownerName(other.uid) + "." + other.name + ": " + fk.name)});
            }
        }
    }
    if (referenced.rows.empty()) {
        out.info("No foreign keys reference table '" + t.name +
                     "', or you do not have permissions on referencing tables.",
                 15470);
    } else {
        out.resultSet(std::move(referenced));
    }
    out.info("No views with schema binding reference table '" + t.name + "'.", 15647);
}

// A procedure or scalar function: its head, then its parameters (a function's result first, unnamed).
// A view or table-valued function: its head and its columns (for a view or a multi-statement
// function, then the identity and rowguid sets as for a table), then a function's parameters.
void describeModule(Context& ctx, Database& db, const ObjectDef& o) {
    std::vector<Token> tokens = SqlLexer::tokenize(o.source);
    size_t head = 0;
    while (head < tokens.size() && tokens[head].isSymbol(";")) {
        ++head;
    }
    std::optional<ModuleDefinition> def = ModuleDefinition::read(tokens, head);
    if (!def) {
        throw SqlError(50000, 16, "__not_supported__");
    }
    ctx.response.resultSet(objectHead(db, o));
    if (o.type == "V" || o.type == "IF" || o.type == "TF") {
        ctx.response.resultSet(columnsOf(o));
        if (o.type != "IF") {
            ctx.response.resultSet(identityOf(o));
            ctx.response.resultSet(noRowGuid());
        }
    }
    if (def->parameters.empty()) {
        return;
    }
    ResultSet rs;
    rs.column("Parameter_name", kSysname)
        .column("Type", kSysname)
        .column("Length", ColumnType::of(SqlType::SmallInt))
        .column("Prec", ColumnType::of(SqlType::Int))
        .column("Scale", ColumnType::of(SqlType::Int))
        .column("Param_order", ColumnType::of(SqlType::Int))
        .column("Collation", kSysname);
    int order = o.type == "FN" ? 0 : 1;
    for (const ModuleParameter& p : def->parameters) {
        rs.row({SqlValue(p.name), SqlValue(TypeInfo::name(p.type)), number(TypeInfo::storageLength(p.type)),
                number(TypeInfo::precision(p.type)), number(TypeInfo::scale(p.type)), number(order++),
                p.type.isCharacter() ? SqlValue(std::string("SQL_Latin1_General_CP1_CI_AS"))
                                     : SqlValue::null()});
    }
    ctx.response.resultSet(std::move(rs));
}

int help(Context& ctx, const std::vector<SqlValue>& a) {
    Database& db = ctx.db();
    ObjectHelpProcedures::requireFullMetadataView(ctx, db);
    if (a[0].isNull()) {
        ResultSet objects;
        objects.column("Name", kSysname, false)
            .column("Owner", kSysname)
            .column("Object_type", ColumnType::of(SqlType::NVarChar, 31));
        std::vector<Row> rows;
        for (auto& [id, o] : db.objects) {
            rows.push_back({SqlValue(o.name), SqlValue(db.ownerName(o.uid)), SqlValue(typeWords(o.type))});
        }
        // By type, the last first, then by name.
        std::stable_sort(rows.begin(), rows.end(), [](const Row& x, const Row& y) {
            return x[2].toText() != y[2].toText() ? x[2].toText() > y[2].toText()
                                                  : lower(x[0].toText()) < lower(y[0].toText());
        });
        objects.rows = std::move(rows);
        ctx.response.resultSet(std::move(objects));
        // The user-defined data types: the model has none.
        ResultSet types;
        types.column("User_type", kSysname)
            .column("Storage_type", kSysname)
            .column("Length", ColumnType::of(SqlType::SmallInt))
            .column("Prec", ColumnType::of(SqlType::Int))
            .column("Scale", ColumnType::of(SqlType::Int))
            .column("Nullable", ColumnType::of(SqlType::VarChar, 35))
            .column("Default_name", kSysname)
            .column("Rule_name", kSysname)
            .column("Collation", kSysname);
        ctx.response.resultSet(std::move(types));
        return 0;
    }
    const std::string name = a[0].toText();
    ObjectDef* o = db.findObject(name);
    if (!o) {
        HelpProcedures::noSuchObject(name, db);
    }
    if (o->isTable()) {
        describeTable(ctx, db, *o);
    } else if (o->type == "P" || o->type == "FN" || o->type == "V" || o->type == "IF" ||
               (o->type == "TF" && !o->columns.empty())) {
        describeModule(ctx, db, *o);
    } else {
        throw SqlError(50000, 16, "__not_supported__"); // triggers, constraints
    }
    return 0;
}

// sp_helpuser: every user (or one) with each role it belongs to, public when none; for a role, its
// members.
int helpUser(Context& ctx, const std::vector<SqlValue>& a) {
    Database& db = ctx.db();
    ObjectHelpProcedures::requireFullMetadataView(ctx, db);
    const DbPrincipal* named = nullptr;
    if (!a[0].isNull()) {
        named = db.principal(a[0].toText());
        if (!named) {
            throw SqlError(15198, 16,
                           "The name supplied (" + a[0].toText() + ") is not a user, role, or aliased login.",
                           1);
        }
    }
    auto byName = [&db](int x, int y) { return lower(db.principal(x)->name) < lower(db.principal(y)->name); };
    if (named && named->isRole) {
        ResultSet rs;
        rs.column("Role_name", kSysname)
            .column("Role_id", ColumnType::of(SqlType::SmallInt))
            .column("Users_in_role", kSysname)
            .column("Userid", ColumnType::of(SqlType::SmallInt));
        std::vector<int> members;
        for (const auto& [member, role] : db.members) {
            if (role == named->uid && db.principal(member)) {
                members.push_back(member);
            }
        }
        std::sort(members.begin(), members.end(), byName);
        for (int m : members) {
            rs.row({SqlValue(named->name), number(named->uid), SqlValue(db.principal(m)->name), number(m)});
        }
        ctx.response.resultSet(std::move(rs));
        return 0;
    }
    ResultSet rs;
    rs.column("UserName", kSysname)
        .column("RoleName", kSysname)
        .column("LoginName", kSysname)
        .column("DefDBName", kSysname)
        .column("DefSchemaName", kSysname)
        .column("UserID", ColumnType::of(SqlType::SmallInt))
        .column("SID", ColumnType::of(SqlType::VarBinary, 85));
    std::vector<int> users;
    for (const auto& [uid, p] : db.principals) {
        if (!p.isRole && (!named || uid == named->uid)) {
            users.push_back(uid);
        }
    }
    std::sort(users.begin(), users.end(), byName);
    for (int uid : users) {
        const DbPrincipal& p = *db.principal(uid);
        const Login* login = nullptr;
        for (Login* l : ctx.instance.logins()) {
            if (p.sid && l->sid == *p.sid) {
                login = l;
            }
        }
        std::vector<int> roles;
        for (const auto& [member, role] : db.members) {
            if (member == uid && db.principal(role)) {
                roles.push_back(role);
            }
        }
        std::sort(roles.begin(), roles.end(), byName);
        if (roles.empty()) {
            roles.push_back(Database::kPublicUid);
        }
        const bool system = uid == 3 || uid == 4; // INFORMATION_SCHEMA and sys have no default schema
        for (int role : roles) {
            rs.row({SqlValue(p.name), SqlValue(db.principal(role)->name),
                    login ? SqlValue(login->name) : SqlValue::null(),
                    login ? SqlValue(login->defaultDatabase) : SqlValue::null(),
                    system ? SqlValue::null() : SqlValue(std::string("dbo")), number(uid),
                    p.sid ? SqlValue(*p.sid) : SqlValue::null()});
        }
    }
    ctx.response.resultSet(std::move(rs));
    return 0;
}

} // namespace

void ObjectHelpProcedures::requireFullMetadataView(Context& ctx, Database& db) {
    if (!Permissions::dbOwner(ctx, db)) {
        throw SqlError(50000, 16, "__not_supported__");
    }
}

void ObjectHelpProcedures::registerAll(ProcedureTable& table) {
    table.add("sp_help", {"@objname"}, help);
    table.add("sp_helpuser", {"@name_in_db"}, helpUser);
}

} // namespace sqlsim::model
