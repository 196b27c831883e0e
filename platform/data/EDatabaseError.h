#pragma once
// A failure reported by the server or the driver, with the server's message number when known.
#include "Exception.h"

class EDatabaseError : public Exception {
public:
    explicit EDatabaseError(QString message, int nativeError = 0, QString sqlState = {})
        : Exception(std::move(message)), m_nativeError(nativeError), m_sqlState(std::move(sqlState)) {}

    int NativeError() const { return m_nativeError; }
    const QString& SqlState() const { return m_sqlState; }

private:
    int m_nativeError;
    QString m_sqlState;
};

// The server connection broke while a command was running; the connection is closed.
class EConnectionLost : public EDatabaseError {
public:
    explicit EConnectionLost(QString driverText = {})
        : EDatabaseError(QStringLiteral("Connection to the server was lost."), 0, QStringLiteral("08S01")),
          m_driverText(std::move(driverText)) {}

    const QString& DriverText() const { return m_driverText; }

private:
    QString m_driverText;
};

// The user cancelled a call that was waiting on the server (or it ran past its command timeout).
class ECancelled : public EDatabaseError {
public:
    ECancelled() : EDatabaseError(QStringLiteral("Cancelled."), 0, QStringLiteral("HY008")) {}
    explicit ECancelled(QString message) : EDatabaseError(std::move(message), 0, QStringLiteral("HYT00")) {}
};
