// What the main window keeps between runs (placement, page, language, the object grid), its
// language menu, Help, About and the Activity page, with the real window against the simulator.
#include "Exception.h"
#include "ModalDriver.h"
#include "SimLog.h"
#include "Spin.h"
#include "TADOQuery.h"
#include "TAction.h"
#include "TApplication.h"
#include "TIniFile.h"
#include "TdxDBGrid.h"
#include "TdxDBGridColumn.h"
#include "brinLogin.h"
#include "uKestrowObjectsPage.h"
#include "uLumdxActions.h"
#include "uTLumCustomModuleAction.h"
#include "uTLumCustomModuleForm.h"
#include "uTLumDataSourceEditAction.h"
#include "uTLumModuleInterface.h"
#include "uTLumTranslator.h"
#include "ufAbout.h"
#include "ufKestrow.h"
#include "ufLumDataSourceEdit.h"

#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

using testsupport::ModalDriver;
using testsupport::SimProcess;
using testsupport::SimRequests;
using testsupport::SimServer;

namespace {

// A module with a text of its own in the language it was created with.
class TfLanguageProbe : public TLumCustomModuleForm {
public:
    TfLanguageProbe() {
        setObjectName("fLanguageProbe");
        Text = new QLabel(this);
    }
    void SetLanguage(const QString& language) override {
        Language = language;
        Text->setText(language == "Russian" ? "Привет" : "Hello");
    }
    QLabel* Text;
    QString Language;
};

// Receives the addresses the desktop would open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class MainWindowSettingsTest : public ::testing::Test {
protected:
    static inline SimProcess* sim = nullptr;
    QTemporaryDir dir;
    QStringList errors;

