// An empty delimited name in the database statements: 1038, and no database named "" appears.
#include "DemoServerFixture.h"

#include "model/StatementTexts.h"

using namespace sqlsimtest;
using namespace sqlsim::model;

namespace {

using Strings = std::vector<std::string>;

class EmptyNameOverOdbc : public DemoServerFixture {};

TEST_F(EmptyNameOverOdbc, DatabaseStatementsRefuseAnEmptyNameBeforeDoingAnything) {
    auto sa = connect();
    const Strings before = column(sa->exec(texts::kDatabaseIcons), 0);
    const std::string refused =
        "1038: An object or column name is missing or empty. For SELECT INTO statements, verify each column "
        "has a name. For other statements, look for empty alias names. Aliases defined as \"\" or [] are not "
        "allowed. Change the alias to a valid name.";
    for (const char* sql :
         {"create DATABASE []", "drop database []", "backup database [] to DISK = '/tmp/e.bak'",
          "RESTORE DATABASE [] FROM DISK = 'C:\\Backup\\Sales.bak'"}) {
        EXPECT_EQ(messages(sa->exec(sql)), Strings{refused}) << sql;
    }
    EXPECT_EQ(column(sa->exec(texts::kDatabaseIcons), 0), before);
    EXPECT_FALSE(sa->exec("restore filelistonly from disk = '/tmp/e.bak'").ok);
}

} // namespace
