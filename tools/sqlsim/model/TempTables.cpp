#include "TempTables.h"

#include "Names.h"

#include <cstdio>
#include <cstdlib>

namespace sqlsim::model {

namespace {

constexpr size_t kPadded = 116;
constexpr size_t kSuffix = 12;

// Twelve hex digits: the scope above the session's id, so a table of the batch itself carries the
// session's id alone.
std::string suffix(int spid, int depth) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%012llX", (static_cast<unsigned long long>(depth) << 16) | unsigned(spid));
    return buf;
}

// The session and scope of a stored local name; false for any other name.
bool parseStored(const std::string& stored, int& spid, int& depth) {
    if (stored.size() != kPadded + kSuffix || stored[0] != '#' || stored[1] == '#') {
        return false;
    }
    const std::string digits = stored.substr(kPadded);
    char* end = nullptr;
    const unsigned long long v = std::strtoull(digits.c_str(), &end, 16);
    if (end != digits.c_str() + digits.size()) {
        return false;
    }
    spid = int(v & 0xFFFF);
    depth = int(v >> 16);
    return true;
}

Database& tempdbOf(Instance& instance) {
    Database* tempdb = instance.findDatabase("tempdb");
    if (!tempdb) {
        throw SqlError(911, 16, "Database 'tempdb' does not exist. Make sure that the name is entered correctly.");
    }
    return *tempdb;
}

ObjectDef* findStored(Database& tempdb, const std::string& stored) {
    for (auto& [id, o] : tempdb.objects) {
        if (o.type == "U" && sameName(o.name, stored)) {
            return &o;
        }
    }
    return nullptr;
}

} // namespace

std::string TempTables::storedName(const std::string& name, const Session& session) {
    if (isGlobal(name)) {
        return name;
    }
    std::string padded = name;
    if (padded.size() < kPadded) {
        padded += std::string(kPadded - padded.size(), '_');
    }
    return padded + suffix(session.spid, session.tempScope);
}

ObjectDef* TempTables::find(Instance& instance, const std::string& name, const Session& session) {
    Database* tempdb = instance.findDatabase("tempdb");
    if (!tempdb) {
        return nullptr;
    }
    if (isGlobal(name)) {
        return findStored(*tempdb, name);
    }
    Session at = session;
    for (at.tempScope = session.tempScope; at.tempScope >= 0; --at.tempScope) {
        if (ObjectDef* o = findStored(*tempdb, storedName(name, at))) {
            return o;
        }
    }
    return nullptr;
}

ObjectDef& TempTables::create(Instance& instance, const std::string& name, const Session& session,
                              std::vector<TableColumn> columns) {
    Database& tempdb = tempdbOf(instance);
    const std::string stored = storedName(name, session);
    if (findStored(tempdb, stored)) {
        throw SqlError(2714, 16, "There is already an object named '" + name + "' in the database.", 6);
    }
    ObjectDef& table = tempdb.addTable(stored, std::move(columns));
    own(table, session);
    return table;
}

bool TempTables::madeHere(Instance& instance, const std::string& name, const Session& session) {
    Database* tempdb = instance.findDatabase("tempdb");
    return tempdb && findStored(*tempdb, storedName(name, session));
}

void TempTables::own(ObjectDef& table, const Session& session) {
    if (isGlobal(table.name)) {
        table.creatorSpid = session.spid;
    }
}

std::set<int> TempTables::localIds(Instance& instance, int spid, int depth) {
    std::set<int> result;
    Database* tempdb = instance.findDatabase("tempdb");
    if (!tempdb) {
        return result;
    }
    for (const auto& [id, o] : tempdb->objects) {
        int owner = 0;
        int scope = 0;
        if (o.type == "U" && parseStored(o.name, owner, scope) && owner == spid && scope >= depth) {
            result.insert(id);
        }
    }
    return result;
}

void TempTables::dropAll(Instance& instance, int spid) {
    Database* tempdb = instance.findDatabase("tempdb");
    if (!tempdb) {
        return;
    }
    std::set<int> ids = localIds(instance, spid, 0);
    for (const auto& [id, o] : tempdb->objects) {
        if (o.type == "U" && o.creatorSpid == spid && isGlobal(o.name)) {
            ids.insert(id);
        }
    }
    for (int id : ids) {
        tempdb->dropObject(id);
    }
}

std::string TempTables::tempName(const std::vector<std::string>& parts) {
    if (parts.empty() || !isTemp(parts.back()) || parts.size() > 3) {
        return {};
    }
    if (parts.size() == 3 && !parts[0].empty() && !sameName(parts[0], "tempdb")) {
        return {};
    }
    return parts.back();
}

TempTables::Scope::Scope(Context& ctx) : m_ctx(ctx) {
    ++m_ctx.session.tempScope;
}

TempTables::Scope::~Scope() {
    const int depth = m_ctx.session.tempScope;
    --m_ctx.session.tempScope;
    if (Database* tempdb = m_ctx.instance.findDatabase("tempdb")) {
        for (int id : localIds(m_ctx.instance, m_ctx.session.spid, depth)) {
            tempdb->dropObject(id);
        }
    }
}

} // namespace sqlsim::model
