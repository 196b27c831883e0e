#include "Exception.h"
#include "ModalDriver.h"
#include "SimLog.h"
#include "Spin.h"
#include "TADOConnection.h"
#include "TADORecordset.h"
#include "TAction.h"
#include "TApplication.h"
#include "TIniFile.h"
#include "TLumResultPane.h"
#include "TLumSqlEditor.h"
#include "brinLogin.h"
#include "uTLumModuleInterface.h"
#include "uTaLumScript.h"
#include "ufKestrow.h"
#include "ufLumScript.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

using testsupport::ModalDriver;
using testsupport::SimProcess;
using testsupport::SimRequests;
using testsupport::SimServer;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    static inline SimProcess* sim = nullptr;
    QTemporaryDir dir;
    QStringList errors;

    static void SetUpTestSuite() {
        sim = new SimProcess({"--demo", "--sa-password", "sa"});
        ASSERT_TRUE(sim->started());
        TADOConnection c;
        c.SetConnectionString("Data Source=" + SimServer(*sim) + ";User ID=sa;Password=sa");
        c.Open();
        c.Execute("create database [My DB]");
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    void SetUp() override {
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
    }
    void TearDown() override { TApplication::Instance()->OnException = nullptr; }
    QString ini() const { return dir.filePath("marlinde.ini"); }
    QStringList logOn(const QString& database = "master") {
        return {"-s", SimServer(*sim), "-u", "sa", "-p", "sa", "-d", database};
    }
    // The databases in the order the server lists them.
    static QStringList serverDatabases() {
        TADOConnection c;
        c.SetConnectionString("Data Source=" + SimServer(*sim) + ";User ID=sa;Password=sa");
        c.Open();
        QStringList names;
        auto rs = c.Execute("master.dbo.sp_MShasdbaccess");
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            names << rs->Fields(0).Text();
        return names;
    }
    static QStringList items(const QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }
    static QStringList batches() { return SimRequests(*sim, "batch", "text"); }
    static void waitConnected(TfKestrow& w) {
        w.show();
        ASSERT_TRUE(SpinUntil([&] { return w.dxbsConnected->text() == "Connected"; }));
    }
};

TEST_F(MainWindowTest, LogOnFillsTheStatusBarAndTheSwitcherInServerOrder) {
    TIniFile(ini()).WriteString("connection", "Password", "stale");
    const QStringList expected = serverDatabases();
    const qsizetype before = batches().size();
    TfKestrow w(ini(), logOn());
    ASSERT_TRUE(w.LoggedOn());
    EXPECT_EQ(w.Caption(), "Marlinde");
    EXPECT_EQ(w.size(), QSize(548, 612));
    // The module context carries the connection, the settings file and the language.
    EXPECT_EQ(w.LumModuleInterface1->ADOConnection(), w.ADOConnection);
    EXPECT_EQ(w.LumModuleInterface1->IniFileName(), ini());
    EXPECT_EQ(w.LumModuleInterface1->Language(), "English");
    EXPECT_EQ(w.LoginDialog()->Language(), "English");
    waitConnected(w);
    EXPECT_EQ(w.dxbsCurrentUser->text(), SimServer(*sim) + " : sa ");
    EXPECT_GE(expected.size(), 7);
    EXPECT_EQ(items(w.dxbcDB), expected);
    EXPECT_EQ(w.dxbcDB->maxVisibleItems(), expected.size());
    EXPECT_EQ(w.dxbcDB->currentText(), "master");
    const QStringList sent = batches().mid(before);
    ASSERT_EQ(sent.size(), 3);
    EXPECT_TRUE(
        sent[0].startsWith("master.dbo.sp_MShasdbaccess\n/*\nselect name \nfrom master..sysdatabases "));
    EXPECT_EQ(sent[1], "use master");
    // The Objects page is in front: its list is read in the log-on database.
    EXPECT_EQ(sent[2], "select user_name(o.uid) as sUser, o.name, o.type\nfrom sysobjects o\n\norder by 1");
    EXPECT_TRUE(errors.isEmpty());

    TIniFile f(ini());
    EXPECT_EQ(f.ReadString("connection", "Server", ""), SimServer(*sim));
    EXPECT_EQ(f.ReadString("connection", "DB", ""), "master");
    EXPECT_EQ(f.ReadString("connection", "User", ""), "sa");
    EXPECT_EQ(f.ReadString("connection", "TrustConnection", ""), "0");
    EXPECT_FALSE(f.ValueExists("connection", "Password"));
}

