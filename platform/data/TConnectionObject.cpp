#include "TConnectionObject.h"

#include "EDatabaseError.h"
#include "TConnectDiagnosis.h"
#include "TDriverCall.h"
#include "TOdbcStatement.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <QElapsedTimer>

#include <algorithm>
#include <utility>

namespace {

QString fromSqlWChar(const SQLWCHAR* s, qsizetype n) {
    return QString(reinterpret_cast<const QChar*>(s), n);
}

} // namespace

TConnectionObject::TConnectionObject() = default;

TConnectionObject::~TConnectionObject() {
    try {
        Close();
    } catch (...) {
    }
}

QString TConnectionObject::StripDriverPrefixes(const QString& text) {
    qsizetype pos = 0;
    while (pos < text.size() && text[pos] == QLatin1Char('[')) {
        const qsizetype close = text.indexOf(QLatin1Char(']'), pos);
        if (close < 0)
            break;
        pos = close + 1;
    }
    return text.mid(pos).trimmed();
}

void TConnectionObject::collect(SQLSMALLINT handleType, SQLHANDLE handle, QList<TAdoError>& out) {
    if (handle == nullptr)
        return;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[4096];
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, text,
                                            SQLSMALLINT(std::size(text)), &length);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
            break;
        TAdoError e;
        e.SQLState = fromSqlWChar(state, 5);
        e.NativeError = native;
        e.Description = StripDriverPrefixes(
            fromSqlWChar(text, std::min<qsizetype>(length, qsizetype(std::size(text)) - 1)));
        e.Informational = e.SQLState.startsWith(QLatin1String("01"));
        // Truncation while reading in pieces is expected, not a message for the user.
        if (e.SQLState != QLatin1String("01004"))
            out.append(e);
    }
}

bool TConnectionObject::isLinkFailure(const QList<TAdoError>& records) {
    for (const TAdoError& e : records) {
        // A server message carrying an 08 state (911 "Database does not exist" after "use" maps to
        // 08004) is a statement error on a live link; only the driver's own 08 states mean a lost one.
        if ((e.SQLState.startsWith(QLatin1String("08")) && e.NativeError == 0) || e.NativeError == 20004 ||
            e.NativeError == 20006 || e.NativeError == 20047)
            return true;
    }
    return false;
}

void TConnectionObject::Check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle) {
    if (rc == SQL_SUCCESS)
        return;
    if (rc == SQL_INVALID_HANDLE)
        throw EDatabaseError(QStringLiteral("The connection to the server is not open."));
    QList<TAdoError> records;
    collect(handleType, handle, records);
    m_errors.append(records);
    if (rc != SQL_ERROR)
        return;
    // The driver lists errors before informational messages; within one call those came first.
    std::stable_partition(records.begin(), records.end(), [](const TAdoError& e) { return e.Informational; });
    std::stable_partition(m_errors.end() - records.size(), m_errors.end(),
                          [](const TAdoError& e) { return e.Informational; });
    if (isLinkFailure(records) || isDead()) {
        QString driverText;
        for (const TAdoError& e : records)
            driverText += (driverText.isEmpty() ? QString() : QStringLiteral("\n")) + e.Description;
        Close();
        throw EConnectionLost(driverText);
    }
    // The server's own error explains best; a driver's generic follow-up (number 0) comes second.
    const TAdoError* first = nullptr;
    for (const TAdoError& e : records) {
        if (!e.Informational && (first == nullptr || (first->NativeError == 0 && e.NativeError != 0)))
            first = &e;
    }
    if (first == nullptr && !records.isEmpty())
        first = &records.back();
    if (first == nullptr)
        throw EDatabaseError(QStringLiteral("The driver reported an error without a message."));
    throw EDatabaseError(first->Description, first->NativeError, first->SQLState);
}

