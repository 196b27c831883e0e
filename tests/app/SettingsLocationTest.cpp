// Where the settings file lives: beside a program run from a directory of its own, in the user's
// configuration directory for an installed program or a read-only program directory.
#include "ufKestrow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Sets environment variables for one test and puts the old values back.
class TEnvironment {
public:
    ~TEnvironment() {
        for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
            if (it.value().isNull())
                qunsetenv(it.key().constData());
            else
                qputenv(it.key().constData(), it.value());
        }
    }
    void Set(const char* name, const QByteArray& value) {
        if (!m_saved.contains(name))
            m_saved.insert(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

private:
    QMap<QByteArray, QByteArray> m_saved;
};

void touch(const QString& path) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

class SettingsLocation : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        env.Set("MARLINDE_PROGRAM_DIR_READONLY", QByteArray());
        env.Set("XDG_CONFIG_HOME", root.filePath("config").toLocal8Bit());
        env.Set("HOME", root.filePath("home").toLocal8Bit());
    }
    QTemporaryDir root;
    TEnvironment env;
};

TEST_F(SettingsLocation, BesideTheProgramInAWritableDirectoryOfItsOwn) {
    touch(root.filePath("build/bin/marlinde"));
    EXPECT_EQ(TfKestrow::IniFileNameFor(root.filePath("build/bin/marlinde")),
              root.filePath("build/bin/marlinde.ini"));
    EXPECT_FALSE(QFileInfo::exists(root.filePath("config/marlinde")));
}

TEST_F(SettingsLocation, InTheConfigurationDirectoryWhenTheProgramDirectoryIsReadOnly) {
    touch(root.filePath("bin/marlinde"));
    env.Set("MARLINDE_PROGRAM_DIR_READONLY", "1");
    EXPECT_EQ(TfKestrow::IniFileNameFor(root.filePath("bin/marlinde")),
              root.filePath("config/marlinde/marlinde.ini"));
    // The directory is made, so the first write can create the file.
    EXPECT_TRUE(QFileInfo(root.filePath("config/marlinde")).isDir());

    // Without XDG_CONFIG_HOME, or with a relative one (invalid), it is ~/.config.
    env.Set("XDG_CONFIG_HOME", QByteArray());
    EXPECT_EQ(TfKestrow::IniFileNameFor(root.filePath("bin/marlinde")),
              root.filePath("home/.config/marlinde/marlinde.ini"));
    env.Set("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(TfKestrow::IniFileNameFor(root.filePath("bin/marlinde")),
              root.filePath("home/.config/marlinde/marlinde.ini"));
}

// Unpacked from the package: writable (as root, or under a temporary root) but installed.
TEST_F(SettingsLocation, InTheConfigurationDirectoryForAnInstalledProgram) {
    touch(root.filePath("usr/bin/marlinde"));
    touch(root.filePath("usr/share/applications/marlinde.desktop"));
    EXPECT_EQ(TfKestrow::IniFileNameFor(root.filePath("usr/bin/marlinde")),
              root.filePath("config/marlinde/marlinde.ini"));
    EXPECT_FALSE(QFileInfo::exists(root.filePath("usr/bin/marlinde.ini")));
}

} // namespace
