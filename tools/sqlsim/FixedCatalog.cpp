#include "FixedCatalog.h"

#include <algorithm>
#include <cctype>
#include <memory>

namespace sqlsim {

namespace {

std::string unquoteLiteral(const std::string& body) {
    std::string out;
    for (size_t i = 0; i < body.size(); ++i) {
        out.push_back(body[i]);
        if (body[i] == '\'' && i + 1 < body.size() && body[i + 1] == '\'') {
            ++i;
        }
    }
    return out;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

} // namespace

FixedCatalog::FixedCatalog(std::string saPassword, std::string serverName)
    : m_serverName(std::move(serverName)) {
    m_logins["sa"] = std::move(saPassword);
    m_databases = {"master", "tempdb", "model", "msdb", "demo"};
    addBasicRules(*this);
}

bool FixedCatalog::authenticate(const std::string& login, const std::string& password) {
    for (auto& [name, pw] : m_logins) {
        if (equalsNoCase(name, login)) {
            return pw == password;
        }
    }
    return false;
}

std::string FixedCatalog::findDatabase(const std::string& name) {
    for (const std::string& db : m_databases) {
        if (equalsNoCase(db, name)) {
            return db;
        }
    }
    return {};
}

std::string FixedCatalog::defaultDatabase(const std::string&) {
    return "master";
}

std::string FixedCatalog::unquoteName(const std::string& name) {
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        std::string out;
        std::string body = name.substr(1, name.size() - 2);
        for (size_t i = 0; i < body.size(); ++i) {
            out.push_back(body[i]);
            if (body[i] == ']' && i + 1 < body.size() && body[i + 1] == ']') {
                ++i;
            }
        }
        return out;
    }
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        return name.substr(1, name.size() - 2);
    }
    return name;
}

void FixedCatalog::addGeneratedRows(long rows) {
    addRule(Match::Regex, R"(select\s+(?:top\s+(\d+)\s+)?\*\s+from\s+(?:dbo\.)?generated_rows\s*;?)",
            [rows](const Request&, Session&, Response& out, const std::vector<std::string>& cap) {
                long limit = cap[1].empty() ? rows : std::min(rows, std::stol(cap[1]));
                ResultSet rs;
                rs.column("id", ColumnType::of(SqlType::Int), false)
                    .column("name", ColumnType::of(SqlType::NVarChar, 50))
                    .column("created", ColumnType::of(SqlType::DateTime));
                auto next = std::make_shared<long>(0);
                const DateTimeValue base = DateTimeValue::fromParts(2020, 1, 1);
                rs.generator = [limit, next, base](Row& row) {
                    if (*next >= limit) {
                        return false;
                    }
                    long i = (*next)++;
                    DateTimeValue at = base;
                    at.days += int32_t(i / 86400);
                    at.micros = int64_t(i % 86400) * 1000000 + (i % 1000) * 1000;
                    row.resize(3);
                    row[0] = SqlValue(int64_t(i));
                    row[1] = SqlValue("row " + std::to_string(i));
                    row[2] = SqlValue(at);
                    return true;
                };
                out.resultSet(std::move(rs));
            });
}

void FixedCatalog::addBasicRules(RuleResponder& r) {
    using C = const std::vector<std::string>&;
    r.addRule(Match::Regex, R"(use\s+(\[(?:[^\]]|\]\])*\]|[^\s;\[]+)\s*;?)",
              [&r](const Request&, Session&, Response& out, C cap) {
                  std::string wanted = unquoteName(cap[1]);
                  std::string found = r.findDatabase(wanted);
                  if (found.empty()) {
                      out.error(911, 16,
                                "Database '" + wanted +
                                    "' does not exist. Make sure that the name is entered correctly.");
                  } else {
                      out.add(DatabaseChange{found});
                  }
              });
    r.addRule(Match::Regex, R"(set\s+(\w+)\s+(\w+)\s*;?)",
              [](const Request&, Session& s, Response&, C cap) { s.options[lower(cap[1])] = lower(cap[2]); });
    r.addRule(Match::Regex, R"(set\s+[^;]*;?)", [](const Request&, Session&, Response&, C) {});
    r.addRule(Match::Regex, R"(print\s+N?'((?:[^']|'')*)'\s*;?)",
              [](const Request&, Session&, Response& out, C cap) { out.info(unquoteLiteral(cap[1])); });
    r.addRule(Match::Regex, R"(raiserror\s*\(\s*N?'((?:[^']|'')*)'\s*,\s*(\d+)\s*,\s*(\d+)\s*\)\s*;?)",
              [](const Request&, Session&, Response& out, C cap) {
                  int severity = std::stoi(cap[2]);
                  out.add(Message{50000, std::stoi(cap[3]), severity, unquoteLiteral(cap[1]), {}, 1});
              });
    r.addRule(Match::Regex, R"(select\s+(-?\d{1,18})\s*;?)",
              [](const Request&, Session&, Response& out, C cap) {
                  out.resultSet(ResultSet()
                                    .column("", ColumnType::of(SqlType::Int), false)
                                    .row({SqlValue(int64_t(std::stoll(cap[1])))}));
              });
    r.addRule(Match::Regex, R"(select\s+(N?)'((?:[^']|'')*)'\s*;?)",
              [](const Request&, Session&, Response& out, C cap) {
                  std::string v = unquoteLiteral(cap[2]);
                  int len = std::max<int>(1, int(v.size()));
                  SqlType type = cap[1].empty() ? SqlType::VarChar : SqlType::NVarChar;
                  out.resultSet(ResultSet().column("", ColumnType::of(type, len), false).row({SqlValue(v)}));
              });
    r.addRule(
        Match::Regex,
        R"(select\s+(@@version|@@servername|@@spid|db_name\(\)|suser_sname\(\)|@@language)\s*;?)",
        [&r](const Request&, Session& s, Response& out, C cap) {
            std::string what = lower(cap[1]);
            if (what == "@@spid") {
                out.resultSet(
                    ResultSet().column("", ColumnType::of(SqlType::SmallInt), false).row({SqlValue(s.spid)}));
                return;
            }
            std::string v = what == "@@version"      ? "Microsoft SQL Server 2019 (simulated) - 15.0.2000.5"
                            : what == "@@servername" ? r.serverName()
                            : what == "db_name()"    ? s.database
                            : what == "@@language"   ? s.language
                                                     : s.login;
            out.resultSet(ResultSet().column("", ColumnType::of(SqlType::NVarChar, 128)).row({SqlValue(v)}));
        });
}

} // namespace sqlsim
