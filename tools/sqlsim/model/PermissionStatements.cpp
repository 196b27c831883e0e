#include "PermissionStatements.h"

#include "BatchCompiler.h"
#include "Names.h"
#include "Permissions.h"

#include <algorithm>

namespace sqlsim::model {

namespace {

[[noreturn]] void notSupported() {
    throw SqlError(50000, 16, "__not_supported__");
}

const Token& at(const std::vector<Token>& t, size_t pos) {
    return pos < t.size() ? t[pos] : t.back();
}

std::string upper(std::string s) {
    for (char& c : s) {
        c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    return s;
}

// The bit of a permission, and the securables it applies to: O objects (and their schemas and the
// database), D the database only.
struct Kind {
    const char* name;
    int bit;
    char applies;
};

const Kind kKinds[] = {
    {"SELECT", Permissions::kSelect, 'O'},
    {"INSERT", Permissions::kInsert, 'O'},
    {"UPDATE", Permissions::kUpdate, 'O'},
    {"DELETE", Permissions::kDelete, 'O'},
    {"EXECUTE", Permissions::kExecute, 'O'},
    {"REFERENCES", Permissions::kReferences, 'O'},
    {"CREATE TABLE", Permissions::kCreateTable, 'D'},
    {"CREATE VIEW", Permissions::kCreateView, 'D'},
    {"CREATE PROCEDURE", Permissions::kCreateProcedure, 'D'},
    {"CREATE FUNCTION", Permissions::kCreateFunction, 'D'},
    {"CREATE DEFAULT", Permissions::kCreateDefault, 'D'},
    {"CREATE RULE", Permissions::kCreateRule, 'D'},
    {"BACKUP DATABASE", Permissions::kBackupDatabase, 'D'},
    {"BACKUP LOG", Permissions::kBackupLog, 'D'},
};

const Kind* kindOf(const std::string& name) {
    for (const Kind& k : kKinds) {
        if (name == k.name) {
            return &k;
        }
    }
    return nullptr;
}

// Which object permissions an object of this type has.
bool applies(const std::string& type, int bit) {
    if (type == "P" || type == "X") {
        return bit == Permissions::kExecute;
    }
    if (type == "FN") {
        return bit == Permissions::kExecute || bit == Permissions::kReferences;
    }
    if (type == "U" || type == "V" || type == "IF" || type == "TF" || type == "S") {
        return bit != Permissions::kExecute;
    }
    return false;
}

// Names a principal or a securable: plain or bracketed.
std::string principalName(const std::vector<Token>& t, size_t& pos) {
    if (!at(t, pos).isName()) {
        syntaxError(at(t, pos));
    }
    return t[pos++].text;
}

SqlError cannotFind(const char* what, const std::string& name) {
    return SqlError(15151, 16,
                    std::string("Cannot find the ") + what + " '" + name +
                        "', because it does not exist or you do not have permission.");
}

} // namespace

PermissionStatements::Parsed PermissionStatements::parse(const std::vector<Token>& t, size_t& pos) {
    Parsed s;
    s.verb = at(t, pos).isWord("grant")    ? Parsed::Verb::Grant
             : at(t, pos).isWord("revoke") ? Parsed::Verb::Revoke
                                           : Parsed::Verb::Deny;
    ++pos;
    if (s.verb == Parsed::Verb::Revoke && at(t, pos).isWord("grant") && at(t, pos + 1).isWord("option")) {
        if (!at(t, pos + 2).isWord("for")) {
            syntaxError(at(t, pos + 2));
        }
        s.grantOptionFor = true;
        pos += 3;
    }
    // permission [, permission ...]: one word, or two for the database's create and backup rights.
    while (true) {
        const Token& w = at(t, pos);
        if (w.kind != Token::Kind::Name) {
            syntaxError(w);
        }
        std::string name = upper(w.text);
        ++pos;
        if (name == "EXEC") {
            name = "EXECUTE";
        }
        if ((name == "CREATE" || name == "BACKUP") && at(t, pos).kind == Token::Kind::Name) {
            name += " " + upper(at(t, pos).text);
            ++pos;
        }
        if (!kindOf(name)) {
            // all [privileges], alter, control, view definition and the other rights of the server
            // are not kept by this instance.
            notSupported();
        }
        if (at(t, pos).isSymbol("(")) {
            notSupported(); // permissions on single columns
        }
        s.permissions.push_back(name);
        if (!at(t, pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    if (at(t, pos).isWord("on")) {
        ++pos;
        s.scope = 'O';
        if (at(t, pos).kind == Token::Kind::Name && at(t, pos + 1).isSymbol(":")) {
            if (!at(t, pos + 2).isSymbol(":")) {
                syntaxError(at(t, pos + 2));
            }
            const Token& cls = at(t, pos);
            if (cls.isWord("schema")) {
                s.scope = 'S';
            } else if (cls.isWord("database")) {
                s.scope = 'D';
            } else if (!cls.isWord("object")) {
                notSupported(); // assemblies, types, certificates and the like
            }
            pos += 3;
        }
        if (!at(t, pos).isName()) {
            syntaxError(at(t, pos));
        }
        s.securable.push_back(t[pos++].text);
        while (at(t, pos).isSymbol(".")) {
            ++pos;
            if (at(t, pos).isName()) {
                s.securable.push_back(t[pos++].text);
            } else if (at(t, pos).isSymbol(".")) {
                s.securable.emplace_back();
            } else {
                syntaxError(at(t, pos));
            }
        }
        if (s.securable.size() > (s.scope == 'O' ? 3u : 1u)) {
            syntaxError(at(t, pos - 1));
        }
        if (at(t, pos).isSymbol("(")) {
            notSupported(); // on table (columns)
        }
    }
    const bool from = s.verb == Parsed::Verb::Revoke && at(t, pos).isWord("from");
    if (!at(t, pos).isWord("to") && !from) {
        syntaxError(at(t, pos));
    }
    ++pos;
    while (true) {
        s.principals.push_back(principalName(t, pos));
        if (!at(t, pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    if (s.verb == Parsed::Verb::Grant && at(t, pos).isWord("with")) {
        if (!at(t, pos + 1).isWord("grant")) {
            syntaxError(at(t, pos + 1));
        }
        if (!at(t, pos + 2).isWord("option")) {
            syntaxError(at(t, pos + 2));
        }
        s.withGrantOption = true;
        pos += 3;
    } else if (s.verb != Parsed::Verb::Grant && at(t, pos).isWord("cascade")) {
        s.cascade = true;
        ++pos;
    }
    if (at(t, pos).isWord("as")) {
        notSupported(); // granting as another principal
    }
    return s;
}

void PermissionStatements::check(BatchCompiler& c, size_t& pos) {
    parse(c.tokens(), pos);
    BatchCompiler::expectEnd(c.at(pos));
}

void PermissionStatements::run(Context& ctx, const std::vector<Token>& tokens, size_t& pos) {
    const Parsed s = parse(tokens, pos);
    Database& db = ctx.db();
    const int me = Permissions::userOf(ctx, db);
    const bool manager = Permissions::dbOwner(ctx, db) || Permissions::dbRole(ctx, db, "db_securityadmin");

    int bits = 0;
    for (const std::string& p : s.permissions) {
        bits |= kindOf(p)->bit;
    }

    // The securable.
    ObjectDef* object = nullptr;
    int securableId = 0;
    if (s.scope == 'O') {
        if (s.securable.size() == 3 && !s.securable[0].empty() && !sameName(s.securable[0], db.name)) {
            throw SqlError(4610, 16,
                           "You can only grant or revoke permissions on objects in the current database.");
        }
        const size_t first = s.securable.size() == 3 ? 1 : 0;
        const bool owned = s.securable.size() - first == 2 && !s.securable[first].empty();
        const std::string name = owned ? bracketed(s.securable[first]) + "." + bracketed(s.securable.back())
                                       : bracketed(s.securable.back());
        object = db.findObject(name);
        if (!object || !Permissions::seesObject(ctx, db, *object)) {
            throw cannotFind("object", s.securable.back());
        }
        securableId = object->id;
        for (const std::string& p : s.permissions) {
            const Kind* k = kindOf(p);
            if (k->applies != 'O' || !applies(object->type, k->bit)) {
                throw SqlError(4606, 16,
                               "Granted or revoked privilege " + p + " is not compatible with object.");
            }
        }
    } else if (s.scope == 'S') {
        DbPrincipal* owner = db.principal(s.securable[0]);
        if (!owner || owner->uid == Database::kPublicUid) {
            throw cannotFind("schema", s.securable[0]);
        }
        securableId = owner->uid;
        for (const std::string& p : s.permissions) {
            if (kindOf(p)->applies != 'O') {
                throw SqlError(4606, 16,
                               "Granted or revoked privilege " + p + " is not compatible with object.");
            }
        }
    } else if (!s.securable.empty() && !sameName(s.securable[0], db.name)) {
        throw cannotFind("database", s.securable[0]);
    }

    // Who may give it: dbo, db_owner and db_securityadmin, the object's owner, or a grantee holding it
    // with grant option.
    bool may = manager || (object && me >= 0 && me == object->uid);
    if (!may && me >= 0) {
        may = true;
        for (const std::string& p : s.permissions) {
            if (Permissions::denied(db, me, object, kindOf(p)->bit) ||
                !Permissions::granted(db, me, object, kindOf(p)->bit, true)) {
                may = false;
            }
        }
        if (s.scope != 'O') {
            may = false; // schema and database permissions are given by their managers only
        }
    }
    if (!may) {
        throw SqlError(4613, 16, "Grantor does not have GRANT permission.");
    }

    // To whom: every principal named must exist and may not be dbo, sys, INFORMATION_SCHEMA, the
    // object's owner or the grantor; nor a fixed role other than public.
    std::vector<int> grantees;
    for (const std::string& name : s.principals) {
        DbPrincipal* p = db.principal(name);
        if (!p) {
            throw cannotFind("user", name);
        }
        if (p->uid == Database::kDboUid || sameName(p->name, "sys") ||
            sameName(p->name, "INFORMATION_SCHEMA") || p->uid == me || (object && p->uid == object->uid)) {
            throw SqlError(15150, 16,
                           "Cannot grant, deny, or revoke permissions to sa, dbo, entity owner, "
                           "information_schema, sys, or yourself.");
        }
        if (p->fixedRole && p->uid != Database::kPublicUid) {
            throw SqlError(4617, 16, "Cannot grant, deny or revoke permissions to or from special roles.");
        }
        grantees.push_back(p->uid);
    }

    auto rowOf = [&](int grantee) -> Permission& {
        for (Permission& p : db.permissions) {
            if (p.scope == s.scope && p.objectId == securableId && p.grantee == grantee) {
                return p;
            }
        }
        Permission p;
        p.scope = s.scope;
        p.objectId = securableId;
        p.grantee = grantee;
        p.grantor = me < 0 ? Database::kDboUid : me;
        db.permissions.push_back(p);
        return db.permissions.back();
    };
    // Taking a grantable permission back needs cascade: the grantee may have passed it on.
    if (s.verb != Parsed::Verb::Grant && !s.cascade) {
        for (int g : grantees) {
            for (const Permission& p : db.permissions) {
                if (p.scope == s.scope && p.objectId == securableId && p.grantee == g &&
                    (p.grantable & bits)) {
                    throw SqlError(4611, 16,
                                   "To revoke or deny grantable privileges, specify the CASCADE option.");
                }
            }
        }
    }
    for (int g : grantees) {
        Permission& p = rowOf(g);
        switch (s.verb) {
        case Parsed::Verb::Grant:
            p.actions |= bits;
            p.denied &= ~bits;
            if (s.withGrantOption) {
                p.grantable |= bits;
            }
            break;
        case Parsed::Verb::Deny:
            p.denied |= bits;
            p.actions &= ~bits;
            p.grantable &= ~bits;
            break;
        case Parsed::Verb::Revoke:
            p.grantable &= ~bits;
            if (!s.grantOptionFor) {
                p.actions &= ~bits;
                p.denied &= ~bits;
            }
            break;
        }
        if (s.cascade) {
            // What the grantee passed on goes with it.
            for (Permission& q : db.permissions) {
                if (q.scope == s.scope && q.objectId == securableId && q.grantor == g && q.grantee != g) {
                    q.actions &= ~bits;
                    q.grantable &= ~bits;
                }
            }
        }
    }
    std::erase_if(db.permissions,
                  [](const Permission& p) { return !p.actions && !p.denied && !p.grantable; });
}

} // namespace sqlsim::model
