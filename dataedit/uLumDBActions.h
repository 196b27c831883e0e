#pragma once
// Actions that work the data set behind a data source: move to the first, previous, next or last
// record, reopen the data set, delete the current record after a question, and insert or edit a
// record in the record edit dialog. Each enables itself from the data set's state.
#include "TAction.h"
#include "TDataSource.h"
#include "uLumDBEditDialog.h"
#include <QPointer>
#include <QVariant>
#include <functional>

class TDataSet;
class TDataSource;
class TField;

using TNotifyEvent = std::function<void(QObject* sender)>;
using TLumDBEditDialogValidateEvent =
    std::function<void(QObject* sender, bool& cancelAction, QString& errorMessage)>;
using TLumDBEditDialogCreateRowsEvent =
    std::function<void(QObject* sender, TdxDBInspector* dxDBInspector, TDataSource* dataSource)>;
using TLumOnFieldValue = std::function<void(QObject* sender, TField* field, QVariant& value)>;

class TLumDatasetAction : public TAction {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(bool ForcedDisable READ ForcedDisable WRITE SetForcedDisable)

public:
    using TButtons = TLumDBEditDialog::TLumDBEditDlgButtons;

    explicit TLumDatasetAction(QObject* owner = nullptr, const QString& name = {});
    ~TLumDatasetAction() override;

    // Cleared when the data source is destroyed.
    TDataSource* DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource* value);
    bool ForcedDisable() const { return m_forcedDisable; }
    void SetForcedDisable(bool value) { m_forcedDisable = value; }

    // Runs the action on DataSource whether enabled or not.
    bool Execute() override;
    // Enabled from the data set's state (UpdateTarget), then ForcedDisable.
    bool Update() override;
    // True when DataSource and its data set are assigned; the target is not looked at.
    bool HandlesTarget(QObject* target) override;
    // BeforeExecute (which may refuse), the action's work, AfterExecute.
    void ExecuteTarget(QObject* target) override;
    void UpdateTarget(QObject* target) override;

    // The data set worked on: always DataSource's, whatever the target.
    virtual TDataSet* GetDataSet(QObject* target) const;
    virtual void DoCancelBtnClick(QObject* sender);
    virtual void DoRowsCreate(QObject* sender, TdxDBInspector* inspector, TDataSource* dataSource);
    virtual void DoOKBtnClick(QObject* sender);
    virtual void DoVerify(QObject* sender, bool& cancelAction, QString& errorMessage);
    // Copies the dialog properties to the open dialog, connects its hooks, builds its rows and
    // applies AutoHeight. Nothing without an open dialog.
    virtual void UpdateDialog();
    virtual void DoAction(QObject* target);

    // Dialog properties.
    bool AutoHeight() const { return m_autoHeight; }
    void SetAutoHeight(bool value);
    TLumDBEditDialog::TBorderIcons BorderIcons() const { return m_borderIcons; }
    void SetBorderIcons(TLumDBEditDialog::TBorderIcons value);
    QString DialogCaption() const { return m_dialogCaption; }
    void SetDialogCaption(const QString& value);
    TButtons EnabledButtons() const { return m_enabledButtons; }
    void SetEnabledButtons(TButtons value);
    int Height() const { return m_height; }
    // Stored only: takes effect at the next dialog.
    void SetHeight(int value) { m_height = value; }
    TdxInspector::TBorderStyle InspectorBorderStyle() const { return m_inspectorBorderStyle; }
    void SetInspectorBorderStyle(TdxInspector::TBorderStyle value);
    bool InspectotFlat() const { return m_inspectorFlat; }
    void SetInspectotFlat(bool value);
    TdxDBInspector::TdxDBInspectorOptions Options() const { return m_options; }
    void SetOptions(TdxDBInspector::TdxDBInspectorOptions value);
    TdxInspector::TdxInspectorPaintStyle PaintStyle() const { return m_paintStyle; }
    void SetPaintStyle(TdxInspector::TdxInspectorPaintStyle value);
    TLumDBEditDialog::TPosition Position() const { return m_position; }
    void SetPosition(TLumDBEditDialog::TPosition value);
    TButtons VisibleButtons() const { return m_visibleButtons; }
    void SetVisibleButtons(TButtons value);
    int Width() const { return m_width; }
    void SetWidth(int value);

    // The record edit dialog while one is open.
    TLumDBEditDialog* Dialog() const { return m_dialog; }

    TLumDBEditDialogValidateEvent BeforeExecute;
    TNotifyEvent AfterExecute;
    TNotifyEvent OnOKBtnClick;
    TNotifyEvent OnCancelBtnClick;
    TNotifyEvent OnHelpBtnClick;
    TLumDBEditDialogValidateEvent OnVerify;
    TLumDBEditDialogCreateRowsEvent OndxDBInspectorRowsCreate;

