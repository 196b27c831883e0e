// waitfor delay through unixODBC + FreeTDS: the session waits, the rest of the batch runs after the
// wait, and the client's cancel (an attention) ends the wait and everything after it.
#include "DemoServerFixture.h"

#include <chrono>
#include <thread>

using namespace sqlsimtest;
using Clock = std::chrono::steady_clock;

namespace {

using Strings = std::vector<std::string>;

class WaitforOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(WaitforOverOdbc, WaitsThenRunsTheRestOfTheBatch) {
    auto start = Clock::now();
    OdbcOutcome out = m_sa->exec("waitfor delay '00:00:00.300'; select 1 as after");
    auto elapsed = Clock::now() - start;
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_EQ(column(out, 0), (Strings{"1"}));
    EXPECT_GE(elapsed, std::chrono::milliseconds(300));

    OdbcOutcome bad = m_sa->exec("waitfor delay '1 minute'");
    EXPECT_EQ(messages(bad),
              (Strings{"148: Incorrect time syntax in time string '1 minute' used with WAITFOR."}));
}

TEST_F(WaitforOverOdbc, CancelEndsTheWaitAndNothingAfterItRuns) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_sa->connection(), &stmt)));
    const std::string text = "insert into Regions (name) values (N'Before'); waitfor delay '00:00:30'; "
                             "insert into Regions (name) values (N'After')";
    // Cancels once the server has the batch; fails the test when it never arrives.
    bool seen = false;
    std::thread canceller([&] {
        auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < deadline && !(seen = logText().find("waitfor delay") != std::string::npos)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        SQLCancel(stmt);
    });
    auto start = Clock::now();
    SQLRETURN rc = SQLExecDirect(stmt, (SQLCHAR*)text.c_str(), SQL_NTS);
    while (SQL_SUCCEEDED(rc)) {
        rc = SQLMoreResults(stmt);
    }
    auto elapsed = Clock::now() - start;
    std::vector<testsupport::OdbcMessage> diagnostics =
        testsupport::OdbcTestClient::diagnostics(SQL_HANDLE_STMT, stmt);
    canceller.join();
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    ASSERT_TRUE(seen);
    EXPECT_EQ(rc, SQL_ERROR);
    ASSERT_FALSE(diagnostics.empty());
    EXPECT_EQ(diagnostics[0].state, "HY008");
    EXPECT_LT(elapsed, std::chrono::seconds(10));

    // The statement before the wait stays done, the one after it never ran, the session goes on.
    OdbcOutcome rows = m_sa->exec("select name from Regions where name in (N'Before', N'After')");
    ASSERT_TRUE(rows.ok) << ::testing::PrintToString(messages(rows));
    EXPECT_EQ(column(rows, 0), (Strings{"Before"}));
}

} // namespace
