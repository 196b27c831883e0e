#pragma once
// create table (columns with identity, null, defaults, primary keys and references, named or not)
// drop table, and alter table adding a default or a foreign key, on user tables.
#include "Context.h"
#include "TokenCursor.h"

namespace sqlsim::model {

class TableDefinitions {
public:
    // At "create table" / "drop table"; moves past the statement. A #name makes a temporary table of
    // the session (refused as not supported where tempAllowed is false).
    static void create(Context& ctx, Cursor& c, bool tempAllowed = true);
    // drop table [if exists] a[, b ...]: each in turn; the errors of those that cannot go follow
    // one another after the others went.
    static void drop(Context& ctx, Cursor& c);
    // At the "(" of declare @name table (...): makes the table variable in store.
    static void declareTable(Cursor& c, Database& store, const std::string& name);
    // "alter table T add constraint C default (...) for column" or "... foreign key (column) references".
    static void alter(Context& ctx, Cursor& c);

private:
    static void dropOne(Context& ctx, const std::string& name, bool ifExists);
};

} // namespace sqlsim::model
