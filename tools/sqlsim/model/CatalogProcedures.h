#pragma once
// The ODBC catalog procedures a driver calls for SQLColumns: sp_columns, answered from the model's
// tables and views in the shape and with the type codes the server gives for ODBC 3.
#include "ProcedureTable.h"

namespace sqlsim::model {

class CatalogProcedures {
public:
    static void registerAll(ProcedureTable& table);
};

} // namespace sqlsim::model
