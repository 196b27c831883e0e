#include "Instance.h"

#include "Names.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace sqlsim::model {

Instance::Instance(std::string name) : serverName(std::move(name)) {
    version = "Microsoft SQL Server 2019 (RTM-CU22) (KB5027702) - 15.0.4322.2 (X64) \n"
              "\tJul 27 2023 18:11:00 \n"
              "\tCopyright (C) 2019 Microsoft Corporation\n"
              "\tDeveloper Edition (64-bit) on Linux (Marlinde SQL Server simulator) <X64>\n";
    dataDirectory = "C:\\Program Files\\Microsoft SQL Server\\MSSQL15.MSSQLSERVER\\MSSQL\\DATA";
    backupDirectory = "C:\\Program Files\\Microsoft SQL Server\\MSSQL15.MSSQLSERVER\\MSSQL\\Backup";
    addDirectory(dataDirectory);
    addDirectory(backupDirectory);
    LinkedServer self;
    self.srvid = 0;
    self.name = serverName;
    self.product = "SQL Server";
    self.dataSource = serverName;
    self.isRemote = true;
    m_servers.push_back(self);
}

const std::vector<std::pair<std::string, std::string>>& Instance::serverRoles() {
    static const std::vector<std::pair<std::string, std::string>> roles = {
        {"sysadmin", "System Administrators"},      {"securityadmin", "Security Administrators"},
        {"serveradmin", "Server Administrators"},   {"setupadmin", "Setup Administrators"},
        {"processadmin", "Process Administrators"}, {"diskadmin", "Disk Administrators"},
        {"dbcreator", "Database Creators"},         {"bulkadmin", "Bulk Insert Administrators"},
    };
    return roles;
}

