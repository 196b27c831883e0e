#include "Database.h"

#include "Names.h"

#include <algorithm>

namespace sqlsim::model {

namespace {

const char* const kFixedRoles[] = {"db_owner",      "db_accessadmin",    "db_securityadmin",
                                   "db_ddladmin",   "db_backupoperator", "db_datareader",
                                   "db_datawriter", "db_denydatareader", "db_denydatawriter"};

// Base tables and queues every database lists in sysobjects.
struct SystemObject {
    int id;
    const char* name;
    const char* type;
};
const SystemObject kSystemObjects[] = {
    {3, "sysrscols", "S"},
    {5, "sysrowsets", "S"},
    {7, "sysallocunits", "S"},
    {8, "sysfiles1", "S"},
    {34, "sysschobjs", "S"},
    {41, "syscolpars", "S"},
    {54, "sysidxstats", "S"},
    {60, "sysobjvalues", "S"},
    {1977058079, "QueryNotificationErrorsQueue", "SQ"},
    {2009058193, "EventNotificationErrorsQueue", "SQ"},
    {2041058307, "ServiceBrokerQueue", "SQ"},
};

} // namespace

Database::Database(std::string name_, int dbid_, Bytes ownerSid_, DateTimeValue created_)
    : name(std::move(name_)), dbid(dbid_), ownerSid(std::move(ownerSid_)), created(created_) {
    auto add = [this](int uid, const std::string& n, bool role, bool fixed, bool access,
                      std::optional<Bytes> sid) {
        DbPrincipal p;
        p.uid = uid;
        p.name = n;
        p.isRole = role;
        p.fixedRole = fixed;
        p.hasDbAccess = access;
        p.sid = std::move(sid);
        p.created = created;
        principals[uid] = p;
    };
    add(kPublicUid, "public", true, true, false, Bytes{0x01, 0x05, 0, 0, 0, 0, 0, 9, 4, 0, 0, 0});
    add(kDboUid, "dbo", false, false, true, ownerSid);
    add(2, "guest", false, false, false, Bytes{0x00});
    add(3, "INFORMATION_SCHEMA", false, false, false, std::nullopt);
    add(4, "sys", false, false, false, std::nullopt);
    int uid = 16384;
    for (const char* role : kFixedRoles) {
        add(uid, role, true, true, false, Bytes{0x01, 0x05, 0, 0, 0, 0, 0, 9, 4, 0, 0, uint8_t(uid & 0xFF)});
        uid += uid == 16387 ? 2 : 1; // 16388 is not used
    }
    members.insert({kDboUid, 16384});
    for (const auto& so : kSystemObjects) {
        ObjectDef o;
        o.id = so.id;
        o.name = so.name;
        o.type = so.type;
        o.uid = so.type == std::string("S") ? 4 : 1;
        o.created = created;
        objects[o.id] = o;
    }
}

ObjectDef* Database::object(int id) {
    auto it = objects.find(id);
    return it == objects.end() ? nullptr : &it->second;
}

std::string Database::ownerName(int uid) const {
    auto it = principals.find(uid);
    return it == principals.end() ? std::string() : it->second.name;
}

std::string Database::fullName(const ObjectDef& o) const {
    return ownerName(o.uid) + "." + o.name;
}

ObjectDef* Database::findObject(const std::string& text) {
    auto parts = splitName(text);
    if (parts.empty() || parts.size() > 3) {
        return nullptr;
    }
    if (parts.size() == 3 && !parts[0].empty() && !sameName(parts[0], name)) {
        return nullptr;
    }
    const std::string& objectName = parts.back();
    std::string owner = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();
    ObjectDef* fallback = nullptr;
    for (auto& [id, o] : objects) {
        if (!sameName(o.name, objectName)) {
            continue;
        }
        if (!owner.empty()) {
            if (sameName(ownerName(o.uid), owner)) {
                return &o;
            }
        } else if (o.uid == kDboUid || o.uid == 4) {
            return &o;
        } else if (!fallback) {
            fallback = &o;
        }
    }
    return owner.empty() ? fallback : nullptr;
}

int Database::objectId(const std::string& text) {
    ObjectDef* o = findObject(text);
    return o ? o->id : 0;
}

ObjectDef& Database::addTable(const std::string& tableName, std::vector<TableColumn> columns, int uid) {
    ObjectDef o;
    o.id = nextObjectId();
    o.name = tableName;
    o.uid = uid;
    o.type = "U";
    o.created = created;
    o.columns = std::move(columns);
    for (const auto& c : o.columns) {
        if (c.identity) {
            o.identityNext = c.identitySeed;
        }
    }
    return objects[o.id] = std::move(o);
}

ObjectDef& Database::addModule(const std::string& type, const std::string& moduleName,
                               const std::string& source, int parentId, int uid) {
    ObjectDef o;
    o.id = nextObjectId();
    o.name = moduleName;
    o.uid = uid;
    o.type = type;
    o.parentId = parentId;
    o.created = created;
    o.source = source;
    return objects[o.id] = std::move(o);
}

void Database::addDefault(ObjectDef& table, const std::string& column, const std::string& defaultName,
                          const std::string& text) {
    int tableId = table.id;
    int index = table.columnIndex(column);
    ObjectDef& d = addModule("D", defaultName, text, tableId, table.uid);
    ObjectDef& t = objects[tableId];
    if (index >= 0) {
        t.columns[size_t(index)].defaultId = d.id;
        t.columns[size_t(index)].defaultText = text;
    }
}

void Database::addForeignKey(ObjectDef& table, const std::string& column, const std::string& fkName,
                             ObjectDef& refTable, const std::string& refColumn, bool deleteCascade) {
    int tableId = table.id, refId = refTable.id;
    ObjectDef& f = addModule("F", fkName, "", tableId, table.uid);
    ForeignKey fk;
    fk.id = f.id;
    fk.name = fkName;
    fk.column = column;
    fk.refTableId = refId;
    fk.refColumn = refColumn;
    fk.deleteCascade = deleteCascade;
    objects[tableId].foreignKeys.push_back(fk);
}

void Database::addPrimaryKey(ObjectDef& table, const std::string& pkName, std::vector<std::string> columns) {
    int tableId = table.id;
    ObjectDef& k = addModule("PK", pkName, "", tableId, table.uid);
    ObjectDef& t = objects[tableId];
    t.primaryKeyId = k.id;
    t.primaryKeyColumns = std::move(columns);
}

void Database::dropObject(int id) {
    std::vector<int> children;
    for (const auto& [oid, o] : objects) {
        if (o.parentId == id) {
            children.push_back(oid);
        }
    }
    for (int child : children) {
        dropObject(child);
    }
    objects.erase(id);
    std::erase_if(permissions, [id](const Permission& p) { return p.objectId == id; });
    std::erase_if(extendedProperties, [id](const ExtendedProperty& p) { return p.id == id; });
}

DbPrincipal* Database::principal(const std::string& principalName) {
    for (auto& [uid, p] : principals) {
        if (sameName(p.name, principalName)) {
            return &p;
        }
    }
    return nullptr;
}

DbPrincipal* Database::principal(int uid) {
    auto it = principals.find(uid);
    return it == principals.end() ? nullptr : &it->second;
}

DbPrincipal* Database::userOfSid(const Bytes& sid) {
    for (auto& [uid, p] : principals) {
        if (!p.isRole && p.sid && *p.sid == sid && uid != 2) {
            return &p;
        }
    }
    return nullptr;
}

int Database::nextUid() {
    int uid = kFirstUserUid;
    while (principals.count(uid)) {
        ++uid;
    }
    return uid;
}

DbPrincipal& Database::addUser(const std::string& userName, const std::optional<Bytes>& sid,
                               bool hasDbAccess) {
    DbPrincipal p;
    p.uid = nextUid();
    p.name = userName;
    p.sid = sid;
    p.hasDbAccess = hasDbAccess;
    p.created = created;
    return principals[p.uid] = p;
}

DbPrincipal& Database::addRole(const std::string& roleName, bool fixed) {
    DbPrincipal p;
    p.uid = nextUid();
    p.name = roleName;
    p.isRole = true;
    p.fixedRole = fixed;
    p.sid = Bytes{0x01, 0x05, 0, 0, 0, 0, 0, 9, 4, 0, 0, 0, uint8_t(p.uid & 0xFF), uint8_t(p.uid >> 8)};
    p.created = created;
    return principals[p.uid] = p;
}

void Database::removePrincipal(int uid) {
    principals.erase(uid);
    std::erase_if(members, [uid](const std::pair<int, int>& m) { return m.first == uid || m.second == uid; });
    std::erase_if(permissions, [uid](const Permission& p) { return p.grantee == uid; });
}

} // namespace sqlsim::model
