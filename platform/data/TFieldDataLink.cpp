#include "TFieldDataLink.h"

void TFieldDataLink::SetFieldName(const QString& name) {
    if (m_fieldName == name)
        return;
    m_fieldName = name;
    updateField();
}

void TFieldDataLink::updateField() {
    TField* field = nullptr;
    if (Active() && !m_fieldName.isEmpty())
        field = DataSet()->FindField(m_fieldName);
    if (field != m_field) {
        m_field = field;
        setEditing(TDataLink::Editing() && CanModify());
        RecordChanged(nullptr);
    }
}

bool TFieldDataLink::CanModify() const {
    return !ReadOnly() && m_field != nullptr && !m_field->ReadOnly() && DataSet() && DataSet()->CanModify();
}

bool TFieldDataLink::Edit() {
    if (CanModify())
        TDataLink::Edit();
    return m_editing;
}

void TFieldDataLink::setEditing(bool value) {
    if (m_editing == value)
        return;
    m_editing = value;
    m_modified = false;
    if (OnEditingChange)
        OnEditingChange(this);
}

void TFieldDataLink::ActiveChanged() {
    updateField();
    if (OnActiveChange)
        OnActiveChange(this);
}

void TFieldDataLink::EditingChanged() {
    setEditing(TDataLink::Editing() && CanModify());
}

void TFieldDataLink::LayoutChanged() {
    updateField();
}

void TFieldDataLink::RecordChanged(TField* field) {
    if (field == nullptr || field == m_field) {
        if (OnDataChange)
            OnDataChange(this);
        m_modified = false;
    }
}

void TFieldDataLink::UpdateData() {
    if (m_modified) {
        if (m_field != nullptr && OnUpdateData)
            OnUpdateData(this);
        m_modified = false;
    }
}
