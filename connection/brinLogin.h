#pragma once
// The login dialog: server, database, user, password and authentication mode. It builds the
// connection string, opens the program's connection (from the command line or interactively,
// until it opens or the user cancels), lists the server's databases for its drop-down, and keeps
// its fields in a section of the INI file (never the password).
#include "TADOConnection.h"
#include "TForm.h"

#include <QPointer>
#include <QStringList>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TDropDownComboBox;
class TImageList;
class TLumProfiles;
class TLumTranslator;

class TfBrinLogin : public TForm {
    Q_OBJECT

public:
    // The command-line parameters (without the program name) default to the application's.
    explicit TfBrinLogin(QWidget* parent = nullptr);
    ~TfBrinLogin() override;

    TADOConnection* Connection() const { return m_connection; }
    void SetConnection(TADOConnection* connection) { m_connection = connection; }
    void SetParameters(const QStringList& parameters) {
        m_parameters = parameters;
        m_commandLineUsed = false;
    }

    QString Server() const;
    void SetServer(const QString& value);
    QString Database() const;
    void SetDatabase(const QString& value);
    QString User() const;
    void SetUser(const QString& value);
    QString Password() const;
    void SetPassword(const QString& value);
    bool TrustConnection() const;
    void SetTrustConnection(bool value);
    QString Language() const { return m_language; }
    // Shows the dialog's texts in the language of that name (a name it does not know keeps the
    // current language).
    void SetLanguage(const QString& value);
    void SetProfilesVisible(bool value);
    // Seconds a log-on may take before it fails; kept in the INI section as "LoginTimeout".
    int LoginTimeout() const { return m_loginTimeout; }
    void SetLoginTimeout(int seconds) { m_loginTimeout = seconds; }

    // Logs on: with the command line first, then with the dialog until the connection opens
    // (true) or the user cancels (false).
    bool Execute();
    // Opens the connection with the database; raises the provider's error, naming the server.
    void Connect();
    QString BuildConnectionString(bool withDatabase) const;
    void ReadIni(const QString& fileName, const QString& section);
    void WriteIni(const QString& fileName, const QString& section);
    QString SettingsSection() const { return m_section; }

    // The profiles component's events: read or write the fields in the remembered section of its
    // settings file.
    void ProfilesDoRead();
    void ProfilesDoWrite();
    // Pops up the profiles menu.
    void sbProfilesClick();

    // Fills the database list from the server (each time the list opens).
    void eDBDropDown();
    void cbTrustConnectionClick();

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* eServer;
    TDropDownComboBox* eDB;
    QLineEdit* eUser;
    QLineEdit* ePassword;
    QCheckBox* cbTrustConnection;
    QPushButton* bOk;
    QPushButton* bCancel;
    QToolButton* sbProfiles;
    QLabel* Image1;
    QLabel* Image2;
    QLabel* Image3;
    QLabel* Image4;
    TImageList* ilProfiles;
    TLumProfiles* Profiles;
    TLumTranslator* Translator;

private:
    void FormCreate();
    void FormShow();
    void createTranslations();
    // Places the label column, fields and buttons after the texts changed.
    // Command-line log-on; true when it opened the connection.
    bool commandLineLogOn();
    // Runs an open of the connection; its error names the server.
    void withServerNamed(const std::function<void()>& open);

    QPointer<TADOConnection> m_connection;
    QStringList m_parameters;
    QString m_section;
    QString m_language;
    int m_loginTimeout = 15;
    bool m_commandLineUsed = false;
};
