#pragma once
// The action that owns a module: it creates the module form on first use, docks it into a
// container (or runs it modally in a TfModuleParent window), hands it the module context, shows
// and refreshes it, and frees it.
#include "TAction.h"
#include "uTLumModuleParams.h"

#include <QPointer>
#include <QWidget>

#include <functional>

#include "uTLumCustomInterface.h"
class TLumCustomModuleForm;
class TfModuleParent;

// A module form class: how to make one, and its class-level parameter declaration.
struct TModuleFormClass {
    std::function<TLumCustomModuleForm*()> Create;
    std::function<void(TLumModuleParams*)> DeclareParams;

    template <class T> static TModuleFormClass Of() {
        return {[] { return new T(); }, [](TLumModuleParams* params) { T::DeclareParams(params); }};
    }
};

class TLumCustomModuleAction : public TAction {
    Q_OBJECT

public:
    enum TLumCustomModuleVisibleButton { cvbOK = 0x1, cvbCancel = 0x2 };
    Q_DECLARE_FLAGS(TLumCustomModuleVisibleButtons, TLumCustomModuleVisibleButton)
    Q_FLAG(TLumCustomModuleVisibleButtons)
    enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
    Q_ENUM(TFormBorderStyle)
    enum TWindowState { wsNormal, wsMinimized, wsMaximized };
    Q_ENUM(TWindowState)
    enum TBorderIcon { biSystemMenu = 0x1, biMinimize = 0x2, biMaximize = 0x4, biHelp = 0x8 };
    Q_DECLARE_FLAGS(TBorderIcons, TBorderIcon)
    Q_FLAG(TBorderIcons)

private:
    Q_PROPERTY(TLumCustomInterface* ModuleInterface READ ModuleInterface WRITE SetModuleInterface)
    Q_PROPERTY(TLumModuleParams* Params READ Params)
    Q_PROPERTY(bool ShowModal READ ShowModalProperty WRITE SetShowModal)
    Q_PROPERTY(QWidget* Parent READ Parent WRITE SetParent)
    Q_PROPERTY(bool FreeOnClose MEMBER m_freeOnClose)
    Q_PROPERTY(bool ShowButtonPanel MEMBER m_showButtonPanel)
    Q_PROPERTY(TLumCustomModuleAction::TLumCustomModuleVisibleButtons VisibleButtons MEMBER m_visibleButtons)
    Q_PROPERTY(TLumCustomModuleAction::TFormBorderStyle FormBorderStyle MEMBER m_formBorderStyle)
    Q_PROPERTY(TLumCustomModuleAction::TWindowState WindowState MEMBER m_windowState)
    Q_PROPERTY(int WindowWidth MEMBER m_windowWidth)
    Q_PROPERTY(int WindowHeight MEMBER m_windowHeight)
    Q_PROPERTY(bool WindowSize MEMBER m_windowSize)
    Q_PROPERTY(TLumCustomModuleAction::TBorderIcons WindowBorderIcons MEMBER m_windowBorderIcons)

public:
    using TNotifyEvent = std::function<void(QObject* sender)>;

    explicit TLumCustomModuleAction(QObject* owner = nullptr, const QString& name = {});
    ~TLumCustomModuleAction() override;

    TLumCustomInterface* ModuleInterface() const;
    void SetModuleInterface(TLumCustomInterface* value);
    TLumModuleParams* Params() const { return m_params; }
    bool ShowModalProperty() const { return m_showModal; }
    void SetShowModal(bool value) { m_showModal = value; }
    QWidget* Parent() const { return m_parentControl; }
    void SetParent(QWidget* value) { m_parentControl = value; }
    bool FreeOnClose() const { return m_freeOnClose; }
    void SetFreeOnClose(bool value) { m_freeOnClose = value; }
    bool ShowButtonPanel() const { return m_showButtonPanel; }
    void SetShowButtonPanel(bool value) { m_showButtonPanel = value; }
    TLumCustomModuleVisibleButtons VisibleButtons() const { return m_visibleButtons; }
    void SetVisibleButtons(TLumCustomModuleVisibleButtons value) { m_visibleButtons = value; }
    TFormBorderStyle FormBorderStyle() const { return m_formBorderStyle; }
    void SetFormBorderStyle(TFormBorderStyle value) { m_formBorderStyle = value; }
    TWindowState WindowState() const { return m_windowState; }
    void SetWindowState(TWindowState value) { m_windowState = value; }
    int WindowWidth() const { return m_windowWidth; }
    void SetWindowWidth(int value) { m_windowWidth = value; }
    int WindowHeight() const { return m_windowHeight; }
    void SetWindowHeight(int value) { m_windowHeight = value; }
    bool WindowSize() const { return m_windowSize; }
    void SetWindowSize(bool value) { m_windowSize = value; }
    TBorderIcons WindowBorderIcons() const { return m_windowBorderIcons; }
    void SetWindowBorderIcons(TBorderIcons value) { m_windowBorderIcons = value; }

    TModuleFormClass ModuleFormClass;
    TLumCustomModuleForm* ModuleForm() const { return m_moduleForm; }
    TfModuleParent* ModuleParent() const { return m_moduleParent; }
    int LastModalResult() const { return m_lastModalResult; }
    // Called by a module form that goes away on its own.
    void ClearModuleForm() { m_moduleForm = nullptr; }

    virtual QString GetModuleName();
    virtual bool IsModuleCreated();
    virtual TLumCustomModuleForm* GetModuleForm();
    virtual void ConfigureModule() {}
    virtual void RefreshModule();
    // What a host calls when the module's page comes to front: refresh, or create and show.
    virtual void ShowModule();
    virtual void CollectModuleResults();
    virtual void ModuleOk() {}

    // The standard execution; false only for a modal run that did not end with OK.
    bool Execute() override;
    void ExecuteTarget(QObject* target) override;
    // Runs the module form class's parameter declaration, once the action is set up.
    void Loaded();
    // Copies the context, placement, parameters, events and modal settings, but not the
    // window's border, state, size or icons.
    void Assign(const QObject* source);
    void FreeModule();

    TNotifyEvent BeforeExecute;
    TNotifyEvent AfterExecute;

protected:
    void PrepareModule();
    void DockModule(QWidget* container);
    void ShowModuleForm();
    int ShowModuleModal();
    void FinishExecute();

private:
    QPointer<TLumCustomInterface> m_moduleInterface;
    TLumModuleParams* m_params;
    bool m_showModal = false;
    QPointer<QWidget> m_parentControl;
    bool m_freeOnClose = true;
    bool m_showButtonPanel = true;
    TLumCustomModuleVisibleButtons m_visibleButtons = TLumCustomModuleVisibleButtons(cvbOK) | cvbCancel;
    TFormBorderStyle m_formBorderStyle = bsSizeable;
    TWindowState m_windowState = wsNormal;
    int m_windowWidth = 700;
    int m_windowHeight = 400;
    bool m_windowSize = false;
    TBorderIcons m_windowBorderIcons = TBorderIcons(biSystemMenu) | biMinimize | biMaximize;
    QPointer<TLumCustomModuleForm> m_moduleForm;
    QPointer<TfModuleParent> m_moduleParent;
    int m_lastModalResult = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TLumCustomModuleAction::TLumCustomModuleVisibleButtons)
Q_DECLARE_OPERATORS_FOR_FLAGS(TLumCustomModuleAction::TBorderIcons)
