#include "Exception.h"
#include "ModalDriver.h"
#include "SimLog.h"
#include "TADOConnection.h"
#include "TApplication.h"
#include "TDropDownComboBox.h"
#include "TIniFile.h"
#include "TWaitWindow.h"
#include "brinLogin.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cstdio>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using testsupport::ModalDriver;
using testsupport::SimProcess;

namespace {

// A socket that listens but never speaks: the connection is made, the log-on never answered.
class SilentServer {
public:
    SilentServer() {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_fd, 4) != 0)
            return;
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~SilentServer() { ::close(m_fd); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    bool Listening() const { return m_port > 0; }
    QString Name() const { return QStringLiteral("127.0.0.1,%1").arg(m_port); }

private:
    int m_fd = -1;
    int m_port = 0;
};

class LoginDialogTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TADOConnection connection;
    TfBrinLogin dialog;
    QStringList errors; // what reached the default error handler

    void SetUp() override {
        dialog.SetConnection(&connection);
        dialog.SetParameters({});
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
    }
    void TearDown() override { TApplication::Instance()->OnException = nullptr; }
    QString ini() const { return dir.filePath("marlinde.ini"); }
    void readIni(const QString& server, const QString& db, const QString& user, bool trusted) {
        TIniFile f(ini());
        f.WriteString("connection", "Server", server);
        f.WriteString("connection", "DB", db);
        f.WriteString("connection", "User", user);
        f.WriteString("connection", "TrustConnection", trusted ? "1" : "0");
        dialog.ReadIni(ini(), "connection");
    }
    // A step that looks at the dialog, then presses a button of it.
    ModalDriver::Step onDialog(std::function<void()> look, QPushButton* press) {
        return [this, look, press](QWidget* w) {
            EXPECT_EQ(w, &dialog);
            if (look)
                look();
            if (press)
                press->click();
            else // Enter in a field presses the default button
                QTest::keyClick(dialog.ePassword, Qt::Key_Return);
        };
    }
    ModalDriver::Step onMessage(QStringList& texts) {
        return [&texts](QWidget* w) {
            texts << ModalDriver::Text(w) + "|" + w->windowTitle();
            ModalDriver::ClickDefault(w);
        };
    }
};

TEST_F(LoginDialogTest, ConnectionStringInsertsValuesAsTyped) {
    dialog.SetServer("srv\\inst");
    dialog.SetDatabase("");
    dialog.SetUser("sa");
    dialog.SetPassword("a;b=c");
    EXPECT_EQ(dialog.BuildConnectionString(true),
              "Provider=SQLOLEDB.1;Persist Security Info=False;"
              "Data Source=srv\\inst;Initial Catalog=;User ID=sa;Password=a;b=c");
    EXPECT_EQ(
        dialog.BuildConnectionString(false),
        "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=srv\\inst;User ID=sa;Password=a;b=c");
    dialog.SetDatabase("Sales");
    dialog.SetTrustConnection(true);
    EXPECT_EQ(dialog.BuildConnectionString(true),
              "Provider=SQLOLEDB.1;Persist Security Info=False;"
              "Data Source=srv\\inst;Initial Catalog=Sales;Integrated Security=SSPI;");
}

TEST_F(LoginDialogTest, IniSectionNeverHoldsThePassword) {
    {
        // The foreign section comes first: a delete that ignored the section would hit it.
        TIniFile f(ini());
        f.WriteString("other", "Password", "not ours");
        f.WriteString("connection", "Password", "old secret");
    }
    readIni("host", "Склад", "clerk", true);
    EXPECT_TRUE(dialog.Password().isEmpty());
    EXPECT_EQ(dialog.Database(), "Склад");
    EXPECT_TRUE(dialog.TrustConnection());
    dialog.SetPassword("typed");
    dialog.SetTrustConnection(false);
    dialog.WriteIni(ini(), "connection");
    TIniFile f(ini());
    EXPECT_FALSE(f.ValueExists("connection", "Password"));
    EXPECT_EQ(f.ReadString("other", "Password", ""), "not ours");
    EXPECT_EQ(f.ReadString("connection", "TrustConnection", ""), "0");
    EXPECT_EQ(f.ReadString("connection", "User", ""), "clerk");
    EXPECT_EQ(f.ReadString("connection", "LoginTimeout", ""), "15");
}