TEST_F(MainWindowTest, PagesToolBarAndStatusItemsAreInPlace) {
    TfKestrow w(ini(), logOn());
    QStringList captions, names;
    for (int i = 0; i < w.pc->count(); ++i) {
        captions << w.pc->tabText(i);
        names << w.pc->widget(i)->objectName();
    }
    EXPECT_EQ(captions, QStringList({"Objects", "Users", "Query", "Activity", "DB", "Servers"}));
    EXPECT_EQ(names, QStringList({"tsObjects", "tsUsers", "tsQuery", "tsActivity", "tsDB", "tsServers"}));
    const auto actions = w.ActionToolBar2->actions();
    ASSERT_EQ(actions.size(), 6);
    EXPECT_TRUE(actions[0]->isSeparator());
    EXPECT_EQ(actions[1], w.aHelp);
    EXPECT_EQ(actions[2], w.aAbout);
    EXPECT_EQ(actions[3], w.aLanguage);
    EXPECT_TRUE(actions[4]->isSeparator());
    EXPECT_EQ(actions[5], w.aClose);
    EXPECT_EQ(w.aClose->text(), "Close");
    EXPECT_EQ(w.dxbcDB->width(), 136);
    EXPECT_EQ(w.dxbsConnected->toolTip(), "Connection status");
    EXPECT_EQ(w.dxbsCurrentUser->toolTip(), "Current user");
}

