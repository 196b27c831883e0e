#pragma once
// A published collection: an ordered list of items, each a QObject with its own properties.
// Property paths reach an item as "Items[i]".
#include <QList>
#include <QObject>

#include <functional>

class TCollection;

class TCollectionItem : public QObject {
    Q_OBJECT

public:
    explicit TCollectionItem(TCollection* collection);
    TCollection* Collection() const;
    int Index() const;
};

class TCollection : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Count READ Count)

public:
    using TItemFactory = std::function<TCollectionItem*(TCollection* collection)>;

    // Items are made by factory (plain TCollectionItem objects without one).
    explicit TCollection(QObject* owner = nullptr, TItemFactory factory = {});

    int Count() const { return int(m_items.size()); }
    // Raises Exception "List index out of bounds (i)" for an index outside the list.
    TCollectionItem* Items(int index) const;
    TCollectionItem* Add();
    void Delete(int index);
    void Clear();
    int IndexOf(const TCollectionItem* item) const { return int(m_items.indexOf(item)); }

private:
    TItemFactory m_factory;
    QList<TCollectionItem*> m_items;
};