TEST_F(LoginDialogTest, LayoutCaptionsAndTabOrder) {
    EXPECT_EQ(dialog.Caption(), "Login");
    EXPECT_EQ(dialog.width(), 298);
    EXPECT_EQ(dialog.cbTrustConnection->text(), "Trust Connection");
    EXPECT_EQ(dialog.ePassword->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(dialog.sbProfiles->isVisibleTo(&dialog));
    QList<QWidget*> order;
    QWidget* w = dialog.eServer;
    for (int i = 0; i < 7; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus || w->parentWidget() != &dialog)
            w = w->nextInFocusChain();
        order << w;
    }
    EXPECT_EQ(order, QList<QWidget*>({dialog.eServer, dialog.eDB, dialog.eUser, dialog.ePassword,
                                      dialog.cbTrustConnection, dialog.bOk, dialog.bCancel}));
}

TEST_F(LoginDialogTest, TextsSwitchBetweenEnglishAndRussianWhileTheProgramRuns) {
    auto texts = [this] {
        return QStringList{dialog.Caption(),      dialog.Label1->text(),  dialog.Label2->text(),
                           dialog.Label3->text(), dialog.Label4->text(),  dialog.cbTrustConnection->text(),
                           dialog.bOk->text(),    dialog.bCancel->text(), dialog.sbProfiles->toolTip()};
    };
    const QStringList english{"Login", "Server", "Database", "User", "Password", "Trust Connection",
                              "Ok",    "Cancel", "Profiles"};
    const QStringList russian{"Подсоединение к серверу",    "Сервер", "База",   "Пользователь", "Пароль",
                              "Использовать логин Windows", "Ok",     "Отмена", "Профили"};
    EXPECT_EQ(texts(), english);
    dialog.SetLanguage("Russian");
    EXPECT_EQ(texts(), russian);
    EXPECT_EQ(dialog.Language(), "Russian");
    // No text is clipped: each label fits its place, and the fields sit right of the labels.
    for (QLabel* label : {dialog.Label1, dialog.Label2, dialog.Label3, dialog.Label4}) {
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
        EXPECT_LE(label->geometry().right(), dialog.eServer->x());
    }
    EXPECT_GE(dialog.cbTrustConnection->width(), dialog.cbTrustConnection->sizeHint().width());
    EXPECT_LE(dialog.bCancel->geometry().right(), dialog.width());

    // Switched back while the dialog is on screen.
    QStringList seenOpen;
    ModalDriver driver({onDialog(
        [&] {
            seenOpen = texts();
            dialog.SetLanguage("English");
            seenOpen += texts();
        },
        dialog.bCancel)});
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(seenOpen, russian + english);
    EXPECT_EQ(dialog.width(), 298);

    dialog.SetLanguage("russian"); // language names are exact: nothing changes
    EXPECT_EQ(texts(), english);
}

TEST_F(LoginDialogTest, LongerTextsAndALargerFontWidenTheDialogInsteadOfClipping) {
    dialog.show();
    const int designWidth = dialog.width();
    dialog.cbTrustConnection->setText(QStringLiteral("Использовать логин Windows для входа на сервер"));
    dialog.Label3->setText(QStringLiteral("Пользователь сервера"));
    QFont big = dialog.font();
    big.setPointSizeF(big.pointSizeF() * 2);
    dialog.setFont(big);
    QApplication::processEvents();
    dialog.layout()->activate();
    EXPECT_GT(dialog.width(), designWidth);
    for (QWidget* w :
         {static_cast<QWidget*>(dialog.Label1), static_cast<QWidget*>(dialog.Label3),
          static_cast<QWidget*>(dialog.cbTrustConnection), static_cast<QWidget*>(dialog.bCancel)}) {
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
        EXPECT_GE(w->height(), w->sizeHint().height()) << w->objectName().toStdString();
        EXPECT_TRUE(dialog.rect().contains(w->geometry())) << w->objectName().toStdString();
    }
    // Fields stay in one column, right of every label.
    EXPECT_GT(dialog.eServer->x(), dialog.Label3->geometry().right());
    EXPECT_EQ(dialog.eServer->x(), dialog.ePassword->x());
    dialog.hide();
}

