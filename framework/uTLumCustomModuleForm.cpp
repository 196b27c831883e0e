#include "uTLumCustomModuleForm.h"

#include "TIniFile.h"
#include "uTLumCustomModuleAction.h"
#include "uTLumModuleInterface.h"
#include "uTLumStorage.h"
#include "uTLumTranslator.h"
#include "ufModuleParent.h"

#include <QApplication>
#include <QFileInfo>

namespace {

int stateNumber(const QWidget* w) {
    if (w->windowState() & Qt::WindowMaximized)
        return 2;
    if (w->windowState() & Qt::WindowMinimized)
        return 1;
    return 0;
}

} // namespace

TLumCustomModuleForm::TLumCustomModuleForm(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("LumCustomModuleForm"));
    resize(438, 409);
    LumStorage = new TLumStorage(this, QStringLiteral("LumStorage"));
    LumStorage->BeforeReadIni = [this](TLumStorage*, TIniFile& file) { LumStorageBeforeReadIni(file); };
    LumStorage->BeforeWriteIni = [this](TLumStorage*, TIniFile& file) { LumStorageBeforeWriteIni(file); };
    Translator = new TLumTranslator(this, QStringLiteral("Translator"));
    Translator->SetActiveLanguage(-1);
    OnShow = [this](TForm*) { FormShow(); };
    OnHide = [this](TForm*) { FormHide(); };
}

TLumCustomModuleForm::~TLumCustomModuleForm() {
    try {
        OnHide = nullptr; // a form being destroyed saves nothing
        if (m_moduleAction && m_moduleAction->ModuleForm() == this)
            m_moduleAction->ClearModuleForm();
    } catch (...) {
        // Nothing raised while a module goes away may stop it going.
    }
}

TLumModuleParams* TLumCustomModuleForm::GetParams() const {
    return m_moduleAction ? m_moduleAction->Params() : nullptr;
}

TLumCustomInterface* TLumCustomModuleForm::GetModuleInterface() const {
    return m_moduleAction ? m_moduleAction->ModuleInterface() : nullptr;
}

void TLumCustomModuleForm::InitModule() {
    if (GetModuleInterface())
        ApplyModuleInterface();
    if (!LumStorage->IniFile().isEmpty() && QFileInfo::exists(LumStorage->IniFile())) {
        BeforeLoadSettings();
        LumStorage->ReadIni();
    }
    if (GetParams())
        ApplyParams();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        RefreshData();
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
}

void TLumCustomModuleForm::ApplyModuleInterface() {
    auto* context = qobject_cast<TLumModuleInterface*>(GetModuleInterface());
    if (!context)
        return;
    LumStorage->SetIniFile(context->IniFileName());
    SetLanguage(context->Language());
}

void TLumCustomModuleForm::SetLanguage(const QString& language) {
    if (language.isEmpty())
        return;
    const auto* context = qobject_cast<TLumModuleInterface*>(GetModuleInterface());
    const QString name = context ? context->Language() : language;
    if (context) {
        // The form's own class first, then its ancestors: a key several sections hold ends with
        // the text of the most basic class.
        for (const QMetaObject* meta = metaObject();
             meta && qstrcmp(meta->className(), "TLumCustomModuleForm") != 0; meta = meta->superClass())
            Translator->LoadLanguage(name, context->GetLanguageFileName(),
                                     QString::fromLatin1(meta->className()));
    }
    Translator->SelectLanguage(name);
    Translator->Apply();
}

QString TLumCustomModuleForm::GetStorageSection() const {
    return objectName() + QLatin1Char('.') + objectName();
}

QWidget* TLumCustomModuleForm::placementWindow(QString& suffix) const {
    suffix.clear();
    if (m_moduleAction && m_moduleAction->ShowModalProperty() && m_moduleAction->ModuleParent()) {
        suffix = QStringLiteral("_modal");
        return m_moduleAction->ModuleParent();
    }
    return const_cast<TLumCustomModuleForm*>(this);
}

void TLumCustomModuleForm::LumStorageBeforeReadIni(TIniFile& file) {
    QString s;
    QWidget* w = placementWindow(s);
    const QString section = GetStorageSection();
    const int state = file.ReadInteger(section, QStringLiteral("WindowState") + s, 0);
    if (auto* frame = qobject_cast<TfModuleParent*>(w))
        frame->Placed = file.ValueExists(section, QStringLiteral("Left") + s);
    const int left = file.ReadInteger(section, QStringLiteral("Left") + s, w->x());
    w->move(left, w->y());
    const int top = file.ReadInteger(section, QStringLiteral("Top") + s, w->y());
    w->move(w->x(), top);
    const int width = file.ReadInteger(section, QStringLiteral("Width") + s, this->width());
    resize(width, height());
    const int height = file.ReadInteger(section, QStringLiteral("Height") + s, this->height());
    resize(this->width(), height);
    if (w->isWindow()) {
        const Qt::WindowStates states[] = {Qt::WindowNoState, Qt::WindowMinimized, Qt::WindowMaximized};
        w->setWindowState(states[qBound(0, state, 2)]);
    }
}

void TLumCustomModuleForm::LumStorageBeforeWriteIni(TIniFile& file) {
    QString s;
    const QWidget* w = placementWindow(s);
    const QString section = GetStorageSection();
    const int state = stateNumber(w);
    file.WriteInteger(section, QStringLiteral("WindowState") + s, state);
    if (state == 2)
        return; // the normal placement stays for when the window is restored
    file.WriteInteger(section, QStringLiteral("Left") + s, w->x());
    file.WriteInteger(section, QStringLiteral("Top") + s, w->y());
    file.WriteInteger(section, QStringLiteral("Width") + s, width());
    file.WriteInteger(section, QStringLiteral("Height") + s, height());
}

void TLumCustomModuleForm::FormShow() {
    PostMessage(kAfterShowMessage);
}

void TLumCustomModuleForm::FormHide() {
    BeforeSaveSettings();
    LumStorage->WriteIni();
    auto* frame = qobject_cast<TfModuleParent*>(window());
    if (frame && m_moduleAction && m_moduleAction->ShowModalProperty() && frame->isVisible())
        frame->close();
}

void TLumCustomModuleForm::MessageReceived(int message, qintptr wParam, qintptr lParam) {
    if (message == kAfterShowMessage)
        AfterShow();
    else if (message == kActivatedMessage)
        ModuleActivated();
    else
        TForm::MessageReceived(message, wParam, lParam);
}
