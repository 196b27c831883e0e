#include "TVersionInfo.h"

#include <QCoreApplication>
#include <QStringList>

QString TVersionInfo::FileVersion() {
    QStringList parts = QStringLiteral(MARLINDE_VERSION).split(QLatin1Char('.'));
    while (parts.size() < 4)
        parts.append(QStringLiteral("0"));
    return parts.mid(0, 4).join(QLatin1Char('.'));
}

QString TVersionInfo::ExecutablePath() {
    return QCoreApplication::applicationFilePath();
}
