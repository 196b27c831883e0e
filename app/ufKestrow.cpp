#include "ufKestrow.h"

#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TAction.h"
#include "TApplication.h"
#include "TDataSource.h"
#include "TImageList.h"
#include "TIniFile.h"
#include "TSqlIdentifier.h"
#include "TdxDBGrid.h"
#include "brinLogin.h"
#include "uComponentUtils.h"
#include "uKestrowImages.h"
#include "uKestrowObjectsPage.h"
#include "uKestrowTexts.h"
#include "uLumdxActions.h"
#include "uTLumCustomModuleForm.h"
#include "uTLumDataSourceEditAction.h"
#include "uTLumMSSQLUserAction.h"
#include "uTLumModuleInterface.h"
#include "uTLumStorage.h"
#include "uTLumTranslator.h"
#include "uTLumVersionDialog.h"
#include "uTaLumMSSQLDB.h"
#include "uTaLumMSSQLSysservers.h"
#include "uTaLumScript.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

constexpr int kStatusRefreshMessage = TMessageEvent::WM_USER + 2; // 1026
constexpr int kMaxDropDownRows = 20;
// Where the object grid keeps its column layout.
const QString kGridLayoutSection = QStringLiteral("fKestrow_dxdbg");
const QString kProductSite = QStringLiteral("http://marlinde.example.org");

// Runs a final step whatever happens before it. A failure of the step itself is handed to the
// default handler: it must not escape a destructor.
class TFinally {
public:
    explicit TFinally(std::function<void()> step) : m_step(std::move(step)) {}
    ~TFinally() { SafeCall(m_step); }
    TFinally(const TFinally&) = delete;
    TFinally& operator=(const TFinally&) = delete;

private:
    std::function<void()> m_step;
};

} // namespace

TfKestrow::TfKestrow(const QString& iniFileName, const QStringList& parameters)
    : TForm(nullptr), m_iniFileName(iniFileName) {
    setObjectName(QStringLiteral("fKestrow"));
    createComponents();
    createUsersPage();
    FormCreate(parameters);
}

TfKestrow::~TfKestrow() = default;

QString TfKestrow::DefaultIniFileName() {
    return IniFileNameFor(QCoreApplication::applicationFilePath());
}

QString TfKestrow::IniFileNameFor(const QString& executable) {
    const QFileInfo exe(executable);
    const QString dir = exe.absolutePath();
    const QFileInfo dirInfo(dir);
    // An installed program (its desktop entry in ../share/applications) keeps its settings in the
    // user's configuration directory even when its directory happens to be writable (root).
    const bool installed = QFileInfo::exists(dir + QStringLiteral("/../share/applications/marlinde.desktop"));
    const bool readOnly = !qEnvironmentVariableIsEmpty("MARLINDE_PROGRAM_DIR_READONLY");
    if (!installed && !readOnly && dirInfo.isDir() && dirInfo.isWritable())
        return dir + QLatin1Char('/') + exe.completeBaseName() + QStringLiteral(".ini");
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString settingsDir = QDir::cleanPath(config + QStringLiteral("/marlinde"));
    // A failure here surfaces when the file is written.
    QDir().mkpath(settingsDir);
    return settingsDir + QStringLiteral("/marlinde.ini");
}

