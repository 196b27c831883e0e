#pragma once
// alter database NAME set compatibility_level = N: the one database option the tools change.
// Any other alter database is left to the caller (refused as not supported).
#include "Context.h"
#include "SqlLexer.h"

namespace sqlsim::model {

class AlterDatabaseStatements {
public:
    // False when the tokens at pos are not an alter database of a kind answered here.
    static bool run(Context& ctx, const std::vector<Token>& tokens, size_t& pos);
    // The levels SQL Server 2019 accepts.
    static bool validLevel(int level) { return level >= 100 && level <= 150 && level % 10 == 0; }
};

} // namespace sqlsim::model
