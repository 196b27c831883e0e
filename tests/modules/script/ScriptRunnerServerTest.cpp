// The script runner against the simulator's demo instance through unixODBC and the FreeTDS driver:
// result sets as text, messages, failed batches and the question, the options, and stopping a run.
#include "EDatabaseError.h"
#include "SimLog.h"
#include "SimProcess.h"
#include "TADOConnection.h"
#include "uTLumScriptRunner.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <thread>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

using testsupport::SimProcess;

class ScriptRunnerServer : public ::testing::Test {
protected:
    static inline SimProcess* sim = nullptr;
    static void SetUpTestSuite() {
        sim = new SimProcess({"--demo", "--sa-password", "sa", "--rows", "10000"});
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(sim->started());
        connection.SetConnectionString(
            QStringLiteral("Provider=SQLOLEDB.1;Data Source=127.0.0.1,%1;Initial Catalog=Sales;"
                           "User ID=sa;Password=sa")
                .arg(sim->port()));
        connection.Open();
        runner.SetConnection(&connection);
        runner.OnMessage = [this](QObject* sender, const QString& s) {
            EXPECT_EQ(sender, &runner);
            log << s;
        };
        runner.OnError = [this](QObject*, const QString& err, bool& aBreak, bool& aAsk) {
            log << QStringLiteral("error: %1 break=%2 ask=%3").arg(err).arg(aBreak).arg(aAsk);
        };
    }

    // Runs the script; log gets the output lines and the errors in order.
    bool run(const QString& script) {
        log.clear();
        runner.SetScriptText(script);
        return runner.Execute();
    }
    QStringList batchesSent() const { return testsupport::SimRequests(*sim, "batch", "text"); }

    TADOConnection connection;
    TLumScriptRunner runner;
    QStringList log;
};

TEST_F(ScriptRunnerServer, TwoResultSetsOfABatchPrintInOrderWithBlankNullCells) {
    ASSERT_TRUE(run("select id from Orders where id in (1, 2)\nselect id, note from Orders where id = 7"));
    const QString pad50(50, ' ');
    EXPECT_EQ(log, QStringList({
                       "id         ",
                       "---------- ",
                       "1          ",
                       "2          ",
                       "id         note" + QString(46, ' ') + ' ',
                       "---------- " + QString(50, '-') + ' ',
                       "7          " + pad50 + ' ',
                   }));
}

TEST_F(ScriptRunnerServer, ColumnWidthsComeFromTheTypeTheNameAndTheLimit) {
    // int: 10; varchar(26) literal: 26; a name longer than its type: the name.
    ASSERT_TRUE(run("select 1 as id, 'abcdefghijklmnopqrstuvwxyz' as s, 7 as a_very_long_column_name"));
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log[0], "id         s" + QString(25, ' ') + " a_very_long_column_name ");
    EXPECT_EQ(log[1], QString(10, '-') + ' ' + QString(26, '-') + ' ' + QString(23, '-') + ' ');
    EXPECT_EQ(log[2], "1          abcdefghijklmnopqrstuvwxyz 7" + QString(22, ' ') + ' ');

    // Below the limit every column is cut to it, names excepted.
    runner.SetMaxFieldLength(5);
    ASSERT_TRUE(
        run("select 123456789 as id, 'abcdefghijklmnopqrstuvwxyz' as s, 7 as a_very_long_column_name"));
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log[0], "id    s     a_very_long_column_name ");
    EXPECT_EQ(log[1], "----- ----- ----- ");
    EXPECT_EQ(log[2], "12345 abcde 7     ");
}

TEST_F(ScriptRunnerServer, DatetimeCellsShowTheirMillisecondsInFull) {
    ASSERT_TRUE(run("select orderDate from Orders where id = 3"));
    EXPECT_EQ(log, QStringList({"orderDate" + QString(14, ' ') + ' ', QString(23, '-') + ' ',
                                "2004-03-03 13:45:07:123 "}));
}

TEST_F(ScriptRunnerServer, TabDelimitedLinesKeepBareNamesAndStillCutCells) {
    runner.SetTabDelimiter(true);
    runner.SetMaxFieldLength(12);
    ASSERT_TRUE(run("select id, note, 'abcdefghijklmnopqrstuvwxyz' as s from Orders where id in (6, 7)"));
    EXPECT_EQ(log, QStringList(
                       {"id\tnote\ts\t", "--\t----\t-\t", "6\tn/a\tabcdefghijkl\t", "7\t\tabcdefghijkl\t"}));
}

TEST_F(ScriptRunnerServer, MessagesFollowTheBatchsResultSetsInServerOrder) {
    ASSERT_TRUE(
        run("print 'before'\nselect 1 as a\nprint 'after'\nGO\nupdate Products set note = note where id = 1"
            "\nprint 'only a message'"));
    EXPECT_EQ(
        log, QStringList({"a          ", "---------- ", "1          ", "before", "after", "only a message"}));
}

