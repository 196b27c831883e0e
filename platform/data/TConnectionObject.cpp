#include "TConnectionObject.h"

#include "EDatabaseError.h"
#include "TOdbcStatement.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>

namespace {

QString fromSqlWChar(const SQLWCHAR* s, qsizetype n) {
    return QString(reinterpret_cast<const QChar*>(s), n);
}

} // namespace

TConnectionObject::TConnectionObject() = default;

TConnectionObject::~TConnectionObject() {
    Close();
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

void TConnectionObject::Open(const QString& odbcConnectionString, int loginTimeoutSeconds) {
    Close();
    m_errors.clear();
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
    if (!SQL_SUCCEEDED(rc))
        throw EDatabaseError(QStringLiteral("The ODBC driver manager could not be initialised."));
    SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    rc = SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
    if (!SQL_SUCCEEDED(rc)) {
        freeHandles();
        throw EDatabaseError(QStringLiteral("The ODBC connection could not be allocated."));
    }
    SQLSetConnectAttr(m_dbc, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(SQLLEN(loginTimeoutSeconds)), 0);
    // Autocommit stays on: the program sends its own transaction statements.
    SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    rc = SQLDriverConnectW(
        m_dbc, nullptr,
        const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(odbcConnectionString.utf16())),
        SQLSMALLINT(odbcConnectionString.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        QList<TAdoError> records;
        collect(SQL_HANDLE_DBC, m_dbc, records);
        m_errors.append(records);
        freeHandles();
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
    if (rc == SQL_SUCCESS_WITH_INFO)
        collect(SQL_HANDLE_DBC, m_dbc, m_errors);
    ++m_generation;
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
