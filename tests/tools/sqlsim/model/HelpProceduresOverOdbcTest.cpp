// sp_help, sp_helpuser, sp_helpdb for one database and the old systypes view through unixODBC +
// FreeTDS, checked against the other views of the same demo instance.
#include "DemoServerFixture.h"

#include <algorithm>

using namespace sqlsimtest;
using testsupport::Cell;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<std::vector<Cell>>;
using Types = std::vector<SQLSMALLINT>;

class HelpProceduresOverOdbc : public DemoServerFixture {};

TEST_F(HelpProceduresOverOdbc, HelpWithoutAnObjectListsWhatSysobjectsHoldsByTypeThenTheTypes) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome all = sa->exec("exec sp_help");
    ASSERT_TRUE(all.ok) << ::testing::PrintToString(messages(all));
    ASSERT_EQ(all.results.size(), 2u);
    EXPECT_EQ(all.results[0].columns, (Strings{"Name", "Owner", "Object_type"}));
    EXPECT_EQ(all.results[0].types, (Types{SQL_WVARCHAR, SQL_WVARCHAR, SQL_WVARCHAR}));
    EXPECT_EQ(all.results[1].columns, (Strings{"User_type", "Storage_type", "Length", "Prec", "Scale",
                                               "Nullable", "Default_name", "Rule_name", "Collation"}));
    EXPECT_TRUE(all.results[1].rows.empty());

    const Rows& objects = all.results[0].rows;
    Strings names = column(all, 0);
    Strings kinds = column(all, 2);
    EXPECT_TRUE(std::is_sorted(kinds.rbegin(), kinds.rend()));
    auto has = [&objects](const std::vector<Cell>& row) {
        return std::find(objects.begin(), objects.end(), row) != objects.end();
    };
    EXPECT_TRUE(has({"Orders", "dbo", "user table"}));
    EXPECT_TRUE(has({"p_CustomerOrders", "dbo", "stored procedure"}));
    EXPECT_TRUE(has({"fn_OrderTotal", "dbo", "scalar function"}));
    EXPECT_TRUE(has({"vCustomerOrders", "dbo", "view"}));
    EXPECT_TRUE(has({"PK_Orders", "dbo", "primary key cns"}));
    EXPECT_TRUE(has({"FK_OrderLines_Orders", "dbo", "foreign key cns"}));

    // The same objects as sysobjects, and a new table joins both.
    ASSERT_TRUE(sa->exec("create table dbo.HelpProbe (id int not null)").ok);
    OdbcOutcome after = sa->exec("exec sp_help");
    Strings listed = column(after, 0);
    Strings viewed = column(sa->exec("select name from sysobjects"), 0);
    std::sort(listed.begin(), listed.end());
    std::sort(viewed.begin(), viewed.end());
    EXPECT_EQ(listed, viewed);
    EXPECT_NE(std::find(listed.begin(), listed.end(), "HelpProbe"), listed.end());
}

