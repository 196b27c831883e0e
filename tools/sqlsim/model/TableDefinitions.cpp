#include "TableDefinitions.h"

#include "Permissions.h"

#include "Names.h"
#include "SqlExpression.h"
#include "TempTables.h"
#include "TypeInfo.h"

#include <algorithm>
#include <functional>

namespace sqlsim::model {

namespace {

// True when the parentheses of text pair up without closing one opened before it.
bool balancedInside(const std::string& text) {
    int depth = 0;
    bool quoted = false;
    for (char ch : text) {
        if (ch == '\'') {
            quoted = !quoted;
        } else if (!quoted && ch == '(') {
            ++depth;
        } else if (!quoted && ch == ')' && --depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

struct Named {
    std::string column, text, name; // name empty: the server makes one up
};
struct Reference {
    std::string column, table, refColumn, name;
    bool cascade = false;
};

// After "default": the expression, stored as the server prints it: redundant parentheses go, a number
// gets its own pair, and the whole is put in one pair.
std::string readDefault(Cursor& c) {
    size_t start = c.pos;
    static const std::string none;
    ExpressionParser p(c.t, c.pos, none);
    p.parse();
    std::string text;
    for (size_t k = start; k < c.pos; ++k) {
        const Token& tk = c.t[k];
        text += tk.kind == Token::Kind::String ? "'" + quoteDoubled(tk.text) + "'" : tk.text;
    }
    while (text.size() >= 2 && text.front() == '(' && text.back() == ')' &&
           balancedInside(text.substr(1, text.size() - 2))) {
        text = text.substr(1, text.size() - 2);
    }
    if (!text.empty() && text.find_first_not_of("0123456789.-+") == std::string::npos) {
        text = "(" + text + ")";
    }
    return "(" + text + ")";
}

// After "references": the table, its column and the delete rule.
Reference readReference(Cursor& c, const std::string& column, const std::string& name) {
    Reference r{column, c.name(), {}, name};
    if (c.at().isSymbol("(")) {
        ++c.pos;
        r.refColumn = c.at().text;
        ++c.pos;
        c.expect(")");
    }
    if (c.at().isWord("on") && c.at(1).isWord("delete")) {
        r.cascade = c.at(2).isWord("cascade");
        c.pos += r.cascade ? 3 : 4; // "on delete cascade" or "on delete no action"
    }
    return r;
}

// Adds a foreign key as declared; 1767 when the referenced table is not there.
// One column definition: name, type and the column's own constraints.
TableColumn
readColumn(Cursor& c, size_t position, std::vector<Named>& defaults, std::vector<Reference>& references,
           const std::function<void(std::vector<std::string>, const std::string&)>& addPrimaryKey) {
    TableColumn col;
    col.name = c.at().text;
    ++c.pos;
    std::string typeText = c.at().text;
    ++c.pos;
    if (c.at().isSymbol("(")) {
        typeText += "(";
        ++c.pos;
        while (!c.at().isSymbol(")") && c.at().kind != Token::Kind::End) {
            typeText += c.at().text;
            ++c.pos;
        }
        c.expect(")");
        typeText += ")";
    }
    if (!TypeInfo::parse(typeText, col.type)) {
        throw SqlError(2715, 16,
                       "Column, parameter, or variable #" + std::to_string(position) +
                           ": Cannot find data type " + typeText + ".",
                       6);
    }
    std::string constraintName;
    while (!c.at().isSymbol(",") && !c.at().isSymbol(")") && c.at().kind != Token::Kind::End) {
        if (c.at().isWord("constraint")) {
            constraintName = c.at(1).text;
            c.pos += 2;
            continue;
        }
        if (c.at().isWord("identity")) {
            col.identity = true;
            col.nullable = false;
            ++c.pos;
            if (c.at().isSymbol("(")) {
                ++c.pos;
                col.identitySeed = std::stoll(c.at().text);
                c.pos += 2;
                col.identityStep = std::stoll(c.at().text);
                ++c.pos;
                c.expect(")");
            }
        } else if (c.at().isWord("not") && c.at(1).isWord("null")) {
            col.nullable = false;
            c.pos += 2;
        } else if (c.at().isWord("null")) {
            ++c.pos;
        } else if (c.at().isWord("primary") && c.at(1).isWord("key")) {
            addPrimaryKey({col.name}, constraintName);
            col.nullable = false;
            c.pos += 2;
        } else if (c.at().isWord("default")) {
            ++c.pos;
            defaults.push_back({col.name, readDefault(c), constraintName});
        } else if (c.at().isWord("references")) {
            ++c.pos;
            references.push_back(readReference(c, col.name, constraintName));
        } else {
            throw SqlError(50000, 16, "__not_supported__");
        }
    }
    return col;
}

void addReference(Database& db, int tableId, const Reference& r) {
    ObjectDef& table = *db.object(tableId);
    ObjectDef* target = db.findObject(r.table);
    if (!target || !target->isTable()) {
        throw SqlError(1767, 16,
                       "Foreign key '" + (r.name.empty() ? "FK__" + table.name : r.name) +
                           "' references invalid table '" + splitName(r.table).back() + "'.",
                       1);
    }
    std::string refColumn = r.refColumn.empty() && !target->primaryKeyColumns.empty()
                                ? target->primaryKeyColumns.front()
                                : r.refColumn;
    db.addForeignKey(table, r.column,
                     !r.name.empty() ? r.name
                                     : "FK__" + table.name.substr(0, 8) + "__" + r.column.substr(0, 5) +
                                           "__" + std::to_string(tableId % 100000000),
                     *target, refColumn, r.cascade);
}

} // namespace

// The column list of a new table, at its "(": columns, keys, defaults and references, then the
// table itself in db under tableName (shown: the name messages use).
static void defineTable(Cursor& c, Database& db, const std::string& tableName, const std::string& shown,
                        int uid, bool allowReferences) {
    c.expect("(");
    std::vector<TableColumn> columns;
    std::vector<Named> defaults; // text: the default with its parentheses
    std::vector<Reference> references;
    std::vector<std::string> pkColumns;
    std::string pkName;
    std::vector<bool> pkDescending;
    bool pkClustered = true;
    auto addPrimaryKey = [&](std::vector<std::string> keyColumns, const std::string& name) {
        if (!pkColumns.empty()) {
            throw SqlError(8110, 16, "Cannot add multiple PRIMARY KEY constraints to table '" + shown + "'.",
                           0);
        }
        pkColumns = std::move(keyColumns);
        pkName = name;
    };
    while (true) {
        // A table constraint: [constraint NAME] primary key [clustered|nonclustered] (a, b, ...).
        const bool named = c.at().isWord("constraint");
        const int at = named ? 2 : 0;
        if (c.at(at).isWord("primary") && c.at(at + 1).isWord("key") &&
            (c.at(at + 2).isSymbol("(") ||
             ((c.at(at + 2).isWord("clustered") || c.at(at + 2).isWord("nonclustered")) &&
              c.at(at + 3).isSymbol("(")))) {
            const std::string name = named ? c.at(1).text : std::string();
            const bool clustered = !c.at(at + 2).isWord("nonclustered");
            c.pos += at + 2;
            if (!c.at().isSymbol("("))
                ++c.pos;
            c.expect("(");
            std::vector<std::string> keyColumns;
            std::vector<bool> descending;
            while (true) {
                keyColumns.push_back(c.at().text);
                ++c.pos;
                descending.push_back(c.at().isWord("desc"));
                if (c.at().isWord("asc") || c.at().isWord("desc"))
                    ++c.pos;
                if (!c.at().isSymbol(","))
                    break;
                ++c.pos;
            }
            c.expect(")");
            addPrimaryKey(std::move(keyColumns), name);
            pkDescending = std::move(descending);
            pkClustered = clustered;
        } else if (c.at().isWord("constraint") || c.at().isWord("primary") || c.at().isWord("foreign")) {
            throw SqlError(50000, 16, "__not_supported__");
        } else {
            columns.push_back(readColumn(c, columns.size() + 1, defaults, references, addPrimaryKey));
        }
        if (c.at().isSymbol(",")) {
            ++c.pos;
            continue;
        }
        c.expect(")");
        break;
    }
    // Key columns name columns of this table (by their defined spelling) and take no NULLs.
    for (std::string& key : pkColumns) {
        auto column = std::find_if(columns.begin(), columns.end(),
                                   [&](const TableColumn& col) { return sameName(col.name, key); });
        if (column == columns.end()) {
            throw SqlError(1911, 16, "Column name '" + key + "' does not exist in the target table or view.",
                           1);
        }
        key = column->name;
        column->nullable = false;
    }
    if (!allowReferences && !references.empty()) {
        throw SqlError(50000, 16, "__not_supported__"); // the server skips such keys with a warning
    }
    ObjectDef& t = db.addTable(tableName, columns, uid);
    int id = t.id;
    for (const auto& d : defaults) {
        db.addDefault(*db.object(id), d.column,
                      !d.name.empty() ? d.name
                                      : "DF__" + shown.substr(0, 9) + "__" + d.column.substr(0, 5) + "__" +
                                            std::to_string(id % 100000000),
                      d.text);
    }
    if (!pkColumns.empty()) {
        db.addPrimaryKey(*db.object(id),
                         !pkName.empty() ? pkName : "PK__" + shown.substr(0, 8) + "__" + std::to_string(id),
                         pkColumns);
        db.object(id)->primaryKeyDescending = pkDescending;
        db.object(id)->primaryKeyClustered = pkClustered;
    }
    for (const auto& r : references) {
        addReference(db, id, r);
    }
}

void TableDefinitions::create(Context& ctx, Cursor& c, bool tempAllowed) {
    c.pos += 2;
    std::string name = c.name();
    auto parts = splitName(name);
    // A temporary table lives in tempdb (a local one under its session's name); anyone may make one.
    const bool isTemp = TempTables::isTemp(parts.back());
    const std::string temp = TempTables::tempName(parts);
    Database* tempdb = ctx.instance.findDatabase("tempdb");
    if (isTemp && (temp.empty() || !tempAllowed || !tempdb)) {
        throw SqlError(50000, 16, "__not_supported__");
    }
    Database& db = isTemp ? *tempdb : ctx.db();
    if (isTemp) {
        if (TempTables::madeHere(ctx.instance, temp, ctx.session)) {
            throw SqlError(2714, 16, "There is already an object named '" + temp + "' in the database.", 6);
        }
    } else {
        if (!Permissions::dbRole(ctx, db, "db_ddladmin")) {
            throw SqlError(262, 14, "CREATE TABLE permission denied in database '" + db.name + "'.", 1);
        }
        if (db.findObject(name)) {
            throw SqlError(2714, 16,
                           "There is already an object named '" + parts.back() + "' in the database.", 6);
        }
    }
    int uid = Database::kDboUid;
    if (!isTemp && parts.size() >= 2 && !parts[parts.size() - 2].empty()) {
        DbPrincipal* owner = db.principal(parts[parts.size() - 2]);
        if (!owner) {
            throw SqlError(2760, 16,
                           "The specified schema name \"" + parts[parts.size() - 2] +
                               "\" either does not exist or you do not have permission to use it.");
        }
        uid = owner->uid;
    }
    defineTable(c, db, isTemp ? TempTables::storedName(temp, ctx.session) : parts.back(),
                isTemp ? temp : parts.back(), uid, !isTemp);
    if (isTemp) {
        if (ObjectDef* made = TempTables::find(ctx.instance, temp, ctx.session)) {
            TempTables::own(*made, ctx.session);
        }
    }
}

void TableDefinitions::declareTable(Cursor& c, Database& store, const std::string& name) {
    defineTable(c, store, name, name, Database::kDboUid, false);
}

void TableDefinitions::drop(Context& ctx, Cursor& c) {
    c.pos += 2;
    const bool ifExists = c.at().isWord("if") && c.at(1).isWord("exists");
    if (ifExists) {
        c.pos += 2;
    }
    std::vector<std::string> names;
    while (true) {
        names.push_back(c.name());
        const auto parts = splitName(names.back());
        if (TempTables::isTemp(parts.back()) && TempTables::tempName(parts).empty()) {
            throw SqlError(50000, 16, "__not_supported__"); // a temporary name in another database
        }
        if (!c.at().isSymbol(",")) {
            break;
        }
        ++c.pos;
    }
    // Each table goes in turn; one that cannot go is reported and the others still go.
    std::vector<SqlError> failed;
    for (const std::string& name : names) {
        try {
            dropOne(ctx, name, ifExists);
        } catch (const SqlError& e) {
            failed.push_back(e);
        }
    }
    if (!failed.empty()) {
        SqlError first = failed.front();
        first.following.insert(first.following.end(), failed.begin() + 1, failed.end());
        throw first;
    }
}

void TableDefinitions::dropOne(Context& ctx, const std::string& name, bool ifExists) {
    const auto parts = splitName(name);
    if (TempTables::isTemp(parts.back())) {
        const std::string temp = TempTables::tempName(parts);
        ObjectDef* o = TempTables::find(ctx.instance, temp, ctx.session);
        if (o) {
            ctx.instance.findDatabase("tempdb")->dropObject(o->id);
        } else if (!ifExists) {
            throw SqlError(3701, 11,
                           "Cannot drop the table '" + temp +
                               "', because it does not exist or you do not have permission.",
                           5);
        }
        return;
    }
    Database& db = ctx.db();
    ObjectDef* o = db.findObject(name);
    if (!o && ifExists) {
        return;
    }
    if (!o || !o->isTable() || !Permissions::dbRole(ctx, db, "db_ddladmin")) {
        throw SqlError(3701, 11,
                       "Cannot drop the table '" + parts.back() +
                           "', because it does not exist or you do not have permission.",
                       5);
    }
    for (const auto& [id, other] : db.objects) {
        for (const auto& fk : other.foreignKeys) {
            if (fk.refTableId == o->id && other.id != o->id) {
                throw SqlError(3726, 16,
                               "Could not drop object '" + db.fullName(*o) +
                                   "' because it is referenced by a FOREIGN KEY constraint.",
                               1);
            }
        }
    }
    db.dropObject(o->id);
}

void TableDefinitions::alter(Context& ctx, Cursor& c) {
    c.pos += 2;
    std::string name = c.name();
    Database& db = ctx.db();
    ObjectDef* t = db.findObject(name);
    if (!t || !t->isTable() || !Permissions::dbRole(ctx, db, "db_ddladmin")) {
        throw SqlError(4902, 16,
                       "Cannot find the object \"" + splitName(name).back() +
                           "\" because it does not exist or you do not have permissions.",
                       1);
    }
    int id = t->id;
    if (!c.at().isWord("add") || !c.at(1).isWord("constraint")) {
        throw SqlError(50000, 16, "__not_supported__");
    }
    std::string constraint = c.at(2).text;
    c.pos += 3;
    if (db.findObject(constraint)) {
        throw SqlError(2714, 16, "There is already an object named '" + constraint + "' in the database.", 1);
    }
    if (c.at().isWord("default")) {
        ++c.pos;
        std::string text = readDefault(c);
        if (!c.at().isWord("for")) {
            syntaxError(c.at());
        }
        std::string column = c.at(1).text;
        c.pos += 2;
        int ci = t->columnIndex(column);
        if (ci < 0) {
            throw SqlError(1752, 16,
                           "Column '" + column + "' in table '" + t->name +
                               "' is invalid for creating a default constraint.",
                           1);
        }
        if (t->columns[size_t(ci)].defaultId) {
            ctx.response.error(1781, 16, "Column already has a DEFAULT bound to it.", 1);
            throw SqlError(1750, 16, "Could not create constraint or index. See previous errors.", 0);
        }
        db.addDefault(*t, t->columns[size_t(ci)].name, constraint, text);
    } else if (c.at().isWord("foreign") && c.at(1).isWord("key")) {
        c.pos += 2;
        c.expect("(");
        std::string column = c.at().text;
        ++c.pos;
        c.expect(")");
        if (!c.at().isWord("references")) {
            syntaxError(c.at());
        }
        ++c.pos;
        addReference(db, id, readReference(c, column, constraint));
    } else {
        throw SqlError(50000, 16, "__not_supported__");
    }
}

} // namespace sqlsim::model