TEST_F(LoginDialogTest, TrustedAuthenticationMakesCredentialsReadOnlyButKeepsThem) {
    dialog.SetUser("bob");
    dialog.cbTrustConnection->click();
    EXPECT_TRUE(dialog.eUser->isReadOnly());
    EXPECT_TRUE(dialog.ePassword->isReadOnly());
    EXPECT_NE(dialog.eUser->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(dialog.User(), "bob");
    dialog.SetTrustConnection(false);
    EXPECT_FALSE(dialog.eUser->isReadOnly());
    EXPECT_EQ(dialog.ePassword->palette().color(QPalette::Base), QColor(Qt::white));
}

TEST_F(LoginDialogTest, CommandLineWithServerDatabaseAndUserLogsOnWithoutTheDialog) {
    SimProcess sim({"--demo", "--sa-password", "se;cr=et"});
    ASSERT_TRUE(sim.started());
    readIni("elsewhere", "master", "nobody", true);
    dialog.SetParameters({"-s", testsupport::SimServer(sim), "-d", "Sales", "-u", "sa", "-p", "se;cr=et"});
    bool shown = false;
    ModalDriver driver({[&](QWidget* w) {
        shown = true;
        w->close();
    }});
    EXPECT_TRUE(dialog.Execute());
    EXPECT_FALSE(shown);
    EXPECT_TRUE(connection.Connected());
    EXPECT_FALSE(dialog.TrustConnection()); // "-s" unchecked the setting from the INI file
    EXPECT_EQ(testsupport::SimRequests(sim, "login", "database"), QStringList({"Sales"}));
}

TEST_F(LoginDialogTest, CommandLineTrustedLogOnThatFailsShowsTheErrorThenTheFilledDialog) {
    SimProcess sim({"--demo"});
    ASSERT_TRUE(sim.started());
    readIni("", "", "kept", false);
    dialog.SetParameters({"-t", "-s", testsupport::SimServer(sim), "-d", "master"});
    QStringList messages;
    ModalDriver driver({onMessage(messages), onDialog(
                                                 [&] {
                                                     EXPECT_TRUE(dialog.TrustConnection());
                                                     EXPECT_EQ(dialog.Server(), testsupport::SimServer(sim));
                                                     EXPECT_EQ(dialog.User(), "kept");
                                                     EXPECT_EQ(dialog.focusWidget(),
                                                               dialog.cbTrustConnection);
                                                 },
                                                 dialog.bCancel)});
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(driver.Remaining(), 0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].endsWith("|Marlinde")) << messages[0].toStdString();
    EXPECT_FALSE(connection.Connected());
}

TEST_F(LoginDialogTest, CommandLineUserWithoutPasswordTriesAnEmptyOne) {
    SimProcess sim({"--demo", "--sa-password", "sa"});
    ASSERT_TRUE(sim.started());
    readIni("", "", "", false);
    dialog.SetParameters({"-s", testsupport::SimServer(sim), "-d", "master", "-u", "sa"});
    QStringList messages;
    ModalDriver driver(
        {onMessage(messages), onDialog([&] { EXPECT_EQ(dialog.Password(), ""); }, dialog.bCancel)});
    EXPECT_FALSE(dialog.Execute());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Login failed for user 'sa'.")) << messages[0].toStdString();
}

TEST_F(LoginDialogTest, ServerAndUserWithoutDatabaseOnlyFillTheFields) {
    readIni("ini-server", "", "ini-user", true);
    dialog.SetParameters({"-s", "cmd-server", "-u", "cmd-user", "-p"}); // a trailing switch is ignored
    ModalDriver driver({onDialog(
        [&] {
            EXPECT_EQ(dialog.Server(), "cmd-server");
            EXPECT_EQ(dialog.User(), "cmd-user");
            EXPECT_FALSE(dialog.TrustConnection());
            EXPECT_EQ(dialog.focusWidget(), dialog.eDB); // server given, database empty
        },
        dialog.bCancel)});
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(driver.Remaining(), 0);
}

TEST_F(LoginDialogTest, ValuesAreExaminedAsSwitchesAndTheLastOccurrenceWins) {
    readIni("", "", "ini-user", false);
    // "-s -d": the server is "-d"; that "-d" takes "-u" as the database; the last "-u" has no value.
    dialog.SetParameters({"-s", "first", "-s", "-d", "-u"});
    ModalDriver driver({onDialog(
        [&] {
            EXPECT_EQ(dialog.Server(), "-d");
            EXPECT_EQ(dialog.Database(), "-u");
            EXPECT_EQ(dialog.User(), "ini-user");
            EXPECT_EQ(dialog.focusWidget(), dialog.ePassword); // server, database and user given
        },
        dialog.bCancel)});
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(driver.Remaining(), 0);
}

