#pragma once
// The help procedures people type into a query window: sp_helptext (a module's text, line by
// line), sp_spaceused for a table, and sp_helpdb without arguments (the database list).
#include "ProcedureTable.h"

namespace sqlsim::model {

class HelpProcedures {
public:
    static void registerAll(ProcedureTable& table);
    // 8 KB pages the table's rows fill, as sp_spaceused counts its data.
    static int64_t dataPages(const ObjectDef& table);
};

} // namespace sqlsim::model
