#include "TCollection.h"

#include "Exception.h"

TCollectionItem::TCollectionItem(TCollection* collection) : QObject(collection) {}

TCollection* TCollectionItem::Collection() const {
    return qobject_cast<TCollection*>(parent());
}

int TCollectionItem::Index() const {
    return Collection() ? Collection()->IndexOf(this) : -1;
}

TCollection::TCollection(QObject* owner, TItemFactory factory)
    : QObject(owner), m_factory(std::move(factory)) {}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= m_items.size())
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_items[index];
}

TCollectionItem* TCollection::Add() {
    TCollectionItem* item = m_factory ? m_factory(this) : new TCollectionItem(this);
    item->setParent(this);
    m_items.append(item);
    return item;
}

void TCollection::Delete(int index) {
    delete Items(index);
    m_items.removeAt(index);
}

void TCollection::Clear() {
    qDeleteAll(m_items);
    m_items.clear();
}
