#pragma once
// The module action of the DB page: it creates the databases module form and tells its host when
// the module changed the list of databases.
#include "uTLumCustomModuleAction.h"
// Complete types for the action's inline QPointer members.
#include "uTLumCustomModuleForm.h"
#include "ufModuleParent.h"

class TaLumMSSQLDB : public TLumCustomModuleAction {
    Q_OBJECT

public:
    explicit TaLumMSSQLDB(QObject* owner = nullptr, const QString& name = {});

    // Fired by the form after it created, dropped or restored a database and re-read its list;
    // the sender is the module form.
    TNotifyEvent DBListChanged;
};
