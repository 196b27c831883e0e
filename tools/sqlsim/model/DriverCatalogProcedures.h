#pragma once
// The rest of the ODBC catalog procedures a driver calls: sp_sproc_columns (SQLProcedureColumns),
// sp_table_privileges (SQLTablePrivileges), sp_column_privileges (SQLColumnPrivileges) and
// sp_server_info (attributes a driver may ask for at connection or by SQLGetInfo), answered from the
// model's modules, permissions and instance.
#include "ProcedureTable.h"

namespace sqlsim::model {

class DriverCatalogProcedures {
public:
    static void registerAll(ProcedureTable& table);
};

} // namespace sqlsim::model
