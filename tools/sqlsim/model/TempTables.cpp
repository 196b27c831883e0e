#include "TempTables.h"

#include "Names.h"

#include <cstdio>

namespace sqlsim::model {

namespace {

std::string suffix(int spid) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%012X", unsigned(spid));
    return buf;
}

} // namespace

std::string TempTables::storedName(const std::string& name, int spid) {
    std::string padded = name;
    if (padded.size() < 116) {
        padded += std::string(116 - padded.size(), '_');
    }
    return padded + suffix(spid);
}

ObjectDef* TempTables::find(Instance& instance, const std::string& name, int spid) {
    Database* tempdb = instance.findDatabase("tempdb");
    if (!tempdb) {
        return nullptr;
    }
    const std::string stored = storedName(name, spid);
    for (auto& [id, o] : tempdb->objects) {
        if (o.type == "U" && sameName(o.name, stored)) {
            return &o;
        }
    }
    return nullptr;
}

ObjectDef& TempTables::create(Instance& instance, const std::string& name, int spid,
                              std::vector<TableColumn> columns) {
    Database* tempdb = instance.findDatabase("tempdb");
    if (!tempdb) {
        throw SqlError(911, 16,
                       "Database 'tempdb' does not exist. Make sure that the name is entered correctly.");
    }
    if (find(instance, name, spid)) {
        throw SqlError(2714, 16, "There is already an object named '" + name + "' in the database.", 6);
    }
    return tempdb->addTable(storedName(name, spid), std::move(columns));
}

void TempTables::dropAll(Instance& instance, int spid) {
    dropAllBut(instance, spid, {});
}

std::set<int> TempTables::ids(Instance& instance, int spid) {
    std::set<int> result;
    Database* tempdb = instance.findDatabase("tempdb");
    if (!tempdb) {
        return result;
    }
    const std::string end = suffix(spid);
    for (const auto& [id, o] : tempdb->objects) {
        if (o.type == "U" && o.name.size() == 128 && o.name[0] == '#' && o.name.compare(116, 12, end) == 0) {
            result.insert(id);
        }
    }
    return result;
}

void TempTables::dropAllBut(Instance& instance, int spid, const std::set<int>& before) {
    Database* tempdb = instance.findDatabase("tempdb");
    for (int id : ids(instance, spid)) {
        if (!before.count(id)) {
            tempdb->dropObject(id);
        }
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

} // namespace sqlsim::model
