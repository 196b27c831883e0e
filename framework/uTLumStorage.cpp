#include "uTLumStorage.h"

#include "Exception.h"
#include "TCollection.h"
#include "TForm.h"
#include "TIniFile.h"
#include "Variants.h"

#include <QLocale>
#include <QMetaEnum>
#include <QMetaProperty>

namespace {

enum class TKind { None, Ordinal, Boolean, Enumeration, Set, Float, String, Strings, Variant, Object };

TKind kindOf(const QMetaProperty& p) {
    if (p.isEnumType())
        return p.isFlagType() ? TKind::Set : TKind::Enumeration;
    if (p.metaType().flags() & QMetaType::PointerToQObject)
        return TKind::Object;
    switch (p.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
        return TKind::Ordinal;
    case QMetaType::Bool:
        return TKind::Boolean;
    case QMetaType::Double:
    case QMetaType::Float:
        return TKind::Float;
    case QMetaType::QString:
        return TKind::String;
    case QMetaType::QStringList:
        return TKind::Strings;
    case QMetaType::QVariant:
        return TKind::Variant;
    default:
        return TKind::None; // characters, 64-bit integers, geometry, fonts ... are not kept
    }
}

// The properties of object the storage takes: the one named name (letter case ignored), or with an
// empty name every published property of the object's own classes (objectName is the component's
// identity, not a setting).
QList<QMetaProperty> takenProperties(const QObject* object, const QString& name) {
    QList<QMetaProperty> taken;
    const QMetaObject* meta = object->metaObject();
    const int first = name.isEmpty() ? QObject::staticMetaObject.propertyCount() : 0;
    for (int i = first; i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        if (name.isEmpty() ? p.isStored()
                           : QString::fromLatin1(p.name()).compare(name, Qt::CaseInsensitive) == 0)
            taken.append(p);
    }
    // A name spelled exactly as one of them picks that one: a control's own "Height" is not Qt's
    // read-only "height".
    if (!name.isEmpty() && taken.size() > 1) {
        for (const QMetaProperty& p : taken) {
            if (QString::fromLatin1(p.name()) == name)
                return {p};
        }
    }
    return taken;
}

QString setToText(const QMetaEnum& e, int value) {
    QStringList names;
    for (int k = 0; k < e.keyCount(); ++k) {
        const int member = e.value(k);
        if (member != 0 && (member & (member - 1)) == 0 && (value & member) == member)
            names.append(QString::fromLatin1(e.key(k)));
    }
    return names.join(QLatin1Char(','));
}

int textToSet(const QMetaEnum& e, QString text) {
    text = text.trimmed();
    if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')))
        text = text.mid(1, text.size() - 2);
    int value = 0;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        if (name.isEmpty())
            continue;
        int k = 0;
        while (k < e.keyCount() && QString::fromLatin1(e.key(k)).compare(name, Qt::CaseInsensitive) != 0)
            ++k;
        if (k == e.keyCount())
            throw Exception(QStringLiteral("Invalid property element: %1").arg(name));
        value |= e.value(k);
    }
    return value;
}

void assign(QObject* object, const QMetaProperty& p, const QVariant& value) {
    if (!p.write(object, value))
        throw Exception(QStringLiteral("Invalid value \"%1\" for the property %2 of %3")
                            .arg(value.toString(), QString::fromLatin1(p.name()), object->objectName()));
}

QObject* objectValue(QObject* object, const QMetaProperty& p) {
    return p.read(object).value<QObject*>();
}

// A collection, or a sub-object that belongs to the property's holder. A reference to another
// component (a data source, a control) is not followed: its settings are its own, and following
// references could run in a circle.
bool isOwnedObject(const QObject* holder, const QObject* value) {
    return value && (qobject_cast<const TCollection*>(value) || value->parent() == holder);
}

QString itemKey(int i) {
    return QStringLiteral("Items") + QString::number(i);
}

} // namespace