TEST_F(HelpProceduresOverOdbc, HelpOnATableGivesItsColumnsIdentityIndexesAndConstraints) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome orders = sa->exec("exec sp_help 'dbo.Orders'");
    ASSERT_TRUE(orders.ok) << ::testing::PrintToString(messages(orders));
    ASSERT_EQ(orders.results.size(), 8u);
    const auto& r = orders.results;
    EXPECT_EQ(r[0].columns, (Strings{"Name", "Owner", "Type", "Created_datetime"}));
    EXPECT_EQ(r[0].types.at(3), SQL_TYPE_TIMESTAMP);
    EXPECT_EQ(column(orders, 2, 0), (Strings{"user table"}));

    EXPECT_EQ(r[1].columns, (Strings{"Column_name", "Type", "Computed", "Length", "Prec", "Scale", "Nullable",
                                     "TrimTrailingBlanks", "FixedLenNullInSource", "Collation"}));
    EXPECT_EQ(r[1].types, (Types{SQL_WVARCHAR, SQL_WVARCHAR, SQL_VARCHAR, SQL_INTEGER, SQL_CHAR, SQL_CHAR,
                                 SQL_VARCHAR, SQL_VARCHAR, SQL_VARCHAR, SQL_WVARCHAR}));
    EXPECT_EQ(r[1].rows,
              (Rows{{"id", "int", "no", "4", "10   ", "0    ", "no", "(n/a)", "(n/a)", {}},
                    {"customerId", "int", "no", "4", "10   ", "0    ", "no", "(n/a)", "(n/a)", {}},
                    {"orderDate", "datetime", "no", "8", "     ", "     ", "no", "(n/a)", "(n/a)", {}},
                    {"note", "varchar", "no", "50", "     ", "     ", "yes", "no", "no",
                     "SQL_Latin1_General_CP1_CI_AS"}}));
    // The same columns, in the same order, as sys.columns has them.
    EXPECT_EQ(column(orders, 0, 1),
              column(sa->exec("select name from sys.columns where object_id = object_id('dbo.Orders') "
                              "order by column_id"),
                     0));

    EXPECT_EQ(r[2].columns, (Strings{"Identity", "Seed", "Increment", "Not For Replication"}));
    EXPECT_EQ(r[2].rows, (Rows{{"id", "1", "1", "0"}}));
    EXPECT_EQ(r[3].rows, (Rows{{"No rowguidcol column defined."}}));
    EXPECT_EQ(r[4].columns, (Strings{"Data_located_on_filegroup"}));
    EXPECT_EQ(r[5].columns, (Strings{"index_name", "index_description", "index_keys"}));
    EXPECT_EQ(r[5].rows, (Rows{{"PK_Orders", "clustered, unique, primary key located on PRIMARY", "id"}}));
    EXPECT_EQ(r[6].columns, (Strings{"constraint_type", "constraint_name", "delete_action", "update_action",
                                     "status_enabled", "status_for_replication", "constraint_keys"}));
    EXPECT_EQ(
        r[6].rows,
        (Rows{{"DEFAULT on column note", "DF_Orders_note", "(n/a)", "(n/a)", "(n/a)", "(n/a)", "('n/a')"},
              {"FOREIGN KEY", "FK_Orders_Customers", "No Action", "No Action", "Enabled",
               "Is_For_Replication", "customerId"},
              {" ", " ", " ", " ", " ", " ", "REFERENCES Sales.dbo.Customers (id)"},
              {"PRIMARY KEY (clustered)", "PK_Orders", "(n/a)", "(n/a)", "(n/a)", "(n/a)", "id"}}));
    EXPECT_EQ(r[7].rows, (Rows{{"Sales.dbo.OrderLines: FK_OrderLines_Orders"}}));
    EXPECT_EQ(messages(orders), (Strings{"15647: No views with schema binding reference table 'Orders'."}));

    // A table without identity, key, constraints or references says so in messages.
    ASSERT_TRUE(sa->exec("create table dbo.HelpBare (code char(3) null, n decimal(7,2) not null)").ok);
    OdbcOutcome bare = sa->exec("exec sp_help HelpBare");
    ASSERT_TRUE(bare.ok) << ::testing::PrintToString(messages(bare));
    ASSERT_EQ(bare.results.size(), 5u);
    EXPECT_EQ(bare.results[1].rows,
              (Rows{{"code", "char", "no", "3", "     ", "     ", "yes", "no", "yes",
                     "SQL_Latin1_General_CP1_CI_AS"},
                    {"n", "decimal", "no", "5", "7    ", "2    ", "no", "(n/a)", "(n/a)", {}}}));
    EXPECT_EQ(bare.results[2].rows, (Rows{{"No identity column defined.", {}, {}, {}}}));
    EXPECT_EQ(
        messages(bare),
        (Strings{"15472: The object 'HelpBare' does not have any indexes, or you do not have permissions.",
                 "15469: No constraints are defined on object 'HelpBare', or you do not have permissions.",
                 "15470: No foreign keys reference table 'HelpBare', or you do not have permissions on "
                 "referencing tables.",
                 "15647: No views with schema binding reference table 'HelpBare'."}));
}