TEST_F(MainWindowTest, SwitchingRunsThePageStepsAndARefreshReturnsToTheLogOnDatabase) {
    TfKestrow w(ini(), logOn());
    QStringList steps;
    w.SetDatabaseChanged(w.tsUsers, [&] { steps << "users changed"; });
    w.SetDatabaseChanged(w.tsObjects, [&] { steps << "objects changed"; });
    w.SetPageActivation(w.tsObjects, [&] { steps << "objects active"; });
    waitConnected(w);
    EXPECT_EQ(steps, QStringList({"objects changed", "users changed", "objects active"}));
    steps.clear();

    const int sales = w.dxbcDB->findText("Sales");
    ASSERT_GE(sales, 0);
    w.dxbcDB->setCurrentIndex(sales);
    emit w.dxbcDB->activated(sales);
    EXPECT_EQ(batches().last(), "use Sales");
    EXPECT_EQ(steps, QStringList({"objects changed", "users changed", "objects active"}));
    // Picking the same name again changes nothing.
    emit w.dxbcDB->activated(sales);
    EXPECT_EQ(steps.size(), 3);

    const qsizetype before = batches().size();
    w.aDBDBListChanged(nullptr);
    EXPECT_EQ(w.dxbcDB->currentText(), "master");
    const QStringList sent = batches().mid(before);
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[1], "use master");
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(MainWindowTest, TypedNameWithABlankSwitchesAndAnUnknownOneShowsTheServerError) {
    TfKestrow w(ini(), logOn());
    int activations = 0;
    w.SetPageActivation(w.tsObjects, [&] { ++activations; });
    waitConnected(w);
    activations = 0;
    w.dxbcDB->setEditText("My DB");
    QTest::keyClick(w.dxbcDB->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(batches().last(), "use [My DB]");
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();
    EXPECT_EQ(activations, 1);

    w.dxbcDB->setEditText("No]Such");
    QTest::keyClick(w.dxbcDB->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(batches().last(), "use [No]]Such]");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("No]Such")) << errors[0].toStdString();
    EXPECT_EQ(activations, 1); // the switch stopped at the failing "use"
    EXPECT_TRUE(w.ADOConnection->Connected());
    // The switcher shows the database the session is still in.
    EXPECT_EQ(w.dxbcDB->currentText(), "My DB");
    auto rs = w.ADOConnection->Execute("select db_name()");
    EXPECT_EQ(rs->Fields(0).Text(), "My DB");
    // A reserved word is a name that needs brackets too.
    errors.clear();
    w.dxbcDB->setEditText("select");
    QTest::keyClick(w.dxbcDB->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(batches().last(), "use [select]");
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(w.dxbcDB->currentText(), "My DB");
}

TEST_F(MainWindowTest, EmptyLogOnDatabaseLeavesTheSwitcherEmptyAndSendsNoUse) {
    TfKestrow w(ini(), logOn(""));
    int activations = 0;
    w.SetPageActivation(w.tsObjects, [&] { ++activations; });
    const qsizetype before = batches().size();
    waitConnected(w);
    ASSERT_TRUE(SpinUntil([&] { return w.dxbcDB->count() > 0; }));
    EXPECT_EQ(w.dxbcDB->currentText(), "");
    EXPECT_EQ(batches().mid(before).size(), 1); // the database list only
    EXPECT_EQ(activations, 0);
}

TEST_F(MainWindowTest, DropDownShowsAtMostTwentyRows) {
    {
        TADOConnection c;
        c.SetConnectionString("Data Source=" + SimServer(*sim) + ";User ID=sa;Password=sa");
        c.Open();
        for (int i = 0; i < 20; ++i)
            c.Execute(QStringLiteral("create database [Extra%1]").arg(i));
    }
    TfKestrow w(ini(), logOn());
    waitConnected(w);
    EXPECT_GT(w.dxbcDB->count(), 20);
    EXPECT_EQ(w.dxbcDB->maxVisibleItems(), 20);
}

TEST_F(MainWindowTest, CancelledLogOnTerminatesAndWritesNothing) {
    ModalDriver driver({[](QWidget* w) {
        auto* login = qobject_cast<TfBrinLogin*>(w);
        ASSERT_NE(login, nullptr);
        login->bCancel->click();
    }});
    TfKestrow w(ini(), {});
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_FALSE(w.LoggedOn());
    EXPECT_TRUE(TApplication::Instance()->Terminated());
    EXPECT_FALSE(QFile::exists(ini()));
    w.close(); // the window was never used: closing it writes nothing either
    EXPECT_FALSE(QFile::exists(ini()));
}

TEST_F(MainWindowTest, LostServerIsNoticedAndTheNextSwitchLogsOnAgainIntoTheSwitchersDatabase) {
    auto server = std::make_unique<SimProcess>(std::vector<std::string>{"--demo", "--sa-password", "sa"});
    ASSERT_TRUE(server->started());
    const int port = server->port();
    const QString name = SimServer(*server);
    TfKestrow w(ini(), {"-s", name, "-u", "sa", "-p", "sa", "-d", "master"});
    w.show();
    ASSERT_TRUE(SpinUntil([&] { return w.dxbsConnected->text() == "Connected"; }));
    const int sales = w.dxbcDB->findText("Sales");
    ASSERT_GE(sales, 0);
    w.dxbcDB->setCurrentIndex(sales);
    emit w.dxbcDB->activated(sales);
    ASSERT_TRUE(errors.isEmpty()) << errors.join(";").toStdString();

    server->kill();
    const int inventory = w.dxbcDB->findText("Склад");
    ASSERT_GE(inventory, 0);
    w.dxbcDB->setCurrentIndex(inventory);
    emit w.dxbcDB->activated(inventory);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], "Connection to the server was lost.");
    EXPECT_FALSE(w.ADOConnection->Connected());
    EXPECT_TRUE(SpinUntil([&] { return w.dxbsConnected->text() == "Not connected"; }));
    EXPECT_EQ(w.dxbsCurrentUser->text(), "");
    EXPECT_EQ(w.dxbcDB->currentText(), "Sales");
    EXPECT_EQ(errors.size(), 1); // told once

    server = std::make_unique<SimProcess>(std::vector<std::string>{"--demo", "--sa-password", "sa"}, port);
    ASSERT_TRUE(server->started());
    QStringList seen;
    ModalDriver driver({[&](QWidget* modal) {
        auto* login = qobject_cast<TfBrinLogin*>(modal);
        ASSERT_NE(login, nullptr);
        seen << login->Server() << login->Database() << login->User() << login->Password();
        login->SetPassword("sa");
        login->bOk->click();
    }});
    w.dxbcDB->setCurrentIndex(inventory);
    emit w.dxbcDB->activated(inventory);
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(seen, QStringList({name, "master", "sa", "sa"}));
    EXPECT_TRUE(errors.size() == 1) << errors.join(";").toStdString();
    EXPECT_TRUE(w.ADOConnection->Connected());
    EXPECT_EQ(w.dxbsConnected->text(), "Connected");
    const QStringList sent = SimRequests(*server, "batch", "text");
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent[0], "use Sales");                                     // back where the session was
    EXPECT_EQ(sent[1], "use Склад");                                     // then the switch asked for
    EXPECT_TRUE(sent[2].startsWith("select user_name(o.uid) as sUser")); // and the Objects page follows
    EXPECT_EQ(w.dxbcDB->currentText(), "Склад");
    auto rs = w.ADOConnection->Execute("select db_name()");
    EXPECT_EQ(rs->Fields(0).Text(), "Склад");
}

