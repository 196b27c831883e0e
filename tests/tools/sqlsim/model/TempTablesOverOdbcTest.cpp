// Tables people make as they work, against the demo instance through unixODBC + FreeTDS: temporary
// tables made with create table and written like any other, per session and undone by rollback;
// select ... into a new permanent table.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class TempTablesOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    // The first column of the only result of sql run by client (sa when none).
    Strings firstColumn(const std::string& sql, testsupport::OdbcTestClient* client = nullptr) {
        OdbcOutcome out = (client ? client : m_sa.get())->exec(sql);
        EXPECT_TRUE(out.ok) << sql << ::testing::PrintToString(messages(out));
        EXPECT_EQ(out.results.size(), 1u) << sql;
        return column(out, 0);
    }
    // Runs sql, which must succeed; its order of results, counts and messages.
    Strings ran(const std::string& sql) {
        OdbcOutcome out = m_sa->exec(sql);
        EXPECT_TRUE(out.ok) << sql << ::testing::PrintToString(messages(out));
        return out.order;
    }
    static bool refused(const OdbcOutcome& out) {
        return out.messages.size() == 1 &&
               out.messages[0].text.find("not supported by the simulator") != std::string::npos;
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(TempTablesOverOdbc, CreateTableMakesATemporaryTableWithIdentityKeyDefaultsAndNullability) {
    EXPECT_EQ(ran("create table #t (id int identity(10, 5) primary key, name nvarchar(20) not null,\n"
                  "  qty int default 7, note varchar(10) null)\n"
                  "insert into #t (name) values (N'a'), (N'b')\n"
                  "insert #t (name, qty, note) values (N'Ёж', 1, 'x')"),
              (Strings{"count:2", "count:1"}));
    OdbcOutcome rows = m_sa->exec("select id, name, qty, note from #t order by id");
    ASSERT_TRUE(rows.ok) << ::testing::PrintToString(messages(rows));
    EXPECT_EQ(rows.results.at(0).types,
              (std::vector<SQLSMALLINT>{SQL_INTEGER, SQL_WVARCHAR, SQL_INTEGER, SQL_VARCHAR}));
    EXPECT_EQ(column(rows, 0), (Strings{"10", "15", "20"}));
    EXPECT_EQ(column(rows, 1), (Strings{"a", "b", "Ёж"}));
    EXPECT_EQ(column(rows, 2), (Strings{"7", "7", "1"}));
    EXPECT_EQ(column(rows, 3), (Strings{"NULL", "NULL", "x"}));

    // The column rules hold, and the messages name the table as tempdb keeps it.
    Strings nulls = messages(m_sa->exec("insert #t (qty) values (1)"));
    ASSERT_EQ(nulls.size(), 2u);
    EXPECT_EQ(
        nulls[0].rfind("515: Cannot insert the value NULL into column 'name', table 'tempdb.dbo.#t___", 0),
        0u)
        << nulls[0];
    EXPECT_EQ(nulls[1], "3621: The statement has been terminated.");
    Strings explicitId = messages(m_sa->exec("insert #t (id, name) values (1, N'z')"));
    ASSERT_FALSE(explicitId.empty());
    EXPECT_EQ(explicitId[0].rfind("544: Cannot insert explicit value for identity column in table '#t___", 0),
              0u)
        << explicitId[0];
    ASSERT_TRUE(m_sa->exec("create table #k (code char(3), n int, primary key (code))").ok);
    ASSERT_TRUE(m_sa->exec("insert #k values ('abc', 1)").ok);
    Strings duplicate = messages(m_sa->exec("insert #k values ('ABC', 2)"));
    ASSERT_FALSE(duplicate.empty());
    EXPECT_EQ(duplicate[0].rfind("2627: Violation of PRIMARY KEY constraint", 0), 0u) << duplicate[0];
    EXPECT_NE(duplicate[0].find("The duplicate key value is (ABC)."), std::string::npos) << duplicate[0];
    EXPECT_EQ(firstColumn("select count(*) from #t"), (Strings{"3"}));

    EXPECT_EQ(messages(m_sa->exec("create table #t (a int)")),
              (Strings{"2714: There is already an object named '#t' in the database."}));
    // object_id finds it through tempdb; in another database a bare #name is not looked up there.
    OdbcOutcome ids = m_sa->exec("select case when object_id('tempdb..#t') > 0 then 1 else 0 end, "
                                 "isnull(object_id('#t'), 0), isnull(object_id('tempdb..#none'), 0)");
    ASSERT_TRUE(ids.ok) << ::testing::PrintToString(messages(ids));
    EXPECT_EQ(ids.results.at(0).rows.at(0), (std::vector<testsupport::Cell>{"1", "0", "0"}));
    EXPECT_EQ(firstColumn("select count(*) from tempdb.sys.columns c join tempdb.sys.tables t "
                          "on t.object_id = c.object_id where t.object_id = object_id('tempdb..#t')"),
              (Strings{"4"}));
}

TEST_F(TempTablesOverOdbc, TemporaryTablesAreWrittenLikeOthers) {
    EXPECT_EQ(ran("select id, name into #r from Regions"), (Strings{"count:4"}));
    EXPECT_EQ(ran("update #r set name = upper(name) where id <= 2"), (Strings{"count:2"}));
    EXPECT_EQ(ran("delete from #r where id = 4"), (Strings{"count:1"}));
    // The identity comes along with select ... into; insert ... select takes the query's rows by
    // position, converted to the table's types.
    EXPECT_EQ(ran("insert into #r (name) select name from Regions where id < 3"), (Strings{"count:2"}));
    EXPECT_EQ(ran("insert #r select 20"), (Strings{"count:1"}));
    EXPECT_EQ(firstColumn("select cast(id as varchar) + ':' + name from #r order by id"),
              (Strings{"1:NORTH", "2:SOUTH", "3:Сибирь", "5:North", "6:South", "7:20"}));
    EXPECT_EQ(messages(m_sa->exec("insert into #r (id, name) select id from Regions")),
              (Strings{"120: The select list for the INSERT statement contains fewer items than the insert "
                       "list. The number of SELECT values must match the number of INSERT columns."}));
    EXPECT_EQ(messages(m_sa->exec("insert into #r (name) select id, name from Regions")),
              (Strings{"121: The select list for the INSERT statement contains more items than the insert "
                       "list. The number of SELECT values must match the number of INSERT columns."}));

    // truncate empties it without a count; an identity starts again from its seed.
    ASSERT_TRUE(m_sa->exec("create table #i (id int identity(5, 1), v int)\n"
                           "insert #i (v) values (1), (2)")
                    .ok);
    EXPECT_EQ(ran("truncate table #r\ntruncate table #i"), Strings{});
    EXPECT_EQ(firstColumn("select count(*) from #r"), (Strings{"0"}));
    EXPECT_EQ(ran("insert #i (v) values (3)"), (Strings{"count:1"}));
    EXPECT_EQ(firstColumn("select id from #i"), (Strings{"5"}));
    EXPECT_EQ(messages(m_sa->exec("truncate table #none")),
              (Strings{"4701: Cannot find the object \"#none\" because it does not exist or you do not have "
                       "permissions."}));
    // A permanent table referenced by a foreign key cannot be truncated.
    EXPECT_EQ(
        messages(m_sa->exec("truncate table Regions")),
        (Strings{"4712: Cannot truncate table 'Regions' because it is being referenced by a FOREIGN KEY "
                 "constraint."}));
}

TEST_F(TempTablesOverOdbc, EachSessionHasItsOwnAndDropsOnlyItsOwn) {
    auto clerk = connect("clerk", "clerk", "Sales");
    // Anyone may make a temporary table: no create table permission is needed.
    ASSERT_TRUE(clerk->exec("create table #t (a int)\ninsert #t values (1), (2)").ok);
    ASSERT_TRUE(m_sa->exec("create table #t (b varchar(5))\ninsert #t values ('x')").ok);
    EXPECT_EQ(firstColumn("select count(*) from #t", clerk.get()), (Strings{"2"}));
    EXPECT_EQ(firstColumn("select b from #t"), (Strings{"x"}));
    EXPECT_EQ(messages(m_sa->exec("insert #u values (1)")), (Strings{"208: Invalid object name '#u'."}));
    ASSERT_TRUE(clerk->exec("create table #u (a int)").ok);
    EXPECT_EQ(messages(m_sa->exec("update #u set a = 2")), (Strings{"208: Invalid object name '#u'."}));
    EXPECT_EQ(messages(m_sa->exec("drop table #u")),
              (Strings{"3701: Cannot drop the table '#u', because it does not exist or you do not have "
                       "permission."}));
    EXPECT_EQ(ran("drop table if exists #u"), Strings{});

    EXPECT_EQ(ran("drop table #t"), Strings{});
    EXPECT_EQ(messages(m_sa->exec("select * from #t")), (Strings{"208: Invalid object name '#t'."}));
    EXPECT_EQ(firstColumn("select count(*) from #t", clerk.get()), (Strings{"2"}));
    EXPECT_EQ(firstColumn("select count(*) from tempdb.sys.tables where name like '#[tu][_]%'"),
              (Strings{"2"}));
    // drop table if exists of a permanent table that is not there says nothing either.
    EXPECT_EQ(ran("drop table if exists dbo.NoSuchTable"), Strings{});
}

TEST_F(TempTablesOverOdbc, RollbackUndoesTheirRowsAndTheirCreation) {
    ASSERT_TRUE(m_sa->exec("create table #t (a int)\ninsert #t values (1)").ok);
    ASSERT_TRUE(m_sa->exec("begin tran\ninsert #t values (2)\ndelete #t where a = 1\n"
                           "create table #u (a int)\nrollback")
                    .ok);
    EXPECT_EQ(firstColumn("select a from #t"), (Strings{"1"}));
    EXPECT_EQ(messages(m_sa->exec("select * from #u")), (Strings{"208: Invalid object name '#u'."}));
    ASSERT_TRUE(m_sa->exec("begin tran\ntruncate table #t\ndrop table #t\nrollback").ok);
    EXPECT_EQ(firstColumn("select a from #t"), (Strings{"1"}));
    // A batch refused part way changes nothing, the temporary table included.
    OdbcOutcome refusedBatch = m_sa->exec("insert #t values (5)\nselect a from #t for xml auto");
    EXPECT_TRUE(refused(refusedBatch)) << ::testing::PrintToString(messages(refusedBatch));
    EXPECT_EQ(firstColumn("select count(*) from #t"), (Strings{"1"}));
}

TEST_F(TempTablesOverOdbc, TheTemporaryTablesOfAProcedureOrOfDynamicTextGoWhenTheyEnd) {
    ASSERT_TRUE(m_sa->exec("create procedure dbo.p_Temp as\n"
                           "create table #p (a int)\ninsert #p values (1), (2)\n"
                           "select count(*) from #p")
                    .ok);
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(firstColumn("exec dbo.p_Temp"), (Strings{"2"})) << "run " << run;
        EXPECT_EQ(messages(m_sa->exec("select * from #p")), (Strings{"208: Invalid object name '#p'."}));
    }
    // So do those of text run by exec (...) and sp_executesql.
    EXPECT_EQ(firstColumn("exec ('create table #d (a int) insert #d values (1) select count(*) from #d')"),
              (Strings{"1"}));
    ASSERT_TRUE(m_sa->exec("exec sp_executesql N'select 1 as a into #e'").ok);
    for (const char* gone : {"#d", "#e"}) {
        EXPECT_EQ(messages(m_sa->exec(std::string("select * from ") + gone)),
                  (Strings{std::string("208: Invalid object name '") + gone + "'."}));
    }
    // The caller's own temporary tables stay.
    ASSERT_TRUE(m_sa->exec("create table #mine (a int)").ok);
    EXPECT_EQ(firstColumn("exec dbo.p_Temp\n"), (Strings{"2"}));
    EXPECT_EQ(firstColumn("select count(*) from #mine"), (Strings{"0"}));
}

