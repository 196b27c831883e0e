#include "uTLumCustomModuleAction.h"

#include "Exception.h"
#include "uTLumCustomModuleForm.h"
#include "uTLumDlgButtonPanel.h"
#include "ufModuleParent.h"

#include <QApplication>
#include <QFrame>
#include <QLayout>
#include <QScreen>

#include <exception>

namespace {

QList<QPointer<TLumCustomModuleForm>>& liveModules() {
    static QList<QPointer<TLumCustomModuleForm>> modules;
    return modules;
}

// name, or name + "_" + N with the smallest N that no other live module form uses: the name is
// the module's settings section, so two modules of one class alive at once keep apart.
QString uniqueModuleName(const TLumCustomModuleForm* form, const QString& name) {
    auto taken = [form](const QString& candidate) {
        for (const auto& other : liveModules()) {
            if (other && other != form && other->objectName().compare(candidate, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    };
    QString result = name;
    for (int n = 1; taken(result); ++n)
        result = name + QLatin1Char('_') + QString::number(n);
    return result;
}

Qt::WindowFlags borderFlags(TLumCustomModuleAction::TFormBorderStyle style,
                            TLumCustomModuleAction::TBorderIcons icons) {
    using A = TLumCustomModuleAction;
    if (style == A::bsNone)
        return Qt::Window | Qt::FramelessWindowHint;
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (style == A::bsDialog)
        flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (style == A::bsToolWindow || style == A::bsSizeToolWin)
        flags = Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (icons.testFlag(A::biSystemMenu))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (icons.testFlag(A::biMinimize))
        flags |= Qt::WindowMinimizeButtonHint;
    if (icons.testFlag(A::biMaximize))
        flags |= Qt::WindowMaximizeButtonHint;
    if (icons.testFlag(A::biHelp))
        flags |= Qt::WindowContextHelpButtonHint;
    if (style == A::bsSingle || style == A::bsDialog || style == A::bsToolWindow)
        flags |= Qt::MSWindowsFixedSizeDialogHint;
    return flags;
}

} // namespace

TLumCustomModuleAction::TLumCustomModuleAction(QObject* owner, const QString& name)
    : TAction(owner, name), m_params(new TLumModuleParams(this)) {
    ModuleFormClass = TModuleFormClass::Of<TLumCustomModuleForm>();
    OnExecute = [this](TAction*) { ExecuteTarget(nullptr); };
}

TLumCustomModuleAction::~TLumCustomModuleAction() {
    if (m_moduleForm) {
        TLumCustomModuleForm* form = m_moduleForm;
        m_moduleForm = nullptr;
        form->OnHide = nullptr;
        form->hide();
        form->setParent(nullptr);
        delete form;
    }
    delete m_moduleParent.data();
}

TLumCustomInterface* TLumCustomModuleAction::ModuleInterface() const {
    return m_moduleInterface;
}

void TLumCustomModuleAction::SetModuleInterface(TLumCustomInterface* value) {
    m_moduleInterface = value;
}

QString TLumCustomModuleAction::GetModuleName() {
    return m_moduleForm ? m_moduleForm->objectName() : QString();
}

bool TLumCustomModuleAction::IsModuleCreated() {
    return GetModuleForm() != nullptr;
}

TLumCustomModuleForm* TLumCustomModuleAction::GetModuleForm() {
    return m_moduleForm;
}

void TLumCustomModuleAction::RefreshModule() {
    if (IsModuleCreated())
        GetModuleForm()->RefreshData();
}

void TLumCustomModuleAction::ShowModule() {
    if (IsModuleCreated())
        RefreshModule();
    else
        Execute();
}

void TLumCustomModuleAction::CollectModuleResults() {
    if (IsModuleCreated())
        GetModuleForm()->StoreResults();
}

bool TLumCustomModuleAction::Execute() {
    TAction::Execute();
    return !m_showModal || m_lastModalResult == mrOk;
}

void TLumCustomModuleAction::Loaded() {
    if (ModuleFormClass.DeclareParams)
        ModuleFormClass.DeclareParams(m_params);
}

void TLumCustomModuleAction::Assign(const QObject* source) {
    const auto* other = qobject_cast<const TLumCustomModuleAction*>(source);
    if (!other)
        throw Exception(
            QStringLiteral("Cannot assign a %1 to a %2")
                .arg(source ? QString::fromLatin1(source->metaObject()->className()) : QStringLiteral("nil"),
                     QString::fromLatin1(metaObject()->className())));
    m_moduleInterface = other->m_moduleInterface;
    m_parentControl = other->m_parentControl;
    m_showModal = other->m_showModal;
    m_params->Assign(other->m_params);
    BeforeExecute = other->BeforeExecute;
    AfterExecute = other->AfterExecute;
    m_freeOnClose = other->m_freeOnClose;
    m_showButtonPanel = other->m_showButtonPanel;
    m_visibleButtons = other->m_visibleButtons;
}

void TLumCustomModuleAction::FreeModule() {
    if (!m_moduleForm)
        return;
    TLumCustomModuleForm* form = m_moduleForm;
    m_moduleForm = nullptr;
    delete form;
}

void TLumCustomModuleAction::ExecuteTarget(QObject*) {
    if (BeforeExecute)
        BeforeExecute(this);
    std::exception_ptr failure;
    try {
        PrepareModule();
        if (m_showModal)
            ShowModuleModal();
        else
            ShowModuleForm();
        if (AfterExecute)
            AfterExecute(this);
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        FinishExecute();
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TLumCustomModuleAction::PrepareModule() {
    if (!IsModuleCreated()) {
        TLumCustomModuleForm* form =
            ModuleFormClass.Create ? ModuleFormClass.Create() : new TLumCustomModuleForm;
        m_moduleForm = form;
        liveModules().removeIf([](const QPointer<TLumCustomModuleForm>& f) { return f.isNull(); });
        liveModules().append(form);
        // Owned by the application: destroyed at its end if nobody freed it before.
        QPointer<TLumCustomModuleForm> guard(form);
        connect(qApp, &QCoreApplication::aboutToQuit, form, [guard] { delete guard.data(); });
        form->setObjectName(
            uniqueModuleName(form, GetModuleName().replace(QLatin1Char('.'), QLatin1Char('_'))));
        if (m_showModal) {
            auto* window = new TfModuleParent;
            m_moduleParent = window;
            window->OnCloseQuery = form->OnCloseQuery;
            window->OnOkClick = [this](QObject*) { ModuleOk(); };
            DockModule(window->ParentPanel);
        } else if (m_parentControl) {
            DockModule(m_parentControl);
        }
        form->SetModuleAction(this);
        form->InitModule();
    }
    ConfigureModule();
}

void TLumCustomModuleAction::DockModule(QWidget* container) {
    TLumCustomModuleForm* form = m_moduleForm;
    if (!form)
        return;
    if (!container) {
        form->setParent(nullptr);
        return;
    }
    // No border, filling the container.
    form->setParent(container, Qt::Widget);
    QLayout* layout = container->layout();
    if (!layout) {
        layout = new QVBoxLayout(container);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    layout->addWidget(form);
}

void TLumCustomModuleAction::ShowModuleForm() {
    TLumCustomModuleForm* form = m_moduleForm;
    if (!form)
        return;
    const bool wasVisible = form->isVisible();
    form->show();
    // The show handler runs on every execution, also when the form was visible already.
    if (wasVisible && form->OnShow)
        form->OnShow(form);
}

int TLumCustomModuleAction::ShowModuleModal() {
    TfModuleParent* window = m_moduleParent;
    TLumCustomModuleForm* form = m_moduleForm;
    if (!window || !form)
        return mrNone;
    window->DlgButtonPanel->setVisible(m_showButtonPanel);
    window->SetCaption(Caption());
    window->setWindowFlags(borderFlags(m_formBorderStyle, m_windowBorderIcons));
    const QRect workArea = window->screen() ? window->screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    if (m_windowSize) {
        window->resize(m_windowWidth - frame.width(), m_windowHeight - frame.height());
    } else {
        // Fitted around the module, which is first shrunk to the work area.
        QSize size = form->size().boundedTo(workArea.size());
        form->resize(size);
        const int buttons = m_showButtonPanel ? window->DlgButtonPanel->height() : 0;
        window->resize(size.width(), size.height() + buttons);
    }
    if (m_showButtonPanel) {
        window->DlgButtonPanel->Button(0)->setVisible(m_visibleButtons.testFlag(cvbOK));
        window->DlgButtonPanel->Button(1)->setVisible(m_visibleButtons.testFlag(cvbCancel));
    }
    const Qt::WindowStates states[] = {Qt::WindowNoState, Qt::WindowMinimized, Qt::WindowMaximized};
    window->setWindowState(states[m_windowState]);
    ShowModuleForm();
    m_lastModalResult = window->ShowModal();
    CollectModuleResults();
    return m_lastModalResult;
}

void TLumCustomModuleAction::FinishExecute() {
    if (!m_showModal)
        return;
    if (TLumCustomModuleForm* form = m_moduleForm) {
        const bool wasVisible = form->isVisible();
        form->hide();
        if (!wasVisible && form->OnHide)
            form->OnHide(form);
    }
    if (m_freeOnClose) {
        if (m_moduleForm)
            m_moduleForm->setParent(nullptr);
        delete m_moduleParent.data();
        m_moduleParent = nullptr;
        FreeModule();
    }
}
