#pragma once
// The users module's statements: principal list, membership list and change, add, delete, and the
// user re-creation batch of the databases module.
#include "InstanceResponder.h"

namespace sqlsim::model {

class UsersStatements {
public:
    static void registerAll(InstanceResponder& responder);
    // The re-creation batch: "use <db>" followed by the fixed text. False when the request is not it.
    static bool recreateUsers(Context& ctx, const ProcedureTable& procedures, const Request& request);
};

} // namespace sqlsim::model
