#pragma once
// A test suite sharing one simulator with the demo instance (sa's password "sa"), started once
// for the suite and stopped after it.
#include "SimProcess.h"

#include <QString>

#include <gtest/gtest.h>

namespace testsupport {

class DemoSimSuite : public ::testing::Test {
protected:
    static inline SimProcess* sim = nullptr;

    static void SetUpTestSuite() { sim = new SimProcess({"--demo", "--sa-password", "sa"}); }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    // An ADO connection string for sa on the shared simulator, in database (or master).
    static QString SaConnectionString(const QString& database = {}) {
        QString s = QStringLiteral("Data Source=127.0.0.1,%1;").arg(sim->port());
        if (!database.isEmpty())
            s += QStringLiteral("Initial Catalog=%1;").arg(database);
        return s + QStringLiteral("User ID=sa;Password=sa");
    }
};

} // namespace testsupport
