// Simple statements of the Query tab and the data editing write-back, through unixODBC + FreeTDS, as
// the data layer sends them (bracketed names, "?" markers with typed parameters).
#include "DemoServerFixture.h"

#include <algorithm>

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class QueryOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(QueryOverOdbc, MessagesLiteralsAndServerFunctions) {
    OdbcOutcome printed = m_sa->exec("print 'hello'");
    EXPECT_TRUE(printed.ok);
    EXPECT_EQ(messages(printed), (Strings{"0: hello"}));
    OdbcOutcome raised = m_sa->exec("raiserror('Boom', 16, 1)");
    EXPECT_FALSE(raised.ok);
    EXPECT_EQ(messages(raised), (Strings{"50000: Boom"}));

    OdbcOutcome values = m_sa->exec("select @@servername, db_name(), 1 + 2 as n, N'Ёлка' as t, null as z");
    ASSERT_TRUE(values.ok) << ::testing::PrintToString(messages(values));
    EXPECT_EQ(values.results.at(0).columns, (Strings{"", "", "n", "t", "z"}));
    EXPECT_EQ(values.results[0].rows,
              (std::vector<std::vector<testsupport::Cell>>{{"DEMO", "Sales", "3", "Ёлка", {}}}));
    Strings version = column(m_sa->exec("select @@version"), 0);
    ASSERT_EQ(version.size(), 1u);
    EXPECT_EQ(version[0].rfind("Microsoft SQL Server", 0), 0u) << version[0];
}

TEST_F(QueryOverOdbc, ResultsWalkStatementByStatement) {
    // No empty result with a row count between the sets.
    OdbcOutcome out = m_sa->exec("select id from Regions where id < 3; select name from Regions where id = 1;"
                                 " update Regions set name = name where id = 1");
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_EQ(out.order, (Strings{"result", "result", "count:1"}));
    EXPECT_EQ(out.results.at(0).rows.size(), 2u);
}

TEST_F(QueryOverOdbc, ParametersComeBackWithTheirOwnTypes) {
    OdbcOutcome out =
        m_sa->execBound("select ? as n, ? as t", {BoundParam::integer(5), BoundParam::text("abc")});
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_EQ(out.results.at(0).types, (std::vector<SQLSMALLINT>{SQL_INTEGER, SQL_WVARCHAR}));
    EXPECT_EQ(out.results[0].rows, (std::vector<std::vector<testsupport::Cell>>{{"5", "abc"}}));
}

TEST_F(QueryOverOdbc, SelectFiltersOrdersAndLimits) {
    EXPECT_EQ(
        column(
            m_sa->exec("select top 3 id, name from Regions where name like 'S%' or id > 3 order by id desc"),
            0),
        (Strings{"4", "2"}));
    EXPECT_EQ(column(m_sa->exec("select count(*) from Customers where city is null"), 0), (Strings{"6"}));
    EXPECT_EQ(
        column(m_sa->exec("select name from Customers where regionId = 2 and id < 10 order by name"), 0),
        (Strings{"Globex", "Hooli"}));
    OdbcOutcome unknown = m_sa->exec("select nosuch from Regions");
    EXPECT_EQ(messages(unknown), (Strings{"207: Invalid column name 'nosuch'."}));
    OdbcOutcome noTable = m_sa->exec("select * from NoSuchTable");
    EXPECT_EQ(messages(noTable), (Strings{"208: Invalid object name 'NoSuchTable'."}));
    OdbcOutcome unsupported =
        m_sa->exec("merge Regions as t using Customers as s on t.id = s.id when matched "
                   "then delete;");
    EXPECT_FALSE(unsupported.ok);
    ASSERT_EQ(unsupported.messages.size(), 1u);
    EXPECT_NE(unsupported.messages[0].text.find("not supported by the simulator"), std::string::npos);
}

