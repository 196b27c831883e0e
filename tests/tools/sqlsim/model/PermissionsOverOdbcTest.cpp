// The demo's logins without administrative rights, through unixODBC + FreeTDS: each gets the
// server's refusal where its rights end.
#include "DemoServerFixture.h"
#include "Server.h"
#include "model/InstanceResponder.h"
#include "model/Permissions.h"

#include <algorithm>

using namespace sqlsimtest;

namespace {

using Strings = std::vector<std::string>;

class PermissionsOverOdbc : public DemoServerFixture {
protected:
    // The messages in the order the server sent them is not what the driver reports (it puts the
    // more severe first): compared as sets.
    static Strings sorted(Strings s) {
        std::sort(s.begin(), s.end());
        return s;
    }
};

TEST_F(PermissionsOverOdbc, ClerkCannotAdministerDatabases) {
    auto sa = connect("sa", "Secret1", "master");
    auto clerk = connect("clerk", "clerk", "Sales");
    EXPECT_EQ(messages(clerk->exec("drop database Sales")),
              (Strings{"3701: Cannot drop the database 'Sales', because it does not exist or you do not have "
                       "permission."}));
    EXPECT_EQ(sorted(messages(clerk->exec("backup database Sales to disk = N'C:\\Temp\\Sales.bak'"))),
              sorted({"262: BACKUP DATABASE permission denied in database 'Sales'.",
                      "3013: BACKUP DATABASE is terminating abnormally."}));
    EXPECT_EQ(sorted(messages(clerk->exec("restore filelistonly from disk = N'C:\\Temp\\Sales.bak'"))),
              sorted({"262: CREATE DATABASE permission denied in database 'master'.",
                      "3013: RESTORE FILELIST is terminating abnormally."}));
    EXPECT_EQ(sorted(messages(clerk->exec("restore database Fresh from disk = N'C:\\Temp\\Sales.bak'"))),
              sorted({"262: CREATE DATABASE permission denied in database 'master'.",
                      "3013: RESTORE DATABASE is terminating abnormally."}));
    EXPECT_EQ(column(sa->exec("select count(*) from sysdatabases where name = N'Sales'"), 0), (Strings{"1"}));

    // sp_who2 shows the clerk only its own sessions; sa sees everyone.
    Strings logins = column(clerk->exec("exec sp_who2"), 2);
    ASSERT_FALSE(logins.empty());
    EXPECT_TRUE(std::all_of(logins.begin(), logins.end(), [](const std::string& l) { return l == "clerk"; }))
        << ::testing::PrintToString(logins);
    Strings all = column(sa->exec("exec sp_who2"), 2);
    EXPECT_NE(std::find(all.begin(), all.end(), "sa"), all.end());
}

TEST_F(PermissionsOverOdbc, DataStatementsNeedTheirObjectPermissions) {
    auto clerk = connect("clerk", "clerk", "Sales");
    // Select on Orders comes from the role SalesReaders; nothing else.
    EXPECT_TRUE(clerk->exec("select count(*) from Orders").ok);
    EXPECT_EQ(messages(clerk->exec("select * from Customers")),
              (Strings{"229: The SELECT permission was denied on the object 'Customers', database 'Sales', "
                       "schema 'dbo'."}));
    EXPECT_EQ(messages(clerk->exec("delete Orders where id = -1")),
              (Strings{"229: The DELETE permission was denied on the object 'Orders', database 'Sales', "
                       "schema 'dbo'."}));

    // A user who may delete but not read cannot choose rows by their values.
    auto sa = connect("sa", "Secret1", "Sales");
    ASSERT_TRUE(sa->exec("grant delete on Customers to clerk").ok);
    EXPECT_EQ(messages(clerk->exec("delete Customers where id = -1")),
              (Strings{"229: The SELECT permission was denied on the object 'Customers', database 'Sales', "
                       "schema 'dbo'."}));
    // Tables are made and dropped by db_owner and db_ddladmin only.
    EXPECT_EQ(messages(clerk->exec("create table dbo.Mine (id int)")),
              (Strings{"262: CREATE TABLE permission denied in database 'Sales'."}));
    EXPECT_EQ(messages(clerk->exec("drop table Orders")),
              (Strings{"3701: Cannot drop the table 'Orders', because it does not exist or you do not have "
                       "permission."}));

    // The manager reads everything (db_datareader) and writes only Orders (granted).
    auto manager = connect("manager", "manager", "Sales");
    EXPECT_TRUE(manager->exec("select count(*) from Customers").ok);
    EXPECT_TRUE(manager->exec("update Orders set note = note where id = -1").ok);
    EXPECT_EQ(messages(manager->exec("insert into Regions (name) values (N'No')")),
              (Strings{"229: The INSERT permission was denied on the object 'Regions', database 'Sales', "
                       "schema 'dbo'."}));
}

} // namespace
