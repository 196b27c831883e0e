// Statements people type after the basics, against the demo instance through unixODBC + FreeTDS:
// the results of a batch after a failed statement, paging with offset ... fetch, throw, and the
// default collation's case-insensitive comparison of non-Latin text.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class QueryStatementsOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    // The first column of the only result, or a failure with the messages.
    Strings firstColumn(const std::string& sql) {
        OdbcOutcome out = m_sa->exec(sql);
        EXPECT_TRUE(out.ok) << sql << ::testing::PrintToString(messages(out));
        EXPECT_EQ(out.results.size(), 1u) << sql;
        return column(out, 0);
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(QueryStatementsOverOdbc, AResultAfterAFailedSelectReachesTheClient) {
    // The driver reports the failed select as an error (SQL_ERROR from SQLMoreResults) and goes on to
    // the next result.
    OdbcOutcome out = m_sa->exec("select 1 as a; select 1 / 0 as z; select 2 as b");
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.order, (Strings{"result", "message:[FreeTDS][SQL Server]Divide by zero error encountered.",
                                  "result"}));
    ASSERT_EQ(out.results.size(), 2u);
    EXPECT_EQ(out.results[1].columns, (Strings{"b"}));
    EXPECT_EQ(column(out, 0, 1), (Strings{"2"}));
}

TEST_F(QueryStatementsOverOdbc, OffsetAndFetchPageThroughOrderedRows) {
    EXPECT_EQ(firstColumn("select id from Orders order by id offset 5 rows fetch next 3 rows only"),
              (Strings{"6", "7", "8"}));
    EXPECT_EQ(firstColumn("select name from Regions order by id desc offset 2 rows"), (Strings{"South", "North"}));
    EXPECT_EQ(firstColumn("declare @page int = 2, @size int = 2\n"
                          "select name from Regions order by id offset (@page - 1) * @size rows "
                          "fetch first @size rows only"),
              (Strings{"Сибирь", "Урал"}));
    // Past the end: no rows, and the columns still come.
    OdbcOutcome past = m_sa->exec("select id from Regions order by id offset 10 rows fetch next 1 row only");
    ASSERT_TRUE(past.ok) << ::testing::PrintToString(messages(past));
    EXPECT_EQ(past.results.at(0).columns, (Strings{"id"}));
    EXPECT_TRUE(past.results[0].rows.empty());
    EXPECT_EQ(firstColumn("select id from Regions where id < 3 union all select id from Regions where id > 2 "
                          "order by id desc offset 1 rows fetch next 2 rows only"),
              (Strings{"3", "2"}));
    EXPECT_EQ(messages(m_sa->exec("select top 2 id from Regions order by id offset 1 rows")),
              (Strings{"10741: A TOP can not be used in the same query or sub-query as a OFFSET."}));
    EXPECT_EQ(messages(m_sa->exec("select id from Regions order by id offset -1 rows")),
              (Strings{"10742: The offset specified in a OFFSET clause may not be negative."}));
    EXPECT_EQ(messages(m_sa->exec("select id from Regions order by id offset 0 rows fetch next 0 rows only")),
              (Strings{"10744: The number of rows provided for a FETCH clause must be greater then zero."}));
}

TEST_F(QueryStatementsOverOdbc, ThrowRaisesItsOwnErrorOrRethrowsTheCaughtOne) {
    // Outside try ... catch it ends the batch.
    OdbcOutcome thrown = m_sa->exec("throw 50001, N'Нет такого клиента', 3;\nselect 1");
    EXPECT_FALSE(thrown.ok);
    EXPECT_EQ(messages(thrown), (Strings{"50001: Нет такого клиента"}));
    EXPECT_TRUE(thrown.results.empty());
    // Caught with its number, message and state.
    OdbcOutcome caught = m_sa->exec("declare @n int = 50002\n"
                                    "begin try throw @n, 'boom', 7; end try\n"
                                    "begin catch select error_number(), error_message(), error_state(), "
                                    "error_severity() end catch");
    ASSERT_TRUE(caught.ok) << ::testing::PrintToString(messages(caught));
    EXPECT_EQ(caught.results.at(0).rows.at(0),
              (std::vector<testsupport::Cell>{"50002", "boom", "7", "16"}));
    // A bare throw in a catch block raises the caught error again, number and all.
    OdbcOutcome rethrown = m_sa->exec("begin try select 1 / 0 end try\n"
                                      "begin catch print 'cleaning up'; throw; end catch\nselect 5");
    EXPECT_FALSE(rethrown.ok);
    // (The driver lists errors before informational messages.)
    EXPECT_EQ(messages(rethrown), (Strings{"8134: Divide by zero error encountered.", "0: cleaning up"}));
    EXPECT_TRUE(rethrown.results.empty());
    // The server's checks of its arguments, and of a bare throw outside a catch block (the whole
    // batch fails to compile).
    EXPECT_EQ(messages(m_sa->exec("throw 1, 'x', 1")),
              (Strings{"35100: Error number 1 in the THROW statement is outside the valid range. Specify an "
                       "error number in the valid range of 50000 to 2147483647."}));
    EXPECT_EQ(messages(m_sa->exec("throw 50000, 'x', 300")),
              (Strings{"35101: State 300 in the THROW statement is outside the valid range. Specify a state "
                       "in the valid range of 0 to 255."}));
    OdbcOutcome bare = m_sa->exec("select 1;\nthrow");
    EXPECT_TRUE(bare.results.empty());
    EXPECT_EQ(messages(bare),
              (Strings{"10704: To rethrow an error, a THROW statement must be used inside a CATCH block. Insert "
                       "the THROW statement inside a CATCH block, or add error parameters to the THROW "
                       "statement."}));
}

