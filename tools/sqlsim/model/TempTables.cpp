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
    Database* tempdb = instance.findDatabase("tempdb");
    if (!tempdb) {
        return;
    }
    const std::string end = suffix(spid);
    std::vector<int> ids;
    for (const auto& [id, o] : tempdb->objects) {
        if (o.type == "U" && o.name.size() == 128 && o.name[0] == '#' && o.name.compare(116, 12, end) == 0) {
            ids.push_back(id);
        }
    }
    for (int id : ids) {
        tempdb->dropObject(id);
    }
}

} // namespace sqlsim::model
