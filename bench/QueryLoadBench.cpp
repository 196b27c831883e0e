// Opens a TADOQuery over 1,000,000 rows of (int, nvarchar(50), datetime, decimal(18,2), bit)
// served by the simulator, and reads the same rows with FreeTDS's bsqldb into /dev/null and with
// a raw ODBC loop (bound columns, 512-row blocks, no row store: the physical limit) in the same
// run. Prints the time ratios and our peak memory per row against the rows' raw size. The simulator
// runs in a child process of its own, so the peak growth counts only the client's memory.
#include "BenchRows.h"
#include "Server.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstdio>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kQuery = "select * from bench_rows";

// The same rows through the driver with nothing kept: rows fetched, or -1 on failure. ms gets the
// time from sending the query to the last row (the log-on before it is not counted).
long rawOdbcLoop(const QString& odbcConnectionString, qint64& ms) {
    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;
    SQLHSTMT stmt = nullptr;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    long total = -1;
    if (SQL_SUCCEEDED(SQLDriverConnectW(
            dbc, nullptr,
            const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(odbcConnectionString.utf16())),
            SQLSMALLINT(odbcConnectionString.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        constexpr SQLULEN block = 512;
        std::vector<SQLINTEGER> id(block);
        std::vector<SQLWCHAR> name(block * 51);
        std::vector<SQL_TIMESTAMP_STRUCT> created(block);
        std::vector<char> amount(block * 24);
        std::vector<unsigned char> flag(block);
        std::vector<SQLLEN> lengths(block * 5);
        SQLULEN fetched = 0;
        SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
        SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(block), 0);
        SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        QElapsedTimer clock;
        clock.start();
        if (SQL_SUCCEEDED(
                SQLExecDirectA(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(kQuery)), SQL_NTS))) {
            SQLBindCol(stmt, 1, SQL_C_SLONG, id.data(), sizeof(SQLINTEGER), &lengths[0]);
            SQLBindCol(stmt, 2, SQL_C_WCHAR, name.data(), 51 * sizeof(SQLWCHAR), &lengths[block]);
            SQLBindCol(stmt, 3, SQL_C_TYPE_TIMESTAMP, created.data(), sizeof(SQL_TIMESTAMP_STRUCT),
                       &lengths[2 * block]);
            SQLBindCol(stmt, 4, SQL_C_CHAR, amount.data(), 24, &lengths[3 * block]);
            SQLBindCol(stmt, 5, SQL_C_BIT, flag.data(), 1, &lengths[4 * block]);
            total = 0;
            for (;;) {
                const SQLRETURN rc = SQLFetch(stmt);
                if (rc == SQL_NO_DATA)
                    break;
                if (!SQL_SUCCEEDED(rc)) {
                    total = -1;
                    break;
                }
                total += long(fetched);
            }
        }
        ms = clock.elapsed();
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        SQLDisconnect(dbc);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return total;
}

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

// The simulator with the benchmark rows, served from a forked child until the parent's end of
// `keepAlive` closes. Returns the child's port, or 0 on failure.
int startServerProcess(long rows, pid_t& child, int& keepAlive) {
    int portPipe[2], alivePipe[2];
    if (pipe(portPipe) != 0 || pipe(alivePipe) != 0)
        return 0;
    child = fork();
    if (child < 0)
        return 0;
    if (child == 0) {
        close(portPipe[0]);
        close(alivePipe[1]);
        int port = 0;
        try {
            auto responder = makeBenchRowsInstance(rows, true);
            sqlsim::Server server(*responder);
            port = server.start(0);
            if (write(portPipe[1], &port, sizeof port) != sizeof port)
                _exit(1);
            close(portPipe[1]);
            char c;
            while (read(alivePipe[0], &c, 1) > 0) {
            }
            server.stop();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "simulator: %s\n", e.what());
            if (port == 0 && write(portPipe[1], &port, sizeof port) != sizeof port)
                _exit(1);
        }
        _exit(0);
    }
    close(portPipe[1]);
    close(alivePipe[0]);
    keepAlive = alivePipe[1];
    int port = 0;
    if (read(portPipe[0], &port, sizeof port) != sizeof port)
        port = 0;
    close(portPipe[0]);
    return port;
}

} // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int runs = 3;
    // Forked before any thread exists, so the child starts from a clean single-threaded state.
    pid_t serverPid = -1;
    int keepAlive = -1;
    const int port = startServerProcess(rows, serverPid, keepAlive);
    if (port <= 0) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    QCoreApplication app(argc, argv);

    // The values' own size: int 4, nvarchar 2 per character, datetime 8, decimal(18,2) 9, bit 1.
    double rawBytes = 0;
    for (long i = 0; i < rows; ++i)
        rawBytes += 4 + 2.0 * double(benchRowName(i).size()) + 8 + 9 + 1;

    QTemporaryDir dir;
    QFile conf(dir.filePath(QStringLiteral("freetds.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(
        QStringLiteral("[sim]\n  host = 127.0.0.1\n  port = %1\n  tds version = 7.4\n").arg(port).toUtf8());
    conf.close();
    qint64 peerBest = -1;
    for (int r = 0; r < runs; ++r) {
        QProcess bsqldb;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FREETDSCONF"), conf.fileName());
        bsqldb.setProcessEnvironment(env);
        bsqldb.setStandardOutputFile(QProcess::nullDevice());
        bsqldb.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer t;
        t.start();
        bsqldb.start(QStringLiteral("bsqldb"), {"-S", "sim", "-U", "sa", "-P", "bench"});
        bsqldb.write(QByteArray(kQuery) + "\n");
        bsqldb.closeWriteChannel();
        if (!bsqldb.waitForFinished(600000) || bsqldb.exitCode() != 0) {
            std::fprintf(stderr, "bsqldb failed\n");
            return 1;
        }
        const qint64 ms = t.elapsed();
        peerBest = peerBest < 0 ? ms : std::min(peerBest, ms);
    }

    TADOConnection connection;
    connection.SetConnectionString(
        QStringLiteral("Provider=SQLOLEDB.1;Data Source=127.0.0.1,%1;User ID=sa;Password=bench").arg(port));
    connection.Open();
    const long baseline = kib("VmRSS:");
    qint64 rawBest = -1, ourBest = -1;
    size_t storeBytes = 0;
    // The raw loop and ours take turns, so a machine busy with other work slows both alike.
    for (int r = 0; r < runs + 2; ++r) {
        qint64 rawMs = 0;
        const long n = rawOdbcLoop(connection.OdbcConnectionString(), rawMs);
        if (n != rows) {
            std::fprintf(stderr, "raw loop read %ld rows, expected %ld\n", n, rows);
            return 1;
        }
        rawBest = rawBest < 0 ? rawMs : std::min(rawBest, rawMs);
        TADOQuery query;
        query.SetConnection(&connection);
        query.SetSQLText(QString::fromLatin1(kQuery));
        QElapsedTimer t;
        t.start();
        query.Open();
        const qint64 ms = t.elapsed();
        if (query.RecordCount() != rows) {
            std::fprintf(stderr, "read %d rows, expected %ld\n", query.RecordCount(), rows);
            return 1;
        }
        query.Last();
        if (query.FieldByName("name")->AsString().toStdString() != benchRowName(rows - 1)) {
            std::fprintf(stderr, "last row differs\n");
            return 1;
        }
        storeBytes = query.Store().MemoryBytes();
        ourBest = ourBest < 0 ? ms : std::min(ourBest, ms);
    }
    const long peak = kib("VmHWM:");
    const double perRowPeak = double(peak - baseline) * 1024.0 / double(rows);
    const double perRowRaw = rawBytes / double(rows);
    std::printf("rows: %ld, best of %d runs (bsqldb) and %d alternating runs (raw loop, ours)\n", rows, runs,
                runs + 2);
    std::printf("bsqldb to /dev/null: %lld ms\n", static_cast<long long>(peerBest));
    std::printf("raw ODBC loop:       %lld ms\n", static_cast<long long>(rawBest));
    std::printf("TADOQuery.Open:      %lld ms\n", static_cast<long long>(ourBest));
    std::printf("time ratio (ours / raw ODBC loop): %.2f (target <= 1.3)\n",
                double(ourBest) / double(rawBest));
    std::printf("time ratio (ours / bsqldb): %.2f (target <= 1.5)\n", double(ourBest) / double(peerBest));
    std::printf("raw data: %.1f bytes/row; row store: %.1f bytes/row; peak process growth: %.1f bytes/row\n",
                perRowRaw, double(storeBytes) / double(rows), perRowPeak);
    std::printf("memory ratio (peak growth / raw): %.2f (target <= 2)\n", perRowPeak / perRowRaw);
    close(keepAlive);
    int status = 0;
    waitpid(serverPid, &status, 0);
    return 0;
}
