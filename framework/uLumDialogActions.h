#pragma once
// Actions that ask one question in a modal dialog: a line of text, a control (lent by the form
// that owns the action, or a copy of it), and OK/Cancel. Executing one builds the generic dialog
// TfLumCustomDialog, runs the action's events around it and destroys it again.
#include "TAction.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

#include <QComboBox>
class QLayout;
class TfLumCustomDialog;

class TLumCustomDialogAction : public TAction {
    Q_OBJECT
    Q_PROPERTY(QString DialogCaption READ DialogCaption WRITE SetDialogCaption)
    Q_PROPERTY(QString DialogText READ DialogText WRITE SetDialogText)
    Q_PROPERTY(bool DialogTextVisible READ DialogTextVisible WRITE SetDialogTextVisible)
    Q_PROPERTY(int ControlHeight READ ControlHeight WRITE SetControlHeight)
    Q_PROPERTY(int ControlWidth READ ControlWidth WRITE SetControlWidth)
    Q_PROPERTY(bool ControlHeightForced READ ControlHeightForced WRITE SetControlHeightForced)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(QWidget* TopRightControl READ TopRightControl WRITE SetTopRightControl)

public:
    using TNotifyEvent = std::function<void(QObject* sender)>;
    using TCloseQueryEvent = std::function<void(QObject* sender, bool& canClose)>;
    using TLumGetReadOnlyEvent = std::function<void(QObject* sender, bool& readOnly)>;
    using TDialogFormClass = std::function<TfLumCustomDialog*(QWidget* owner)>;

    explicit TLumCustomDialogAction(QObject* owner = nullptr, const QString& name = {});
    ~TLumCustomDialogAction() override;

    QString DialogCaption() const { return m_dialogCaption; }
    void SetDialogCaption(const QString& value) { m_dialogCaption = value; }
    QString DialogText() const { return m_dialogText; }
    // Shows the text at once in a running dialog and lets it repaint.
    void SetDialogText(const QString& value);
    bool DialogTextVisible() const { return m_dialogTextVisible; }
    void SetDialogTextVisible(bool value) { m_dialogTextVisible = value; }
    int ControlHeight() const { return m_controlHeight; }
    void SetControlHeight(int value) { m_controlHeight = value; }
    int ControlWidth() const { return m_controlWidth; }
    void SetControlWidth(int value) { m_controlWidth = value; }
    bool ControlHeightForced() const { return m_controlHeightForced; }
    void SetControlHeightForced(bool value) { m_controlHeightForced = value; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value) { m_readOnly = value; }
    QWidget* TopRightControl() const { return m_topRightControl; }
    void SetTopRightControl(QWidget* value) { m_topRightControl = value; }

    TDialogFormClass DialogFormClass;
    TfLumCustomDialog* DialogForm() const { return m_dialogForm; }
    int LastModalResult() const { return m_lastModalResult; }

    // Runs the action (OnExecute, or the dialog) and tells whether the dialog closed with OK.
    bool Execute() override;
    bool HandlesTarget(QObject* target) override;
    void ExecuteTarget(QObject* target) override;

    virtual void PrepareDialog();
    virtual void FinishDialog();
    virtual void DoOk();
    virtual void ApplyReadOnly();
    virtual void DoBeforeCancel(bool& canClose);
    virtual void DoAfterShow();
    virtual void DoShow();

    TNotifyEvent BeforeExecute;
    TNotifyEvent AfterExecute;
    TNotifyEvent OnOk;
    TCloseQueryEvent BeforeOk;
    TCloseQueryEvent BeforeCancel;
    TNotifyEvent OnShow;
    TNotifyEvent AfterShow;
    TLumGetReadOnlyEvent OnGetReadOnly;

protected:
    QPointer<TfLumCustomDialog> m_dialogForm;

private:
    QString m_dialogCaption;
    QString m_dialogText;
    bool m_dialogTextVisible = true;
    int m_controlHeight = 240;
    int m_controlWidth = 380;
    bool m_controlHeightForced = false;
    bool m_readOnly = false;
    QPointer<QWidget> m_topRightControl;
    QPointer<QWidget> m_topRightHome; // where TopRightControl lived before it was first lent
    bool m_topRightTaken = false;
    int m_lastModalResult = 0;
};