TEST_F(MainWindowTest, FailedLogOnThenCancelEndsAtOnce) {
    QElapsedTimer clock;
    qint64 cancelledAt = -1;
    QString message;
    ModalDriver driver({[&](QWidget* modal) {
                            message = ModalDriver::Text(modal);
                            ModalDriver::ClickDefault(modal);
                        },
                        [&](QWidget* modal) {
                            auto* login = qobject_cast<TfBrinLogin*>(modal);
                            ASSERT_NE(login, nullptr);
                            clock.start();
                            cancelledAt = 0;
                            login->bCancel->click();
                        }});
    TfKestrow w(ini(), {"-s", "127.0.0.1,1", "-d", "master", "-u", "sa", "-p", "x"});
    const qint64 ended = clock.isValid() ? clock.elapsed() : -1;
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(message, "Cannot connect to 127.0.0.1,1: connection refused at 127.0.0.1:1.");
    ASSERT_EQ(cancelledAt, 0);
    EXPECT_LT(ended, 300) << "Cancel to the end of the log-on: " << ended << " ms";
    EXPECT_TRUE(TApplication::Instance()->Terminated());
    EXPECT_FALSE(QFile::exists(ini()));
    w.close(); // the window was never used: closing it writes nothing either
    EXPECT_FALSE(QFile::exists(ini()));
}

TEST_F(MainWindowTest, StatusBarShowsNotConnectedAfterTheConnectionIsGone) {
    TfKestrow w(ini(), logOn());
    waitConnected(w);
    w.ADOConnection->Close();
    w.aRefreshStatusBar->Execute();
    EXPECT_EQ(w.dxbsConnected->text(), "Not connected");
    EXPECT_EQ(w.dxbsCurrentUser->text(), "");
}

} // namespace

TEST_F(MainWindowTest, QueryPageMakesItsEditorOnTheFirstVisitAndLeavesItAsItIsAfterwards) {
    TfKestrow w(ini(), logOn("Sales"));
    waitConnected(w);
    EXPECT_FALSE(w.aLumScript->IsModuleCreated());
    w.pc->setCurrentWidget(w.tsQuery);
    ASSERT_TRUE(w.aLumScript->IsModuleCreated());
    auto* editor = qobject_cast<TfLumScript*>(w.aLumScript->ModuleForm());
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(w.tsQuery->isAncestorOf(editor));
    editor->re1->setText("select db_name() as db");
    editor->aRunExecute();
    const QString results = editor->re1Result->Text();
    EXPECT_TRUE(results.contains("Sales")) << results.toStdString();

    // Later visits neither make a new editor nor refresh it: text and results stay.
    w.pc->setCurrentWidget(w.tsObjects);
    w.pc->setCurrentWidget(w.tsQuery);
    EXPECT_EQ(w.aLumScript->ModuleForm(), editor);
    EXPECT_EQ(editor->re1->text(), "select db_name() as db");
    EXPECT_EQ(editor->re1Result->Text(), results);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}
