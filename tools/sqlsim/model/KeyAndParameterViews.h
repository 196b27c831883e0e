#pragma once
// The catalogue views of keys and parameters: sys.key_constraints, sys.index_columns,
// sys.identity_columns, sys.default_constraints and sys.parameters. They are built from the same
// model as sys.objects, sys.columns and sys.indexes so that joins between them agree.
#include "SystemTables.h"

namespace sqlsim::model {

class KeyAndParameterViews {
public:
    // nullopt when sys.<view> is not one of them; view is in lower case.
    static std::optional<Relation> read(Context& ctx, Database& db, const std::string& view);
};

} // namespace sqlsim::model
