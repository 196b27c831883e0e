#pragma once
// The module action of the Servers page: it creates the linked servers module form.
#include "uTLumCustomModuleAction.h"
// Complete types for the action's inline QPointer members.
#include "uTLumCustomModuleForm.h"
#include "ufModuleParent.h"

class TaLumMSSQLSysservers : public TLumCustomModuleAction {
    Q_OBJECT

public:
    explicit TaLumMSSQLSysservers(QObject* owner = nullptr, const QString& name = {});
};
