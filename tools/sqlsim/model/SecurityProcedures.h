#pragma once
// The legacy security procedures: logins, database access, roles, memberships, passwords.
#include "ProcedureTable.h"

namespace sqlsim::model {

class SecurityProcedures {
public:
    static void registerAll(ProcedureTable& table);
    // IS_SRVROLEMEMBER(role, login): 1, 0, or NULL for an unknown role or login.
    static SqlValue isServerRoleMember(Instance& instance, const std::string& role, const std::string& login);
};

} // namespace sqlsim::model
