#pragma once
// A data link bound to one field by name, as a single-field control uses it.
#include "TDataLink.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class TFieldDataLink : public TDataLink {
public:
    using TNotifyEvent = std::function<void(TFieldDataLink* sender)>;

    TFieldDataLink() = default;

    const QString& FieldName() const { return m_fieldName; }
    void SetFieldName(const QString& name);
    // The field of that name in the data set while it is open, else none.
    TField* Field() const { return m_field.data(); }
    QObject* Control() const { return m_control; }
    void SetControl(QObject* control) { m_control = control; }
    // The field exists, the link is not read-only, the field is not read-only and the data set can be
    // modified.
    bool CanModify() const;
    bool Editing() const { return m_editing; }
    // Enters edit state through the data source; true when editing.
    bool Edit();
    // The control changed the value; UpdateData will ask for it.
    void Modified() { m_modified = true; }
    // Throws away the control's change and shows the field's value again.
    void Reset() { RecordChanged(nullptr); }

    TNotifyEvent OnDataChange;
    TNotifyEvent OnEditingChange;
    TNotifyEvent OnUpdateData;
    TNotifyEvent OnActiveChange;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

private:
    void updateField();
    void setEditing(bool value);

    QString m_fieldName;
    QPointer<TField> m_field;
    QObject* m_control = nullptr;
    bool m_editing = false;
    bool m_modified = false;
};
