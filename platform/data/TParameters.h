#pragma once
// The named parameters of a query (":name" in its text), reached by name.
#include "TColumnInfo.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

class TParameter {
public:
    explicit TParameter(QString name) : m_name(std::move(name)) {}

    const QString& Name() const { return m_name; }
    // Unassigned (an invalid QVariant) and NULL both send NULL.
    const QVariant& Value() const { return m_value; }
    void SetValue(const QVariant& value) { m_value = value; }
    // The type a NULL is sent as; a value brings its own type.
    TFieldType DataType() const { return m_dataType; }
    void SetDataType(TFieldType type) { m_dataType = type; }

private:
    QString m_name;
    QVariant m_value;
    TFieldType m_dataType = ftUnknown;
};

class TParameters {
public:
    int Count() const { return int(m_items.size()); }
    TParameter& operator[](int index) const { return *m_items.at(size_t(index)); }
    // Names compare without case; raises EDatabaseError when there is none.
    TParameter& ParamByName(const QString& name) const;
    TParameter* FindParam(const QString& name) const;
    TParameter& AddParameter(const QString& name);
    void Clear() { m_items.clear(); }
    // Makes the list exactly these names, keeping the value of a name that was there before.
    void Rebuild(const QStringList& names);

private:
    std::vector<std::unique_ptr<TParameter>> m_items;
};
