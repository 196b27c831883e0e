#pragma once
// A small fixed server: master and one user database, the login sa, and the statements every
// session needs (use, set, print, raiserror, select of literals and of the server's variables).
#include "RuleResponder.h"

#include <map>
#include <string>
#include <vector>

namespace sqlsim {

class FixedCatalog : public RuleResponder {
public:
    explicit FixedCatalog(std::string saPassword, std::string serverName = "SQLSIM");

    std::string serverName() const override { return m_serverName; }
    bool authenticate(const std::string& login, const std::string& password) override;
    std::string findDatabase(const std::string& name) override;
    std::string defaultDatabase(const std::string& login) override;

    void addLogin(const std::string& login, const std::string& password) { m_logins[login] = password; }
    void addDatabase(const std::string& name) { m_databases.push_back(name); }
    const std::vector<std::string>& databases() const { return m_databases; }

    // Answers "select [top N] * from generated_rows" with rows (id int, name nvarchar(50), created datetime)
    // made on the fly, for benchmarks that must not be limited by the server.
    void addGeneratedRows(long rows);

    // The session statements above, for any responder: "use" checks names with findDatabase.
    static void addBasicRules(RuleResponder& responder);
    // "[a]]b]" -> "a]b"; "name" -> "name"
    static std::string unquoteName(const std::string& name);

private:
    std::string m_serverName;
    std::map<std::string, std::string> m_logins;
    std::vector<std::string> m_databases;
};

} // namespace sqlsim
