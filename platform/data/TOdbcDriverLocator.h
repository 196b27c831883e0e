#pragma once
// Finds the FreeTDS ODBC driver without any set-up: the "FreeTDS" entry of odbcinst.ini when the
// system registers one, otherwise the driver library itself in the usual library directories.
#include <QString>
#include <QStringList>

class TOdbcDriverLocator {
public:
    // The driver to name in the connection string. Raises EDatabaseError saying what to install
    // when neither a registered driver nor the library is found.
    static QString FreeTdsDriver();

    // The same choice over given facts: the drivers odbcinst.ini registers and the library paths
    // to try in order.
    static QString Choose(const QStringList& registeredDrivers, const QStringList& libraryPaths);

    // The driver names the driver manager knows (the sections of odbcinst.ini).
    static QStringList RegisteredDrivers();
    // Where the FreeTDS driver library is installed: the multiarch ODBC directory first.
    static QStringList LibraryPaths();
};
