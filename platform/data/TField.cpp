#include "TField.h"

#include "EDatabaseError.h"
#include "TDataSet.h"
#include "Variants.h"

#include <QUuid>

namespace {

enum UserSet : unsigned { kLabel = 1, kWidth = 2, kVisible = 4, kReadOnly = 8, kRequired = 16 };

} // namespace

TField::TField(TDataSet* dataSet, int index, const TColumnInfo& column)
    : QObject(dataSet), m_dataSet(dataSet), m_index(index), m_column(column) {
    setObjectName(column.name);
    m_readOnly = column.computed || column.identity;
    m_required = !column.nullable && !column.identity;
}

void TField::Rebind(int index, const TColumnInfo& column) {
    m_index = index;
    m_column = column;
    if (!(m_userSet & kReadOnly))
        m_readOnly = column.computed || column.identity;
    if (!(m_userSet & kRequired))
        m_required = !column.nullable && !column.identity;
}

int TField::Size() const {
    switch (m_column.kind) {
    case TStorageKind::Text:
    case TStorageKind::Binary:
        return m_column.longData ? 0 : m_column.definedSize;
    case TStorageKind::Decimal64:
    case TStorageKind::Decimal128:
        return m_column.scale;
    default:
        return 0;
    }
}

int TField::DisplayWidth() const {
    if (m_displayWidth >= 0)
        return m_displayWidth;
    switch (m_column.fieldType) {
    case ftBoolean:
        return 5;
    case ftSmallint:
    case ftWord:
        return 6;
    case ftInteger:
    case ftAutoInc:
        return 11;
    case ftLargeint:
        return 15;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        return 10;
    case ftDate:
    case ftTime:
        return 10;
    case ftDateTime:
        return 18;
    case ftGuid:
        return 38;
    case ftMemo:
    case ftWideMemo:
    case ftBlob:
    case ftVariant:
        return 10;
    default:
        return qBound(1, m_column.definedSize, 255);
    }
}

void TField::SetDisplayLabel(const QString& value) {
    m_displayLabel = value;
    m_userSet |= kLabel;
    m_dataSet->DataEvent(deLayoutChange);
}

void TField::SetDisplayWidth(int value) {
    m_displayWidth = value;
    m_userSet |= kWidth;
    m_dataSet->DataEvent(deLayoutChange);
}

void TField::SetVisible(bool value) {
    m_visible = value;
    m_userSet |= kVisible;
    m_dataSet->DataEvent(deLayoutChange);
}

void TField::SetReadOnly(bool value) {
    m_readOnly = value;
    m_userSet |= kReadOnly;
}

void TField::SetRequired(bool value) {
    m_required = value;
    m_userSet |= kRequired;
}

void TField::TakeSettings(const TField& other) {
    if (other.m_userSet & kLabel)
        m_displayLabel = other.m_displayLabel;
    if (other.m_userSet & kWidth)
        m_displayWidth = other.m_displayWidth;
    if (other.m_userSet & kVisible)
        m_visible = other.m_visible;
    if (other.m_userSet & kReadOnly)
        m_readOnly = other.m_readOnly;
    if (other.m_userSet & kRequired)
        m_required = other.m_required;
    m_userSet = other.m_userSet;
}

bool TField::IsNull() const {
    return m_dataSet->FieldIsNull(m_index);
}

QVariant TField::Value() const {
    return m_dataSet->FieldValue(m_index);
}

void TField::SetValue(const QVariant& value) {
    m_dataSet->SetFieldValue(m_index, value);
}

void TField::Clear() {
    SetValue(NullVariant());
}

bool TField::IsKeyColumn() const {
    m_dataSet->LoadKeyInfo();
    return m_dataSet->Store().ColumnCount() > m_index && m_dataSet->Store().Columns()[m_index].keyColumn;
}

QString TField::AsString() const {
    return m_dataSet->FieldText(m_index);
}

void TField::SetAsString(const QString& value) {
    // An empty text clears a field that is not text.
    if (value.isEmpty() && m_column.kind != TStorageKind::Text)
        SetValue(NullVariant());
    else
        SetValue(QVariant(value));
}

void TField::invalid(const QVariant& value, const char* what) const {
    throw EDatabaseError(QStringLiteral("'%1' is not a valid %2 value for field '%3'")
                             .arg(VariantText(value), QLatin1String(what), m_column.name));
}

