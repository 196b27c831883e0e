// Marlinde: a desktop administration tool for Microsoft SQL Server.
#include "TApplication.h"
#include "ufKestrow.h"

#include <memory>

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    application.SetTitle(QStringLiteral("Marlinde"));
    auto fKestrow = std::make_unique<TfKestrow>();
    application.SetMainForm(fKestrow.get());
    return application.Run();
}
