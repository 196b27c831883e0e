#pragma once
// The statements and log-ons a simulator received, read from its request log.
#include "SimProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace testsupport {

// Field of every logged request of the type ("batch": "text", "login": "login" ...).
inline QStringList SimRequests(const SimProcess& sim, const QString& type, const QString& field) {
    QStringList out;
    for (const std::string& line : sim.logLines()) {
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        if (o.value("type").toString() == type)
            out << o.value(field).toString();
    }
    return out;
}

inline QString SimServer(const SimProcess& sim) {
    return QStringLiteral("127.0.0.1,%1").arg(sim.port());
}

} // namespace testsupport
