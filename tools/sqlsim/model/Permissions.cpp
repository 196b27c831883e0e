#include "Permissions.h"

#include "Names.h"

namespace sqlsim::model {

bool Permissions::serverRole(Context& ctx, const char* role) {
    Login* l = ctx.instance.findLogin(ctx.session.login);
    return l && (l->serverRoles.count("sysadmin") || l->serverRoles.count(role));
}

int Permissions::userOf(Context& ctx, Database& db) {
    Login* l = ctx.instance.findLogin(ctx.session.login);
    if (!l) {
        return -1;
    }
    if (l->serverRoles.count("sysadmin") || l->sid == db.ownerSid) {
        return Database::kDboUid;
    }
    if (DbPrincipal* u = db.userOfSid(l->sid); u && u->hasDbAccess) {
        return u->uid;
    }
    DbPrincipal* guest = db.principal(2);
    return guest && guest->hasDbAccess ? guest->uid : -1;
}

bool Permissions::memberOf(Database& db, int uid, int roleUid) {
    if (uid == roleUid || roleUid == Database::kPublicUid) {
        return true;
    }
    for (const auto& [member, role] : db.members) {
        if (member == uid && (role == roleUid || memberOf(db, role, roleUid))) {
            return true;
        }
    }
    return false;
}

bool Permissions::dbOwner(Context& ctx, Database& db) {
    int uid = userOf(ctx, db);
    if (uid == Database::kDboUid) {
        return true;
    }
    DbPrincipal* owners = db.principal("db_owner");
    return uid >= 0 && owners && memberOf(db, uid, owners->uid);
}

bool Permissions::dbRole(Context& ctx, Database& db, const char* role) {
    if (dbOwner(ctx, db)) {
        return true;
    }
    int uid = userOf(ctx, db);
    DbPrincipal* r = db.principal(role);
    return uid >= 0 && r && memberOf(db, uid, r->uid);
}

bool Permissions::covers(const Permission& p, const ObjectDef* o) {
    switch (p.scope) {
    case 'O':
        return o && p.objectId == o->id;
    case 'S':
        return o && p.objectId == o->uid;
    default:
        return true;
    }
}

bool Permissions::granted(Database& db, int uid, const ObjectDef* o, int permission, bool grantOption) {
    for (const Permission& p : db.permissions) {
        const int bits = grantOption ? p.grantable : p.actions;
        if ((bits & permission) == permission && covers(p, o) && memberOf(db, uid, p.grantee)) {
            return true;
        }
    }
    return false;
}

bool Permissions::denied(Database& db, int uid, const ObjectDef* o, int permission) {
    for (const Permission& p : db.permissions) {
        if ((p.denied & permission) && covers(p, o) && memberOf(db, uid, p.grantee)) {
            return true;
        }
    }
    return false;
}

bool Permissions::seesObject(Context& ctx, Database& db, const ObjectDef& o) {
    const int uid = userOf(ctx, db);
    if (dbOwner(ctx, db) || (uid >= 0 && uid == o.uid)) {
        return true;
    }
    if (uid < 0) {
        return false;
    }
    for (const Permission& p : db.permissions) {
        if ((p.actions || p.denied) && covers(p, &o) && memberOf(db, uid, p.grantee)) {
            return true;
        }
    }
    return false;
}

void Permissions::requireOnObject(Context& ctx, Database& db, const ObjectDef& o, int permission) {
    const int uid = userOf(ctx, db);
    bool allowed = false;
    if (dbOwner(ctx, db) || (uid >= 0 && uid == o.uid)) {
        allowed = true;
    } else if (uid >= 0) {
        auto inRole = [&](const char* role) {
            DbPrincipal* r = db.principal(role);
            return r && memberOf(db, uid, r->uid);
        };
        const bool reading = permission == kSelect;
        if (denied(db, uid, &o, permission)) {
            allowed = false; // a deny anywhere above the user wins over every grant
        } else if (permission != kExecute && inRole(reading ? "db_denydatareader" : "db_denydatawriter")) {
            allowed = false;
        } else if (permission != kExecute && inRole(reading ? "db_datareader" : "db_datawriter")) {
            allowed = true;
        } else {
            allowed = granted(db, uid, &o, permission);
        }
    }
    if (!allowed) {
        const char* verb = permission == kSelect   ? "SELECT"
                           : permission == kInsert ? "INSERT"
                           : permission == kUpdate ? "UPDATE"
                           : permission == kExecute ? "EXECUTE"
                                                   : "DELETE";
        throw SqlError(229, 14,
                       std::string("The ") + verb + " permission was denied on the object '" + o.name +
                           "', database '" + db.name + "', schema '" + db.ownerName(o.uid) + "'.",
                       5);
    }
}

} // namespace sqlsim::model