    static void SetUpTestSuite() {
        sim = new SimProcess({"--demo", "--sa-password", "sa"});
        ASSERT_TRUE(sim->started());
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    void SetUp() override {
        QApplication::setQuitOnLastWindowClosed(false);
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
    }
    void TearDown() override { TApplication::Instance()->OnException = nullptr; }
    QString ini() const { return dir.filePath("marlinde.ini"); }
    QString iniText() const {
        QFile f(ini());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QStringList logOn() const { return {"-s", SimServer(*sim), "-u", "sa", "-p", "sa", "-d", "Sales"}; }
    static int count(const QString& statement) {
        return int(SimRequests(*sim, "batch", "text").count(statement));
    }
    static void waitForList(TfKestrow& w) {
        w.show();
        ASSERT_TRUE(SpinUntil([&] { return w.Objects()->qObjects->Active(); }));
    }
    static QStringList tabs(const TfKestrow& w) {
        QStringList out;
        for (int i = 0; i < w.pc->count(); ++i)
            out << w.pc->tabText(i);
        return out;
    }
    static QStringList toolBar(const TfKestrow& w) {
        QStringList out;
        for (QAction* a : w.ActionToolBar2->actions())
            if (!a->isSeparator())
                out << a->text();
        return out;
    }
};

TEST_F(MainWindowSettingsTest, FirstRunOpensInEnglishOnObjectsAtDesignSize) {
    TfKestrow w(ini(), logOn());
    EXPECT_EQ(w.size(), QSize(548, 612));
    EXPECT_EQ(w.pc->currentIndex(), 0);
    EXPECT_EQ(w.LumTranslator->ActiveLanguage(), 0);
    EXPECT_EQ(tabs(w), QStringList({"Objects", "Users", "Query", "Activity", "DB", "Servers"}));
    EXPECT_EQ(toolBar(w), QStringList({"Help", "About", "Language", "Close"}));
    EXPECT_EQ(w.aHelp->toolTip(), "Справка");
    EXPECT_EQ(w.aAbout->toolTip(), "О программе");
    EXPECT_EQ(w.aLanguage->toolTip(), "Language");
    EXPECT_EQ(w.LumModuleInterface1->Language(), "English");
    EXPECT_EQ(w.LoginDialog()->Language(), "English");
    waitForList(w);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
}

TEST_F(MainWindowSettingsTest, PlacementAndPageSurviveARestartAndMaximisedWritesOnlyTheState) {
    {
        TfKestrow w(ini(), logOn());
        waitForList(w);
        w.move(31, 42);
        w.resize(700, 650);
        w.pc->setCurrentWidget(w.tsServers); // no step of its own here
        w.close();
    }
    TIniFile f(ini());
    EXPECT_EQ(f.ReadInteger("pc", "ActivePageIndex", -1), 5);
    EXPECT_EQ(f.ReadInteger("mainWindow", "WindowState", -1), 0);
    EXPECT_EQ(f.ReadInteger("mainWindow", "Width", -1), 700);
    EXPECT_EQ(f.ReadInteger("mainWindow", "Height", -1), 650);
    const int left = f.ReadInteger("mainWindow", "Left", -1);
    const int top = f.ReadInteger("mainWindow", "Top", -1);

    // Restored on the Activity page: restoring is not a visit, so no process list is read.
    f.WriteInteger("pc", "ActivePageIndex", 3);
    const int who = count("sp_who2");
    {
        TfKestrow w(ini(), logOn());
        EXPECT_EQ(w.pc->currentIndex(), 3);
        EXPECT_EQ(w.geometry().size(), QSize(700, 650));
        EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(left, top));
        w.show();
        // The switcher's change on log-on activates the current page once.
        ASSERT_TRUE(SpinUntil([&] { return w.aWho->IsModuleCreated(); }));
        EXPECT_EQ(count("sp_who2"), who + 1);
        w.setWindowState(Qt::WindowMaximized);
        ASSERT_TRUE(SpinUntil([&] { return w.isMaximized(); }));
        w.close();
    }
    EXPECT_EQ(f.ReadInteger("mainWindow", "WindowState", -1), 2);
    EXPECT_EQ(f.ReadInteger("mainWindow", "Width", -1), 700); // the earlier bounds stay
    EXPECT_EQ(f.ReadInteger("mainWindow", "Left", -1), left);
    {
        TfKestrow w(ini(), logOn());
        EXPECT_TRUE(w.windowState().testFlag(Qt::WindowMaximized));
        w.show();
        w.showNormal();
        ASSERT_TRUE(SpinUntil([&] { return !w.isMaximized(); }));
        EXPECT_EQ(w.geometry().size(), QSize(700, 650)); // restoring gives the earlier bounds
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
}

TEST_F(MainWindowSettingsTest, GroupPanelAndGridLayoutSurviveARestart) {
    QString written;
    {
        TfKestrow w(ini(), logOn());
        TKestrowObjectsPage* page = w.Objects();
        waitForList(w);
        page->adxShowGroupPanel->trigger();
        EXPECT_TRUE(page->dxdbg->ShowGroupPanel());
        page->dxdbg->GroupByColumn(page->dxdbgType, 0);
        page->dxdbg->SortByColumn(page->dxdbgName, false);
        page->dxdbg->SortByColumn(page->dxdbgName, false); // reversed
        page->dxdbgName->SetWidth(150);
        w.close();
        written = iniText();
    }
    TIniFile f(ini());
    EXPECT_EQ(f.ReadString("fKestrow.dxdbg", "ShowGroupPanel", ""), "1");
    EXPECT_EQ(f.ReadString("fKestrow.LumTranslator", "ActiveLanguage", ""), "0");
    EXPECT_TRUE(f.SectionExists("fKestrow_dxdbg"));
    {
        TfKestrow w(ini(), logOn());
        TKestrowObjectsPage* page = w.Objects();
        EXPECT_TRUE(page->dxdbg->ShowGroupPanel());
        EXPECT_TRUE(page->adxShowGroupPanel->isChecked()); // its first click hides the panel
        EXPECT_EQ(page->dxdbg->GroupColumns(), QList<TdxDBGridColumn*>({page->dxdbgType}));
        EXPECT_EQ(page->dxdbgName->SortOrder(), csDown);
        waitForList(w);
        EXPECT_EQ(page->dxdbg->Model()->rowCount(), page->dxdbg->TopNodeCount());
        w.close();
    }
    EXPECT_EQ(iniText(), written); // read back and written again unchanged
    {
        TfKestrow w(ini(), logOn());
        TKestrowObjectsPage* page = w.Objects();
        page->adxShowGroupPanel->trigger();
        EXPECT_FALSE(page->dxdbg->ShowGroupPanel());
        w.close();
    }
    EXPECT_EQ(f.ReadString("fKestrow.dxdbg", "ShowGroupPanel", ""), "0");
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
}

TEST_F(MainWindowSettingsTest, LanguageMenuSwitchesTheWindowAtOnceButNotModulesOrTheirContext) {
    TfKestrow w(ini(), logOn());
    waitForList(w);
    auto* probe = new TLumCustomModuleAction(&w, "aProbe");
    probe->ModuleFormClass = TModuleFormClass::Of<TfLanguageProbe>();
    probe->SetModuleInterface(w.LumModuleInterface1);
    probe->SetParent(w.tsQuery);
    probe->Loaded();
    probe->ShowModule();
    auto* before = static_cast<TfLanguageProbe*>(probe->ModuleForm());
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(before->Text->text(), "Hello");

    w.aLanguage->trigger();
    QStringList items;
    QList<bool> checked;
    for (QAction* a : w.ppmLanguage->actions()) {
        items << a->text();
        checked << a->isChecked();
    }
    EXPECT_EQ(items, QStringList({"English", "Russian"}));
    EXPECT_EQ(checked, QList<bool>({true, false}));
    w.ppmLanguage->actions().at(1)->trigger();
    w.ppmLanguage->hide();
    EXPECT_EQ(tabs(w), QStringList({"Объекты", "Пользователи", "Запрос", "Активность", "БД", "Серверы"}));
    EXPECT_EQ(toolBar(w), QStringList({"Справка", "О программе", "Language", "Выход"}));
    EXPECT_EQ(before->Text->text(), "Hello");
    EXPECT_EQ(w.LumModuleInterface1->Language(), "English");
    EXPECT_EQ(w.LoginDialog()->Language(), "English");
    // A module created after the switch still opens in the language of the start.
    probe->FreeModule();
    probe->ShowModule();
    EXPECT_EQ(static_cast<TfLanguageProbe*>(probe->ModuleForm())->Language, "English");

    w.aLanguage->trigger();
    checked.clear();
    for (QAction* a : w.ppmLanguage->actions())
        checked << a->isChecked();
    EXPECT_EQ(checked, QList<bool>({false, true}));
    w.ppmLanguage->hide();
    w.close();
    EXPECT_EQ(TIniFile(ini()).ReadString("fKestrow.LumTranslator", "ActiveLanguage", ""), "1");

    TfKestrow again(ini(), logOn());
    EXPECT_EQ(tabs(again).value(0), "Объекты");
    EXPECT_EQ(again.LumModuleInterface1->Language(), "Russian");
    EXPECT_EQ(again.LoginDialog()->Language(), "Russian");
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
}

TEST_F(MainWindowSettingsTest, AStoredLanguageOutsideTheTranslatorsMeansEnglish) {
    TIniFile(ini()).WriteString("fKestrow.LumTranslator", "ActiveLanguage", "7");
    TfKestrow w(ini(), logOn());
    EXPECT_TRUE(w.LoggedOn());
    EXPECT_EQ(w.LumTranslator->ActiveLanguage(), 0);
    EXPECT_EQ(tabs(w).value(0), "Objects");
    EXPECT_EQ(w.LumModuleInterface1->Language(), "English");
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
}

TEST_F(MainWindowSettingsTest, HelpOpensTheProductPageAndAboutShowsTheTranslatedCaptions) {
    TfKestrow w(ini(), logOn());
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    w.aHelp->trigger();
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].path(), "/en/index.php");
    EXPECT_EQ(catcher.urls[0].query(), "topic=products&product=Marlinde");
    EXPECT_FALSE(catcher.urls[0].host().isEmpty());

