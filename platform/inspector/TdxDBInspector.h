#pragma once
// The data-bound inspector: one row per field of the data source's current record, bound by field
// name, with a row kind per data type. Editing a value puts the data set into edit state and
// writes the field; the data set asks for a pending editor value before it posts.
#include "TdxInspector.h"
#include <QFlags>

class TDataSource;
class TField;
class TdxDBInspector;

// A row showing and editing one field of the data source's current record.
class TdxInspectorDBRow : public TdxInspectorRow {
    Q_OBJECT
    Q_PROPERTY(QString FieldName READ FieldName WRITE SetFieldName)

public:
    TdxInspectorDBRow(TdxInspector* inspector, TdxInspectorRow* parentRow = nullptr)
        : TdxInspectorRow(inspector, parentRow) {}
    QString FieldName() const { return m_fieldName; }
    void SetFieldName(const QString& value);
    // The bound field of the inspector's data set, or none.
    TField* Field() const;
    // Without an own caption the field's display label.
    QString Caption() const override;
    // Read-only also when the field is or the data set cannot be modified.
    bool ReadOnly() const override;
    QString Text() const override;
    void SetText(const QString& value) override;
    int MaxLength() const override;

private:
    QString m_fieldName;
};

class TdxInspectorDBMaskRow : public TdxInspectorDBRow {
    Q_OBJECT
public:
    using TdxInspectorDBRow::TdxInspectorDBRow;
};

class TdxInspectorDBSpinRow : public TdxInspectorDBRow {
    Q_OBJECT
public:
    using TdxInspectorDBRow::TdxInspectorDBRow;
    TEditorKind EditorKind() const override { return ekInteger; }
};

class TdxInspectorDBCalcRow : public TdxInspectorDBRow {
    Q_OBJECT
public:
    using TdxInspectorDBRow::TdxInspectorDBRow;
    TEditorKind EditorKind() const override { return ekFloat; }
};

class TdxInspectorDBDateRow : public TdxInspectorDBRow {
    Q_OBJECT
public:
    using TdxInspectorDBRow::TdxInspectorDBRow;
};

class TdxInspectorDBMemoRow : public TdxInspectorDBRow {
    Q_OBJECT
public:
    using TdxInspectorDBRow::TdxInspectorDBRow;
};

// A boolean field: checked is "True".
class TdxInspectorDBCheckRow : public TdxInspectorDBRow {
    Q_OBJECT
public:
    using TdxInspectorDBRow::TdxInspectorDBRow;
    TEditorKind EditorKind() const override { return ekCheck; }
    bool Checked() const override;
    void SetChecked(bool value) override;
    QString Text() const override;
};

class TdxDBInspector : public TdxInspector {
    Q_OBJECT
public:
    enum TdxDBInspectorOption {
        dioAutoWidth = 0x1,
        dioBandSizing = 0x2,
        dioCancelOnExit = 0x4,
        dioColumnSizing = 0x8,
        dioDynamicColumnSizing = 0x10,
        dioEditing = 0x20,
        dioTabs = 0x40,
        dioEnterThrough = 0x80,
    };
    Q_DECLARE_FLAGS(TdxDBInspectorOptions, TdxDBInspectorOption)
    Q_FLAG(TdxDBInspectorOptions)

private:
    Q_PROPERTY(TdxDBInspector::TdxDBInspectorOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(bool DefaultFields READ DefaultFields WRITE SetDefaultFields)

public:
    explicit TdxDBInspector(QWidget* parent = nullptr);
    ~TdxDBInspector() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    TdxDBInspectorOptions Options() const { return m_options; }
    void SetOptions(TdxDBInspectorOptions value);
    // On: a row for every field whenever the data set opens. Off: the program makes the rows.
    bool DefaultFields() const { return m_defaultFields; }
    void SetDefaultFields(bool value);

    bool CanEditing() const override { return m_options.testFlag(dioEditing); }

    // The row kind for a field: by its data type, a plain data row for anything else.
    TdxInspectorDBRow* CreateRowFor(TField* field, TdxInspectorRow* parentRow = nullptr);
    // A row for every field of the data set, in field order.
    void CreateDefaultRows();

private:
    class Link;
    friend class Link;
    std::unique_ptr<Link> m_link;
    TdxDBInspectorOptions m_options = TdxDBInspectorOptions(dioAutoWidth) | dioBandSizing | dioCancelOnExit |
                                      dioColumnSizing | dioDynamicColumnSizing | dioEditing;
    bool m_defaultFields = true;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TdxDBInspector::TdxDBInspectorOptions)
