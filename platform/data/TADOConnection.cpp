#include "TADOConnection.h"

#include "EDatabaseError.h"
#include "TADORecordset.h"
#include "TAdoConnectionString.h"
#include "TDataSet.h"
#include "TOdbcDriverLocator.h"
#include "TOdbcStatement.h"

#include <QCoreApplication>

namespace {

QString& configuredDriver() {
    static QString driver;
    return driver;
}

} // namespace

TADOConnection::TADOConnection(QObject* owner) : QObject(owner) {}

TADOConnection::~TADOConnection() {
    if (m_connection && m_lostListener != 0)
        m_connection->RemoveLostListener(m_lostListener);
    // Closing a data set runs its events; nothing they raise may leave a destructor.
    for (TDataSet* d : m_dataSets) {
        try {
            d->ConnectionDestroyed();
        } catch (const std::exception& e) {
            qWarning("Closing %s: %s", qPrintable(d->objectName()), e.what());
        }
    }
}

void TADOConnection::SetDefaultDriver(const QString& driver) {
    configuredDriver() = driver.trimmed();
}

QString TADOConnection::DriverName() {
    const QString env = qEnvironmentVariable("MARLINDE_ODBC_DRIVER").trimmed();
    if (!env.isEmpty())
        return env;
    if (!configuredDriver().isEmpty())
        return configuredDriver();
    return TOdbcDriverLocator::FreeTdsDriver();
}

QString TADOConnection::OdbcConnectionString() const {
    return TAdoConnectionString(m_connectionString)
        .OdbcConnectionString(DriverName(), QCoreApplication::applicationName());
}

bool TADOConnection::Connected() const {
    return m_connection && m_connection->IsOpen();
}

void TADOConnection::SetConnected(bool value) {
    if (value)
        Open();
    else
        Close();
}

void TADOConnection::Open() {
    if (Connected())
        return;
    if (BeforeConnect)
        BeforeConnect(this);
    if (!m_connection) {
        m_connection = std::make_shared<TConnectionObject>();
        listen();
    }
    const TAdoConnectionString parsed(m_connectionString);
    if (parsed.DataSource().trimmed().isEmpty())
        throw EDatabaseError(QStringLiteral("No server name was given."));
    m_connection->Open(OdbcConnectionString(), m_connectionTimeout, parsed.DataSource(),
                       parsed.IntegratedSecurity());
    m_lost = false;
    if (AfterConnect)
        AfterConnect(this);
}

void TADOConnection::Close() {
    if (!Connected())
        return;
    if (BeforeDisconnect)
        BeforeDisconnect(this);
    CloseDataSets();
    m_connection->Close();
    if (AfterDisconnect)
        AfterDisconnect(this);
}

void TADOConnection::CloseDataSets() {
    const QList<TDataSet*> dataSets = m_dataSets;
    for (TDataSet* d : dataSets)
        d->Close();
}

void TADOConnection::SetConnectionObject(std::shared_ptr<TConnectionObject> connection) {
    if (m_connection == connection)
        return;
    CloseDataSets();
    if (m_connection && m_lostListener != 0)
        m_connection->RemoveLostListener(m_lostListener);
    m_lostListener = 0;
    m_connection = std::move(connection);
    if (m_connection)
        listen();
}

void TADOConnection::listen() {
    m_lostListener = m_connection->AddLostListener([this] {
        m_lost = true;
        if (OnConnectionLost)
            OnConnectionLost(this);
    });
}

QList<TAdoError> TADOConnection::Errors() const {
    return m_connection ? m_connection->Errors() : QList<TAdoError>();
}

std::unique_ptr<TADORecordset> TADOConnection::Execute(const QString& commandText, TCommandType,
                                                       TExecuteOptions options) {
    if (!Connected())
        throw EDatabaseError(QStringLiteral("The connection to the server is not open."));
    auto statement = std::make_unique<TOdbcStatement>(m_connection);
    statement->SetTimeout(m_commandTimeout);
    statement->Execute(commandText);
    if (options.testFlag(eoExecuteNoRecords)) {
        statement->Drain();
        return nullptr;
    }
    // Server-side cursors are read a block at a time, as they are walked.
    return std::make_unique<TADORecordset>(std::move(statement), m_cursorLocation == clUseServer);
}

std::unique_ptr<TADORecordset> TADOConnection::OpenSchema(TSchemaInfo) {
    if (!Connected())
        Open();
    auto statement = std::make_unique<TOdbcStatement>(m_connection);
    statement->SetTimeout(m_commandTimeout);
    statement->Catalogs();
    return std::make_unique<TADORecordset>(std::move(statement));
}

void TADOConnection::RegisterDataSet(TDataSet* dataSet) {
    if (!m_dataSets.contains(dataSet))
        m_dataSets.append(dataSet);
}

void TADOConnection::UnregisterDataSet(TDataSet* dataSet) {
    m_dataSets.removeAll(dataSet);
}
