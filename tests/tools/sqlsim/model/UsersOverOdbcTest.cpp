// The users module's statements through unixODBC + FreeTDS: the principal and membership lists, adding
// and deleting principals, membership changes, the login existence count and password changes.
#include "DemoServerFixture.h"

#include "model/InstanceResponder.h"
#include "model/StatementTexts.h"

#include <algorithm>

using namespace sqlsimtest;
using namespace sqlsim::model;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class UsersOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    OdbcOutcome principals(int isLogin, int isServer) {
        return run(*m_sa, texts::kPrincipals,
                   {{"isLogin", BoundParam::integer(isLogin)}, {"isserver", BoundParam::integer(isServer)}});
    }
    OdbcOutcome membership(int isLogin, int isServer, const std::string& name) {
        return run(*m_sa, texts::kMembership,
                   {{"isLogin", BoundParam::integer(isLogin)},
                    {"name", BoundParam::text(name)},
                    {"isserver", BoundParam::integer(isServer)}});
    }
    OdbcOutcome change(int isServer, int isLogin, bool include, const std::string& name,
                       const std::string& name2) {
        return run(*m_sa, texts::kMembershipChange,
                   {{"isServer", BoundParam::integer(isServer)},
                    {"isLogin", BoundParam::integer(isLogin)},
                    {"bInclude", BoundParam::bit(include)},
                    {"name", BoundParam::text(name)},
                    {"name2", BoundParam::text(name2)}});
    }
    OdbcOutcome add(int isServer, int isLogin, const std::string& name, const std::string& pwd) {
        return run(*m_sa, texts::kAddPrincipal,
                   {{"isServer", BoundParam::integer(isServer)},
                    {"isLogin", BoundParam::integer(isLogin)},
                    {"name", BoundParam::text(name)},
                    {"pwd", BoundParam::text(pwd)}});
    }
    OdbcOutcome remove(int isServer, int isLogin, const std::string& name) {
        return run(*m_sa, texts::kDeletePrincipal,
                   {{"isServer", BoundParam::integer(isServer)},
                    {"isLogin", BoundParam::integer(isLogin)},
                    {"name", BoundParam::text(name)}});
    }
    std::string loginCount(const std::string& name) {
        Strings v =
            column(m_sa->exec("select count(1) from master..syslogins where name = '" + name + "'"), 0);
        return v.empty() ? "none" : v[0];
    }
    static std::string checked(const OdbcOutcome& out, const std::string& name) {
        Strings names = column(out, 0), ticks = column(out, 1);
        auto at = std::find(names.begin(), names.end(), name);
        return at == names.end() ? "missing" : ticks[size_t(at - names.begin())];
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(UsersOverOdbc, PrincipalListsOfTheFourViews) {
    OdbcOutcome logins = principals(1, 1);
    ASSERT_TRUE(logins.ok) << ::testing::PrintToString(messages(logins));
    EXPECT_EQ(logins.results.at(0).columns, (Strings{"name", "nImage"}));
    EXPECT_EQ(column(logins, 0), (Strings{"admin", "clerk", "manager", "sa", "Оператор"}));
    EXPECT_EQ(column(logins, 1), Strings(5, "2"));
    Strings roles = column(principals(0, 1), 0);
    ASSERT_GE(roles.size(), 8u);
    EXPECT_EQ(Strings(roles.begin(), roles.begin() + 8),
              (Strings{"sysadmin", "securityadmin", "serveradmin", "setupadmin", "processadmin", "diskadmin",
                       "dbcreator", "bulkadmin"}));
    Strings users = column(principals(1, 0), 0);
    for (const char* u : {"dbo", "clerk", "manager"}) {
        EXPECT_NE(std::find(users.begin(), users.end(), u), users.end()) << u;
    }
    EXPECT_EQ(std::find(users.begin(), users.end(), "SalesReaders"), users.end());
    OdbcOutcome dbRoles = principals(0, 0);
    Strings roleNames = column(dbRoles, 0);
    for (const char* r : {"public", "SalesReaders", "Бухгалтерия", "db_owner"}) {
        EXPECT_NE(std::find(roleNames.begin(), roleNames.end(), r), roleNames.end()) << r;
    }
    EXPECT_EQ(column(dbRoles, 1), Strings(roleNames.size(), "0"));
}

TEST_F(UsersOverOdbc, AddingADatabaseUserCreatesTheLoginOnceAndMapsIt) {
    EXPECT_EQ(loginCount("newguy"), "0");
    OdbcOutcome added = add(0, 1, "newguy", "pa55");
    ASSERT_TRUE(added.ok) << ::testing::PrintToString(messages(added));
    EXPECT_EQ(loginCount("newguy"), "1");
    Strings users = column(principals(1, 0), 0);
    EXPECT_NE(std::find(users.begin(), users.end(), "newguy"), users.end());
    auto newguy = connect("newguy", "pa55", "Sales");
    EXPECT_EQ(column(newguy->exec("select db_name()"), 0), (Strings{"Sales"}));
    // The new user is a member of public only.
    OdbcOutcome roles = membership(1, 0, "newguy");
    EXPECT_EQ(checked(roles, "public"), "1");
    EXPECT_EQ(checked(roles, "SalesReaders"), "0");

    // An existing login is only mapped into the database; mapping it twice fails.
    ASSERT_TRUE(m_sa->exec("use Склад").ok);
    EXPECT_TRUE(add(0, 1, "newguy", "").ok);
    OdbcOutcome again = add(0, 1, "newguy", "");
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(messages(again),
              (Strings{"15063: The login already has an account under a different user name."}));
}

TEST_F(UsersOverOdbc, ServerLoginsAndRolesAddAndDeleteWithTheServersErrors) {
    OdbcOutcome existing = add(1, 1, "clerk", "x");
    EXPECT_FALSE(existing.ok);
    EXPECT_EQ(messages(existing), (Strings{"15025: The server principal 'clerk' already exists."}));
    OdbcOutcome role = add(1, 0, "newrole", "");
    EXPECT_FALSE(role.ok);
    EXPECT_EQ(messages(role), (Strings{"50000: Server role creation is prohibited."}));
    OdbcOutcome dropRole = remove(1, 0, "sysadmin");
    EXPECT_EQ(messages(dropRole), (Strings{"50000: Удаление серверной роли невозможно."}));

    ASSERT_TRUE(add(1, 1, "Гость2", "pw").ok);
    EXPECT_EQ(loginCount("Гость2"), "1");
    ASSERT_TRUE(remove(1, 1, "Гость2").ok);
    EXPECT_EQ(loginCount("Гость2"), "0");
    // A login with a database user, or with a session, stays.
    ASSERT_TRUE(add(0, 1, "mapped", "pw").ok);
    EXPECT_EQ(
        messages(remove(1, 1, "mapped")),
        (Strings{"15175: Login 'mapped' is aliased or mapped to a user in one or more database(s). Drop the "
                 "user or alias before dropping the login."}));
    EXPECT_EQ(messages(remove(1, 1, "clerk")),
              (Strings{"15434: Could not drop login 'clerk' as the user is currently logged in."}));
    OdbcOutcome missing = remove(1, 1, "Гость2");
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(messages(missing),
              (Strings{"15007: 'Гость2' is not a valid login or you do not have permission."}));
}

TEST_F(UsersOverOdbc, DatabaseRolesAndUsersAreAddedAndDropped) {
    ASSERT_TRUE(add(0, 0, "Кладовщики", "").ok);
    Strings roles = column(principals(0, 0), 0);
    EXPECT_NE(std::find(roles.begin(), roles.end(), "Кладовщики"), roles.end());
    OdbcOutcome dup = add(0, 0, "Кладовщики", "");
    EXPECT_EQ(messages(dup),
              (Strings{"15023: User, group, or role 'Кладовщики' already exists in the current database."}));
    OdbcOutcome withMembers = remove(0, 0, "SalesReaders");
    EXPECT_FALSE(withMembers.ok);
    EXPECT_EQ(messages(withMembers),
              (Strings{"15144: The role has members. It must be empty before it can be dropped."}));
    ASSERT_TRUE(remove(0, 0, "Кладовщики").ok);

    ASSERT_TRUE(remove(0, 1, "clerk").ok);
    Strings users = column(principals(1, 0), 0);
    EXPECT_EQ(std::find(users.begin(), users.end(), "clerk"), users.end());
    OdbcOutcome gone = remove(0, 1, "clerk");
    EXPECT_EQ(messages(gone), (Strings{"15008: User 'clerk' does not exist in the current database."}));
    // The login stays; it just cannot use the database any more.
    EXPECT_EQ(loginCount("clerk"), "1");
}

TEST_F(UsersOverOdbc, MembershipChangesShowInSysmembersAndIsSrvrolemember) {
    OdbcOutcome before = membership(1, 0, "clerk");
    ASSERT_TRUE(before.ok) << ::testing::PrintToString(messages(before));
    EXPECT_EQ(before.results.at(0).columns, (Strings{"name", "bChecked"}));
    EXPECT_EQ(checked(before, "SalesReaders"), "1");
    EXPECT_EQ(checked(before, "Бухгалтерия"), "0");
    EXPECT_EQ(column(before, 1).front(), "1"); // members first

    // From the user's side (isLogin 1) name is the user and name2 the role; the statement swaps them.
    ASSERT_TRUE(change(0, 1, true, "clerk", "Бухгалтерия").ok);
    ASSERT_TRUE(change(0, 1, false, "clerk", "SalesReaders").ok);
    OdbcOutcome after = membership(1, 0, "clerk");
    EXPECT_EQ(checked(after, "Бухгалтерия"), "1");
    EXPECT_EQ(checked(after, "SalesReaders"), "0");
    // sysmembers holds the pair: read it and the uids it refers to.
    OdbcOutcome users = m_sa->exec("select uid, name from sysusers");
    Strings uids = column(users, 0), names = column(users, 1);
    auto uidOf = [&](const std::string& n) {
        auto at = std::find(names.begin(), names.end(), n);
        return at == names.end() ? std::string("none") : uids[size_t(at - names.begin())];
    };
    OdbcOutcome pairs =
        m_sa->exec("select memberuid from sysmembers where groupuid = " + uidOf("Бухгалтерия"));
    Strings memberUids = column(pairs, 0);
    std::sort(memberUids.begin(), memberUids.end());
    Strings expected{uidOf("clerk"), uidOf("manager")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(memberUids, expected) << ::testing::PrintToString(messages(pairs));
    // From the role's side: its members. The varchar(255) name of the first text cannot hold
    // the Cyrillic role name and finds nobody; the Unicode text finds the members.
    EXPECT_EQ(checked(membership(0, 0, "Бухгалтерия"), "clerk"), "0");
    OdbcOutcome ofRole = run(*m_sa, texts::kMembershipUnicode,
                             {{"isLogin", BoundParam::integer(0)},
                              {"name", BoundParam::text("Бухгалтерия")},
                              {"isserver", BoundParam::integer(0)}});
    EXPECT_EQ(checked(ofRole, "clerk"), "1");
    EXPECT_EQ(checked(ofRole, "dbo"), "0");

    OdbcOutcome noRole = change(0, 1, true, "clerk", "NoSuchRole");
    EXPECT_FALSE(noRole.ok);
    EXPECT_EQ(messages(noRole),
              (Strings{"15014: The role 'NoSuchRole' does not exist in the current database."}));
    OdbcOutcome noUser = change(0, 0, true, "SalesReaders", "nobody");
    EXPECT_FALSE(noUser.ok);
    EXPECT_EQ(messages(noUser), (Strings{"15410: User or role 'nobody' does not exist in this database."}));

    // Server roles: the login's list, then a change from the role's side.
    EXPECT_EQ(column(m_sa->exec("select is_srvrolemember('sysadmin', 'manager')"), 0), (Strings{"0"}));
    EXPECT_EQ(checked(membership(1, 1, "manager"), "diskadmin"), "0");
    ASSERT_TRUE(change(1, 0, true, "sysadmin", "manager").ok);
    EXPECT_EQ(column(m_sa->exec("select is_srvrolemember('sysadmin', 'manager')"), 0), (Strings{"1"}));
    OdbcOutcome ofLogin = membership(1, 1, "manager");
    EXPECT_EQ(checked(ofLogin, "sysadmin"), "1");
    EXPECT_EQ(checked(ofLogin, "dbcreator"), "1");
    OdbcOutcome ofSysadmin = membership(0, 1, "sysadmin");
    EXPECT_EQ(column(ofSysadmin, 1).front(), "1");
    EXPECT_EQ(checked(ofSysadmin, "manager"), "1");
    EXPECT_EQ(checked(ofSysadmin, "clerk"), "0");
    EXPECT_EQ(column(m_sa->exec("select is_srvrolemember('nosuchrole', 'manager')"), 0), (Strings{"NULL"}));
    OdbcOutcome badRole = change(1, 0, true, "nosuchrole", "manager");
    EXPECT_EQ(messages(badRole), (Strings{"15402: 'nosuchrole' is not a fixed server role."}));
}

TEST_F(UsersOverOdbc, ANameTooLongForTheDynamicStatementFailsOnTheServer) {
    std::string fits(125, 'x'), tooLong(126, 'x');
    OdbcOutcome ok = membership(1, 0, fits);
    EXPECT_TRUE(ok.ok) << ::testing::PrintToString(messages(ok));
    OdbcOutcome cut = membership(1, 0, tooLong);
    EXPECT_FALSE(cut.ok);
    ASSERT_FALSE(cut.messages.empty());
    EXPECT_EQ(messages(cut), (Strings{"102: Incorrect syntax near ','."}));
    EXPECT_TRUE(cut.results.empty());
    // Three characters more cut the statement after "order by 2 desc", which still runs.
    EXPECT_TRUE(membership(1, 0, std::string(128, 'x')).ok);
}

TEST_F(UsersOverOdbc, AQuoteInTheNameBreaksTheDynamicStatementAsOnTheServer) {
    OdbcOutcome quoted = membership(1, 0, "O'Brien");
    EXPECT_FALSE(quoted.ok);
    Strings said = messages(quoted);
    ASSERT_EQ(said.size(), 2u) << ::testing::PrintToString(said);
    EXPECT_EQ(said[0].rfind("105: Unclosed quotation mark after the character string ' and m.", 0), 0u)
        << said[0];
    EXPECT_EQ(said[1].rfind("102: Incorrect syntax near ' and m.", 0), 0u) << said[1];
    EXPECT_TRUE(quoted.results.empty());
    // Server lists do not go through the dynamic statement.
    EXPECT_TRUE(membership(0, 1, "O'Brien").ok);
}

TEST_F(UsersOverOdbc, PasswordChangeLetsTheLoginInWithTheNewPassword) {
    OdbcOutcome out = run(*m_sa, "exec sp_password @new = :pwd, @loginame = :name",
                          {{"pwd", BoundParam::text("n3w")}, {"name", BoundParam::text("clerk")}});
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_TRUE(out.messages.empty());
    testsupport::OdbcTestClient old;
    EXPECT_FALSE(old.connect(testsupport::OdbcTestClient::connectionString(m_port, "clerk", "clerk")));
    connect("clerk", "n3w");
    OdbcOutcome missing = run(*m_sa, "exec sp_password @new = :pwd, @loginame = :name",
                              {{"pwd", BoundParam::text("x")}, {"name", BoundParam::text("nobody")}});
    EXPECT_EQ(messages(missing),
              (Strings{"15007: 'nobody' is not a valid login or you do not have permission."}));
}

// The statements that keep any name intact: the membership text built from N'...' with the quotes
// doubled, the password held as sysname. Against them, the varchar forms lose non-Latin text.
TEST_F(UsersOverOdbc, UnicodeStatementsKeepQuotedAndCyrillicNamesWhereVarcharLosesThem) {
    auto unicodeMembership = [this](int isLogin, const std::string& name) {
        return run(*m_sa, texts::kMembershipUnicode,
                   {{"isLogin", BoundParam::integer(isLogin)},
                    {"name", BoundParam::text(name)},
                    {"isserver", BoundParam::integer(0)}});
    };
    auto unicodeAdd = [this](int isServer, int isLogin, const std::string& name, const std::string& pwd) {
        return run(*m_sa, texts::kAddPrincipalUnicode,
                   {{"isServer", BoundParam::integer(isServer)},
                    {"isLogin", BoundParam::integer(isLogin)},
                    {"name", BoundParam::text(name)},
                    {"pwd", BoundParam::text(pwd)}});
    };
    // A new login with a quote in its name, mapped into Sales and put in a role.
    ASSERT_TRUE(unicodeAdd(0, 1, "O'Brien", "pw").ok);
    ASSERT_TRUE(change(0, 1, true, "O'Brien", "SalesReaders").ok);
    OdbcOutcome roles = unicodeMembership(1, "O'Brien");
    ASSERT_TRUE(roles.ok) << ::testing::PrintToString(messages(roles));
    EXPECT_EQ(checked(roles, "SalesReaders"), "1");
    EXPECT_EQ(checked(roles, "public"), "1");
    EXPECT_EQ(checked(roles, "Бухгалтерия"), "0");
    OdbcOutcome members = unicodeMembership(0, "SalesReaders");
    ASSERT_TRUE(members.ok);
    EXPECT_EQ(checked(members, "O'Brien"), "1");

    // A Cyrillic login: the Unicode text finds its roles, the varchar(255) name turns into
    // question marks and finds none.
    ASSERT_TRUE(unicodeAdd(0, 1, "Оператор", "").ok);
    ASSERT_TRUE(change(0, 1, true, "Оператор", "Бухгалтерия").ok);
    EXPECT_EQ(checked(unicodeMembership(1, "Оператор"), "Бухгалтерия"), "1");
    EXPECT_EQ(checked(membership(1, 0, "Оператор"), "Бухгалтерия"), "0");
    EXPECT_EQ(checked(membership(1, 0, "Оператор"), "public"), "0");

    // A Cyrillic password: kept whole as sysname, question marks as varchar(255).
    auto* model = dynamic_cast<InstanceResponder*>(m_responder.get());
    ASSERT_NE(model, nullptr);
    ASSERT_TRUE(unicodeAdd(1, 1, "kassa", "пароль").ok);
    ASSERT_NE(model->instance().findLogin("kassa"), nullptr);
    EXPECT_EQ(model->instance().findLogin("kassa")->password, "пароль");
    ASSERT_TRUE(add(1, 1, "kassa2", "пароль").ok);
    ASSERT_NE(model->instance().findLogin("kassa2"), nullptr);
    EXPECT_EQ(model->instance().findLogin("kassa2")->password, "??????");

    // The server's own refusals come through unchanged.
    OdbcOutcome again = unicodeAdd(1, 1, "kassa", "x");
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(messages(again), (Strings{"15025: The server principal 'kassa' already exists."}));
    OdbcOutcome role = unicodeAdd(1, 0, "newrole", "");
    EXPECT_EQ(messages(role), (Strings{"50000: Server role creation is prohibited."}));
}

} // namespace
