// The compatibility views' rows and the system databases' files as the databases and servers
// modules read them through unixODBC + FreeTDS.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class SystemCatalogueOverOdbc : public DemoServerFixture {};

TEST_F(SystemCatalogueOverOdbc, ViewsCarryTheirColumnsAndKeysAreTypeK) {
    auto sa = connect();
    ASSERT_TRUE(sa->exec("use Sales").ok);
    OdbcOutcome keys = sa->exec("select xtype, type from sysobjects where xtype = 'PK'");
    ASSERT_TRUE(keys.ok) << ::testing::PrintToString(messages(keys));
    ASSERT_FALSE(column(keys, 0).empty());
    EXPECT_EQ(column(keys, 1), Strings(column(keys, 0).size(), "K "));

    OdbcOutcome dbs = sa->exec("select * from master..sysdatabases where name = 'Sales'");
    ASSERT_TRUE(dbs.ok) << ::testing::PrintToString(messages(dbs));
    EXPECT_EQ(dbs.results.at(0).columns,
              (Strings{"name", "dbid", "sid", "mode", "status", "status2", "crdate", "reserved", "category",
                       "cmptlevel", "filename", "version"}));
    OdbcOutcome flags = sa->exec("select cmptlevel, version from master..sysdatabases where name = 'Sales'");
    EXPECT_EQ(column(flags, 0), (Strings{"150"}));
    EXPECT_EQ(column(flags, 1), (Strings{"904"}));

    OdbcOutcome servers = sa->exec("select * from master..sysservers where srvid = 0");
    ASSERT_TRUE(servers.ok) << ::testing::PrintToString(messages(servers));
    EXPECT_EQ(servers.results.at(0).columns, (Strings{"srvid",
                                                      "srvstatus",
                                                      "srvname",
                                                      "srvproduct",
                                                      "providername",
                                                      "datasource",
                                                      "location",
                                                      "providerstring",
                                                      "schemadate",
                                                      "topologyx",
                                                      "topologyy",
                                                      "catalog",
                                                      "srvcollation",
                                                      "connecttimeout",
                                                      "querytimeout",
                                                      "srvnetname",
                                                      "isremote",
                                                      "rpc",
                                                      "pub",
                                                      "sub",
                                                      "dist",
                                                      "dpub",
                                                      "rpcout",
                                                      "dataaccess",
                                                      "collationcompatible",
                                                      "system",
                                                      "useremotecollation",
                                                      "lazyschemavalidation",
                                                      "collation",
                                                      "nonsqlsub"}));
    OdbcOutcome local = sa->exec("select rpc, rpcout, dataaccess from master..sysservers where srvid = 0");
    EXPECT_EQ(column(local, 0), (Strings{"1"}));
    EXPECT_EQ(column(local, 2), (Strings{"0"}));
}

TEST_F(SystemCatalogueOverOdbc, SystemDatabasesBackUpTheirOwnLogicalFiles) {
    auto sa = connect();
    OdbcOutcome temp = sa->exec("select name from tempdb..sysfiles");
    EXPECT_EQ(column(temp, 0), (Strings{"tempdev", "templog"}));
    OdbcOutcome backup = sa->exec("backup database msdb to disk = 'D:\\Backup\\msdb.bak'");
    ASSERT_TRUE(backup.ok) << ::testing::PrintToString(messages(backup));
    Strings said = messages(backup);
    ASSERT_EQ(said.size(), 3u);
    EXPECT_NE(said[0].find("file 'MSDBData'"), std::string::npos) << said[0];
    EXPECT_NE(said[1].find("file 'MSDBLog'"), std::string::npos) << said[1];
    OdbcOutcome files = sa->exec("restore filelistonly from disk = 'D:\\Backup\\msdb.bak'");
    EXPECT_EQ(column(files, 0), (Strings{"MSDBData", "MSDBLog"}));
}

} // namespace
