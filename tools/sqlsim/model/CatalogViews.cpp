#include "CatalogViews.h"

#include "InformationSchemaViews.h"
#include "KeyAndParameterViews.h"
#include "Names.h"
#include "Triggers.h"
#include "TypeInfo.h"

namespace sqlsim::model {

namespace {

const ColumnType kSysname = ColumnType::of(SqlType::NVarChar, 128);
const ColumnType kInt = ColumnType::of(SqlType::Int);
const ColumnType kSmall = ColumnType::of(SqlType::SmallInt);
const ColumnType kTiny = ColumnType::of(SqlType::TinyInt);
const ColumnType kBit = ColumnType::of(SqlType::Bit);
const ColumnType kDate = ColumnType::of(SqlType::DateTime);

void col(Relation& r, const char* name, ColumnType t, bool nullable = true) {
    r.columns.push_back(Column{name, t, nullable, false, false});
}

SqlValue i(int64_t v) {
    return SqlValue(v);
}
SqlValue b(bool v) {
    return SqlValue(v);
}

// The schema of an object's owner: the demo's objects belong to dbo (schema_id 1).
int schemaId(const ObjectDef& o) {
    return o.uid;
}

std::string typeDesc(const std::string& type) {
    static const std::pair<const char*, const char*> names[] = {{"U", "USER_TABLE"},
                                                                {"V", "VIEW"},
                                                                {"P", "SQL_STORED_PROCEDURE"},
                                                                {"FN", "SQL_SCALAR_FUNCTION"},
                                                                {"IF", "SQL_INLINE_TABLE_VALUED_FUNCTION"},
                                                                {"TF", "SQL_TABLE_VALUED_FUNCTION"},
                                                                {"TR", "SQL_TRIGGER"},
                                                                {"D", "DEFAULT_CONSTRAINT"},
                                                                {"F", "FOREIGN_KEY_CONSTRAINT"},
                                                                {"PK", "PRIMARY_KEY_CONSTRAINT"},
                                                                {"UQ", "UNIQUE_CONSTRAINT"},
                                                                {"C", "CHECK_CONSTRAINT"},
                                                                {"S", "SYSTEM_TABLE"},
                                                                {"SQ", "SERVICE_QUEUE"},
                                                                {"IT", "INTERNAL_TABLE"}};
    for (const auto& [code, desc] : names) {
        if (type == code) {
            return desc;
        }
    }
    return type;
}

void objectColumns(Relation& r) {
    col(r, "name", kSysname, false);
    col(r, "object_id", kInt, false);
    col(r, "principal_id", kInt);
    col(r, "schema_id", kInt, false);
    col(r, "parent_object_id", kInt, false);
    col(r, "type", ColumnType::of(SqlType::Char, 2));
    col(r, "type_desc", ColumnType::of(SqlType::NVarChar, 60));
    col(r, "create_date", kDate, false);
    col(r, "modify_date", kDate, false);
    col(r, "is_ms_shipped", kBit, false);
    col(r, "is_published", kBit, false);
    col(r, "is_schema_published", kBit, false);
}

Row objectRow(const ObjectDef& o) {
    std::string type = o.type.size() == 1 ? o.type + " " : o.type;
    return {SqlValue(o.name),
            i(o.id),
            SqlValue::null(),
            i(schemaId(o)),
            i(o.parentId),
            SqlValue(type),
            SqlValue(typeDesc(o.type)),
            SqlValue(o.created),
            SqlValue(o.created),
            b(o.type == "S"),
            b(false),
            b(false)};
}

// The system types sys.types lists, in user_type_id order.
const std::vector<std::string>& typeNames() {
    static const std::vector<std::string> names = {
        "image",     "text",    "uniqueidentifier", "date",       "time",
        "datetime2", "tinyint", "smallint",         "int",        "smalldatetime",
        "real",      "money",   "datetime",         "float",      "ntext",
        "bit",       "decimal", "numeric",          "smallmoney", "bigint",
        "varbinary", "varchar", "binary",           "char",       "nvarchar",
        "nchar"};
    return names;
}

} // namespace

std::optional<Relation> CatalogViews::read(Context& ctx, Database& db, const std::string& schemaName,
                                           const std::string& viewName) {
    const std::string schema = lower(schemaName), v = lower(viewName);
    Instance& inst = ctx.instance;
    Relation r;
    if (schema == "sys") {
        if (auto keys = KeyAndParameterViews::read(ctx, db, v)) {
            return keys;
        }
        if (v == "databases") {
            col(r, "name", kSysname, false);
            col(r, "database_id", kInt, false);
            col(r, "source_database_id", kInt);
            col(r, "owner_sid", ColumnType::of(SqlType::VarBinary, 85));
            col(r, "create_date", kDate, false);
            col(r, "compatibility_level", kTiny, false);
            col(r, "collation_name", kSysname);
            col(r, "user_access_desc", ColumnType::of(SqlType::NVarChar, 60));
            col(r, "is_read_only", kBit);
            col(r, "state", kTiny);
            col(r, "state_desc", ColumnType::of(SqlType::NVarChar, 60));
            col(r, "recovery_model_desc", ColumnType::of(SqlType::NVarChar, 60));
            for (Database* d : inst.databases()) {
                r.rows.push_back({SqlValue(d->name), i(d->dbid), SqlValue::null(), SqlValue(d->ownerSid),
                                  SqlValue(d->created), i(d->compatLevel),
                                  SqlValue("SQL_Latin1_General_CP1_CI_AS"), SqlValue("MULTI_USER"), b(false),
                                  i(0), SqlValue("ONLINE"),
                                  SqlValue(sameName(d->name, "tempdb") || sameName(d->name, "master") ||
                                                   sameName(d->name, "msdb")
                                               ? "SIMPLE"
                                               : "FULL")});
            }
            return r;
        }
        if (v == "objects" || v == "tables" || v == "views" || v == "procedures") {
            objectColumns(r);
            for (const auto& [id, o] : db.objects) {
                if (v == "objects" && o.type == "S") {
                    continue; // system base tables are not listed
                }
                if ((v == "tables" && o.type != "U") || (v == "views" && o.type != "V") ||
                    (v == "procedures" && o.type != "P")) {
                    continue;
                }
                r.rows.push_back(objectRow(o));
            }
            return r;
        }
        if (v == "triggers") {
            // The triggers of tables and views, then those on the database's definition statements.
            col(r, "name", kSysname, false);
            col(r, "object_id", kInt, false);
            col(r, "parent_class", kTiny, false);
            col(r, "parent_class_desc", ColumnType::of(SqlType::NVarChar, 60));
            col(r, "parent_id", kInt, false);
            col(r, "type", ColumnType::of(SqlType::Char, 2), false);
            col(r, "type_desc", ColumnType::of(SqlType::NVarChar, 60));
            col(r, "create_date", kDate, false);
            col(r, "modify_date", kDate, false);
            col(r, "is_ms_shipped", kBit, false);
            col(r, "is_disabled", kBit, false);
            col(r, "is_not_for_replication", kBit, false);
            col(r, "is_instead_of_trigger", kBit, false);
            for (const auto& [id, o] : db.objects) {
                if (o.type == "TR") {
                    r.rows.push_back({SqlValue(o.name), i(id), i(1), SqlValue("OBJECT_OR_COLUMN"),
                                      i(o.parentId), SqlValue("TR"), SqlValue("SQL_TRIGGER"),
                                      SqlValue(o.created), SqlValue(o.created), b(false), b(false), b(false),
                                      b(Triggers::isInsteadOf(o))});
                }
            }
            for (const DatabaseTrigger& t : db.databaseTriggers) {
                r.rows.push_back({SqlValue(t.name), i(t.id), i(0), SqlValue("DATABASE"), i(0), SqlValue("TR"),
                                  SqlValue("SQL_TRIGGER"), SqlValue(t.created), SqlValue(t.created), b(false),
                                  b(t.disabled), b(false), b(false)});
            }
            return r;
        }
        if (v == "schemas") {
            col(r, "name", kSysname, false);
            col(r, "schema_id", kInt, false);
            col(r, "principal_id", kInt);
            r.rows.push_back({SqlValue("dbo"), i(1), i(1)});
            r.rows.push_back({SqlValue("guest"), i(2), i(2)});
            r.rows.push_back({SqlValue("INFORMATION_SCHEMA"), i(3), i(3)});
            r.rows.push_back({SqlValue("sys"), i(4), i(4)});
            return r;
        }
        if (v == "indexes") {
            // A table without a clustered primary key is a heap (index 0); its primary key is
            // index 1 when clustered, else 2.
            col(r, "object_id", kInt, false);
            col(r, "name", kSysname);
            col(r, "index_id", kInt, false);
            col(r, "type", kTiny, false);
            col(r, "type_desc", ColumnType::of(SqlType::NVarChar, 60));
            col(r, "is_unique", kBit);
            col(r, "data_space_id", kInt);
            col(r, "ignore_dup_key", kBit);
            col(r, "is_primary_key", kBit);
            col(r, "is_unique_constraint", kBit);
            col(r, "fill_factor", kTiny, false);
            col(r, "is_padded", kBit);
            col(r, "is_disabled", kBit);
            col(r, "is_hypothetical", kBit);
            col(r, "allow_row_locks", kBit);
            col(r, "allow_page_locks", kBit);
            col(r, "has_filter", kBit);
            col(r, "filter_definition", ColumnType::of(SqlType::NVarChar, ColumnType::kMax));
            for (const auto& [id, o] : db.objects) {
                if (o.type != "U") {
                    continue;
                }
                const bool clustered = o.primaryKeyId != 0 && o.primaryKeyClustered;
                if (!clustered) {
                    r.rows.push_back({i(id), SqlValue::null(), i(0), i(0), SqlValue("HEAP"), b(false), i(1),
                                      b(false), b(false), b(false), i(0), b(false), b(false), b(false),
                                      b(true), b(true), b(false), SqlValue::null()});
                }
                if (o.primaryKeyId != 0) {
                    auto key = db.objects.find(o.primaryKeyId);
                    r.rows.push_back({i(id),
                                      key == db.objects.end() ? SqlValue::null() : SqlValue(key->second.name),
                                      i(clustered ? 1 : 2), i(clustered ? 1 : 2),
                                      SqlValue(clustered ? "CLUSTERED" : "NONCLUSTERED"), b(true), i(1),
                                      b(false), b(true), b(false), i(0), b(false), b(false), b(false),
                                      b(true), b(true), b(false), SqlValue::null()});
                }
            }
            return r;
        }
        if (v == "foreign_keys") {
            objectColumns(r);
            col(r, "referenced_object_id", kInt);
            col(r, "key_index_id", kInt);
            col(r, "is_disabled", kBit, false);
            col(r, "is_not_for_replication", kBit, false);
            col(r, "is_not_trusted", kBit, false);
            col(r, "delete_referential_action", kTiny);
            col(r, "delete_referential_action_desc", ColumnType::of(SqlType::NVarChar, 60));
            col(r, "update_referential_action", kTiny);
            col(r, "update_referential_action_desc", ColumnType::of(SqlType::NVarChar, 60));
            col(r, "is_system_named", kBit, false);
            for (const auto& [id, o] : db.objects) {
                for (const ForeignKey& fk : o.foreignKeys) {
                    auto f = db.objects.find(fk.id);
                    auto ref = db.objects.find(fk.refTableId);
                    if (f == db.objects.end()) {
                        continue;
                    }
                    Row row = objectRow(f->second);
                    const bool refClustered = ref != db.objects.end() && ref->second.primaryKeyClustered;
                    for (SqlValue v2 :
                         {i(fk.refTableId), i(refClustered ? 1 : 2), b(false), b(false), b(false),
                          i(fk.deleteCascade ? 1 : 0), SqlValue(fk.deleteCascade ? "CASCADE" : "NO_ACTION"),
                          i(0), SqlValue("NO_ACTION"), b(false)}) {
                        row.push_back(std::move(v2));
                    }
                    r.rows.push_back(std::move(row));
                }
            }
            return r;
        }
        if (v == "foreign_key_columns") {
            col(r, "constraint_object_id", kInt, false);
            col(r, "constraint_column_id", kInt, false);
            col(r, "parent_object_id", kInt, false);
            col(r, "parent_column_id", kInt, false);
            col(r, "referenced_object_id", kInt, false);
            col(r, "referenced_column_id", kInt, false);
            for (const auto& [id, o] : db.objects) {
                for (const ForeignKey& fk : o.foreignKeys) {
                    auto ref = db.objects.find(fk.refTableId);
                    const int refColumn =
                        ref == db.objects.end() ? -1 : ref->second.columnIndex(fk.refColumn);
                    r.rows.push_back({i(fk.id), i(1), i(id), i(o.columnIndex(fk.column) + 1),
                                      i(fk.refTableId), i(refColumn + 1)});
                }
            }
            return r;
        }
        if (v == "columns") {
            col(r, "object_id", kInt, false);
            col(r, "name", kSysname);
            col(r, "column_id", kInt, false);
            col(r, "system_type_id", kTiny, false);
            col(r, "user_type_id", kInt, false);
            col(r, "max_length", kSmall, false);
            col(r, "precision", kTiny, false);
            col(r, "scale", kTiny, false);
            col(r, "collation_name", kSysname);
            col(r, "is_nullable", kBit);
            col(r, "is_identity", kBit, false);
            col(r, "is_computed", kBit, false);
            for (const auto& [id, o] : db.objects) {
                if (o.type != "U" && o.type != "V" && o.type != "IF" && o.type != "TF") {
                    continue;
                }
                for (size_t k = 0; k < o.columns.size(); ++k) {
                    const TableColumn& c = o.columns[k];
                    const int xtype = TypeInfo::xtype(c.type);
                    const bool numeric = c.type.type == SqlType::Decimal || c.type.type == SqlType::Numeric;
                    r.rows.push_back(
                        {i(id), SqlValue(c.name), i(int64_t(k + 1)), i(xtype), i(xtype),
                         i(TypeInfo::storageLength(c.type)),
                         i(c.type.isCharacter() || c.type.isBinary() ? 0 : TypeInfo::precision(c.type)),
                         i(numeric ? TypeInfo::scale(c.type) : 0),
                         c.type.isCharacter() ? SqlValue("SQL_Latin1_General_CP1_CI_AS") : SqlValue::null(),
                         b(c.nullable), b(c.identity), b(c.isComputed())});
                }
            }
            return r;
        }
        if (v == "types") {
            col(r, "name", kSysname, false);
            col(r, "system_type_id", kTiny, false);
            col(r, "user_type_id", kInt, false);
            col(r, "schema_id", kInt, false);
            col(r, "max_length", kSmall, false);
            col(r, "precision", kTiny, false);
            col(r, "scale", kTiny, false);
            col(r, "is_nullable", kBit);
            col(r, "is_user_defined", kBit, false);
            for (const std::string& name : typeNames()) {
                ColumnType t;
                TypeInfo::parse(name, t);
                const bool sized = t.isCharacter() || t.isBinary();
                const int length = name == "nvarchar" || name == "nchar" ? 8000
                                   : sized && name != "text" && name != "ntext" && name != "image"
                                       ? 8000
                                       : TypeInfo::storageLength(t);
                r.rows.push_back({SqlValue(name), i(TypeInfo::xtype(t)), i(TypeInfo::xtype(t)), i(4),
                                  i(length), i(sized ? 0 : TypeInfo::precision(t)), i(TypeInfo::scale(t)),
                                  b(true), b(false)});
            }
            return r;
        }
        if (v == "server_principals") {
            col(r, "name", kSysname, false);
            col(r, "principal_id", kInt, false);
            col(r, "sid", ColumnType::of(SqlType::VarBinary, 85));
            col(r, "type", ColumnType::of(SqlType::Char, 1), false);
            col(r, "type_desc", ColumnType::of(SqlType::NVarChar, 60));
            col(r, "is_disabled", kBit);
            col(r, "create_date", kDate, false);
            col(r, "default_database_name", kSysname);
            col(r, "default_language_name", kSysname);
            int id = 256;
            for (Login* l : inst.logins()) {
                r.rows.push_back({SqlValue(l->name), i(sameName(l->name, "sa") ? 1 : ++id), SqlValue(l->sid),
                                  SqlValue("S"), SqlValue("SQL_LOGIN"), b(false), SqlValue(l->created),
                                  SqlValue(l->defaultDatabase), SqlValue(l->language)});
            }
            int roleId = 2;
            for (const auto& [name, desc] : Instance::serverRoles()) {
                r.rows.push_back({SqlValue(name), i(sameName(name, "public") ? 2 : ++roleId),
                                  SqlValue::null(), SqlValue("R"), SqlValue("SERVER_ROLE"), b(false),
                                  SqlValue(db.created), SqlValue::null(), SqlValue::null()});
            }
            return r;
        }
        if (v == "server_role_members") {
            col(r, "role_principal_id", kInt, false);
            col(r, "member_principal_id", kInt, false);
            auto principals = read(ctx, db, "sys", "server_principals");
            auto idOf = [&](const std::string& name) {
                for (const Row& row : principals->rows) {
                    if (sameName(row[0].toText(), name)) {
                        return row[1].toInt();
                    }
                }
                return int64_t(0);
            };
            for (Login* l : inst.logins()) {
                for (const std::string& role : l->serverRoles) {
                    r.rows.push_back({i(idOf(role)), i(idOf(l->name))});
                }
            }
            return r;
        }
        if (v == "database_principals") {
            col(r, "name", kSysname, false);
            col(r, "principal_id", kInt, false);
            col(r, "type", ColumnType::of(SqlType::Char, 1), false);
            col(r, "type_desc", ColumnType::of(SqlType::NVarChar, 60));
            col(r, "default_schema_name", kSysname);
            col(r, "create_date", kDate, false);
            col(r, "owning_principal_id", kInt);
            col(r, "sid", ColumnType::of(SqlType::VarBinary, 85));
            col(r, "is_fixed_role", kBit, false);
            for (const auto& [uid, p] : db.principals) {
                r.rows.push_back({SqlValue(p.name), i(uid), SqlValue(p.isRole ? "R" : "S"),
                                  SqlValue(p.isRole ? "DATABASE_ROLE" : "SQL_USER"),
                                  p.isRole ? SqlValue::null() : SqlValue("dbo"), SqlValue(p.created),
                                  p.isRole ? i(1) : SqlValue::null(),
                                  p.sid ? SqlValue(*p.sid) : SqlValue::null(), b(p.fixedRole)});
            }
            return r;
        }
        if (v == "database_role_members") {
            col(r, "role_principal_id", kInt, false);
            col(r, "member_principal_id", kInt, false);
            for (const auto& [member, role] : db.members) {
                r.rows.push_back({i(role), i(member)});
            }
            return r;
        }
        if (v == "servers") {
            col(r, "server_id", kInt, false);
            col(r, "name", kSysname, false);
            col(r, "product", kSysname, false);
            col(r, "provider", kSysname, false);
            col(r, "data_source", ColumnType::of(SqlType::NVarChar, 4000));
            col(r, "is_linked", kBit, false);
            col(r, "is_remote_login_enabled", kBit, false);
            col(r, "is_rpc_out_enabled", kBit, false);
            col(r, "is_data_access_enabled", kBit, false);
            r.rows.push_back({i(0), SqlValue(inst.serverName), SqlValue("SQL Server"), SqlValue("SQLNCLI"),
                              SqlValue(inst.serverName), b(false), b(true), b(true), b(false)});
            for (const LinkedServer& s : inst.servers()) {
                r.rows.push_back({i(s.srvid), SqlValue(s.name), SqlValue(s.product), SqlValue(s.provider),
                                  SqlValue(s.dataSource), b(!s.isRemote), b(true), b(true), b(!s.isRemote)});
            }
            return r;
        }
        if (v == "dm_exec_sessions") {
            col(r, "session_id", kSmall, false);
            col(r, "login_time", kDate, false);
            col(r, "host_name", kSysname);
            col(r, "program_name", kSysname);
            col(r, "login_name", kSysname, false);
            col(r, "status", kSysname, false);
            col(r, "is_user_process", kBit, false);
            for (const auto& [spid, p] : inst.processes()) {
                r.rows.push_back({i(spid), SqlValue(p.lastBatch), SqlValue(p.hostName),
                                  SqlValue(p.programName), SqlValue(p.login), SqlValue(p.status),
                                  b(spid > 50)});
            }
            return r;
        }
        return std::nullopt;
    }
    if (schema == "information_schema") {
        const SqlValue catalog(db.name);
        if (v == "tables") {
            col(r, "TABLE_CATALOG", kSysname);
            col(r, "TABLE_SCHEMA", kSysname);
            col(r, "TABLE_NAME", kSysname, false);
            col(r, "TABLE_TYPE", ColumnType::of(SqlType::VarChar, 10));
            for (const auto& [id, o] : db.objects) {
                if (o.type == "U" || o.type == "V") {
                    r.rows.push_back({catalog, SqlValue(db.ownerName(o.uid)), SqlValue(o.name),
                                      SqlValue(o.type == "U" ? "BASE TABLE" : "VIEW")});
                }
            }
            return r;
        }
        if (v == "columns") {
            col(r, "TABLE_CATALOG", kSysname);
            col(r, "TABLE_SCHEMA", kSysname);
            col(r, "TABLE_NAME", kSysname, false);
            col(r, "COLUMN_NAME", kSysname);
            col(r, "ORDINAL_POSITION", kInt);
            col(r, "COLUMN_DEFAULT", ColumnType::of(SqlType::NVarChar, 4000));
            col(r, "IS_NULLABLE", ColumnType::of(SqlType::VarChar, 3));
            col(r, "DATA_TYPE", kSysname);
            col(r, "CHARACTER_MAXIMUM_LENGTH", kInt);
            col(r, "NUMERIC_PRECISION", kTiny);
            col(r, "NUMERIC_SCALE", kInt);
            for (const auto& [id, o] : db.objects) {
                if (o.type != "U" && o.type != "V") {
                    continue;
                }
                for (size_t k = 0; k < o.columns.size(); ++k) {
                    const TableColumn& c = o.columns[k];
                    SqlValue def = SqlValue::null();
                    for (const auto& [did, d] : db.objects) {
                        if (d.type == "D" && d.parentId == id && d.name.find(c.name) != std::string::npos) {
                            def = SqlValue(d.source);
                        }
                    }
                    const bool chars = c.type.isCharacter() || c.type.isBinary();
                    const bool exact =
                        !chars && c.type.type != SqlType::DateTime && c.type.type != SqlType::Date &&
                        c.type.type != SqlType::UniqueIdentifier && c.type.type != SqlType::Bit;
                    r.rows.push_back({catalog, SqlValue(db.ownerName(o.uid)), SqlValue(o.name),
                                      SqlValue(c.name), i(int64_t(k + 1)), def,
                                      SqlValue(c.nullable ? "YES" : "NO"), SqlValue(TypeInfo::name(c.type)),
                                      chars ? i(c.type.length) : SqlValue::null(),
                                      exact ? i(TypeInfo::precision(c.type)) : SqlValue::null(),
                                      exact ? i(TypeInfo::scale(c.type)) : SqlValue::null()});
                }
            }
            return r;
        }
        if (v == "routines") {
            col(r, "SPECIFIC_CATALOG", kSysname);
            col(r, "SPECIFIC_SCHEMA", kSysname);
            col(r, "SPECIFIC_NAME", kSysname, false);
            col(r, "ROUTINE_CATALOG", kSysname);
            col(r, "ROUTINE_SCHEMA", kSysname);
            col(r, "ROUTINE_NAME", kSysname, false);
            col(r, "ROUTINE_TYPE", ColumnType::of(SqlType::NVarChar, 20));
            col(r, "ROUTINE_DEFINITION", ColumnType::of(SqlType::NVarChar, 4000));
            col(r, "CREATED", kDate, false);
            col(r, "LAST_ALTERED", kDate, false);
            for (const auto& [id, o] : db.objects) {
                if (o.type != "P" && o.type != "FN" && o.type != "IF" && o.type != "TF") {
                    continue;
                }
                SqlValue owner(db.ownerName(o.uid));
                r.rows.push_back({catalog, owner, SqlValue(o.name), catalog, owner, SqlValue(o.name),
                                  SqlValue(o.type == "P" ? "PROCEDURE" : "FUNCTION"),
                                  SqlValue(characterPrefix(o.source, 4000)), SqlValue(o.created),
                                  SqlValue(o.created)});
            }
            return r;
        }
        return InformationSchemaViews::read(db, v);
    }
    return std::nullopt;
}

} // namespace sqlsim::model
