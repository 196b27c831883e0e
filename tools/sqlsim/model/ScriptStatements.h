#pragma once
// The object browser's and the script editor's statements: structure scripts, the script editor's
// object list, grants, extended property calls and the table data as insert statements.
#include "InstanceResponder.h"

namespace sqlsim::model {

class ScriptStatements {
public:
    static void registerAll(InstanceResponder& responder);
    // The structure script's segments for an object ("owner.name"); lengthInBytes picks the
    // object browser's variant (char lengths in bytes) over the editor's (precision).
    static std::vector<std::string> structure(Database& db, const std::string& name, bool lengthInBytes);
    // convert(varchar(255), value) as the server writes it.
    static std::string varcharText(const SqlValue& v, const ColumnType& type);
};

} // namespace sqlsim::model
