#pragma once
// The underlying server connection: one ODBC environment and connection handle, the messages of
// the last command, and the statements open on it. Shared by every TADOConnection given it.
#include <QList>
#include <QString>

#include <sql.h>

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
    void Open(const QString& odbcConnectionString, int loginTimeoutSeconds = 15);
    // Disconnects; statements still open on it become unusable (they raise when used).
    void Close();
    bool IsOpen() const { return m_dbc != nullptr; }
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
    void collect(SQLSMALLINT handleType, SQLHANDLE handle, QList<TAdoError>& out);
    static bool isLinkFailure(const QList<TAdoError>& records);
    bool isDead() const;
    void freeHandles();

    SQLHENV m_env = nullptr;
    SQLHDBC m_dbc = nullptr;
    quint64 m_generation = 0;
    QList<TAdoError> m_errors;
    std::set<TOdbcStatement*> m_statements;
    TOdbcStatement* m_pending = nullptr;
};