    QStringList seen;
    auto look = [&](QWidget* m) {
        auto* about = qobject_cast<TfAbout*>(m);
        ASSERT_NE(about, nullptr) << ModalDriver::Text(m).toStdString();
        seen << about->windowTitle() << about->PageControl->tabText(0) << about->lLinkCaption->text()
             << about->lMailCaption->text();
        m->close();
    };
    ModalDriver english({look});
    w.aAbout->trigger();
    EXPECT_EQ(english.Remaining(), 0);
    w.LumTranslator->SelectLanguage("Russian");
    ModalDriver russian({look});
    w.aAbout->trigger();
    EXPECT_EQ(russian.Remaining(), 0);
    EXPECT_EQ(seen, QStringList({"About", "Program version", "Link:", "E-mail:", "About", "Версия программы",
                                 "Сайт:", "Почта:"}));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
}

TEST_F(MainWindowSettingsTest, EachActivityVisitReadsTheProcessesAgain) {
    TfKestrow w(ini(), logOn());
    waitForList(w);
    const int before = count("sp_who2");
    w.pc->setCurrentWidget(w.tsActivity);
    EXPECT_EQ(count("sp_who2"), before + 1);
    ASSERT_TRUE(w.aWho->IsModuleCreated());
    auto* editor = w.aWho->Module();
    EXPECT_EQ(editor->parentWidget(), w.tsActivity);
    EXPECT_TRUE(w.aWho->ReadOnly());
    const int rows = editor->dxDBGrid->Model()->rowCount();
    EXPECT_GT(rows, 0);
    w.pc->setCurrentWidget(w.tsObjects);
    w.pc->setCurrentWidget(w.tsActivity);
    EXPECT_EQ(count("sp_who2"), before + 2);
    EXPECT_EQ(w.aWho->Module(), editor); // refreshed, not built again
    EXPECT_TRUE(w.qWho->Active());
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
}

} // namespace

#include "MainWindowSettingsTest.moc"