// sys.indexes and sys.foreign_keys agree with sys.objects and follow create and drop table.
TEST_F(QueryStatementsOverOdbc, KeysAndIndexesInTheCatalogueViews) {
    OdbcOutcome pk = m_sa->exec("select i.name, i.index_id, i.type_desc, i.is_primary_key, i.is_unique\n"
                                "from sys.indexes i join sys.objects o on o.object_id = i.object_id\n"
                                "where o.name = 'Regions'");
    ASSERT_TRUE(pk.ok) << ::testing::PrintToString(messages(pk));
    EXPECT_EQ(pk.results.at(0).types,
              (std::vector<SQLSMALLINT>{SQL_WVARCHAR, SQL_INTEGER, SQL_WVARCHAR, SQL_BIT, SQL_BIT}));
    EXPECT_EQ(pk.results[0].rows,
              (std::vector<std::vector<testsupport::Cell>>{{"PK_Regions", "1", "CLUSTERED", "1", "1"}}));
    // The index's name is the primary key constraint's, as sys.objects lists it.
    EXPECT_EQ(firstColumn("select count(*) from sys.indexes i join sys.objects k on k.name = i.name "
                          "and k.parent_object_id = i.object_id and k.type = 'PK' where i.is_primary_key = 1"),
              firstColumn("select count(*) from sys.objects where type = 'PK'"));
    OdbcOutcome fk = m_sa->exec(
        "select f.name, object_name(f.parent_object_id), object_name(f.referenced_object_id), f.type,\n"
        "f.delete_referential_action_desc, pc.name, rc.name\n"
        "from sys.foreign_keys f join sys.foreign_key_columns k on k.constraint_object_id = f.object_id\n"
        "join sys.columns pc on pc.object_id = k.parent_object_id and pc.column_id = k.parent_column_id\n"
        "join sys.columns rc on rc.object_id = k.referenced_object_id and rc.column_id = k.referenced_column_id\n"
        "where f.name = 'FK_Customers_Regions'");
    ASSERT_TRUE(fk.ok) << ::testing::PrintToString(messages(fk));
    EXPECT_EQ(fk.results.at(0).rows, (std::vector<std::vector<testsupport::Cell>>{
                                         {"FK_Customers_Regions", "Customers", "Regions", "F ", "NO_ACTION",
                                          "regionId", "id"}}));
    EXPECT_EQ(firstColumn("select count(*) from sys.foreign_keys"),
              firstColumn("select count(*) from sys.objects where type = 'F'"));
    // The old views say the same.
    EXPECT_EQ(firstColumn("select count(*) from sysforeignkeys k join sys.foreign_key_columns c on "
                          "c.constraint_object_id = k.constid and c.parent_object_id = k.fkeyid and "
                          "c.referenced_object_id = k.rkeyid and c.parent_column_id = k.fkey and "
                          "c.referenced_column_id = k.rkey"),
              firstColumn("select count(*) from sys.foreign_keys"));
    OdbcOutcome old = m_sa->exec("select object_name(c.constid), c.colid, c.status from sysconstraints c "
                                 "where c.id = object_id('Customers') order by c.status");
    ASSERT_TRUE(old.ok) << ::testing::PrintToString(messages(old));
    EXPECT_EQ(old.results.at(0).rows, (std::vector<std::vector<testsupport::Cell>>{
                                          {"FK_Customers_Regions", "4", "19"},
                                          {"DF_Customers_created", "5", "21"},
                                          {"PK_Customers", "0", "33"}}));
    // A new table without a key is a heap; with its drop the rows go.
    ASSERT_TRUE(m_sa->exec("create table Notes (n int)").ok);
    EXPECT_EQ(firstColumn("select type_desc from sys.indexes where object_id = object_id('Notes')"),
              (Strings{"HEAP"}));
    ASSERT_TRUE(m_sa->exec("drop table Notes").ok);
    EXPECT_EQ(firstColumn("select count(*) from sys.indexes where object_id = object_id('Notes')"),
              (Strings{"0"}));
}

