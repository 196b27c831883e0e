#include "TOdbcDriverLocator.h"

#include "EDatabaseError.h"

#include <QFileInfo>

#include <memory>

#include <sql.h>
#include <sqlext.h>

namespace {

const QString kFreeTds = QStringLiteral("FreeTDS");

struct TEnvironmentHandleFree {
    void operator()(SQLHENV env) const { SQLFreeHandle(SQL_HANDLE_ENV, env); }
};

} // namespace

QString TOdbcDriverLocator::FreeTdsDriver() {
    return Choose(RegisteredDrivers(), LibraryPaths());
}

QString TOdbcDriverLocator::Choose(const QStringList& registeredDrivers, const QStringList& libraryPaths) {
    if (registeredDrivers.contains(kFreeTds, Qt::CaseInsensitive))
        return kFreeTds;
    for (const QString& path : libraryPaths) {
        const QFileInfo library(path);
        if (library.isFile() && library.isReadable())
            return library.absoluteFilePath();
    }
    throw EDatabaseError(
        QStringLiteral("The FreeTDS ODBC driver is not installed. Install the package tdsodbc "
                       "(sudo apt install tdsodbc), or name another driver in MARLINDE_ODBC_DRIVER."));
}

QStringList TOdbcDriverLocator::RegisteredDrivers() {
    QStringList drivers;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return drivers;
    const std::unique_ptr<void, TEnvironmentHandleFree> envGuard(env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[512];
    SQLCHAR attributes[2048];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    // A name or attribute list longer than the buffers comes back truncated (still a success).
    while (SQL_SUCCEEDED(SQLDrivers(env, direction, name, sizeof name, &nameLength, attributes,
                                    sizeof attributes, &attributesLength))) {
        drivers.append(QString::fromUtf8(reinterpret_cast<const char*>(name)));
        direction = SQL_FETCH_NEXT;
    }
    return drivers;
}

QStringList TOdbcDriverLocator::LibraryPaths() {
    const QString arch = QStringLiteral(MARLINDE_LIBRARY_ARCHITECTURE);
    QStringList paths;
    if (!arch.isEmpty()) {
        paths << QStringLiteral("/usr/lib/%1/odbc/libtdsodbc.so").arg(arch)
              << QStringLiteral("/usr/lib/%1/libtdsodbc.so").arg(arch);
    }
    paths << QStringLiteral("/usr/lib64/libtdsodbc.so") << QStringLiteral("/usr/lib/libtdsodbc.so")
          << QStringLiteral("/usr/local/lib/libtdsodbc.so");
    return paths;
}
