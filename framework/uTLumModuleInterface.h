#pragma once
// What all modules of a host window share: the connection, the settings file and the language.
#include "TADOConnection.h"
#include "uTLumCustomInterface.h"

#include <QPointer>

class TLumModuleInterface : public TLumCustomInterface {
    Q_OBJECT
    Q_PROPERTY(TADOConnection* ADOConnection READ ADOConnection WRITE SetADOConnection)
    Q_PROPERTY(QString IniFileName MEMBER m_iniFileName)
    Q_PROPERTY(QString Language MEMBER m_language)
    Q_PROPERTY(QString LanguageDir MEMBER m_languageDir)

public:
    explicit TLumModuleInterface(QObject* owner = nullptr, const QString& name = {});

    TADOConnection* ADOConnection() const { return m_adoConnection; }
    void SetADOConnection(TADOConnection* value) { m_adoConnection = value; }
    QString IniFileName() const { return m_iniFileName; }
    void SetIniFileName(const QString& value) { m_iniFileName = value; }
    QString Language() const { return m_language; }
    void SetLanguage(const QString& value) { m_language = value; }
    QString LanguageDir() const { return m_languageDir; }
    void SetLanguageDir(const QString& value) { m_languageDir = value; }

    // LanguageDir + Language + ".ini", joined as they stand.
    QString GetLanguageFileName() const;
    // Copies everything from another module interface; any other source raises.
    void Assign(const QObject* source);

private:
    QPointer<TADOConnection> m_adoConnection;
    QString m_iniFileName;
    QString m_language;
    QString m_languageDir;
};
