#pragma once
// sp_help (the object list, or one table's or module's description in its several result sets) and
// sp_helpuser (the users with their roles, or one user's or role's), answered from the model.
#include "ProcedureTable.h"

namespace sqlsim::model {

class ObjectHelpProcedures {
public:
    static void registerAll(ProcedureTable& table);
};

} // namespace sqlsim::model
