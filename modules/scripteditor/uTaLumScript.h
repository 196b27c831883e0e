#pragma once
// The module action of the script editor: it makes, docks and shows a TfLumScript.
#include "uTLumCustomModuleAction.h"
#include "uTLumCustomModuleForm.h"
#include "ufModuleParent.h"

class TaLumScript : public TLumCustomModuleAction {
    Q_OBJECT

public:
    explicit TaLumScript(QObject* owner = nullptr, const QString& name = {});
};
