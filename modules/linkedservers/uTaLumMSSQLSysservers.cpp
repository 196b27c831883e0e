#include "uTaLumMSSQLSysservers.h"

#include "ufLumMSSQLSysservers.h"

TaLumMSSQLSysservers::TaLumMSSQLSysservers(QObject* owner, const QString& name)
    : TLumCustomModuleAction(owner, name) {
    ModuleFormClass = TModuleFormClass::Of<TfLumMSSQLSysservers>();
}
