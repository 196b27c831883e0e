#pragma once
// The demo server "DEMO": system databases, two demo databases (English and Cyrillic names), logins,
// users, roles, linked servers, processes and one backup file; optionally a scale database.
#include "../Responder.h"

#include <memory>
#include <string>

namespace sqlsim::model {

struct DemoOptions {
    std::string saPassword = "sa";
    int objects = 0; // > 0: a database "Scale" with this many tables
    int rows = 0;    // > 0: a table Scale.dbo.Rows with this many rows
};

// The logins and passwords of the demo, for --help.
std::string demoLoginsText(const DemoOptions& options);

} // namespace sqlsim::model

std::unique_ptr<sqlsim::Responder> makeDemoInstance(const sqlsim::model::DemoOptions& options);
// A bare server "SQLSIM" of the same model: master, tempdb, model and msdb, and the login sa; with
// rows > 0 also master.dbo.generated_rows (id int, name nvarchar(50), created datetime) with that
// many rows, for the streaming benchmark.
std::unique_ptr<sqlsim::Responder> makeBareInstance(const std::string& saPassword, int rows = 0);
