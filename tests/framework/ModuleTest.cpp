#include "Exception.h"
#include "ModalDriver.h"
#include "Spin.h"
#include "TIniFile.h"
#include "uTLumCustomModuleAction.h"
#include "uTLumCustomModuleForm.h"
#include "uTLumDlgButtonPanel.h"
#include "uTLumModuleInterface.h"
#include "uTLumStorage.h"
#include "uTLumTranslator.h"
#include "ufModuleParent.h"

#include <QFile>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using testsupport::ModalDriver;

namespace {

// A small module: counts what its action asks of it.
class TfTestModule : public TLumCustomModuleForm {
    Q_OBJECT

public:
    TfTestModule() {
        setObjectName("fTestModule");
        lTitle = new QLabel("design", this);
        lTitle->setObjectName("lTitle");
        Translator->AddLanguage("Russian");
        Translator->AddLanguage("English");
        Translator->AddKey("lTitle.Caption", {"Заголовок", "Title"});
        resize(300, 200);
        OnCloseQuery = [](TForm*, bool& canClose) { canClose = !refuseClose; };
    }
    static void DeclareParams(TLumModuleParams* params) { params->Add()->SetName("sName"); }
    void RefreshData() override {
        ++refreshes;
        if (failRefresh)
            throw Exception("refresh failed");
    }
    void ApplyParams() override { ++paramsApplied; }
    void StoreResults() override {
        if (TLumModuleParam* p = GetParams()->FindParam("SNAME"))
            p->SetValue("chosen");
    }
    void AfterShow() override { ++afterShows; }
    void ModuleActivated() override { ++activations; }

    QLabel* lTitle;
    int refreshes = 0, paramsApplied = 0, afterShows = 0, activations = 0;
    static inline bool failRefresh = false;
    static inline bool refuseClose = false;
};

class TTestModuleAction : public TLumCustomModuleAction {
    Q_OBJECT

public:
    explicit TTestModuleAction(QObject* owner) : TLumCustomModuleAction(owner, "aTest") {
        ModuleFormClass = TModuleFormClass::Of<TfTestModule>();
        Loaded();
    }
    void ConfigureModule() override { ++configured; }
    void ModuleOk() override { ++oks; }
    QString GetModuleName() override {
        return dottedName.isEmpty() ? TLumCustomModuleAction::GetModuleName() : dottedName;
    }
    TfTestModule* Module() { return static_cast<TfTestModule*>(GetModuleForm()); }
    int configured = 0;
    int oks = 0;
    QString dottedName;
};

class ModuleTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TForm host;
    QWidget* page = new QWidget(&host);
    TLumModuleInterface* context = new TLumModuleInterface(&host, "LumModuleInterface1");
    TTestModuleAction* action = new TTestModuleAction(&host);

