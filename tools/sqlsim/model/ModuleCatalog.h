#pragma once
// The texts the server keeps of its modules: sys.sql_modules (one row per procedure, view,
// function and trigger) and the old syscomments (the text in pieces of 4,000 characters, defaults
// and computed columns included), built from the model on demand.
#include "SystemTables.h"

namespace sqlsim::model {

class ModuleCatalog {
public:
    // nullopt when schema.view is neither of them; db is the database the name resolves in.
    static std::optional<Relation> read(Database& db, const std::string& schema, const std::string& view);
};

} // namespace sqlsim::model