TEST_F(TempTablesOverOdbc, SelectIntoMakesAPermanentTable) {
    EXPECT_EQ(ran("select id, name into dbo.RegionCopy from Regions where id <= 2"), (Strings{"count:2"}));
    OdbcOutcome copy = m_sa->exec("select * from RegionCopy order by id");
    ASSERT_TRUE(copy.ok) << ::testing::PrintToString(messages(copy));
    EXPECT_EQ(copy.results.at(0).types, (std::vector<SQLSMALLINT>{SQL_INTEGER, SQL_WVARCHAR}));
    EXPECT_EQ(column(copy, 1), (Strings{"North", "South"}));
    // The identity column comes along and goes on from the rows copied.
    EXPECT_EQ(ran("insert RegionCopy (name) values (N'New')"), (Strings{"count:1"}));
    EXPECT_EQ(firstColumn("select id from RegionCopy where name = N'New'"), (Strings{"3"}));
    EXPECT_EQ(firstColumn("select count(*) from sys.tables where name = 'RegionCopy'"), (Strings{"1"}));
    EXPECT_EQ(messages(m_sa->exec("select id into RegionCopy from Regions")),
              (Strings{"2714: There is already an object named 'RegionCopy' in the database."}));

    // Read through a join, the id is a plain column: no identity, and it takes no NULL.
    EXPECT_EQ(ran("select r.id, c.name into dbo.Joined from Regions r join Customers c on c.regionId = r.id "
                  "where c.id <= 3"),
              (Strings{"count:3"}));
    Strings noIdentity = messages(m_sa->exec("insert Joined (name) values (N'x')"));
    ASSERT_FALSE(noIdentity.empty());
    EXPECT_EQ(noIdentity[0], "515: Cannot insert the value NULL into column 'id', table 'Sales.dbo.Joined'; "
                             "column does not allow nulls. INSERT fails.");
    EXPECT_EQ(
        messages(m_sa->exec("select 1 into dbo.NoName")),
        (Strings{"1038: An object or column name is missing or empty. For SELECT INTO statements, verify "
                 "each column has a name. For other statements, look for empty alias names. Aliases "
                 "defined as \"\" or [] are not allowed. Change the alias to a valid name."}));

    // It takes the right to create tables; a rollback takes the table away again.
    auto clerk = connect("clerk", "clerk", "Sales");
    EXPECT_EQ(messages(clerk->exec("select * into dbo.MyOrders from Orders")),
              (Strings{"262: CREATE TABLE permission denied in database 'Sales'."}));
    ASSERT_TRUE(m_sa->exec("begin tran\nselect * into dbo.Undone from Regions\nrollback").ok);
    EXPECT_EQ(messages(m_sa->exec("select * from Undone")), (Strings{"208: Invalid object name 'Undone'."}));
}

TEST_F(TempTablesOverOdbc, WhatIsNotAnsweredIsRefusedBeforeAnythingChanges) {
    for (const char* statement :
         {"create table #f (a int references Regions(id))", "create table master.dbo.#g (a int)",
          "select id into master..#g from Regions", "drop table #a, master.dbo.#b"}) {
        OdbcOutcome out = m_sa->exec(std::string("insert Regions (name) values (N'X')\n") + statement);
        EXPECT_TRUE(refused(out)) << statement << ::testing::PrintToString(messages(out));
    }
    EXPECT_EQ(firstColumn("select count(*) from Regions"), (Strings{"4"}));
    EXPECT_EQ(firstColumn("select count(*) from tempdb.sys.tables where name like '#%'"), (Strings{"0"}));
}

} // namespace
