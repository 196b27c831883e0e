// Batches that cannot be answered whole change nothing, and transactions undo what they did,
// through unixODBC + FreeTDS.
#include "DemoServerFixture.h"

#include <chrono>
#include <thread>

using namespace sqlsimtest;

namespace {

using Strings = std::vector<std::string>;

class TransactionsOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    std::string count(const std::string& where) {
        Strings n = column(m_sa->exec("select count(*) from Regions where " + where), 0);
        return n.empty() ? "?" : n[0];
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(TransactionsOverOdbc, ABatchThatDoesNotCompileRunsNothing) {
    OdbcOutcome typo = m_sa->exec("insert into Regions (name) values (N'One')\nselec 1");
    EXPECT_EQ(messages(typo), (Strings{"102: Incorrect syntax near 'selec'."}));
    EXPECT_TRUE(typo.results.empty());
    EXPECT_EQ(count("name = N'One'"), "0");

    OdbcOutcome quote = m_sa->exec("insert into Regions (name) values (N'Two')\nselect 'abc");
    EXPECT_EQ(messages(quote), (Strings{"105: Unclosed quotation mark after the character string 'abc'.",
                                        "102: Incorrect syntax near 'abc'."}));
    OdbcOutcome comment = m_sa->exec("insert into Regions (name) values (N'Two') /* never closed");
    EXPECT_EQ(messages(comment), (Strings{"113: Missing end comment mark '*/'."}));
    EXPECT_EQ(count("name = N'Two'"), "0");
}

TEST_F(TransactionsOverOdbc, ClausesNotAnsweredAreRefusedBeforeAnythingChanges) {
    const std::string before = count("name = N'X'");
    for (const char* text :
         {"update Regions set name = N'X' where id = 1 option (maxdop 1)",
          "insert into Regions (name) values (N'X')\ndelete Regions where id = 1 output deleted.id",
          "update Regions set name = N'X'\nmerge Regions as t using Customers as s on t.id = s.id when "
          "matched "
          "then delete;"}) {
        OdbcOutcome out = m_sa->exec(text);
        EXPECT_FALSE(out.ok) << text;
        ASSERT_EQ(out.messages.size(), 1u) << text;
        EXPECT_NE(out.messages[0].text.find("not supported by the simulator"), std::string::npos) << text;
    }
    EXPECT_EQ(count("name = N'X'"), before);
    // between is answered.
    OdbcOutcome between = m_sa->exec("update Regions set name = name where id between 100 and 200\n"
                                     "update Regions set name = name where id not between 2 and 100");
    EXPECT_EQ(between.order, (Strings{"count:0", "count:1"}));
}

TEST_F(TransactionsOverOdbc, RollbackUndoesRowsObjectsAndSecurity) {
    OdbcOutcome out = m_sa->exec("begin tran\n"
                                 "insert into Regions (name) values (N'Rolled')\n"
                                 "create table dbo.Scratch (id int not null)\n"
                                 "exec sp_addsrvrolemember 'clerk', 'dbcreator'\n"
                                 "select @@trancount\n"
                                 "rollback\n"
                                 "select @@trancount");
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_EQ(column(out, 0, 0), (Strings{"1"}));
    EXPECT_EQ(column(out, 0, 1), (Strings{"0"}));
    EXPECT_EQ(count("name = N'Rolled'"), "0");
    EXPECT_EQ(messages(m_sa->exec("select * from dbo.Scratch")),
              (Strings{"208: Invalid object name 'dbo.Scratch'."}));
    EXPECT_EQ(column(m_sa->exec("select is_srvrolemember('dbcreator', 'clerk')"), 0), (Strings{"0"}));

    // Nested and named: an inner commit only counts down; commit keeps the rows.
    OdbcOutcome nested =
        m_sa->exec("begin tran Outer1\nbegin tran\ninsert into Regions (name) values "
                   "(N'Kept')\ncommit\nselect @@trancount\ncommit tran Outer1\nselect @@trancount");
    ASSERT_TRUE(nested.ok) << ::testing::PrintToString(messages(nested));
    EXPECT_EQ(column(nested, 0, 0), (Strings{"1"}));
    EXPECT_EQ(column(nested, 0, 1), (Strings{"0"}));
    EXPECT_EQ(count("name = N'Kept'"), "1");

    EXPECT_EQ(messages(m_sa->exec("commit")),
              (Strings{"3902: The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."}));
    EXPECT_EQ(messages(m_sa->exec("rollback tran")),
              (Strings{"3903: The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."}));
}

TEST_F(TransactionsOverOdbc, XactAbortDecidesWhetherAFailedStatementEndsTheTransaction) {
    // Off: the duplicate key fails its statement only; the transaction and the batch go on.
    OdbcOutcome off =
        m_sa->exec("begin tran\ninsert into Regions (name) values (N'Off')\n"
                   "insert into Regions (id, name) values (1, N'Dup')\nselect @@trancount\ncommit");
    EXPECT_EQ(column(off, 0), (Strings{"1"}));
    EXPECT_EQ(count("name = N'Off'"), "1");

    OdbcOutcome on = m_sa->exec("set xact_abort on\nbegin tran\ninsert into Regions (name) values (N'On')\n"
                                "insert into Regions (id, name) values (1, N'Dup')\nselect 1 as never");
    EXPECT_FALSE(on.ok);
    EXPECT_TRUE(on.results.empty());
    EXPECT_EQ(column(m_sa->exec("select @@trancount"), 0), (Strings{"0"}));
    EXPECT_EQ(count("name = N'On'"), "0");
}

TEST_F(TransactionsOverOdbc, DriverTransactionsAndDisconnects) {
    // Autocommit off: the driver's own transaction requests.
    ASSERT_TRUE(m_sa->setAutocommit(false));
    ASSERT_TRUE(m_sa->exec("insert into Regions (name) values (N'Driver')").ok);
    EXPECT_EQ(column(m_sa->exec("select @@trancount"), 0), (Strings{"1"}));
    EXPECT_TRUE(m_sa->endTransaction(false));
    EXPECT_TRUE(m_sa->setAutocommit(true));
    EXPECT_EQ(count("name = N'Driver'"), "0");

    // A session that goes with its transaction open leaves nothing behind, and another session's
    // writer waits for it (here: up to its lock timeout).
    {
        auto other = connect("sa", "Secret1", "Sales");
        ASSERT_TRUE(other->exec("begin tran\ninsert into Regions (name) values (N'Gone')").ok);
        OdbcOutcome blocked = m_sa->exec("set lock_timeout 100\ninsert into Regions (name) values (N'Wait')");
        EXPECT_EQ(messages(blocked), (Strings{"1222: Lock request time out period exceeded."}));
    }
    // The disconnect is noticed by the server thread; wait for its rollback.
    std::string gone;
    for (int k = 0; k < 200 && (gone = count("name = N'Gone'")) != "0"; ++k) {
        m_sa->exec("waitfor delay '00:00:00.020'");
    }
    EXPECT_EQ(gone, "0");
    EXPECT_TRUE(m_sa->exec("set lock_timeout -1\ninsert into Regions (name) values (N'Wait')").ok);
}

TEST_F(TransactionsOverOdbc, ReadersWaitForAnotherSessionsChanges) {
    auto writer = connect("sa", "Secret1", "Sales");
    const std::string read = "select name from Regions where id = 1";
    const Strings before = column(m_sa->exec(read), 0);
    ASSERT_EQ(before.size(), 1u);
    ASSERT_TRUE(writer->exec("begin tran\nupdate Regions set name = N'Changed' where id = 1").ok);
    // The writer itself reads its own changes without waiting.
    EXPECT_EQ(column(writer->exec(read), 0), (Strings{"Changed"}));
    // A reader of the table waits (here: up to its lock timeout); the catalogue does not.
    const auto start = std::chrono::steady_clock::now();
    OdbcOutcome blocked = m_sa->exec("set lock_timeout 500\n" + read);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(450));
    EXPECT_EQ(messages(blocked), (Strings{"1222: Lock request time out period exceeded."}));
    EXPECT_TRUE(blocked.results.empty());
    EXPECT_EQ(column(m_sa->exec("select count(*) from sys.tables where name = N'Regions'"), 0), (Strings{"1"}));
    // After the rollback the reader sees the old value, after a commit the new one.
    ASSERT_TRUE(writer->exec("rollback").ok);
    EXPECT_EQ(column(m_sa->exec(read), 0), before);
    ASSERT_TRUE(writer->exec("begin tran\nupdate Regions set name = N'Changed' where id = 1").ok);
    // A reader without a timeout waits until the commit comes.
    std::thread committer([&writer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        writer->exec("commit");
    });
    const auto waitStart = std::chrono::steady_clock::now();
    OdbcOutcome waited = m_sa->exec("set lock_timeout -1\n" + read);
    const auto waitedFor = std::chrono::steady_clock::now() - waitStart;
    committer.join();
    EXPECT_EQ(column(waited, 0), (Strings{"Changed"}));
    EXPECT_GE(waitedFor, std::chrono::milliseconds(250));
    // A transaction that has changed nothing yet keeps no reader waiting.
    ASSERT_TRUE(writer->exec("begin tran").ok);
    EXPECT_EQ(column(m_sa->exec("set lock_timeout 0\n" + read), 0), (Strings{"Changed"}));
    ASSERT_TRUE(writer->exec("commit").ok);
}

} // namespace
