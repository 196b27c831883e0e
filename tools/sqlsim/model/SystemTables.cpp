#include "SystemTables.h"

#include "Names.h"
#include "TypeInfo.h"

namespace sqlsim::model {

namespace {

const ColumnType kSysname = ColumnType::of(SqlType::NVarChar, 128);
const ColumnType kInt = ColumnType::of(SqlType::Int);
const ColumnType kSmall = ColumnType::of(SqlType::SmallInt);

void col(Relation& r, const char* name, ColumnType t, bool nullable = true) {
    r.columns.push_back(Column{name, t, nullable, false, false});
}

SqlValue sidValue(const std::optional<Bytes>& sid) {
    return sid ? SqlValue(*sid) : SqlValue::null();
}

} // namespace

std::optional<Relation> SystemTables::read(Context& ctx, Database& db, const std::string& viewName) {
    std::string v = lower(viewName);
    Relation r;
    if (v == "sysobjects") {
        col(r, "name", kSysname, false);
        col(r, "id", kInt, false);
        col(r, "xtype", ColumnType::of(SqlType::Char, 2), false);
        col(r, "uid", kSmall);
        col(r, "parent_obj", kInt, false);
        col(r, "crdate", ColumnType::of(SqlType::DateTime), false);
        col(r, "type", ColumnType::of(SqlType::Char, 2));
        for (const auto& [id, o] : db.objects) {
            std::string type =
                o.type == "PK" || o.type == "UQ" ? "K " : (o.type.size() == 1 ? o.type + " " : o.type);
            std::string xtype = o.type.size() == 1 ? o.type + " " : o.type;
            r.rows.push_back({SqlValue(o.name), SqlValue(int64_t(id)), SqlValue(xtype),
                              SqlValue(int64_t(o.uid)), SqlValue(int64_t(o.parentId)), SqlValue(o.created),
                              SqlValue(type)});
        }
        return r;
    }
    if (v == "syscolumns") {
        col(r, "name", kSysname);
        col(r, "id", kInt, false);
        col(r, "xtype", ColumnType::of(SqlType::TinyInt), false);
        col(r, "length", kSmall, false);
        col(r, "colid", kSmall, false);
        col(r, "cdefault", kInt, false);
        col(r, "prec", kSmall);
        col(r, "scale", kInt);
        col(r, "status", ColumnType::of(SqlType::TinyInt));
        col(r, "iscomputed", kInt);
        col(r, "isnullable", kInt);
        for (const auto& [id, o] : db.objects) {
            for (size_t i = 0; i < o.columns.size(); ++i) {
                const TableColumn& c = o.columns[i];
                int status = (c.nullable ? 0x08 : 0) | (c.identity ? 0x80 : 0);
                r.rows.push_back(
                    {SqlValue(c.name), SqlValue(int64_t(id)), SqlValue(int64_t(TypeInfo::xtype(c.type))),
                     SqlValue(int64_t(TypeInfo::storageLength(c.type))), SqlValue(int64_t(i + 1)),
                     SqlValue(int64_t(c.defaultId)), SqlValue(int64_t(TypeInfo::precision(c.type))),
                     SqlValue(int64_t(TypeInfo::scale(c.type))), SqlValue(int64_t(status)),
                     SqlValue(int64_t(c.isComputed() ? 1 : 0)), SqlValue(int64_t(c.nullable ? 1 : 0))});
            }
        }
        return r;
    }
    if (v == "sysusers") {
        col(r, "uid", kSmall);
        col(r, "name", kSysname, false);
        col(r, "sid", ColumnType::of(SqlType::VarBinary, 85));
        col(r, "createdate", ColumnType::of(SqlType::DateTime), false);
        col(r, "hasdbaccess", kInt);
        col(r, "islogin", kInt);
        col(r, "issqluser", kInt);
        col(r, "issqlrole", kInt);
        for (const auto& [uid, p] : db.principals) {
            r.rows.push_back({SqlValue(int64_t(uid)), SqlValue(p.name), sidValue(p.sid), SqlValue(p.created),
                              SqlValue(int64_t(p.hasDbAccess ? 1 : 0)), SqlValue(int64_t(p.isRole ? 0 : 1)),
                              SqlValue(int64_t(p.isRole ? 0 : 1)), SqlValue(int64_t(p.isRole ? 1 : 0))});
        }
        return r;
    }
    if (v == "sysmembers") {
        col(r, "memberuid", kSmall);
        col(r, "groupuid", kSmall);
        for (const auto& m : db.members) {
            r.rows.push_back({SqlValue(int64_t(m.first)), SqlValue(int64_t(m.second))});
        }
        return r;
    }
    if (v == "sysfiles") {
        col(r, "fileid", kSmall);
        col(r, "groupid", kSmall);
        col(r, "size", kInt, false);
        col(r, "name", kSysname, false);
        col(r, "filename", ColumnType::of(SqlType::NVarChar, 260), false);
        int64_t id = 1;
        for (const auto& f : db.files) {
            r.rows.push_back({SqlValue(id++), SqlValue(int64_t(f.type == 'D' ? 1 : 0)),
                              SqlValue(int64_t(f.sizeBytes / 8192)), SqlValue(f.logicalName),
                              SqlValue(f.physicalName)});
        }
        return r;
    }
    if (!sameName(db.name, "master") && (v == "syslogins" || v == "sysdatabases" || v == "sysservers")) {
        // These are master's views; other databases see them only through their sys schema copy.
    }
    if (v == "syslogins") {
        col(r, "sid", ColumnType::of(SqlType::VarBinary, 85));
        col(r, "createdate", ColumnType::of(SqlType::DateTime), false);
        col(r, "name", kSysname);
        col(r, "dbname", kSysname);
        col(r, "password", kSysname);
        col(r, "language", kSysname);
        col(r, "hasaccess", kInt);
        col(r, "sysadmin", kInt);
        col(r, "securityadmin", kInt);
        col(r, "loginname", kSysname);
        for (Login* l : ctx.instance.logins()) {
            r.rows.push_back(
                {SqlValue(l->sid), SqlValue(l->created), SqlValue(l->name), SqlValue(l->defaultDatabase),
                 SqlValue::null(), SqlValue(l->language), SqlValue(int64_t(1)),
                 SqlValue(int64_t(l->serverRoles.count("sysadmin") ? 1 : 0)),
                 SqlValue(int64_t(l->serverRoles.count("securityadmin") ? 1 : 0)), SqlValue(l->name)});
        }
        return r;
    }
    if (v == "sysdatabases") {
        col(r, "name", kSysname);
        col(r, "dbid", kSmall);
        col(r, "sid", ColumnType::of(SqlType::VarBinary, 85));
        col(r, "crdate", ColumnType::of(SqlType::DateTime), false);
        col(r, "cmptlevel", ColumnType::of(SqlType::TinyInt), false);
        col(r, "filename", ColumnType::of(SqlType::NVarChar, 260));
        for (Database* d : ctx.instance.databases()) {
            r.rows.push_back({SqlValue(d->name), SqlValue(int64_t(d->dbid)), SqlValue(d->ownerSid),
                              SqlValue(d->created), SqlValue(int64_t(d->compatLevel)),
                              d->files.empty() ? SqlValue::null() : SqlValue(d->files.front().physicalName)});
        }
        return r;
    }
    if (v == "sysservers") {
        col(r, "srvid", kSmall);
        col(r, "srvname", kSysname, false);
        col(r, "srvproduct", kSysname, false);
        col(r, "providername", ColumnType::of(SqlType::NVarChar, 128), false);
        col(r, "datasource", ColumnType::of(SqlType::NVarChar, 4000));
        col(r, "isremote", ColumnType::of(SqlType::Bit));
        col(r, "rpcout", ColumnType::of(SqlType::Bit));
        col(r, "dataaccess", ColumnType::of(SqlType::Bit));
        for (const auto& s : ctx.instance.servers()) {
            r.rows.push_back({SqlValue(int64_t(s.srvid)), SqlValue(s.name), SqlValue(s.product),
                              SqlValue(s.provider), SqlValue(s.dataSource), SqlValue(s.isRemote),
                              SqlValue(s.srvid == 0), SqlValue(s.srvid != 0)});
        }
        return r;
    }
    return std::nullopt;
}

} // namespace sqlsim::model
