#include "ufModuleParent.h"

#include "uTLumDlgButtonPanel.h"

#include <QFrame>
#include <QScreen>
#include <QVBoxLayout>

TfModuleParent::TfModuleParent(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("fModuleParent"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    ParentPanel = new QFrame(this);
    ParentPanel->setObjectName(QStringLiteral("ParentPanel"));
    auto* panelLayout = new QVBoxLayout(ParentPanel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    DlgButtonPanel = new TLumDlgButtonPanel(this);
    DlgButtonPanel->setObjectName(QStringLiteral("DlgButtonPanel"));
    DlgButtonPanel->SetAlign(TLumDlgButtonPanel::alBottom);
    DlgButtonPanel->setFixedHeight(37);
    DlgButtonPanel->SetBtnAlign(TLumDlgButtonPanel::baRightBottom);
    DlgButtonPanel->SetBtnGap(10);
    DlgButtonPanel->SetBtnMargin(20);
    // OK runs the hook before it closes the window, so it sets its result itself.
    TButton* ok = DlgButtonPanel->AddButton(QStringLiteral("OK"), mrNone)->Button();
    ok->SetDefault(true);
    ok->OnClick = [this](TButton*) { DlgButtonPanelDlgButton1Click(); };
    TButton* cancel = DlgButtonPanel->AddButton(QStringLiteral("Cancel"), mrCancel)->Button();
    cancel->SetCancel(true);
    setTabOrder(ok, cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ParentPanel, 1);
    layout->addWidget(DlgButtonPanel);
    resize(643, 501);
    OnShow = [this](TForm*) { FormShow(); };
}

void TfModuleParent::FormShow() {
    if (const QScreen* screen = this->screen(); screen && !Placed && !isMaximized())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    DlgButtonPanel->Button(0)->SetCaption(QStringLiteral("OK"));
    DlgButtonPanel->Button(1)->SetCaption(QStringLiteral("Cancel"));
    PostMessage(kActivateMessage);
}

void TfModuleParent::MessageReceived(int message, qintptr wParam, qintptr lParam) {
    if (message != kActivateMessage) {
        TForm::MessageReceived(message, wParam, lParam);
        return;
    }
    for (QObject* child : ParentPanel->children()) {
        if (auto* module = qobject_cast<TForm*>(child)) {
            module->setFocus(Qt::OtherFocusReason);
            module->PostMessage(kActivateMessage);
            return;
        }
    }
}

void TfModuleParent::DlgButtonPanelDlgButton1Click() {
    if (OnOkClick)
        OnOkClick(this);
    SetModalResult(mrOk);
}
