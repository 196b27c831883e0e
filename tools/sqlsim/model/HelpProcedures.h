#pragma once
// The help procedures people type into a query window: sp_helptext (a module's text, line by
// line), sp_spaceused for a table, and sp_helpdb (the database list, or one database and its files).
#include "ProcedureTable.h"

namespace sqlsim::model {

class HelpProcedures {
public:
    static void registerAll(ProcedureTable& table);
    // 8 KB pages the table's rows fill, as sp_spaceused counts its data.
    static int64_t dataPages(const ObjectDef& table);
    // Error 15009: the object does not exist in the database or is invalid for this operation.
    [[noreturn]] static void noSuchObject(const std::string& name, const Database& db);
};

} // namespace sqlsim::model
