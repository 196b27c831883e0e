#pragma once
// Local temporary tables (#name): kept in tempdb under the name the server gives them (the name
// padded with underscores, then a suffix of the session), seen only by the session that made them
// and dropped when it disconnects.
#include "Context.h"

#include <set>
#include <string>
#include <vector>

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
    // The ids of the session's tables in tempdb.
    static std::set<int> ids(Instance& instance, int spid);
    // Drops the session's tables that are not among before (those a procedure made, as it ends).
    static void dropAllBut(Instance& instance, int spid, const std::set<int>& before);
    // A name of the form [tempdb.][schema.]#name, or #name; "" when the name is not a temporary one
    // (or names another database than tempdb).
    static std::string tempName(const std::vector<std::string>& parts);
};

} // namespace sqlsim::model
