// Marlinde: a desktop administration tool for Microsoft SQL Server.
#include "TApplication.h"
#include "ufKestrow.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr const char* kUsage =
    "Usage: marlinde [-s server] [-d database] [-u user] [-p password] [-t]\n"
    "\n"
    "Logs on to a Microsoft SQL Server and opens the main window. With a server, a database and\n"
    "either a user or -t the log-on dialog is skipped; otherwise it is shown with the values given.\n"
    "\n"
    "  -s server     the server: host, host,port or host\\instance\n"
    "  -d database   the database to start in\n"
    "  -u user       log on with SQL Server authentication as this login\n"
    "  -p password   its password (empty when left out)\n"
    "  -t            log on with integrated security (a Kerberos ticket)\n"
    "  --help        print this text and exit\n"
    "  --version     print the version and exit\n";

} // namespace

int main(int argc, char** argv) {
    // Answered before any window system is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("marlinde %s\n", MARLINDE_VERSION);
            return 0;
        }
    }
    TApplication application(argc, argv);
    application.SetTitle(QStringLiteral("Marlinde"));
    // Lets the desktop match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("marlinde"));
    auto fKestrow = std::make_unique<TfKestrow>();
    application.SetMainForm(fKestrow.get());
    return application.Run();
}
