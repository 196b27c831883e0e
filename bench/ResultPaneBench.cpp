// The Query tab's result pane with a batch returning 1,000,000 rows of (int, nvarchar(50), datetime,
// decimal(18,2)) from the simulator, offscreen: the time from Run to "Completed." and the peak
// memory, against marlinde-sql printing the same rows to /dev/null in the same run (target: the
// pane within 3x marlinde-sql's time, without running out of memory). Then the time to jump to
// the middle of the output and paint it. The simulator serves the rows from its own table in this
// process, so "before the editor" already holds them.
#include "BenchRows.h"
#include "Server.h"
#include "TADOConnection.h"
#include "TApplication.h"
#include "TLumResultPane.h"
#include "TLumSqlEditor.h"
#include "uTLumModuleInterface.h"
#include "uTaLumScript.h"
#include "ufLumScript.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QScrollBar>

#include <sys/resource.h>

#include <cstdio>
#include <string>

namespace {

constexpr const char* kQuery = "select * from bench_rows";

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    auto responder = makeBenchRowsInstance(rows, false);
    sqlsim::Server server(*responder);
    const int port = server.start(0);
    if (port <= 0) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    const QString serverName = QStringLiteral("127.0.0.1,%1").arg(port);

    qint64 cliMs = -1;
#ifdef MARLINDE_SQL_BINARY
    {
        QProcess cli;
        cli.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer t;
        t.start();
        cli.start(QStringLiteral(MARLINDE_SQL_BINARY), {"-s", serverName, "-u", "sa", "-p", "bench", "-b"});
        cli.write(QByteArray(kQuery) + "\n");
        cli.closeWriteChannel();
        if (!cli.waitForFinished(600000) || cli.exitCode() != 0) {
            std::fprintf(stderr, "marlinde-sql failed\n");
            return 1;
        }
        cliMs = t.elapsed();
    }
#endif

    const long before = peakKb();
    TADOConnection connection;
    connection.SetConnectionString(
        QStringLiteral("Data Source=%1;User ID=sa;Password=bench").arg(serverName));
    connection.Open();
    TLumModuleInterface context;
    context.SetADOConnection(&connection);
    context.SetLanguage(QStringLiteral("English"));
    QWidget host;
    host.resize(900, 700);
    TaLumScript action(nullptr, QStringLiteral("aLumScript"));
    action.SetModuleInterface(&context);
    action.SetParent(&host);
    action.Loaded();
    host.show();
    action.Execute();
    auto* form = qobject_cast<TfLumScript*>(action.ModuleForm());
    form->re1->setText(QString::fromLatin1(kQuery));

    QElapsedTimer t;
    t.start();
    form->aRunExecute();
    QCoreApplication::processEvents(); // the pane's scroll range and first paint
    const qint64 paneMs = t.elapsed();
    const qsizetype lines = form->re1Result->LineCount();
    if (form->re1Result->Line(lines - 1) != QLatin1String("Completed.")) {
        std::fprintf(stderr, "the run did not complete: %s\n", qPrintable(form->re1Result->Line(lines - 1)));
        return 1;
    }
    t.restart();
    form->re1Result->verticalScrollBar()->setValue(int(lines / 2));
    form->re1Result->viewport()->repaint();
    const qint64 jumpMs = t.elapsed();

    std::printf("rows: %ld of (int, nvarchar(50), datetime, decimal(18,2)); pane lines: %lld\n", rows,
                static_cast<long long>(lines));
    std::printf("result pane   %6lld ms (run to \"Completed.\" and first paint)\n",
                static_cast<long long>(paneMs));
    if (cliMs >= 0) {
        std::printf("marlinde-sql  %6lld ms (to /dev/null)\n", static_cast<long long>(cliMs));
        std::printf("ratio pane / marlinde-sql: %.2f (target at most 3)\n", double(paneMs) / double(cliMs));
    }
    std::printf("pane text store: %.1f MB; process peak %.1f MB (%.1f MB before the editor)\n",
                double(form->re1Result->MemoryUsed()) / 1048576.0, double(peakKb()) / 1024.0,
                double(before) / 1024.0);
    std::printf("jump to the middle and paint: %lld ms\n", static_cast<long long>(jumpMs));
    server.stop();
    return 0;
}
