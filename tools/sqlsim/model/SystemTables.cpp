#include "SystemTables.h"

#include "Names.h"
#include "SystemTypesView.h"
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
    if (v == "sysconstraints") {
        // status: the kind (1 primary key, 2 unique, 3 foreign key, 4 check, 5 default) plus 16 for a
        // constraint on one column, 32 for one on the table.
        col(r, "constid", kInt, false);
        col(r, "id", kInt, false);
        col(r, "colid", kSmall);
        col(r, "spare1", ColumnType::of(SqlType::TinyInt));
        col(r, "status", kInt);
        col(r, "actions", kInt);
        col(r, "error", kInt);
        auto add = [&](int constid, int table, int colid, int kind) {
            r.rows.push_back({SqlValue(int64_t(constid)), SqlValue(int64_t(table)), SqlValue(int64_t(colid)),
                              SqlValue(int64_t(0)), SqlValue(int64_t(kind | (colid ? 16 : 32))),
                              SqlValue(int64_t(0)), SqlValue(int64_t(0))});
        };
        for (const auto& [id, o] : db.objects) {
            if (o.type == "PK") {
                add(id, o.parentId, 0, 1);
            } else if (o.type == "UQ") {
                add(id, o.parentId, 0, 2);
            } else if (o.type == "C") {
                add(id, o.parentId, 0, 4);
            } else if (o.type == "D") {
                auto table = db.objects.find(o.parentId);
                int colid = 0;
                if (table != db.objects.end()) {
                    for (size_t k = 0; k < table->second.columns.size(); ++k) {
                        if (table->second.columns[k].defaultId == id) {
                            colid = int(k + 1);
                        }
                    }
                }
                add(id, o.parentId, colid, 5);
            }
            for (const ForeignKey& fk : o.foreignKeys) {
                add(fk.id, id, o.columnIndex(fk.column) + 1, 3);
            }
        }
        return r;
    }
    if (v == "sysforeignkeys") {
        col(r, "constid", kInt, false);
        col(r, "fkeyid", kInt, false);
        col(r, "rkeyid", kInt, false);
        col(r, "fkey", kSmall);
        col(r, "rkey", kSmall);
        col(r, "keyno", kSmall);
        for (const auto& [id, o] : db.objects) {
            for (const ForeignKey& fk : o.foreignKeys) {
                auto ref = db.objects.find(fk.refTableId);
                const int rkey = ref == db.objects.end() ? 0 : ref->second.columnIndex(fk.refColumn) + 1;
                r.rows.push_back({SqlValue(int64_t(fk.id)), SqlValue(int64_t(id)), SqlValue(int64_t(fk.refTableId)),
                                  SqlValue(int64_t(o.columnIndex(fk.column) + 1)), SqlValue(int64_t(rkey)),
                                  SqlValue(int64_t(1))});
            }
        }
        return r;
    }
    if (v == "sysprocesses") {
        // Every session and background task of the instance, from any database.
        Instance& inst = ctx.instance;
        auto nchar = [](std::string text, size_t n) {
            while (text.size() < n) {
                text += ' ';
            }
            return SqlValue(text);
        };
        auto ncharCol = [&](const char* name, int n) { col(r, name, ColumnType::of(SqlType::NChar, n), false); };
        const ColumnType kBig = ColumnType::of(SqlType::BigInt);
        const ColumnType kDate = ColumnType::of(SqlType::DateTime);
        col(r, "spid", kSmall, false);
        col(r, "kpid", kSmall, false);
        col(r, "blocked", kSmall, false);
        col(r, "waittype", ColumnType::of(SqlType::Binary, 2), false);
        col(r, "waittime", kBig, false);
        ncharCol("lastwaittype", 32);
        ncharCol("waitresource", 256);
        col(r, "dbid", kSmall, false);
        col(r, "uid", kSmall);
        col(r, "cpu", kInt, false);
        col(r, "physical_io", kBig, false);
        col(r, "memusage", kInt, false);
        col(r, "login_time", kDate, false);
        col(r, "last_batch", kDate, false);
        col(r, "ecid", kSmall, false);
        col(r, "open_tran", kSmall, false);
        ncharCol("status", 30);
        col(r, "sid", ColumnType::of(SqlType::Binary, 86), false);
        ncharCol("hostname", 128);
        ncharCol("program_name", 128);
        ncharCol("hostprocess", 10);
        ncharCol("cmd", 16);
        ncharCol("nt_domain", 128);
        ncharCol("nt_username", 128);
        ncharCol("net_address", 12);
        ncharCol("net_library", 12);
        ncharCol("loginame", 128);
        col(r, "context_info", ColumnType::of(SqlType::Binary, 128), false);
        col(r, "sql_handle", ColumnType::of(SqlType::Binary, 20), false);
        col(r, "stmt_start", kInt, false);
        col(r, "stmt_end", kInt, false);
        col(r, "request_id", kInt, false);
        for (const auto& [spid, p] : inst.processes()) {
            int64_t dbid = 0;
            for (const Database* d : inst.databases()) {
                if (sameName(d->name, p.database)) {
                    dbid = d->dbid;
                }
            }
            r.rows.push_back({SqlValue(int64_t(spid)), SqlValue(int64_t(0)), SqlValue(int64_t(p.blockedBy)),
                              SqlValue(Bytes(2, 0)), SqlValue(int64_t(0)), nchar("", 32), nchar("", 256),
                              SqlValue(dbid), SqlValue(int64_t(1)), SqlValue(p.cpu), SqlValue(p.diskIo),
                              SqlValue(int64_t(0)), SqlValue(p.lastBatch), SqlValue(p.lastBatch),
                              SqlValue(int64_t(0)), SqlValue(int64_t(0)), nchar(p.status, 30),
                              SqlValue(Bytes(86, 0)), nchar(p.hostName, 128), nchar(p.programName, 128),
                              nchar("", 10), nchar(p.command.substr(0, 16), 16), nchar("", 128), nchar("", 128),
                              nchar("", 12), nchar(spid > 50 ? "TCP/IP" : "", 12), nchar(p.login, 128),
                              SqlValue(Bytes(128, 0)), SqlValue(Bytes(20, 0)), SqlValue(int64_t(0)),
                              SqlValue(int64_t(0)), SqlValue(int64_t(0))});
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
    if (v == "systypes") {
        return SystemTypesView::read(ctx, db);
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
        col(r, "mode", kSmall);
        col(r, "status", kInt);
        col(r, "status2", kInt);
        col(r, "crdate", ColumnType::of(SqlType::DateTime), false);
        col(r, "reserved", ColumnType::of(SqlType::DateTime));
        col(r, "category", kInt);
        col(r, "cmptlevel", ColumnType::of(SqlType::TinyInt), false);
        col(r, "filename", ColumnType::of(SqlType::NVarChar, 260));
        col(r, "version", kSmall);
        for (Database* d : ctx.instance.databases()) {
            // None of the documented option bits (autoclose, offline, read only, single user,
            // autoshrink) is set; the remaining bits and status2 are those of a new database.
            r.rows.push_back({SqlValue(d->name), SqlValue(int64_t(d->dbid)), SqlValue(d->ownerSid),
                              SqlValue(int64_t(0)), SqlValue(int64_t(65544)), SqlValue(int64_t(1090519040)),
                              SqlValue(d->created), SqlValue(DateTimeValue::fromParts(1900, 1, 1, 0, 0, 0)),
                              SqlValue(int64_t(0)), SqlValue(int64_t(d->compatLevel)),
                              d->files.empty() ? SqlValue::null() : SqlValue(d->files.front().physicalName),
                              SqlValue(int64_t(904))});
        }
        return r;
    }
    if (v == "sysservers") {
        const ColumnType bit = ColumnType::of(SqlType::Bit);
        const ColumnType text = ColumnType::of(SqlType::NVarChar, 4000);
        col(r, "srvid", kSmall);
        col(r, "srvstatus", kSmall);
        col(r, "srvname", kSysname, false);
        col(r, "srvproduct", kSysname, false);
        col(r, "providername", ColumnType::of(SqlType::NVarChar, 128), false);
        col(r, "datasource", text);
        col(r, "location", text);
        col(r, "providerstring", text);
        col(r, "schemadate", ColumnType::of(SqlType::DateTime), false);
        col(r, "topologyx", kInt);
        col(r, "topologyy", kInt);
        col(r, "catalog", kSysname);
        col(r, "srvcollation", kSysname);
        col(r, "connecttimeout", kInt);
        col(r, "querytimeout", kInt);
        col(r, "srvnetname", ColumnType::of(SqlType::Char, 30));
        col(r, "isremote", bit);
        for (const char* flag :
             {"rpc", "pub", "sub", "dist", "dpub", "rpcout", "dataaccess", "collationcompatible", "system",
              "useremotecollation", "lazyschemavalidation"}) {
            col(r, flag, bit);
        }
        col(r, "collation", kSysname);
        col(r, "nonsqlsub", bit);
        for (const auto& s : ctx.instance.servers()) {
            const bool local = s.srvid == 0;
            // srvstatus bits: 1 rpc, 64 rpc out, 128 data access (the local server: rpc and rpc out).
            int64_t status = local ? 1 + 64 : 128;
            std::string net = s.dataSource.empty() ? s.name : s.dataSource;
            net.resize(30, ' ');
            Row row{SqlValue(int64_t(s.srvid)),
                    SqlValue(status),
                    SqlValue(s.name),
                    SqlValue(s.product),
                    SqlValue(s.provider),
                    SqlValue(s.dataSource),
                    SqlValue::null(),
                    SqlValue::null(),
                    SqlValue(DateTimeValue::fromParts(2003, 4, 8, 9, 13, 36)),
                    SqlValue(int64_t(0)),
                    SqlValue(int64_t(0)),
                    SqlValue::null(),
                    SqlValue::null(),
                    SqlValue(int64_t(0)),
                    SqlValue(int64_t(0)),
                    SqlValue(net),
                    SqlValue(s.isRemote)};
            for (bool f : {local, false, false, false, false, local, !local, false, false, true, false}) {
                row.push_back(SqlValue(f));
            }
            row.push_back(SqlValue::null());
            row.push_back(SqlValue(false));
            r.rows.push_back(std::move(row));
        }
        return r;
    }
    return std::nullopt;
}

} // namespace sqlsim::model
