#include "TRegistry.h"

#include <cstring>

namespace {

struct Store {
    // root/key (folded, without trailing "\") -> value name (folded) -> data
    QMap<QString, QMap<QString, QByteArray>> keys;
};

Store& store() {
    static Store s;
    return s;
}

QString rootPrefix(TRootKey root) {
    return root == TRootKey::HKEY_LOCAL_MACHINE ? QStringLiteral("hklm\\") : QStringLiteral("hkcu\\");
}

} // namespace

QString TRegistry::normalKey(const QString& key) {
    QString k = key.toCaseFolded();
    while (k.endsWith(QLatin1Char('\\')))
        k.chop(1);
    while (k.startsWith(QLatin1Char('\\')))
        k.remove(0, 1);
    return k;
}

bool TRegistry::OpenKeyReadOnly(const QString& key) {
    const QString full = rootPrefix(m_root) + normalKey(key);
    m_open = store().keys.contains(full);
    m_key = m_open ? full : QString();
    return m_open;
}

const QByteArray* TRegistry::value(const QString& name) const {
    if (!m_open)
        return nullptr;
    const auto k = store().keys.constFind(m_key);
    if (k == store().keys.constEnd())
        return nullptr;
    const auto v = k->constFind(name.toCaseFolded());
    return v == k->constEnd() ? nullptr : &*v;
}

bool TRegistry::ValueExists(const QString& name) const {
    return value(name) != nullptr;
}

QString TRegistry::ReadString(const QString& name) const {
    const QByteArray* v = value(name);
    if (!v)
        return QString();
    QByteArray data = *v;
    const qsizetype zero = data.indexOf('\0');
    if (zero >= 0)
        data.truncate(zero);
    return QString::fromUtf8(data);
}

int TRegistry::ReadBinaryData(const QString& name, char* buffer, int bufferSize) const {
    const QByteArray* v = value(name);
    if (!v || bufferSize <= 0)
        return 0;
    // A value larger than the buffer cannot be read at all.
    if (v->size() > bufferSize)
        return 0;
    std::memcpy(buffer, v->constData(), size_t(v->size()));
    return int(v->size());
}

void TRegistry::SetValue(TRootKey root, const QString& key, const QString& name, const QByteArray& data) {
    store().keys[rootPrefix(root) + normalKey(key)][name.toCaseFolded()] = data;
}

void TRegistry::Clear() {
    store().keys.clear();
}
