#pragma once
// Keeps chosen published properties of a form's components in an INI file. Each entry of
// StoredProps ("component.property") becomes a key in the section "form.component"; string
// lists, collections and owned sub-objects get sections of their own below it. Forms add keys
// of their own through the four events, which receive the open INI file.
#include <QObject>
#include <QStringList>

#include <functional>

class QMetaProperty;
class TIniFile;

class TLumStorage : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString IniFile READ IniFile WRITE SetIniFile)
    Q_PROPERTY(QStringList StoredProps READ StoredProps WRITE SetStoredProps)

public:
    using TLumIniEvent = std::function<void(TLumStorage* sender, TIniFile& iniFile)>;

    // The owner must be a form; any other owner raises an error.
    explicit TLumStorage(QObject* owner, const QString& name = {});

    QString IniFile() const { return m_iniFile; }
    void SetIniFile(const QString& value) { m_iniFile = value; }
    QStringList StoredProps() const { return m_storedProps; }
    void SetStoredProps(const QStringList& value) { m_storedProps = value; }

    // Load or save every stored property between the Before and After events. Nothing at all
    // happens while IniFile is empty. An error stops the run there and reaches the caller; the
    // After event then does not fire.
    void ReadIni();
    void WriteIni();

    // The property of object named name (every published property when name is empty), kept in
    // section. Reading stops at the first property taken.
    void ReadProps(QObject* object, const QString& section, TIniFile& file, const QString& name);
    void WriteProps(QObject* object, const QString& section, TIniFile& file, const QString& name);
    void ReadStrings(QStringList& list, const QString& section, TIniFile& file);
    void WriteStrings(const QStringList& list, const QString& section, TIniFile& file);
    void ReadCollection(QObject* collection, const QString& section, TIniFile& file);
    void WriteCollection(QObject* collection, const QString& section, TIniFile& file);

    TLumIniEvent BeforeReadIni;
    TLumIniEvent AfterReadIni;
    TLumIniEvent BeforeWriteIni;
    TLumIniEvent AfterWriteIni;

private:
    // Runs visit(target, section, property name) for each entry naming something of the form.
    void forEachEntry(const std::function<void(QObject*, const QString&, const QString&)>& visit);

    QString m_iniFile;
    QStringList m_storedProps;
};
