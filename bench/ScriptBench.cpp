// A batch returning 1,000,000 rows of (int, nvarchar(50), datetime, decimal(18,2)) served by the
// simulator, printed to /dev/null by marlinde-sql and, in the same run against the same server, by
// FreeTDS's bsqldb and tsql. Prints each program's best time and the ratios against the fastest
// peer (target: marlinde-sql no slower than it).
#include "BenchRows.h"
#include "Server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

#include <sys/resource.h>

namespace {

constexpr const char* kQuery = "select * from bench_rows";

struct Peer {
    const char* name;
    QString program;
    QStringList arguments;
    QByteArray input;
    qint64 best = -1;    // wall-clock ms
    qint64 bestCpu = -1; // user + system ms of the program
};

// CPU time of the children reaped so far, in ms.
qint64 childrenCpuMs() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (qint64(u.ru_utime.tv_sec) + u.ru_stime.tv_sec) * 1000 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

// Runs the program with its output to /dev/null; the time in ms, or -1 when it failed. cpuMs gets
// the program's own processor time.
qint64 timeRun(const Peer& peer, const QProcessEnvironment& env, qint64& cpuMs) {
    const qint64 cpuBefore = childrenCpuMs();
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(peer.program, peer.arguments);
    if (!p.waitForStarted(10000))
        return -1;
    p.write(peer.input);
    p.closeWriteChannel();
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return -1;
    const qint64 ms = t.elapsed();
    cpuMs = childrenCpuMs() - cpuBefore;
    return ms;
}

} // namespace

// bench_script [rows [runs]]: the comparison. bench_script --serve [rows]: only serves the rows
// (password "bench") and prints the port, until standard input ends; for profiling one program.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool serveOnly = argc > 1 && std::string(argv[1]) == "--serve";
    const int first = serveOnly ? 2 : 1;
    const long rows = argc > first ? std::atol(argv[first]) : 1000000;
    const int runs = argc > first + 1 ? std::atoi(argv[first + 1]) : 3;
    auto responder = makeBenchRowsInstance(rows, false);
    sqlsim::Server server(*responder);
    const int port = server.start(0);
    if (port <= 0) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    if (serveOnly) {
        std::printf("%d\n", port);
        std::fflush(stdout);
        while (std::fgetc(stdin) != EOF) {
        }
        server.stop();
        return 0;
    }

    QTemporaryDir dir;
    QFile conf(dir.filePath(QStringLiteral("freetds.conf")));
    if (!conf.open(QIODevice::WriteOnly))
        return 1;
    conf.write(
        QStringLiteral("[sim]\n  host = 127.0.0.1\n  port = %1\n  tds version = 7.4\n").arg(port).toUtf8());
    conf.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FREETDSCONF"), conf.fileName());

#ifdef MARLINDE_SQL_BINARY
    const QString marlindeSql = QStringLiteral(MARLINDE_SQL_BINARY);
#else
    const QString marlindeSql =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/marlinde-sql");
#endif
    Peer peers[] = {
        {"marlinde-sql",
         marlindeSql,
         {"-s", QStringLiteral("127.0.0.1,%1").arg(port), "-u", "sa", "-p", "bench", "-b"},
         QByteArray(kQuery) + "\n"},
        {"bsqldb",
         QStringLiteral("bsqldb"),
         {"-S", "sim", "-U", "sa", "-P", "bench"},
         QByteArray(kQuery) + "\n"},
        {"tsql",
         QStringLiteral("tsql"),
         {"-S", "sim", "-U", "sa", "-P", "bench"},
         QByteArray(kQuery) + "\ngo\nexit\n"},
    };
    // The programs take turns, so a machine busy with other work slows them alike.
    for (int r = 0; r < runs; ++r) {
        for (Peer& peer : peers) {
            qint64 cpu = 0;
            const qint64 ms = timeRun(peer, env, cpu);
            if (ms < 0) {
                std::fprintf(stderr, "%s failed\n", peer.name);
                return 1;
            }
            peer.best = peer.best < 0 ? ms : std::min(peer.best, ms);
            peer.bestCpu = peer.bestCpu < 0 ? cpu : std::min(peer.bestCpu, cpu);
        }
    }
    std::printf("rows: %ld of (int, nvarchar(50), datetime, decimal(18,2)), output to /dev/null, best of %d "
                "alternating runs\n",
                rows, runs);
    std::printf("%-13s %8s %8s\n", "", "wall ms", "cpu ms");
    for (const Peer& peer : peers)
        std::printf("%-13s %8lld %8lld\n", peer.name, static_cast<long long>(peer.best),
                    static_cast<long long>(peer.bestCpu));
    const qint64 fastestPeer = std::min(peers[1].best, peers[2].best);
    const qint64 leanestPeer = std::min(peers[1].bestCpu, peers[2].bestCpu);
    std::printf("wall ratio marlinde-sql / bsqldb: %.2f, / tsql: %.2f\n",
                double(peers[0].best) / double(peers[1].best), double(peers[0].best) / double(peers[2].best));
    std::printf("cpu ratio  marlinde-sql / bsqldb: %.2f, / tsql: %.2f\n",
                double(peers[0].bestCpu) / double(peers[1].bestCpu),
                double(peers[0].bestCpu) / double(peers[2].bestCpu));
    std::printf("wall ratio marlinde-sql / fastest peer: %.2f (target <= 1.0)\n",
                double(peers[0].best) / double(fastestPeer));
    std::printf("cpu ratio  marlinde-sql / leanest peer: %.2f\n",
                double(peers[0].bestCpu) / double(leanestPeer));
    server.stop();
    return 0;
}
