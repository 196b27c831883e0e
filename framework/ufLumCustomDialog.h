#pragma once
// The generic dialog of the dialog actions: a line of text at the top (with room for a control
// at its right end), the control area in the middle, and OK/Cancel at the bottom. The running
// action fills it, and it calls back into the action when shown and when Cancel is clicked.
#include "TForm.h"

#include <functional>

class QFrame;
class QLabel;
class TLumCustomDialogAction;
class TLumDlgButtonPanel;

class TfLumCustomDialog : public TForm {
    Q_OBJECT

public:
    using TCloseQueryEvent = std::function<void(QObject* sender, bool& canClose)>;

    // A window of its own; parent only owns it.
    explicit TfLumCustomDialog(QWidget* parent = nullptr);

    // Shows or hides the top strip with the text line.
    void SetTextVisible(bool value);
    bool TextVisible() const { return m_textVisible; }

    // The border inside ParentPanel and Panel1.
    static constexpr int kBorderWidth = 5;
    static constexpr int kTopHeight = 25;
    static constexpr int kButtonHeight = 35;

    void FormCreate();
    void FormShow();
    void LumDlgButtonPanel1DlgButton1Click();
    void pButtonDlgButton2Click();

    QFrame* pTop;
    QFrame* Panel1;
    QLabel* StaticText;
    QFrame* pTopRight;
    QFrame* ParentPanel;
    TLumDlgButtonPanel* pButton;

    TLumCustomDialogAction* DialogAction = nullptr;
    TCloseQueryEvent BeforeOkHandler;

protected:
    void MessageReceived(int message, qintptr wParam, qintptr lParam) override;

private:
    bool m_textVisible = true;
};
