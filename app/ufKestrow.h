#pragma once
// The main window: the program's single connection and its login dialog, the tab pages, the top
// tool bar and the status bar with the current user, the database switcher and the connection
// state. It logs on when it is created and re-points the connection when another database is
// picked.
#include "TForm.h"

#include <QCoreApplication>
#include <QHash>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QStatusBar;
class QTabWidget;
class QToolBar;
class TADOConnection;
class TADOQuery;
class TAction;
class TDataSource;
class TImageList;
class TIniFile;
class TKestrowObjectsPage;
class TLumDataSourceEditAction;
class TLumModuleInterface;
class TLumStorage;
class TLumTranslator;
class TLumVersionDialog;
class TaLumScript;
class TLumMSSQLUserAction;
class TfBrinLogin;

class TfKestrow : public TForm {
    Q_OBJECT

public:
    using TPageStep = std::function<void()>;

    // Logs on while it is created; when the log-on is cancelled the application is terminated
    // and nothing is written. parameters: the command line without the program name.
    explicit TfKestrow(const QString& iniFileName = DefaultIniFileName(),
                       const QStringList& parameters = QCoreApplication::arguments().mid(1));
    ~TfKestrow() override;

    // The settings file of the running program (IniFileNameFor its executable).
    static QString DefaultIniFileName();
    // The executable's path with ".ini" when the program runs from a writable directory of its
    // own (a build tree, a copied binary); for an installed program, a read-only directory or
    // with MARLINDE_PROGRAM_DIR_READONLY set, $XDG_CONFIG_HOME/marlinde/marlinde.ini (by default
    // ~/.config/marlinde/marlinde.ini). Profiles are kept beside the file either way.
    static QString IniFileNameFor(const QString& executable);

    QString IniFileName() const { return m_iniFileName; }
    TfBrinLogin* LoginDialog() const { return m_login.get(); }
    bool LoggedOn() const { return m_loggedOn; }

    bool EnsureConnected();
    void RefreshDatabaseList();
    // The databases module changed the list of databases.
    void aDBDBListChanged(QObject* sender);
    void aRefreshStatusBarExecute();
    void dxbcDBChange();
    void pcChange();
    void aCloseExecute();

    // The window's settings: placement and active page, read at creation and written on closing.
    void LumStorage1AfterReadIni(TLumStorage* sender, TIniFile& iniFile);
    void LumStorage1AfterWriteIni(TLumStorage* sender, TIniFile& iniFile);
    void FormClose();
    void aHelpExecute();
    void aAboutExecute();
    // Pops up one menu item per language at the mouse cursor, the active one checked.
    void aLanguageExecute();
    void LanguageMenuItemClick(QAction* sender);
    void LumTranslatorLanguageChange();
    // The Activity page came to front: the process list is read again and shown.
    void ActivityPageActivation();
    // The product's web page that Help opens.
    static QString HelpURL();
    // The Objects page with its list, grid and actions.
    TKestrowObjectsPage* Objects() const { return m_objects; }

    // What a page does when it becomes active, and when another database is selected.
    void SetPageActivation(QWidget* page, TPageStep step) { m_activation[page] = std::move(step); }
    void SetDatabaseChanged(QWidget* page, TPageStep step) { m_databaseChanged[page] = std::move(step); }

    TADOConnection* ADOConnection;
    // What every module of the window shares: the connection, the settings file, the language.
    TLumModuleInterface* LumModuleInterface1;
    QTabWidget* pc;
    QWidget* tsObjects;
    QWidget* tsUsers;
    QWidget* tsQuery;
    QWidget* tsActivity;
    QWidget* tsDB;
    QWidget* tsServers;
    TADOQuery* qDBs;
    TAction* aRefreshStatusBar;
    TAction* aClose;
    QToolBar* ActionToolBar2;
    TImageList* il;
    QStatusBar* dxBarManager;
    QLabel* dxbsCurrentUser;
    QComboBox* dxbcDB;
    QLabel* dxbsConnected;
    TLumStorage* LumStorage1;
    TLumTranslator* LumTranslator;
    TLumVersionDialog* LumVersionDialog;
    TAction* aHelp;
    TAction* aAbout;
    TAction* aLanguage;
    QMenu* ppmLanguage;
    TADOQuery* qWho;
    TDataSource* dsWho;
    TLumDataSourceEditAction* aWho;
    // The Query page's module.
    TaLumScript* aLumScript;
    // The Users page's module.
    TLumMSSQLUserAction* aUser;

protected:
    void MessageReceived(int message, qintptr wParam, qintptr lParam) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createComponents();
    // The settings, language, Help, About and Activity components.
    void createSettingsComponents();
    // Steps of the window's creation: stored settings, the grid's layout, the language handed on.
    void readSettings();
    void createUsersPage();
    void FormCreate(const QStringList& parameters);
    // Shows text in the switcher; a change of the text shown runs dxbcDBChange.
    void setSwitcherText(const QString& text);
    void switcherEdited();
    // Shows text in the switcher without running the switch.
    void showSwitcherText(const QString& text);
    // After a new log-on: the status bar, then the database the session was in.
    void rejoin(const QString& database);

    std::unique_ptr<TfBrinLogin> m_login;
    TKestrowObjectsPage* m_objects = nullptr;
    QString m_iniFileName;
    bool m_loggedOn = false;
    QString m_switcherText; // the text of the last database switch
    QHash<QWidget*, TPageStep> m_activation;
    QHash<QWidget*, TPageStep> m_databaseChanged;
};
