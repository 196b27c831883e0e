#pragma once
// The rules a table's rows keep: column types, nulls, lengths, the primary key and the foreign keys.
#include "Database.h"

#include <vector>

namespace sqlsim::model {

class RowConstraints {
public:
    // Checks a finished row (coerced to the columns' types in place) against the column rules and
    // keys of t, ignoring t's row skipRow (-1: none); throws the server's error, verb naming the
    // statement ("INSERT", "UPDATE").
    static void check(Database& db, ObjectDef& t, Row& row, const char* verb, int skipRow);
    // Deletes rows hit of t with the rows that reference them where the key cascades; any other
    // reference refuses the whole delete with 547 before anything is removed.
    static void deleteWithReferences(Database& db, ObjectDef& t, const std::vector<size_t>& hit);
};

} // namespace sqlsim::model
