#include "TVersionInfo.h"

#include <QCoreApplication>
#include <QStringList>

// Defined by the source that marlinde_version_resource() generates for an executable: a list of
// language block, key and value triples ending with a null pointer. Weak, so an executable built
// without one links and has no resource.
extern "C" __attribute__((weak)) const char* const* MarlindeVersionResource();

QString TVersionInfo::FileVersion() {
    QStringList parts = QStringLiteral(MARLINDE_VERSION).split(QLatin1Char('.'));
    while (parts.size() < 4)
        parts.append(QStringLiteral("0"));
    return parts.mid(0, 4).join(QLatin1Char('.'));
}

QString TVersionInfo::ExecutablePath() {
    return QCoreApplication::applicationFilePath();
}

bool TVersionInfo::HasResource() {
    return MarlindeVersionResource != nullptr && MarlindeVersionResource() != nullptr;
}

bool TVersionInfo::ReadString(const QString& languageBlock, const QString& key, QString& value) {
    if (!HasResource())
        return false;
    for (const char* const* entry = MarlindeVersionResource(); entry[0] && entry[1] && entry[2]; entry += 3) {
        if (languageBlock.compare(QString::fromUtf8(entry[0]), Qt::CaseInsensitive) == 0 &&
            key == QString::fromUtf8(entry[1])) {
            value = QString::fromUtf8(entry[2]);
            return true;
        }
    }
    return false;
}
