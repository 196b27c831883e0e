#include "uLumDBActions.h"
#include "Exception.h"
#include "TDataSource.h"
#include "TField.h"
#include "TMessageBox.h"
#include "Variants.h"
#include "uDatabaseUtils.h"

#include <memory>

namespace {

QString messageOf(const std::exception& e) {
    if (auto* own = dynamic_cast<const Exception*>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}

bool editing(TDataSet* data) {
    return data && (data->State() == dsEdit || data->State() == dsInsert);
}

bool editingOrSetKey(TDataSet* data) {
    return editing(data) || (data && data->State() == dsSetKey);
}

} // namespace

TLumDatasetAction::TLumDatasetAction(QObject* owner, const QString& name) : TAction(owner, name) {}

TLumDatasetAction::~TLumDatasetAction() {
    delete m_dialog;
}

void TLumDatasetAction::SetDataSource(TDataSource* value) {
    m_dataSource = value;
}

TDataSet* TLumDatasetAction::GetDataSet(QObject*) const {
    return m_dataSource ? m_dataSource->DataSet() : nullptr;
}

bool TLumDatasetAction::Execute() {
    ExecuteTarget(m_dataSource);
    return true;
}

bool TLumDatasetAction::Update() {
    if (OnUpdate)
        return TAction::Update();
    if (HandlesTarget(m_dataSource))
        UpdateTarget(m_dataSource);
    else
        SetEnabled(false);
    if (m_forcedDisable)
        SetEnabled(false);
    return true;
}

bool TLumDatasetAction::HandlesTarget(QObject*) {
    return m_dataSource && m_dataSource->DataSet();
}

void TLumDatasetAction::UpdateTarget(QObject*) {
    if (m_forcedDisable)
        SetEnabled(false);
}

void TLumDatasetAction::ExecuteTarget(QObject* target) {
    if (BeforeExecute) {
        bool cancelAction = false;
        QString errorMessage;
        BeforeExecute(this, cancelAction, errorMessage);
        if (cancelAction) {
            if (!errorMessage.isEmpty())
                MessageDlg(errorMessage, mtError, mbOK);
            return;
        }
    }
    DoAction(target);
    if (AfterExecute)
        AfterExecute(this);
}

void TLumDatasetAction::DoAction(QObject*) {}

void TLumDatasetAction::DoCancelBtnClick(QObject*) {
    if (OnCancelBtnClick)
        OnCancelBtnClick(this);
    TDataSet* data = GetDataSet(m_dataSource);
    if (editing(data))
        data->Cancel();
}

void TLumDatasetAction::DoRowsCreate(QObject*, TdxDBInspector* inspector, TDataSource* dataSource) {
    if (OndxDBInspectorRowsCreate)
        OndxDBInspectorRowsCreate(this, inspector, dataSource);
}

void TLumDatasetAction::DoOKBtnClick(QObject* sender) {
    if (OnOKBtnClick)
        OnOKBtnClick(this);
    TDataSet* data = GetDataSet(m_dataSource);
    if (!editing(data))
        return;
    try {
        data->Post();
    } catch (const std::exception& e) {
        // The dialog stays open with what was entered.
        if (!dynamic_cast<const EAbort*>(&e))
            MessageDlg(messageOf(e), mtError, mbOK);
        if (auto* dialog = qobject_cast<TLumDBEditDialog*>(sender))
            dialog->SetModalResult(mrNone);
    }
}

void TLumDatasetAction::DoVerify(QObject*, bool& cancelAction, QString& errorMessage) {
    if (OnVerify)
        OnVerify(this, cancelAction, errorMessage);
}

void TLumDatasetAction::UpdateDialog() {
    TLumDBEditDialog* dialog = m_dialog;
    if (!dialog)
        return;
    dialog->SetCaption(m_dialogCaption);
    dialog->SetDataSource(m_dataSource);
    dialog->SetBorderIcons(m_borderIcons);
    dialog->SetBorderStyle(m_dialogBorderStyle);
    dialog->SetEnabledButtons(m_enabledButtons);
    dialog->resize(dialog->width(), m_height);
    dialog->SetInspectorFlat(m_inspectorFlat);
    dialog->SetInspectorBorderStyle(m_inspectorBorderStyle);
    dialog->SetInspectorOptions(m_options);
    dialog->SetInspectorPaintStyle(m_paintStyle);
    dialog->SetPosition(m_position);
    dialog->SetVisibleButtons(m_visibleButtons);
    dialog->resize(m_width, dialog->height());
    dialog->OnOkButton = [this](QObject* sender) { DoOKBtnClick(sender); };
    dialog->OnCancelButton = [this](QObject* sender) { DoCancelBtnClick(sender); };
    dialog->OnHelpButton = [this](QObject*) {
        if (OnHelpBtnClick)
            OnHelpBtnClick(this);
    };
    dialog->OnVerifyRecord = [this](QObject* sender, bool& cancelAction, QString& errorMessage) {
        DoVerify(sender, cancelAction, errorMessage);
    };
    dialog->OnRowsCreated = [this](QObject* sender, TdxDBInspector* inspector, TDataSource* dataSource) {
        DoRowsCreate(sender, inspector, dataSource);
    };
    dialog->BuildRows();
    dialog->SetAutoHeight(m_autoHeight);
}

void TLumDatasetAction::RunDialog(TDataSet* dataSet) {
    // The dialog lives for this execution only, also when showing it fails.
    std::unique_ptr<TLumDBEditDialog> dialog(new TLumDBEditDialog());
    m_dialog = dialog.get();
    struct Forget {
        QPointer<TLumDBEditDialog>& dialog;
        ~Forget() { dialog = nullptr; }
    } forget{m_dialog};
    UpdateDialog();
    dialog->SetDataSource(m_dataSource);
    if (dialog->ShowModal() != mrOk && editing(dataSet))
        dataSet->Cancel();
}

void TLumDatasetAction::SetAutoHeight(bool value) {
    m_autoHeight = value;
    UpdateDialog();
}

void TLumDatasetAction::SetBorderIcons(TLumDBEditDialog::TBorderIcons value) {
    m_borderIcons = value;
    UpdateDialog();
}

void TLumDatasetAction::SetDialogCaption(const QString& value) {
    m_dialogCaption = value;
    UpdateDialog();
}

void TLumDatasetAction::SetEnabledButtons(TButtons value) {
    m_enabledButtons = value;
    UpdateDialog();
}

void TLumDatasetAction::SetInspectorBorderStyle(TdxInspector::TBorderStyle value) {
    m_inspectorBorderStyle = value;
    UpdateDialog();
}

void TLumDatasetAction::SetInspectotFlat(bool value) {
    m_inspectorFlat = value;
    UpdateDialog();
}

void TLumDatasetAction::SetOptions(TdxDBInspector::TdxDBInspectorOptions value) {
    m_options = value;
    UpdateDialog();
}

void TLumDatasetAction::SetPaintStyle(TdxInspector::TdxInspectorPaintStyle value) {
    m_paintStyle = value;
    UpdateDialog();
}

void TLumDatasetAction::SetPosition(TLumDBEditDialog::TPosition value) {
    m_position = value;
    UpdateDialog();
}

void TLumDatasetAction::SetVisibleButtons(TButtons value) {
    m_visibleButtons = value;
    UpdateDialog();
}

void TLumDatasetAction::SetWidth(int value) {
    m_width = value;
    UpdateDialog();
}

// Navigation.

void TLumDatasetFirst::UpdateTarget(QObject* target) {
    TDataSet* data = GetDataSet(target);
    SetEnabled(data && data->Active() && !data->Bof());
    TLumDatasetAction::UpdateTarget(target);
}

void TLumDatasetFirst::DoAction(QObject* target) {
    if (TDataSet* data = GetDataSet(target))
        data->First();
}

void TLumDatasetPrior::UpdateTarget(QObject* target) {
    TDataSet* data = GetDataSet(target);
    SetEnabled(data && data->Active() && !data->Bof());
    TLumDatasetAction::UpdateTarget(target);
}

void TLumDatasetPrior::DoAction(QObject* target) {
    if (TDataSet* data = GetDataSet(target))
        data->Prior();
}

void TLumDataSetNext::UpdateTarget(QObject* target) {
    TDataSet* data = GetDataSet(target);
    SetEnabled(data && data->Active() && !data->Eof());
    TLumDatasetAction::UpdateTarget(target);
}

void TLumDataSetNext::DoAction(QObject* target) {
    if (TDataSet* data = GetDataSet(target))
        data->Next();
}

void TLumDatasetLast::UpdateTarget(QObject* target) {
    TDataSet* data = GetDataSet(target);
    SetEnabled(data && data->Active() && !data->Eof());
    TLumDatasetAction::UpdateTarget(target);
}

void TLumDatasetLast::DoAction(QObject* target) {
    if (TDataSet* data = GetDataSet(target))
        data->Last();
}

// Refresh.

void TLumDatasetRefresh::UpdateTarget(QObject* target) {
    TDataSet* data = GetDataSet(target);
    SetEnabled(data && !editingOrSetKey(data));
    TLumDatasetAction::UpdateTarget(target);
}

void TLumDatasetRefresh::DoAction(QObject* target) {
    TDataSet* data = GetDataSet(target);
    if (!data)
        return;
    data->DisableControls();
    try {
        data->Close();
        data->Open();
    } catch (...) {
        // Re-enabling tells every linked control the data set changed.
        data->EnableControls();
        throw;
    }
    data->EnableControls();
}

// Delete.

TLumDatasetDelete::TLumDatasetDelete(QObject* owner, const QString& name)
    : TLumDatasetAction(owner, name),
      m_warningString(QStringLiteral("Вы действительно хотите удалить запись?")) {}

void TLumDatasetDelete::UpdateTarget(QObject* target) {
    TDataSet* data = GetDataSet(target);
    SetEnabled(data && data->Active() && data->CanModify() && !(data->Bof() && data->Eof()));
    TLumDatasetAction::UpdateTarget(target);
}

void TLumDatasetDelete::DoAction(QObject* target) {
    TDataSet* data = GetDataSet(target);
    if (!data)
        return;
    if (MessageDlg(m_warningString, mtWarning, mbYes | mbNo) != mrYes)
        return;
    try {
        data->Delete();
    } catch (const std::exception& e) {
        data->Cancel();
        MessageDlg(messageOf(e), mtError, mbOK);
    }
}

// Insert and edit.

void TLumDatasetInsert::UpdateTarget(QObject* target) {
    TDataSet* data = GetDataSet(target);
    SetEnabled(data && data->Active() && data->CanModify());
    TLumDatasetAction::UpdateTarget(target);
}

void TLumDatasetInsert::DoNewFieldValue(QObject*, TField* field, QVariant& value) {
    if (OnNewFieldValue)
        OnNewFieldValue(this, field, value);
}

void TLumDatasetInsert::DoAction(QObject* target) {
    TDataSet* data = GetDataSet(target);
    if (!data)
        return;
    QList<QVariant> values;
    for (int i = 0; i < data->FieldCount(); ++i) {
        values.append(QVariant());
        DoNewFieldValue(this, data->Fields()[i], values.last());
    }
    data->Insert();
    try {
        for (int i = 0; i < data->FieldCount() && i < values.size(); ++i) {
            TField* field = data->Fields()[i];
            if (!IsUnassigned(values[i]) && !field->ReadOnly())
                field->SetValue(values[i]);
        }
        MarkRecordModified(data);
    } catch (...) {
        // A default the field refuses must not leave a half-made record behind.
        data->Cancel();
        throw;
    }
    RunDialog(data);
}

void TLumDatasetEdit::UpdateTarget(QObject* target) {
    TDataSet* data = GetDataSet(target);
    SetEnabled(data && data->Active() && data->CanModify() && !editingOrSetKey(data));
    TLumDatasetAction::UpdateTarget(target);
}

void TLumDatasetEdit::DoAction(QObject* target) {
    TDataSet* data = GetDataSet(target);
    if (!data)
        return;
    // A record the data set cannot write back (a procedure's rows, a key-less select) is shown as
    // it stands instead of failing to enter edit state.
    if (data->CanModify())
        data->Edit();
    RunDialog(data);
}