TLumStorage::TLumStorage(QObject* owner, const QString& name) : QObject(owner) {
    setObjectName(name);
    if (!qobject_cast<TForm*>(owner))
        throw Exception(QStringLiteral("Владельцем компонента должен быть наследник TCustomForm!"));
}

void TLumStorage::forEachEntry(const std::function<void(QObject*, const QString&, const QString&)>& visit) {
    auto* form = qobject_cast<TForm*>(parent());
    if (!form)
        return;
    const QString formName = form->objectName();
    for (const QString& entry : QStringList(m_storedProps)) {
        const qsizetype dot = entry.indexOf(QLatin1Char('.'));
        if (dot < 0)
            continue;
        const QString component = entry.left(dot);
        const QString property = entry.mid(dot + 1);
        QObject* target = component == formName ? form : form->FindComponent(component);
        if (!target)
            continue;
        visit(target, formName + QLatin1Char('.') + component, property);
    }
}

void TLumStorage::ReadIni() {
    if (m_iniFile.isEmpty())
        return;
    TIniFile file(m_iniFile);
    if (BeforeReadIni)
        BeforeReadIni(this, file);
    forEachEntry([&](QObject* target, const QString& section, const QString& property) {
        ReadProps(target, section, file, property);
    });
    if (AfterReadIni)
        AfterReadIni(this, file);
}

void TLumStorage::WriteIni() {
    if (m_iniFile.isEmpty())
        return;
    TIniFile file(m_iniFile);
    if (BeforeWriteIni)
        BeforeWriteIni(this, file);
    forEachEntry([&](QObject* target, const QString& section, const QString& property) {
        WriteProps(target, section, file, property);
    });
    if (AfterWriteIni)
        AfterWriteIni(this, file);
}

void TLumStorage::ReadProps(QObject* object, const QString& section, TIniFile& file, const QString& name) {
    if (!object)
        return;
    for (const QMetaProperty& p : takenProperties(object, name)) {
        const QString key = QString::fromLatin1(p.name());
        const QString sub = section + QLatin1Char('.') + key;
        const TKind kind = kindOf(p);
        if (kind == TKind::None || (kind != TKind::Object && !p.isWritable())) {
            if (!name.isEmpty())
                return;
            continue;
        }
        switch (kind) {
        case TKind::Ordinal:
            assign(object, p, file.ReadInteger(section, key, p.read(object).toInt()));
            break;
        case TKind::Boolean:
            assign(object, p, file.ReadInteger(section, key, p.read(object).toBool() ? 1 : 0) != 0);
            break;
        case TKind::Enumeration: {
            const int value = file.ReadInteger(section, key, p.read(object).toInt());
            if (!p.enumerator().valueToKey(value))
                throw Exception(QStringLiteral("Invalid value %1 for the property %2 of %3")
                                    .arg(value)
                                    .arg(key, object->objectName()));
            assign(object, p, value);
            break;
        }
        case TKind::Set: {
            const QMetaEnum e = p.enumerator();
            const QString text = file.ReadString(section, key, setToText(e, p.read(object).toInt()));
            assign(object, p, textToSet(e, text));
            break;
        }
        case TKind::Float:
            assign(object, p, file.ReadFloat(section, key, p.read(object).toDouble()));
            break;
        case TKind::String:
            assign(object, p, file.ReadString(section, key, p.read(object).toString()));
            break;
        case TKind::Variant: {
            const QVariant current = p.read(object);
            const QString text =
                file.ReadString(section, key, IsNullOrUnassigned(current) ? QString() : current.toString());
            assign(object, p, text.isEmpty() ? NullVariant() : QVariant(text));
            break;
        }
        case TKind::Strings: {
            QStringList lines;
            ReadStrings(lines, sub, file);
            assign(object, p, lines);
            break;
        }
        case TKind::Object: {
            QObject* value = objectValue(object, p);
            if (qobject_cast<TCollection*>(value))
                ReadCollection(value, sub, file);
            else if (isOwnedObject(object, value))
                ReadProps(value, sub, file, QString());
            break;
        }
        case TKind::None:
            break;
        }
        if (!name.isEmpty())
            return;
    }
}

