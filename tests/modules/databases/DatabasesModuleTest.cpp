// The databases module: its page, and create, drop, backup and user re-creation end to end against
// the simulator's model, as sa and as a login without the rights.
#include "DatabasesModuleFixture.h"
#include "ModalDriver.h"
#include "TFileActions.h"
#include "TIniFile.h"
#include "TRegistry.h"
#include "uLumDBActions.h"
#include "uLumDialogActions.h"
#include "uTLumDlgButtonPanel.h"
#include "ufLumCustomDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>

using testsupport::ModalDriver;

namespace {

class DatabasesModuleTest : public DatabasesModuleFixture {
protected:
    // "user:role" for every role membership of the database's users, sorted.
    static QStringList memberships(const QString& database) {
        const QStringList uids = serverColumn("select uid from sysusers", database);
        const QStringList names = serverColumn("select name from sysusers", database);
        const QStringList members = serverColumn("select memberuid from sysmembers", database);
        const QStringList groups = serverColumn("select groupuid from sysmembers", database);
        QStringList out;
        for (qsizetype i = 0; i < members.size(); ++i)
            out << names.value(uids.indexOf(members[i])) + ':' + names.value(uids.indexOf(groups[i]));
        out.sort();
        return out;
    }
};

// Types the text into the input box and confirms it (or cancels with a null text).
ModalDriver::Step answerInput(const QString& text, QString* caption = nullptr, QString* prompt = nullptr) {
    return [=](QWidget* w) {
        auto* box = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(box, nullptr);
        if (caption)
            *caption = box->windowTitle();
        if (prompt)
            *prompt = box->labelText();
        EXPECT_TRUE(box->textValue().isEmpty());
        if (text.isNull()) {
            box->reject();
        } else {
            box->setTextValue(text);
            box->accept();
        }
    };
}

ModalDriver::Step answerBox(QStringList& texts, QMessageBox::StandardButton button = QMessageBox::Ok) {
    return [&texts, button](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        texts << box->text();
        box->button(button)->click();
    };
}

TEST_F(DatabasesModuleTest, PageShowsTheDatabasesAsIconsUnderTheHeaderAndToolBar) {
    EXPECT_EQ(form->objectName(), "fLumMSSQLDB");
    EXPECT_EQ(form->parentWidget(), &page);
    EXPECT_EQ(form->pHeader->text(), "DB");
    EXPECT_EQ(form->pHeader->height(), 30);
    EXPECT_TRUE(form->pHeader->font().bold());
    EXPECT_EQ(form->pHeader->font().pixelSize(), 19);
    EXPECT_EQ(form->ActionToolBar1->height(), 26);
    EXPECT_EQ(form->ActionToolBar1->toolButtonStyle(), Qt::ToolButtonIconOnly);
    QStringList bar;
    for (QAction* a : form->ActionToolBar1->actions())
        bar << (a->isSeparator() ? "|" : a->objectName());
    EXPECT_EQ(bar, (QStringList{"|", "aRefresh", "|", "aCreate", "aDBDrop", "|", "aBackup", "aRestore", "|",
                                "aUserRecreate"}));
    EXPECT_EQ(form->aRefresh->Hint(), "Refresh");
    EXPECT_EQ(form->aCreate->Caption(), "Create");
    EXPECT_EQ(form->aCreate->Hint(), "Create database");
    EXPECT_EQ(form->aDBDrop->Hint(), "Drop database");
    EXPECT_EQ(form->aBackup->Hint(), "Backup database..");
    EXPECT_EQ(form->aBackup->DefaultExt(), "bak");
    EXPECT_EQ(TFileDialogAction::NameFilters(form->aBackup->Filter()),
              (QStringList{"bak files (*.bak)", "All files (*)"}));
    EXPECT_EQ(form->aRestore->Hint(), "Restore");
    EXPECT_EQ(form->aRestore->DialogText(), "Restore database (local sql only):");
    EXPECT_EQ(form->aRestore->Control(), form->pRestore);
    EXPECT_FALSE(form->aRestore->CopyControl());
    EXPECT_EQ(form->aRestoreFile->Hint(), "Restore database");
    EXPECT_EQ(form->aUserRecreate->Caption(), "Recreate DB users");
    EXPECT_EQ(form->aUserRecreate->Hint(),
              "You need to recreate users when backup database from another server");
    for (TAction* a : std::initializer_list<TAction*>{form->aRefresh, form->aBackup, form->aRestore,
                                                      form->aCreate, form->aDBDrop, form->aUserRecreate})
        EXPECT_FALSE(a->icon().isNull()) << a->objectName().toStdString();
    EXPECT_TRUE(form->pRestore->isHidden());
    EXPECT_EQ(form->eRestoreFile->toolTip(), "Source-file");
    EXPECT_EQ(form->eRestoreDir->toolTip(), "Directory to store db");
    EXPECT_EQ(form->cbRestoreSQLOnly->text(), "Generate SQL only");

    // One icon per database, in the server's order.
    EXPECT_EQ(captions(), serverDatabases());
    for (int i = 0; i < form->dblv->ItemCount(); ++i)
        EXPECT_EQ(form->dblv->ItemImageIndex(i), 0);
    EXPECT_FALSE(form->dblv->AlowSort());
    EXPECT_FALSE(form->dblv->HideSelection());

    // Every later visit of the page reads the list again.
    serverColumn("create database Visited");
    EXPECT_FALSE(captions().contains("Visited"));
    action->ShowModule();
    EXPECT_TRUE(captions().contains("Visited"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(DatabasesModuleTest, RestoreFieldsAreKeptInTheSettingsAndTheDirectoryDefaultsToTheDataRoot) {
    // No instance on this machine: just "\Data".
    EXPECT_EQ(form->eRestoreDir->text(), "\\Data");
    TRegistry::SetValue(TRootKey::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Microsoft SQL Server",
                        "InstalledInstances", QByteArray("MSSQLSERVER\0\0", 13));
    TRegistry::SetValue(TRootKey::HKEY_LOCAL_MACHINE,
                        "SOFTWARE\\Microsoft\\Microsoft SQL Server\\Instance Names\\SQL", "MSSQLSERVER",
                        "MSSQL.1");
    TRegistry::SetValue(TRootKey::HKEY_LOCAL_MACHINE,
                        "SOFTWARE\\Microsoft\\Microsoft SQL Server\\MSSQL.1\\Setup", "SQLDataRoot",
                        "C:\\Program Files\\Microsoft SQL Server\\MSSQL");
    EXPECT_EQ(TfLumMSSQLDB::DefaultRestoreDir(), "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data");
    TRegistry::Clear();

    form->eRestoreDir->setText("D:\\Data");
    form->eRestoreFile->setText("C:\\Backup\\Sales.bak");
    form->cbRestoreSQLOnly->setChecked(true);
    form->cbRestoreName->SetText("Sales2");
    form->hide(); // a module form writes its settings when it is hidden
    TIniFile ini(dir.filePath("marlinde.ini"));
    EXPECT_EQ(ini.ReadString("fLumMSSQLDB.eRestoreDir", "Text", ""), "D:\\Data");
    EXPECT_EQ(ini.ReadString("fLumMSSQLDB.eRestoreFile", "Text", ""), "C:\\Backup\\Sales.bak");
    EXPECT_EQ(ini.ReadString("fLumMSSQLDB.cbRestoreSQLOnly", "Checked", ""), "1");
    EXPECT_EQ(ini.ReadString("fLumMSSQLDB.cbRestoreName", "Text", ""), "Sales2");

    // A new module reads them back over its defaults.
    action->FreeModule();
    action->ShowModule();
    form = qobject_cast<TfLumMSSQLDB*>(action->ModuleForm());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->eRestoreDir->text(), "D:\\Data");
    EXPECT_EQ(form->eRestoreFile->text(), "C:\\Backup\\Sales.bak");
    EXPECT_TRUE(form->cbRestoreSQLOnly->isChecked());
    EXPECT_EQ(form->cbRestoreName->Text(), "Sales2");
}

TEST_F(DatabasesModuleTest, CreateAsksForTheNameAndSendsItAsOneNameOrNothingOnCancel) {
    const qsizetype mark = batches().size();
    {
        ModalDriver driver({answerInput(QString())});
        form->aCreate->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(sentSince(mark), QStringList());
    EXPECT_EQ(notified, 0);

    QString caption, prompt;
    QStringList said;
    {
        ModalDriver driver({answerInput("Archive", &caption, &prompt), answerBox(said)});
        form->aCreate->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(caption, QApplication::applicationFilePath());
    EXPECT_EQ(prompt, "Enter new database name:");
    const QStringList sent = sentSince(mark);
    ASSERT_GE(sent.size(), 2);
    EXPECT_EQ(sent[0], "create DATABASE Archive");
    EXPECT_TRUE(sent[1].startsWith("select name, 0 as nImage\nfrom master..sysdatabases"))
        << sent[1].toStdString();
    EXPECT_EQ(said, QStringList{"Database \"Archive\" created."});
    EXPECT_TRUE(serverDatabases().contains("Archive"));
    EXPECT_TRUE(captions().contains("Archive"));
    EXPECT_EQ(notified, 1);

    // A blank or a "]" in the name: one bracketed name, created as typed.
    said.clear();
    {
        ModalDriver driver({answerInput("Sales Archive]2"), answerBox(said)});
        form->aCreate->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_TRUE(batches().contains("create DATABASE [Sales Archive]]2]"));
    EXPECT_EQ(said, QStringList{"Database \"Sales Archive]2\" created."});
    EXPECT_TRUE(serverDatabases().contains("Sales Archive]2"));
    EXPECT_TRUE(captions().contains("Sales Archive]2"));
    EXPECT_EQ(notified, 2);

    // An existing name: the server's error, no message of success, no notification.
    said.clear();
    {
        ModalDriver driver({answerInput("Archive")});
        form->aCreate->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(errors, QStringList{"Database 'Archive' already exists. Choose a different database name."});
    EXPECT_EQ(notified, 2);

    // OK with nothing typed: the server refuses the empty name.
    errors.clear();
    const QStringList before = serverDatabases();
    {
        ModalDriver driver({answerInput("")});
        form->aCreate->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_TRUE(batches().contains("create DATABASE []"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("An object or column name is missing or empty."))
        << errors[0].toStdString();
    EXPECT_EQ(serverDatabases(), before);
    EXPECT_EQ(notified, 2);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(DatabasesModuleTest, DropAsksAboutTheSelectedDatabaseAndSendsNothingOnCancel) {
    serverColumn("create database [Old Stock]");
    form->aRefresh->Execute();
    pick("Old Stock");
    const qsizetype mark = batches().size();
    QStringList said;
    {
        ModalDriver driver({answerBox(said, QMessageBox::Cancel)});
        form->aDBDrop->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(said, QStringList{"Drop database \"Old Stock\"?"});
    EXPECT_EQ(sentSince(mark), QStringList());
    EXPECT_TRUE(serverDatabases().contains("Old Stock"));

    const qsizetype confirmed = batches().size();
    {
        ModalDriver driver({answerBox(said)});
        form->aDBDrop->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    const QStringList sent = sentSince(confirmed);
    ASSERT_GE(sent.size(), 2);
    EXPECT_EQ(sent[0], "drop database [Old Stock]");
    EXPECT_FALSE(serverDatabases().contains("Old Stock"));
    EXPECT_FALSE(captions().contains("Old Stock"));
    EXPECT_EQ(notified, 1);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    // A database in use is refused by the server; the list stays and nobody is told.
    pick("Sales");
    {
        ModalDriver driver({answerBox(said)});
        form->aDBDrop->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(errors, QStringList{"Cannot drop database \"Sales\" because it is currently in use."});
    EXPECT_TRUE(serverDatabases().contains("Sales"));
    EXPECT_EQ(notified, 1);
}

TEST_F(DatabasesModuleTest, BackupWritesTheChosenFileOnTheServerAndSaysSo) {
    pick("Sales");
    const qsizetype mark = batches().size();
    QStringList said;
    QString suffix;
    {
        ModalDriver driver({[&](QWidget* w) {
                                auto* dialog = qobject_cast<QFileDialog*>(w);
                                ASSERT_NE(dialog, nullptr);
                                suffix = dialog->defaultSuffix();
                                EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
                                dialog->selectFile("/tmp/Sales copy's");
                                static_cast<QDialog*>(dialog)->accept(); // the file dialog's own check
                            },
                            answerBox(said)});
        form->aBackup->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(suffix, "bak");
    // The file name is one string literal, its quote doubled; the list is not read again.
    EXPECT_EQ(sentSince(mark), QStringList{"backup database Sales to DISK = N'/tmp/Sales copy''s.bak'"});
    EXPECT_EQ(said, QStringList{"Database \"Sales\" backuped to file \"/tmp/Sales copy's.bak\"."});
    EXPECT_EQ(serverColumn("restore filelistonly from disk = N'/tmp/Sales copy''s.bak'"),
              (QStringList{"Sales", "Sales_log"}));
    EXPECT_EQ(notified, 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(DatabasesModuleTest, RecreateUsersAsksAboutTheSelectedDatabaseAndLeavesTheSessionWhereItWas) {
    pick("Sales");
    const qsizetype mark = batches().size();
    QStringList said;
    {
        ModalDriver driver({answerBox(said, QMessageBox::Cancel)});
        form->aUserRecreate->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(said, QStringList{"Recreate DB users for db \"Sales\"?"});
    EXPECT_EQ(sentSince(mark), QStringList());

    const QStringList rolesBefore = memberships("Sales");
    EXPECT_TRUE(rolesBefore.contains("clerk:SalesReaders")) << rolesBefore.join(' ').toStdString();
    const qsizetype confirmed = batches().size();
    {
        ModalDriver driver({answerBox(said)});
        form->aUserRecreate->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    QStringList batch = form->qUserRecreate->SQL();
    EXPECT_EQ(batch.size(), 40);
    EXPECT_EQ(batch[0], "use Sales");
    const QStringList sent = sentSince(confirmed);
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent[0], "select db_name()");
    EXPECT_EQ(sent[1], batch.join('\n'));
    EXPECT_TRUE(
        sent[1].startsWith("use Sales\n\nselect u.name as suser, g.name as sgroup\n  into #t_groups\n"));
    EXPECT_TRUE(sent[1].endsWith("close c_group\ndeallocate c_group\n\ndrop table #t_groups"));
    EXPECT_EQ(sent[2], "use master");
    EXPECT_EQ(sessionDatabase(), "master");
    // The users came back bound to their logins, with their roles.
    EXPECT_EQ(memberships("Sales"), rolesBefore);
    EXPECT_EQ(notified, 0);
}

// The demo's login clerk may not create, drop, back up or restore: each time the server's refusal
// is shown and nothing changes.
class DatabasesModuleAsClerkTest : public DatabasesModuleFixture {
protected:
    void SetUp() override { open(QStringLiteral("User ID=clerk;Password=clerk"), QStringLiteral("Sales")); }
};

TEST_F(DatabasesModuleAsClerkTest, EveryChangeShowsTheServersPermissionErrorAndChangesNothing) {
    const QStringList before = serverDatabases();
    QStringList said;
    {
        ModalDriver driver({answerInput("Mine")});
        form->aCreate->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    pick("Склад");
    {
        ModalDriver driver({answerBox(said)});
        form->aDBDrop->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    pick("Sales");
    {
        ModalDriver driver({[&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            dialog->selectFile("/tmp/clerk.bak");
            static_cast<QDialog*>(dialog)->accept(); // the file dialog's own check
        }});
        form->aBackup->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    {
        ModalDriver driver({[&](QWidget*) {
            form->cbRestoreName->SetText("Mine");
            form->eRestoreFile->setText("C:\\Backup\\Sales.bak");
            form->eRestoreDir->setText("D:\\Data");
            form->cbRestoreSQLOnly->setChecked(false);
            form->aRestore->DialogForm()->pButton->Button(0)->click();
        }});
        form->aRestore->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    ASSERT_EQ(errors.size(), 4) << errors.join('\n').toStdString();
    EXPECT_TRUE(errors[0].startsWith("CREATE DATABASE permission denied in database 'master'."))
        << errors[0].toStdString();
    EXPECT_TRUE(
        errors[1].startsWith("Cannot drop the database 'Склад', because it does not exist or you do not "
                             "have permission."))
        << errors[1].toStdString();
    EXPECT_TRUE(errors[2].startsWith("BACKUP DATABASE permission denied in database 'Sales'."))
        << errors[2].toStdString();
    EXPECT_TRUE(errors[3].startsWith("CREATE DATABASE permission denied in database 'master'."))
        << errors[3].toStdString();
    EXPECT_EQ(said, QStringList{"Drop database \"Склад\"?"});
    EXPECT_EQ(serverDatabases(), before);
    EXPECT_ANY_THROW(serverColumn("restore filelistonly from disk = N'/tmp/clerk.bak'"));
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(sessionDatabase(), "Sales");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
