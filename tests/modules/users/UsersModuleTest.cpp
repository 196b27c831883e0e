// The Users tab end to end: views, layouts, adding, deleting, passwords and server errors, in the
// real main window against the simulator's demo instance.
#include "UsersFixture.h"

#include "TIniFile.h"
#include "TdxDBGridColumn.h"
#include "uLumDBActions.h"
#include "uTLumModuleADOConnection.h"
#include "uTLumModuleParams.h"
#include "ufChangePassword.h"
#include "ufModuleParent.h"

#include <QSplitter>
#include <QTimer>
#include <QToolBar>

#include <functional>

using namespace userstest;

namespace {

QStringList barItems(QToolBar* bar) {
    QStringList out;
    for (QAction* a : bar->actions())
        out << (a->isSeparator()            ? QStringLiteral("|")
                : a->objectName().isEmpty() ? QStringLiteral("label")
                                            : a->objectName());
    return out;
}

class UsersModule : public UsersFixture {};

TEST_F(UsersModule, AFreshModuleOpensInTheDatabaseUsersView) {
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->parentWidget(), window->tsUsers);
    EXPECT_EQ(form->pHeader->text(), "DB users");
    EXPECT_TRUE(form->pHeader->isVisible());
    EXPECT_FALSE(form->gUser->ShowHeader());
    EXPECT_EQ(form->gUsername->Caption(), "DB users");
    EXPECT_EQ(form->aAddUser->Hint(), "Add db user");
    EXPECT_EQ(form->aDeleteUser->Hint(), "Delete db user");
    EXPECT_TRUE(form->aDBUsers->Checked());
    EXPECT_FALSE(form->aServerLogins->Checked());
    EXPECT_TRUE(form->aAddUser->Enabled());
    EXPECT_TRUE(form->aChangePwd->Visible());
    EXPECT_TRUE(form->pBottom->isVisible());
    EXPECT_TRUE(form->ActionToolBar1->isVisible());
    EXPECT_FALSE(form->barUsersRoles->isVisible());
    // Tool bars in their order, icons only; the membership bar's label speaks the language too.
    EXPECT_EQ(barItems(form->ActionToolBar1),
              (QStringList{"|", "aDBUsers", "aDBRoles", "aServerLogins", "aServerRoles", "|", "aAddUser",
                           "aDeleteUser", "aChangePwd", "|", "aRefresh"}));
    EXPECT_EQ(barItems(form->ActionToolBar2),
              (QStringList{"|", "label", "|", "aContentPost", "aContentCancel", "|", "aContentRefresh"}));
    EXPECT_EQ(form->ActionToolBar1->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(form->ActionToolBar2->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(form->lContent->text(), "Content");
    EXPECT_EQ(form->ActionToolBar2->windowTitle(), "Content");
    EXPECT_EQ(form->aContentPost->Hint(), "Save");
    EXPECT_EQ(form->ilAction->Count(), 11);
    // The membership panel starts at its design height.
    EXPECT_TRUE(SpinUntil([&] { return form->pBottom->height() == 228; }, 3000)) << form->pBottom->height();
    // The database's users by name, the first one current and its roles loaded.
    const QStringList users = gridNames(form);
    EXPECT_EQ(users, values("select name from Sales..sysusers where islogin = 1 order by name"));
    EXPECT_EQ(current(form), users.first());
    EXPECT_FALSE(form->gUser->ShowGrid());
    EXPECT_EQ(form->gUser->SummaryText(form->gUsername), QString::number(users.size()));
    EXPECT_EQ(form->gUserImage->Images(), form->ilAction);
    EXPECT_EQ(form->qUser->FieldByName("nImage")->DisplayLabel(), " ");
    EXPECT_FALSE(form->aContentPost->Enabled());
    EXPECT_FALSE(form->aContentCancel->Enabled());
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(UsersModule, RussianTextsAndTheStoredListHeight) {
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    window->LumModuleInterface1->SetLanguage("Russian");
    form->SetLanguage("Russian");
    form->aRefresh->trigger();
    EXPECT_EQ(form->pHeader->text(), "Пользователи БД");
    EXPECT_EQ(form->aAddUser->Hint(), "Добавить пользователя БД");
    EXPECT_EQ(form->aDeleteUser->Hint(), "Удалить пользователя БД");
    EXPECT_EQ(form->lContent->text(), "Состав");
    EXPECT_EQ(form->aContentCancel->Hint(), "Отмена");
    form->aServerLogins->trigger();
    EXPECT_EQ(form->aAddUser->Hint(), "Добавить Пользователи MS SQL");

    // The membership list's height is kept when the module is hidden and read by the next one.
    form->clbContent->SetHeight(90);
    ASSERT_TRUE(SpinUntil([&] { return form->clbContent->Height() == 90; }, 3000))
        << form->clbContent->Height();
    form->hide();
    EXPECT_EQ(TIniFile(dir.filePath("marlinde.ini")).ReadInteger("fMSSQLUser.clbContent", "Height", -1), 90);
    window->aUser->FreeModule();
    window->aUser->ShowModule();
    TfMSSQLUser* next = module();
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(SpinUntil([&] { return next->clbContent->Height() == 90; }, 3000))
        << next->clbContent->Height();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(UsersModule, ViewsSetHintsEnabledStatesAndThePasswordButton) {
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    form->aServerRoles->trigger();
    EXPECT_EQ(form->pHeader->text(), "Server roles");
    EXPECT_EQ(form->aAddUser->Hint(), "Add server role");
    EXPECT_EQ(form->aDeleteUser->Hint(), "Delete server role");
    EXPECT_FALSE(form->aAddUser->Enabled());
    EXPECT_FALSE(form->aDeleteUser->Enabled());
    EXPECT_FALSE(form->aChangePwd->Visible());
    EXPECT_TRUE(form->aServerRoles->Checked());
    EXPECT_FALSE(form->aDBUsers->Checked());
    EXPECT_EQ(gridNames(form).mid(0, 2), (QStringList{"sysadmin", "securityadmin"}));
    // The Delete and Insert keys do nothing here: no confirmation, no input box.
    const qsizetype before = sim->logLines().size();
    int del = Qt::Key_Delete, ins = Qt::Key_Insert;
    form->gUserKeyDown(del);
    form->gUserKeyDown(ins);
    EXPECT_EQ(sim->logLines().size(), before);

    form->aServerLogins->trigger();
    EXPECT_EQ(form->pHeader->text(), "Server logins");
    EXPECT_EQ(form->aAddUser->Hint(), "Add MS SQL Users");
    EXPECT_TRUE(form->aAddUser->Enabled());
    EXPECT_TRUE(form->aChangePwd->Visible());
    EXPECT_EQ(gridNames(form), values("select name from master..syslogins order by name"));

    form->aDBRoles->trigger();
    EXPECT_EQ(form->pHeader->text(), "DB roles");
    EXPECT_EQ(form->aDeleteUser->Hint(), "Delete group");
    EXPECT_FALSE(form->aChangePwd->Visible());
    EXPECT_TRUE(gridNames(form).contains("SalesReaders"));

    form->aDBUsers->trigger();
    EXPECT_TRUE(form->aChangePwd->Visible());
    EXPECT_EQ(form->aAddUser->Hint(), "Add db user");
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(UsersModule, HeaderHiddenAndCombinedUsersAndRolesLayouts) {
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    window->aUser->SetHeaderVisible(false);
    EXPECT_FALSE(form->pHeader->isVisible());
    EXPECT_TRUE(form->gUser->ShowHeader());
    EXPECT_EQ(form->gUsername->Caption(), "DB users");

    form->aDBUsersRoles->trigger();
    EXPECT_TRUE(window->aUser->ModeUserGroups());
    EXPECT_FALSE(form->pBottom->isVisible());
    EXPECT_FALSE(form->ActionToolBar1->isVisible());
    EXPECT_TRUE(form->barUsersRoles->isVisible());
    EXPECT_EQ(form->pHeader->text(), "");
    EXPECT_EQ(form->gUsername->Caption(), "");
    // Roles first, then users, each by name.
    const QStringList roles = values("select name from Sales..sysusers where islogin = 0 order by name");
    const QStringList users = values("select name from Sales..sysusers where islogin = 1 order by name");
    EXPECT_EQ(gridNames(form), roles + users);

    // Showing the module again keeps both settings.
    window->aUser->Execute();
    EXPECT_FALSE(form->pHeader->isVisible());
    EXPECT_TRUE(form->barUsersRoles->isVisible());

    form->aDBUsers->trigger();
    EXPECT_FALSE(window->aUser->ModeUserGroups());
    EXPECT_TRUE(form->pBottom->isVisible());
    EXPECT_TRUE(form->ActionToolBar1->isVisible());
    EXPECT_EQ(gridNames(form), users);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(UsersModule, AddingAnExistingLoginOnlyGrantsAccessAndBecomesCurrentInAnyCase) {
    sa->Execute("exec sp_addlogin N'zed', N'pw'");
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    ASSERT_FALSE(userExists("zed"));
    const QString loginsBefore = value("select count(*) from master..syslogins");
    // One input box only: a password box would be left open and fail the driver.
    ModalDriver driver({answer("ZED", "DB users: Creation", "Enter name")}, 8000);
    form->aAddUser->trigger();
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_TRUE(userExists("zed"));
    EXPECT_EQ(value("select count(*) from master..syslogins"), loginsBefore);
    EXPECT_EQ(current(form).compare("zed", Qt::CaseInsensitive), 0);
    EXPECT_NE(gridNames(form).first().compare("zed", Qt::CaseInsensitive), 0);
}

TEST_F(UsersModule, AddingANewNameAsksAPasswordCreatesTheLoginAndMapsIt) {
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    ModalDriver driver({answer("Кассир", "DB users: Creation", "Enter name"),
                        answer("пароль1", "DB users: Creation", "Enter password:")},
                       8000);
    form->aAddUser->trigger();
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_TRUE(loginExists("Кассир"));
    EXPECT_TRUE(userExists("Кассир"));
    EXPECT_TRUE(testsupport::SimRequests(*sim, "batch", "text")
                    .contains("select count(1) from master..syslogins where name = N'Кассир'"));
    EXPECT_TRUE(executed().contains(sent(form->qAdd, {"isServer", "isLogin", "name", "pwd"})));
    EXPECT_EQ(current(form), "Кассир");
    // The password arrived whole.
    TADOConnection c;
    c.SetConnectionString(
        QStringLiteral("Data Source=%1;User ID=Кассир;Password=пароль1").arg(testsupport::SimServer(*sim)));
    EXPECT_NO_THROW(c.Open());

    // Cancelling the name box changes nothing.
    const QStringList before = gridNames(form);
    ModalDriver cancel({[](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); }}, 8000);
    form->aAddUser->trigger();
    EXPECT_EQ(cancel.Remaining(), 0);
    EXPECT_EQ(gridNames(form), before);
}

TEST_F(UsersModule, ServerErrorsAreShownAndLeaveTheListAsItWas) {
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    form->aServerLogins->trigger();
    ASSERT_TRUE(select(form, "manager"));
    const QStringList before = gridNames(form);
    ModalDriver driver({answer("clerk")}, 8000);
    form->aAddUser->trigger();
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(errors, (QStringList{"The server principal 'clerk' already exists."}));
    EXPECT_EQ(gridNames(form), before);
    EXPECT_EQ(current(form), "manager");
}

TEST_F(UsersModule, ALoginWithoutRightsGetsTheServersRefusal) {
    TfMSSQLUser* form = openUsers("clerk", "clerk");
    ASSERT_NE(form, nullptr);
    form->aServerLogins->trigger();
    const QStringList before = gridNames(form);
    ModalDriver driver({answer("intruder"), answer("pw")}, 8000);
    form->aAddUser->trigger();
    EXPECT_EQ(driver.Remaining(), 0);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("permission")) << errors[0].toStdString();
    EXPECT_FALSE(loginExists("intruder"));
    EXPECT_EQ(gridNames(form), before);
}

TEST_F(UsersModule, DeleteAsksInRussianAndRevokesAccess) {
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(select(form, "manager"));
    QString asked;
    ModalDriver cancel({[&](QWidget* modal) {
                           asked = ModalDriver::Text(modal);
                           qobject_cast<QDialog*>(modal)->reject();
                       }},
                       8000);
    int key = Qt::Key_Delete;
    form->gUserKeyDown(key);
    EXPECT_EQ(asked, "Удалить \"manager\"?");
    EXPECT_TRUE(userExists("manager"));

    ModalDriver ok({message(&asked)}, 8000);
    form->aDeleteUser->trigger();
    EXPECT_EQ(ok.Remaining(), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_FALSE(userExists("manager"));
    EXPECT_TRUE(loginExists("manager"));
    EXPECT_FALSE(gridNames(form).contains("manager"));
}

TEST_F(UsersModule, ChangePasswordWithTheOldFieldDisabled) {
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    form->aServerLogins->trigger();
    ASSERT_TRUE(select(form, "Оператор"));
    QString info;
    ModalDriver driver({[](QWidget* modal) {
                            auto* dialog = qobject_cast<TfChangePassword*>(modal);
                            ASSERT_NE(dialog, nullptr);
                            EXPECT_FALSE(dialog->eOld->isEnabled());
                            dialog->eNew->setText("новый");
                            dialog->eNew2->setText("новый");
                            dialog->SetModalResult(mrOk);
                        },
                        message(&info)},
                       8000);
    form->aChangePwd->trigger();
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(info, "Pasword has successfully changed.");
    TADOConnection c;
    c.SetConnectionString(
        QStringLiteral("Data Source=%1;User ID=Оператор;Password=новый").arg(testsupport::SimServer(*sim)));
    EXPECT_NO_THROW(c.Open());
}

TEST_F(UsersModule, SwitchingDatabaseRebuildsTheModule) {
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    form->aServerLogins->trigger();
    QPointer<TfMSSQLUser> old(form);
    const int master = window->dxbcDB->findText("master");
    ASSERT_GE(master, 0);
    window->dxbcDB->setCurrentIndex(master);
    emit window->dxbcDB->activated(master);
    ASSERT_TRUE(SpinUntil([&] { return old.isNull() && module() != nullptr; }));
    TfMSSQLUser* fresh = module();
    ASSERT_TRUE(waitContent(fresh));
    EXPECT_EQ(fresh->pHeader->text(), "DB users");
    EXPECT_TRUE(fresh->aDBUsers->Checked());
    EXPECT_EQ(gridNames(fresh), values("select name from master..sysusers where islogin = 1 order by name"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(UsersModule, AModalRunChoosesAPrincipalByDoubleClick) {
    ASSERT_NE(openUsers(), nullptr);
    TLumMSSQLUserAction chooser(window.get(), "aChooseUser");
    chooser.SetModuleInterface(window->LumModuleInterface1);
    chooser.SetShowModal(true);
    TLumModuleParam* sName = chooser.Params()->Add();
    sName->SetName("sName");
    sName->SetValue("MANAGER");
    bool located = false;
    bool chosen = false;
    // The driver's timer may fire while the module's first membership load still waits on the
    // server: the choice is made once the connection is free.
    std::function<void()> choose = [&] {
        TfMSSQLUser* form = chooser.Module();
        if (form == nullptr)
            return;
        if (form->cADO->Busy()) {
            QTimer::singleShot(10, form, choose);
            return;
        }
        located = current(form) == "manager";
        chosen = select(form, "clerk");
        form->gUserDblClick();
    };
    ModalDriver driver({[&](QWidget* modal) {
                           ASSERT_NE(qobject_cast<TfModuleParent*>(modal), nullptr);
                           choose();
                       }},
                       8000);
    EXPECT_TRUE(chooser.Execute());
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_TRUE(located);
    EXPECT_TRUE(chosen);
    EXPECT_EQ(sName->Value().toString(), "clerk");
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

} // namespace
