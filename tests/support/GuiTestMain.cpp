// The main() of every GUI test program: offscreen unless a platform is set, one TApplication.
#include "TApplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    app.SetTitle(QStringLiteral("Marlinde"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
