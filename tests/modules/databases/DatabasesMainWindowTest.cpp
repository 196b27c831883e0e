// The DB page of the main window: its module follows the page, and the database switcher follows
// what the module does to the list of databases and to the session.
#include "DemoSimSuite.h"
#include "ModalDriver.h"
#include "SimLog.h"
#include "Spin.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TApplication.h"
#include "TComboBox.h"
#include "uLumDialogActions.h"
#include "uTLumDBListView.h"
#include "uTLumDlgButtonPanel.h"
#include "uTaLumMSSQLDB.h"
#include "ufKestrow.h"
#include "ufLumCustomDialog.h"
#include "ufLumMSSQLDB.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using testsupport::ModalDriver;

namespace {

class DatabasesMainWindowTest : public testsupport::DemoSimSuite {
protected:
    QTemporaryDir dir;
    QStringList errors;

    void SetUp() override {
        ASSERT_TRUE(sim->started());
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
    }
    void TearDown() override { TApplication::Instance()->OnException = nullptr; }

    std::unique_ptr<TfKestrow> logOn() {
        auto w = std::make_unique<TfKestrow>(
            dir.filePath("marlinde.ini"),
            QStringList{"-s", testsupport::SimServer(*sim), "-u", "sa", "-p", "sa", "-d", "master"});
        w->show();
        EXPECT_TRUE(SpinUntil([&] { return w->dxbsConnected->text() == "Connected"; }));
        return w;
    }
    static QStringList items(const QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }
    static QString session(TfKestrow& w) {
        return w.ADOConnection->Execute("select db_name()")->Fields(0).Text();
    }
    static void pick(TfLumMSSQLDB* form, const QString& name) {
        for (int row = 0; row < form->dblv->ItemCount(); ++row) {
            if (form->dblv->ItemCaption(row) != name)
                continue;
            QAbstractItemView* view = form->dblv->View();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(view->model()->index(row, 0)).center());
        }
        ASSERT_EQ(form->qDB->FieldByName("name")->AsString(), name);
    }
    static ModalDriver::Step ok() {
        return [](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            box->button(QMessageBox::Ok)->click();
        };
    }
};

TEST_F(DatabasesMainWindowTest, TheSwitcherFollowsCreateDropAndRestoreAndTheSessionStaysOnIt) {
    auto w = logOn();
    auto* aDB = w->findChild<TaLumMSSQLDB*>("aDB");
    ASSERT_NE(aDB, nullptr);
    EXPECT_FALSE(aDB->IsModuleCreated());
    w->pc->setCurrentWidget(w->tsDB);
    ASSERT_TRUE(aDB->IsModuleCreated());
    auto* form = qobject_cast<TfLumMSSQLDB*>(aDB->ModuleForm());
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(w->tsDB->isAncestorOf(form));

    {
        ModalDriver driver({[](QWidget* m) {
                                auto* box = qobject_cast<QInputDialog*>(m);
                                ASSERT_NE(box, nullptr);
                                box->setTextValue("Fresh");
                                box->accept();
                            },
                            ok()});
        form->aCreate->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_TRUE(items(w->dxbcDB).contains("Fresh"));
    EXPECT_EQ(w->dxbcDB->currentText(), "master");

    pick(form, "Fresh");
    {
        ModalDriver driver({ok()});
        form->aDBDrop->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_FALSE(items(w->dxbcDB).contains("Fresh"));

    // Restore while the switcher shows another database than the one the session logged on to.
    w->dxbcDB->setEditText("Склад");
    w->dxbcDBChange();
    ASSERT_EQ(session(*w), "Склад");
    pick(form, "Sales");
    {
        ModalDriver driver({[&](QWidget*) {
                                form->cbRestoreName->SetText("Restored");
                                form->eRestoreFile->setText("C:\\Backup\\Sales.bak");
                                form->eRestoreDir->setText("D:\\Data");
                                form->cbRestoreSQLOnly->setChecked(false);
                                form->aRestore->DialogForm()->pButton->Button(0)->click();
                            },
                            ok(), ok()});
        form->aRestore->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_TRUE(items(w->dxbcDB).contains("Restored"));
    EXPECT_EQ(session(*w), w->dxbcDB->currentText());
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    // Re-creating users elsewhere leaves the session on the switcher's database.
    w->dxbcDB->setEditText("Sales");
    w->dxbcDBChange();
    pick(form, "Склад");
    {
        ModalDriver driver({ok()});
        form->aUserRecreate->trigger();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(w->dxbcDB->currentText(), "Sales");
    EXPECT_EQ(session(*w), "Sales");
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(DatabasesMainWindowTest, EveryVisitOfTheServersPageShowsTheLinkedServers) {
    auto w = logOn();
    auto* aServers = w->findChild<TLumCustomModuleAction*>("aServers");
    ASSERT_NE(aServers, nullptr);
    w->pc->setCurrentWidget(w->tsServers);
    ASSERT_TRUE(aServers->IsModuleCreated());
    auto* list = aServers->ModuleForm()->findChild<TLumDBListView*>("dblv");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->ItemCount(), 3);
    w->ADOConnection->Execute("EXEC sp_addlinkedserver 'LATER', N'SQL Server'");
    w->pc->setCurrentWidget(w->tsObjects);
    w->pc->setCurrentWidget(w->tsServers);
    EXPECT_EQ(list->ItemCount(), 4);
}

} // namespace
