// Finding the FreeTDS driver with and without its odbcinst.ini entry.
#include "EDatabaseError.h"
#include "TOdbcDriverLocator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(DriverLocator, RegisteredEntryFirstThenTheFirstLibraryFoundThenWhatToInstall) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath("missing/libtdsodbc.so");
    const QString library = dir.filePath("lib/libtdsodbc.so");
    const QString later = dir.filePath("later/libtdsodbc.so");
    for (const QString& path : {library, later}) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // A directory with the library's name is not the library.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("dir/libtdsodbc.so")));
    const QString notAFile = dir.filePath("dir/libtdsodbc.so");

    EXPECT_EQ(TOdbcDriverLocator::Choose({"PostgreSQL", "freetds"}, {library}), "FreeTDS");
    EXPECT_EQ(TOdbcDriverLocator::Choose({"PostgreSQL"}, {missing, notAFile, library, later}), library);
    try {
        TOdbcDriverLocator::Choose({"PostgreSQL"}, {missing, notAFile});
        FAIL() << "chose a driver that is not there";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains("Install the package tdsodbc")) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains("MARLINDE_ODBC_DRIVER")) << e.Message().toStdString();
    }
}

// The set-up installs tdsodbc, which registers "FreeTDS" and puts its library in the multiarch
// ODBC directory: both ways must find it here.
TEST(DriverLocator, FindsTheInstalledDriverBothWays) {
    EXPECT_TRUE(TOdbcDriverLocator::RegisteredDrivers().contains("FreeTDS"));
    const QString library = TOdbcDriverLocator::Choose({}, TOdbcDriverLocator::LibraryPaths());
    EXPECT_TRUE(library.endsWith("/odbc/libtdsodbc.so")) << library.toStdString();
    EXPECT_TRUE(QFileInfo(library).isFile());
}

} // namespace
