#include "uTaLumScript.h"

#include "ufLumScript.h"

TaLumScript::TaLumScript(QObject* owner, const QString& name) : TLumCustomModuleAction(owner, name) {
    ModuleFormClass = TModuleFormClass::Of<TfLumScript>();
}
