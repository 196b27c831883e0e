#pragma once
// Extended properties of objects and columns: sp_addextendedproperty, sp_updateextendedproperty and
// sp_dropextendedproperty, with their name checks, permissions and errors, and sys.extended_properties.
#include "ProcedureTable.h"
#include "SystemTables.h"

namespace sqlsim::model {

class ExtendedProperties {
public:
    static void registerAll(ProcedureTable& table);
    // sys.extended_properties of the database, the rows of the objects the login can see; nullopt
    // for another view.
    static std::optional<Relation> read(Context& ctx, Database& db, const std::string& schema,
                                        const std::string& view);
};

} // namespace sqlsim::model
