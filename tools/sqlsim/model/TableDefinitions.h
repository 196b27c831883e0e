#pragma once
// create table (columns with identity, null, defaults, primary keys and references, named or not)
// drop table, and alter table adding a default or a foreign key, on user tables.
#include "Context.h"
#include "TokenCursor.h"

namespace sqlsim::model {

class TableDefinitions {
public:
    // At "create table" / "drop table"; moves past the statement.
    static void create(Context& ctx, Cursor& c);
    static void drop(Context& ctx, Cursor& c);
    // "alter table T add constraint C default (...) for column" or "... foreign key (column) references".
    static void alter(Context& ctx, Cursor& c);
};

} // namespace sqlsim::model
