#pragma once
// The declared type of a module action's context. Modules check for the concrete
// TLumModuleInterface before they use it.
#include <QObject>

class TLumCustomInterface : public QObject {
    Q_OBJECT

public:
    explicit TLumCustomInterface(QObject* owner = nullptr) : QObject(owner) {}
};
