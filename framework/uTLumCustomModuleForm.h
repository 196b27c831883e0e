#pragma once
// The base form of every module: it carries a settings storage and a translator, takes the
// connection, settings file and language from its module context, keeps its window placement,
// and runs the steps its module action calls (InitModule, RefreshData, StoreResults).
#include "TForm.h"

#include <QPointer>

class TIniFile;
class TLumCustomInterface;
class TLumCustomModuleAction;
class TLumModuleParams;
class TLumStorage;
class TLumTranslator;

class TLumCustomModuleForm : public TForm {
    Q_OBJECT

public:
    static constexpr int kAfterShowMessage = TMessageEvent::WM_USER + 2;
    static constexpr int kActivatedMessage = TMessageEvent::WM_USER + 3;

    explicit TLumCustomModuleForm(QWidget* parent = nullptr);
    ~TLumCustomModuleForm() override;

    TLumCustomModuleAction* ModuleAction() const { return m_moduleAction; }
    void SetModuleAction(TLumCustomModuleAction* action) { m_moduleAction = action; }

    virtual void ModuleActivated() {}
    // Context, then settings (when the file exists), then parameters, then the first data load.
    virtual void InitModule();
    virtual void ApplyModuleInterface();
    virtual void RefreshData() {}
    virtual void ApplyParams() {}
    virtual void StoreResults() {}
    // The parameters a module class accepts; called without a form (see TModuleFormClass).
    static void DeclareParams(TLumModuleParams*) {}
    // Loads the language file sections of the form's classes and applies the language.
    virtual void SetLanguage(const QString& language);
    // Name + "." + Name: the section of the window placement keys.
    virtual QString GetStorageSection() const;
    virtual void AfterShow() {}
    virtual void BeforeSaveSettings() {}
    virtual void BeforeLoadSettings() {}

    TLumModuleParams* GetParams() const;
    TLumCustomInterface* GetModuleInterface() const;

    void LumStorageBeforeReadIni(TIniFile& file);
    void LumStorageBeforeWriteIni(TIniFile& file);
    void FormShow();
    void FormHide();

    TLumStorage* LumStorage;
    TLumTranslator* Translator;

protected:
    void MessageReceived(int message, qintptr wParam, qintptr lParam) override;

private:
    // The window whose placement is kept, and the key suffix ("_modal" in the frame window).
    QWidget* placementWindow(QString& suffix) const;

    QPointer<TLumCustomModuleAction> m_moduleAction;
};
