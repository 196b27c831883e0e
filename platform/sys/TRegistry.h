#pragma once
// Read access to a system registry of keys and named values. Linux has none, so the store starts
// empty and every lookup finds nothing; tests (and a future import of settings) may fill it.
#include <QByteArray>
#include <QMap>
#include <QString>

enum class TRootKey { HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER };

class TRegistry {
public:
    TRegistry() = default;

    TRootKey RootKey() const { return m_root; }
    void SetRootKey(TRootKey root) { m_root = root; }

    // Opens an existing key; never creates one. Key paths compare without case, "\" separated.
    bool OpenKeyReadOnly(const QString& key);
    void CloseKey() {
        m_key.clear();
        m_open = false;
    }
    bool ValueExists(const QString& name) const;
    // The value's text; empty when there is none.
    QString ReadString(const QString& name) const;
    // Copies up to bufferSize bytes of the value into buffer; returns the number copied (0: none).
    int ReadBinaryData(const QString& name, char* buffer, int bufferSize) const;

    // The process-wide store behind every TRegistry.
    static void SetValue(TRootKey root, const QString& key, const QString& name, const QByteArray& data);
    static void Clear();

private:
    static QString normalKey(const QString& key);
    const QByteArray* value(const QString& name) const;

    TRootKey m_root = TRootKey::HKEY_CURRENT_USER;
    QString m_key;
    bool m_open = false;
};
