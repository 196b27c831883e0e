#pragma once
// What a login may do, as the server checks it: fixed server roles, the database's owner and fixed
// database roles, and object permissions granted to users, roles and public.
#include "Context.h"

namespace sqlsim::model {

class Permissions {
public:
    // Object permission bits, as syspermissions counts them.
    static constexpr int kSelect = 1, kUpdate = 2, kReferences = 4, kInsert = 8, kDelete = 16, kExecute = 32;
    // Database permissions to create objects and back up.
    static constexpr int kCreateTable = 128, kCreateView = 256, kCreateProcedure = 512, kCreateFunction = 1024,
                         kCreateDefault = 2048, kCreateRule = 4096, kBackupDatabase = 8192, kBackupLog = 16384;

    // Membership of a fixed server role; sysadmin counts as every role.
    static bool serverRole(Context& ctx, const char* role);
    // The login is dbo of the database (sysadmin, the owner) or a member of db_owner.
    static bool dbOwner(Context& ctx, Database& db);
    // Membership (direct or through roles) of the named database role, or db_owner.
    static bool dbRole(Context& ctx, Database& db, const char* role);
    // 229 when the login may not do this to the object.
    static void requireOnObject(Context& ctx, Database& db, const ObjectDef& o, int permission);

    // The permission is granted (and, when grantOption, grantable) to uid or a role it belongs to, on
    // the object, its schema or the whole database.
    static bool granted(Database& db, int uid, const ObjectDef* o, int permission, bool grantOption = false);
    // The permission is denied to uid or a role it belongs to on the object, its schema or the database.
    static bool denied(Database& db, int uid, const ObjectDef* o, int permission);
    // Whatever the login may do with the object, it can see it: dbo, owner, any permission on it.
    static bool seesObject(Context& ctx, Database& db, const ObjectDef& o);

    // The login's user in the database: its own, dbo for the owner, guest when guest may connect;
    // -1 when it has none.
    static int userOf(Context& ctx, Database& db);
    static bool memberOf(Database& db, int uid, int roleUid);

private:
    // A permission row that covers the object (or the database's objects, when o is null).
    static bool covers(const Permission& p, const ObjectDef* o);
};

} // namespace sqlsim::model
