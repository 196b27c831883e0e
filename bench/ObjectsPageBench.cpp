// The main window's Objects page over a database of 100,000 generated tables (each with its
// primary key, so 200,000 objects in the list), served by the simulator: time from the start of
// the log-on to the first paint of the list, grouping by type, a header sort by name, and an
// incremental search typed into the grid, each against the one-second target, with the process's
// peak memory. Usage: bench_objects_page [objects]
#include "OdbcTestClient.h"
#include "SimLog.h"
#include "SimProcess.h"
#include "TADOQuery.h"
#include "TApplication.h"
#include "TField.h"
#include "TdxDBGrid.h"
#include "TdxDBGridColumn.h"
#include "TdxGridView.h"
#include "uKestrowObjectsPage.h"
#include "ufKestrow.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr double kTargetMs = 1000;

long kib(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// CPU milliseconds (user + system) a process has used so far.
double cpuMs(pid_t pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = f.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) * 1000.0 /
           sysconf(_SC_CLK_TCK);
}

class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Runs the event loop until the list is open and the grid has painted it.
void untilPainted(TfKestrow& w) {
    PaintWatch watch;
    QWidget* viewport = w.Objects()->dxdbg->View()->viewport();
    viewport->installEventFilter(&watch);
    while (!w.Objects()->qObjects->Active() || !watch.painted) {
        if (!w.Objects()->qObjects->Active())
            watch.painted = false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    viewport->removeEventFilter(&watch);
}

void report(const char* what, double ms) {
    std::printf("%-34s %8.0f ms  (%.2f of the 1 s target)\n", what, ms, ms / kTargetMs);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int objects = argc > 1 ? std::atoi(argv[1]) : 100000;
    testsupport::SimProcess sim({"--demo", "--sa-password", "sa", "--objects", std::to_string(objects)});
    if (!sim.started()) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    // The peer: the bare driver fetching the same list into plain strings, in the same run.
    double rawFetch = 0, simCpu = 0;
    {
        testsupport::OdbcTestClient client;
        if (!client.connect(testsupport::OdbcTestClient::connectionString(sim.port(), "sa", "sa", "Scale"))) {
            std::fprintf(stderr, "the bare client could not log on\n");
            return 1;
        }
        const double simBefore = cpuMs(sim.pid());
        QElapsedTimer raw;
        raw.start();
        const auto outcome =
            client.exec("select user_name(o.uid) as sUser, o.name, o.type\nfrom sysobjects o\n\norder by 1");
        rawFetch = double(raw.elapsed());
        simCpu = cpuMs(sim.pid()) - simBefore;
        if (outcome.results.empty())
            return 1;
    }
    TApplication app(argc, argv);
    app.SetTitle(QStringLiteral("Marlinde"));
    QTemporaryDir dir;
    const long baseline = kib("VmRSS:");

    QElapsedTimer t;
    t.start();
    TfKestrow w(dir.filePath(QStringLiteral("marlinde.ini")),
                {QStringLiteral("-s"), testsupport::SimServer(sim), QStringLiteral("-u"),
                 QStringLiteral("sa"), QStringLiteral("-p"), QStringLiteral("sa"), QStringLiteral("-d"),
                 QStringLiteral("Scale")});
    w.show();
    untilPainted(w);
    const double firstPaint = double(t.elapsed());
    TKestrowObjectsPage* page = w.Objects();
    TdxDBGrid* grid = page->dxdbg;
    const int listed = page->qObjects->RecordCount();
    const long afterOpen = kib("VmRSS:");

    t.restart();
    grid->GroupByColumn(page->dxdbgType, 0);
    grid->View()->viewport()->repaint();
    QCoreApplication::processEvents();
    const double group = double(t.elapsed());
    const int groups = grid->TopNodeCount();
    grid->UngroupColumn(page->dxdbgType, 2);
    QCoreApplication::processEvents();

    t.restart();
    grid->SortByColumn(page->dxdbgName, false);
    grid->SortByColumn(page->dxdbgName, false); // descending: the whole order changes
    grid->View()->viewport()->repaint();
    QCoreApplication::processEvents();
    const double sort = double(t.elapsed()) / 2;

    QAbstractItemView* view = grid->View();
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 1));
    const QString typed = QStringLiteral("T99999");
    t.restart();
    QTest::keyClicks(view, typed);
    view->viewport()->repaint();
    QCoreApplication::processEvents();
    const double search = double(t.elapsed());
    const QString found = page->qObjects->FieldByName(QStringLiteral("name"))->AsString();

    std::printf("Objects page, %d objects listed (%d generated tables), simulator on 127.0.0.1\n", listed,
                objects);
    report("log-on to first paint of the list", firstPaint);
    std::printf("%-34s %8.0f ms  (ours / bare = %.2f)\n", "bare driver fetch of the same list", rawFetch,
                firstPaint / qMax(1.0, rawFetch));
    std::printf("%-34s %8.0f ms\n", "  of which simulator CPU", simCpu);
    std::printf("%-34s %8d groups\n", "grouping by type:", groups);
    report("grouping by type", group);
    report("header sort by name (each)", sort);
    report(qPrintable(QStringLiteral("incremental search \"%1\"").arg(typed)), search);
    std::printf("%-34s %s\n", "search found:", qPrintable(found));
    std::printf("memory: list open %+.1f MiB over the start (%.0f bytes per object); peak RSS %.1f MiB\n",
                double(afterOpen - baseline) / 1024.0,
                double(afterOpen - baseline) * 1024.0 / qMax(1, listed), double(kib("VmHWM:")) / 1024.0);
    return 0;
}