qint64 TField::AsInteger() const {
    const QVariant v = Value();
    if (IsNullOrUnassigned(v))
        return 0;
    bool ok = false;
    const qlonglong i =
        v.typeId() == QMetaType::QString ? v.toString().trimmed().toLongLong(&ok) : v.toLongLong(&ok);
    if (!ok) {
        const double d = v.toDouble(&ok);
        if (ok)
            return qint64(qRound64(d));
        invalid(v, "integer");
    }
    return i;
}

bool TField::AsBoolean() const {
    const QVariant v = Value();
    if (IsNullOrUnassigned(v))
        return false;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || s == QLatin1String("1"))
            return true;
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || s == QLatin1String("0"))
            return false;
        invalid(v, "boolean");
    }
    return v.toBool();
}

double TField::AsFloat() const {
    const QVariant v = Value();
    if (IsNullOrUnassigned(v))
        return 0;
    bool ok = false;
    const double d =
        v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
    if (!ok)
        invalid(v, "floating point");
    return d;
}

QDateTime TField::AsDateTime() const {
    const QVariant v = Value();
    if (IsNullOrUnassigned(v))
        return {};
    if (v.typeId() == QMetaType::QTime)
        return QDateTime(QDate(1899, 12, 30), v.toTime());
    QDateTime dt = v.toDateTime();
    if (!dt.isValid() && v.typeId() == QMetaType::QString)
        dt = QDateTime::fromString(v.toString().trimmed(), Qt::ISODateWithMs);
    if (!dt.isValid())
        invalid(v, "date and time");
    return dt;
}

QString TField::VariantText(const QVariant& v) {
    if (IsNullOrUnassigned(v))
        return QString();
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.toString(dt.time().msec() != 0 ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                                 : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime:
        return v.toTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    case QMetaType::QByteArray:
        return QString::fromLatin1(v.toByteArray().toHex()).toUpper();
    default:
        return v.toString();
    }
}

QVariant TField::Coerce(const QVariant& value) const {
    if (IsNullOrUnassigned(value))
        return NullVariant();
    bool ok = true;
    switch (m_column.kind) {
    case TStorageKind::Bool:
        if (value.typeId() == QMetaType::QString) {
            const QString s = value.toString().trimmed();
            if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || s == QLatin1String("1"))
                return true;
            if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || s == QLatin1String("0"))
                return false;
            invalid(value, "boolean");
        }
        return value.toBool();
    case TStorageKind::Int32:
    case TStorageKind::Int64: {
        const qlonglong i = value.typeId() == QMetaType::QString ? value.toString().trimmed().toLongLong(&ok)
                                                                 : value.toLongLong(&ok);
        if (!ok || (m_column.kind == TStorageKind::Int32 && (i < INT32_MIN || i > INT32_MAX)))
            invalid(value, "integer");
        return m_column.kind == TStorageKind::Int32 ? QVariant(int(i)) : QVariant(i);
    }
    case TStorageKind::Double:
    case TStorageKind::Decimal64:
    case TStorageKind::Decimal128: {
        const double d = value.typeId() == QMetaType::QString ? value.toString().trimmed().toDouble(&ok)
                                                              : value.toDouble(&ok);
        if (!ok)
            invalid(value, "number");
        return d;
    }
    case TStorageKind::DateTime: {
        QDateTime dt = value.toDateTime();
        if (!dt.isValid() && value.typeId() == QMetaType::QString)
            dt = QDateTime::fromString(value.toString().trimmed(), Qt::ISODateWithMs);
        if (!dt.isValid())
            invalid(value, "date and time");
        return dt;
    }
    case TStorageKind::Date: {
        const QDate d = value.typeId() == QMetaType::QString
                            ? QDate::fromString(value.toString().trimmed(), Qt::ISODate)
                            : value.toDate();
        if (!d.isValid())
            invalid(value, "date");
        return d;
    }
    case TStorageKind::Time: {
        const QTime t = value.typeId() == QMetaType::QString
                            ? QTime::fromString(value.toString().trimmed(), Qt::ISODateWithMs)
                            : value.toTime();
        if (!t.isValid())
            invalid(value, "time");
        return t;
    }
    case TStorageKind::Guid: {
        const QUuid u(value.toString().trimmed());
        if (u.isNull())
            invalid(value, "GUID");
        return u.toString(QUuid::WithBraces).toUpper();
    }
    case TStorageKind::Binary:
        return value.toByteArray();
    case TStorageKind::Text:
        return value.toString();
    }
    return value;
}
