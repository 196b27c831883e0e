#include "UsersStatements.h"

#include "BatchRunner.h"
#include "Names.h"
#include "SecurityProcedures.h"
#include "StatementTexts.h"

#include <algorithm>

namespace sqlsim::model {

namespace {

const ColumnType kSysname = ColumnType::of(SqlType::NVarChar, 128);

SqlValue value(const TextTemplate::Values& v, const char* name) {
    auto it = v.find(name);
    return it == v.end() ? SqlValue::null() : it->second;
}

// A bit variable: NULL stays NULL, anything else is 0 or 1.
SqlValue bit(const SqlValue& v) {
    if (v.isNull()) {
        return v;
    }
    if (v.is<std::string>()) {
        return SqlValue(int64_t(v.get<std::string>() == "0" || v.get<std::string>().empty() ? 0 : 1));
    }
    return SqlValue(int64_t(v.toDouble() != 0 ? 1 : 0));
}

bool isOne(const SqlValue& v) {
    return !v.isNull() && v.toInt() == 1;
}

std::string text(const SqlValue& v) {
    return v.isNull() ? std::string() : v.toText();
}

int lineOf(const char* text, const char* needle) {
    std::string t = text;
    auto pos = t.find(needle);
    return pos == std::string::npos ? 1 : int(std::count(t.begin(), t.begin() + long(pos), '\n')) + 1;
}

void sortRows(std::vector<Row>& rows) {
    // order by 2 desc, 1
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        int x = a[1].isNull() ? -1 : int(a[1].toInt()), y = b[1].isNull() ? -1 : int(b[1].toInt());
        if (x != y) {
            return x > y;
        }
        return lower(a[0].toText()) < lower(b[0].toText());
    });
}

void principals(Context& ctx, const TextTemplate::Values& v) {
    SqlValue isLogin = bit(value(v, "islogin"));
    SqlValue isServer = value(v, "isserver");
    ResultSet rs;
    rs.column("name", kSysname, false).column("nImage", ColumnType::of(SqlType::Int));
    if (isOne(isServer)) {
        if (isOne(isLogin)) {
            for (Login* l : ctx.instance.logins()) {
                rs.row({SqlValue(l->name), SqlValue(int64_t(2))});
            }
        } else {
            for (const auto& r : Instance::serverRoles()) {
                rs.row({SqlValue(r.first), SqlValue(int64_t(3))});
            }
        }
    } else {
        Database& db = ctx.db();
        std::vector<Row> rows;
        for (const auto& [uid, p] : db.principals) {
            int64_t islogin = p.isRole ? 0 : 1;
            if (isLogin.isNull() || isLogin.toInt() == islogin) {
                rows.push_back({SqlValue(p.name), SqlValue(islogin)});
            }
        }
        std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
            if (a[1].toInt() != b[1].toInt()) {
                return a[1].toInt() < b[1].toInt();
            }
            return lower(a[0].toText()) < lower(b[0].toText());
        });
        rs.rows = std::move(rows);
    }
    ctx.response.resultSet(std::move(rs));
}

// What a varchar variable keeps of a text on this instance (code page 1252 / Latin-1): every
// character outside it becomes a question mark.
std::string narrowed(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
        length = std::min(length, s.size() - i);
        uint32_t code = c;
        if (length == 2) {
            code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
        }
        if (length == 1 || (length == 2 && code <= 0xFF)) {
            out.append(s, i, length);
        } else {
            out += '?';
        }
        i += length;
    }
    return out;
}

std::string doubledQuotes(const std::string& s) {
    std::string out;
    for (char c : s) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out;
}

