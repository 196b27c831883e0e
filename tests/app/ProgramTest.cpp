#include "SimLog.h"
#include "TIniFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using testsupport::SimProcess;

namespace {

// The real program, copied into a directory of its own so that its INI file lands there.
TEST(ProgramTest, CommandLineLogOnOpensTheMainWindowOnTheDatabaseAndWritesTheIniFile) {
    SimProcess sim({"--demo", "--sa-password", "p;w"});
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    const QString exe = dir.filePath("marlinde");
    ASSERT_TRUE(QFile::copy(MARLINDE_BINARY, exe));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(exe, {"-s", testsupport::SimServer(sim), "-u", "sa", "-p", "p;w", "-d", "Склад"});
    ASSERT_TRUE(program.waitForStarted());
    QElapsedTimer clock;
    clock.start();
    while (!testsupport::SimRequests(sim, "batch", "text").contains("use Склад") && clock.elapsed() < 20000 &&
           program.state() == QProcess::Running)
        program.waitForFinished(50); // a short wait for the program, not a fixed sleep
    EXPECT_TRUE(testsupport::SimRequests(sim, "batch", "text").contains("use Склад"));
    EXPECT_EQ(program.state(), QProcess::Running);
    TIniFile ini(dir.filePath("marlinde.ini"));
    EXPECT_EQ(ini.ReadString("connection", "DB", ""), "Склад");
    EXPECT_FALSE(ini.ValueExists("connection", "Password"));
    program.kill();
    program.waitForFinished();
}

TEST(ProgramTest, HelpAndVersionPrintAndExitWithoutAWindow) {
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
    EXPECT_TRUE(QString::fromUtf8(program.readAllStandardOutput()).startsWith("Marlinde 0."));
}

} // namespace
