// grant, revoke and deny through unixODBC + FreeTDS: what they change in what the demo's users may
// do, who may give a permission and to whom, and the server's errors where a statement fails.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

const char* kDenied =
    "229: The SELECT permission was denied on the object 'Customers', database 'Sales', schema "
    "'dbo'.";

class PermissionStatementsOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
        m_clerk = connect("clerk", "clerk", "Sales");
    }
    void ok(testsupport::OdbcTestClient& c, const std::string& text) {
        OdbcOutcome r = c.exec(text);
        EXPECT_TRUE(r.ok) << text << "\n" << ::testing::PrintToString(messages(r));
    }
    Strings clerkSays(const std::string& text) { return messages(m_clerk->exec(text)); }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa, m_clerk;
};

TEST_F(PermissionStatementsOverOdbc, GrantDenyAndRevokeChangeWhatAUserMayRead) {
    const std::string read = "select count(*) from Customers";
    EXPECT_EQ(clerkSays(read), (Strings{kDenied}));

    ok(*m_sa, "grant select, insert on dbo.Customers to clerk");
    EXPECT_TRUE(m_clerk->exec(read).ok);

    // A deny on the schema wins over the grant on the table and over the role's grant on Orders.
    ok(*m_sa, "deny select on schema::dbo to clerk");
    EXPECT_EQ(clerkSays(read), (Strings{kDenied}));
    EXPECT_EQ(
        clerkSays("select count(*) from Orders"),
        (Strings{"229: The SELECT permission was denied on the object 'Orders', database 'Sales', schema "
                 "'dbo'."}));
    // Revoking the schema's deny leaves the grants on the objects as they were.
    ok(*m_sa, "revoke select on schema::[dbo] from clerk");
    EXPECT_TRUE(m_clerk->exec(read).ok);
    EXPECT_TRUE(m_clerk->exec("select count(*) from Orders").ok);
    // A deny on the table itself takes its grant away.
    ok(*m_sa, "deny select on Customers to clerk");
    ok(*m_sa, "revoke select on Customers from clerk");
    EXPECT_EQ(clerkSays(read), (Strings{kDenied}));

    // A grant to a role reaches its members; a grant without "on" covers the whole database.
    ok(*m_sa, "grant select on object::Customers to SalesReaders");
    EXPECT_TRUE(m_clerk->exec(read).ok);
    ok(*m_sa, "revoke select on Customers to SalesReaders");
    EXPECT_EQ(clerkSays(read), (Strings{kDenied}));
    ok(*m_sa, "grant select to public");
    EXPECT_TRUE(m_clerk->exec("select count(*) from Products").ok);
    ok(*m_sa, "revoke select from public");
    EXPECT_FALSE(m_clerk->exec("select count(*) from Products").ok);
}

TEST_F(PermissionStatementsOverOdbc, GrantsInATransactionGoWithItsRollback) {
    ok(*m_sa, "begin transaction\ngrant select on Customers to clerk");
    ok(*m_sa, "rollback");
    EXPECT_EQ(clerkSays("select count(*) from Customers"), (Strings{kDenied}));
    // A batch that fails to compile grants nothing, though its grant comes first.
    EXPECT_EQ(messages(m_sa->exec("grant select on Customers to clerk\nselect * from Orders where id = = 1")),
              (Strings{"102: Incorrect syntax near '='."}));
    EXPECT_EQ(clerkSays("select count(*) from Customers"), (Strings{kDenied}));
}