// unicodeText: the statement holds the name as sysname and builds its text in an nvarchar(1024)
// with the name as an N'...' literal, quotes doubled; else a varchar(255) name pasted between
// quotes into a varchar(512).
void membershipOf(Context& ctx, const TextTemplate::Values& v, bool unicodeText) {
    bool retLogin = !isOne(value(v, "islogin"));
    std::string name = unicodeText ? characterPrefix(text(value(v, "name")), 128)
                                   : narrowed(characterPrefix(text(value(v, "name")), 255));
    bool nameNull = value(v, "name").isNull();
    ResultSet rs;
    if (isOne(value(v, "isserver"))) {
        rs.column("name", kSysname, false).column("bChecked", ColumnType::of(SqlType::Bit));
        std::vector<Row> rows;
        if (retLogin) {
            for (Login* l : ctx.instance.logins()) {
                SqlValue m = nameNull ? SqlValue::null()
                                      : SecurityProcedures::isServerRoleMember(ctx.instance, name, l->name);
                rows.push_back({SqlValue(l->name), m.isNull() ? m : SqlValue(m.toInt() != 0)});
            }
            sortRows(rows);
        } else {
            for (const auto& r : Instance::serverRoles()) {
                SqlValue m = nameNull ? SqlValue::null()
                                      : SecurityProcedures::isServerRoleMember(ctx.instance, r.first, name);
                rows.push_back({SqlValue(r.first), m.isNull() ? m : SqlValue(m.toInt() != 0)});
            }
        }
        rs.rows = std::move(rows);
        ctx.response.resultSet(std::move(rs));
        return;
    }
    // The dynamic statement is built in a varchar(512): a long name cuts it short.
    std::string sql = "select u.name, convert(bit, case when exists( select 1 from  (select memberuid, "
                      "groupuid from sysmembers "
                      "union all select u.uid, g.uid from sysusers u, sysusers g where u.isLogin = 1 and "
                      "g.name = 'public') m,   "
                      "sysusers u2 where u2.name = " +
                      (unicodeText ? "N'" + doubledQuotes(name) + "'" : "'" + name + "'") + " " +
                      (retLogin ? "and m.memberuid = u.uid and m.groupuid = u2.uid) "
                                : "and m.groupuid = u.uid and m.memberuid = u2.uid) ") +
                      "then 1 else 0 end) as bChecked from sysusers u where isnull(u.isLogin, 0) = " +
                      (retLogin ? "1" : "0") + " order by 2 desc, 1";
    if (nameNull) {
        return; // exec of a NULL string runs nothing
    }
    // The text is read as the server reads what exec() is given: a quote in the name leaves a string
    // open (105, then 102).
    const size_t limit = unicodeText ? 1024 : 512; // the nvarchar text never reaches its limit
    const std::string cut = sql.size() > limit ? sql.substr(0, limit) : sql;
    try {
        SqlLexer::tokenize(cut);
    } catch (const SqlError& e) {
        addError(ctx.response, e, 1);
        return;
    }
    // The order by clause may lose its end and still be whole ("order by 2 desc", "order by 2").
    std::string order = "desc1";
    if (sql.size() > limit) {
        std::string trimmed = cut;
        while (!trimmed.empty() && trimmed.back() == ' ') {
            trimmed.pop_back();
        }
        auto endsWith = [&](const std::string& e) {
            return trimmed.size() >= e.size() && trimmed.compare(trimmed.size() - e.size(), e.size(), e) == 0;
        };
        if (endsWith(" order by 2 desc")) {
            order = "desc";
        } else if (endsWith(" order by 2")) {
            order = "asc";
        } else {
            // The server names the last token it read: a trailing comma, or the last word.
            std::string near =
                trimmed.back() == ',' ? std::string(",") : trimmed.substr(trimmed.find_last_of(" (,") + 1);
            ctx.response.error(102, 15, "Incorrect syntax near '" + near + "'.", 1, {}, 1);
            return;
        }
    }
    Database& db = ctx.db();
    DbPrincipal* target = db.principal(name);
    rs.column("name", kSysname, false).column("bChecked", ColumnType::of(SqlType::Bit));
    auto member = [&](int memberUid, int roleUid) {
        const DbPrincipal* m = db.principal(memberUid);
        return db.isMember(memberUid, roleUid) || (roleUid == Database::kPublicUid && m && !m->isRole);
    };
    std::vector<Row> rows;
    for (const auto& [uid, p] : db.principals) {
        if (p.isRole != !retLogin) {
            continue;
        }
        bool checked = target && (retLogin ? member(uid, target->uid) : member(target->uid, uid));
        rows.push_back({SqlValue(p.name), SqlValue(checked)});
    }
    if (order == "desc1") {
        sortRows(rows);
    } else {
        std::stable_sort(rows.begin(), rows.end(), [&order](const Row& a, const Row& b) {
            return order == "desc" ? a[1].toInt() > b[1].toInt() : a[1].toInt() < b[1].toInt();
        });
    }
    rs.rows = std::move(rows);
    ctx.response.resultSet(std::move(rs));
}

void membership(Context& ctx, const TextTemplate::Values& v) {
    membershipOf(ctx, v, false);
}

void membershipUnicode(Context& ctx, const TextTemplate::Values& v) {
    membershipOf(ctx, v, true);
}

} // namespace

