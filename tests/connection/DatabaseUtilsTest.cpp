#include "Exception.h"
#include "SimLog.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TRegistry.h"
#include "uDatabaseUtils.h"

#include <gtest/gtest.h>

using testsupport::SimProcess;

namespace {

class DatabaseUtilsTest : public ::testing::Test {
protected:
    static inline SimProcess* sim = nullptr;
    TADOConnection connection;

    static void SetUpTestSuite() {
        sim = new SimProcess({"--demo", "--sa-password", "sa"});
        ASSERT_TRUE(sim->started());
        TADOConnection setup;
        setup.SetConnectionString("Data Source=" + testsupport::SimServer(*sim) +
                                  ";Initial Catalog=Sales;User ID=sa;Password=sa");
        setup.Open();
        setup.Execute("create table Kinds (a int, b bit, g uniqueidentifier, v varchar(40), d datetime)");
        setup.Execute("insert into Kinds (a, b, v, d) values (1, 1, 'x', NULL)");
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    void SetUp() override {
        connection.SetConnectionString("Data Source=" + testsupport::SimServer(*sim) +
                                       ";Initial Catalog=Sales;User ID=sa;Password=sa");
        connection.Open();
    }
};

TEST_F(DatabaseUtilsTest, QueryFirstValueGivesTheFirstColumnOfTheFirstRowOrNothing) {
    QVariant value = 5;
    QueryFirstValue("select name from master..sysdatabases where name = N'none'", &connection, value);
    EXPECT_FALSE(value.isValid());
    QueryFirstValue("select count(*) from master..syslogins where name = N'nobody'", &connection, value);
    EXPECT_EQ(value.toInt(), 0);
    EXPECT_TRUE(value.isValid());
    QueryFirstValue("select name, id from Regions order by id", &connection, value);
    EXPECT_EQ(value.toString(), "North");
    EXPECT_THROW(QueryFirstValue("select * from NoSuchTable", &connection, value), Exception);
}

TEST_F(DatabaseUtilsTest, DisplayWidthsAndValueTextsFollowTheDataType) {
    auto rs = connection.Execute("select a, b, g, v, d from Kinds");
    ASSERT_TRUE(rs && rs->IsOpen());
    EXPECT_EQ(FieldDisplayWidth(rs->Fields(0)), 10);
    EXPECT_EQ(FieldDisplayWidth(rs->Fields(1)), 1);
    EXPECT_EQ(FieldDisplayWidth(rs->Fields(2)), 38);
    EXPECT_EQ(FieldDisplayWidth(rs->Fields(3)), 40);
    EXPECT_EQ(FieldDisplayWidth(rs->Fields(4)), 16);
    EXPECT_EQ(FieldValueText(rs->Fields(4)), ""); // NULL datetime
    EXPECT_EQ(FieldValueText(rs->Fields(2)), "");
    EXPECT_EQ(FieldValueText(rs->Fields(0)), "1");
    EXPECT_EQ(FieldValueText(rs->Fields(3)), "x");

    auto orders = connection.Execute("select orderDate from Orders where id = 1");
    ASSERT_TRUE(orders && orders->IsOpen());
    EXPECT_EQ(FieldValueText(orders->Fields(0)), "2004-03-01 13:45:07:123");
}

TEST_F(DatabaseUtilsTest, KeyColumnIsThePrimaryKeyOfTheResult) {
    TADOQuery query;
    query.SetConnection(&connection);
    query.SetSQLText("select name, id from Regions");
    query.Open();
    EXPECT_EQ(GetKeyColumn(&query), "id");
    query.SetSQLText("select name from Regions");
    query.Open();
    EXPECT_EQ(GetKeyColumn(&query), "");
}

TEST_F(DatabaseUtilsTest, MarkRecordModifiedSkipsReadOnlyFieldsAndModifiedRecords) {
    TADOQuery query;
    query.SetConnection(&connection);
    query.SetSQLText("select id, name from Regions");
    query.Open();
    query.Fields()[0]->SetReadOnly(true);
    query.Edit();
    EXPECT_FALSE(query.Modified());
    MarkRecordModified(&query); // would raise on the read-only id
    EXPECT_TRUE(query.Modified());
    EXPECT_EQ(query.FieldByName("name")->AsString(), "North");
    query.FieldByName("name")->SetAsString("Changed");
    MarkRecordModified(&query);
    EXPECT_EQ(query.FieldByName("name")->AsString(), "Changed");
    query.Cancel();

    query.Fields()[1]->SetReadOnly(true);
    query.Edit();
    MarkRecordModified(&query);
    EXPECT_FALSE(query.Modified());
    query.Cancel();
}

TEST(RegistryTest, InstalledInstanceAndDataRootFollowTheRegistryOrAreEmpty) {
    TRegistry::Clear();
    EXPECT_EQ(GetInstalledInstance(), "");
    EXPECT_EQ(GetSQLDataRoot("MSSQLSERVER"), "");
    const QString root = "SOFTWARE\\Microsoft\\Microsoft SQL Server\\";
    TRegistry::SetValue(TRootKey::HKEY_LOCAL_MACHINE, root, "InstalledInstances",
                        QByteArray("MSSQLSERVER\0SQLEXPRESS\0\0", 25));
    TRegistry::SetValue(TRootKey::HKEY_LOCAL_MACHINE, root + "Instance Names\\SQL", "MSSQLSERVER", "MSSQL.1");
    TRegistry::SetValue(TRootKey::HKEY_LOCAL_MACHINE, root + "MSSQL.1\\Setup", "SQLDataRoot", "D:\\Data");
    EXPECT_EQ(GetInstalledInstance(), "MSSQLSERVER");
    EXPECT_EQ(GetSQLDataRoot("MSSQLSERVER"), "D:\\Data");
    EXPECT_EQ(GetSQLDataRoot("SQLEXPRESS"), "");
    // No zero byte within the 255 bytes read, or a value that does not fit: empty.
    TRegistry::SetValue(TRootKey::HKEY_LOCAL_MACHINE, root, "InstalledInstances", QByteArray(255, 'A'));
    EXPECT_EQ(GetInstalledInstance(), "");
    TRegistry::SetValue(TRootKey::HKEY_LOCAL_MACHINE, root, "InstalledInstances", QByteArray(300, '\0'));
    EXPECT_EQ(GetInstalledInstance(), "");
    TRegistry::Clear();
}

} // namespace
