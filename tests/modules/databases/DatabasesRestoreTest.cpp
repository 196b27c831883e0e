// The databases module's restore end to end against the simulator's model: the dialog, its checks,
// the file list, the statement with its MOVE list, "Generate SQL only", the users of the restored
// database, and where the session is left.
#include "DatabasesModuleFixture.h"
#include "ModalDriver.h"
#include "TButton.h"
#include "TComboBox.h"
#include "uLumDialogActions.h"
#include "uTLumDlgButtonPanel.h"
#include "ufLumCustomDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolButton>

using testsupport::ModalDriver;

namespace {

class DatabasesRestoreTest : public DatabasesModuleFixture {
protected:
    TButton* ok() const { return form->aRestore->DialogForm()->pButton->Button(0); }
    TButton* cancel() const { return form->aRestore->DialogForm()->pButton->Button(1); }
    // Fills the dialog and clicks OK.
    ModalDriver::Step fill(const QString& name, const QString& file, const QString& directory, bool sqlOnly) {
        return [=, this](QWidget* w) {
            ASSERT_EQ(w, form->aRestore->DialogForm());
            EXPECT_TRUE(form->pRestore->isVisible());
            form->cbRestoreName->SetText(name);
            form->eRestoreFile->setText(file);
            form->eRestoreDir->setText(directory);
            form->cbRestoreSQLOnly->setChecked(sqlOnly);
            ok()->click();
        };
    }
    static ModalDriver::Step answer(QStringList& texts,
                                    QMessageBox::StandardButton button = QMessageBox::Ok) {
        return [&texts, button](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            texts << box->text();
            box->button(button)->click();
        };
    }
    static QStringList files(const QString& database) {
        return serverColumn("select filename from sysfiles", database);
    }
};

TEST_F(DatabasesRestoreTest, TheStatementOfATwoFileBackupComesOutAsTheServerExpectsIt) {
    const QList<QPair<QString, QString>> sales = {{"Sales_Data", "sales.mdf"},
                                                  {"Sales_Log", "sales_log.ldf"}};
    EXPECT_EQ(TfLumMSSQLDB::RestoreStatement("Sales", "D:\\backup\\sales.bak", "C:\\MSSQL\\Data", sales),
              "use master\r\n"
              "RESTORE DATABASE Sales\r\n"
              " FROM DISK = N'D:\\backup\\sales.bak' \r\n"
              " WITH \r\n"
              "MOVE N'Sales_Data' TO N'C:\\MSSQL\\Data\\Sales0.mdf' , \r\n"
              "MOVE N'Sales_Log' TO N'C:\\MSSQL\\Data\\Sales1.ldf' \r\n");
    // A name that is not one identifier is bracketed where it stands as a name, and is part of the
    // file names as it is; quotes in literals are doubled; a file without an extension (or a dot in a
    // directory only) keeps none; text beyond ASCII goes as a Unicode literal.
    const QList<QPair<QString, QString>> odd = {{"Data's", "C:\\my.dir\\data"}, {"Log", "/var/opt/x.y/log"}};
    EXPECT_EQ(TfLumMSSQLDB::RestoreStatement("O'Neil]s", "C:\\It's.bak", "D:\\Данные", odd),
              "use master\r\n"
              "RESTORE DATABASE [O'Neil]]s]\r\n"
              " FROM DISK = N'C:\\It''s.bak' \r\n"
              " WITH \r\n"
              "MOVE N'Data''s' TO N'D:\\Данные\\O''Neil]s0' , \r\n"
              "MOVE N'Log' TO N'D:\\Данные\\O''Neil]s1' \r\n");
}

TEST_F(DatabasesRestoreTest, ABackupRestoredUnderANewNameGetsNumberedFilesItsUsersAndTheSessionBack) {
    pick("Sales");
    const QStringList listed = captions();
    const qsizetype mark = batches().size();
    QStringList nameItems;
    QString nameShown;
    QStringList said;
    {
        ModalDriver driver({[&](QWidget* w) {
                                nameItems = form->cbRestoreName->Items();
                                nameShown = form->cbRestoreName->Text();
                                EXPECT_TRUE(form->sbRestoreFile->isVisible());
                                EXPECT_TRUE(form->eRestoreFile->isEnabled());
                                fill("X", "C:\\Backup\\Sales.bak", "D:\\Data", false)(w);
                            },
                            answer(said), answer(said)});
        form->aRestore->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    // The dialog offered the databases and opened on the selected one.
    EXPECT_EQ(nameItems, listed);
    EXPECT_EQ(nameShown, "Sales");
    // The users asked about are those of the database just restored.
    EXPECT_EQ(said, (QStringList{"Recreate DB users for db \"X\"?", "Database \"X\" restored."}));

    const QStringList sent = sentSince(mark);
    ASSERT_GE(sent.size(), 6) << sent.join("\n--\n").toStdString();
    EXPECT_EQ(sent[0], "restore filelistonly from disk = N'C:\\Backup\\Sales.bak'");
    EXPECT_EQ(sent[1], "select db_name()");
    EXPECT_EQ(sent[2], "use master\r\n"
                       "RESTORE DATABASE X\r\n"
                       " FROM DISK = N'C:\\Backup\\Sales.bak' \r\n"
                       " WITH \r\n"
                       "MOVE N'Sales' TO N'D:\\Data\\X0.mdf' , \r\n"
                       "MOVE N'Sales_log' TO N'D:\\Data\\X1.ldf' \r\n");
    EXPECT_TRUE(sent[3].startsWith("use X\n\nselect u.name as suser")) << sent[3].toStdString();
    EXPECT_EQ(sent[4], "use X");
    EXPECT_EQ(sent[5], "use master");
    EXPECT_TRUE(sent[6].startsWith("select name, 0 as nImage\nfrom master..sysdatabases"));

    EXPECT_EQ(files("X"), (QStringList{"D:\\Data\\X0.mdf", "D:\\Data\\X1.ldf"}));
    EXPECT_EQ(serverColumn("select count(*) from dbo.Orders", "X"), QStringList{"120"});
    EXPECT_TRUE(captions().contains("X"));
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(sessionDatabase(), "master");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The dialog opens again on the selected database whatever was typed last time; a directory with a
    // trailing backslash doubles it before the file names. Declining the users still restores.
    pick("Sales");
    said.clear();
    {
        ModalDriver driver({[&](QWidget* w) {
                                nameShown = form->cbRestoreName->Text();
                                fill("X2", "C:\\Backup\\Sales.bak", "D:\\Data\\", false)(w);
                            },
                            answer(said, QMessageBox::Cancel), answer(said)});
        form->aRestore->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(nameShown, "Sales");
    EXPECT_EQ(said, (QStringList{"Recreate DB users for db \"X2\"?", "Database \"X2\" restored."}));
    EXPECT_TRUE(batches().contains("use master\r\n"
                                   "RESTORE DATABASE X2\r\n"
                                   " FROM DISK = N'C:\\Backup\\Sales.bak' \r\n"
                                   " WITH \r\n"
                                   "MOVE N'Sales' TO N'D:\\Data\\\\X20.mdf' , \r\n"
                                   "MOVE N'Sales_log' TO N'D:\\Data\\\\X21.ldf' \r\n"));
    EXPECT_EQ(files("X2").size(), 2);
    EXPECT_EQ(notified, 2);
    EXPECT_EQ(sessionDatabase(), "master");
}

TEST_F(DatabasesRestoreTest, GenerateSqlOnlyReadsTheFileListShowsTheStatementAndRestoresNothing) {
    pick("Sales");
    const QStringList before = serverDatabases();
    const qsizetype mark = batches().size();
    QStringList said;
    {
        ModalDriver driver({fill("Copy", "C:\\Backup\\Sales.bak", "D:\\Data", true), answer(said)});
        form->aRestore->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    const QString statement = "use master\r\n"
                              "RESTORE DATABASE Copy\r\n"
                              " FROM DISK = N'C:\\Backup\\Sales.bak' \r\n"
                              " WITH \r\n"
                              "MOVE N'Sales' TO N'D:\\Data\\Copy0.mdf' , \r\n"
                              "MOVE N'Sales_log' TO N'D:\\Data\\Copy1.ldf' \r\n";
    EXPECT_EQ(said, QStringList{statement});
    const QStringList sent = sentSince(mark);
    ASSERT_EQ(sent.size(), 2) << sent.join("\n--\n").toStdString();
    EXPECT_EQ(sent[0], "restore filelistonly from disk = N'C:\\Backup\\Sales.bak'");
    EXPECT_TRUE(sent[1].startsWith("select name, 0 as nImage\nfrom master..sysdatabases"));
    EXPECT_EQ(serverDatabases(), before);
    EXPECT_EQ(notified, 1);

    // A file the server cannot read fails at the file list: no statement, no refresh, no notice.
    said.clear();
    {
        ModalDriver driver({fill("Copy", "C:\\Backup\\None.bak", "D:\\Data", true)});
        form->aRestore->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(
        errors[0].startsWith("Cannot open backup device 'C:\\Backup\\None.bak'. Operating system error "
                             "2(The system cannot find the file specified.)."))
        << errors[0].toStdString();
    EXPECT_TRUE(said.isEmpty());
    EXPECT_EQ(notified, 1);
}

TEST_F(DatabasesRestoreTest, OkIsRefusedWhileAFieldIsEmptyAndCancelSendsNothing) {
    pick("Sales");
    const qsizetype mark = batches().size();
    QStringList shownWhileOpen;
    {
        ModalDriver driver({[&](QWidget*) {
            form->cbRestoreName->SetText("");
            form->eRestoreFile->setText("");
            form->eRestoreDir->setText("");
            ok()->click();
            form->cbRestoreName->SetText("Y");
            ok()->click();
            form->eRestoreFile->setText("C:\\Backup\\Sales.bak");
            ok()->click();
            shownWhileOpen << (form->aRestore->DialogForm()->isVisible() ? "open" : "closed");
            cancel()->click();
        }});
        form->aRestore->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(errors,
              (QStringList{"Fill DB-name.", "Choose backup file.", "Select directory to restore DB."}));
    EXPECT_EQ(shownWhileOpen, QStringList{"open"});
    EXPECT_EQ(sentSince(mark), QStringList());
    EXPECT_EQ(notified, 0);
    // The panel went back into the module, hidden.
    EXPECT_EQ(form->pRestore->parentWidget(), form);
    EXPECT_TRUE(form->pRestore->isHidden());
}

TEST_F(DatabasesRestoreTest, AFailedRestoreLeavesTheSessionInItsDatabase) {
    connection.Execute("use Sales");
    pick("master");
    QStringList said;
    {
        ModalDriver driver({fill("Z", "C:\\Backup\\Sales.bak", "Q:\\Nowhere", false)});
        form->aRestore->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("Q:\\Nowhere\\Z0.mdf")) << errors[0].toStdString();
    EXPECT_FALSE(serverDatabases().contains("Z"));
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(sessionDatabase(), "Sales");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
