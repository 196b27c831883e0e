#pragma once
// The ODBC catalog procedures a driver calls for SQLColumns, SQLGetTypeInfo, SQLForeignKeys,
// SQLStatistics, SQLSpecialColumns and SQLProcedures: sp_columns, sp_datatype_info[_100], sp_fkeys,
// sp_statistics, sp_special_columns and sp_stored_procedures, answered from the model's tables,
// views, types, keys and modules in the shape and with the type codes the server gives for ODBC 3.
#include "ProcedureTable.h"

namespace sqlsim::model {

class CatalogProcedures {
public:
    static void registerAll(ProcedureTable& table);
};

} // namespace sqlsim::model
