#include "SystemProcedures.h"

#include "Names.h"
#include "Permissions.h"
#include "SqlExpression.h"

#include <algorithm>
#include <cstdio>

namespace sqlsim::model {

namespace {

std::string text(const SqlValue& v) {
    return v.isNull() ? std::string() : v.toText();
}

const ColumnType kSysname = ColumnType::of(SqlType::NVarChar, 128);

std::string lastBatchText(const DateTimeValue& d) {
    int y, mo, day, h, mi, s, ms;
    d.toParts(y, mo, day, h, mi, s, ms);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d %02d:%02d:%02d", mo, day, h, mi, s);
    return buf;
}

std::string spidText(int spid) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%-5d", spid);
    return buf;
}

void serverMustExist(Context& ctx, const std::string& name, int line) {
    if (!ctx.instance.findServer(name)) {
        throw SqlError(15015, 16,
                       "The server '" + name +
                           "' does not exist. Use sp_helpserver to show available servers.",
                       1, {}, line);
    }
}

// Linked servers are set up by setupadmin, their logins by securityadmin (sysadmin counts as both).
void requireServerRole(Context& ctx, const char* role) {
    if (!Permissions::serverRole(ctx, role)) {
        throw SqlError(15247, 16, "User does not have permission to perform this action.");
    }
}

} // namespace

bool SystemProcedures::hasDbAccess(Instance& instance, const std::string& login, Database& db) {
    Login* l = instance.findLogin(login);
    if (!l) {
        return false;
    }
    if (l->serverRoles.count("sysadmin")) {
        return true;
    }
    if (DbPrincipal* u = db.userOfSid(l->sid)) {
        return u->hasDbAccess;
    }
    DbPrincipal* guest = db.principal(2);
    return guest && guest->hasDbAccess;
}

