#pragma once
// The INFORMATION_SCHEMA views about views, schemas and table constraints (VIEWS, SCHEMATA,
// TABLE_CONSTRAINTS, KEY_COLUMN_USAGE, REFERENTIAL_CONSTRAINTS), built from the database's objects so
// that they agree with sys.objects, sys.schemas, sys.indexes and sys.foreign_keys.
#include "SystemTables.h"

namespace sqlsim::model {

class InformationSchemaViews {
public:
    // nullopt when INFORMATION_SCHEMA.view is not one of them; view is compared case-insensitively.
    static std::optional<Relation> read(const Database& db, const std::string& view);
};

} // namespace sqlsim::model