TEST_F(ScriptRunnerServer, NoRecordsPrintsNoRowsButTheMessages) {
    runner.SetNoRecords(true);
    ASSERT_TRUE(run("select id from Orders\nprint 'done'\nselect 2 as b"));
    EXPECT_EQ(log, QStringList({"done"}));
}

TEST_F(ScriptRunnerServer, AFailedBatchAnsweredOkGoesOnAndCancelStops) {
    QStringList questions;
    bool answer = true;
    runner.OnAsk = [&](QObject*, const QString& q, TLumScriptRunner::TLumAskType type, bool& a) {
        EXPECT_EQ(type, TLumScriptRunner::qtError);
        questions << q;
        a = answer;
    };
    const QString script =
        "select 1 as a\nGO\nprint 'first'\nraiserror('Bad thing', 16, 1)\nGO\nselect 2 as b";
    EXPECT_TRUE(run(script));
    EXPECT_EQ(questions, QStringList({TLumScriptRunner::ContinueQuestion("Bad thing")}));
    EXPECT_EQ(log,
              QStringList({"a          ", "---------- ", "1          ", "first",
                           "error: Bad thing break=0 ask=1", "b          ", "---------- ", "2          "}));

    answer = false;
    questions.clear();
    const qsizetype sentBefore = batchesSent().size();
    EXPECT_FALSE(run(script));
    EXPECT_EQ(questions.size(), 1);
    EXPECT_EQ(log.last(), "error: Bad thing break=0 ask=1");
    const QStringList sent = batchesSent().mid(sentBefore);
    ASSERT_EQ(sent.size(), 2);
    EXPECT_FALSE(sent.last().contains("select 2"));

    // A handler may decide alone: no question, and the run goes on.
    runner.OnError = [](QObject*, const QString&, bool&, bool& aAsk) { aAsk = false; };
    questions.clear();
    EXPECT_TRUE(run(script));
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(ScriptRunnerServer, ProgressNamesEachBatchByItsFirstLine) {
    QStringList progress;
    runner.OnProgress = [&](QObject*, int pos, int max, const QString& comment) {
        progress << QStringLiteral("%1/%2 %3").arg(pos).arg(max).arg(comment);
        EXPECT_EQ(connection.CursorLocation(), TADOConnection::clUseServer);
    };
    connection.SetCursorLocation(TADOConnection::clUseClient);
    ASSERT_TRUE(run("  select 1 as a\nGO\ngo\nselect 2 as b\nprint 'x'"));
    EXPECT_EQ(progress, QStringList({"0/5 ", "1/5   select 1 as a", "2/5   select 1 as a",
                                     "4/5 select 2 as b", "0/5 "}));
    EXPECT_EQ(connection.CursorLocation(), TADOConnection::clUseClient);
    // The batch goes as typed, each line followed by CR LF.
    EXPECT_EQ(batchesSent().last(), "select 2 as b\r\nprint 'x'\r\n");
}

TEST_F(ScriptRunnerServer, LargeResultsStreamToOnLinesInBlocks) {
    std::vector<qsizetype> blocks;
    qsizetype lines = 0;
    QString last;
    runner.OnLines = [&](QObject*, const QStringList& l) {
        blocks.push_back(l.size());
        lines += l.size();
        last = l.last();
    };
    ASSERT_TRUE(run("use Scale\nselect id, name from Rows\nprint 'end'"));
    EXPECT_TRUE(log.isEmpty()); // OnLines takes the place of OnMessage
    EXPECT_EQ(lines, 10000 + 2 + 1);
    EXPECT_EQ(last, "end");
    EXPECT_GE(blocks.size(), size_t(11));
    for (qsizetype b : blocks)
        EXPECT_LE(b, TLumScriptRunner::LinesBlockSize());
    ASSERT_TRUE(run("use Sales"));
}

TEST_F(ScriptRunnerServer, CancelStopsTheRunningBatchOnTheServerAndEndsTheRun) {
    runner.OnAsk = [](QObject*, const QString&, TLumScriptRunner::TLumAskType, bool&) {
        ADD_FAILURE() << "a stop is not a question";
    };
    const qsizetype sentBefore = batchesSent().size();
    std::atomic<bool> done = false;
    std::thread stopper([&] {
        // Stop once the server has the long batch.
        QElapsedTimer clock;
        clock.start();
        while (!done && clock.elapsed() < 20000) {
            const QStringList sent = batchesSent();
            if (sent.size() > sentBefore && sent.last().contains("waitfor")) {
                runner.Cancel();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    QElapsedTimer clock;
    clock.start();
    const bool result = run("waitfor delay '00:00:30'\nGO\nselect 1 as a");
    done = true;
    stopper.join();
    EXPECT_FALSE(result);
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_EQ(log, QStringList({"error: abort break=1 ask=0"}));
    EXPECT_EQ(batchesSent().size(), sentBefore + 1);
    // The connection carries the next run.
    EXPECT_TRUE(run("select 5 as n"));
    EXPECT_EQ(log.value(2), "5          ");
}

} // namespace