    void SetUp() override {
        TfTestModule::failRefresh = false;
        TfTestModule::refuseClose = false;
        context->SetIniFileName(dir.filePath("marlinde.ini"));
        action->SetModuleInterface(context);
        action->SetParent(page);
        action->SetCaption("Show data");
        auto* layout = new QVBoxLayout(&host);
        layout->addWidget(page);
        host.resize(500, 400);
        host.show();
    }
    QString ini() const {
        QFile f(dir.filePath("marlinde.ini"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

TEST_F(ModuleTest, ADockedModuleIsCreatedOnceThenShownAndRefreshed) {
    EXPECT_EQ(action->Params()->Count(), 1); // declared by the form class without a form
    EXPECT_TRUE(action->Execute());
    TfTestModule* module = action->Module();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->parentWidget(), page);
    EXPECT_TRUE(module->isVisible());
    EXPECT_FALSE(module->isWindow());
    EXPECT_EQ(module->refreshes, 1);
    EXPECT_EQ(module->paramsApplied, 1);
    EXPECT_EQ(module->ModuleAction(), action);
    EXPECT_TRUE(SpinUntil([&] { return module->afterShows == 1; }));

    EXPECT_TRUE(action->Execute());
    EXPECT_EQ(action->Module(), module); // no second form
    EXPECT_EQ(action->configured, 2);
    EXPECT_TRUE(SpinUntil([&] { return module->afterShows == 2; })); // the show handler ran again
    action->ShowModule();
    EXPECT_EQ(module->refreshes, 2);
    EXPECT_EQ(action->configured, 2);
    EXPECT_EQ(module->activations, 0); // only the frame window activates a module

    // Hiding the page writes the placement under keys without suffix.
    page->hide();
    EXPECT_EQ(ini(),
              QString("[fTestModule.fTestModule]\nWindowState=0\nLeft=%1\nTop=%2\nWidth=%3\nHeight=%4\n")
                  .arg(module->x())
                  .arg(module->y())
                  .arg(module->width())
                  .arg(module->height()));
    QPointer<TfTestModule> guard(module);
    action->FreeModule();
    EXPECT_TRUE(guard.isNull());
    EXPECT_FALSE(action->IsModuleCreated());
    action->ShowModule();
    EXPECT_TRUE(action->IsModuleCreated());
}

TEST_F(ModuleTest, ModalRunsReturnTheirResultAndStoreTheirPlacementApart) {
    action->SetShowModal(true);
    action->SetWindowState(TLumCustomModuleAction::wsNormal);
    QList<int> counts;
    QStringList look;
    ModalDriver ok({[&](QWidget* w) {
        auto* frame = qobject_cast<TfModuleParent*>(w);
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(SpinUntil([&] { return action->Module()->activations == 1; }));
        look << frame->Caption() << frame->DlgButtonPanel->Button(0)->Caption()
             << frame->DlgButtonPanel->Button(1)->Caption();
        counts << frame->width() << frame->height();
        frame->move(40, 30);
        frame->DlgButtonPanel->Button(0)->click();
    }});
    EXPECT_TRUE(action->Execute());
    EXPECT_EQ(ok.Remaining(), 0);
    EXPECT_EQ(look, QStringList({"Show data", "OK", "Cancel"}));
    EXPECT_EQ(counts, QList<int>({300, 200 + 37})); // fitted around the module
    EXPECT_EQ(action->Params()->FindParam("sname")->Value(), QVariant("chosen"));
    EXPECT_FALSE(action->IsModuleCreated()); // FreeOnClose
    EXPECT_EQ(action->ModuleParent(), nullptr);
    TIniFile file(dir.filePath("marlinde.ini"));
    EXPECT_EQ(file.ReadSection("fTestModule.fTestModule"),
              QStringList({"WindowState_modal", "Left_modal", "Top_modal", "Width_modal", "Height_modal"}));
    EXPECT_EQ(file.ReadInteger("fTestModule.fTestModule", "Left_modal", 0), 40);
    EXPECT_EQ(file.ReadInteger("fTestModule.fTestModule", "Width_modal", 0), 300);

    // Cancel; only the OK button; the window size of its own.
    action->SetVisibleButtons(TLumCustomModuleAction::cvbOK);
    action->SetWindowSize(true);
    action->SetWindowHeight(500);
    QList<bool> visible;
    ModalDriver cancel({[&](QWidget* w) {
        auto* frame = static_cast<TfModuleParent*>(w);
        visible << frame->DlgButtonPanel->Button(0)->isVisible()
                << frame->DlgButtonPanel->Button(1)->isVisible();
        counts << frame->width() << frame->height();
        frame->close();
    }});
    EXPECT_FALSE(action->Execute());
    EXPECT_EQ(action->LastModalResult(), mrCancel);
    EXPECT_EQ(visible, QList<bool>({true, false}));
    EXPECT_EQ(counts.mid(2), QList<int>({700, 500}));
    EXPECT_EQ(file.ReadInteger("fTestModule.fTestModule", "Left_modal", 0), 40); // restored, not centred
    file.WriteInteger("fTestModule.fTestModule", "Left_modal", 44);

    // Without a button panel; maximised: only the state is written, the rest stays.
    action->SetShowButtonPanel(false);
    action->SetWindowState(TLumCustomModuleAction::wsMaximized);
    ModalDriver maximised({[&](QWidget* w) {
        auto* frame = static_cast<TfModuleParent*>(w);
        visible << frame->DlgButtonPanel->isVisible();
        frame->close();
    }});
    action->Execute();
    EXPECT_EQ(visible.mid(2), QList<bool>{false});
    EXPECT_EQ(file.ReadInteger("fTestModule.fTestModule", "WindowState_modal", 0), 2);
    EXPECT_EQ(file.ReadInteger("fTestModule.fTestModule", "Left_modal", 0), 44); // kept for later
}

TEST_F(ModuleTest, TheModuleDecidesWhetherItsWindowMayClose) {
    action->SetShowModal(true);
    TfTestModule::refuseClose = true;
    bool stayed = false;
    ModalDriver driver({[&](QWidget* w) {
        auto* frame = static_cast<TfModuleParent*>(w);
        frame->DlgButtonPanel->Button(0)->click(); // the hook runs, the module refuses
        stayed = frame->isVisible();
        TfTestModule::refuseClose = false;
        frame->DlgButtonPanel->Button(0)->click();
    }});
    EXPECT_TRUE(action->Execute());
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(action->oks, 2);
}

TEST_F(ModuleTest, AModuleHigherThanTheWorkAreaIsShrunkFirst) {
    action->SetShowModal(true);
    const QRect work = host.screen()->availableGeometry();
    QSize seen;
    ModalDriver driver({[&](QWidget* w) {
        seen = w->size();
        w->close();
    }});
    action->ShowModule(); // creates the module, so make it big before the window is sized
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(seen, QSize(300, 237));

    action->SetFreeOnClose(false);
    ModalDriver first({[&](QWidget* w) { w->close(); }});
    action->Execute();
    action->Module()->resize(work.width() + 100, work.height() + 100);
    ModalDriver big({[&](QWidget* w) {
        seen = w->size();
        w->close();
    }});
    action->Execute();
    EXPECT_EQ(seen, QSize(work.width(), work.height() + 37));
}

TEST_F(ModuleTest, NamesTranslationAssignAndAFailedFirstLoad) {
    // A dotted name becomes underscores; a second live module of the class gets a number.
    action->dottedName = "Module.Test";
    action->Execute();
    EXPECT_EQ(action->Module()->objectName(), "Module_Test");
    TTestModuleAction second(&host);
    second.SetParent(page);
    second.Execute();
    EXPECT_EQ(second.Module()->objectName(), "fTestModule");
    TTestModuleAction third(&host);
    third.SetParent(page);
    third.Execute();
    EXPECT_EQ(third.Module()->objectName(), "fTestModule_1");

    // The context's language with a language file section for the form's class.
    {
        QFile f(dir.filePath("Russian.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[TfTestModule]\nlTitle.Caption=Из файла\n");
    }
    context->SetLanguageDir(dir.path() + "/");
    context->SetLanguage("Russian");
    TTestModuleAction translated(&host);
    translated.SetModuleInterface(context);
    translated.Execute();
    EXPECT_EQ(translated.Module()->lTitle->text(), "Из файла");
    context->SetLanguage("");
    TTestModuleAction untranslated(&host);
    untranslated.SetModuleInterface(context);
    untranslated.Execute();
    EXPECT_EQ(untranslated.Module()->lTitle->text(), "design");

    // Assign copies the module settings but not the window's.
    TTestModuleAction target(&host);
    target.SetWindowWidth(123);
    target.SetWindowSize(true);
    action->SetShowModal(true);
    action->Params()->FindParam("sName")->SetValue(5);
    target.Assign(action);
    EXPECT_TRUE(target.ShowModalProperty());
    EXPECT_EQ(target.Parent(), page);
    EXPECT_EQ(target.Params()->FindParam("sName")->Value(), QVariant(5));
    EXPECT_EQ(target.WindowWidth(), 123);
    EXPECT_TRUE(target.WindowSize());

    // A failing first load leaves the module created and docked; the next visit refreshes it.
    TfTestModule::failRefresh = true;
    TTestModuleAction failing(&host);
    failing.SetParent(page);
    EXPECT_THROW(failing.Execute(), Exception);
    ASSERT_TRUE(failing.IsModuleCreated());
    EXPECT_EQ(failing.Module()->parentWidget(), page);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    TfTestModule::failRefresh = false;
    failing.ShowModule();
    EXPECT_EQ(failing.Module()->refreshes, 2);
}

} // namespace

#include "ModuleTest.moc"
