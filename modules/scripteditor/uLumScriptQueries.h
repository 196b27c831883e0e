#pragma once
// The SQL texts of the script editor: the object chooser's list and the queries that write an
// object's scripts. ":name" marks a parameter.

namespace scripteditor::queries {

// The objects of the current database: name (owner.name), type and category.
extern const char* const kObjects;
// Deletion and creation statements of an object (parameters tab, ScriptTriggers).
extern const char* const kStruct;
// Grant statements from the database's permissions (parameter tab).
extern const char* const kDBAccess;
// Grant statements from the database's own table ta_AccessObject (parameter tab).
extern const char* const kAccess;
// Calls that set the object's extended properties (parameter tab).
extern const char* const kProp;
// A table's rows as insert statements (parameters tab, bScriptID, sWhere).
extern const char* const kData;

} // namespace scripteditor::queries
