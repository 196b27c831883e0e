// The linked servers module end to end against the simulator's model: the page, adding a server
// with its login mapping, dropping one, and a mapping the login may not make.
#include "DemoSimSuite.h"
#include "Exception.h"
#include "ModalDriver.h"
#include "SimLog.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TApplication.h"
#include "TButton.h"
#include "uLumDBActions.h"
#include "uLumDialogActions.h"
#include "uTLumDBListView.h"
#include "uTLumDlgButtonPanel.h"
#include "uTLumModuleInterface.h"
#include "uTaLumMSSQLSysservers.h"
#include "ufLumCustomDialog.h"
#include "ufLumMSSQLSysservers.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

using testsupport::ModalDriver;

namespace {

class LinkedServersModuleTest : public testsupport::DemoSimSuite {
protected:
    QTemporaryDir dir;
    TADOConnection connection;
    TLumModuleInterface context;
    QWidget page;
    std::unique_ptr<TaLumMSSQLSysservers> action;
    TfLumMSSQLSysservers* form = nullptr;
    QStringList errors;

    void SetUp() override { open("sa", "sa"); }
    void TearDown() override {
        action.reset();
        TApplication::Instance()->OnException = nullptr;
    }
    void open(const QString& user, const QString& password) {
        ASSERT_TRUE(sim->started());
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
        connection.SetConnectionString(QStringLiteral("Data Source=127.0.0.1,%1;User ID=%2;Password=%3")
                                           .arg(sim->port())
                                           .arg(user, password));
        connection.Open();
        context.SetADOConnection(&connection);
        context.SetIniFileName(dir.filePath("marlinde.ini"));
        action = std::make_unique<TaLumMSSQLSysservers>(nullptr, "aServers");
        action->SetModuleInterface(&context);
        action->SetParent(&page);
        page.resize(640, 480);
        page.show();
        action->ShowModule();
        form = qobject_cast<TfLumMSSQLSysservers*>(action->ModuleForm());
        ASSERT_NE(form, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    }
    static QStringList batches() { return testsupport::SimRequests(*sim, "batch", "text"); }
    static QStringList serverList() {
        TADOConnection c;
        c.SetConnectionString(SaConnectionString());
        c.Open();
        QStringList names;
        auto rs = c.Execute("select srvname from master..sysservers order by 1");
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            names << rs->Fields(0).Text();
        return names;
    }
    QStringList captions() const {
        QStringList out;
        for (int i = 0; i < form->dblv->ItemCount(); ++i)
            out << form->dblv->ItemCaption(i);
        return out;
    }
    void pick(const QString& name) {
        const int row = int(captions().indexOf(name));
        ASSERT_GE(row, 0);
        QAbstractItemView* view = form->dblv->View();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(view->model()->index(row, 0)).center());
        ASSERT_EQ(form->qServers->FieldByName("srvname")->AsString(), name);
    }
    TButton* button(int index) const { return form->aAdd->DialogForm()->pButton->Button(index); }
    // Fills the add dialog and clicks OK (or Cancel).
    ModalDriver::Step fill(const QString& server, const QString& login, const QString& password,
                           bool ok = true) {
        return [=, this](QWidget*) {
            form->eServer->setText(server);
            form->eLogin->setText(login);
            form->ePwd->setText(password);
            button(ok ? 0 : 1)->click();
        };
    }
    static ModalDriver::Step answer(QStringList& texts, QMessageBox::StandardButton choice) {
        return [&texts, choice](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            texts << box->text();
            box->button(choice)->click();
        };
    }
};

TEST_F(LinkedServersModuleTest, PageListsTheKnownServersUnderTheHeaderAndToolBar) {
    EXPECT_EQ(form->objectName(), "fLumMSSQLSysservers");
    EXPECT_EQ(form->pHeader->text(), "Servers");
    EXPECT_EQ(form->pHeader->height(), 30);
    QStringList bar;
    for (QAction* a : form->ActionToolBar1->actions())
        bar << (a->isSeparator() ? "|" : a->objectName());
    EXPECT_EQ(bar, (QStringList{"|", "aRefresh", "|", "aAdd", "aDrop", "|"}));
    EXPECT_EQ(form->aRefresh->Hint(), "Refresh");
    EXPECT_EQ(form->aAdd->Caption(), "Add");
    EXPECT_EQ(form->aAdd->Hint(), "Add server");
    EXPECT_EQ(form->aAdd->DialogText(), "Enter server-connection properties:");
    EXPECT_EQ(form->aAdd->Control(), form->pServer);
    EXPECT_EQ(form->aDrop->Caption(), "Drop");
    EXPECT_EQ(form->aDrop->Hint(), "Drop server");
    EXPECT_TRUE(form->pServer->isHidden());
    EXPECT_EQ(form->ePwd->echoMode(), QLineEdit::Password);
    // The connected server's own entry and its linked servers, in the server's order.
    EXPECT_EQ(captions(), serverList());
    EXPECT_EQ(captions(), (QStringList{"DEMO", "REPORTS", "АРХИВ"}));
    EXPECT_EQ(form->dblv->ItemImageIndex(0), 0);
}

TEST_F(LinkedServersModuleTest, AddSendsTheServerAndOneLoginMappingAndCancelSendsNothing) {
    const qsizetype mark = batches().size();
    QStringList types;
    QString typeShown;
    {
        ModalDriver driver({[&](QWidget* w) {
            for (int i = 0; i < form->cbServerType->count(); ++i)
                types << form->cbServerType->itemText(i);
            typeShown = form->cbServerType->currentText();
            fill("Typed", "me", "secret", false)(w);
        }});
        form->aAdd->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(types, QStringList{"SQL Server"});
    EXPECT_EQ(typeShown, "SQL Server");
    EXPECT_EQ(batches().mid(mark), QStringList());

    // The fields are empty again; empty login and password go as two empty strings.
    QStringList shown;
    {
        ModalDriver driver({[&](QWidget* w) {
            shown << form->eServer->text() << form->eLogin->text() << form->ePwd->text();
            fill("SRV2", "", "")(w);
        }});
        form->aAdd->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(shown, (QStringList{"", "", ""}));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    const QStringList sent = batches().mid(mark);
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent[0], "EXEC sp_addlinkedserver N'SRV2', N'SQL Server'");
    EXPECT_EQ(sent[1], "EXEC sp_addlinkedsrvlogin N'SRV2', FALSE, NULL, N'', N''");
    EXPECT_EQ(sent[2], "select srvname, 0 as nImage\nfrom master..sysservers\norder by 1");
    EXPECT_TRUE(captions().contains("SRV2"));
    EXPECT_EQ(captions(), serverList());

    // Quotes in the name, login or password stay inside their literals.
    const qsizetype again = batches().size();
    {
        ModalDriver driver({fill("O'Brien", "it's", "p'w")});
        form->aAdd->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    const QStringList quoted = batches().mid(again);
    ASSERT_GE(quoted.size(), 2);
    EXPECT_EQ(quoted[0], "EXEC sp_addlinkedserver N'O''Brien', N'SQL Server'");
    EXPECT_EQ(quoted[1], "EXEC sp_addlinkedsrvlogin N'O''Brien', FALSE, NULL, N'it''s', N'p''w'");
    EXPECT_TRUE(serverList().contains("O'Brien"));

    // A name the server has already: its error, and the list as it was.
    {
        ModalDriver driver({fill("SRV2", "", "")});
        form->aAdd->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(errors, QStringList{"The server 'SRV2' already exists."});
}

TEST_F(LinkedServersModuleTest, DropAsksAboutTheSelectedServerAndDropsItWithItsLogins) {
    QStringList remaining = captions();
    pick("REPORTS");
    const qsizetype mark = batches().size();
    QStringList said;
    {
        ModalDriver driver({answer(said, QMessageBox::Cancel)});
        form->aDrop->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(said, QStringList{"Delete server-connection \"REPORTS\"?"});
    EXPECT_EQ(batches().mid(mark), QStringList());
    {
        ModalDriver driver({answer(said, QMessageBox::Ok)});
        form->aDrop->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    const QStringList sent = batches().mid(mark);
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0], "EXEC sp_dropserver N'REPORTS', 'droplogins'");
    remaining.removeAll("REPORTS");
    EXPECT_EQ(captions(), remaining);
    EXPECT_EQ(serverList(), remaining);

    pick("АРХИВ");
    {
        ModalDriver driver({answer(said, QMessageBox::Ok)});
        form->aDrop->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_TRUE(batches().contains("EXEC sp_dropserver N'АРХИВ', 'droplogins'"));
    remaining.removeAll("АРХИВ");
    EXPECT_EQ(captions(), remaining);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

// A login that may add linked servers but not map logins: the server is added, the list shows it,
// and then the error is told.
class LinkedServersAsSetupAdminTest : public LinkedServersModuleTest {
protected:
    void SetUp() override {
        TADOConnection sa;
        sa.SetConnectionString(SaConnectionString());
        sa.Open();
        sa.Execute("exec sp_addlogin 'setup', 'setup'");
        sa.Execute("exec sp_addsrvrolemember 'setup', 'setupadmin'");
        open("setup", "setup");
    }
};

TEST_F(LinkedServersAsSetupAdminTest, AFailedLoginMappingShowsTheAddedServerBeforeTheError) {
    int itemsWhenTold = -1;
    TApplication::Instance()->OnException = [&](const std::exception& e) {
        itemsWhenTold = form->dblv->ItemCount();
        errors << ExceptionMessage(e);
    };
    {
        ModalDriver driver({fill("SRV9", "remote", "pw")});
        form->aAdd->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(errors, QStringList{"User does not have permission to perform this action."});
    EXPECT_EQ(itemsWhenTold, 4);
    EXPECT_TRUE(captions().contains("SRV9"));
    EXPECT_TRUE(serverList().contains("SRV9"));
}

} // namespace
