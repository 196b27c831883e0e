// Calls that wait on the server: the event loop keeps turning, the wait window appears after
// about a second, Cancel stops the statement, and the connection is usable afterwards.
#include "DemoSimSuite.h"
#include "EDatabaseError.h"
#include "ModalDriver.h"
#include "SimLog.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TApplication.h"
#include "TDriverCall.h"
#include "TServerWait.h"
#include "TWaitWindow.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>

using testsupport::DemoSimSuite;
using testsupport::ModalDriver;
using testsupport::SimServer;

namespace {

class ServerWaitTest : public DemoSimSuite {
protected:
    TADOConnection connection;

    void SetUp() override {
        ASSERT_TRUE(sim->started());
        connection.SetConnectionString(SaConnectionString());
        connection.Open();
    }
    int firstValue(const QString& sql) {
        auto rs = connection.Execute(sql);
        return rs && !rs->Eof() ? rs->Fields(0).Value().toInt() : -1;
    }
};

TEST_F(ServerWaitTest, HeldStatementKeepsTheLoopTurningAndCancelStopsIt) {
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(50);
    QString shown;
    QString busyError;
    bool idleDepth = false;
    QElapsedTimer clock;
    qint64 shownAt = -1, cancelledAt = -1;
    ModalDriver driver({[&](QWidget* w) {
        auto* wait = qobject_cast<TWaitWindow*>(w);
        ASSERT_NE(wait, nullptr) << w->metaObject()->className();
        shownAt = clock.elapsed();
        shown = wait->Text();
        idleDepth = TServerWait::Depth() == 1;
        // Nothing else may start on the connection meanwhile.
        try {
            connection.Execute("select 1");
        } catch (const EDatabaseError& e) {
            busyError = e.Message();
        }
        EXPECT_TRUE(connection.Busy());
        cancelledAt = clock.elapsed();
        wait->bCancel->click();
    }});
    clock.start();
    try {
        connection.Execute("waitfor delay '00:00:05'");
        ADD_FAILURE() << "the statement was not cancelled";
    } catch (const ECancelled& e) {
        EXPECT_EQ(e.Message(), "Cancelled.");
    }
    const qint64 returned = clock.elapsed();
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_GE(shownAt, TDriverCall::IndicatorDelayMs() - 50);
    EXPECT_LT(shownAt, TDriverCall::IndicatorDelayMs() + 900);
    EXPECT_TRUE(shown.startsWith("Running on " + SimServer(*sim) + "\u2026 (0:0")) << shown.toStdString();
    EXPECT_TRUE(idleDepth);
    EXPECT_EQ(busyError, "The connection is busy with another command.");
    EXPECT_GE(ticks, 10); // the loop kept turning for timers
    EXPECT_LT(returned - cancelledAt, 1500) << "cancel took " << returned - cancelledAt << " ms";
    std::printf("[ measure  ] Cancel to the statement's return: %lld ms\n",
                static_cast<long long>(returned - cancelledAt));
    EXPECT_FALSE(connection.Busy());
    EXPECT_EQ(TServerWait::Depth(), 0);
    ASSERT_TRUE(connection.Connected());
    EXPECT_EQ(firstValue("select 42"), 42);
}

TEST_F(ServerWaitTest, CommandTimeoutCancelsAndZeroWaitsForEver) {
    connection.SetCommandTimeout(1);
    QElapsedTimer clock;
    clock.start();
    ModalDriver driver({[](QWidget*) {}}); // the wait window shows near the timeout; left alone
    try {
        connection.Execute("waitfor delay '00:00:05'");
        ADD_FAILURE() << "no timeout";
    } catch (const ECancelled& e) {
        EXPECT_EQ(e.Message(), "Query timeout expired");
    }
    EXPECT_LT(clock.elapsed(), 3500);
    EXPECT_EQ(firstValue("select 7"), 7);

    // A query's own timeout; 0 (the default) lets a short wait finish.
    TADOQuery q;
    q.SetConnection(&connection);
    EXPECT_EQ(q.CommandTimeout(), 0);
    q.SetSQLText("waitfor delay '00:00:01'; select 5 as n");
    connection.SetCommandTimeout(0);
    q.Open();
    EXPECT_EQ(q.Fields()[0]->AsInteger(), 5);
}

TEST_F(ServerWaitTest, ShortCallsShowNoWindow) {
    int windows = 0;
    ModalDriver driver({}, 1);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget())
            ++windows;
    });
    watch.start(5);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(firstValue(QStringLiteral("select %1").arg(i)), i);
    EXPECT_EQ(windows, 0);
}

TEST(DriverCallTest, ElapsedTimeIsMinutesAndSeconds) {
    EXPECT_EQ(TDriverCall::FormatElapsed(999), "0:00");
    EXPECT_EQ(TDriverCall::FormatElapsed(7000), "0:07");
    EXPECT_EQ(TDriverCall::FormatElapsed(62000), "1:02");
    EXPECT_EQ(TDriverCall::FormatElapsed(3723000), "1:02:03");
}

TEST(DriverCallTest, ExceptionsOfTheWorkReachTheCallerAndNestedCallsRunInline) {
    bool nestedOnWorker = false;
    TDriverCall::Run({}, [&] { TDriverCall::Run({}, [&] { nestedOnWorker = TDriverCall::OnWorker(); }); });
    EXPECT_TRUE(nestedOnWorker);
    EXPECT_FALSE(TDriverCall::OnWorker());
    try {
        TDriverCall::Run({}, [] { throw EDatabaseError("boom", 50000); });
        ADD_FAILURE() << "no exception";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "boom");
        EXPECT_EQ(e.NativeError(), 50000);
    }
}

} // namespace
