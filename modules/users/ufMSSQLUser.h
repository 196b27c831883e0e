#pragma once
// The Users tab: one kind of security principal at a time (server logins, server roles, database
// users, database roles, or database users and roles together) and, under it, the membership of
// the selected principal as a check list. Adds, deletes, edits memberships and changes a login's
// password, all through the module's own connection on the host's session.
#include "uTLumCustomModuleForm.h"

class QLabel;
class TCheckListBox;
class QListWidgetItem;
class QSplitter;
class QToolBar;
class TAction;
class TADOQuery;
class TDataSource;
class TImageList;
class TLumDatasetRefresh;
class TLumMSSQLUserAction;
class TLumModuleADOConnection;
class TLumModuleParams;
class TLumPasswordDialogAction;
class TdxDBGrid;
class TdxDBGridColumn;

class TfMSSQLUser : public TLumCustomModuleForm {
    Q_OBJECT

public:
    TfMSSQLUser();

    // View state, named after the statement parameters that receive it.
    int isLogin = 1;
    int isServer = 0;

    void ApplyModuleInterface() override;
    void RefreshData() override;
    void StoreResults() override;
    void SetLanguage(const QString& language) override;
    void AfterShow() override;

    // The module action's combined users-and-roles mode (false without such an action).
    bool ModeUserGroups() const;

    // Handlers.
    void aDBUsersExecute();
    void aDBRolesExecute();
    void aServerLoginsExecute();
    void aServerRolesExecute();
    void aDBUsersRolesExecute();
    void aRefreshBeforeExecute();
    void aRefreshAfterExecute();
    void qUserAfterOpen();
    void qUserAfterScroll();
    void aContentRefreshExecute();
    void aContentPostExecute();
    void aContentCancelExecute();
    void clbContentClickCheck();
    void aAddUserExecute();
    void aDeleteUserExecute();
    void aChangePwdOk();
    void gUserKeyDown(int& key);
    void gUserDblClick();

    TLumModuleADOConnection* cADO;
    TADOQuery* qUser;
    TDataSource* dsUser;
    TADOQuery* qContent;
    TADOQuery* qContentChange;
    TADOQuery* qAdd;
    TADOQuery* qDelete;
    TADOQuery* qChangePwd;
    TImageList* ilAction;

    TAction* aDBUsers;
    TAction* aDBRoles;
    TAction* aServerLogins;
    TAction* aServerRoles;
    TAction* aDBUsersRoles;
    TAction* aAddUser;
    TAction* aDeleteUser;
    TLumPasswordDialogAction* aChangePwd;
    TLumDatasetRefresh* aRefresh;
    TAction* aContentRefresh;
    TAction* aContentPost;
    TAction* aContentCancel;

    QLabel* pHeader;
    QToolBar* ActionToolBar1;
    QToolBar* barUsersRoles;
    TdxDBGrid* gUser;
    TdxDBGridColumn* gUserImage;
    TdxDBGridColumn* gUsername;
    QSplitter* sBottom;
    QWidget* pBottom;
    QToolBar* ActionToolBar2;
    QLabel* lContent; // the label item "Content" on ActionToolBar2
    TCheckListBox* clbContent;

protected:
    void MessageReceived(int message, qintptr wParam, qintptr lParam) override;

private:
    void createComponents();
    void createActions();
    void createLayout();
    void addTexts();
    void FormCreate();
    void followSelection();
    TLumMSSQLUserAction* userAction() const;
    // A single-line input box; false when cancelled.
    bool inputQuery(const QString& caption, const QString& prompt, QString& value);

    int m_pendingListHeight = -1; // a stored list height read before the form was laid out
    bool m_loading = false;       // the check list is being filled by code
    bool m_followPending = false; // a list was opened and its membership list is not loaded yet
};