void UsersStatements::registerAll(InstanceResponder& responder) {
    const ProcedureTable& procs = responder.procedures();
    responder.addStatement(texts::kPrincipals, principals);
    responder.addStatement(texts::kMembership, membership);
    responder.addStatement(texts::kMembershipChange, [&procs](Context& ctx, const TextTemplate::Values& v) {
        SqlValue name = value(v, "name"), name2 = value(v, "name2");
        if (isOne(bit(value(v, "islogin")))) {
            std::swap(name, name2);
        }
        bool include = isOne(bit(value(v, "binclude")));
        if (isOne(bit(value(v, "isserver")))) {
            procs.call(ctx, include ? "sp_addsrvrolemember" : "sp_dropsrvrolemember",
                       std::vector<SqlValue>{name2, name});
        } else {
            procs.call(ctx, include ? "sp_addrolemember" : "sp_droprolemember",
                       std::vector<SqlValue>{name, name2});
        }
    });
    // The password is a varchar(255) in the first text, a sysname in the second.
    auto addPrincipal = [&procs](Context& ctx, const TextTemplate::Values& v, bool unicodePassword) {
        SqlValue name = value(v, "name"), pwd = value(v, "pwd");
        if (!pwd.isNull()) {
            pwd = unicodePassword ? SqlValue(characterPrefix(pwd.toText(), 128))
                                  : SqlValue(narrowed(characterPrefix(pwd.toText(), 255)));
        }
        if (!name.isNull()) {
            name = SqlValue(characterPrefix(name.toText(), 128));
        }
        if (isOne(bit(value(v, "isserver")))) {
            if (isOne(bit(value(v, "islogin")))) {
                procs.call(ctx, "sp_addlogin", std::vector<SqlValue>{name, pwd});
            } else {
                ctx.response.error(50000, 16, "Server role creation is prohibited.", 1, {},
                                   lineOf(texts::kAddPrincipal, "raiserror"));
            }
        } else if (isOne(bit(value(v, "islogin")))) {
            if (!ctx.instance.findLogin(text(name))) {
                procs.call(ctx, "sp_addlogin", std::vector<SqlValue>{name, pwd});
            }
            procs.call(ctx, "sp_grantdbaccess", std::vector<SqlValue>{name});
        } else {
            procs.call(ctx, "sp_addrole", std::vector<SqlValue>{name});
        }
    };
    responder.addStatement(texts::kAddPrincipal, [addPrincipal](Context& ctx, const TextTemplate::Values& v) {
        addPrincipal(ctx, v, false);
    });
    // ---- The users module's Unicode statements ----
    responder.addStatement(
        texts::kAddPrincipalUnicode,
        [addPrincipal](Context& ctx, const TextTemplate::Values& v) { addPrincipal(ctx, v, true); });
    responder.addStatement(texts::kMembershipUnicode, membershipUnicode);
    // ---- end of the users module's Unicode statements ----
    responder.addStatement(texts::kDeletePrincipal, [&procs](Context& ctx, const TextTemplate::Values& v) {
        SqlValue name = value(v, "name");
        if (isOne(bit(value(v, "isserver")))) {
            if (isOne(bit(value(v, "islogin")))) {
                procs.call(ctx, "sp_droplogin", std::vector<SqlValue>{name});
            } else {
                ctx.response.error(50000, 16, "Удаление серверной роли невозможно.", 1, {},
                                   lineOf(texts::kDeletePrincipal, "raiserror"));
            }
        } else if (isOne(bit(value(v, "islogin")))) {
            procs.call(ctx, "sp_revokedbaccess", std::vector<SqlValue>{name});
        } else {
            procs.call(ctx, "sp_droprole", std::vector<SqlValue>{name});
        }
    });
}

bool UsersStatements::recreateUsers(Context& ctx, const ProcedureTable& procs, const Request& request) {
    if (request.kind == Request::Kind::Rpc) {
        return false;
    }
    // "use NAME", then the fixed body, read as the server reads it (any white space and comments).
    const std::vector<Token> t = TextTemplate::tokens(request.text);
    static const std::vector<Token> body = TextTemplate::tokens(texts::kRecreateUsersBody);
    if (t.size() < 3 || !t[0].isWord("use") || !t[1].isName() || t.size() - 2 != body.size()) {
        return false;
    }
    for (size_t k = 0; k < body.size(); ++k) {
        if (!TextTemplate::same(t[k + 2], body[k])) {
            return false;
        }
    }
    Request use;
    use.text = request.text.substr(0, t[2].offset);
    BatchRunner runner(ctx, procs, use);
    size_t errorsBefore = ctx.response.items().size();
    runner.run();
    if (ctx.response.hasError() && ctx.response.items().size() > errorsBefore) {
        return true;
    }
    Database& db = ctx.db();
    std::vector<std::pair<std::string, std::string>> groups; // user, role
    for (const auto& [member, role] : db.members) {
        groups.push_back({db.ownerName(member), db.ownerName(role)});
    }
    std::vector<std::string> users;
    for (const auto& [uid, p] : db.principals) {
        if (uid >= 2 && uid <= 1000 && p.hasDbAccess && p.sid && *p.sid != Bytes{0x00} && !p.isRole) {
            users.push_back(p.name);
        }
    }
    ctx.rowCount(int64_t(groups.size()));
    for (const auto& u : users) {
        procs.call(ctx, "sp_revokedbaccess", std::vector<SqlValue>{SqlValue(u)});
        if (ctx.instance.findLogin(u)) {
            procs.call(ctx, "sp_grantdbaccess", std::vector<SqlValue>{SqlValue(u)});
        }
    }
    for (const auto& [user, role] : groups) {
        if (!sameName(user, "dbo") && db.principal(user)) {
            procs.call(ctx, "sp_addrolemember", std::vector<SqlValue>{SqlValue(role), SqlValue(user)});
        }
    }
    return true;
}

} // namespace sqlsim::model
