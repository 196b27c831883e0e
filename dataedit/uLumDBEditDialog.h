#pragma once
// The modal window in which one record is inserted or edited: a data-bound inspector with a row
// per visible field and a button row with OK, Cancel and Help. It knows nothing of posting or
// cancelling; it reports its buttons through hooks the insert and edit actions connect.
#include "TForm.h"
#include "TdxDBInspector.h"
#include <QFlags>
#include <functional>

class TDataSource;
class TLumDlgButtonPanel;
class TButton;

class TLumDBEditDialog : public TForm {
    Q_OBJECT
public:
    // The three buttons in panel order; bit i stands for button i.
    enum TLumDBEditDlgButton { dbeOk = 0x1, dbeCancel = 0x2, dbeHelp = 0x4 };
    Q_DECLARE_FLAGS(TLumDBEditDlgButtons, TLumDBEditDlgButton)
    Q_FLAG(TLumDBEditDlgButtons)
    enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
    Q_ENUM(TFormBorderStyle)
    enum TBorderIcon { biSystemMenu = 0x1, biMinimize = 0x2, biMaximize = 0x4, biHelp = 0x8 };
    Q_DECLARE_FLAGS(TBorderIcons, TBorderIcon)
    Q_FLAG(TBorderIcons)
    enum TPosition { poDesigned, poDefault, poScreenCenter, poMainFormCenter, poOwnerFormCenter };
    Q_ENUM(TPosition)

    using TNotifyEvent = std::function<void(QObject* sender)>;
    using TValidateEvent = std::function<void(QObject* sender, bool& cancelAction, QString& errorMessage)>;
    using TRowsCreatedEvent =
        std::function<void(QObject* sender, TdxDBInspector* inspector, TDataSource* dataSource)>;

    explicit TLumDBEditDialog(QWidget* owner = nullptr);
    ~TLumDBEditDialog() override;

    TdxDBInspector* Inspector() const { return m_inspector; }
    TLumDlgButtonPanel* ButtonPanel() const { return m_buttonPanel; }
    TButton* Button(int index) const;

    TDataSource* DataSource() const { return m_dataSource; }
    // Binds the inspector; the rows are not rebuilt.
    void SetDataSource(TDataSource* source);
    bool AutoHeight() const { return m_autoHeight; }
    // When set, the client height becomes the rows' heights + the button panel + 17 at once.
    void SetAutoHeight(bool value);
    void ApplyAutoHeight();
    TLumDBEditDlgButtons EnabledButtons() const;
    void SetEnabledButtons(TLumDBEditDlgButtons value);
    TLumDBEditDlgButtons VisibleButtons() const;
    void SetVisibleButtons(TLumDBEditDlgButtons value);
    void SetInspectorBorderStyle(TdxInspector::TBorderStyle value) { m_inspector->SetBorderStyle(value); }
    void SetInspectorFlat(bool value) { m_inspector->SetFlat(value); }
    void SetInspectorOptions(TdxDBInspector::TdxDBInspectorOptions value) { m_inspector->SetOptions(value); }
    void SetInspectorPaintStyle(TdxInspector::TdxInspectorPaintStyle value) {
        m_inspector->SetPaintStyle(value);
    }
    TBorderIcons BorderIcons() const { return m_borderIcons; }
    void SetBorderIcons(TBorderIcons value);
    TFormBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TFormBorderStyle value);
    TPosition Position() const { return m_position; }
    void SetPosition(TPosition value) { m_position = value; }

    // Makes a row per visible field of the data set, then runs OnRowsCreated.
    virtual void BuildRows();

    TNotifyEvent OnOkButton;
    TNotifyEvent OnCancelButton;
    TNotifyEvent OnHelpButton;
    TValidateEvent OnVerifyRecord;
    TRowsCreatedEvent OnRowsCreated;

protected:
    // Closing with OK runs the verification and the OK hook, which may keep the window open.
    bool CloseQuery() override;
    void MessageReceived(int message, qintptr wParam, qintptr lParam) override;
    void showEvent(QShowEvent* event) override;

private:
    void applyWindowFlags();
    void placeWindow();
    void drawCaption(TdxInspector* sender, TdxInspectorRow* row, TdxInspectorDrawInfo& info);
    void drawValue(TdxInspector* sender, TdxInspectorRow* row, TdxInspectorDrawInfo& info);

    TdxDBInspector* m_inspector;
    TLumDlgButtonPanel* m_buttonPanel;
    TDataSource* m_dataSource = nullptr;
    bool m_autoHeight = false;
    TBorderIcons m_borderIcons = TBorderIcons(biSystemMenu) | biMinimize | biMaximize;
    TFormBorderStyle m_borderStyle = bsSizeable;
    TPosition m_position = poMainFormCenter;
    bool m_placed = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TLumDBEditDialog::TLumDBEditDlgButtons)
Q_DECLARE_OPERATORS_FOR_FLAGS(TLumDBEditDialog::TBorderIcons)
