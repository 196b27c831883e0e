// marlinde-sql: runs an SQL script on a Microsoft SQL Server from the command line.
#include "TSqlCommand.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    // Large result sets are written in big blocks.
    static char buffer[1 << 20];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    QStringList parameters = QCoreApplication::arguments();
    parameters.removeFirst();
    return TSqlCommand(parameters).Run();
}