TEST_F(QueryOverOdbc, WriteBackInsertsUpdatesAndDeletesWithBoundParameters) {
    OdbcOutcome inserted =
        m_sa->execBound("INSERT INTO [dbo].[Regions] ([name]) VALUES (?); SELECT SCOPE_IDENTITY()",
                        {BoundParam::text("Запад")});
    ASSERT_TRUE(inserted.ok) << ::testing::PrintToString(messages(inserted));
    EXPECT_EQ(column(inserted, 0), (Strings{"5"}));
    EXPECT_NE(logText().find("sp_executesql"), std::string::npos);
    OdbcOutcome identities = m_sa->exec("select @@identity, ident_current('dbo.Regions')");
    EXPECT_EQ(column(identities, 0), (Strings{"5"}));
    EXPECT_EQ(column(identities, 1), (Strings{"5"}));
    // Another session has no identity of its own yet.
    EXPECT_EQ(column(connect()->exec("select scope_identity()"), 0), (Strings{"NULL"}));

    OdbcOutcome updated = m_sa->execBound("UPDATE [dbo].[Regions] SET [name] = ? WHERE [id] = ?",
                                          {BoundParam::text("Восток"), BoundParam::integer(5)});
    ASSERT_TRUE(updated.ok);
    EXPECT_EQ(updated.order, (Strings{"count:1"}));
    EXPECT_EQ(column(m_sa->execBound("SELECT COUNT(*) FROM [dbo].[Regions] WHERE [id] = ?",
                                     {BoundParam::integer(5)}),
                     0),
              (Strings{"1"}));
    EXPECT_EQ(column(m_sa->exec("select name from Regions where id = 5"), 0), (Strings{"Восток"}));
    OdbcOutcome missed = m_sa->execBound("UPDATE [dbo].[Regions] SET [name] = ? WHERE [id] = ?",
                                         {BoundParam::text("x"), BoundParam::integer(99)});
    EXPECT_EQ(missed.order, (Strings{"count:0"}));

    OdbcOutcome deleted =
        m_sa->execBound("DELETE FROM [dbo].[Regions] WHERE [id] = ?", {BoundParam::integer(5)});
    EXPECT_EQ(deleted.order, (Strings{"count:1"}));
    EXPECT_EQ(column(m_sa->exec("select count(*) from Regions"), 0), (Strings{"4"}));

    // Constraint errors come with "The statement has been terminated."
    OdbcOutcome nulled = m_sa->execBound("INSERT INTO [dbo].[Regions] ([name]) VALUES (?)",
                                         {BoundParam::null(SQL_C_WCHAR, SQL_WVARCHAR)});
    EXPECT_FALSE(nulled.ok);
    EXPECT_EQ(messages(nulled), (Strings{"515: Cannot insert the value NULL into column 'name', table "
                                         "'Sales.dbo.Regions'; column does not allow nulls. INSERT fails.",
                                         "3621: The statement has been terminated."}));
}

TEST_F(QueryOverOdbc, TablesAreCreatedFilledAndDropped) {
    ASSERT_TRUE(
        m_sa->exec("create table dbo.Tmp (id int not null primary key, note nvarchar(10) null default "
                   "(N'x'))")
            .ok);
    OdbcOutcome filled =
        m_sa->exec("set nocount on\ninsert into dbo.Tmp (id) values (1)\ninsert into dbo.Tmp (id, "
                   "note) values (2, N'два')\nset nocount off\nselect id, note from dbo.Tmp order by id");
    ASSERT_TRUE(filled.ok) << ::testing::PrintToString(messages(filled));
    EXPECT_EQ(column(filled, 1), (Strings{"x", "два"}));
    EXPECT_EQ(std::count(filled.order.begin(), filled.order.end(), "count:1"), 0);
    OdbcOutcome dup = m_sa->exec("insert into dbo.Tmp (id) values (1)");
    ASSERT_FALSE(dup.messages.empty());
    EXPECT_EQ(dup.messages[0].native, 2627);
    OdbcOutcome secondDefault =
        m_sa->exec("alter table dbo.Tmp add constraint DF_Tmp_note default (0) for note");
    EXPECT_EQ(messages(secondDefault),
              (Strings{"1781: Column already has a DEFAULT bound to it.",
                       "1750: Could not create constraint or index. See previous errors."}));
    OdbcOutcome notThere = m_sa->exec("if exists (select * from sysobjects where id = object_id('dbo.Nope')) "
                                      "drop table dbo.Nope else print 'no such table'");
    EXPECT_EQ(messages(notThere), (Strings{"0: no such table"}));
    ASSERT_TRUE(m_sa->exec("drop table dbo.Tmp").ok);
    OdbcOutcome again = m_sa->exec("drop table dbo.Tmp");
    EXPECT_EQ(
        messages(again),
        (Strings{
            "3701: Cannot drop the table 'Tmp', because it does not exist or you do not have permission."}));
}

} // namespace
