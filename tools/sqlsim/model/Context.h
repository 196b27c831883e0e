#pragma once
// What a handler works with while it answers one request.
#include "Instance.h"
#include "SqlError.h"

#include "../Request.h"
#include "../Response.h"

namespace sqlsim::model {

struct Context {
    Instance& instance;
    Session& session;
    Response& response;

    // The session's current database; error 911 when it has gone.
    Database& db() {
        Database* d = instance.findDatabase(session.database);
        if (!d) {
            throw SqlError(911, 16,
                           "Database '" + session.database +
                               "' does not exist. Make sure that the name is entered correctly.");
        }
        return *d;
    }
    bool noCount() const {
        auto it = session.options.find("nocount");
        return it != session.options.end() && it->second == "on";
    }
    // Ends a statement that counted rows; with nocount on its DONE goes without the count.
    void rowCount(int64_t n) { response.rowCount(n, !noCount()); }
};

// Adds the error and the messages that follow it; line: where the statement began, when the error
// names none of its own.
inline void addError(Response& response, const SqlError& e, int line) {
    response.error(e.number(), e.severity(), e.what(), e.state(), e.procedure(),
                   e.line() > 1 ? e.line() : line);
    for (const SqlError& f : e.following) {
        addError(response, f, line);
    }
}

} // namespace sqlsim::model
