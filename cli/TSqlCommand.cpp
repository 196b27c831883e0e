#include "TSqlCommand.h"

#include "EDatabaseError.h"
#include "TADOConnection.h"
#include "uLogOnParameters.h"
#include "uTLumScriptRunner.h"

#include <QFile>

#include <csignal>
#include <pthread.h>
#include <thread>

namespace {

QString utf8(const char* s) {
    return QString::fromUtf8(s);
}

} // namespace

const char* TSqlCommand::Usage() {
    return "Usage: marlinde-sql [-s server] [-d database] [-u user] [-p password] [-t] [-i file] [-b]\n"
           "\n"
           "Runs an SQL script on a Microsoft SQL Server as the Query tab of marlinde does: lines reading "
           "GO\n"
           "separate the batches, each result set is printed as a header, a line of dashes and its rows,\n"
           "followed by the server's messages. Results and messages go to standard output, errors to\n"
           "standard error.\n"
           "\n"
           "  -s server     the server: host, host,port or host\\instance\n"
           "  -d database   the database to run in (the login's default database when left out)\n"
           "  -u user       log on with SQL Server authentication as this login\n"
           "  -p password   its password (empty when left out)\n"
           "  -t            log on with integrated security (a Kerberos ticket)\n"
           "  -i file       read the script from file (standard input when left out)\n"
           "  -b            stop at the first batch that fails (exit status 1)\n"
           "  --help        print this text and exit\n"
           "\n"
           "Exit status: 0 when every batch ran, 1 when a batch failed, 2 when the arguments, the script\n"
           "file or the log-on failed, 130 when interrupted.\n";
}

TSqlCommand::TSqlCommand(QStringList parameters, std::FILE* out, std::FILE* err)
    : m_parameters(std::move(parameters)), m_out(out), m_err(err) {}

void TSqlCommand::error(const QString& text) {
    std::fflush(m_out);
    std::fputs(text.toUtf8().constData(), m_err);
    std::fputc('\n', m_err);
    std::fflush(m_err);
}

bool TSqlCommand::parse() {
    const qsizetype n = m_parameters.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QString& p = m_parameters[i];
        // A value is examined as a switch in its turn, as marlinde's log-on does.
        const bool isValue = i > 0 && (TLogOnParameters::TakesValue(m_parameters[i - 1]) ||
                                       m_parameters[i - 1] == QLatin1String("-i"));
        if (p == QLatin1String("-i")) {
            if (i + 1 >= n) {
                error(utf8("marlinde-sql: -i needs a file name"));
                return false;
            }
            m_inputFile = m_parameters[i + 1];
            m_hasInputFile = true;
        } else if (p == QLatin1String("-b")) {
            m_stopOnError = true;
        } else if (TLogOnParameters::TakesValue(p)) {
            if (i + 1 >= n) {
                error(QStringLiteral("marlinde-sql: %1 needs a value").arg(p));
                return false;
            }
        } else if (p != QLatin1String("-t") && !isValue) {
            error(QStringLiteral("marlinde-sql: unknown argument '%1' (see marlinde-sql --help)").arg(p));
            return false;
        }
    }
    return true;
}

bool TSqlCommand::readScript(QString& script) {
    QFile file;
    const bool opened = m_hasInputFile ? (file.setFileName(m_inputFile), file.open(QIODevice::ReadOnly))
                                       : file.open(stdin, QIODevice::ReadOnly);
    const QString source = m_hasInputFile ? m_inputFile : QStringLiteral("standard input");
    if (!opened) {
        error(QStringLiteral("marlinde-sql: cannot read %1: %2").arg(source, file.errorString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error(QStringLiteral("marlinde-sql: cannot read %1: %2").arg(source, file.errorString()));
        return false;
    }
    script = QString::fromUtf8(bytes);
    if (script.startsWith(QChar(0xfeff)))
        script.remove(0, 1);
    return true;
}

void TSqlCommand::writeLines(const QStringList& lines) {
    m_utf16.resize(0);
    for (const QString& line : lines) {
        const qsizetype start = m_utf16.size();
        m_utf16 += line;
        // A line break inside a line becomes a blank, as in the result pane.
        for (qsizetype i = start; i < m_utf16.size(); ++i) {
            if (m_utf16[i] == QLatin1Char('\r') || m_utf16[i] == QLatin1Char('\n'))
                m_utf16[i] = QLatin1Char(' ');
        }
        m_utf16 += QLatin1Char('\n');
    }
    const QByteArray bytes = m_utf16.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
}

int TSqlCommand::Run() {
    if (m_parameters.contains(QLatin1String("--help"))) {
        std::fputs(Usage(), m_out);
        return exitOk;
    }
    if (!parse())
        return exitUsage;
    const TLogOnParameters logOn = TLogOnParameters::Parse(m_parameters);
    if (!logOn.hasServer) {
        error(utf8("marlinde-sql: no server given (-s server; see marlinde-sql --help)"));
        return exitUsage;
    }
    if (!logOn.trusted && !logOn.hasUser) {
        error(utf8("marlinde-sql: no login given (-u user, or -t for integrated security)"));
        return exitUsage;
    }
    QString script;
    if (!readScript(script))
        return exitUsage;
    return execute(script);
}

int TSqlCommand::execute(const QString& script) {
    const TLogOnParameters logOn = TLogOnParameters::Parse(m_parameters);
    TADOConnection connection;
    connection.SetConnectionString(TLogOnParameters::ConnectionString(
        logOn.server, logOn.database, logOn.hasDatabase, logOn.trusted, logOn.user, logOn.password));
    try {
        connection.Open();
    } catch (const std::exception& e) {
        QString message = QString::fromUtf8(e.what());
        if (!message.contains(logOn.server, Qt::CaseInsensitive))
            message += QStringLiteral("\nServer: ") + logOn.server;
        error(message);
        return exitUsage;
    }

    TLumScriptRunner runner;
    runner.SetConnection(&connection);
    runner.SetScriptText(script);
    bool failed = false;
    runner.OnLines = [this](QObject*, const QStringList& lines) { writeLines(lines); };
    runner.OnError = [&](QObject*, const QString& err, bool& aBreak, bool& aAsk) {
        failed = true;
        if (!runner.CancelRequested())
            error(err);
        aAsk = false; // nobody to ask: go on, or stop with -b
        if (m_stopOnError)
            aBreak = true;
    };

    // Ctrl+C (or a TERM) stops the running batch on the server and ends the script.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1); // ends the watcher after the run
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::atomic<bool> interrupted = false;
    std::thread watcher([&] {
        int sig = 0;
        while (sigwait(&stopSignals, &sig) == 0 && sig != SIGUSR1) {
            interrupted = true;
            runner.Cancel();
        }
    });
    bool completed = false;
    try {
        completed = runner.Execute();
    } catch (const std::exception& e) {
        error(QString::fromUtf8(e.what()));
        failed = true;
    }
    pthread_kill(watcher.native_handle(), SIGUSR1);
    watcher.join();
    std::fflush(m_out);
    if (std::ferror(m_out)) {
        error(utf8("marlinde-sql: writing the output failed"));
        return exitUsage;
    }
    if (interrupted) {
        error(utf8("Interrupted."));
        return exitInterrupted;
    }
    return failed || !completed ? exitBatchFailed : exitOk;
}
