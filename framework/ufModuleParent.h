#pragma once
// The frame window a module runs in modally: the module form docked in ParentPanel, OK and
// Cancel at the bottom.
#include "TForm.h"

#include <functional>

class QFrame;
class TLumDlgButtonPanel;

class TfModuleParent : public TForm {
    Q_OBJECT

public:
    static constexpr int kActivateMessage = TMessageEvent::WM_USER + 3;

    explicit TfModuleParent(QWidget* parent = nullptr);

    void FormShow();
    // OnOkClick, then the window closes with mrOk (unless OnCloseQuery refuses).
    void DlgButtonPanelDlgButton1Click();

    TLumDlgButtonPanel* DlgButtonPanel;
    QFrame* ParentPanel;
    std::function<void(QObject* sender)> OnOkClick;
    // Set when a stored placement was restored; the window is centred only without one.
    bool Placed = false;

protected:
    void MessageReceived(int message, qintptr wParam, qintptr lParam) override;
};
