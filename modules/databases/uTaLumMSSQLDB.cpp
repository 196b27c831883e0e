#include "uTaLumMSSQLDB.h"

#include "ufLumMSSQLDB.h"

TaLumMSSQLDB::TaLumMSSQLDB(QObject* owner, const QString& name) : TLumCustomModuleAction(owner, name) {
    ModuleFormClass = TModuleFormClass::Of<TfLumMSSQLDB>();
}
