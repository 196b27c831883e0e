#include "uTLumModuleInterface.h"

#include "Exception.h"

TLumModuleInterface::TLumModuleInterface(QObject* owner, const QString& name) : TLumCustomInterface(owner) {
    setObjectName(name);
}

QString TLumModuleInterface::GetLanguageFileName() const {
    return m_languageDir + m_language + QStringLiteral(".ini");
}

void TLumModuleInterface::Assign(const QObject* source) {
    const auto* other = qobject_cast<const TLumModuleInterface*>(source);
    if (!other)
        throw Exception(QStringLiteral("Cannot assign a %1 to a TLumModuleInterface")
                            .arg(source ? QString::fromLatin1(source->metaObject()->className())
                                        : QStringLiteral("nil")));
    m_adoConnection = other->m_adoConnection;
    m_iniFileName = other->m_iniFileName;
    m_language = other->m_language;
    m_languageDir = other->m_languageDir;
}
