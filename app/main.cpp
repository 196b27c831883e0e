// Marlinde: a desktop administration tool for Microsoft SQL Server.
#include "TApplication.h"
#include "ufKestrow.h"

#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
    // Answered before any window system is touched, so it works without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("marlinde %s\n", MARLINDE_VERSION);
        return 0;
    }
    TApplication application(argc, argv);
    application.SetTitle(QStringLiteral("Marlinde"));
    // Lets the desktop match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("marlinde"));
    auto fKestrow = std::make_unique<TfKestrow>();
    application.SetMainForm(fKestrow.get());
    return application.Run();
}