TEST_F(HelpProceduresOverOdbc, HelpOnAModuleGivesItsParametersAndAnUnknownNameFails) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome proc = sa->exec("exec sp_help 'dbo.p_CustomerOrders'");
    ASSERT_TRUE(proc.ok) << ::testing::PrintToString(messages(proc));
    ASSERT_EQ(proc.results.size(), 2u);
    EXPECT_EQ(column(proc, 2, 0), (Strings{"stored procedure"}));
    EXPECT_EQ(proc.results[1].columns,
              (Strings{"Parameter_name", "Type", "Length", "Prec", "Scale", "Param_order", "Collation"}));
    EXPECT_EQ(proc.results[1].rows, (Rows{{"@customerId", "int", "4", "10", "0", "1", {}}}));

    ASSERT_TRUE(sa->exec("create procedure dbo.HelpProc @name nvarchar(40), @n int output as select 1").ok);
    OdbcOutcome mine = sa->exec("exec sp_help HelpProc");
    ASSERT_TRUE(mine.ok) << ::testing::PrintToString(messages(mine));
    EXPECT_EQ(column(mine, 0, 1), (Strings{"@name", "@n"}));
    EXPECT_EQ(column(mine, 2, 1), (Strings{"80", "4"}));
    EXPECT_EQ(column(mine, 6, 1), (Strings{"SQL_Latin1_General_CP1_CI_AS", "NULL"}));

    OdbcOutcome missing = sa->exec("exec sp_help 'dbo.NoSuchThing'");
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(messages(missing),
              (Strings{"15009: The object 'dbo.NoSuchThing' does not exist in database 'Sales' "
                       "or is invalid for this operation."}));
}

TEST_F(HelpProceduresOverOdbc, HelpUserListsUsersWithTheirRolesOrOneRolesMembers) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome all = sa->exec("exec sp_helpuser");
    ASSERT_TRUE(all.ok) << ::testing::PrintToString(messages(all));
    ASSERT_EQ(all.results.size(), 1u);
    EXPECT_EQ(all.results[0].columns,
              (Strings{"UserName", "RoleName", "LoginName", "DefDBName", "DefSchemaName", "UserID", "SID"}));
    EXPECT_EQ(all.results[0].types.at(5), SQL_SMALLINT);
    EXPECT_EQ(all.results[0].types.at(6), SQL_VARBINARY);
    const Rows& rows = all.results[0].rows;
    auto uidOf = [&sa](const std::string& name) {
        Strings uid = column(sa->exec("select uid from sysusers where name = '" + name + "'"), 0);
        return uid.empty() ? std::string() : uid[0];
    };
    auto rowOf = [&rows](const std::string& user, const std::string& role) -> std::vector<Cell> {
        for (const auto& r : rows) {
            if (r.at(0) == user && r.at(1) == role) {
                return std::vector<Cell>(r.begin(), r.begin() + 6);
            }
        }
        return {};
    };
    EXPECT_EQ(rowOf("clerk", "SalesReaders"),
              (std::vector<Cell>{"clerk", "SalesReaders", "clerk", "Sales", "dbo", uidOf("clerk")}));
    EXPECT_EQ(rowOf("dbo", "db_owner").at(2), Cell("sa"));
    EXPECT_EQ(rowOf("guest", "public").at(2), Cell());
    // Users only, each as often as it has roles (at least once).
    Strings users = column(all, 0);
    EXPECT_EQ(std::count(users.begin(), users.end(), "SalesReaders"), 0);
    EXPECT_EQ(std::count(users.begin(), users.end(), "manager"), 2);

    OdbcOutcome one = sa->exec("exec sp_helpuser 'clerk'");
    ASSERT_TRUE(one.ok) << ::testing::PrintToString(messages(one));
    EXPECT_EQ(column(one, 0), (Strings{"clerk"}));
    EXPECT_EQ(column(one, 1), (Strings{"SalesReaders"}));

    OdbcOutcome role = sa->exec("exec sp_helpuser @name_in_db = 'SalesReaders'");
    ASSERT_TRUE(role.ok) << ::testing::PrintToString(messages(role));
    EXPECT_EQ(role.results.at(0).columns, (Strings{"Role_name", "Role_id", "Users_in_role", "Userid"}));
    EXPECT_EQ(column(role, 2), (Strings{"clerk"}));
    EXPECT_EQ(column(role, 1), (Strings{uidOf("SalesReaders")}));
    // A member added shows at once.
    ASSERT_TRUE(sa->exec("exec sp_addrolemember 'SalesReaders', 'manager'").ok);
    EXPECT_EQ(column(sa->exec("exec sp_helpuser 'SalesReaders'"), 2), (Strings{"clerk", "manager"}));

    OdbcOutcome missing = sa->exec("exec sp_helpuser 'nobody'");
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(messages(missing),
              (Strings{"15198: The name supplied (nobody) is not a user, role, or aliased login."}));
}

