#include "uTLumModuleParams.h"

#include "Exception.h"

TLumModuleParam::TLumModuleParam(TCollection* collection) : TCollectionItem(collection) {}

void TLumModuleParam::Assign(const QObject* source) {
    const auto* other = qobject_cast<const TLumModuleParam*>(source);
    if (!other)
        throw Exception(QStringLiteral("Cannot assign a %1 to a TLumModuleParam")
                            .arg(source ? QString::fromLatin1(source->metaObject()->className())
                                        : QStringLiteral("nil")));
    m_name = other->m_name;
    m_direction = other->m_direction;
    m_value = other->m_value;
}

TLumModuleParams::TLumModuleParams(QObject* owner)
    : TCollection(owner, [](TCollection* c) { return new TLumModuleParam(c); }) {}

TLumModuleParam* TLumModuleParams::FindParam(const QString& name) const {
    const QString wanted = name.toUpper();
    TLumModuleParam* found = nullptr;
    for (int i = 0; i < Count(); ++i) {
        if (Items(i)->Name().toUpper() == wanted)
            found = Items(i);
    }
    return found;
}

void TLumModuleParams::Assign(const TLumModuleParams* source) {
    if (source == this)
        return;
    Clear();
    for (int i = 0; source && i < source->Count(); ++i)
        Add()->Assign(source->Items(i));
}
