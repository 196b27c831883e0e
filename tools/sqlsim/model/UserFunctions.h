#pragma once
// Scalar functions created in a database, called in expressions by their two-part name
// (dbo.f(x)): arguments bound by position to the declared parameters, the body run by a runner of its
// own, and the value of its return converted to the declared result type.
#include "ProcedureTable.h"

#include <optional>

namespace sqlsim::model {

class UserFunctions {
public:
    // The declared result type of the scalar function a qualified name means; nullopt when there is none.
    static std::optional<ColumnType> type(Context& ctx, const std::string& name);
    // Calls it. A qualified name that means no scalar function gives 4121.
    static SqlValue call(Context& ctx, const ProcedureTable& procedures, const std::string& name,
                         const std::vector<SqlValue>& args);
};

} // namespace sqlsim::model
