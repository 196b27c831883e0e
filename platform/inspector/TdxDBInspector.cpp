#include "TdxDBInspector.h"
#include "TDataLink.h"
#include "TDataSource.h"
#include "TField.h"

class TdxDBInspector::Link : public TDataLink {
public:
    explicit Link(TdxDBInspector* inspector) : m_inspector(inspector) {}

protected:
    void ActiveChanged() override {
        if (Active() && m_inspector->m_defaultFields)
            m_inspector->CreateDefaultRows();
        else
            m_inspector->rowChanged();
    }
    void EditingChanged() override { m_inspector->rowChanged(); }
    void RecordChanged(TField*) override { m_inspector->RefreshValues(); }
    void UpdateData() override { m_inspector->CloseEditor(true); }

private:
    TdxDBInspector* m_inspector;
};

TdxDBInspector::TdxDBInspector(QWidget* parent)
    : TdxInspector(parent), m_link(std::make_unique<Link>(this)) {}

TdxDBInspector::~TdxDBInspector() {
    m_link->SetDataSource(nullptr);
}

TDataSource* TdxDBInspector::DataSource() const {
    return m_link->DataSource();
}

void TdxDBInspector::SetDataSource(TDataSource* source) {
    m_link->SetDataSource(source);
    rowChanged();
}

void TdxDBInspector::SetOptions(TdxDBInspectorOptions value) {
    m_options = value;
    rowChanged();
}

void TdxDBInspector::SetDefaultFields(bool value) {
    m_defaultFields = value;
    if (value && m_link->Active())
        CreateDefaultRows();
}

TdxInspectorDBRow* TdxDBInspector::CreateRowFor(TField* field, TdxInspectorRow* parentRow) {
    TdxInspectorDBRow* row = nullptr;
    switch (field->DataType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftGuid:
        row = AddRow<TdxInspectorDBMaskRow>(parentRow);
        break;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        row = AddRow<TdxInspectorDBSpinRow>(parentRow);
        break;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        row = AddRow<TdxInspectorDBCalcRow>(parentRow);
        break;
    case ftDate:
    case ftTime:
    case ftDateTime:
        row = AddRow<TdxInspectorDBDateRow>(parentRow);
        break;
    case ftBoolean:
        row = AddRow<TdxInspectorDBCheckRow>(parentRow);
        break;
    case ftMemo:
    case ftWideMemo:
        row = AddRow<TdxInspectorDBMemoRow>(parentRow);
        break;
    default:
        row = AddRow<TdxInspectorDBRow>(parentRow);
    }
    row->SetFieldName(field->FieldName());
    return row;
}

void TdxDBInspector::CreateDefaultRows() {
    BeginUpdate();
    try {
        ClearRows();
        if (TDataSet* data = m_link->DataSet()) {
            for (int i = 0; i < data->FieldCount(); ++i) {
                if (data->Fields()[i]->Visible())
                    CreateRowFor(data->Fields()[i]);
            }
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TdxInspectorDBRow::SetFieldName(const QString& value) {
    m_fieldName = value;
    changed();
}

TField* TdxInspectorDBRow::Field() const {
    auto* inspector = qobject_cast<TdxDBInspector*>(Inspector());
    TDataSource* source = inspector ? inspector->DataSource() : nullptr;
    TDataSet* data = source ? source->DataSet() : nullptr;
    return data && data->Active() ? data->FindField(m_fieldName) : nullptr;
}

QString TdxInspectorDBRow::Caption() const {
    QString own = TdxInspectorRow::Caption();
    if (!own.isEmpty())
        return own;
    TField* field = Field();
    return field ? field->DisplayLabel() : m_fieldName;
}

bool TdxInspectorDBRow::ReadOnly() const {
    if (TdxInspectorRow::ReadOnly())
        return true;
    TField* field = Field();
    return !field || field->ReadOnly() || !field->DataSet()->CanModify();
}

QString TdxInspectorDBRow::Text() const {
    TField* field = Field();
    return field && !field->IsNull() ? field->AsString() : QString();
}

void TdxInspectorDBRow::SetText(const QString& value) {
    TField* field = Field();
    if (!field || value == Text())
        return;
    auto* inspector = static_cast<TdxDBInspector*>(Inspector());
    TDataSet* data = field->DataSet();
    if (data->State() != dsEdit && data->State() != dsInsert) {
        if (!inspector->DataSource()->AutoEdit())
            return;
        inspector->DataSource()->Edit();
    }
    // An empty value of a non-text field is no value at all.
    if (value.isEmpty())
        field->Clear();
    else
        field->SetAsString(value);
}

int TdxInspectorDBRow::MaxLength() const {
    TField* field = Field();
    if (!field)
        return 0;
    switch (field->DataType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return field->Size();
    default:
        return 0;
    }
}

bool TdxInspectorDBCheckRow::Checked() const {
    TField* field = Field();
    return field && !field->IsNull() && field->AsBoolean();
}

void TdxInspectorDBCheckRow::SetChecked(bool value) {
    TField* field = Field();
    if (!field || (Checked() == value && !field->IsNull()))
        return;
    auto* inspector = static_cast<TdxDBInspector*>(Inspector());
    if (field->DataSet()->State() != dsEdit && field->DataSet()->State() != dsInsert)
        inspector->DataSource()->Edit();
    field->SetAsBoolean(value);
}

QString TdxInspectorDBCheckRow::Text() const {
    TField* field = Field();
    if (!field || field->IsNull())
        return QString();
    return field->AsBoolean() ? QStringLiteral("True") : QStringLiteral("False");
}
