#pragma once
// The old systypes view: one row per type of sys.types, in the old view's columns, so that the two
// always list the same types with the same ids, lengths, precisions and scales.
#include "SystemTables.h"

namespace sqlsim::model {

class SystemTypesView {
public:
    static Relation read(Context& ctx, Database& db);
};

} // namespace sqlsim::model
