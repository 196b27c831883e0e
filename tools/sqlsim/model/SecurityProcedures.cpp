#include "SecurityProcedures.h"

#include "Names.h"

namespace sqlsim::model {

namespace {

std::string text(const SqlValue& v) {
    return v.isNull() ? std::string() : v.toText();
}

void noTransaction(Context& ctx, const std::string& procedure) {
    if (ctx.session.inTransaction) {
        throw SqlError(15002, 16,
                       "The procedure '" + procedure + "' cannot be executed within a transaction.");
    }
}

bool serverRole(Context& ctx, const char* role) {
    Login* l = ctx.instance.findLogin(ctx.session.login);
    return l && (l->serverRoles.count("sysadmin") || l->serverRoles.count(role));
}

void requireServerSecurity(Context& ctx) {
    if (!serverRole(ctx, "securityadmin")) {
        throw SqlError(15247, 16, "User does not have permission to perform this action.");
    }
}

void requireDbSecurity(Context& ctx) {
    if (serverRole(ctx, "sysadmin")) {
        return;
    }
    Database& db = ctx.db();
    Login* l = ctx.instance.findLogin(ctx.session.login);
    DbPrincipal* u = l ? db.userOfSid(l->sid) : nullptr;
    if (u && (u->uid == Database::kDboUid || db.isMember(u->uid, 16384) || db.isMember(u->uid, 16386) ||
              db.isMember(u->uid, 16385))) {
        return;
    }
    throw SqlError(15247, 16, "User does not have permission to perform this action.");
}

Login& existingLogin(Context& ctx, const std::string& name, int line) {
    Login* l = ctx.instance.findLogin(name);
    if (!l) {
        throw SqlError(15007, 16, "'" + name + "' is not a valid login or you do not have permission.", 1, {},
                       line);
    }
    return *l;
}

DbPrincipal& existingRole(Database& db, const std::string& name, int line) {
    DbPrincipal* r = db.principal(name);
    if (!r || !r->isRole) {
        throw SqlError(15014, 16, "The role '" + name + "' does not exist in the current database.", 1, {},
                       line);
    }
    return *r;
}

void checkPublic(const DbPrincipal& role, int line) {
    if (role.uid == Database::kPublicUid) {
        throw SqlError(15405, 11, "Cannot use the special principal 'public'.", 1, {}, line);
    }
}

std::string fixedServerRole(const std::string& role, int line) {
    for (const auto& r : Instance::serverRoles()) {
        if (sameName(r.first, role)) {
            return r.first;
        }
    }
    throw SqlError(15402, 11, "'" + role + "' is not a fixed server role.", 1, {}, line);
}

} // namespace

SqlValue SecurityProcedures::isServerRoleMember(Instance& instance, const std::string& role,
                                                const std::string& login) {
    if (!Instance::isServerRole(role)) {
        return SqlValue::null();
    }
    Login* l = instance.findLogin(login);
    if (!l) {
        return SqlValue::null();
    }
    if (l->serverRoles.count("sysadmin")) {
        return SqlValue(int64_t(1));
    }
    return SqlValue(int64_t(l->serverRoles.count(lower(role)) ? 1 : 0));
}

void SecurityProcedures::registerAll(ProcedureTable& table) {
    table.add(
        "sp_addlogin", {"@loginame", "@passwd", "@defdb", "@deflanguage", "@sid", "@encryptopt"},
        [](Context& ctx, const std::vector<SqlValue>& a) {
            noTransaction(ctx, "sp_addlogin");
            requireServerSecurity(ctx);
            std::string name = text(a[0]);
            if (name.empty()) {
                throw SqlError(15600, 15,
                               "An invalid parameter or option was specified for procedure 'sp_addlogin'.", 1,
                               {}, 31);
            }
            if (characterCount(name) > 128) {
                throw SqlError(103, 15,
                               "The identifier that starts with '" + characterPrefix(name, 128) +
                                   "' is too long. Maximum length is 128.",
                               4, {}, 1);
            }
            if (ctx.instance.findLogin(name)) {
                throw SqlError(15025, 16, "The server principal '" + name + "' already exists.", 1, {}, 67);
            }
            std::string defdb = a[2].isNull() ? "master" : text(a[2]);
            Database* db = ctx.instance.findDatabase(defdb);
            if (!db) {
                throw SqlError(15010, 16,
                               "The database '" + defdb +
                                   "' does not exist. Supply a valid database name. To see available "
                                   "databases, use sys.databases.",
                               1, {}, 47);
            }
            Login& l = ctx.instance.addLogin(name, text(a[1]), db->name);
            if (!a[3].isNull()) {
                l.language = text(a[3]);
            }
            return 0;
        });

    table.add("sp_droplogin", {"@loginame"}, [](Context& ctx, const std::vector<SqlValue>& a) {
        noTransaction(ctx, "sp_droplogin");
        requireServerSecurity(ctx);
        std::string name = text(a[0]);
        Login& l = existingLogin(ctx, name, 26);
        if (sameName(l.name, "sa")) {
            throw SqlError(
                15151, 16,
                "Cannot drop the login 'sa', because it does not exist or you do not have permission.", 1, {},
                63);
        }
        for (const auto& [spid, p] : ctx.instance.processes()) {
            if (sameName(p.login, l.name)) {
                throw SqlError(15434, 16,
                               "Could not drop login '" + l.name + "' as the user is currently logged in.", 1,
                               {}, 63);
            }
        }
        for (Database* db : ctx.instance.databases()) {
            if (db->userOfSid(l.sid) && db->userOfSid(l.sid)->uid != Database::kDboUid) {
                throw SqlError(15175, 16,
                               "Login '" + l.name +
                                   "' is aliased or mapped to a user in one or more database(s). Drop the "
                                   "user or alias before dropping the login.",
                               1, {}, 52);
            }
        }
        ctx.instance.removeLogin(l.name);
        return 0;
    });

    table.add(
        "sp_grantdbaccess", {"@loginame", "@name_in_db"}, [](Context& ctx, const std::vector<SqlValue>& a) {
            noTransaction(ctx, "sp_grantdbaccess");
            requireDbSecurity(ctx);
            Database& db = ctx.db();
            Login& l = existingLogin(ctx, text(a[0]), 61);
            std::string userName = a[1].isNull() ? l.name : text(a[1]);
            if (DbPrincipal* mapped = db.userOfSid(l.sid)) {
                (void)mapped;
                throw SqlError(15063, 16, "The login already has an account under a different user name.", 1,
                               {}, 89);
            }
            if (db.principal(userName)) {
                throw SqlError(15023, 16,
                               "User, group, or role '" + userName +
                                   "' already exists in the current database.",
                               1, {}, 96);
            }
            db.addUser(userName, l.sid, true);
            return 0;
        });

    table.add("sp_revokedbaccess", {"@name_in_db"}, [](Context& ctx, const std::vector<SqlValue>& a) {
        noTransaction(ctx, "sp_revokedbaccess");
        requireDbSecurity(ctx);
        Database& db = ctx.db();
        std::string name = text(a[0]);
        DbPrincipal* u = db.principal(name);
        if (!u || u->isRole) {
            throw SqlError(15008, 16, "User '" + name + "' does not exist in the current database.", 1, {},
                           41);
        }
        if (u->uid <= 4) {
            throw SqlError(15150, 16, "Cannot drop the user '" + u->name + "'.", 1, {}, 51);
        }
        db.removePrincipal(u->uid);
        return 0;
    });

    table.add("sp_addrole", {"@rolename", "@ownername"}, [](Context& ctx, const std::vector<SqlValue>& a) {
        noTransaction(ctx, "sp_addrole");
        requireDbSecurity(ctx);
        Database& db = ctx.db();
        std::string name = text(a[0]);
        if (name.empty()) {
            throw SqlError(15600, 15,
                           "An invalid parameter or option was specified for procedure 'sp_addrole'.", 1, {},
                           30);
        }
        if (characterCount(name) > 128) {
            throw SqlError(15003, 16,
                           "The identifier that starts with '" + characterPrefix(name, 128) +
                               "' is too long. Maximum length is 128.",
                           1, {}, 30);
        }
        if (db.principal(name)) {
            throw SqlError(15023, 16,
                           "User, group, or role '" + name + "' already exists in the current database.", 1,
                           {}, 46);
        }
        db.addRole(name);
        return 0;
    });

    table.add("sp_droprole", {"@rolename"}, [](Context& ctx, const std::vector<SqlValue>& a) {
        noTransaction(ctx, "sp_droprole");
        requireDbSecurity(ctx);
        Database& db = ctx.db();
        DbPrincipal& r = existingRole(db, text(a[0]), 39);
        if (r.fixedRole) {
            throw SqlError(15142, 16, "Cannot drop the role '" + r.name + "'.", 1, {}, 46);
        }
        for (const auto& m : db.members) {
            if (m.second == r.uid) {
                throw SqlError(15144, 16, "The role has members. It must be empty before it can be dropped.",
                               1, {}, 53);
            }
        }
        db.removePrincipal(r.uid);
        return 0;
    });

    table.add(
        "sp_addrolemember", {"@rolename", "@membername"}, [](Context& ctx, const std::vector<SqlValue>& a) {
            requireDbSecurity(ctx);
            Database& db = ctx.db();
            DbPrincipal& r = existingRole(db, text(a[0]), 27);
            checkPublic(r, 31);
            std::string memberName = text(a[1]);
            DbPrincipal* m = db.principal(memberName);
            if (!m) {
                throw SqlError(15410, 11,
                               "User or role '" + memberName + "' does not exist in this database.", 1, {},
                               35);
            }
            if (m->uid == r.uid || m->uid == Database::kDboUid) {
                throw SqlError(15405, 11, "Cannot use the special principal '" + m->name + "'.", 1, {}, 41);
            }
            db.members.insert({m->uid, r.uid});
            return 0;
        });

    table.add("sp_droprolemember", {"@rolename", "@membername"},
              [](Context& ctx, const std::vector<SqlValue>& a) {
                  requireDbSecurity(ctx);
                  Database& db = ctx.db();
                  DbPrincipal& r = existingRole(db, text(a[0]), 27);
                  checkPublic(r, 31);
                  std::string memberName = text(a[1]);
                  DbPrincipal* m = db.principal(memberName);
                  if (!m) {
                      throw SqlError(15410, 11,
                                     "User or role '" + memberName + "' does not exist in this database.", 1,
                                     {}, 35);
                  }
                  if (m->uid == Database::kDboUid) {
                      throw SqlError(15405, 11, "Cannot use the special principal 'dbo'.", 1, {}, 41);
                  }
                  db.members.erase({m->uid, r.uid});
                  return 0;
              });

    table.add("sp_addsrvrolemember", {"@loginame", "@rolename"},
              [](Context& ctx, const std::vector<SqlValue>& a) {
                  requireServerSecurity(ctx);
                  std::string role = fixedServerRole(text(a[1]), 26);
                  Login& l = existingLogin(ctx, text(a[0]), 33);
                  l.serverRoles.insert(lower(role));
                  return 0;
              });

    table.add("sp_dropsrvrolemember", {"@loginame", "@rolename"},
              [](Context& ctx, const std::vector<SqlValue>& a) {
                  requireServerSecurity(ctx);
                  std::string role = fixedServerRole(text(a[1]), 26);
                  Login& l = existingLogin(ctx, text(a[0]), 33);
                  if (sameName(l.name, "sa") && role == "sysadmin") {
                      throw SqlError(15405, 11, "Cannot use the special principal 'sa'.", 1, {}, 43);
                  }
                  l.serverRoles.erase(lower(role));
                  return 0;
              });

    table.add("sp_password", {"@old", "@new", "@loginame"}, [](Context& ctx, const std::vector<SqlValue>& a) {
        noTransaction(ctx, "sp_password");
        std::string name = a[2].isNull() ? ctx.session.login : text(a[2]);
        Login& l = existingLogin(ctx, name, 30);
        bool self = sameName(l.name, ctx.session.login);
        bool admin = serverRole(ctx, "securityadmin");
        if ((!admin || !a[0].isNull()) && (!self || text(a[0]) != l.password) && !(admin && a[0].isNull())) {
            throw SqlError(15151, 16,
                           "Cannot alter the login '" + l.name +
                               "', because it does not exist or you do not have permission.",
                           1, {}, 44);
        }
        l.password = text(a[1]);
        return 0;
    });

    table.add("sp_helpsrvrole", {"@srvrolename"}, [](Context& ctx, const std::vector<SqlValue>& a) {
        ResultSet rs;
        rs.column("ServerRole", ColumnType::of(SqlType::NVarChar, 128), false)
            .column("Description", ColumnType::of(SqlType::NVarChar, 128), false);
        std::string only = text(a[0]);
        if (!only.empty() && !Instance::isServerRole(only)) {
            throw SqlError(15412, 11, "'" + only + "' is not a known fixed role.", 1, {}, 19);
        }
        for (const auto& r : Instance::serverRoles()) {
            if (only.empty() || sameName(only, r.first)) {
                rs.row({SqlValue(r.first), SqlValue(r.second)});
            }
        }
        ctx.response.resultSet(std::move(rs));
        return 0;
    });
}

} // namespace sqlsim::model
