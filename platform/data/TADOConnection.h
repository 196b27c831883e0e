#pragma once
// One live server connection, opened from the ADO-style connection string the login dialog
// builds. Its underlying connection object can be handed to another TADOConnection, which then
// sends over the same server session.
#include "TConnectionObject.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class TADORecordset;
class TDataSet;

class TADOConnection : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ConnectionString READ ConnectionString WRITE SetConnectionString)
    Q_PROPERTY(bool LoginPrompt READ LoginPrompt WRITE SetLoginPrompt)
    Q_PROPERTY(bool Connected READ Connected WRITE SetConnected)
    Q_PROPERTY(TCursorLocation CursorLocation READ CursorLocation WRITE SetCursorLocation)
    Q_PROPERTY(int ConnectionTimeout READ ConnectionTimeout WRITE SetConnectionTimeout)
    Q_PROPERTY(int CommandTimeout READ CommandTimeout WRITE SetCommandTimeout)

public:
    enum TCursorLocation { clUseServer, clUseClient };
    Q_ENUM(TCursorLocation)
    enum TCommandType { cmdUnknown, cmdText, cmdTable, cmdStoredProc };
    enum TExecuteOption {
        eoAsyncExecute = 1,
        eoAsyncFetch = 2,
        eoAsyncFetchNonBlocking = 4,
        eoExecuteNoRecords = 8
    };
    Q_DECLARE_FLAGS(TExecuteOptions, TExecuteOption)
    enum TSchemaInfo { siCatalogs };

    using TConnectionEvent = std::function<void(TADOConnection* sender)>;

    explicit TADOConnection(QObject* owner = nullptr);
    ~TADOConnection() override;

    QString ConnectionString() const { return m_connectionString; }
    void SetConnectionString(const QString& value) { m_connectionString = value; }
    // There is never a login prompt of our own; the property is kept for the callers that set it.
    bool LoginPrompt() const { return m_loginPrompt; }
    void SetLoginPrompt(bool value) { m_loginPrompt = value; }
    TCursorLocation CursorLocation() const { return m_cursorLocation; }
    void SetCursorLocation(TCursorLocation value) { m_cursorLocation = value; }
    // Seconds an open may take before it fails (0: no limit).
    int ConnectionTimeout() const { return m_connectionTimeout; }
    void SetConnectionTimeout(int seconds) { m_connectionTimeout = seconds; }

    // Seconds a command may wait on the server before it is cancelled (0: for ever).
    int CommandTimeout() const { return m_commandTimeout; }
    void SetCommandTimeout(int seconds) { m_commandTimeout = qMax(0, seconds); }
    // A driver call is running on the connection: nothing else may start on it until it ends.
    bool Busy() const { return m_connection && m_connection->Busy(); }

    // The connection closed itself because the link was lost; an explicit Open clears it. Data
    // sets do not reopen such a connection on their own: the owner logs on again first.
    bool Lost() const { return m_lost; }

    virtual bool Connected() const;
    virtual void SetConnected(bool value);
    // Virtual so that a connection sharing another's session can refuse to open or close it.
    virtual void Open();
    virtual void Close();

    // The underlying connection; setting it makes this component use that connection as it is.
    std::shared_ptr<TConnectionObject> ConnectionObject() const { return m_connection; }
    void SetConnectionObject(std::shared_ptr<TConnectionObject> connection);

    // The messages of the last command, in the order the server sent them.
    QList<TAdoError> Errors() const;

    // Sends a text command. Returns its first result (later ones through NextRecordset), or
    // nothing with eoExecuteNoRecords, where every result is read and dropped. With clUseServer
    // the recordset is forward-only and reads its rows a block at a time.
    std::unique_ptr<TADORecordset> Execute(const QString& commandText, TCommandType commandType = cmdText,
                                           TExecuteOptions options = {});
    // siCatalogs: one row per database the login can see, the name in the first column.
    std::unique_ptr<TADORecordset> OpenSchema(TSchemaInfo schema);

    // The ODBC driver (a registered name or a library path). Set from the settings file;
    // MARLINDE_ODBC_DRIVER overrides it, and without either it is FreeTDS (TOdbcDriverLocator:
    // the registered driver or its library; an error saying what to install when neither exists).
    static void SetDefaultDriver(const QString& driver);
    static QString DriverName();
    // The ODBC string this component's connection string translates to.
    QString OdbcConnectionString() const;

    // Data sets on this connection, closed when it closes.
    void RegisterDataSet(TDataSet* dataSet);
    void UnregisterDataSet(TDataSet* dataSet);

    TConnectionEvent BeforeConnect;
    TConnectionEvent AfterConnect;
    TConnectionEvent BeforeDisconnect;
    TConnectionEvent AfterDisconnect;
    // The driver reported the link lost; the connection has closed itself.
    TConnectionEvent OnConnectionLost;

protected:
    void CloseDataSets();

private:
    void listen();
    QString m_connectionString;
    bool m_loginPrompt = false;
    TCursorLocation m_cursorLocation = clUseClient;
    int m_connectionTimeout = 15;
    int m_commandTimeout = 0;
    std::shared_ptr<TConnectionObject> m_connection;
    int m_lostListener = 0;
    bool m_lost = false;
    QList<TDataSet*> m_dataSets;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TADOConnection::TExecuteOptions)