void TfKestrow::createComponents() {
    ADOConnection = new TADOConnection(this);
    ADOConnection->setObjectName(QStringLiteral("ADOConnection"));
    ADOConnection->SetLoginPrompt(false);
    // The connection closed itself: the status bar says so at once.
    ADOConnection->OnConnectionLost = [this](TADOConnection*) { PostMessage(kStatusRefreshMessage, 0, 0); };

    LumModuleInterface1 = new TLumModuleInterface(this, QStringLiteral("LumModuleInterface1"));
    LumModuleInterface1->SetADOConnection(ADOConnection);
    LumModuleInterface1->SetLanguage(QStringLiteral("English"));

    qDBs = new TADOQuery(this);
    qDBs->setObjectName(QStringLiteral("qDBs"));
    qDBs->SetConnection(ADOConnection);
    qDBs->SetSQL({QStringLiteral("master.dbo.sp_MShasdbaccess"), QStringLiteral("/*"),
                  QStringLiteral("select name "), QStringLiteral("from master..sysdatabases "),
                  QStringLiteral("order by 1"), QStringLiteral("*/")});

    il = new TImageList(24, 24, this);
    il->setObjectName(QStringLiteral("il"));
    AddKestrowImages(il);

    aRefreshStatusBar = new TAction(this, QStringLiteral("aRefreshStatusBar"));
    aRefreshStatusBar->OnExecute = [this](TAction*) { aRefreshStatusBarExecute(); };
    aClose = new TAction(this, QStringLiteral("aClose"));
    aClose->SetCaption(QStringLiteral("Close"));
    aClose->SetImages(il);
    aClose->SetImageIndex(kiClose);
    aClose->OnExecute = [this](TAction*) { aCloseExecute(); };

    ActionToolBar2 = new QToolBar(this);
    ActionToolBar2->setObjectName(QStringLiteral("ActionToolBar2"));
    ActionToolBar2->setIconSize(QSize(24, 24));
    ActionToolBar2->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ActionToolBar2->addSeparator();
    ActionToolBar2->addAction(aClose);

    pc = new QTabWidget(this);
    pc->setObjectName(QStringLiteral("pc"));
    pc->setIconSize(QSize(16, 16));
    // Longer captions (Russian) widen the window rather than hide tabs behind scroll buttons.
    pc->setUsesScrollButtons(false);
    const struct {
        QWidget** page;
        const char* name;
        const char* caption;
        int image;
    } pages[] = {{&tsObjects, "tsObjects", "Objects", kiObjects},
                 {&tsUsers, "tsUsers", "Users", kiUsers},
                 {&tsQuery, "tsQuery", "Query", kiQuery},
                 {&tsActivity, "tsActivity", "Activity", kiActivity},
                 {&tsDB, "tsDB", "DB", kiDB},
                 {&tsServers, "tsServers", "Servers", kiServers}};
    for (const auto& p : pages) {
        *p.page = new QWidget(pc);
        (*p.page)->setObjectName(QString::fromLatin1(p.name));
        pc->addTab(*p.page, il->Icon(p.image), QString::fromLatin1(p.caption));
    }
    for (int i = 0; i < pc->count(); ++i)
        pc->widget(i)->setWindowTitle(pc->tabText(i));
    connect(pc, &QTabWidget::currentChanged, this, [this] { SafeCall([this] { pcChange(); }); });

    // The Query page: the script editor is made on the first visit and left as it is afterwards.
    aLumScript = new TaLumScript(this, QStringLiteral("aLumScript"));
    aLumScript->SetModuleInterface(LumModuleInterface1);
    aLumScript->SetParent(tsQuery);
    aLumScript->Loaded();
    SetPageActivation(tsQuery, [this] {
        if (!aLumScript->IsModuleCreated())
            aLumScript->Execute();
    });

    dxBarManager = new QStatusBar(this);
    dxBarManager->setObjectName(QStringLiteral("dxBarManager"));
    dxbsCurrentUser = new QLabel(dxBarManager);
    dxbsCurrentUser->setObjectName(QStringLiteral("dxbsCurrentUser"));
    dxbsCurrentUser->setToolTip(QStringLiteral("Current user"));
    dxbsCurrentUser->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* db = new QWidget(dxBarManager);
    auto* dbLayout = new QHBoxLayout(db);
    dbLayout->setContentsMargins(4, 0, 4, 0);
    auto* dbCaption = new QLabel(QStringLiteral("DB"), db);
    dxbcDB = new QComboBox(db);
    dxbcDB->setObjectName(QStringLiteral("dxbcDB"));
    dxbcDB->setToolTip(QStringLiteral("DB"));
    dxbcDB->setEditable(true);
    dxbcDB->setInsertPolicy(QComboBox::NoInsert);
    dxbcDB->setFixedWidth(136);
    dbCaption->setBuddy(dxbcDB);
    dbLayout->addWidget(dbCaption);
    dbLayout->addWidget(dxbcDB);
    dxbsConnected = new QLabel(dxBarManager);
    dxbsConnected->setObjectName(QStringLiteral("dxbsConnected"));
    dxbsConnected->setToolTip(QStringLiteral("Connection status"));
    dxbsConnected->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    dxBarManager->addWidget(dxbsCurrentUser);
    dxBarManager->addWidget(db);
    dxBarManager->addWidget(dxbsConnected);
    connect(dxbcDB, &QComboBox::activated, this, [this] { switcherEdited(); });
    connect(dxbcDB->lineEdit(), &QLineEdit::returnPressed, this, [this] { switcherEdited(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ActionToolBar2);
    layout->addWidget(pc, 1);
    layout->addWidget(dxBarManager);

    // The DB and Servers pages host their modules; a change to the list of databases reloads the
    // switcher.
    auto* aDB = new TaLumMSSQLDB(this, QStringLiteral("aDB"));
    aDB->SetModuleInterface(LumModuleInterface1);
    aDB->SetParent(tsDB);
    aDB->DBListChanged = [this](QObject* sender) { aDBDBListChanged(sender); };
    SetPageActivation(tsDB, [aDB] { aDB->ShowModule(); });
    auto* aServers = new TaLumMSSQLSysservers(this, QStringLiteral("aServers"));
    aServers->SetModuleInterface(LumModuleInterface1);
    aServers->SetParent(tsServers);
    SetPageActivation(tsServers, [aServers] { aServers->ShowModule(); });

    m_objects = new TKestrowObjectsPage(this, tsObjects, ADOConnection, LumModuleInterface1);
    SetPageActivation(tsObjects, [this] { m_objects->PageActivation(); });
    SetDatabaseChanged(tsObjects, [this] { m_objects->DatabaseChanged(); });
    createSettingsComponents();
}

void TfKestrow::createSettingsComponents() {
    LumTranslator = new TLumTranslator(this, QStringLiteral("LumTranslator"));
    AddKestrowTexts(LumTranslator);
    LumTranslator->OnLanguageChange = [this](TLumTranslator*) { LumTranslatorLanguageChange(); };

    LumStorage1 = new TLumStorage(this, QStringLiteral("LumStorage1"));
    LumStorage1->SetStoredProps(
        {QStringLiteral("dxdbg.ShowGroupPanel"), QStringLiteral("LumTranslator.ActiveLanguage")});
    LumStorage1->AfterReadIni = [this](TLumStorage* sender, TIniFile& file) {
        LumStorage1AfterReadIni(sender, file);
    };
    LumStorage1->AfterWriteIni = [this](TLumStorage* sender, TIniFile& file) {
        LumStorage1AfterWriteIni(sender, file);
    };

    LumVersionDialog = new TLumVersionDialog(this, QStringLiteral("LumVersionDialog"));
    LumVersionDialog->SetVersionInfo(TLumVersionDialog::TLumVersionInfoSet(TLumVersionDialog::viCompanyName) |
                                     TLumVersionDialog::viFileVersion | TLumVersionDialog::viComments);
    LumVersionDialog->m_companyNameCaption = QStringLiteral("Company:");
    LumVersionDialog->m_fileVersionCaption = QStringLiteral("Version:");
    LumVersionDialog->m_commentsCaption = QStringLiteral(" ");
    LumVersionDialog->m_aboutDlgCaption = QStringLiteral("About");
    LumVersionDialog->m_dialogWidth = 450;
    LumVersionDialog->m_dialogHeight = 250;
    LumVersionDialog->m_dlgVersionPageCaption = QStringLiteral("Version:");
    LumVersionDialog->m_linkVisible = true;
    LumVersionDialog->m_linkCaption = QStringLiteral("URL:");
    LumVersionDialog->m_link = kProductSite + QLatin1Char('/');
    LumVersionDialog->m_mailCaption = QStringLiteral("Mail:");
    LumVersionDialog->m_mail = QStringLiteral("mailto:support@marlinde.example.org");
    LumVersionDialog->m_mailText = QStringLiteral("support@marlinde.example.org");
    LumVersionDialog->m_pictureShowBorder = false;
    LumVersionDialog->m_pictureStretched = false;
    LumVersionDialog->SetPicture(il->Icon(kiObjects).pixmap(48, 48));

    aHelp = new TAction(this, QStringLiteral("aHelp"));
    aHelp->SetCaption(QStringLiteral("Help"));
    aHelp->SetHint(QStringLiteral("Справка"));
    aHelp->SetImages(il);
    aHelp->SetImageIndex(kiHelp);
    aHelp->OnExecute = [this](TAction*) { aHelpExecute(); };
    aAbout = new TAction(this, QStringLiteral("aAbout"));
    aAbout->SetCaption(QStringLiteral("About"));
    aAbout->SetHint(QStringLiteral("О программе"));
    aAbout->SetImages(il);
    aAbout->SetImageIndex(kiAbout);
    aAbout->OnExecute = [this](TAction*) { aAboutExecute(); };
    aLanguage = new TAction(this, QStringLiteral("aLanguage"));
    aLanguage->SetCaption(QStringLiteral("Language"));
    aLanguage->SetHint(QStringLiteral("Language"));
    aLanguage->SetImages(il);
    aLanguage->SetImageIndex(kiLanguage);
    aLanguage->OnExecute = [this](TAction*) { aLanguageExecute(); };
    ppmLanguage = new QMenu(this);
    ppmLanguage->setObjectName(QStringLiteral("ppmLanguage"));

    // In front of Close: a separator, Help, About, Language, then Close's own separator.
    QAction* first = ActionToolBar2->actions().value(0);
    ActionToolBar2->insertSeparator(first);
    ActionToolBar2->insertAction(first, aHelp);
    ActionToolBar2->insertAction(first, aAbout);
    ActionToolBar2->insertAction(first, aLanguage);

    qWho = new TADOQuery(this);
    qWho->setObjectName(QStringLiteral("qWho"));
    qWho->SetConnection(ADOConnection);
    qWho->SetCursorType(TADOQuery::ctStatic);
    qWho->SetSQL({QStringLiteral("sp_who2")});
    dsWho = new TDataSource(this);
    dsWho->setObjectName(QStringLiteral("dsWho"));
    dsWho->SetDataSet(qWho);
    aWho = new TLumDataSourceEditAction(this, QStringLiteral("aWho"));
    aWho->SetDataSource(dsWho);
    aWho->SetParent(tsActivity);
    aWho->SetReadOnly(true);
    aWho->SetModuleInterface(LumModuleInterface1);
    aWho->SetShowButtonPanel(true);
    aWho->SetVisibleButtons(
        TLumCustomModuleAction::TLumCustomModuleVisibleButtons(TLumCustomModuleAction::cvbOK) |
        TLumCustomModuleAction::cvbCancel);
    aWho->SetWindowState(TLumCustomModuleAction::wsNormal);
    SetPageActivation(tsActivity, [this] { ActivityPageActivation(); });
}

void TfKestrow::readSettings() {
    LumStorage1->SetIniFile(m_iniFileName);
    LumModuleInterface1->SetIniFileName(m_iniFileName);
    LumStorage1->ReadIni();
    // The group panel's button shows the state the settings gave the grid.
    m_objects->adxShowGroupPanel->SetChecked(m_objects->dxdbg->ShowGroupPanel());
    TIniFile file(m_iniFileName);
    m_objects->dxdbg->LoadFromIniFile(file, kGridLayoutSection);
    LumModuleInterface1->SetLanguage(LumTranslator->GetActiveLanguageName());
    m_login->SetLanguage(LumModuleInterface1->Language());
}

void TfKestrow::LumStorage1AfterReadIni(TLumStorage*, TIniFile& iniFile) {
    {
        // Restoring the page is not a visit of it.
        const QSignalBlocker quiet(pc);
        pc->setCurrentIndex(
            qBound(0, iniFile.ReadInteger(QStringLiteral("pc"), QStringLiteral("ActivePageIndex"), 0),
                   pc->count() - 1));
    }
    const QString section = QStringLiteral("mainWindow");
    const int state = iniFile.ReadInteger(section, QStringLiteral("WindowState"), 0);
    const int left = iniFile.ReadInteger(section, QStringLiteral("Left"), x());
    const int top = iniFile.ReadInteger(section, QStringLiteral("Top"), y());
    const int width = iniFile.ReadInteger(section, QStringLiteral("Width"), this->width());
    const int height = iniFile.ReadInteger(section, QStringLiteral("Height"), this->height());
    move(left, top);
    resize(width, height);
    if (state == 1)
        setWindowState(Qt::WindowMinimized);
    else if (state == 2)
        setWindowState(Qt::WindowMaximized);
}

void TfKestrow::LumStorage1AfterWriteIni(TLumStorage*, TIniFile& iniFile) {
    iniFile.WriteInteger(QStringLiteral("pc"), QStringLiteral("ActivePageIndex"), pc->currentIndex());
    const QString section = QStringLiteral("mainWindow");
    const Qt::WindowStates state = windowState();
    const int value = state.testFlag(Qt::WindowMinimized) ? 1 : state.testFlag(Qt::WindowMaximized) ? 2 : 0;
    iniFile.WriteInteger(section, QStringLiteral("WindowState"), value);
    if (value == 2)
        return;
    // A minimised window keeps the bounds it had before.
    const QRect bounds = value == 1 ? normalGeometry() : geometry();
    const QRect frame = value == 1 ? bounds : frameGeometry();
    iniFile.WriteInteger(section, QStringLiteral("Left"), frame.x());
    iniFile.WriteInteger(section, QStringLiteral("Top"), frame.y());
    iniFile.WriteInteger(section, QStringLiteral("Width"), bounds.width());
    iniFile.WriteInteger(section, QStringLiteral("Height"), bounds.height());
}

void TfKestrow::closeEvent(QCloseEvent* event) {
    TForm::closeEvent(event);
    if (event->isAccepted() && m_loggedOn)
        SafeCall([this] { FormClose(); });
}

void TfKestrow::FormClose() {
    LumStorage1->WriteIni();
    TIniFile file(m_iniFileName);
    m_objects->dxdbg->SaveToIniFile(file, kGridLayoutSection);
}

QString TfKestrow::HelpURL() {
    return kProductSite + QStringLiteral("/en/index.php?topic=products&product=Marlinde");
}

void TfKestrow::aHelpExecute() {
    OpenURL(HelpURL());
}

void TfKestrow::aAboutExecute() {
    LumVersionDialog->ShowDialog();
}

void TfKestrow::aLanguageExecute() {
    ppmLanguage->clear();
    const int active = LumTranslator->ActiveLanguage();
    for (int i = 0; i < LumTranslator->Languages()->Count(); ++i) {
        // "&" stays a plain character: the caption is the language's name exactly.
        QString caption = LumTranslator->Languages()->Items(i)->Language();
        QAction* item = ppmLanguage->addAction(caption.replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setCheckable(true);
        item->setChecked(i == active);
        connect(item, &QAction::triggered, this,
                [this, item] { SafeCall([&] { LanguageMenuItemClick(item); }); });
    }
    ppmLanguage->popup(QCursor::pos());
}

void TfKestrow::LanguageMenuItemClick(QAction* sender) {
    LumTranslator->SelectLanguage(sender->text().replace(QStringLiteral("&&"), QStringLiteral("&")));
}

void TfKestrow::LumTranslatorLanguageChange() {
    // A stored language the translator does not have (an old or hand-edited file) means the first.
    if (LumTranslator->ActiveLanguage() < 0 && LumTranslator->Languages()->Count() > 0) {
        LumTranslator->SetActiveLanguage(0);
        return;
    }
    LumTranslator->Apply();
    for (int i = 0; i < pc->count(); ++i)
        pc->setTabText(i, pc->widget(i)->windowTitle());
}

void TfKestrow::ActivityPageActivation() {
    qWho->Close();
    qWho->Open();
    aWho->ShowModule();
}

void TfKestrow::FormCreate(const QStringList& parameters) {
    // pc fills the client area between the tool bars (the layout above).
    SetCaption(TApplication::CurrentTitle());
    resize(548, 612);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    setAttribute(Qt::WA_AlwaysShowToolTips);

    m_login = std::make_unique<TfBrinLogin>();
    m_login->SetProfilesVisible(true);
    m_login->SetParameters(parameters);
    m_login->SetConnection(ADOConnection);
    m_login->ReadIni(m_iniFileName, QStringLiteral("connection"));
    readSettings();

    if (!EnsureConnected()) {
        if (TApplication* app = TApplication::Instance())
            app->Terminate();
        return;
    }
    m_loggedOn = true;
    m_login->WriteIni(m_iniFileName, QStringLiteral("connection"));
    PostMessage(kStatusRefreshMessage, 0, 0);
}

bool TfKestrow::EnsureConnected() {
    if (ADOConnection->Connected())
        return true;
    // After a lost connection: log on again with the dialog, then back to the database the
    // switcher shows.
    const QString database = m_switcherText;
    if (!m_login->Execute())
        return false;
    if (m_loggedOn)
        rejoin(database);
    return true;
}

void TfKestrow::rejoin(const QString& database) {
    dxbsCurrentUser->setText(m_login->Server() + QStringLiteral(" : ") + m_login->User() + QLatin1Char(' '));
    dxbsConnected->setText(QStringLiteral("Connected"));
    if (database.isEmpty())
        return;
    ADOConnection->Execute(QStringLiteral("use ") + TSqlIdentifier::Quote(database), TADOConnection::cmdText);
    m_switcherText = database;
}

void TfKestrow::MessageReceived(int message, qintptr wParam, qintptr lParam) {
    if (message == kStatusRefreshMessage)
        aRefreshStatusBar->Execute();
    else
        TForm::MessageReceived(message, wParam, lParam);
}

void TfKestrow::aRefreshStatusBarExecute() {
    if (ADOConnection->Connected()) {
        dxbsCurrentUser->setText(m_login->Server() + QStringLiteral(" : ") + m_login->User() +
                                 QLatin1Char(' '));
        dxbsConnected->setText(QStringLiteral("Connected"));
        RefreshDatabaseList();
    } else {
        dxbsCurrentUser->clear();
        dxbsConnected->setText(QStringLiteral("Not connected"));
    }
}

void TfKestrow::RefreshDatabaseList() {
    dxbcDB->clear();
    m_switcherText.clear();
    dxbcDB->setUpdatesEnabled(false);
    TFinally done([this] {
        dxbcDB->setUpdatesEnabled(true);
        qDBs->Close();
    });
    qDBs->Open();
    QStringList names;
    for (qDBs->First(); !qDBs->Eof(); qDBs->Next())
        names.append(qDBs->Fields()[0]->AsString());
    dxbcDB->addItems(names);
    dxbcDB->setCurrentIndex(-1);
    setSwitcherText(m_login->Database());
    dxbcDB->setMaxVisibleItems(qMax(1, qMin(kMaxDropDownRows, int(names.size()))));
}

void TfKestrow::setSwitcherText(const QString& text) {
    if (dxbcDB->currentText() == text)
        return;
    const int index = dxbcDB->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    dxbcDB->setCurrentIndex(index);
    dxbcDB->setEditText(text);
    dxbcDBChange();
}

void TfKestrow::showSwitcherText(const QString& text) {
    if (dxbcDB->currentText() == text)
        return;
    const QSignalBlocker quiet(dxbcDB);
    dxbcDB->setCurrentIndex(dxbcDB->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    dxbcDB->setEditText(text);
}

void TfKestrow::switcherEdited() {
    if (dxbcDB->currentText() == m_switcherText)
        return;
    SafeCall([this] { dxbcDBChange(); });
}

void TfKestrow::dxbcDBChange() {
    const QString name = dxbcDB->currentText();
    if (name.isEmpty()) {
        m_switcherText = name;
        return;
    }
    try {
        if (!EnsureConnected()) {
            showSwitcherText(m_switcherText);
            return;
        }
        ADOConnection->Execute(QStringLiteral("use ") + TSqlIdentifier::Quote(name), TADOConnection::cmdText);
    } catch (...) {
        // The session stays where it was, and the switcher says where that is.
        showSwitcherText(m_switcherText);
        throw;
    }
    showSwitcherText(name);
    m_switcherText = name;
    for (int i = 0; i < pc->count(); ++i) {
        const auto step = m_databaseChanged.constFind(pc->widget(i));
        if (step != m_databaseChanged.constEnd() && *step)
            (*step)();
    }
    pcChange();
}

void TfKestrow::pcChange() {
    if (m_loggedOn && !EnsureConnected())
        return;
    const auto step = m_activation.constFind(pc->currentWidget());
    if (step != m_activation.constEnd() && *step)
        (*step)();
}

void TfKestrow::aDBDBListChanged(QObject*) {
    RefreshDatabaseList();
}

void TfKestrow::aCloseExecute() {
    close();
}

void TfKestrow::createUsersPage() {
    // Shown or refreshed when the page comes to front; a fresh module for every database.
    aUser = new TLumMSSQLUserAction(this, QStringLiteral("aUser"));
    aUser->SetModuleInterface(LumModuleInterface1);
    aUser->SetParent(tsUsers);
    SetPageActivation(tsUsers, [this] { aUser->ShowModule(); });
    SetDatabaseChanged(tsUsers, [this] { aUser->FreeModule(); });
}