TEST_F(LoginDialogTest, WrongPasswordThenRightOneRetriesWithTheTypedValues) {
    SimProcess sim({"--demo", "--sa-password", "sa"});
    ASSERT_TRUE(sim.started());
    readIni(testsupport::SimServer(sim), "master", "sa", false);
    QStringList messages;
    ModalDriver driver({onDialog(
                            [&] {
                                EXPECT_EQ(dialog.focusWidget(), dialog.ePassword);
                                dialog.SetPassword("wrong");
                            },
                            dialog.bOk),
                        onMessage(messages),
                        onDialog(
                            [&] {
                                EXPECT_EQ(dialog.Password(), "wrong");
                                EXPECT_EQ(dialog.Database(), "master");
                                dialog.SetPassword("sa");
                            },
                            nullptr)});
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(driver.Remaining(), 0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Login failed for user 'sa'.")) << messages[0].toStdString();
    EXPECT_TRUE(connection.Connected());
}

TEST_F(LoginDialogTest, DatabaseDropDownListsTheCatalogsAndClosesTheConnection) {
    SimProcess sim({"--demo", "--sa-password", "sa"});
    ASSERT_TRUE(sim.started());
    readIni(testsupport::SimServer(sim), "typed", "sa", false);
    dialog.SetPassword("sa");
    dialog.eDBDropDown();
    QStringList items;
    for (int i = 0; i < dialog.eDB->count(); ++i)
        items << dialog.eDB->itemText(i);
    EXPECT_TRUE(items.contains("Sales"));
    EXPECT_TRUE(items.contains("Склад"));
    EXPECT_EQ(dialog.eDB->maxVisibleItems(), items.size());
    EXPECT_EQ(dialog.Database(), "typed");
    EXPECT_FALSE(connection.Connected());
    // Listing connects without a database.
    EXPECT_EQ(testsupport::SimRequests(sim, "login", "database").value(0), "master");
}

TEST_F(LoginDialogTest, DropDownAgainstAnUnreachableServerShowsTheErrorAndOneEmptyEntry) {
    readIni("127.0.0.1,1", "", "sa", false);
    dialog.eDB->addItem("stale");
    dialog.eDB->showPopup(); // through the control: the error goes to the default handler
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("127.0.0.1,1")) << errors[0].toStdString();
    ASSERT_EQ(dialog.eDB->count(), 1);
    EXPECT_EQ(dialog.eDB->itemText(0), "");

    TfBrinLogin unbound;
    try {
        unbound.eDBDropDown();
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Подключение не найдено.");
    }
}

TEST_F(LoginDialogTest, ServerThatNeverAnswersFailsWithinTheLoginTimeout) {
    SilentServer silent;
    ASSERT_TRUE(silent.Listening());
    readIni(silent.Name(), "master", "sa", false);
    TIniFile(ini()).WriteInteger("connection", "LoginTimeout", 2);
    dialog.ReadIni(ini(), "connection");
    EXPECT_EQ(dialog.LoginTimeout(), 2);
    ModalDriver driver({[](QWidget* w) { EXPECT_NE(qobject_cast<TWaitWindow*>(w), nullptr); }});
    QElapsedTimer clock;
    clock.start();
    try {
        dialog.Connect();
        FAIL() << "connected";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message().contains(silent.Name())) << e.Message().toStdString();
    }
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_EQ(driver.Remaining(), 0); // the wait window was on screen meanwhile
}

TEST_F(LoginDialogTest, CancelInTheWaitWindowReturnsToTheDialogAtOnce) {
    SilentServer silent;
    ASSERT_TRUE(silent.Listening());
    readIni(silent.Name(), "master", "sa", false);
    QElapsedTimer clock;
    qint64 cancelledAt = -1, dialogAgainAt = -1;
    QString waitText;
    ModalDriver driver({onDialog([&] { dialog.SetPassword("typed"); }, dialog.bOk),
                        [&](QWidget* w) {
                            auto* wait = qobject_cast<TWaitWindow*>(w);
                            ASSERT_NE(wait, nullptr) << w->metaObject()->className();
                            waitText = wait->Text();
                            clock.start();
                            cancelledAt = 0;
                            wait->bCancel->click();
                        },
                        onDialog(
                            [&] {
                                dialogAgainAt = clock.elapsed();
                                EXPECT_EQ(dialog.Server(), silent.Name());
                                EXPECT_EQ(dialog.Database(), "master");
                                EXPECT_EQ(dialog.User(), "sa");
                                EXPECT_EQ(dialog.Password(), "typed");
                            },
                            dialog.bCancel)});
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_TRUE(waitText.startsWith("Connecting to " + silent.Name() + "…")) << waitText.toStdString();
    ASSERT_EQ(cancelledAt, 0);
    EXPECT_GE(dialogAgainAt, 0);
    EXPECT_LT(dialogAgainAt, 1000) << "Cancel to dialog: " << dialogAgainAt << " ms";
    std::printf("[ measure  ] Cancel to the login dialog: %lld ms\n", static_cast<long long>(dialogAgainAt));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(";").toStdString(); // no message for a cancel
    EXPECT_FALSE(connection.Connected());
}

} // namespace
