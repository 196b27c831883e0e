#pragma once
// One database of the instance: files, objects, principals, memberships, permissions and
// extended properties. Copyable, so that a backup keeps a snapshot of it.
#include "ObjectDef.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sqlsim::model {

struct DbFile {
    std::string logicalName;
    std::string physicalName;
    char type = 'D'; // D data, L log
    int64_t sizeBytes = 8 * 1024 * 1024;
};

struct DbPrincipal {
    int uid = 0;
    std::string name;
    bool isRole = false;
    bool fixedRole = false;
    bool hasDbAccess = false;
    std::optional<Bytes> sid;
    DateTimeValue created;
};

struct Permission {
    int objectId = 0; // the object; a schema's principal uid (scope S); 0 for the database (scope D)
    int grantee = 0;
    int grantor = 1;
    int actions = 0; // syspermissions.actadd bits: 1 select, 2 update, 8 insert, 16 delete, 32 execute
    int denied = 0;    // the same bits, denied
    int grantable = 0; // the granted bits the grantee may grant on (with grant option)
    char scope = 'O';  // O object, S schema, D database
};

struct ExtendedProperty {
    int id = 0;
    int smallid = 0; // column id, 0 for the object itself
    std::string name;
    SqlValue value; // a sql_variant, or NULL
};

// A trigger on the database's definition statements (create, alter and drop of tables, views,
// procedures and functions). Kept apart from the objects: it belongs to no schema and has no
// object id that object_id() or the object views would show.
struct DatabaseTrigger {
    int id = 0;
    std::string name;
    std::string source;              // the create statement as sent
    std::vector<std::string> events; // e.g. "create_table", groups already expanded
    bool disabled = false;
    DateTimeValue created;
};

class Database {
public:
    static constexpr int kFirstUserUid = 5;
    static constexpr int kPublicUid = 0;
    static constexpr int kDboUid = 1;

    // A database with the system users, the fixed roles and a few system objects.
    Database(std::string name, int dbid, Bytes ownerSid, DateTimeValue created);

    std::string name;
    int dbid = 0;
    Bytes ownerSid;
    DateTimeValue created;
    // 80 lets the non-ANSI outer joins (*=, =*) through; newer levels refuse them with 4147.
    int compatLevel = 150;
    std::vector<DbFile> files;
    std::map<int, ObjectDef> objects;      // by id
    std::map<int, DbPrincipal> principals; // by uid
    std::set<std::pair<int, int>> members; // (member uid, role uid)
    std::vector<Permission> permissions;
    std::vector<ExtendedProperty> extendedProperties;
    std::vector<DatabaseTrigger> databaseTriggers; // in the order they were made

    // object_id(): "name", "owner.name", "db.owner.name", "db..name"; nullptr when it names nothing here.
    ObjectDef* findObject(const std::string& name);
    int objectId(const std::string& name);
    ObjectDef* object(int id);
    // "owner.name" of an object.
    std::string fullName(const ObjectDef& o) const;
    std::string ownerName(int uid) const;

    ObjectDef& addTable(const std::string& name, std::vector<TableColumn> columns, int uid = kDboUid);
    ObjectDef& addModule(const std::string& type, const std::string& name, const std::string& source,
                         int parentId = 0, int uid = kDboUid);
    // Adds a default constraint object for the table's column; text with its outer parentheses.
    void addDefault(ObjectDef& table, const std::string& column, const std::string& name,
                    const std::string& text);
    void addForeignKey(ObjectDef& table, const std::string& column, const std::string& name,
                       ObjectDef& refTable, const std::string& refColumn, bool deleteCascade);
    void addPrimaryKey(ObjectDef& table, const std::string& name, std::vector<std::string> columns);
    // Removes the object and the constraints and triggers that belong to it.
    void dropObject(int id);

    DbPrincipal* principal(const std::string& name);
    DbPrincipal* principal(int uid);
    // The user mapped to a login (by sid), or nullptr.
    DbPrincipal* userOfSid(const Bytes& sid);
    DbPrincipal& addUser(const std::string& name, const std::optional<Bytes>& sid, bool hasDbAccess = true);
    DbPrincipal& addRole(const std::string& name, bool fixed = false);
    void removePrincipal(int uid);
    bool isMember(int memberUid, int roleUid) const { return members.count({memberUid, roleUid}) > 0; }
    bool hasExtendedPropertiesView() { return findObject("vs_ExtProps") != nullptr; }

    int nextObjectId() { return m_nextObjectId += 16; }

private:
    int nextUid();
    int m_nextObjectId = 245575913;
};

} // namespace sqlsim::model
