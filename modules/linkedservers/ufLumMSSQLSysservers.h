#pragma once
// The linked servers module: the servers the connected server knows, as icons; adding a linked
// SQL Server with one remote login for every local login, and dropping one with its logins.
#include "uTLumCustomModuleForm.h"
// Complete types for the framework's inline QPointer members.
#include "uTLumCustomModuleAction.h"
#include "ufModuleParent.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QToolBar;
class QWidget;
class TADOQuery;
class TAction;
class TDataSource;
class TImageList;
class TLumControlDialogAction;
class TLumDBListView;
class TLumDatasetRefresh;
class TLumModuleADOConnection;

class TfLumMSSQLSysservers : public TLumCustomModuleForm {
    Q_OBJECT

public:
    explicit TfLumMSSQLSysservers(QWidget* parent = nullptr);

    void ApplyModuleInterface() override;
    void RefreshData() override;

    void aAddBeforeExecute();
    void aAddOk();
    void aDropExecute();

    QLabel* pHeader;
    QToolBar* ActionToolBar1;
    TLumDBListView* dblv;
    TLumModuleADOConnection* cADO;
    TADOQuery* qServers;
    TDataSource* dsDB;
    QWidget* pServer;
    QComboBox* cbServerType;
    QLineEdit* eServer;
    QLineEdit* eLogin;
    QLineEdit* ePwd;
    TImageList* il;
    TImageList* ilView;
    TLumDatasetRefresh* aRefresh;
    TLumControlDialogAction* aAdd;
    TAction* aDrop;

private:
    void createComponents();
    void createServerPanel();
    // The srvname field of qServers' current row.
    QString SelectedServer() const;
};
