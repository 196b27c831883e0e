#pragma once
// The underlying server connection: one ODBC environment and connection handle, the messages of
// the last command, and the statements open on it. Shared by every TADOConnection given it.
#include <QList>
#include <QString>

#include <sql.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>

class TOdbcStatement;

// One entry of a connection's Errors: a server or driver message without driver prefixes.
struct TAdoError {
    QString Description;
    int NativeError = 0;
    QString SQLState;
    bool Informational = false; // a PRINT or another message of severity 10 or less
};

class TConnectionObject {
public:
    TConnectionObject();
    ~TConnectionObject();
    TConnectionObject(const TConnectionObject&) = delete;
    TConnectionObject& operator=(const TConnectionObject&) = delete;

    // Connects with an ODBC connection string; raises EDatabaseError with the server's reason.
    // The attempt runs on a worker thread; Cancel in the wait window ("Connecting to SERVER…")
    // returns at once with ECancelled and the attempt is cleaned up in the background.
    void Open(const QString& odbcConnectionString, int loginTimeoutSeconds = 15,
              const QString& serverName = {}, bool integratedSecurity = false);
    // Disconnects; statements still open on it become unusable (they raise when used).
    void Close();
    bool IsOpen() const { return m_dbc != nullptr; }
    // A driver call is running on the connection; nothing else may start on it meanwhile.
    bool Busy() const { return m_busy; }
    // The server as the user named it, for the wait window and messages.
    const QString& ServerName() const { return m_serverName; }

    // Runs a driver call of a statement on this connection through TDriverCall: raises
    // EDatabaseError when the connection is busy, and tells the lost-connection listeners (on
    // the calling thread) when the call found the link broken.
    void Call(int timeoutSeconds, const std::function<void()>& work, std::function<void()> cancel);
    // Cancels the call running on the connection (SQLCancel), from any thread: the call returns
    // with ECancelled. Nothing happens when no call is running.
    void CancelCommand();

    // Called (on the GUI thread) after a call found the link broken and closed the connection.
    int AddLostListener(std::function<void()> listener);
    void RemoveLostListener(int id);
    SQLHDBC Handle() const { return m_dbc; }
    // Counts opens, so a holder can tell that the connection it saw was replaced.
    quint64 Generation() const { return m_generation; }

    const QList<TAdoError>& Errors() const { return m_errors; }
    void ClearErrors() { m_errors.clear(); }
    // Forgets entries added after the first n (lookups of our own that the user did not ask for).
    void TruncateErrors(qsizetype n) {
        if (m_errors.size() > n)
            m_errors.resize(n);
    }

    // Appends the diagnostics of a handle to Errors. When rc is an error raises it: EConnectionLost
    // (after closing) when the link broke, else EDatabaseError with the first error's text.
    void Check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle);

    // A statement about to send a command: any other statement still holding unread results is
    // closed first, since the connection carries one command at a time.
    void BeginCommand(TOdbcStatement* statement);
    void EndCommand(TOdbcStatement* statement);
    void Register(TOdbcStatement* statement) { m_statements.insert(statement); }
    void Unregister(TOdbcStatement* statement);

    // "[unixODBC][FreeTDS][SQL Server]Text" -> "Text".
    static QString StripDriverPrefixes(const QString& text);

private:
    static void collect(SQLSMALLINT handleType, SQLHANDLE handle, QList<TAdoError>& out);
    void notifyLost();
    static bool isLinkFailure(const QList<TAdoError>& records);
    bool isDead() const;
    void freeHandles();

    SQLHENV m_env = nullptr;
    SQLHDBC m_dbc = nullptr;
    quint64 m_generation = 0;
    QList<TAdoError> m_errors;
    std::set<TOdbcStatement*> m_statements;
    TOdbcStatement* m_pending = nullptr;
    std::atomic<bool> m_busy = false;
    std::mutex m_cancelMutex; // guards the two below, set while a call runs
    std::function<void()> m_cancel;
    bool m_cancelRequested = false;
    QString m_serverName;
    std::map<int, std::function<void()>> m_lostListeners;
    int m_nextListener = 1;
};
