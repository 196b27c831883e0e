#pragma once
// Local temporary tables (#name): kept in tempdb under the name the server gives them (the name
// padded with underscores, then a suffix of the session), seen only by the session that made them
// and dropped when it disconnects.
#include "Context.h"

#include <string>

namespace sqlsim::model {

class TempTables {
public:
    static bool isTemp(const std::string& name) { return !name.empty() && name[0] == '#'; }
    // The name tempdb keeps the session's table under.
    static std::string storedName(const std::string& name, int spid);
    // The session's table, or nullptr.
    static ObjectDef* find(Instance& instance, const std::string& name, int spid);
    // Creates the session's table; 2714 when it has one of that name already.
    static ObjectDef& create(Instance& instance, const std::string& name, int spid,
                             std::vector<TableColumn> columns);
    // Drops every table of the session.
    static void dropAll(Instance& instance, int spid);
};

} // namespace sqlsim::model
