#include "ufMSSQLUser.h"

#include "TADOQuery.h"
#include "TApplication.h"
#include "TCheckListBox.h"
#include "TDataSource.h"
#include "TSqlIdentifier.h"
#include "TdxDBGrid.h"
#include "TdxDBGridColumn.h"
#include "Variants.h"
#include "uComponentUtils.h"
#include "uDatabaseUtils.h"
#include "uLumDBActions.h"
#include "uLumDialogActions.h"
#include "uTLumCustomModuleAction.h"
#include "uTLumMSSQLUserAction.h"
#include "uTLumModuleADOConnection.h"
#include "uTLumModuleInterface.h"
#include "uTLumModuleParams.h"
#include "uTLumTranslator.h"
#include "ufLumCustomDialog.h"
#include "ufModuleParent.h"

#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>

namespace {

const char* const kContentLabelKey = "ActionManager1.ActionBars.Items[1].Items.Items[1].Caption";

} // namespace

TfMSSQLUser::TfMSSQLUser() {
    setObjectName(QStringLiteral("fMSSQLUser"));
    SetCaption(QStringLiteral("Пользователи"));
    resize(435, 400);
    createComponents();
    createActions();
    createLayout();
    addTexts();
    connect(clbContent, &QListWidget::itemChanged, this, [this] {
        if (!m_loading)
            SafeCall([this] { clbContentClickCheck(); });
    });
    FormCreate();
}

