#pragma once
// marlinde-sql: reads a script from a file or standard input, logs on with the same switches as
// marlinde and runs the script through the Query tab's script runner. Result lines and messages go
// to standard output exactly as the Query tab's result pane shows them, errors to standard error.
#include <QByteArray>
#include <QString>
#include <QStringConverter>
#include <QStringList>

#include <cstdio>

class TLumScriptRunner;

class TSqlCommand {
public:
    // Exit statuses.
    enum { exitOk = 0, exitBatchFailed = 1, exitUsage = 2, exitInterrupted = 130 };

    // Parameters without the program name.
    explicit TSqlCommand(QStringList parameters, std::FILE* out = stdout, std::FILE* err = stderr);
    int Run();
    static const char* Usage();

private:
    bool parse();
    bool readScript(QString& script);
    int execute(const QString& script);
    // Appends a line to the output buffer as UTF-8, written out in large blocks.
    void writeLine(const QString& line);
    void flushOutput();
    void error(const QString& text);

    QStringList m_parameters;
    std::FILE* m_out;
    std::FILE* m_err;
    QString m_inputFile;
    bool m_hasInputFile = false;
    bool m_stopOnError = false;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
    QByteArray m_buffer; // output not yet written
    qsizetype m_used = 0;
};