// Where a lent control lived: its parent, its place in the parent's layout, geometry and state.
struct TControlPlace {
    QPointer<QWidget> parent;
    QPointer<QLayout> layout;
    int index = -1;                                         // in a box layout
    int row = -1, column = -1, rowSpan = 1, columnSpan = 1; // in a grid layout
    int stretch = 0;
    Qt::Alignment alignment;
    QRect geometry;
    bool hidden = false;

    static TControlPlace Of(QWidget* control);
    void Restore(QWidget* control) const;
};

class TLumControlDialogAction : public TLumCustomDialogAction {
    Q_OBJECT
    Q_PROPERTY(QWidget* Control READ Control WRITE SetControl)
    Q_PROPERTY(bool CopyControl READ CopyControl WRITE SetCopyControl)

public:
    explicit TLumControlDialogAction(QObject* owner = nullptr, const QString& name = {});

    QWidget* Control() const { return m_control; }
    void SetControl(QWidget* value);
    bool CopyControl() const { return m_copyControl; }
    void SetCopyControl(bool value) { m_copyControl = value; }
    // The control placed in the running dialog (Control itself or its copy).
    QWidget* HostedControl() const { return m_hostedControl; }

    void PrepareDialog() override;
    void FinishDialog() override;

private:
    QPointer<QWidget> m_control;
    bool m_copyControl = true;
    QPointer<QWidget> m_hostedControl;
    TControlPlace m_saved;
    bool m_lent = false;           // Control itself is in the dialog and must go back
    bool m_sizeFromDialog = false; // ControlWidth/Height were left by a dialog the user sized
};

class TLumComboDialogAction : public TLumCustomDialogAction {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(bool AllowText READ AllowText WRITE SetAllowText)

public:
    explicit TLumComboDialogAction(QObject* owner = nullptr, const QString& name = {});

    QStringList Items() const { return m_items; }
    void SetItems(const QStringList& value) { m_items = value; }
    int ItemIndex() const { return m_itemIndex; }
    void SetItemIndex(int value) { m_itemIndex = value; }
    QString Text() const { return m_text; }
    void SetText(const QString& value) { m_text = value; }
    bool AllowText() const { return m_allowText; }
    void SetAllowText(bool value) { m_allowText = value; }
    QComboBox* DialogComboBox() const { return m_comboBox; }

    void PrepareDialog() override;
    void DoOk() override;

private:
    QStringList m_items;
    int m_itemIndex = 0;
    QString m_text;
    bool m_allowText = true;
    QPointer<QComboBox> m_comboBox;
};

// Runs the change password form; OldPassword and NewPassword hold what was typed.
class TLumPasswordDialogAction : public TAction {
    Q_OBJECT
    Q_PROPERTY(bool OldDisabled READ OldDisabled WRITE SetOldDisabled)

public:
    using TNotifyEvent = std::function<void(QObject* sender)>;

    explicit TLumPasswordDialogAction(QObject* owner = nullptr, const QString& name = {});

    bool OldDisabled() const { return m_oldDisabled; }
    void SetOldDisabled(bool value) { m_oldDisabled = value; }
    int LastModalResult() const { return m_lastModalResult; }
    QString OldPassword() const { return m_oldPassword; }
    QString NewPassword() const { return m_newPassword; }

    bool Execute() override;
    bool HandlesTarget(QObject* target) override;
    void ExecuteTarget(QObject* target) override;

    TNotifyEvent OnOk;

private:
    bool m_oldDisabled = false;
    int m_lastModalResult = 0;
    QString m_oldPassword;
    QString m_newPassword;
};

// Asks for a text with a combo box of choices (free text allowed). True after OK, and then text
// and itemIndex hold the answer; after Cancel both are left as they were.
bool InputComboQuery(const QString& prompt, const QStringList& items, QString& text, int& itemIndex);
