// Where a query stops and where a batch ends: top (n) without order by ends its scan once n rows
// passed the where clause, so a later row that would fail is never tested; a statement cut off by
// the end of the batch is reported at the last token it has. Through unixODBC + FreeTDS.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class ScanEdgesOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(ScanEdgesOverOdbc, TopWithoutOrderStopsTheScanBeforeARowThatWouldFail) {
    // Ids 1..1100 in insertion order; 1 / (id - 1000) divides by zero at id 1000 only.
    OdbcOutcome made =
        m_sa->exec("create table Numbers (id int not null)\n"
                   "declare @i int = 1\n"
                   "while @i <= 1100 begin insert into Numbers (id) values (@i) set @i = @i + 1 end");
    ASSERT_TRUE(made.ok) << ::testing::PrintToString(messages(made));
    const std::string filter = " from Numbers where 1 / (id - 1000) >= 0";
    OdbcOutcome top = m_sa->exec("select top (5) id" + filter);
    ASSERT_TRUE(top.ok) << ::testing::PrintToString(messages(top));
    EXPECT_EQ(column(top, 0), (Strings{"1", "2", "3", "4", "5"}));
    OdbcOutcome second = m_sa->exec("select top 3 id from Numbers where id % 2 = 0 and 1 / (id - 1000) >= 0");
    EXPECT_EQ(column(second, 0), (Strings{"2", "4", "6"}));
    // Every row is tested when the rows must all be seen: no top, an order by, a count, distinct.
    for (const std::string& all :
         {"select id" + filter, "select top (5) id" + filter + " order by id",
          "select top (5) count(*)" + filter, "select distinct top (5) id" + filter}) {
        EXPECT_EQ(messages(m_sa->exec(all)), (Strings{"8134: Divide by zero error encountered."})) << all;
    }
}

TEST_F(ScanEdgesOverOdbc, AStatementCutOffByTheEndOfTheBatchNamesItsLastToken) {
    EXPECT_EQ(messages(m_sa->exec("select * from Regions where id in (1, 2")),
              (Strings{"102: Incorrect syntax near '2'."}));
    EXPECT_EQ(messages(m_sa->exec("select id from Regions where id =")),
              (Strings{"102: Incorrect syntax near '='."}));
    EXPECT_EQ(messages(m_sa->exec("select id from")),
              (Strings{"156: Incorrect syntax near the keyword 'from'."}));
    EXPECT_EQ(messages(m_sa->exec("update Regions set name = N'x' where id in (1,")),
              (Strings{"102: Incorrect syntax near ','."}));
    // A closing parenthesis that is there is still the one named.
    EXPECT_EQ(messages(m_sa->exec("select * from Regions where id in (1, 2,)")),
              (Strings{"102: Incorrect syntax near ')'."}));
}

} // namespace
