#pragma once
// Named values a module action exchanges with its module: inputs read by the module, outputs
// written back after a modal run.
#include "TCollection.h"

#include <QVariant>

class TLumModuleParam : public TCollectionItem {
    Q_OBJECT

public:
    enum TLumModuleParamDirection { mpdUnknown, mpdInput, mpdOutput, mpdInputOutput, mpdReturnValue };
    Q_ENUM(TLumModuleParamDirection)

private:
    Q_PROPERTY(QString Name MEMBER m_name)
    Q_PROPERTY(TLumModuleParam::TLumModuleParamDirection Direction MEMBER m_direction)
    Q_PROPERTY(QVariant Value MEMBER m_value)

public:
    explicit TLumModuleParam(TCollection* collection);

    QString Name() const { return m_name; }
    void SetName(const QString& value) { m_name = value; }
    TLumModuleParamDirection Direction() const { return m_direction; }
    void SetDirection(TLumModuleParamDirection value) { m_direction = value; }
    // Unassigned (an invalid QVariant) until set.
    QVariant Value() const { return m_value; }
    void SetValue(const QVariant& value) { m_value = value; }
    // Copies Name, Direction and Value from another parameter; any other source raises.
    void Assign(const QObject* source);

private:
    QString m_name;
    TLumModuleParamDirection m_direction = mpdUnknown;
    QVariant m_value;
};

class TLumModuleParams : public TCollection {
    Q_OBJECT

public:
    explicit TLumModuleParams(QObject* owner);
    TLumModuleParam* Items(int index) const {
        return static_cast<TLumModuleParam*>(TCollection::Items(index));
    }
    TLumModuleParam* Add() { return static_cast<TLumModuleParam*>(TCollection::Add()); }
    // The last parameter whose name equals name, letter case ignored; nullptr when none does.
    TLumModuleParam* FindParam(const QString& name) const;
    // Replaces the items by copies of source's.
    void Assign(const TLumModuleParams* source);
};
