#pragma once
// Connection profiles: named copies of the program's whole settings file, kept beside it as
// app(name).ini. The login dialog shows the component's menu to save the current settings under
// a name, load a saved profile back, or open the chooser to create and delete profiles.
#include "TImageList.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QMenu;
class TfLumProfiles;

class TLumProfiles : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString IniFileName READ IniFileName WRITE SetIniFileName)
    Q_PROPERTY(TImageList* Images READ Images WRITE SetImages)

public:
    using TNotifyEvent = std::function<void(QObject* sender)>;

    explicit TLumProfiles(QObject* owner = nullptr, const QString& name = {});
    ~TLumProfiles() override;

    QString IniFileName() const { return m_iniFileName; }
    void SetIniFileName(const QString& value) { m_iniFileName = value; }
    // Menu pictures: 0 add, 1 settings, 2 profile.
    TImageList* Images() const { return m_images; }
    void SetImages(TImageList* value) { m_images = value; }
    // The language the chooser's texts are shown in.
    QString ChooserLanguage() const { return m_chooserLanguage; }
    void SetChooserLanguage(const QString& value) { m_chooserLanguage = value; }

    // Fired after a profile was loaded, and before one is saved.
    TNotifyEvent DoRead;
    TNotifyEvent DoWrite;

    // The profile names found beside the settings file, sorted, and the index of the profile
    // last loaded or saved (-1 for none).
    QStringList Names() const { return m_names; }
    int CurrentIndex() const { return m_currentIndex; }

    // Builds the menu and pops it up at the mouse cursor.
    void ShowMenu();
    // Rebuilds the menu from the disk and returns it (owned by the component).
    QMenu* BuildMenu();
    QMenu* Menu() const;
    // Opens the chooser modally and frees it afterwards; returns its modal result.
    int ShowChooser();
    TfLumProfiles* Chooser() const;

    void RefreshList();
    // The file of a profile: "(name)" inserted in the settings file's name before its extension.
    QString ProfileFileName(const QString& name) const;
    // The profile name a file name stands for (empty when the name has no closing bracket).
    static QString ProfileNameOf(const QString& fileName);
    // Raises with a message saying why when name cannot be a profile name: empty, with a
    // character a file name cannot hold, or not read back as itself from its file name.
    void CheckProfileName(const QString& name) const;

    // Each raises with the file name when its copy or deletion fails; nothing is half written.
    void LoadProfile(const QString& name);
    void SaveProfile(const QString& name);
    void DeleteProfile(const QString& name);
    // Asks for a name (current names offered) and saves the settings under it.
    void NewProfile();

private:
    void checkSettingsFile() const;
    // Index of name in the sorted list, and where it would go when absent.
    int indexOf(const QString& name) const;
    int insertionPoint(const QString& name) const;

    QString m_iniFileName;
    QPointer<TImageList> m_images;
    QString m_chooserLanguage;
    QStringList m_names;
    int m_currentIndex = -1;
    QPointer<QMenu> m_menu;
    QPointer<TfLumProfiles> m_chooser;
};