TEST_F(HelpProceduresOverOdbc, ListsALoginWithoutFullMetadataViewWouldSeeFilteredAreRefusedWhole) {
    // clerk sees only what it has rights to: neither the object list nor the users and grants are
    // guessed at. The same calls by sa answer (above and in the driver catalogue tests).
    auto clerk = connect("clerk", "clerk", "Sales");
    for (OdbcOutcome out : {clerk->exec("exec sp_help"), clerk->exec("exec sp_help 'dbo.Orders'"),
                            clerk->exec("exec sp_helpuser"), clerk->tablePrivileges("dbo", "Orders"),
                            clerk->columnPrivileges("dbo", "Orders", "")}) {
        EXPECT_FALSE(out.ok);
        Strings said = messages(out);
        ASSERT_EQ(said.size(), 1u);
        EXPECT_EQ(said[0].rfind("50000: Statement not supported by the simulator: ", 0), 0u) << said[0];
        EXPECT_TRUE(out.results.empty());
    }
    // Its own view of a database's row is not filtered: sp_helpdb answers it as for sa.
    auto sa = connect("sa", "Secret1", "Sales");
    EXPECT_EQ(clerk->exec("exec sp_helpdb 'Sales'").results.at(0).rows,
              sa->exec("exec sp_helpdb 'Sales'").results.at(0).rows);
}

TEST_F(HelpProceduresOverOdbc, HelpdbForOneDatabaseGivesItsRowThenItsFiles) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome sales = sa->exec("exec sp_helpdb 'Sales'");
    ASSERT_TRUE(sales.ok) << ::testing::PrintToString(messages(sales));
    ASSERT_EQ(sales.results.size(), 2u);
    EXPECT_EQ(column(sales, 0, 0), (Strings{"Sales"}));
    // The same row the whole list gives for it.
    OdbcOutcome list = sa->exec("exec sp_helpdb");
    const Rows& all = list.results.at(0).rows;
    auto it = std::find_if(all.begin(), all.end(), [](const auto& r) { return r.at(0) == Cell("Sales"); });
    ASSERT_NE(it, all.end());
    EXPECT_EQ(sales.results[0].rows.at(0), *it);

    EXPECT_EQ(sales.results[1].columns,
              (Strings{"name", "fileid", "filename", "filegroup", "size", "maxsize", "growth", "usage"}));
    EXPECT_EQ(sales.results[1].types.at(0), SQL_WCHAR);
    EXPECT_EQ(sales.results[1].types.at(1), SQL_SMALLINT);
    // The files sysfiles lists, data first, the log without a filegroup.
    Strings names;
    for (std::string n : column(sales, 0, 1)) {
        names.push_back(n.substr(0, n.find_last_not_of(' ') + 1));
    }
    EXPECT_EQ(names, column(sa->exec("select name from sysfiles order by fileid"), 0));
    EXPECT_EQ(column(sales, 3, 1).front(), "PRIMARY");
    EXPECT_EQ(column(sales, 3, 1).back(), "NULL");
    EXPECT_EQ(column(sales, 7, 1).back(), "log only");
    Strings sizes = column(sales, 4, 1);
    Strings pages = column(sa->exec("select size from sysfiles order by fileid"), 0);
    ASSERT_EQ(sizes.size(), pages.size());
    for (size_t k = 0; k < sizes.size(); ++k) {
        EXPECT_EQ(sizes[k], std::to_string(std::stoll(pages[k]) * 8) + " KB");
    }

    OdbcOutcome missing = sa->exec("exec sp_helpdb 'NoSuchDb'");
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(messages(missing),
              (Strings{"15010: The database 'NoSuchDb' does not exist. Supply a valid database "
                       "name. To see available databases, use sys.databases."}));
}

