#include "Exception.h"
#include "ModalDriver.h"
#include "TAction.h"
#include "TApplication.h"
#include "TIniFile.h"
#include "brinLogin.h"
#include "uTLumProfiles.h"
#include "uTLumTranslator.h"
#include "ufLumProfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using testsupport::ModalDriver;

namespace {

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// The message of the exception f raises, or "<no error>".
template <class F> QString errorOf(F&& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

QStringList menuCaptions(QMenu* menu) {
    QStringList captions;
    for (QAction* a : menu->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return captions;
}

// Rows of the list that fit in its visible area.
int visibleRows(TfLumProfiles* chooser) {
    return chooser->ListBox->viewport()->height() / chooser->ItemHeight();
}

class ProfilesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TfBrinLogin dialog;
    TLumProfiles& profiles = *dialog.Profiles;
    QStringList errors; // what reached the default error handler

    void SetUp() override {
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
        writeBytes(ini(), "[connection]\nServer=main\nDB=master\nUser=sa\nTrustConnection=0\n");
        dialog.ReadIni(ini(), "connection");
    }
    void TearDown() override { TApplication::Instance()->OnException = nullptr; }
    QString ini() const { return dir.filePath("marlinde.ini"); }
    QString profile(const QString& name) const { return dir.filePath("marlinde(" + name + ").ini"); }
};

TEST(ProfileNamesTest, FileNameAndNameOfFileRulesRoundTripAndRefuseWhatCannot) {
    TLumProfiles p;
    p.SetIniFileName("/home/u/app.ini");
    EXPECT_EQ(p.ProfileFileName("prod"), "/home/u/app(prod).ini");
    EXPECT_EQ(p.ProfileFileName("*"), "/home/u/app(*).ini");
    EXPECT_EQ(TLumProfiles::ProfileNameOf("/home/u/app(prod).ini"), "prod");
    EXPECT_EQ(TLumProfiles::ProfileNameOf("app(v1.2).ini"), "v1.2");
    EXPECT_EQ(TLumProfiles::ProfileNameOf("app(a(b)).ini"), "b)");
    EXPECT_EQ(TLumProfiles::ProfileNameOf("app.ini"), "");
    for (const QString name : {"prod", "v1.2", "x y", "a)b", "R&D", "Тест", " lead", "..", "*"}) {
        EXPECT_EQ(TLumProfiles::ProfileNameOf(p.ProfileFileName(name)), name);
        EXPECT_EQ(errorOf([&] { p.CheckProfileName(name); }), "<no error>") << name.toStdString();
    }
    EXPECT_EQ(errorOf([&] { p.CheckProfileName(""); }), "Enter a name for the profile.");
    EXPECT_TRUE(errorOf([&] { p.CheckProfileName("a/b"); }).contains("\"a/b\" cannot be used"));
    const QString bracketed = errorOf([&] { p.CheckProfileName("a(b)"); });
    EXPECT_TRUE(bracketed.contains("\"a(b)\"") && bracketed.contains("app(a(b)).ini"))
        << bracketed.toStdString();
    EXPECT_TRUE(errorOf([&] { p.CheckProfileName("old.ini"); }).contains("cannot be used"));

    // Only the file-name part takes the profile name.
    p.SetIniFileName("/etc/conf.ini.d/app.ini");
    EXPECT_EQ(p.ProfileFileName("prod"), "/etc/conf.ini.d/app(prod).ini");
    p.SetIniFileName("/etc/app.ini.ini");
    EXPECT_EQ(p.ProfileFileName("prod"), "/etc/app(prod).ini.ini");
    EXPECT_EQ(TLumProfiles::ProfileNameOf(p.ProfileFileName("prod")), "prod");
    p.SetIniFileName("/etc/settings");
    EXPECT_EQ(p.ProfileFileName("prod"), "/etc/settings(prod)");
    EXPECT_EQ(TLumProfiles::ProfileNameOf("/etc/settings(prod)"), "prod");
}

TEST_F(ProfilesTest, MenuListsHandCopiedProfilesSortedAndNothingElse) {
    EXPECT_EQ(menuCaptions(profiles.BuildMenu()),
              QStringList({"Добавить текущий профиль", "Настройка...", "-"}));

    for (const QString name : {"zeta", "Alpha", "beta.2", "R&D", "a(b)", ""})
        writeBytes(profile(name), "[connection]\n");
    for (const QString other : {"marlinde(x).ini.bak", "other(x).ini", "marlinde(x).txt", "marlinde.ini~"})
        writeBytes(dir.filePath(other), "x");
    ASSERT_TRUE(QDir(dir.path()).mkdir("marlinde(folder).ini"));
    profiles.RefreshList();
    EXPECT_EQ(profiles.Names(), QStringList({"Alpha", "beta.2", "R&D", "zeta"}));

    QMenu* menu = profiles.BuildMenu();
    EXPECT_EQ(menuCaptions(menu), QStringList({"Добавить текущий профиль", "Настройка...", "-", "Alpha",
                                               "beta.2", "R&&D", "zeta"}));
    for (QAction* a : menu->actions())
        EXPECT_TRUE(a->isSeparator() || !a->icon().isNull()) << a->text().toStdString();

    // The button is hidden until the owner shows it, and pops the menu up.
    dialog.show();
    EXPECT_FALSE(dialog.sbProfiles->isVisible());
    dialog.SetProfilesVisible(true);
    ASSERT_TRUE(dialog.sbProfiles->isVisible());
    QTest::mouseClick(dialog.sbProfiles, Qt::LeftButton);
    ASSERT_NE(profiles.Menu(), nullptr);
    EXPECT_TRUE(profiles.Menu()->isVisible());
    EXPECT_EQ(profiles.Menu()->actions().size(), 7);
    profiles.Menu()->close();
    dialog.hide();
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(ProfilesTest, ChooserIsEightRowsHighWithoutProfilesAndTwentyWithThirty) {
    int rows = 0, count = -1, scrollMax = -1;
    auto look = [&](QWidget* w) {
        auto* chooser = qobject_cast<TfLumProfiles*>(w);
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser, profiles.Chooser());
        rows = visibleRows(chooser);
        count = chooser->ListBox->count();
        scrollMax = chooser->ListBox->verticalScrollBar()->maximum();
        chooser->close();
    };
    {
        ModalDriver driver({look});
        profiles.ShowChooser();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(count, 0);
    EXPECT_EQ(rows, 8);
    EXPECT_EQ(profiles.Chooser(), nullptr); // freed when it closed

    for (int i = 1; i <= 30; ++i)
        writeBytes(profile(QString("p%1").arg(i, 2, 10, QChar('0'))), "x");
    {
        ModalDriver driver({look});
        profiles.ShowChooser();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(count, 30);
    EXPECT_EQ(rows, 20);
    EXPECT_GT(scrollMax, 0);
}

TEST_F(ProfilesTest, NewProfileOverwritesAnExistingNameWithoutAskingAndTheChooserFollows) {
    dialog.SetServer("first");
    profiles.SaveProfile("prod");
    dialog.SetServer("second");
    auto typeName = [](const QString& name) {
        return [name](QWidget* w) {
            auto* combo = w->findChild<QComboBox*>();
            ASSERT_NE(combo, nullptr);
            combo->setEditText("");
            QTest::keyClicks(combo, name);
            QTest::keyClick(w->focusWidget(), Qt::Key_Return);
        };
    };
    {
        ModalDriver driver({[](QWidget* w) {
            auto* combo = w->findChild<QComboBox*>();
            EXPECT_EQ(combo->count(), 0); // the list is read when the menu opens
            w->close();
        }});
        profiles.NewProfile();
    }
    profiles.RefreshList();
    {
        // One window only: the name prompt. A question would be left waiting and fail the driver.
        ModalDriver driver({typeName("prod")});
        profiles.NewProfile();
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(TIniFile(profile("prod")).ReadString("connection", "Server", ""), "second");
    EXPECT_EQ(profiles.CurrentIndex(), 0);

    // From the chooser: a new name joins its list in order; delete and double click act on the
    // selected entry.
    writeBytes(profile("zeta"), "[connection]\nServer=zeta\n");
    dialog.SetServer("third");
    QStringList afterNew;
    QString currentAfterNew;
    auto onChooser = [](const std::function<void(TfLumProfiles*)>& act) {
        return [act](QWidget* w) {
            auto* chooser = qobject_cast<TfLumProfiles*>(w);
            ASSERT_NE(chooser, nullptr);
            act(chooser);
        };
    };
    ModalDriver driver({onChooser([](TfLumProfiles* c) {
                            // Runs after this step returns: the prompt is modal in its turn.
                            QTimer::singleShot(0, c, [c] { c->aNew->trigger(); });
                        }),
                        typeName("mid"), onChooser([&](TfLumProfiles* c) {
                            for (int i = 0; i < c->ListBox->count(); ++i)
                                afterNew << c->ListBox->item(i)->text();
                            currentAfterNew = c->SelectedName();
                            c->ListBox->setCurrentRow(afterNew.indexOf("prod"));
                            c->aDelete->trigger();
                            QListWidgetItem* zeta = c->ListBox->item(1);
                            ASSERT_EQ(zeta->text(), "zeta");
                            const QRect r = c->ListBox->visualItemRect(zeta);
                            QTest::mouseClick(c->ListBox->viewport(), Qt::LeftButton, {}, r.center());
                            QTest::mouseDClick(c->ListBox->viewport(), Qt::LeftButton, {}, r.center());
                        })});
    EXPECT_EQ(profiles.ShowChooser(), mrOk);
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(afterNew, QStringList({"mid", "prod", "zeta"}));
    EXPECT_EQ(currentAfterNew, "mid");
    EXPECT_EQ(TIniFile(profile("mid")).ReadString("connection", "Server", ""), "third");
    EXPECT_FALSE(QFile::exists(profile("prod")));
    EXPECT_EQ(dialog.Server(), "zeta"); // loaded by the double click
    EXPECT_EQ(profiles.Names(), QStringList({"mid", "zeta"}));
    EXPECT_EQ(profiles.CurrentIndex(), 1);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(ProfilesTest, TrustedAuthenticationComesBackAndThePasswordNeverGoesIn) {
    TIniFile(ini()).WriteString("connection", "Password", "stored");
    dialog.SetServer("srv");
    dialog.SetUser("sa");
    dialog.SetPassword("secret");
    dialog.SetTrustConnection(true);
    profiles.SaveProfile("trusted");
    const QByteArray saved = readBytes(profile("trusted"));
    EXPECT_TRUE(saved.contains("TrustConnection=1"));
    EXPECT_FALSE(saved.contains("secret") || saved.contains("stored") || saved.contains("Password"));

    dialog.SetTrustConnection(false);
    dialog.SetServer("elsewhere");
    dialog.WriteIni(ini(), "connection");
    profiles.LoadProfile("trusted");
    EXPECT_TRUE(dialog.TrustConnection());
    EXPECT_TRUE(dialog.eUser->isReadOnly());
    EXPECT_EQ(dialog.Server(), "srv");
    EXPECT_EQ(dialog.Password(), "secret"); // the typed password stays in the field only
}

TEST_F(ProfilesTest, LoadReplacesTheWholeSettingsFileByteForByte) {
    const QByteArray content = QByteArray("\xEF\xBB\xBF; kept as is\r\n[Main Window]\r\nLeft=12\r\n"
                                          "[connection]\r\nServer=from profile\r\nDB=Склад\r\n"
                                          "[modules]\r\nx=a,b @y C:\\Temp \x01\r\nno final break");
    writeBytes(profile("full"), content);
    const QByteArray expected = readBytes(profile("full"));
    profiles.RefreshList();
    profiles.LoadProfile("full");
    EXPECT_EQ(readBytes(ini()), expected);
    EXPECT_EQ(profiles.CurrentIndex(), 0);
    EXPECT_EQ(dialog.Server(), "from profile"); // the fields were read again
    EXPECT_EQ(dialog.Database(), "Склад");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // no temporary file left
}

TEST_F(ProfilesTest, FailedCopiesAndDeletesLeaveTheFilesAndNameThem) {
    const QByteArray before = readBytes(ini());
    dialog.SetServer("typed");

    // A missing profile: nothing changes, the fields keep what was typed.
    const QString missing = errorOf([&] { profiles.LoadProfile("gone"); });
    EXPECT_TRUE(missing.contains(profile("gone"))) << missing.toStdString();
    EXPECT_EQ(readBytes(ini()), before);
    EXPECT_EQ(dialog.Server(), "typed");

    // A write that fails part way (the file size limit stops it) leaves the old settings file.
    writeBytes(profile("big"), "[connection]\nServer=big\n" + QByteArray(256 * 1024, 'x'));
    {
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const QString message = errorOf([&] { profiles.LoadProfile("big"); });
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_TRUE(message.contains(ini())) << message.toStdString();
    }
    EXPECT_EQ(readBytes(ini()), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // no temporary file left

    // A delete that fails names the file; one from the menu reaches the user.
    ASSERT_TRUE(QDir(dir.path()).mkpath("marlinde(stuck).ini/inside"));
    const QString stuck = errorOf([&] { profiles.DeleteProfile("stuck"); });
    EXPECT_TRUE(stuck.contains(profile("stuck"))) << stuck.toStdString();
    writeBytes(profile("vanishing"), "x");
    QMenu* menu = profiles.BuildMenu();
    ASSERT_TRUE(QFile::remove(profile("vanishing")));
    menu->actions().constLast()->trigger();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(profile("vanishing")));

    // A refused name saves, loads and deletes nothing, also outside the directory.
    writeBytes(dir.filePath("x).ini"), "x"); // what "marlinde(a/../x).ini" reaches
    ASSERT_TRUE(QDir(dir.path()).mkdir("marlinde(a"));
    EXPECT_TRUE(errorOf([&] { profiles.SaveProfile("a/b"); }).contains("cannot be used"));
    EXPECT_TRUE(errorOf([&] { profiles.DeleteProfile("a/../x"); }).contains("cannot be used"));
    EXPECT_TRUE(errorOf([&] { profiles.LoadProfile("a/../x"); }).contains("cannot be used"));
    EXPECT_TRUE(QFile::exists(dir.filePath("x).ini")));
    EXPECT_EQ(readBytes(ini()), before);

    // With nothing selected, delete and load do nothing.
    TfLumProfiles chooser(&profiles);
    chooser.ListBox->addItems({"big"});
    chooser.ListBox->clearSelection();
    chooser.aDeleteExecute();
    chooser.aLoadExecute();
    EXPECT_EQ(chooser.ListBox->count(), 1);
    EXPECT_TRUE(QFile::exists(profile("big")));
    EXPECT_EQ(readBytes(ini()), before);
}

TEST_F(ProfilesTest, ChooserTextsFollowTheDialogLanguageAndAnUnknownOneKeepsTheDesign) {
    dialog.SetLanguage("Russian");
    EXPECT_EQ(profiles.ChooserLanguage(), "Russian");
    auto texts = [&](const QString& language) {
        TfLumProfiles chooser(&profiles);
        chooser.SetLanguage(language);
        return QStringList{chooser.Caption(), chooser.aNew->Hint(), chooser.aDelete->Hint()};
    };
    EXPECT_EQ(texts("Russian"), QStringList({"Профили", "Создать профиль", "Удалить профиль"}));
    EXPECT_EQ(texts("English"), QStringList({"Profiles", "Create new profile", "Delete profile"}));
    EXPECT_EQ(texts("Klingon"), QStringList({"Profiles", "Create new profile", "Delete profile"}));

    QString caption;
    ModalDriver driver({[&](QWidget* w) {
        caption = w->windowTitle();
        w->close();
    }});
    profiles.ShowChooser();
    EXPECT_EQ(caption, "Профили");
}

} // namespace
