#pragma once
// The fields of a data set, in column order.
#include "EDatabaseError.h"
#include "TField.h"

#include <QList>

class TFields {
public:
    int Count() const { return int(m_items.size()); }
    TField* operator[](int index) const { return m_items.at(index); }
    // Names compare without case. FieldByName raises EDatabaseError when there is none.
    TField* FindField(const QString& name) const {
        for (TField* f : m_items) {
            if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
                return f;
        }
        return nullptr;
    }
    TField* FieldByName(const QString& name) const {
        TField* f = FindField(name);
        if (f == nullptr)
            throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
        return f;
    }

    // Ownership stays with the data set (the fields are its QObject children).
    void Add(TField* field) { m_items.append(field); }
    void Clear() { m_items.clear(); }
    const QList<TField*>& Items() const { return m_items; }

private:
    QList<TField*> m_items;
};
