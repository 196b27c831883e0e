// marlinde-sql run as a program against the simulator's demo instance: its output is the result
// pane's lines, errors go to standard error, and its switches and exit statuses.
#include "DemoSimSuite.h"
#include "SimLog.h"
#include "TADOConnection.h"
#include "uTLumScriptRunner.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

struct Outcome {
    int exitCode = -1;
    QByteArray out, err;
};

class MarlindeSql : public testsupport::DemoSimSuite {
protected:
    QStringList logOn(const QString& database = "Sales") const {
        return {"-s", testsupport::SimServer(*sim), "-u", "sa", "-p", "sa", "-d", database};
    }
    static Outcome run(const QStringList& arguments, const QByteArray& input = {}) {
        QProcess p;
        p.start(MARLINDE_SQL_BINARY, arguments);
        EXPECT_TRUE(p.waitForStarted(10000));
        p.write(input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(60000)) << "marlinde-sql did not finish";
        Outcome o;
        o.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        o.out = p.readAllStandardOutput();
        o.err = p.readAllStandardError();
        return o;
    }
    // The lines the Query tab's result pane shows for the script (its own status line aside):
    // the runner's lines with CR and LF made blanks; errors are the red lines.
    QByteArray paneLines(const QString& script, QStringList& errors) const {
        TADOConnection connection;
        connection.SetConnectionString(SaConnectionString("Sales"));
        connection.Open();
        TLumScriptRunner runner;
        runner.SetConnection(&connection);
        runner.SetScriptText(script);
        QByteArray text;
        runner.OnMessage = [&](QObject*, const QString& s) {
            text += TLumScriptRunner::PaneLine(s).toUtf8() + '\n';
        };
        runner.OnError = [&](QObject*, const QString& e, bool&, bool& aAsk) {
            errors << e;
            aAsk = false;
        };
        runner.Execute();
        return text;
    }
};

const char* const kScript = "select id, orderDate, note from Orders where id in (1, 6)\n"
                            "print 'first batch'\n"
                            "GO\n"
                            "raiserror('Не вышло', 16, 1)\n"
                            "go\n"
                            "select N'Склад' as [Имя], 42 as n\n"
                            "print 'last batch'\n";

TEST_F(MarlindeSql, PrintsTheResultPanesLinesAndErrorsApartAndGoesOnAfterAnError) {
    QTemporaryDir dir;
    const QString file = dir.filePath("script.sql");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xef\xbb\xbf"); // a BOM is not part of the first line
        f.write(kScript);
    }
    const Outcome o = run(logOn() + QStringList{"-i", file});
    QStringList errors;
    const QByteArray expected = paneLines(QString::fromUtf8(kScript), errors);
    EXPECT_EQ(o.exitCode, 1) << o.err.toStdString();
    EXPECT_EQ(o.out, expected);
    EXPECT_TRUE(o.out.contains("2004-03-01 13:45:07:123"));
    EXPECT_TRUE(o.out.endsWith("Склад      42         \nlast batch\n")) << o.out.toStdString();
    EXPECT_EQ(errors, QStringList({"Не вышло"}));
    EXPECT_EQ(o.err, QByteArray("Не вышло\n"));
}

TEST_F(MarlindeSql, StopsAtTheFirstFailedBatchWithB) {
    const qsizetype before = testsupport::SimRequests(*sim, "batch", "text").size();
    const Outcome o = run(logOn() + QStringList{"-b"}, kScript);
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.out.endsWith("first batch\n"));
    EXPECT_EQ(o.err, QByteArray("Не вышло\n"));
    const QStringList sent = testsupport::SimRequests(*sim, "batch", "text").mid(before);
    for (const QString& s : sent)
        EXPECT_FALSE(s.contains("last batch")) << s.toStdString();
}

TEST_F(MarlindeSql, ReadsStandardInputAndSucceeds) {
    const Outcome o = run(logOn() + QStringList{"-b"}, "select 1 as a\r\nGO\r\nselect 2 as b\r\n");
    EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_EQ(o.out, "a          \n---------- \n1          \nb          \n---------- \n2          \n");
    EXPECT_TRUE(o.err.isEmpty());
}

TEST_F(MarlindeSql, BadArgumentsAFileThatCannotBeReadAndAFailedLogOnExitWithTwo) {
    Outcome o = run(logOn() + QStringList{"-x"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_TRUE(o.err.contains("unknown argument '-x'"));
    o = run(logOn() + QStringList{"-i", "/nonexistent/script.sql"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_TRUE(o.err.contains("cannot read /nonexistent/script.sql")) << o.err.toStdString();
    o = run({"-d", "master", "-u", "sa"}, "select 1");
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_TRUE(o.err.contains("no server given"));
    o = run({"-s", testsupport::SimServer(*sim), "-u", "sa", "-p", "wrong"}, "select 1");
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_TRUE(o.err.contains("Login failed for user 'sa'")) << o.err.toStdString();
    EXPECT_TRUE(o.out.isEmpty());
}

TEST_F(MarlindeSql, HelpPrintsTheUsage) {
    const Outcome o = run({"--help"});
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_TRUE(o.out.startsWith("Usage: marlinde-sql [-s server]"));
    for (const char* option : {"-s server", "-d database", "-u user", "-p password", "-t ", "-i file", "-b "})
        EXPECT_TRUE(o.out.contains(option)) << option;
}

} // namespace