void TLumStorage::WriteProps(QObject* object, const QString& section, TIniFile& file, const QString& name) {
    if (!object)
        return;
    for (const QMetaProperty& p : takenProperties(object, name)) {
        const QString key = QString::fromLatin1(p.name());
        const QString sub = section + QLatin1Char('.') + key;
        const TKind kind = kindOf(p);
        if (kind != TKind::Object && !p.isWritable())
            continue;
        const QVariant value = p.read(object);
        switch (kind) {
        case TKind::Ordinal:
        case TKind::Enumeration:
            file.WriteString(section, key, QString::number(value.toInt()));
            break;
        case TKind::Boolean:
            file.WriteString(section, key, value.toBool() ? QStringLiteral("1") : QStringLiteral("0"));
            break;
        case TKind::Set:
            file.WriteString(section, key, setToText(p.enumerator(), value.toInt()));
            break;
        case TKind::Float:
            file.WriteString(section, key,
                             QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest));
            break;
        case TKind::String:
            file.WriteString(section, key, value.toString());
            break;
        case TKind::Variant:
            if (!IsNullOrUnassigned(value))
                file.WriteString(section, key, value.toString());
            break;
        case TKind::Strings:
            WriteStrings(value.toStringList(), sub, file);
            break;
        case TKind::Object: {
            QObject* child = value.value<QObject*>();
            if (qobject_cast<TCollection*>(child))
                WriteCollection(child, sub, file);
            else if (isOwnedObject(object, child))
                WriteProps(child, sub, file, QString());
            break;
        }
        case TKind::None:
            break;
        }
    }
}

void TLumStorage::ReadStrings(QStringList& list, const QString& section, TIniFile& file) {
    list.clear();
    for (const auto& [key, value] : file.ReadSectionValues(section))
        list.append(value);
}

void TLumStorage::WriteStrings(const QStringList& list, const QString& section, TIniFile& file) {
    for (qsizetype i = 0; i < list.size(); ++i)
        file.WriteString(section, QStringLiteral("String") + QString::number(i), list[i]);
    // Reading takes every value of the section, so keys of a longer earlier list must go.
    const QStringList keys = file.ReadSection(section);
    for (const QString& key : keys) {
        bool current = false;
        for (qsizetype i = 0; i < list.size() && !current; ++i)
            current = TIniFile::SameName(key, QStringLiteral("String") + QString::number(i));
        if (!current)
            file.DeleteKey(section, key);
    }
}

void TLumStorage::ReadCollection(QObject* collection, const QString& section, TIniFile& file) {
    auto* items = qobject_cast<TCollection*>(collection);
    if (!items)
        return;
    items->Clear();
    for (const auto& [key, value] : file.ReadSectionValues(section))
        ReadProps(items->Add(), value, file, QString());
}

void TLumStorage::WriteCollection(QObject* collection, const QString& section, TIniFile& file) {
    auto* items = qobject_cast<TCollection*>(collection);
    if (!items)
        return;
    // The items of the earlier write go first: the usual eleven slots, and any further ones a
    // longer collection left, so a shorter collection reads back exactly its own items.
    const QString prefix = section + QLatin1Char('.');
    for (int n = 0;
         n <= 10 || file.ValueExists(section, itemKey(n)) || file.SectionExists(prefix + itemKey(n)); ++n) {
        file.DeleteKey(section, itemKey(n));
        file.EraseSection(prefix + itemKey(n));
    }
    for (int i = 0; i < items->Count(); ++i) {
        const QString itemSection = prefix + itemKey(i);
        file.WriteString(section, itemKey(i), itemSection);
        WriteProps(items->Items(i), itemSection, file, QString());
    }
}
