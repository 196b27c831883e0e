// Membership editing on the Users tab: loading, ticking, saving one statement per change, a save
// failing halfway, cancelling, and principals whose names need care (a quote, Cyrillic).
#include "UsersFixture.h"

using namespace userstest;

namespace {

class UsersMembership : public UsersFixture {
protected:
    void tick(TfMSSQLUser* form, const QString& item, bool value) {
        const int i = itemIndex(form, item);
        ASSERT_GE(i, 0) << item.toStdString();
        form->clbContent->SetChecked(i, value);
    }
};

TEST_F(UsersMembership, SaveSendsOneStatementPerChangedItemAndReloads) {
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(select(form, "clerk"));
    ASSERT_TRUE(isRoleMember("clerk", "SalesReaders"));
    ASSERT_FALSE(isRoleMember("clerk", "Бухгалтерия"));
    // Members first: public and SalesReaders are ticked.
    EXPECT_EQ(ticked(form), (QStringList{"public", "SalesReaders"}));
    EXPECT_EQ(form->clbContent->item(0)->text(), "public");

    tick(form, "SalesReaders", false);
    tick(form, "Бухгалтерия", true);
    EXPECT_TRUE(form->aContentPost->Enabled());
    EXPECT_TRUE(form->aContentCancel->Enabled());
    const QStringList before = changeStatements();
    form->aContentPost->trigger();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    // In list order: SalesReaders (a member, listed first) is dropped, then Бухгалтерия added.
    EXPECT_EQ(changeStatements().mid(before.size()), (QStringList{"0", "1"}));
    EXPECT_EQ(executed().filter("@bInclude").last(),
              sent(form->qContentChange, {"isServer", "isLogin", "bInclude", "name", "name2"}));
    EXPECT_TRUE(executed().contains(sent(form->qContent, {"isLogin", "name", "isserver"})));
    EXPECT_FALSE(isRoleMember("clerk", "SalesReaders"));
    EXPECT_TRUE(isRoleMember("clerk", "Бухгалтерия"));
    EXPECT_EQ(ticked(form), (QStringList{"public", "Бухгалтерия"}));
    EXPECT_FALSE(form->aContentPost->Enabled());
    EXPECT_FALSE(form->aContentCancel->Enabled());

    // A role's list shows its members the same way.
    form->aDBRoles->trigger();
    ASSERT_TRUE(select(form, "Бухгалтерия"));
    EXPECT_EQ(ticked(form), (QStringList{"clerk", "manager"}));
}

TEST_F(UsersMembership, ASaveFailingAtTheSecondItemKeepsTheFirstAndTheTicks) {
    sa->Execute("exec sp_addrole N'Temp'");
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(select(form, "manager"));
    tick(form, "db_datawriter", true);
    tick(form, "Temp", true);
    // The role goes away on the server before the save reaches it.
    sa->Execute("exec sp_droprole N'Temp'");
    const QStringList before = changeStatements();
    form->aContentPost->trigger();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("Temp")) << errors[0].toStdString();
    EXPECT_EQ(changeStatements().mid(before.size()), (QStringList{"1", "1"}));
    EXPECT_TRUE(isRoleMember("manager", "db_datawriter"));
    EXPECT_TRUE(ticked(form).contains("db_datawriter"));
    EXPECT_TRUE(ticked(form).contains("Temp"));
    EXPECT_TRUE(form->aContentPost->Enabled());
    EXPECT_TRUE(form->aContentCancel->Enabled());
}

TEST_F(UsersMembership, CancelAndMovingOnRestoreTheServersState) {
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(select(form, "clerk"));
    const QStringList server = ticked(form);
    tick(form, "db_owner", true);
    tick(form, "SalesReaders", false);
    const qsizetype sent = changeStatements().size();
    form->aContentCancel->trigger();
    EXPECT_EQ(ticked(form), server);
    EXPECT_FALSE(form->aContentPost->Enabled());
    EXPECT_FALSE(form->aContentCancel->Enabled());
    EXPECT_EQ(changeStatements().size(), sent);
    EXPECT_FALSE(isRoleMember("clerk", "db_owner"));

    // Unsaved ticks are dropped when another principal is selected.
    tick(form, "db_owner", true);
    ASSERT_TRUE(select(form, "manager"));
    ASSERT_TRUE(select(form, "clerk"));
    EXPECT_EQ(ticked(form), server);
    EXPECT_EQ(changeStatements().size(), sent);
}

TEST_F(UsersMembership, ServerRoleMembershipsOfALogin) {
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);
    form->aServerLogins->trigger();
    ASSERT_TRUE(select(form, "manager"));
    const QStringList before = ticked(form);
    ASSERT_FALSE(before.contains("diskadmin"));
    tick(form, "diskadmin", true);
    form->aContentPost->trigger();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(value("select is_srvrolemember(N'diskadmin', N'manager')"), "1");
    EXPECT_TRUE(ticked(form).contains("diskadmin"));
    EXPECT_EQ(ticked(form).size(), before.size() + 1);
    // The role's side: its member logins come first.
    form->aServerRoles->trigger();
    ASSERT_TRUE(select(form, "diskadmin"));
    const QStringList members = ticked(form);
    EXPECT_TRUE(members.contains("manager"));
    for (int i = 0; i < members.size(); ++i)
        EXPECT_TRUE(form->clbContent->Checked(i)) << i;
}

TEST_F(UsersMembership, NamesWithAQuoteOrInCyrillicLoadAndSave) {
    sa->Execute("exec sp_addlogin N'O''Brien', N'pw'");
    sa->Execute("exec sp_grantdbaccess N'O''Brien'");
    sa->Execute("exec sp_grantdbaccess N'Оператор'");
    sa->Execute("exec sp_addrolemember N'Бухгалтерия', N'Оператор'");
    TfMSSQLUser* form = openUsers();
    ASSERT_NE(form, nullptr);

    ASSERT_TRUE(select(form, "O'Brien"));
    EXPECT_EQ(ticked(form), (QStringList{"public"}));
    tick(form, "SalesReaders", true);
    form->aContentPost->trigger();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_TRUE(isRoleMember("O'Brien", "SalesReaders"));
    EXPECT_EQ(ticked(form), (QStringList{"public", "SalesReaders"}));

    ASSERT_TRUE(select(form, "Оператор"));
    EXPECT_EQ(ticked(form), (QStringList{"public", "Бухгалтерия"}));
    tick(form, "Бухгалтерия", false);
    tick(form, "SalesReaders", true);
    form->aContentPost->trigger();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_FALSE(isRoleMember("Оператор", "Бухгалтерия"));
    EXPECT_TRUE(isRoleMember("Оператор", "SalesReaders"));

    // From the role's side both names are found as members.
    form->aDBRoles->trigger();
    ASSERT_TRUE(select(form, "SalesReaders"));
    EXPECT_TRUE(ticked(form).contains("O'Brien"));
    EXPECT_TRUE(ticked(form).contains("Оператор"));
}

} // namespace