// sysprocesses lists the same sessions as sys.dm_exec_sessions, from any database.
TEST_F(QueryStatementsOverOdbc, SysprocessesAgreesWithTheSessionsView) {
    auto other = connect("sa", "Secret1", "master");
    OdbcOutcome own = m_sa->exec("select rtrim(loginame), db_name(dbid), len(status), datalength(status) "
                                 "from sysprocesses where spid = @@spid");
    ASSERT_TRUE(own.ok) << ::testing::PrintToString(messages(own));
    EXPECT_EQ(own.results.at(0).types.at(0), SQL_WVARCHAR);
    EXPECT_EQ(own.results[0].rows, (std::vector<std::vector<testsupport::Cell>>{{"sa", "Sales", "8", "60"}}));
    EXPECT_EQ(firstColumn("select count(*) from master..sysprocesses p join sys.dm_exec_sessions s on "
                          "s.session_id = p.spid"),
              firstColumn("select count(*) from sys.dm_exec_sessions"));
    EXPECT_EQ(firstColumn("select count(*) from sysprocesses where spid > 50"),
              firstColumn("select count(*) from sys.dm_exec_sessions where is_user_process = 1"));
    EXPECT_EQ(firstColumn("select count(*) from sysprocesses where rtrim(loginame) = 'sa' and spid > 50"),
              (Strings{"2"}));
}

// The default collation ignores case and keeps accents, for Cyrillic and accented Latin letters too.
TEST_F(QueryStatementsOverOdbc, TextComparesCaseInsensitivelyByLetterNotByByte) {
    OdbcOutcome made = m_sa->exec(
        "create table Words (w nvarchar(20) not null)\n"
        "insert into Words (w) values (N'яблоко'), (N'Арбуз'), (N'ёж'), (N'Еда'), (N'банан'), (N'apple'), "
        "(N'Zebra'), (N'éclair'), (N'ezra')");
    ASSERT_TRUE(made.ok) << ::testing::PrintToString(messages(made));
    EXPECT_EQ(firstColumn("select w from Words order by w"),
              (Strings{"apple", "éclair", "ezra", "Zebra", "Арбуз", "банан", "Еда", "ёж", "яблоко"}));
    EXPECT_EQ(firstColumn("select w from Words where w = N'АРБУЗ' or w = N'ÉCLAIR' order by w desc"),
              (Strings{"Арбуз", "éclair"}));
    // Accents count: е is not ё, e is not é.
    EXPECT_EQ(firstColumn("select w from Words where w like N'е%'"), (Strings{"Еда"}));
    EXPECT_EQ(firstColumn("select w from Words where w like N'E%' order by w"), (Strings{"ezra"}));
    EXPECT_EQ(firstColumn("select w from Words where w like N'[а-в]%' order by w"), (Strings{"Арбуз", "банан"}));
    EXPECT_EQ(firstColumn("select w from Words where w like N'_б%'"), (Strings{"яблоко"}));
    EXPECT_EQ(firstColumn("select upper(N'ёжик Éa') + N'|' + lower(N'АРБУЗ ÉCLAIR')"),
              (Strings{"ЁЖИК ÉA|арбуз éclair"}));
    // Values equal but for case group together.
    ASSERT_TRUE(m_sa->exec("insert into Words (w) values (N'БАНАН'), (N'Ezra')").ok);
    EXPECT_EQ(firstColumn("select count(distinct w) from Words"), (Strings{"9"}));
    OdbcOutcome grouped = m_sa->exec("select count(*) from Words group by w having count(*) > 1 order by 1");
    EXPECT_EQ(column(grouped, 0), (Strings{"2", "2"}));
}

} // namespace
