#pragma once
// The module action of the Users tab: creates the users module and keeps two view settings that
// it applies again at every execution (the header panel, and the combined users-and-roles list).
#include "uTLumCustomModuleAction.h"
#include "uTLumCustomModuleForm.h"
#include "ufModuleParent.h"

class TfMSSQLUser;

class TLumMSSQLUserAction : public TLumCustomModuleAction {
    Q_OBJECT
    Q_PROPERTY(bool HeaderVisible READ HeaderVisible WRITE SetHeaderVisible)
    Q_PROPERTY(bool ModeUserGroups READ ModeUserGroups WRITE SetModeUserGroups)

public:
    explicit TLumMSSQLUserAction(QObject* owner = nullptr, const QString& name = {});

    bool HeaderVisible() const { return m_headerVisible; }
    // Shows the header panel (true) or the grid's column header (false) on an existing module.
    void SetHeaderVisible(bool value);
    bool ModeUserGroups() const { return m_modeUserGroups; }
    // Rebuilds the list of an existing module in the new mode.
    void SetModeUserGroups(bool value);

    TfMSSQLUser* Module() const;
    void ConfigureModule() override;

private:
    bool m_headerVisible = true;
    bool m_modeUserGroups = false;
};
