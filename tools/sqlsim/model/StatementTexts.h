#pragma once
// The exact texts of the statements the administration tool sends, with ":name" marking where a
// parameter goes. Line breaks are LF; trailing blanks are part of the texts.

namespace sqlsim::model::texts {

// The database switcher's list: the procedure call followed by a commented-out query.
extern const char* const kDatabaseList;
// The object browser's object list.
extern const char* const kBrowserObjects;
// The object browser's structure script (char lengths in bytes).
extern const char* const kBrowserStructure;
// The script editor's object chooser list.
extern const char* const kEditorObjects;
// The script editor's structure script (char lengths as precision).
extern const char* const kEditorStructure;
// Grant statements of an object.
extern const char* const kObjectAccess;
// Extended property calls of an object.
extern const char* const kExtendedProperties;
// Extended property calls of an object, written with an ANSI outer join and quotes doubled in the
// quoted values.
extern const char* const kExtendedPropertiesJoined;
// Grant statements from the database's own access table ta_AccessObject.
extern const char* const kAccessObjects;
// Insert statements of a table's rows.
extern const char* const kTableData;
// The users module's principal list.
extern const char* const kPrincipals;
// The users module's membership list.
extern const char* const kMembership;
// One membership change.
extern const char* const kMembershipChange;
// Adding a login, user or role.
extern const char* const kAddPrincipal;
// Deleting a login, user or role.
extern const char* const kDeletePrincipal;
// The databases module's list.
extern const char* const kDatabaseIcons;
// The user re-creation batch after its first line (a "use" of the database).
extern const char* const kRecreateUsersBody;
// The linked servers module's list.
extern const char* const kLinkedServers;

// ---- The users module's statements that carry any name intact (N'...' text, sysname values) ----
// The membership list with the name doubled into an N'...' literal of an nvarchar text.
extern const char* const kMembershipUnicode;
// Adding a login, user or role with the password held as sysname.
extern const char* const kAddPrincipalUnicode;
// ---- end of the users module's Unicode statements ----

} // namespace sqlsim::model::texts
