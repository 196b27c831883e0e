#include "ufKestrow.h"

#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TAction.h"
#include "TApplication.h"
#include "TImageList.h"
#include "TSqlIdentifier.h"
#include "brinLogin.h"
#include "uKestrowImages.h"
#include "uTLumMSSQLUserAction.h"
#include "uTLumModuleInterface.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

constexpr int kStatusRefreshMessage = TMessageEvent::WM_USER + 2; // 1026
constexpr int kMaxDropDownRows = 20;

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
    connect(pc, &QTabWidget::currentChanged, this, [this] { SafeCall([this] { pcChange(); }); });

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
    // The stored window settings and the interface language are applied at this point; the
    // modules and the login dialog then take the language.
    LumModuleInterface1->SetIniFileName(m_iniFileName);
    m_login->SetLanguage(LumModuleInterface1->Language());

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