protected:
    // Shows the record being inserted or edited in the dialog; anything but OK cancels the
    // data set's changes.
    void RunDialog(TDataSet* dataSet);

private:
    QPointer<TDataSource> m_dataSource;
    bool m_forcedDisable = false;
    bool m_autoHeight = false;
    TLumDBEditDialog::TBorderIcons m_borderIcons =
        TLumDBEditDialog::TBorderIcons(TLumDBEditDialog::biSystemMenu) | TLumDBEditDialog::biMinimize |
        TLumDBEditDialog::biMaximize;
    TLumDBEditDialog::TFormBorderStyle m_dialogBorderStyle = TLumDBEditDialog::bsDialog;
    QString m_dialogCaption;
    TButtons m_enabledButtons =
        TButtons(TLumDBEditDialog::dbeOk) | TLumDBEditDialog::dbeCancel | TLumDBEditDialog::dbeHelp;
    int m_height = 300;
    TdxInspector::TBorderStyle m_inspectorBorderStyle = TdxInspector::bsNone;
    bool m_inspectorFlat = false;
    TdxDBInspector::TdxDBInspectorOptions m_options =
        TdxDBInspector::TdxDBInspectorOptions(TdxDBInspector::dioAutoWidth) | TdxDBInspector::dioBandSizing |
        TdxDBInspector::dioCancelOnExit | TdxDBInspector::dioColumnSizing |
        TdxDBInspector::dioDynamicColumnSizing | TdxDBInspector::dioEditing;
    TdxInspector::TdxInspectorPaintStyle m_paintStyle = TdxInspector::ipsStandard;
    TLumDBEditDialog::TPosition m_position = TLumDBEditDialog::poMainFormCenter;
    TButtons m_visibleButtons =
        TButtons(TLumDBEditDialog::dbeOk) | TLumDBEditDialog::dbeCancel | TLumDBEditDialog::dbeHelp;
    int m_width = 450;
    QPointer<TLumDBEditDialog> m_dialog;
};

class TLumDatasetFirst : public TLumDatasetAction {
    Q_OBJECT
public:
    using TLumDatasetAction::TLumDatasetAction;
    void UpdateTarget(QObject* target) override;
    void DoAction(QObject* target) override;
};

class TLumDatasetPrior : public TLumDatasetAction {
    Q_OBJECT
public:
    using TLumDatasetAction::TLumDatasetAction;
    void UpdateTarget(QObject* target) override;
    void DoAction(QObject* target) override;
};

class TLumDataSetNext : public TLumDatasetAction {
    Q_OBJECT
public:
    using TLumDatasetAction::TLumDatasetAction;
    void UpdateTarget(QObject* target) override;
    void DoAction(QObject* target) override;
};

class TLumDatasetLast : public TLumDatasetAction {
    Q_OBJECT
public:
    using TLumDatasetAction::TLumDatasetAction;
    void UpdateTarget(QObject* target) override;
    void DoAction(QObject* target) override;
};

class TLumDatasetRefresh : public TLumDatasetAction {
    Q_OBJECT
public:
    using TLumDatasetAction::TLumDatasetAction;
    void UpdateTarget(QObject* target) override;
    // Closes and reopens the data set with its parameters as they stand; the controls are
    // re-enabled and told the data set changed also when that fails.
    void DoAction(QObject* target) override;
};

