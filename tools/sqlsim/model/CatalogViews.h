#pragma once
// The catalogue views a select may read (sys.databases, sys.objects, sys.tables, sys.views,
// sys.columns, sys.types, sys.schemas, sys.indexes, sys.foreign_keys, sys.triggers, the principal
// and role member views, sys.servers, sys.dm_exec_sessions, the key and parameter views, and the
// INFORMATION_SCHEMA views), built from the model on demand so that they agree with each other and
// with the old views.
#include "SystemTables.h"

namespace sqlsim::model {

class CatalogViews {
public:
    // nullopt when schema.view is not one of them; db is the database the name resolves in.
    static std::optional<Relation> read(Context& ctx, Database& db, const std::string& schema,
                                        const std::string& view);
};

} // namespace sqlsim::model
