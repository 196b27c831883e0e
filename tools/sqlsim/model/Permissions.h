#pragma once
// What a login may do, as the server checks it: fixed server roles, the database's owner and fixed
// database roles, and object permissions granted to users, roles and public.
#include "Context.h"

namespace sqlsim::model {

class Permissions {
public:
    // Object permission bits, as syspermissions counts them.
    static constexpr int kSelect = 1, kUpdate = 2, kInsert = 8, kDelete = 16, kExecute = 32;

    // Membership of a fixed server role; sysadmin counts as every role.
    static bool serverRole(Context& ctx, const char* role);
    // The login is dbo of the database (sysadmin, the owner) or a member of db_owner.
    static bool dbOwner(Context& ctx, Database& db);
    // Membership (direct or through roles) of the named database role, or db_owner.
    static bool dbRole(Context& ctx, Database& db, const char* role);
    // 229 when the login may not do this to the object.
    static void requireOnObject(Context& ctx, Database& db, const ObjectDef& o, int permission);

private:
    // The login's user in the database: its own, dbo for the owner, guest when guest may connect;
    // -1 when it has none.
    static int userOf(Context& ctx, Database& db);
    static bool memberOf(Database& db, int uid, int roleUid);
};

} // namespace sqlsim::model
