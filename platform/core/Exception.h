#pragma once
// The one exception family of the program: every failure carries a user-readable message.
#include <QByteArray>
#include <QString>

#include <exception>

class Exception : public std::exception {
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_what(m_message.toUtf8()) {}

    const QString& Message() const { return m_message; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
};

// The silent abort: dispatch points swallow it without showing anything.
class EAbort : public Exception {
public:
    EAbort() : Exception(QStringLiteral("Operation aborted")) {}
    explicit EAbort(QString message) : Exception(std::move(message)) {}
};
