#pragma once
// Runs an SQL script on a connection: cuts it into batches at lines reading GO, sends each batch
// as one command, turns every result set into lines of plain text, passes the server's
// informational messages on, reports each failed batch and asks whether to go on. It also writes
// a deletion script for the create statements of a script. It has no window: everything it
// produces leaves through its events, so the Query tab and the command-line runner share it.
#include "TADOConnection.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class TADORecordset;
class TConnectionObject;

class TLumScriptRunner : public QObject {
    Q_OBJECT
    Q_PROPERTY(TADOConnection* Connection READ Connection WRITE SetConnection)
    Q_PROPERTY(QStringList Script READ Script WRITE SetScript)
    Q_PROPERTY(bool TabDelimiter READ TabDelimiter WRITE SetTabDelimiter)
    Q_PROPERTY(int MaxFieldLength READ MaxFieldLength WRITE SetMaxFieldLength)
    Q_PROPERTY(bool NoRecords READ NoRecords WRITE SetNoRecords)

public:
    enum TLumAskType { qtError, qtWarning, qtQuestion };
    Q_ENUM(TLumAskType)

    // Before each batch, and at the start and the end of a run: pos is the index of the line that
    // ends the batch, max the number of lines, comment the batch's first line as written.
    using TLumProgressEvent = std::function<void(QObject* Sender, int pos, int max, const QString& comment)>;
    // Once for each batch that fails. ABreak stops the run; AAsk asks the user whether to go on.
    using TLumErrorEvent = std::function<void(QObject* Sender, const QString& Err, bool& ABreak, bool& AAsk)>;
    // One output line: a result set's header, dash or row line, or an informational message.
    using TLumStringEvent = std::function<void(QObject* Sender, const QString& s)>;
    // Answers a question instead of the default asker; AAnswer starts false (true means OK).
    using TLumAskEvent =
        std::function<void(QObject* Sender, const QString& AQuestion, TLumAskType aType, bool& AAnswer)>;
    // Output lines in blocks, in order. When assigned it takes the place of OnMessage: a big
    // result set reaches a view in a few hundred appends instead of one call per row.
    using TLumLinesEvent = std::function<void(QObject* Sender, const QStringList& lines)>;

    // Asks when OnAsk is not assigned. The GUI installs its message box here (OK and Cancel, the
    // icon by type, captioned with the application title: TLumScriptAskBox::Install). Without an
    // asker the answer is Cancel, so an unattended run stops at its first error.
    using TAsker = std::function<bool(const QString& question, TLumAskType type)>;
    static void SetDefaultAsker(TAsker asker);

    explicit TLumScriptRunner(QObject* owner = nullptr);
    ~TLumScriptRunner() override;

    TADOConnection* Connection() const;
    void SetConnection(TADOConnection* connection);
    // The script, one entry per line; assigning copies the lines.
    const QStringList& Script() const { return m_script; }
    void SetScript(const QStringList& lines) { m_script = lines; }
    // Sets the script from a text, cut into lines at CR LF, LF or CR (a final line break does
    // not add an empty line).
    void SetScriptText(const QString& text);
    bool TabDelimiter() const { return m_tabDelimiter; }
    void SetTabDelimiter(bool value) { m_tabDelimiter = value; }
    int MaxFieldLength() const { return m_maxFieldLength; }
    void SetMaxFieldLength(int value) { m_maxFieldLength = value; }
    bool NoRecords() const { return m_noRecords; }
    void SetNoRecords(bool value) { m_noRecords = value; }

    TLumErrorEvent OnError;
    TLumProgressEvent OnProgress;
    TLumStringEvent OnMessage;
    TLumAskEvent OnAsk;
    TLumLinesEvent OnLines;

    // Runs the runner's own Script. True when every line was processed (batches the user chose
    // to skip after an error included); false when the run was broken off.
    bool Execute();
    bool ExecuteLines(const QStringList& Lines);
    // Inserts at the top of Target a deletion script for the create statements of Script, the
    // last created object first.
    void BuildDropScript(QStringList& Target);
    bool Ask(const QString& AQuestion, TLumAskType aType);
    void DoProgress(int pos, int max, const QString& comment);
    void DoMessage(const QString& s);
    // The informational messages of the last command (number 0), in the order the server sent them.
    void ReportProviderMessages();

    // Stops the run in progress: the running command is cancelled on the server and the run ends
    // as broken off (as after the silent abort). Safe to call from any thread and from the events.
    void Cancel();
    bool CancelRequested() const { return m_cancelRequested; }

    // A line that ends a batch: trimmed of blanks and control characters it reads GO, in any case.
    static bool IsSeparator(const QString& line);
    // The object a script line creates and the statement that drops it; false when the line
    // creates nothing that can be dropped this way.
    static bool ParseCreateLine(const QString& line, QString& name, QString& dropText);
    static QString IfExistsLine(const QString& name);
    // The question asked after a failed batch, with the error text in it.
    static QString ContinueQuestion(const QString& error);
    // A message line as a result pane shows it: every CR and every LF replaced by one blank. The
    // Query tab and the command-line runner both show lines this way.
    static QString PaneLine(const QString& s);
    // Lines of output collected before they are handed to OnLines.
    static int LinesBlockSize() { return 1000; }

private:
    void runBatch(const QString& text);
    void printRecordset(TADORecordset& rs);
    void emitLine(const QString& line);
    void flushLines();
    void stopIfCancelled() const;
    // The silent abort message when the failure is a cancel of ours or the user's.
    QString failureMessage(const std::exception& e) const;

    QPointer<TADOConnection> m_connection;
    QStringList m_script;
    bool m_tabDelimiter = false;
    int m_maxFieldLength = 255;
    bool m_noRecords = false;

    QStringList m_pending;          // lines not yet handed to OnLines
    bool m_messagesReported = true; // the last command's messages went out already
    QElapsedTimer m_sinceFlush;
    std::atomic<bool> m_cancelRequested = false;
    std::mutex m_cancelMutex;
    std::shared_ptr<TConnectionObject> m_running; // the connection a run is using, for Cancel
};