class TLumDatasetDelete : public TLumDatasetAction {
    Q_OBJECT
    Q_PROPERTY(QString WarningString READ WarningString WRITE SetWarningString)
public:
    explicit TLumDatasetDelete(QObject* owner = nullptr, const QString& name = {});
    QString WarningString() const { return m_warningString; }
    void SetWarningString(const QString& value) { m_warningString = value; }
    void UpdateTarget(QObject* target) override;
    // Asks first; a failed delete cancels the pending changes and shows the error.
    void DoAction(QObject* target) override;

private:
    QString m_warningString;
};

class TLumDatasetInsert : public TLumDatasetAction {
    Q_OBJECT
    Q_PROPERTY(bool AutoHeight READ AutoHeight WRITE SetAutoHeight)
    Q_PROPERTY(TLumDBEditDialog::TBorderIcons BorderIcons READ BorderIcons WRITE SetBorderIcons)
    Q_PROPERTY(QString DialogCaption READ DialogCaption WRITE SetDialogCaption)
    Q_PROPERTY(
        TLumDBEditDialog::TLumDBEditDlgButtons EnabledButtons READ EnabledButtons WRITE SetEnabledButtons)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(TdxInspector::TBorderStyle InspectorBorderStyle READ InspectorBorderStyle WRITE
                   SetInspectorBorderStyle)
    Q_PROPERTY(bool InspectotFlat READ InspectotFlat WRITE SetInspectotFlat)
    Q_PROPERTY(TdxDBInspector::TdxDBInspectorOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(TdxInspector::TdxInspectorPaintStyle PaintStyle READ PaintStyle WRITE SetPaintStyle)
    Q_PROPERTY(TLumDBEditDialog::TPosition Position READ Position WRITE SetPosition)
    Q_PROPERTY(
        TLumDBEditDialog::TLumDBEditDlgButtons VisibleButtons READ VisibleButtons WRITE SetVisibleButtons)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
public:
    using TLumDatasetAction::TLumDatasetAction;
    void UpdateTarget(QObject* target) override;
    // Defaults from OnNewFieldValue (read-only fields left alone), the record marked modified,
    // then the dialog; anything but OK cancels the insert.
    void DoAction(QObject* target) override;
    virtual void DoNewFieldValue(QObject* sender, TField* field, QVariant& value);
    TLumOnFieldValue OnNewFieldValue;
};

class TLumDatasetEdit : public TLumDatasetAction {
    Q_OBJECT
    Q_PROPERTY(bool AutoHeight READ AutoHeight WRITE SetAutoHeight)
    Q_PROPERTY(TLumDBEditDialog::TBorderIcons BorderIcons READ BorderIcons WRITE SetBorderIcons)
    Q_PROPERTY(QString DialogCaption READ DialogCaption WRITE SetDialogCaption)
    Q_PROPERTY(
        TLumDBEditDialog::TLumDBEditDlgButtons EnabledButtons READ EnabledButtons WRITE SetEnabledButtons)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(TdxInspector::TBorderStyle InspectorBorderStyle READ InspectorBorderStyle WRITE
                   SetInspectorBorderStyle)
    Q_PROPERTY(bool InspectotFlat READ InspectotFlat WRITE SetInspectotFlat)
    Q_PROPERTY(TdxDBInspector::TdxDBInspectorOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(TdxInspector::TdxInspectorPaintStyle PaintStyle READ PaintStyle WRITE SetPaintStyle)
    Q_PROPERTY(TLumDBEditDialog::TPosition Position READ Position WRITE SetPosition)
    Q_PROPERTY(
        TLumDBEditDialog::TLumDBEditDlgButtons VisibleButtons READ VisibleButtons WRITE SetVisibleButtons)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
public:
    using TLumDatasetAction::TLumDatasetAction;
    void UpdateTarget(QObject* target) override;
    void DoAction(QObject* target) override;
};
