#include "SimLog.h"
#include "TIniFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using testsupport::SimProcess;

namespace {

// The real program, copied into a directory of its own (so that by default its INI file lands
// there), logged on from the command line to the simulator's database Склад.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.started());
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QFile::copy(MARLINDE_BINARY, exe));
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    void TearDown() override {
        program.kill();
        program.waitForFinished();
    }
    // Starts the program and waits until it switched to the database (true) or gave up.
    bool logOn() {
        program.setProcessEnvironment(env);
        program.start(exe, {"-s", testsupport::SimServer(sim), "-u", "sa", "-p", "p;w", "-d", "Склад"});
        if (!program.waitForStarted())
            return false;
        QElapsedTimer clock;
        clock.start();
        while (!switched() && clock.elapsed() < 20000 && program.state() == QProcess::Running)
            program.waitForFinished(50); // a short wait for the program, not a fixed sleep
        return switched() && program.state() == QProcess::Running;
    }
    bool switched() const { return testsupport::SimRequests(sim, "batch", "text").contains("use Склад"); }

    SimProcess sim{{"--demo", "--sa-password", "p;w"}};
    QTemporaryDir dir;
    const QString exe = dir.filePath("marlinde");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess program;
};

TEST_F(ProgramTest, CommandLineLogOnOpensTheMainWindowOnTheDatabaseAndWritesTheIniFile) {
    ASSERT_TRUE(logOn());
    TIniFile ini(dir.filePath("marlinde.ini"));
    EXPECT_EQ(ini.ReadString("connection", "DB", ""), "Склад");
    EXPECT_FALSE(ini.ValueExists("connection", "Password"));
}

TEST_F(ProgramTest, WithAReadOnlyProgramDirectoryTheSettingsGoToTheConfigurationDirectory) {
    env.insert("MARLINDE_PROGRAM_DIR_READONLY", "1");
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    ASSERT_TRUE(logOn());
    const QString settings = dir.filePath("config/marlinde/marlinde.ini");
    EXPECT_EQ(TIniFile(settings).ReadString("connection", "DB", ""), "Склад");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("marlinde.ini")));
}

// A system whose odbcinst.ini has no FreeTDS entry: the driver library is used directly.
TEST_F(ProgramTest, LogsOnWhenTheDriverIsNotRegistered) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("odbc"));
    QFile odbcinst(dir.filePath("odbc/odbcinst.ini"));
    ASSERT_TRUE(odbcinst.open(QIODevice::WriteOnly));
    odbcinst.close();
    env.insert("ODBCSYSINI", dir.filePath("odbc"));
    env.insert("ODBCINSTINI", "odbcinst.ini");
    env.remove("MARLINDE_ODBC_DRIVER");
    EXPECT_TRUE(logOn());
}

TEST(ProgramVersion, PrintsTheVersionWithoutADisplayAndTouchesNoSettings) {
    QTemporaryDir dir;
    const QString exe = dir.filePath("marlinde");
    ASSERT_TRUE(QFile::copy(MARLINDE_BINARY, exe));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(exe, {"--version"});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardOutput(), QByteArray("marlinde " MARLINDE_VERSION "\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"marlinde"});
}

TEST(ProgramVersion, HelpAndVersionPrintAndExitWithoutAWindow) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY"); // no window system is needed to answer
    program.setProcessEnvironment(env);
    program.start(MARLINDE_BINARY, {"--help"});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
    const QString help = QString::fromUtf8(program.readAllStandardOutput());
    for (const char* option :
         {"-s server", "-d database", "-u user", "-p password", "-t ", "--help", "--version"})
        EXPECT_TRUE(help.contains(option)) << option;
    program.start(MARLINDE_BINARY, {"-s", "x", "--version"});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardOutput(), QByteArray("marlinde " MARLINDE_VERSION "\n"));
}

} // namespace
