#pragma once
// The compatibility views a plain select may read (sysobjects, syscolumns, systypes, sysusers, sysmembers,
// master..syslogins, master..sysdatabases, master..sysservers), built from the model on demand.
#include "Context.h"

#include "../Response.h"

#include <optional>

namespace sqlsim::model {

struct Relation {
    std::vector<Column> columns;
    std::vector<Row> rows;
};

class SystemTables {
public:
    // nullopt when the name is not one of the views; db is the database the name resolves in.
    static std::optional<Relation> read(Context& ctx, Database& db, const std::string& view);
};

} // namespace sqlsim::model
