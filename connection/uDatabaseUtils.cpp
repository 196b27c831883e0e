#include "uDatabaseUtils.h"

#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TRegistry.h"
#include "TRowStore.h"
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

constexpr int64_t kMicrosPerDay = 86400LL * 1000000;
constexpr int64_t kJulianDay1899 = 2415019; // 1899-12-30
constexpr int64_t kJulianDay1970 = 2440588;

void putDigits(QChar* p, int64_t value, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
        p[i] = QChar(char16_t(u'0' + value % 10));
        value /= 10;
    }
}

// Appends "yyyy-mm-dd hh:nn:ss:zzz" for a Julian day and the microseconds into it, written
// directly: a script prints millions of these.
void appendDateTime(QString& out, int64_t julianDay, int64_t microsOfDay) {
    // Civil date from a day count (proleptic Gregorian calendar).
    const int64_t z = julianDay - kJulianDay1970 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    const int64_t ms = microsOfDay / 1000;

    const qsizetype at = out.size();
    out.resize(at + 23);
    QChar* p = out.data() + at;
    putDigits(p, year, 4);
    p[4] = QLatin1Char('-');
    putDigits(p + 5, month, 2);
    p[7] = QLatin1Char('-');
    putDigits(p + 8, day, 2);
    p[10] = QLatin1Char(' ');
    putDigits(p + 11, ms / 3600000, 2);
    p[13] = QLatin1Char(':');
    putDigits(p + 14, ms / 60000 % 60, 2);
    p[16] = QLatin1Char(':');
    putDigits(p + 17, ms / 1000 % 60, 2);
    p[19] = QLatin1Char(':');
    putDigits(p + 20, ms % 1000, 3);
}

// The machine's number format without digit grouping, as the variant-to-text conversion writes
// numbers.
const QLocale& numberLocale() {
    static const QLocale locale = [] {
        QLocale l = QLocale::system();
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l;
    }();
    return locale;
}

// Appends an unscaled decimal as exact digits, trailing fractional zeros dropped ("12.5", "-0.01",
// "3"), with the machine's decimal separator.
void appendDecimal(QString& out, __int128 unscaled, int scale) {
    const bool negative = unscaled < 0;
    unsigned __int128 v =
        negative ? static_cast<unsigned __int128>(-unscaled) : static_cast<unsigned __int128>(unscaled);
    char16_t digits[48];
    int n = 0;
    if (v <= UINT64_MAX) {
        uint64_t w = uint64_t(v);
        do {
            digits[n++] = char16_t(u'0' + w % 10);
            w /= 10;
        } while (w != 0 || n <= scale);
    } else {
        do {
            digits[n++] = char16_t(u'0' + int(v % 10));
            v /= 10;
        } while (v != 0 || n <= scale);
    }
    // digits holds the number reversed; the first `scale` of them are the fraction.
    int firstKept = 0;
    while (firstKept < scale && digits[firstKept] == u'0')
        ++firstKept;
    if (negative)
        out += QLatin1Char('-');
    for (int i = n - 1; i >= scale; --i)
        out += QChar(digits[i]);
    if (firstKept < scale) {
        static const QString point = numberLocale().decimalPoint();
        out += point;
        for (int i = scale - 1; i >= firstKept; --i)
            out += QChar(digits[i]);
    }
}

} // namespace

void AppendFieldValueText(QString& out, const TADOField& field) {
    if (field.IsNull())
        return;
    const int type = field.Type();
    const bool dateTime = type == 133 || type == 134 || type == 135;
    switch (field.Kind()) {
    case TStorageKind::Text: {
        uint32_t units = 0;
        const unsigned char* data = field.TextData(units);
        const qsizetype at = out.size();
        out.resize(at + qsizetype(units));
        if (units > 0)
            std::memcpy(out.data() + at, data, size_t(units) * 2);
        return;
    }
    case TStorageKind::Int32:
    case TStorageKind::Int64:
        appendDecimal(out, field.Integer(), 0);
        return;
    case TStorageKind::Decimal64:
    case TStorageKind::Decimal128:
        appendDecimal(out, field.Decimal(), field.NumericScale());
        return;
    case TStorageKind::DateTime:
        if (dateTime) {
            const int64_t micros = field.Integer();
            int64_t days = micros / kMicrosPerDay;
            int64_t rest = micros % kMicrosPerDay;
            if (rest < 0) {
                rest += kMicrosPerDay;
                --days;
            }
            appendDateTime(out, kJulianDay1970 + days, rest);
            return;
        }
        break;
    case TStorageKind::Date:
        if (dateTime) {
            appendDateTime(out, field.Integer(), 0);
            return;
        }
        break;
    case TStorageKind::Time:
        if (dateTime) {
            appendDateTime(out, kJulianDay1899, field.Integer());
            return;
        }
        break;
    default:
        break;
    }
    const QVariant v = field.Value();
    if (IsNullOrUnassigned(v))
        return;
    if (dateTime)
        out += asDateTime(v).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss:zzz"));
    else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
        out += numberLocale().toString(v.toDouble(), 'g', 15);
    else
        out += TField::VariantText(v);
}

QString FieldValueText(const TADOField& field) {
    QString text;
    AppendFieldValueText(text, field);
    return text;
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
