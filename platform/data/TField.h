#pragma once
// One column of a data set, read and written in the data set's current record.
#include "TColumnInfo.h"

#include <QDateTime>
#include <QObject>
#include <QVariant>

class TDataSet;

class TField : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString FieldName READ FieldName)
    Q_PROPERTY(QString DisplayLabel READ DisplayLabel WRITE SetDisplayLabel)
    Q_PROPERTY(int DisplayWidth READ DisplayWidth WRITE SetDisplayWidth)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool Required READ Required WRITE SetRequired)
    Q_PROPERTY(int Index READ Index)

public:
    TField(TDataSet* dataSet, int index, const TColumnInfo& column);

    TDataSet* DataSet() const { return m_dataSet; }
    QString FieldName() const { return m_column.name; }
    int Index() const { return m_index; }
    int FieldNo() const { return m_index + 1; }
    TFieldType DataType() const { return m_column.fieldType; }
    // Characters of a text field, bytes of a binary field, the scale of a decimal, else 0.
    int Size() const;

    QString DisplayLabel() const { return m_displayLabel.isEmpty() ? m_column.name : m_displayLabel; }
    void SetDisplayLabel(const QString& value);
    int DisplayWidth() const;
    void SetDisplayWidth(int value);
    bool Visible() const { return m_visible; }
    void SetVisible(bool value);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value);
    bool Required() const { return m_required; }
    void SetRequired(bool value);

    bool IsNull() const;
    QVariant Value() const; // NullVariant() for NULL
    void SetValue(const QVariant& value);
    QVariant AsVariant() const { return Value(); }
    void SetAsVariant(const QVariant& value) { SetValue(value); }
    QString AsString() const;
    void SetAsString(const QString& value);
    qint64 AsInteger() const;
    void SetAsInteger(qint64 value) { SetValue(QVariant(qlonglong(value))); }
    bool AsBoolean() const;
    void SetAsBoolean(bool value) { SetValue(QVariant(value)); }
    double AsFloat() const;
    void SetAsFloat(double value) { SetValue(QVariant(value)); }
    QDateTime AsDateTime() const;
    void SetAsDateTime(const QDateTime& value) { SetValue(QVariant(value)); }
    void Clear();

    // Provider-level data: the ADO DataTypeEnum number, the defined size, the key-column flag.
    int AdoType() const { return m_column.adoType; }
    int DefinedSize() const { return m_column.definedSize; }
    bool IsKeyColumn() const;
    const TColumnInfo& Column() const { return m_column; }

    // The value in the column's own type; raises EDatabaseError when it does not convert.
    QVariant Coerce(const QVariant& value) const;
    // The text a value is shown as.
    static QString VariantText(const QVariant& value);

    // Settings a program made, carried over to the same-named field when the data set reopens.
    void TakeSettings(const TField& other);
    // The data set reopened with this field at another position or with new column data.
    void Rebind(int index, const TColumnInfo& column);

private:
    [[noreturn]] void invalid(const QVariant& value, const char* what) const;

    TDataSet* m_dataSet;
    int m_index;
    TColumnInfo m_column;
    QString m_displayLabel;
    int m_displayWidth = -1;
    bool m_visible = true;
    bool m_readOnly = false;
    bool m_required = false;
    unsigned m_userSet = 0;
};