bool TConnectionObject::isDead() const {
    if (m_dbc == nullptr)
        return true;
    SQLUINTEGER dead = SQL_CD_FALSE;
    return SQL_SUCCEEDED(SQLGetConnectAttr(m_dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
           dead == SQL_CD_TRUE;
}

namespace {

// One log-on attempt. It owns its handles until the connection takes them, so an attempt the user
// abandoned disconnects and frees them on its worker thread when the driver gives up.
struct TConnectAttempt {
    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;
    bool connected = false;
    QList<TAdoError> records;
    QString failure;   // set when the handles could not be made
    QString diagnosis; // why it failed, when the driver said only that it did

    ~TConnectAttempt() {
        if (dbc != nullptr) {
            if (connected)
                SQLDisconnect(dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
        if (env != nullptr)
            SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

} // namespace

void TConnectionObject::Open(const QString& odbcConnectionString, int loginTimeoutSeconds,
                             const QString& serverName, bool integratedSecurity) {
    Close();
    m_errors.clear();
    m_serverName = serverName;
    auto attempt = std::make_shared<TConnectAttempt>();
    TDriverCall::Options options;
    options.waitText = QStringLiteral("Connecting to %1\u2026").arg(serverName);
    options.abandonable = true;
    m_busy = true;
    try {
        TDriverCall::Run(options, [attempt, odbcConnectionString, loginTimeoutSeconds, serverName,
                                   integratedSecurity] {
            TConnectAttempt& a = *attempt;
            QElapsedTimer clock;
            clock.start();
            if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &a.env))) {
                a.env = nullptr;
                a.failure = QStringLiteral("The ODBC driver manager could not be initialised.");
                return;
            }
            SQLSetEnvAttr(a.env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
            if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, a.env, &a.dbc))) {
                a.dbc = nullptr;
                a.failure = QStringLiteral("The ODBC connection could not be allocated.");
                return;
            }
            // A driver that does not take the login timeout is said so; Cancel still stops the wait.
            bool timeoutTaken = SQL_SUCCEEDED(SQLSetConnectAttr(
                a.dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLLEN(loginTimeoutSeconds)), 0));
            // Autocommit stays on: the program sends its own transaction statements.
            SQLSetConnectAttr(a.dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
            const SQLRETURN rc = SQLDriverConnectW(
                a.dbc, nullptr,
                const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(odbcConnectionString.utf16())),
                SQLSMALLINT(odbcConnectionString.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
            a.connected = SQL_SUCCEEDED(rc);
            if (rc != SQL_SUCCESS)
                collect(SQL_HANDLE_DBC, a.dbc, a.records);
            SQLUINTEGER timeout = 0;
            if (a.connected && timeoutTaken &&
                SQL_SUCCEEDED(SQLGetConnectAttr(a.dbc, SQL_ATTR_LOGIN_TIMEOUT, &timeout, 0, nullptr)))
                timeoutTaken = timeout == SQLUINTEGER(loginTimeoutSeconds);
            if (!timeoutTaken) {
                TAdoError warning;
                warning.Description = QStringLiteral("The driver did not take a login timeout of %1 seconds.")
                                          .arg(loginTimeoutSeconds);
                warning.SQLState = QStringLiteral("01S02");
                warning.Informational = true;
                a.records.append(warning);
            }
            // The driver numbers its own messages 20000 to 20999; others come from the server.
            const bool serverSpoke = std::any_of(a.records.begin(), a.records.end(), [](const TAdoError& e) {
                return e.NativeError != 0 && (e.NativeError < 20000 || e.NativeError > 20999);
            });
            if (!a.connected && !serverSpoke && !serverName.isEmpty())
                a.diagnosis = TConnectDiagnosis::Explain(serverName, integratedSecurity, loginTimeoutSeconds,
                                                         clock.elapsed());
        });
    } catch (...) {
        m_busy = false;
        throw;
    }
    m_busy = false;
    if (!attempt->failure.isEmpty())
        throw EDatabaseError(attempt->failure);
    m_errors.append(attempt->records);
    if (!attempt->connected) {
        if (!attempt->diagnosis.isEmpty())
            throw EDatabaseError(attempt->diagnosis);
        const QList<TAdoError>& records = attempt->records;
        // A refused login explains itself best; the driver's "unable to connect" comes after it.
        const TAdoError* best = nullptr;
        for (const TAdoError& e : records) {
            if (!e.Informational && (best == nullptr || (best->NativeError == 0 && e.NativeError != 0)))
                best = &e;
        }
        // The driver manager reports a driver it cannot load as a warning only.
        if (best == nullptr && !records.isEmpty())
            best = &records.front();
        if (best == nullptr)
            throw EDatabaseError(QStringLiteral("Unable to connect to the server."));
        throw EDatabaseError(best->Description, best->NativeError, best->SQLState);
    }
    m_env = std::exchange(attempt->env, nullptr);
    m_dbc = std::exchange(attempt->dbc, nullptr);
    ++m_generation;
}

void TConnectionObject::Call(int timeoutSeconds, const std::function<void()>& work,
                             std::function<void()> cancel) {
    if (TDriverCall::OnWorker()) {
        work();
        return;
    }
    if (m_busy)
        throw EDatabaseError(QStringLiteral("The connection is busy with another command."));
    TDriverCall::Options options;
    options.waitText = QStringLiteral("Running on %1\u2026").arg(m_serverName);
    options.timeoutSeconds = timeoutSeconds;
    options.cancel = cancel;
    {
        const std::lock_guard lock(m_cancelMutex);
        m_cancel = std::move(cancel);
        m_cancelRequested = false;
    }
    m_busy = true;
    // True when CancelCommand stopped the call.
    const auto finish = [this] {
        const std::lock_guard lock(m_cancelMutex);
        m_cancel = nullptr;
        m_busy = false;
        return std::exchange(m_cancelRequested, false);
    };
    try {
        TDriverCall::Run(options, work);
    } catch (const EConnectionLost&) {
        finish();
        notifyLost();
        throw;
    } catch (const ECancelled&) {
        finish();
        throw;
    } catch (...) {
        // The driver reports a cancelled statement as an error of its own.
        if (finish())
            throw ECancelled();
        throw;
    }
    finish();
}

void TConnectionObject::CancelCommand() {
    const std::lock_guard lock(m_cancelMutex);
    if (!m_cancel)
        return;
    m_cancelRequested = true;
    m_cancel();
}

int TConnectionObject::AddLostListener(std::function<void()> listener) {
    const int id = m_nextListener++;
    m_lostListeners.emplace(id, std::move(listener));
    return id;
}

void TConnectionObject::RemoveLostListener(int id) {
    m_lostListeners.erase(id);
}

void TConnectionObject::notifyLost() {
    const auto listeners = m_lostListeners;
    for (const auto& [id, listener] : listeners) {
        try {
            listener();
        } catch (...) {
            // The lost connection itself is what the caller reports.
        }
    }
}

void TConnectionObject::freeHandles() {
    if (m_dbc != nullptr) {
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        m_dbc = nullptr;
    }
    if (m_env != nullptr) {
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
        m_env = nullptr;
    }
}

void TConnectionObject::Close() {
    if (m_busy && !TDriverCall::OnWorker())
        throw EDatabaseError(QStringLiteral("The connection is busy with another command."));
    // Statements are freed before the connection, so none keeps a handle the driver freed.
    const auto statements = m_statements;
    for (TOdbcStatement* s : statements)
        s->Detach();
    m_pending = nullptr;
    if (m_dbc != nullptr)
        SQLDisconnect(m_dbc);
    freeHandles();
}

void TConnectionObject::BeginCommand(TOdbcStatement* statement) {
    if (m_pending != nullptr && m_pending != statement)
        m_pending->CloseCursor();
    m_pending = statement;
}

void TConnectionObject::EndCommand(TOdbcStatement* statement) {
    if (m_pending == statement)
        m_pending = nullptr;
}

void TConnectionObject::Unregister(TOdbcStatement* statement) {
    m_statements.erase(statement);
    EndCommand(statement);
}
