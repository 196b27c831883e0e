#pragma once
// marlinde-sql: reads a script from a file or standard input, logs on with the same switches as
// marlinde and runs the script through the Query tab's script runner. Result lines and messages go
// to standard output exactly as the Query tab's result pane shows them, errors to standard error.
#include <QString>
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
    void writeLines(const QStringList& lines);
    void error(const QString& text);

    QStringList m_parameters;
    std::FILE* m_out;
    std::FILE* m_err;
    QString m_inputFile;
    bool m_hasInputFile = false;
    bool m_stopOnError = false;
    QString m_utf16; // the block of lines being written
};
