#pragma once
// Creates components by class name, for copying controls: Qt keeps no such registry itself.
#include <QObject>
#include <QString>

#include <functional>

class QWidget;

class TClassRegistry {
public:
    using TFactory = std::function<QObject*(QObject* owner)>;

    // Registers the class of T (a QWidget made with its parent, or a QObject made with an owner).
    template <class T> static void Register() {
        Add(QString::fromLatin1(T::staticMetaObject.className()), [](QObject* owner) -> QObject* {
            if constexpr (std::is_base_of_v<QWidget, T>)
                return new T(qobject_cast<QWidget*>(owner));
            else
                return new T(owner);
        });
    }
    static void Add(const QString& className, TFactory factory);
    static bool IsRegistered(const QString& className);
    // A new object of the class; raises Exception "Class X not found" for an unknown class.
    static QObject* Create(const QString& className, QObject* owner);
};
