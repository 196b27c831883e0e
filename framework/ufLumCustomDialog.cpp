#include "ufLumCustomDialog.h"

#include "TApplication.h"
#include "uLumDialogActions.h"
#include "uTLumDlgButtonPanel.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int kAfterShowMessage = TMessageEvent::WM_USER + 2;

} // namespace

TfLumCustomDialog::TfLumCustomDialog(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("fLumCustomDialog"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    pTop = named(new QFrame(this), "pTop");
    pTop->setFixedHeight(kTopHeight);
    Panel1 = named(new QFrame(pTop), "Panel1");
    StaticText = named(new QLabel(Panel1), "StaticText");
    pTopRight = named(new QFrame(pTop), "pTopRight");
    pTopRight->setFixedWidth(91);
    ParentPanel = named(new QFrame(this), "ParentPanel");
    pButton = named(new TLumDlgButtonPanel(this), "pButton");
    pButton->SetAlign(TLumDlgButtonPanel::alBottom);
    pButton->setFixedHeight(kButtonHeight);
    pButton->SetBtnAlign(TLumDlgButtonPanel::baRightBottom);
    pButton->SetBtnGap(10);
    pButton->SetBtnMargin(20);
    TButton* ok = pButton->AddButton(QStringLiteral("OK"), mrNone)->Button();
    ok->SetDefault(true);
    ok->OnClick = [this](TButton*) { LumDlgButtonPanel1DlgButton1Click(); };
    TButton* cancel = pButton->AddButton(QStringLiteral("Отмена"), mrNone)->Button();
    cancel->SetCancel(true);
    // The Cancel handler decides the result itself, so a refusing BeforeCancel keeps the dialog.
    cancel->OnClick = [this](TButton*) { pButtonDlgButton2Click(); };

    auto* textLayout = new QHBoxLayout(Panel1);
    textLayout->setContentsMargins(kBorderWidth, 2, kBorderWidth, 0);
    textLayout->addWidget(StaticText, 0, Qt::AlignLeft | Qt::AlignVCenter);
    textLayout->addStretch(1);
    auto* topLayout = new QHBoxLayout(pTop);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(0);
    topLayout->addWidget(Panel1, 1);
    topLayout->addWidget(pTopRight);
    auto* rightLayout = new QVBoxLayout(pTopRight);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* controlLayout = new QVBoxLayout(ParentPanel);
    controlLayout->setContentsMargins(kBorderWidth, kBorderWidth, kBorderWidth, kBorderWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pTop);
    layout->addWidget(ParentPanel, 1);
    layout->addWidget(pButton);
    resize(371, 310);
    OnShow = [this](TForm*) { FormShow(); };
    FormCreate();
}

void TfLumCustomDialog::FormCreate() {
    pTopRight->hide();
    m_textVisible = true;
}

void TfLumCustomDialog::SetTextVisible(bool value) {
    m_textVisible = value;
    pTop->setVisible(value);
}

void TfLumCustomDialog::FormShow() {
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    if (DialogAction)
        DialogAction->DoShow();
    PostMessage(kAfterShowMessage);
}

void TfLumCustomDialog::MessageReceived(int message, qintptr wParam, qintptr lParam) {
    if (message == kAfterShowMessage && DialogAction) {
        DialogAction->DoAfterShow();
        return;
    }
    TForm::MessageReceived(message, wParam, lParam);
}

void TfLumCustomDialog::LumDlgButtonPanel1DlgButton1Click() {
    bool canClose = true;
    if (BeforeOkHandler)
        BeforeOkHandler(this, canClose);
    if (canClose)
        SetModalResult(mrOk);
}

void TfLumCustomDialog::pButtonDlgButton2Click() {
    bool canClose = true;
    if (DialogAction)
        DialogAction->DoBeforeCancel(canClose);
    if (canClose)
        SetModalResult(mrCancel);
}
