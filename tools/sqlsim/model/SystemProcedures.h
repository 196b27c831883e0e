#pragma once
// The catalog and server procedures: sp_who2, sp_MShasdbaccess, sp_databases, sp_tables, sp_pkeys,
// and the linked server procedures.
#include "ProcedureTable.h"

namespace sqlsim::model {

class SystemProcedures {
public:
    static void registerAll(ProcedureTable& table);
    // HAS_DBACCESS for the session's login.
    static bool hasDbAccess(Instance& instance, const std::string& login, Database& db);
};

} // namespace sqlsim::model