void SystemProcedures::registerAll(ProcedureTable& table) {
    table.add("sp_who2", {"@loginame"}, [](Context& ctx, const std::vector<SqlValue>& a) {
        std::string filter = text(a[0]);
        bool active = sameName(filter, "active");
        int onlySpid = 0;
        if (!filter.empty() && !active) {
            if (filter.find_first_not_of("0123456789 ") == std::string::npos) {
                onlySpid = std::stoi(filter);
            } else if (!ctx.instance.findLogin(filter)) {
                throw SqlError(15007, 16,
                               "'" + filter + "' is not a valid login or you do not have permission.", 1, {},
                               77);
            }
        }
        std::vector<Row> rows;
        // Without VIEW SERVER STATE a login sees only its own sessions.
        Login* caller = ctx.instance.findLogin(ctx.session.login);
        const bool seesAll =
            caller && (caller->serverRoles.count("sysadmin") || caller->serverRoles.count("processadmin"));
        for (auto& [spid, p] : ctx.instance.processes()) {
            if (!seesAll && spid != ctx.session.spid && !sameName(p.login, ctx.session.login)) {
                continue;
            }
            if ((active && p.status == "sleeping") || (onlySpid && spid != onlySpid) ||
                (!filter.empty() && !active && !onlySpid && !sameName(p.login, filter))) {
                continue;
            }
            bool self = spid == ctx.session.spid;
            std::string status = self ? "RUNNABLE" : p.status;
            if (status != "sleeping") {
                for (char& c : status) {
                    c = char(std::toupper(static_cast<unsigned char>(c)));
                }
            }
            std::string db = self ? ctx.session.database : p.database;
            rows.push_back({SqlValue(spidText(spid)), SqlValue(status), SqlValue(p.login),
                            SqlValue(p.hostName.empty() ? std::string("  .") : p.hostName),
                            SqlValue(p.blockedBy ? spidText(p.blockedBy) : std::string("  .")),
                            db.empty() ? SqlValue::null() : SqlValue(db),
                            SqlValue(self ? std::string("SELECT INTO") : p.command),
                            SqlValue(std::to_string(p.cpu)), SqlValue(std::to_string(p.diskIo)),
                            SqlValue(lastBatchText(self ? Instance::now() : p.lastBatch)),
                            SqlValue(p.programName), SqlValue(spidText(spid)), SqlValue(int64_t(0))});
        }
        static const char* const names[] = {"SPID",        "Status",  "Login",    "HostName", "BlkBy",
                                            "DBName",      "Command", "CPUTime",  "DiskIO",   "LastBatch",
                                            "ProgramName", "SPID",    "REQUESTID"};
        ResultSet rs;
        for (size_t c = 0; c < 13; ++c) {
            if (c == 0 || c == 4 || c == 11) {
                rs.column(names[c], ColumnType::of(SqlType::Char, 5), false);
            } else if (c == 12) {
                rs.column(names[c], ColumnType::of(SqlType::Int), false);
            } else {
                int width = 1;
                for (const auto& r : rows) {
                    width = std::max<int>(width, int(characterCount(r[c].isNull() ? "" : r[c].toText())));
                }
                // Names (logins, hosts, databases, programs) may be Cyrillic: Unicode columns.
                rs.column(names[c], ColumnType::of(SqlType::NVarChar, width), c == 5);
            }
        }
        rs.rows = std::move(rows);
        ctx.response.resultSet(std::move(rs));
        return 0;
    });

    table.add("sp_MShasdbaccess", {}, [](Context& ctx, const std::vector<SqlValue>&) {
        ResultSet rs;
        rs.column("dbname", kSysname, false).column("owner", ColumnType::of(SqlType::NVarChar, 24));
        for (const char* flag :
             {"DboOnly", "ReadOnly", "SingleUser", "Detached", "Suspect", "Offline", "InLoad",
              "EmergencyMode", "StandBy", "ShutDown", "InRecovery", "NotRecovered"}) {
            rs.column(flag, ColumnType::of(SqlType::Int));
        }
        for (Database* db : ctx.instance.databases()) {
            if (!hasDbAccess(ctx.instance, ctx.session.login, *db)) {
                continue;
            }
            Login* owner = ctx.instance.findLoginBySid(db->ownerSid);
            Row r{SqlValue(db->name), owner ? SqlValue(characterPrefix(owner->name, 24)) : SqlValue::null()};
            for (int k = 0; k < 12; ++k) {
                r.push_back(SqlValue(int64_t(0)));
            }
            rs.row(std::move(r));
        }
        ctx.response.resultSet(std::move(rs));
        return 0;
    });

    table.add("sp_databases", {}, [](Context& ctx, const std::vector<SqlValue>&) {
        ResultSet rs;
        rs.column("DATABASE_NAME", kSysname, false)
            .column("DATABASE_SIZE", ColumnType::of(SqlType::Int))
            .column("REMARKS", ColumnType::of(SqlType::VarChar, 254));
        for (Database* db : ctx.instance.databases()) {
            if (!hasDbAccess(ctx.instance, ctx.session.login, *db)) {
                continue;
            }
            int64_t kb = 0;
            for (const auto& f : db->files) {
                kb += f.sizeBytes / 1024;
            }
            rs.row({SqlValue(db->name), SqlValue(kb), SqlValue::null()});
        }
        ctx.response.resultSet(std::move(rs));
        return 0;
    });

    table.add("sp_tables", {"@table_name", "@table_owner", "@table_qualifier", "@table_type", "@fUsePattern"},
              [](Context& ctx, const std::vector<SqlValue>& a) {
                  ResultSet rs;
                  rs.column("TABLE_QUALIFIER", kSysname)
                      .column("TABLE_OWNER", kSysname)
                      .column("TABLE_NAME", kSysname)
                      .column("TABLE_TYPE", ColumnType::of(SqlType::VarChar, 32))
                      .column("REMARKS", ColumnType::of(SqlType::VarChar, 254));
                  std::string qualifier = text(a[2]);
                  bool catalogs = !a[2].isNull() && qualifier == "%" && !a[1].isNull() &&
                                  text(a[1]).empty() && !a[0].isNull() && text(a[0]).empty();
                  if (catalogs) {
                      for (Database* db : ctx.instance.databases()) {
                          if (!sameName(db->name, "model")) {
                              rs.row({SqlValue(db->name), SqlValue::null(), SqlValue::null(),
                                      SqlValue::null(), SqlValue::null()});
                          }
                      }
                      ctx.response.resultSet(std::move(rs));
                      return 0;
                  }
                  Database& db = ctx.db();
                  if (!a[2].isNull() && !qualifier.empty() && !sameName(qualifier, db.name)) {
                      throw SqlError(15250, 16,
                                     "The database name component of the object qualifier must be the name "
                                     "of the current database.",
                                     1, {}, 86);
                  }
                  if (!a[2].isNull() && qualifier.empty()) {
                      ctx.response.resultSet(std::move(rs));
                      return 0;
                  }
                  std::string namePattern = a[0].isNull() ? "%" : text(a[0]);
                  std::string ownerPattern = a[1].isNull() ? "%" : text(a[1]);
                  std::string types = a[3].isNull() ? "'TABLE','VIEW','SYSTEM TABLE'" : text(a[3]);
                  std::vector<Row> rows;
                  for (auto& [id, o] : db.objects) {
                      std::string type = o.type == "U"   ? "TABLE"
                                         : o.type == "V" ? "VIEW"
                                         : o.type == "S" ? "SYSTEM TABLE"
                                                         : "";
                      if (type.empty() || lower(types).find(lower("'" + type + "'")) == std::string::npos) {
                          continue;
                      }
                      std::string owner = db.ownerName(o.uid);
                      if (!Evaluator::like(o.name, namePattern) || !Evaluator::like(owner, ownerPattern)) {
                          continue;
                      }
                      rows.push_back({SqlValue(db.name), SqlValue(owner), SqlValue(o.name), SqlValue(type),
                                      SqlValue::null()});
                  }
                  std::sort(rows.begin(), rows.end(), [](const Row& x, const Row& y) {
                      return std::make_tuple(x[3].toText(), lower(x[1].toText()), lower(x[2].toText())) <
                             std::make_tuple(y[3].toText(), lower(y[1].toText()), lower(y[2].toText()));
                  });
                  rs.rows = std::move(rows);
                  ctx.response.resultSet(std::move(rs));
                  return 0;
              });

    table.add("sp_pkeys", {"@table_name", "@table_owner", "@table_qualifier"},
              [](Context& ctx, const std::vector<SqlValue>& a) {
                  ResultSet rs;
                  rs.column("TABLE_QUALIFIER", kSysname)
                      .column("TABLE_OWNER", kSysname)
                      .column("TABLE_NAME", kSysname)
                      .column("COLUMN_NAME", kSysname)
                      .column("KEY_SEQ", ColumnType::of(SqlType::SmallInt))
                      .column("PK_NAME", kSysname);
                  Database& db = ctx.db();
                  std::string qualifier = text(a[2]);
                  if (!qualifier.empty() && !sameName(qualifier, db.name)) {
                      throw SqlError(15250, 16,
                                     "The database name component of the object qualifier must be the name "
                                     "of the current database.",
                                     1, {}, 40);
                  }
                  std::string owner = text(a[1]);
                  ObjectDef* t = db.findObject(
                      owner.empty() ? bracketed(text(a[0])) : bracketed(owner) + "." + bracketed(text(a[0])));
                  if (t && t->isTable() && t->primaryKeyId) {
                      ObjectDef* pk = db.object(t->primaryKeyId);
                      int seq = 1;
                      for (const auto& c : t->primaryKeyColumns) {
                          rs.row({SqlValue(db.name), SqlValue(db.ownerName(t->uid)), SqlValue(t->name),
                                  SqlValue(c), SqlValue(int64_t(seq++)),
                                  SqlValue(pk ? pk->name : std::string())});
                      }
                  }
                  ctx.response.resultSet(std::move(rs));
                  return 0;
              });

    table.add("sp_addlinkedserver",
              {"@server", "@srvproduct", "@provider", "@datasrc", "@location", "@provstr", "@catalog"},
              [](Context& ctx, const std::vector<SqlValue>& a) {
                  requireServerRole(ctx, "setupadmin");
                  std::string name = text(a[0]);
                  if (name.empty()) {
                      throw SqlError(15600, 15,
                                     "An invalid parameter or option was specified for procedure "
                                     "'sp_addlinkedserver'.",
                                     1, {}, 29);
                  }
                  if (ctx.instance.findServer(name)) {
                      throw SqlError(15028, 16, "The server '" + name + "' already exists.", 1, {}, 82);
                  }
                  std::string product = text(a[1]);
                  if (!sameName(product, "SQL Server") && a[2].isNull()) {
                      throw SqlError(15429, 16, "'" + product + "' is an invalid product name.", 1, {}, 60);
                  }
                  LinkedServer& s = ctx.instance.addServer(name, product);
                  if (!a[2].isNull()) {
                      s.provider = text(a[2]);
                  }
                  if (!a[3].isNull()) {
                      s.dataSource = text(a[3]);
                  }
                  return 0;
              });

    table.add("sp_addlinkedsrvlogin", {"@rmtsrvname", "@useself", "@locallogin", "@rmtuser", "@rmtpassword"},
              [](Context& ctx, const std::vector<SqlValue>& a) {
                  requireServerRole(ctx, "securityadmin");
                  std::string server = text(a[0]);
                  serverMustExist(ctx, server, 31);
                  std::string local = text(a[2]);
                  if (!local.empty() && !ctx.instance.findLogin(local)) {
                      throw SqlError(15007, 16,
                                     "'" + local + "' is not a valid login or you do not have permission.", 1,
                                     {}, 55);
                  }
                  LinkedServer& s = *ctx.instance.findServer(server);
                  std::erase_if(s.logins,
                                [&](const LinkedLogin& l) { return sameName(l.localLogin, local); });
                  LinkedLogin l;
                  l.localLogin = local;
                  l.useSelf = a[1].isNull() || sameName(text(a[1]), "true");
                  l.remoteUser = text(a[3]);
                  l.remotePassword = text(a[4]);
                  s.logins.push_back(l);
                  return 0;
              });

    table.add("sp_dropserver", {"@server", "@droplogins"}, [](Context& ctx, const std::vector<SqlValue>& a) {
        requireServerRole(ctx, "setupadmin");
        std::string server = text(a[0]);
        serverMustExist(ctx, server, 27);
        std::string drop = text(a[1]);
        if (!drop.empty() && !sameName(drop, "droplogins")) {
            throw SqlError(15600, 15,
                           "An invalid parameter or option was specified for procedure 'sp_dropserver'.", 1,
                           {}, 30);
        }
        LinkedServer& s = *ctx.instance.findServer(server);
        if (!s.logins.empty() && !drop.empty()) {
            requireServerRole(ctx, "securityadmin"); // dropping the logins too
        }
        if (!s.logins.empty() && drop.empty()) {
            throw SqlError(15190, 16,
                           "There are still remote logins or linked logins for the server '" + s.name + "'.",
                           1, {}, 44);
        }
        ctx.instance.removeServer(s.name);
        return 0;
    });
}

} // namespace sqlsim::model
