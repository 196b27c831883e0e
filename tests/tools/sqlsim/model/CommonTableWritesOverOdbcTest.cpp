// Update, delete and insert through common table expressions: into the one table their queries read,
// through renamed columns, in the order of top (n) with order by, through a chain of expressions and
// a window function; the errors of expressions that cannot be written through, and rollback. Through
// unixODBC + FreeTDS against the demo instance.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

// Tasks: ids 1..6 in groups 1, 1, 2, 2, 2, 3 with notes a, b, c, d, e, NULL.
class CommonTableWritesOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
        OdbcOutcome made = m_sa->exec(
            "create table Tasks (id int primary key, grp int not null, note nvarchar(20) null)\n"
            "insert into Tasks (id, grp, note) values (1, 1, N'a'), (2, 1, N'b'), (3, 2, N'c'), (4, 2, N'd'),"
            " (5, 2, N'e'), (6, 3, NULL)");
        ASSERT_TRUE(made.ok) << ::testing::PrintToString(messages(made));
    }
    // "id:note" of every task, by id.
    Strings tasks() {
        OdbcOutcome out = m_sa->exec("select cast(id as varchar(5)) + ':' + isnull(note, 'NULL') from Tasks "
                                     "order by id");
        EXPECT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
        return column(out, 0);
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(CommonTableWritesOverOdbc, UpdatesGoToTheTableThroughRenamedColumnsAndBothFilters) {
    OdbcOutcome out = m_sa->exec("with c as (select id, note as label from Tasks where grp = 2)\n"
                                 "update c set label = label + N'!' where id > 3\n"
                                 "select @@rowcount");
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_EQ(column(out, 0), (Strings{"2"}));
    EXPECT_EQ(tasks(), (Strings{"1:a", "2:b", "3:c", "4:d!", "5:e!", "6:NULL"}));
    // Through a chain of expressions, with the set value read from the expression's own columns.
    OdbcOutcome chain = m_sa->exec("with a as (select id, grp, note from Tasks where grp >= 2),\n"
                                   "b (k, n) as (select id, note from a where id < 5)\n"
                                   "update b set n = N'k' + cast(k as nvarchar(5))");
    ASSERT_TRUE(chain.ok) << ::testing::PrintToString(messages(chain));
    EXPECT_EQ(tasks(), (Strings{"1:a", "2:b", "3:k3", "4:k4", "5:e!", "6:NULL"}));
}

TEST_F(CommonTableWritesOverOdbc, DeletesFollowTheQuerysOrderAndWindowFunctions) {
    // The usual way to delete in order: top (n) with order by inside, delete from outside.
    OdbcOutcome last = m_sa->exec("with c as (select top (2) id from Tasks order by id desc) delete from c\n"
                                  "select @@rowcount");
    ASSERT_TRUE(last.ok) << ::testing::PrintToString(messages(last));
    EXPECT_EQ(column(last, 0), (Strings{"2"}));
    EXPECT_EQ(tasks(), (Strings{"1:a", "2:b", "3:c", "4:d"}));
    OdbcOutcome first =
        m_sa->exec("with c as (select top 10 * from Tasks order by note desc) delete top (1) c");
    ASSERT_TRUE(first.ok) << ::testing::PrintToString(messages(first));
    EXPECT_EQ(tasks(), (Strings{"1:a", "2:b", "3:c"}));
    // Duplicates by group: all but the first of each go.
    ASSERT_TRUE(m_sa->exec("insert into Tasks (id, grp, note) values (7, 1, N'x'), (8, 2, N'y')").ok);
    OdbcOutcome dedupe =
        m_sa->exec("with c as (select id, row_number() over (partition by grp order by id) n from Tasks)\n"
                   "delete from c where n > 1");
    ASSERT_TRUE(dedupe.ok) << ::testing::PrintToString(messages(dedupe));
    EXPECT_EQ(tasks(), (Strings{"1:a", "3:c"}));
}

TEST_F(CommonTableWritesOverOdbc, TopLimitsTheRowsAPlainUpdateOrDeleteChanges) {
    OdbcOutcome deleted = m_sa->exec("delete top (2) from Tasks where grp = 2\nselect @@rowcount");
    ASSERT_TRUE(deleted.ok) << ::testing::PrintToString(messages(deleted));
    EXPECT_EQ(column(deleted, 0), (Strings{"2"}));
    OdbcOutcome updated = m_sa->exec("update top (1) Tasks set note = N't' where note is not null\n"
                                     "select @@rowcount, count(*) from Tasks where note = N't'");
    ASSERT_TRUE(updated.ok) << ::testing::PrintToString(messages(updated));
    EXPECT_EQ(column(updated, 0), (Strings{"1"}));
    EXPECT_EQ(column(updated, 1), (Strings{"1"}));
    OdbcOutcome none = m_sa->exec("declare @n int = 0\ndelete top (@n) Tasks\nselect count(*) from Tasks");
    ASSERT_TRUE(none.ok) << ::testing::PrintToString(messages(none));
    EXPECT_EQ(column(none, 0), (Strings{"4"}));
    EXPECT_EQ(
        messages(m_sa->exec("declare @n int = -1\ndelete top (@n) Tasks")),
        (Strings{"1060: The number of rows provided for a TOP or FETCH clauses row count parameter must be "
                 "an integer."}));
    OdbcOutcome percent = m_sa->exec("delete top (50) percent from Tasks");
    ASSERT_EQ(percent.messages.size(), 1u);
    EXPECT_NE(percent.messages[0].text.find("not supported by the simulator"), std::string::npos);
    EXPECT_EQ(column(m_sa->exec("select count(*) from Tasks"), 0), (Strings{"4"}));
}

TEST_F(CommonTableWritesOverOdbc, InsertsGoToTheTableThroughTheColumnsNamed) {
    OdbcOutcome out = m_sa->exec("with c (k, g, n) as (select id, grp, note from Tasks where grp = 9)\n"
                                 "insert into c (n, k, g) values (N'new', 7, 9)");
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_EQ(tasks(), (Strings{"1:a", "2:b", "3:c", "4:d", "5:e", "6:NULL", "7:new"}));
    OdbcOutcome all =
        m_sa->exec("with c as (select note, id, grp from Tasks) insert into c values (N'all', 8, 1)");
    ASSERT_TRUE(all.ok) << ::testing::PrintToString(messages(all));
    EXPECT_EQ(tasks().back(), "8:all");
}

TEST_F(CommonTableWritesOverOdbc, ExpressionsThatCannotBeWrittenThroughAreRefusedAndChangeNothing) {
    const Strings before = tasks();
    EXPECT_EQ(
        messages(m_sa->exec("with c as (select id, grp + 1 as g2 from Tasks) update c set g2 = 5")),
        (Strings{"4406: Update or insert of view or function 'c' failed because it contains a derived or "
                 "constant field."}));
    EXPECT_EQ(
        messages(
            m_sa->exec("with c as (select id, N'x' as k from Tasks) insert into c (id, k) values (9, N'y')")),
        (Strings{"4406: Update or insert of view or function 'c' failed because it contains a derived or "
                 "constant field."}));
    EXPECT_EQ(
        messages(m_sa->exec("with c as (select grp, count(*) n from Tasks group by grp) delete from c")),
        (Strings{"4403: Cannot update the view or function 'c' because it contains aggregates, or a "
                 "DISTINCT or GROUP BY clause, or PIVOT or UNPIVOT operator."}));
    EXPECT_EQ(messages(m_sa->exec("with c as (select distinct grp from Tasks) delete c")),
              (Strings{"4403: Cannot update the view or function 'c' because it contains aggregates, or a "
                       "DISTINCT or GROUP BY clause, or PIVOT or UNPIVOT operator."}));
    EXPECT_EQ(
        messages(m_sa->exec("with c as (select t.id, r.name from Tasks t join Regions r on r.id = t.grp)\n"
                            "delete from c where id = 1")),
        (Strings{"4405: View or function 'c' is not updatable because the modification affects multiple "
                 "base tables."}));
    EXPECT_EQ(messages(m_sa->exec("with c as (select id from Tasks) update c set note = N'z'")),
              (Strings{"207: Invalid column name 'note'."}));
    // A row the table's rules refuse fails the statement whole.
    EXPECT_EQ(
        messages(m_sa->exec("with c as (select id, grp from Tasks where id > 4) update c set grp = null")),
        (Strings{"515: Cannot insert the value NULL into column 'grp', table 'Sales.dbo.Tasks'; column "
                 "does not allow nulls. UPDATE fails.",
                 "3621: The statement has been terminated."}));
    EXPECT_EQ(tasks(), before);
    // Not modelled: refused before anything changes.
    for (const char* text :
         {"with c as (select t.id, t.note from Tasks t join Regions r on r.id = t.grp) update c set note = "
          "N'j'",
          "with c as (select * from vCustomerOrders) delete from c",
          "with c as (select id, note from Tasks union all select id, note from Tasks) delete from c",
          "with c as (select top (50) percent id from Tasks order by id) delete from c"}) {
        OdbcOutcome out = m_sa->exec(text);
        ASSERT_EQ(out.messages.size(), 1u) << text << ::testing::PrintToString(messages(out));
        EXPECT_NE(out.messages[0].text.find("not supported by the simulator"), std::string::npos) << text;
    }
    EXPECT_EQ(tasks(), before);
}

TEST_F(CommonTableWritesOverOdbc, ARolledBackWriteLeavesTheTableAsItWas) {
    OdbcOutcome out = m_sa->exec("begin transaction;\n"
                                 "with c as (select id from Tasks where grp = 2) delete from c\n"
                                 "select count(*) from Tasks\n"
                                 "rollback");
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_EQ(column(out, 0), (Strings{"3"}));
    EXPECT_EQ(tasks(), (Strings{"1:a", "2:b", "3:c", "4:d", "5:e", "6:NULL"}));
}

} // namespace