TEST_F(PermissionStatementsOverOdbc, OnlyOwnersAndHoldersOfTheGrantOptionMayGrant) {
    ok(*m_sa, "create procedure dbo.p_Count as select count(*) from Orders");
    auto manager = connect("manager", "manager", "Sales");
    const std::string run = "exec dbo.p_Count";
    const Strings managerDenied{
        "229: The EXECUTE permission was denied on the object 'p_Count', database 'Sales', schema 'dbo'."};

    // The clerk sees Orders (through its role) but may not pass that on; Customers it cannot see.
    EXPECT_EQ(clerkSays("grant select on Orders to manager"),
              (Strings{"4613: Grantor does not have GRANT permission."}));
    EXPECT_EQ(
        clerkSays("grant select on Customers to manager"),
        (Strings{"15151: Cannot find the object 'Customers', because it does not exist or you do not have "
                 "permission."}));
    EXPECT_EQ(clerkSays("grant create table to manager"),
              (Strings{"4613: Grantor does not have GRANT permission."}));

    ok(*m_sa, "grant execute on p_Count to clerk with grant option");
    ok(*m_clerk, "grant exec on dbo.p_Count to manager");
    EXPECT_TRUE(manager->exec(run).ok);
    // Without the grant option the manager may run it, not give it on.
    EXPECT_EQ(messages(manager->exec("grant execute on p_Count to SalesReaders")),
              (Strings{"4613: Grantor does not have GRANT permission."}));

    // Taking back a grantable permission needs cascade, which takes what was passed on with it.
    EXPECT_EQ(messages(m_sa->exec("revoke execute on p_Count from clerk")),
              (Strings{"4611: To revoke or deny grantable privileges, specify the CASCADE option."}));
    EXPECT_TRUE(m_clerk->exec(run).ok);
    ok(*m_sa, "revoke execute on p_Count from clerk cascade");
    EXPECT_FALSE(m_clerk->exec(run).ok);
    EXPECT_EQ(messages(manager->exec(run)), managerDenied);

    // revoke grant option for keeps the permission itself.
    ok(*m_sa, "grant execute on p_Count to clerk with grant option");
    ok(*m_sa, "revoke grant option for execute on p_Count from clerk cascade");
    EXPECT_TRUE(m_clerk->exec(run).ok);
    EXPECT_EQ(clerkSays("grant execute on p_Count to manager"),
              (Strings{"4613: Grantor does not have GRANT permission."}));
}

TEST_F(PermissionStatementsOverOdbc, WrongObjectsPrincipalsAndPermissionsFailAsOnTheServer) {
    auto says = [&](const std::string& text) { return messages(m_sa->exec(text)); };
    EXPECT_EQ(
        says("grant select on dbo.Nowhere to clerk"),
        (Strings{"15151: Cannot find the object 'Nowhere', because it does not exist or you do not have "
                 "permission."}));
    EXPECT_EQ(says("grant select on Orders to nobody"),
              (Strings{"15151: Cannot find the user 'nobody', because it does not exist or you do not have "
                       "permission."}));
    EXPECT_EQ(says("deny select on schema::nobody to clerk"),
              (Strings{"15151: Cannot find the schema 'nobody', because it does not exist or you do not have "
                       "permission."}));
    const Strings special{"15150: Cannot grant, deny, or revoke permissions to sa, dbo, entity owner, "
                          "information_schema, sys, or yourself."};
    EXPECT_EQ(says("grant select on Orders to dbo"), special);
    EXPECT_EQ(says("grant select on Orders to clerk, sys"), special);
    EXPECT_EQ(says("grant select on Orders to db_datareader"),
              (Strings{"4617: Cannot grant, deny or revoke permissions to or from special roles."}));
    EXPECT_EQ(says("grant execute on Orders to clerk"),
              (Strings{"4606: Granted or revoked privilege EXECUTE is not compatible with object."}));
    EXPECT_EQ(says("grant select on p_CustomerOrders to clerk"),
              (Strings{"4606: Granted or revoked privilege SELECT is not compatible with object."}));
    EXPECT_EQ(
        says("grant select on master.dbo.Orders to clerk"),
        (Strings{"4610: You can only grant or revoke permissions on objects in the current database."}));
    // The first of several grantees that fails leaves the others without the permission too.
    EXPECT_EQ(says("grant select on Customers to clerk, nobody").size(), 1u);
    EXPECT_EQ(clerkSays("select count(*) from Customers"), (Strings{kDenied}));

    EXPECT_EQ(says("grant select on Orders clerk"), (Strings{"102: Incorrect syntax near 'clerk'."}));
    // What this instance does not keep is refused before anything changes.
    for (const char* text : {"grant alter on Customers to clerk", "grant select (id) on Customers to clerk",
                             "grant select on Customers to clerk as dbo", "grant all on Customers to clerk",
                             "grant control on certificate::c to clerk"}) {
        Strings said = says(text);
        ASSERT_EQ(said.size(), 1u) << text;
        EXPECT_EQ(said[0].rfind("50000: Statement not supported by the simulator", 0), 0u) << said[0];
    }
    EXPECT_EQ(clerkSays("select count(*) from Customers"), (Strings{kDenied}));
}

} // namespace
