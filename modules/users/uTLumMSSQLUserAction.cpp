#include "uTLumMSSQLUserAction.h"

#include "TdxDBGrid.h"
#include "uLumDBActions.h"
#include "ufMSSQLUser.h"

#include <QLabel>
#include <QWidget>

TLumMSSQLUserAction::TLumMSSQLUserAction(QObject* owner, const QString& name)
    : TLumCustomModuleAction(owner, name) {
    ModuleFormClass = TModuleFormClass::Of<TfMSSQLUser>();
    Loaded();
}

TfMSSQLUser* TLumMSSQLUserAction::Module() const {
    return qobject_cast<TfMSSQLUser*>(ModuleForm());
}

void TLumMSSQLUserAction::SetHeaderVisible(bool value) {
    m_headerVisible = value;
    if (TfMSSQLUser* form = Module()) {
        // Exactly one of the two carries the view name.
        form->pHeader->setVisible(value);
        form->gUser->SetShowHeader(!value);
    }
}

void TLumMSSQLUserAction::SetModeUserGroups(bool value) {
    m_modeUserGroups = value;
    if (TfMSSQLUser* form = Module())
        form->aRefresh->Execute();
}

void TLumMSSQLUserAction::ConfigureModule() {
    TLumCustomModuleAction::ConfigureModule();
    SetHeaderVisible(m_headerVisible);
    SetModeUserGroups(m_modeUserGroups);
}
