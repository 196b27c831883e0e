#include "uDatabaseUtils.h"

#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TRegistry.h"
#include "Variants.h"

#include <QDateTime>
#include <QLocale>

#include <cstring>

void QueryFirstValue(const QString& sql, TADOConnection* connection, QVariant& value) {
    value = QVariant();
    std::unique_ptr<TADORecordset> rs = connection->Execute(sql, TADOConnection::cmdText);
    if (!rs)
        return;
    if (rs->RecordCount() > 0 && rs->FieldCount() > 0) {
        rs->MoveFirst();
        value = rs->Fields(0).Value();
    }
    rs->Close();
}

void MarkRecordModified(TDataSet* dataSet) {
    if (dataSet->Modified())
        return;
    for (int i = 0; i < dataSet->FieldCount(); ++i) {
        TField* field = dataSet->Fields()[i];
        if (field->ReadOnly())
            continue;
        field->SetValue(field->Value());
        return;
    }
}

QString GetKeyColumn(TADOQuery* query) {
    for (int i = 0; i < query->FieldCount(); ++i) {
        if (query->Fields()[i]->IsKeyColumn())
            return query->Fields()[i]->FieldName();
    }
    return QString();
}

int FieldDisplayWidth(const TADOField& field) {
    switch (field.Type()) {
    case 11:
        return 1;
    case 17:
    case 18:
        return 3;
    case 2:
    case 16:
        return 4;
    case 19:
        return 9;
    case 3:
    case 4:
    case 5:
    case 6:
    case 14:
    case 131:
    case 133:
    case 134:
        return 10;
    case 7:
    case 135:
    case 139:
        return 16;
    case 21:
        return 18;
    case 20:
        return 19;
    case 72:
        return 38;
    default:
        return field.DefinedSize();
    }
}

namespace {

// A date-time as a time of day counts from 1899-12-30, the origin of the variant date type.
QDateTime asDateTime(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::QDate:
        return QDateTime(v.toDate(), QTime(0, 0));
    case QMetaType::QTime:
        return QDateTime(QDate(1899, 12, 30), v.toTime());
    default:
        return v.toDateTime();
    }
}

} // namespace

QString FieldValueText(const TADOField& field) {
    const QVariant v = field.Value();
    if (IsNullOrUnassigned(v))
        return QString();
    const int type = field.Type();
    if (type == 133 || type == 134 || type == 135)
        return asDateTime(v).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss:zzz"));
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
        return QLocale::system().toString(v.toDouble(), 'g', 15);
    return TField::VariantText(v);
}

namespace {

const QString kServerKey = QStringLiteral("SOFTWARE\\Microsoft\\Microsoft SQL Server\\");

} // namespace

QString GetInstalledInstance() {
    TRegistry registry;
    registry.SetRootKey(TRootKey::HKEY_LOCAL_MACHINE);
    if (!registry.OpenKeyReadOnly(kServerKey))
        return QString();
    char buffer[255] = {};
    const int n = registry.ReadBinaryData(QStringLiteral("InstalledInstances"), buffer, int(sizeof buffer));
    registry.CloseKey();
    if (n <= 0)
        return QString();
    const auto* zero = static_cast<const char*>(std::memchr(buffer, 0, sizeof buffer));
    if (!zero)
        return QString();
    return QString::fromUtf8(buffer, zero - buffer);
}

QString GetSQLDataRoot(const QString& instanceName) {
    TRegistry registry;
    registry.SetRootKey(TRootKey::HKEY_LOCAL_MACHINE);
    QString id;
    if (registry.OpenKeyReadOnly(kServerKey + QStringLiteral("Instance Names\\SQL"))) {
        if (registry.ValueExists(instanceName))
            id = registry.ReadString(instanceName);
        registry.CloseKey();
    }
    if (id.isEmpty())
        return QString();
    QString root;
    if (registry.OpenKeyReadOnly(kServerKey + id + QStringLiteral("\\Setup"))) {
        if (registry.ValueExists(QStringLiteral("SQLDataRoot")))
            root = registry.ReadString(QStringLiteral("SQLDataRoot"));
        registry.CloseKey();
    }
    return root;
}
