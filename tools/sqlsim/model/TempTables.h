#pragma once
// Temporary tables. A local one (#name) is kept in tempdb under the name the server gives it (the
// name padded with underscores, then a suffix of the session and of the procedure or dynamic text
// that made it), seen only by its session, the innermost of that name first, and dropped when what
// made it ends. A global one (##name) is kept under its own name, seen by every session and dropped
// when the session that made it disconnects.
#include "Context.h"

#include <set>
#include <string>
#include <vector>

namespace sqlsim::model {

class TempTables {
public:
    static bool isTemp(const std::string& name) { return !name.empty() && name[0] == '#'; }
    static bool isGlobal(const std::string& name) { return name.size() > 1 && name[0] == '#' && name[1] == '#'; }
    // The name tempdb keeps the table under, made at the session's current scope.
    static std::string storedName(const std::string& name, const Session& session);
    // The table the session sees by that name (its innermost local one, or the global one), or nullptr.
    static ObjectDef* find(Instance& instance, const std::string& name, const Session& session);
    // Creates the table at the session's current scope; 2714 when that scope (for a global name,
    // the instance) has one of that name already.
    static ObjectDef& create(Instance& instance, const std::string& name, const Session& session,
                             std::vector<TableColumn> columns);
    // Whether the session's current scope (for a global name, the instance) has a table of that name.
    static bool madeHere(Instance& instance, const std::string& name, const Session& session);
    // Marks a global table made by the session as its own (to go when it disconnects).
    static void own(ObjectDef& table, const Session& session);
    // Drops every local table of the session and the global ones it made.
    static void dropAll(Instance& instance, int spid);
    // A name of the form [tempdb.][schema.]#name, or #name; "" when the name is not a temporary one
    // (or names another database than tempdb).
    static std::string tempName(const std::vector<std::string>& parts);

    // While a procedure or a dynamic text runs: the local tables it makes hide its caller's of the
    // same name, and go when it ends, however it ends.
    class Scope {
    public:
        explicit Scope(Context& ctx);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        Context& m_ctx;
    };

private:
    // The local tables of the session made at scope depth or deeper.
    static std::set<int> localIds(Instance& instance, int spid, int depth);
};

} // namespace sqlsim::model
