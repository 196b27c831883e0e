#include "AlterDatabaseStatements.h"

#include "ExpressionParser.h"
#include "Permissions.h"
#include "SqlError.h"

#include <cstdlib>

namespace sqlsim::model {

bool AlterDatabaseStatements::run(Context& ctx, const std::vector<Token>& tokens, size_t& pos) {
    const auto at = [&](size_t ahead) -> const Token& {
        return pos + ahead < tokens.size() ? tokens[pos + ahead] : tokens.back();
    };
    if (!at(0).isWord("alter") || !at(1).isWord("database") || !at(2).isName() || !at(3).isWord("set") ||
        !at(4).isWord("compatibility_level")) {
        return false;
    }
    const Token& nameToken = at(2);
    if (!at(5).isSymbol("=")) {
        syntaxError(at(5));
    }
    const Token& levelToken = at(6);
    if (levelToken.kind != Token::Kind::Number) {
        syntaxError(levelToken);
    }
    // The statement ends here; a failing check ends only this statement, and nothing has changed.
    pos += 7;
    Database* db = nameToken.kind == Token::Kind::Name && nameToken.isWord("current")
                       ? ctx.instance.findDatabase(ctx.session.database)
                       : ctx.instance.findDatabase(nameToken.text);
    if (!db || !(Permissions::serverRole(ctx, "dbcreator") || Permissions::dbOwner(ctx, *db))) {
        throw SqlError(5011, 14,
                       "User does not have permission to alter database '" + nameToken.text +
                           "', the database does not exist, or the database is not in a state that allows "
                           "access checks.",
                       1);
    }
    const int level = std::atoi(levelToken.text.c_str());
    if (!validLevel(level)) {
        throw SqlError(
            15048, 16,
            "Valid values of the database compatibility level are 100, 110, 120, 130, 140, or 150.", 1);
    }
    db->compatLevel = level;
    return true;
}

} // namespace sqlsim::model
