#pragma once
// The whole simulated server: its databases, logins, server roles, linked servers, processes and
// the backup files on its disk.
#include "Database.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace sqlsim::model {

struct Login {
    std::string name;
    std::string password;
    Bytes sid;
    std::string defaultDatabase = "master";
    std::string language = "us_english";
    std::set<std::string> serverRoles; // lower-case fixed server role names
    DateTimeValue created;
};

struct LinkedLogin {
    std::string localLogin; // empty: every local login
    bool useSelf = false;
    std::string remoteUser;
    std::string remotePassword;
};

struct LinkedServer {
    int srvid = 0;
    std::string name;
    std::string product;
    std::string provider = "SQLNCLI";
    std::string dataSource;
    bool isRemote = false;
    std::vector<LinkedLogin> logins;
};

struct Process {
    int spid = 0;
    std::string status = "sleeping";
    std::string login;
    std::string hostName;
    int blockedBy = 0;
    std::string database; // empty for background tasks without a database
    std::string command = "AWAITING COMMAND";
    int64_t cpu = 0;
    int64_t diskIo = 0;
    DateTimeValue lastBatch;
    std::string programName;
};

struct BackupFile {
    std::string path;
    std::shared_ptr<const Database> snapshot;
};

class Instance {
public:
    explicit Instance(std::string serverName);

    std::string serverName;
    std::string version; // @@version text
    std::string dataDirectory;
    std::string backupDirectory;

    // The fixed server roles with their descriptions, in the order sp_helpsrvrole lists them.
    static const std::vector<std::pair<std::string, std::string>>& serverRoles();
    static bool isServerRole(const std::string& name);

    Database* findDatabase(const std::string& name);
    Database* findDatabase(int dbid);
    // Databases ordered by name.
    std::vector<Database*> databases();
    // A new database from the model database's principals, with files in the data directory.
    Database& createDatabase(const std::string& name, const Bytes& ownerSid);
    Database& addDatabase(std::unique_ptr<Database> db);
    void dropDatabase(const std::string& name);
    int nextDbid() const;

    Login* findLogin(const std::string& name);
    Login* findLoginBySid(const Bytes& sid);
    std::vector<Login*> logins(); // ordered by name
    Login& addLogin(const std::string& name, const std::string& password,
                    const std::string& defaultDatabase = "master");
    void removeLogin(const std::string& name);
    bool isSysadmin(const std::string& login);

    LinkedServer* findServer(const std::string& name);
    std::vector<LinkedServer>& servers() { return m_servers; }
    LinkedServer& addServer(const std::string& name, const std::string& product);
    void removeServer(const std::string& name);

    std::map<int, Process>& processes() { return m_processes; }
    // The identity value each session inserted last (SCOPE_IDENTITY(), @@IDENTITY), by spid.
    std::map<int, int64_t>& lastIdentity() { return m_lastIdentity; }

    // Files on the server's disk. Paths compare without case, "/" and "\" alike.
    bool directoryExists(const std::string& path) const;
    void addDirectory(const std::string& path);
    static std::string directoryOf(const std::string& path);
    BackupFile* findBackup(const std::string& path);
    void storeBackup(const std::string& path, const Database& db);
    bool fileInUse(const std::string& physicalName);

    static DateTimeValue now();

    // Everything a rollback restores: databases with their rows, objects and principals, logins,
    // linked servers, directories and backup files. Sessions and their processes are not part of it.
    struct Snapshot {
        std::map<std::string, std::unique_ptr<Database>> databases;
        std::map<std::string, Login> logins;
        std::vector<LinkedServer> servers;
        std::set<std::string> directories;
        std::map<std::string, BackupFile> backups;
        int nextSid = 0;
    };
    std::unique_ptr<Snapshot> snapshot() const;
    void restore(Snapshot&& snapshot);

    // The session whose transaction is open (0: none); writers of other sessions wait for it.
    int transactionOwner = 0;
    // The open transaction has run a statement that may change data: readers of user tables of
    // other sessions wait for it too.
    bool transactionWrote = false;
    // The state each open transaction returns to on rollback, by spid.
    std::map<int, std::unique_ptr<Snapshot>> transactions;

private:
    static std::string pathKey(const std::string& path);
    std::map<std::string, std::unique_ptr<Database>> m_databases; // by lower-case name
    std::map<std::string, Login> m_logins;                        // by lower-case name
    std::vector<LinkedServer> m_servers;
    std::map<int, Process> m_processes;
    std::map<int, int64_t> m_lastIdentity;
    std::set<std::string> m_directories;
    std::map<std::string, BackupFile> m_backups;
    int m_nextSid = 1000;
};

} // namespace sqlsim::model
