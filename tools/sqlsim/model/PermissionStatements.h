#pragma once
// grant, revoke and deny of object, schema and database permissions, with the server's checks of
// who may give them and to whom.
#include "SqlLexer.h"

#include <string>
#include <vector>

namespace sqlsim::model {

class BatchCompiler;
struct Context;

class PermissionStatements {
public:
    // The statement's syntax, as the batch is compiled; pos moves past it.
    static void check(BatchCompiler& c, size_t& pos);
    // Runs the statement at pos; pos moves past it.
    static void run(Context& ctx, const std::vector<Token>& tokens, size_t& pos);

    struct Parsed {
        enum class Verb { Grant, Revoke, Deny };
        Verb verb = Verb::Grant;
        bool grantOptionFor = false;          // revoke grant option for ...
        std::vector<std::string> permissions; // upper case: "SELECT", "CREATE TABLE"
        char scope = 'D';                     // O object, S schema, D database
        std::vector<std::string> securable;   // the name's parts
        std::vector<std::string> principals;
        bool withGrantOption = false;
        bool cascade = false;
    };
    static Parsed parse(const std::vector<Token>& tokens, size_t& pos);
};

} // namespace sqlsim::model
