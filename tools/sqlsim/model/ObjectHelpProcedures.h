#pragma once
// sp_help (the object list, or one table's or module's description in its several result sets) and
// sp_helpuser (the users with their roles, or one user's or role's), answered from the model.
#include "ProcedureTable.h"

namespace sqlsim::model {

class ObjectHelpProcedures {
public:
    static void registerAll(ProcedureTable& table);
    // Another login sees only the metadata it has rights to, which is not modelled: its calls to the
    // procedures that list objects, principals or grants are refused (not supported) rather than
    // answered with everything. The database's owners see it all.
    static void requireFullMetadataView(Context& ctx, Database& db);
};

} // namespace sqlsim::model
