// A batch returning 1,000,000 rows of (int, nvarchar(50), datetime, decimal(18,2)) served by the
// simulator, printed to /dev/null by marlinde-sql and, in the same run against the same server, by
// FreeTDS's bsqldb and tsql. Prints each program's best time and the ratios against the fastest
// peer (target: marlinde-sql no slower than it).
#include "FixedCatalog.h"
#include "Server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

namespace {

constexpr const char* kQuery = "select * from bench_rows";

class BenchResponder : public sqlsim::FixedCatalog {
public:
    explicit BenchResponder(long rows) : FixedCatalog("bench") {
        using namespace sqlsim;
        addRule(Match::Exact, kQuery,
                [rows](const Request&, Session&, Response& out, const std::vector<std::string>&) {
                    ResultSet rs;
                    rs.column("id", ColumnType::of(SqlType::Int), false)
                        .column("name", ColumnType::of(SqlType::NVarChar, 50))
                        .column("created", ColumnType::of(SqlType::DateTime))
                        .column("amount", ColumnType::of(SqlType::Decimal, 0, 18, 2));
                    auto next = std::make_shared<long>(0);
                    const DateTimeValue base = DateTimeValue::fromParts(2020, 1, 1);
                    rs.generator = [rows, next, base](Row& row) {
                        if (*next >= rows)
                            return false;
                        const long i = (*next)++;
                        DateTimeValue at = base;
                        at.days += int32_t(i / 86400);
                        at.micros = int64_t(i % 86400) * 1000000 + (i % 1000) * 1000;
                        row.resize(4);
                        row[0] = SqlValue(int64_t(i));
                        row[1] = SqlValue("customer " + std::to_string(i * 7919 % 1000003));
                        row[2] = SqlValue(at);
                        row[3] = SqlValue(DecimalValue{__int128(i) * 37 - 5000, 2});
                        return true;
                    };
                    out.resultSet(std::move(rs));
                });
    }
};

struct Peer {
    const char* name;
    QString program;
    QStringList arguments;
    QByteArray input;
    qint64 best = -1;
};

// Runs the program with its output to /dev/null; the time in ms, or -1 when it failed.
qint64 timeRun(const Peer& peer, const QProcessEnvironment& env) {
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
    return t.elapsed();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    BenchResponder responder(rows);
    sqlsim::Server server(responder);
    const int port = server.start(0);
    if (port <= 0) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
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
            const qint64 ms = timeRun(peer, env);
            if (ms < 0) {
                std::fprintf(stderr, "%s failed\n", peer.name);
                return 1;
            }
            peer.best = peer.best < 0 ? ms : std::min(peer.best, ms);
        }
    }
    std::printf("rows: %ld of (int, nvarchar(50), datetime, decimal(18,2)), output to /dev/null, best of %d "
                "alternating runs\n",
                rows, runs);
    for (const Peer& peer : peers)
        std::printf("%-13s %6lld ms\n", peer.name, static_cast<long long>(peer.best));
    const qint64 fastestPeer = std::min(peers[1].best, peers[2].best);
    std::printf("ratio marlinde-sql / bsqldb: %.2f\n", double(peers[0].best) / double(peers[1].best));
    std::printf("ratio marlinde-sql / tsql:   %.2f\n", double(peers[0].best) / double(peers[2].best));
    std::printf("ratio marlinde-sql / fastest peer: %.2f (target <= 1.0)\n",
                double(peers[0].best) / double(fastestPeer));
    server.stop();
    return 0;
}