bool Instance::isServerRole(const std::string& name) {
    for (const auto& r : serverRoles()) {
        if (sameName(r.first, name)) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<Instance::Snapshot> Instance::snapshot() const {
    auto s = std::make_unique<Snapshot>();
    for (const auto& [key, db] : m_databases) {
        s->databases[key] = std::make_unique<Database>(*db);
    }
    s->logins = m_logins;
    s->servers = m_servers;
    s->directories = m_directories;
    s->backups = m_backups;
    s->nextSid = m_nextSid;
    return s;
}

void Instance::restore(Snapshot&& s) {
    m_databases = std::move(s.databases);
    m_logins = std::move(s.logins);
    m_servers = std::move(s.servers);
    m_directories = std::move(s.directories);
    m_backups = std::move(s.backups);
    m_nextSid = s.nextSid;
}

DateTimeValue Instance::now() {
    auto t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    localtime_r(&t, &tm);
    return DateTimeValue::fromParts(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                                    tm.tm_sec);
}

Database* Instance::findDatabase(const std::string& name) {
    auto it = m_databases.find(lower(name));
    return it == m_databases.end() ? nullptr : it->second.get();
}

Database* Instance::findDatabase(int dbid) {
    for (auto& [key, db] : m_databases) {
        if (db->dbid == dbid) {
            return db.get();
        }
    }
    return nullptr;
}

std::vector<Database*> Instance::databases() {
    std::vector<Database*> r;
    for (auto& [key, db] : m_databases) {
        r.push_back(db.get());
    }
    return r;
}

int Instance::nextDbid() const {
    int id = 5;
    for (const auto& [key, db] : m_databases) {
        id = std::max(id, db->dbid + 1);
    }
    return id;
}

Database& Instance::createDatabase(const std::string& name, const Bytes& ownerSid) {
    auto db = std::make_unique<Database>(name, nextDbid(), ownerSid, now());
    db->files.push_back(DbFile{name, dataDirectory + "\\" + name + ".mdf", 'D', 8 * 1024 * 1024});
    db->files.push_back(
        DbFile{name + "_log", dataDirectory + "\\" + name + "_log.ldf", 'L', 8 * 1024 * 1024});
    return addDatabase(std::move(db));
}

Database& Instance::addDatabase(std::unique_ptr<Database> db) {
    auto key = lower(db->name);
    return *(m_databases[key] = std::move(db));
}

void Instance::dropDatabase(const std::string& name) {
    m_databases.erase(lower(name));
}

Login* Instance::findLogin(const std::string& name) {
    auto it = m_logins.find(lower(name));
    return it == m_logins.end() ? nullptr : &it->second;
}

Login* Instance::findLoginBySid(const Bytes& sid) {
    for (auto& [key, l] : m_logins) {
        if (l.sid == sid) {
            return &l;
        }
    }
    return nullptr;
}

std::vector<Login*> Instance::logins() {
    std::vector<Login*> r;
    for (auto& [key, l] : m_logins) {
        r.push_back(&l);
    }
    return r;
}

Login& Instance::addLogin(const std::string& name, const std::string& password,
                          const std::string& defaultDatabase) {
    Login l;
    l.name = name;
    l.password = password;
    l.defaultDatabase = defaultDatabase;
    l.created = now();
    if (sameName(name, "sa")) {
        l.sid = Bytes{0x01};
    } else {
        int n = m_nextSid++;
        l.sid = Bytes{0x5A,
                      0x3C,
                      0x11,
                      0x7E,
                      0x20,
                      0x42,
                      0x4B,
                      0x19,
                      0x9D,
                      0x0F,
                      0x6B,
                      0x2E,
                      0x71,
                      0x05,
                      uint8_t(n >> 8),
                      uint8_t(n & 0xFF)};
    }
    return m_logins[lower(name)] = l;
}

void Instance::removeLogin(const std::string& name) {
    m_logins.erase(lower(name));
}

bool Instance::isSysadmin(const std::string& login) {
    Login* l = findLogin(login);
    return l && l->serverRoles.count("sysadmin") > 0;
}

LinkedServer* Instance::findServer(const std::string& name) {
    for (auto& s : m_servers) {
        if (sameName(s.name, name)) {
            return &s;
        }
    }
    return nullptr;
}

LinkedServer& Instance::addServer(const std::string& name, const std::string& product) {
    int id = 1;
    for (const auto& s : m_servers) {
        id = std::max(id, s.srvid + 1);
    }
    LinkedServer s;
    s.srvid = id;
    s.name = name;
    s.product = product;
    s.dataSource = name;
    m_servers.push_back(s);
    return m_servers.back();
}

void Instance::removeServer(const std::string& name) {
    std::erase_if(m_servers, [&](const LinkedServer& s) { return sameName(s.name, name); });
}

std::string Instance::pathKey(const std::string& path) {
    std::string k;
    for (char c : lower(path)) {
        if (c == '/') {
            c = '\\';
        }
        if (c == '\\' && !k.empty() && k.back() == '\\') {
            continue;
        }
        k += c;
    }
    while (k.size() > 1 && k.back() == '\\' && !(k.size() == 3 && k[1] == ':')) {
        k.pop_back();
    }
    return k;
}

std::string Instance::directoryOf(const std::string& path) {
    auto pos = path.find_last_of("\\/");
    return pos == std::string::npos ? std::string() : path.substr(0, pos == 0 ? 1 : pos);
}

bool Instance::directoryExists(const std::string& path) const {
    return m_directories.count(pathKey(path)) > 0;
}

void Instance::addDirectory(const std::string& path) {
    std::string key = pathKey(path);
    while (!key.empty() && m_directories.insert(key).second) {
        auto pos = key.find_last_of('\\');
        if (pos == std::string::npos) {
            break;
        }
        if (pos == 2 && key[1] == ':') {
            m_directories.insert(key.substr(0, 3));
            break;
        }
        key = key.substr(0, pos == 0 ? 1 : pos);
    }
}

BackupFile* Instance::findBackup(const std::string& path) {
    auto it = m_backups.find(pathKey(path));
    return it == m_backups.end() ? nullptr : &it->second;
}

void Instance::storeBackup(const std::string& path, const Database& db) {
    m_backups[pathKey(path)] = BackupFile{path, std::make_shared<const Database>(db)};
}

bool Instance::fileInUse(const std::string& physicalName) {
    std::string key = pathKey(physicalName);
    for (auto& [name, db] : m_databases) {
        for (const auto& f : db->files) {
            if (pathKey(f.physicalName) == key) {
                return true;
            }
        }
    }
    return false;
}

} // namespace sqlsim::model