TEST_F(HelpProceduresOverOdbc, SystypesListsTheTypesOfSysTypesInTheOldColumns) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome old = sa->exec("select name, xtype, xusertype, length, xprec, xscale, uid, allownulls "
                               "from systypes order by name");
    ASSERT_TRUE(old.ok) << ::testing::PrintToString(messages(old));
    EXPECT_EQ(old.results.at(0).types, (Types{SQL_WVARCHAR, SQL_TINYINT, SQL_SMALLINT, SQL_SMALLINT,
                                              SQL_TINYINT, SQL_TINYINT, SQL_SMALLINT, SQL_BIT}));
    OdbcOutcome now = sa->exec("select name, system_type_id, user_type_id, max_length, precision, scale, "
                               "schema_id, is_nullable from sys.types order by name");
    ASSERT_TRUE(now.ok) << ::testing::PrintToString(messages(now));
    ASSERT_FALSE(old.results[0].rows.empty());
    EXPECT_EQ(old.results[0].rows, now.results.at(0).rows);

    OdbcOutcome every = sa->exec("select * from systypes");
    ASSERT_TRUE(every.ok) << ::testing::PrintToString(messages(every));
    EXPECT_EQ(every.results.at(0).columns,
              (Strings{"name",       "xtype",  "status",   "xusertype", "length",      "xprec",    "xscale",
                       "tdefault",   "domain", "uid",      "reserved",  "collationid", "usertype", "variable",
                       "allownulls", "type",   "printfmt", "prec",      "scale",       "collation"}));
    // Character types carry the collation and their length in characters.
    EXPECT_EQ(
        sa->exec("select prec, variable, collation from systypes where name = 'nvarchar'").results.at(0).rows,
        (Rows{{"4000", "1", "SQL_Latin1_General_CP1_CI_AS"}}));
    EXPECT_EQ(
        sa->exec("select prec, variable, collation from systypes where name = 'int'").results.at(0).rows,
        (Rows{{"10", "0", {}}}));

    // Joined to syscolumns by xtype, each column of a table finds the type INFORMATION_SCHEMA names.
    OdbcOutcome joined =
        sa->exec("select c.name, t.name from syscolumns c join systypes t on t.xtype = c.xtype "
                 "where c.id = object_id('dbo.Orders') order by c.colid");
    ASSERT_TRUE(joined.ok) << ::testing::PrintToString(messages(joined));
    EXPECT_EQ(
        joined.results.at(0).rows,
        sa->exec("select COLUMN_NAME, DATA_TYPE from INFORMATION_SCHEMA.COLUMNS where TABLE_NAME = 'Orders' "
                 "order by ORDINAL_POSITION")
            .results.at(0)
            .rows);
}

} // namespace
