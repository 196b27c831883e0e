#pragma once
// create database, drop database, backup database, restore filelistonly and restore database.
#include "Context.h"
#include "SqlLexer.h"

namespace sqlsim::model {

class DatabaseStatements {
public:
    // False when the tokens at pos are none of these statements.
    static bool run(Context& ctx, const std::vector<Token>& tokens, size_t& pos);
};

} // namespace sqlsim::model