void TfMSSQLUser::FormCreate() {
    isLogin = 1;
    isServer = 0;
    // The grid and the check list fill their containers (the layouts' stretch).
    gUser->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    clbContent->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

TLumMSSQLUserAction* TfMSSQLUser::userAction() const {
    return qobject_cast<TLumMSSQLUserAction*>(ModuleAction());
}

bool TfMSSQLUser::ModeUserGroups() const {
    const TLumMSSQLUserAction* action = userAction();
    return action != nullptr && action->ModeUserGroups();
}

void TfMSSQLUser::ApplyModuleInterface() {
    TLumCustomModuleForm::ApplyModuleInterface();
    if (auto* context = qobject_cast<TLumModuleInterface*>(GetModuleInterface()))
        cADO->SetMainConnection(context->ADOConnection());
}

void TfMSSQLUser::RefreshData() {
    TLumCustomModuleForm::RefreshData();
    aRefresh->Execute();
}

void TfMSSQLUser::StoreResults() {
    TLumCustomModuleForm::StoreResults();
    TLumModuleParams* params = GetParams();
    TLumModuleParam* sName = params ? params->FindParam(QStringLiteral("sName")) : nullptr;
    if (!qUser->IsEmpty() && sName)
        sName->SetValue(qUser->FieldByName(QStringLiteral("name"))->AsString());
}

void TfMSSQLUser::SetLanguage(const QString& language) {
    TLumCustomModuleForm::SetLanguage(language);
    // The label item of the membership tool bar is not a component of its own.
    if (Translator->ActiveLanguage() >= 0)
        lContent->setText(Translator->Translate(QString::fromLatin1(kContentLabelKey), lContent->text()));
}

void TfMSSQLUser::AfterShow() {
    TLumCustomModuleForm::AfterShow();
    if (m_pendingListHeight >= 0 && pBottom->isVisible()) {
        // The splitter has its real height only once the form's layout has run.
        layout()->activate();
        clbContent->SetHeight(m_pendingListHeight);
    }
}

// Views.

void TfMSSQLUser::aDBUsersExecute() {
    isLogin = 1;
    isServer = 0;
    if (TLumMSSQLUserAction* action = userAction())
        action->SetModeUserGroups(false);
    else
        aRefresh->Execute();
}

void TfMSSQLUser::aDBRolesExecute() {
    isLogin = 0;
    isServer = 0;
    if (TLumMSSQLUserAction* action = userAction())
        action->SetModeUserGroups(false);
    else
        aRefresh->Execute();
}

void TfMSSQLUser::aServerLoginsExecute() {
    isLogin = 1;
    isServer = 1;
    if (TLumMSSQLUserAction* action = userAction())
        action->SetModeUserGroups(false);
    else
        aRefresh->Execute();
}

void TfMSSQLUser::aServerRolesExecute() {
    isLogin = 0;
    isServer = 1;
    if (TLumMSSQLUserAction* action = userAction())
        action->SetModeUserGroups(false);
    else
        aRefresh->Execute();
}

void TfMSSQLUser::aDBUsersRolesExecute() {
    if (TLumMSSQLUserAction* action = userAction())
        action->SetModeUserGroups(aDBUsersRoles->Checked());
}

// The list.

void TfMSSQLUser::aRefreshBeforeExecute() {
    const bool modeUserGroups = ModeUserGroups();
    aChangePwd->SetVisible(isLogin == 1 && !modeUserGroups);

    QString kind;
    QString caption;
    if (isLogin == 1 && isServer == 1) {
        kind = Translator->Translate(QStringLiteral("sdServerLogin"));
        caption = aServerLogins->Hint();
        aServerLogins->SetChecked(true);
    } else if (isLogin == 1) {
        kind = Translator->Translate(QStringLiteral("sdDBUser"));
        if (modeUserGroups) {
            caption = aDBUsersRoles->Hint();
        } else {
            caption = aDBUsers->Hint();
            aDBUsers->SetChecked(true);
        }
    } else if (isServer == 1) {
        caption = aServerRoles->Hint();
        kind = Translator->Translate(QStringLiteral("sdServerRole"));
        aServerRoles->SetChecked(true);
    } else {
        caption = aDBRoles->Hint();
        kind = Translator->Translate(QStringLiteral("sdDBRole"));
        aDBRoles->SetChecked(true);
    }
    gUsername->SetCaption(caption);

    aAddUser->SetHint(Translator->Translate(QStringLiteral("sdAdd")) + QLatin1Char(' ') + kind);
    aDeleteUser->SetHint(Translator->Translate(QStringLiteral("sdDrop")) + QLatin1Char(' ') + kind);
    // Server roles are fixed: they can be neither added nor deleted.
    const bool canChange = !(isServer == 1 && isLogin == 0);
    aAddUser->SetEnabled(canChange);
    aDeleteUser->SetEnabled(canChange);

    pHeader->setText(caption);

    qUser->Parameters().ParamByName(QStringLiteral("isServer")).SetValue(isServer);
    if (modeUserGroups)
        qUser->Parameters().ParamByName(QStringLiteral("isLogin")).SetValue(NullVariant());
    else
        qUser->Parameters().ParamByName(QStringLiteral("isLogin")).SetValue(isLogin);

    pBottom->setVisible(!modeUserGroups);
    barUsersRoles->setVisible(modeUserGroups);
    ActionToolBar1->setVisible(!barUsersRoles->isVisibleTo(this));
}

void TfMSSQLUser::aRefreshAfterExecute() {
    TLumModuleParams* params = GetParams();
    if (TLumModuleParam* sName = params ? params->FindParam(QStringLiteral("sName")) : nullptr)
        qUser->Locate(QStringLiteral("name"), sName->Value(), loCaseInsensitive);
}

void TfMSSQLUser::qUserAfterOpen() {
    if (TField* image = qUser->FindField(QStringLiteral("nImage"))) {
        image->SetReadOnly(true);
        image->SetDisplayLabel(QStringLiteral(" "));
    }
    // The membership list is loaded once the refresh has finished and the cursor rests.
    m_followPending = true;
    PostMessage(TMessageEvent::WM_USER);
}

void TfMSSQLUser::qUserAfterScroll() {
    followSelection();
}

void TfMSSQLUser::followSelection() {
    if (qUser->ControlsDisabled() || ModeUserGroups())
        return;
    aContentRefresh->Execute();
}

void TfMSSQLUser::MessageReceived(int message, qintptr wParam, qintptr lParam) {
    if (message == TMessageEvent::WM_USER) {
        // A statement still running (its wait lets posted messages through) finishes first; a
        // load that happened meanwhile already answered the message.
        if (!m_followPending)
            return;
        if (cADO->Busy())
            QTimer::singleShot(10, this, [this] { PostMessage(TMessageEvent::WM_USER); });
        else
            followSelection();
    } else
        TLumCustomModuleForm::MessageReceived(message, wParam, lParam);
}

// Memberships.

void TfMSSQLUser::aContentRefreshExecute() {
    if (!qUser->Active() || qUser->IsEmpty()) {
        m_followPending = false;
        clbContent->clear();
        return;
    }
    m_followPending = false;
    qContent->Close();
    qContent->Parameters().ParamByName(QStringLiteral("isLogin")).SetValue(isLogin);
    qContent->Parameters().ParamByName(QStringLiteral("isServer")).SetValue(isServer);
    qContent->Parameters()
        .ParamByName(QStringLiteral("name"))
        .SetValue(qUser->FieldByName(QStringLiteral("name"))->AsString());
    qContent->Open();

    m_loading = true;
    clbContent->setUpdatesEnabled(false);
    try {
        clbContent->clear();
        for (qContent->First(); !qContent->Eof(); qContent->Next()) {
            auto* item = new QListWidgetItem(qContent->Fields()[0]->AsString(), clbContent);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            item->setCheckState(qContent->Fields()[1]->AsBoolean() ? Qt::Checked : Qt::Unchecked);
        }
    } catch (...) {
        clbContent->setUpdatesEnabled(true);
        m_loading = false;
        throw;
    }
    clbContent->setUpdatesEnabled(true);
    m_loading = false;
    aContentPost->SetEnabled(false);
    aContentCancel->SetEnabled(false);
}

void TfMSSQLUser::clbContentClickCheck() {
    aContentPost->SetEnabled(true);
    aContentCancel->SetEnabled(true);
}

void TfMSSQLUser::aContentCancelExecute() {
    aContentRefresh->Execute();
}

void TfMSSQLUser::aContentPostExecute() {
    if (!qUser->Active() || qUser->IsEmpty())
        return;
    TParameters& p = qContentChange->Parameters();
    p.ParamByName(QStringLiteral("isLogin")).SetValue(isLogin);
    p.ParamByName(QStringLiteral("isServer")).SetValue(isServer);
    p.ParamByName(QStringLiteral("name")).SetValue(qUser->FieldByName(QStringLiteral("name"))->AsString());
    for (qContent->First(); !qContent->Eof(); qContent->Next()) {
        const bool ticked = clbContent->Checked(qContent->RecNo() - 1);
        if (ticked == qContent->Fields()[1]->AsBoolean())
            continue;
        p.ParamByName(QStringLiteral("name2")).SetValue(qContent->Fields()[0]->AsString());
        p.ParamByName(QStringLiteral("bInclude")).SetValue(ticked);
        qContentChange->ExecSQL();
    }
    aContentRefresh->Execute();
}

// Adding, deleting, passwords.

bool TfMSSQLUser::inputQuery(const QString& caption, const QString& prompt, QString& value) {
    QInputDialog box(this);
    box.setObjectName(QStringLiteral("InputQuery"));
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setTextValue(value);
    if (prompt == Translator->Translate(QStringLiteral("sdEnterPwd")))
        box.setTextEchoMode(QLineEdit::Password);
    if (box.exec() != QDialog::Accepted)
        return false;
    value = box.textValue();
    return true;
}

void TfMSSQLUser::aAddUserExecute() {
    const QString caption =
        pHeader->text() + QStringLiteral(": ") + Translator->Translate(QStringLiteral("sdCreate"));
    QString name;
    if (!inputQuery(caption, Translator->Translate(QStringLiteral("sdEnterName")), name))
        return;
    QString password;
    if (isLogin == 1) {
        QVariant count;
        QueryFirstValue(QStringLiteral("select count(1) from master..syslogins where name = ") +
                            TSqlIdentifier::StringLiteral(name),
                        cADO, count);
        // Only a new login needs a password; an existing one (or no answer) is mapped as it is.
        if (!IsNullOrUnassigned(count) && count.toLongLong() == 0 &&
            !inputQuery(caption, Translator->Translate(QStringLiteral("sdEnterPwd")), password))
            return;
    }
    TParameters& p = qAdd->Parameters();
    p.ParamByName(QStringLiteral("isLogin")).SetValue(isLogin);
    p.ParamByName(QStringLiteral("isServer")).SetValue(isServer);
    p.ParamByName(QStringLiteral("name")).SetValue(name);
    p.ParamByName(QStringLiteral("pwd")).SetValue(password);
    qAdd->ExecSQL();
    aRefresh->Execute();
    qUser->Locate(QStringLiteral("name"), name, loCaseInsensitive);
}

void TfMSSQLUser::aDeleteUserExecute() {
    if (!qUser->Active() || qUser->IsEmpty())
        return;
    const QString name = qUser->FieldByName(QStringLiteral("name"))->AsString();
    if (!ConfirmBox(QStringLiteral("Удалить \"") + name + QStringLiteral("\"?")))
        return;
    TParameters& p = qDelete->Parameters();
    p.ParamByName(QStringLiteral("isLogin")).SetValue(isLogin);
    p.ParamByName(QStringLiteral("isServer")).SetValue(isServer);
    p.ParamByName(QStringLiteral("name")).SetValue(name);
    qDelete->ExecSQL();
    aRefresh->Execute();
}

void TfMSSQLUser::aChangePwdOk() {
    if (!qUser->Active() || qUser->IsEmpty())
        return;
    qChangePwd->Parameters()
        .ParamByName(QStringLiteral("name"))
        .SetValue(qUser->FieldByName(QStringLiteral("name"))->AsString());
    qChangePwd->Parameters().ParamByName(QStringLiteral("pwd")).SetValue(aChangePwd->NewPassword());
    qChangePwd->ExecSQL();
    ShowInfo(Translator->Translate(QStringLiteral("PasswordChanged")));
}

// Keyboard and mouse.

void TfMSSQLUser::gUserKeyDown(int& key) {
    if (key == Qt::Key_Delete)
        aDeleteUser->Execute();
    else if (key == Qt::Key_Insert)
        aAddUser->Execute();
}

void TfMSSQLUser::gUserDblClick() {
    TLumMSSQLUserAction* action = userAction();
    if (action == nullptr || !action->ShowModalProperty())
        return;
    if (TfModuleParent* window = action->ModuleParent())
        window->SetModalResult(mrOk);
}
