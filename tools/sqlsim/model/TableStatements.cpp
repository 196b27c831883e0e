#include "TableStatements.h"

#include "CommonTableWrite.h"
#include "InsertExec.h"
#include "RowConstraints.h"
#include "TableDefinitions.h"
#include "Triggers.h"
#include "TokenCursor.h"

#include "Names.h"
#include "Permissions.h"
#include "TempTables.h"
#include "TextTemplate.h"
#include "TypeInfo.h"

#include <algorithm>
#include <numeric>
#include <optional>

namespace sqlsim::model {

namespace {

// The table a statement writes: a user table of the current database, or one of the session's
// temporary tables in tempdb.
struct Target {
    Database& db;
    ObjectDef& table;
    bool temp = false;
};

std::string shownName(const std::string& name) {
    std::string shown;
    for (const auto& p : splitName(name)) {
        shown += (shown.empty() ? "" : ".") + p;
    }
    return shown;
}

// The name a statement writes into: a possibly qualified name or a table variable.
std::string targetName(Cursor& c) {
    if (c.at().kind == Token::Kind::Variable) {
        return c.t[c.pos++].text;
    }
    return c.name();
}

// The table named, or nullptr; a name the simulator cannot write is refused as not supported.
std::optional<Target> findTarget(BatchRunner& runner, Context& ctx, const std::string& name) {
    if (name.rfind("@", 0) == 0) {
        ObjectDef* o = runner.tableVariable(name);
        if (!o) {
            throw SqlError(1087, 15, "Must declare the table variable \"" + name + "\".");
        }
        return Target{runner.tableVariables(), *o, true};
    }
    const auto parts = splitName(name);
    if (parts.size() == 1 && runner.commonTable(parts[0])) {
        throw SqlError(50000, 16, "__not_supported__"); // writing through a common table expression
    }
    if (TempTables::isTemp(parts.back())) {
        const std::string temp = TempTables::tempName(parts);
        if (temp.empty()) {
            throw SqlError(50000, 16, "__not_supported__");
        }
        ObjectDef* o = TempTables::find(ctx.instance, temp, ctx.session);
        if (!o) {
            return std::nullopt;
        }
        return Target{*ctx.instance.findDatabase("tempdb"), *o, true};
    }
    ObjectDef* o = ctx.db().findObject(name);
    if (!o || (!o->isTable() && o->type != "V")) {
        return std::nullopt;
    }
    return Target{ctx.db(), *o, false};
}

// A view is written only through its instead of trigger for the action; the simulator does not
// write through a view's select.
void requireInsteadOfView(Database& db, const ObjectDef& t, const char* action) {
    if (t.type == "V" && !Triggers::hasInstead(db, t, action)) {
        throw SqlError(50000, 16, "__not_supported__");
    }
}

Target userTable(BatchRunner& runner, Context& ctx, const std::string& name) {
    if (auto target = findTarget(runner, ctx, name)) {
        return *target;
    }
    throw SqlError(208, 16, "Invalid object name '" + shownName(name) + "'.");
}

// The table a common table expression's query reads. Its query ran, so the name is there: when it
// is not a table the simulator writes (a view, a table of another database), it is refused.
Target throughTable(BatchRunner& runner, Context& ctx, const CommonTableWrite& through) {
    if (auto target = findTarget(runner, ctx, through.tableName())) {
        if (target->table.type != "V") {
            return *target;
        }
    }
    throw SqlError(50000, 16, "__not_supported__");
}

// A statement's permission on its table; the session owns its temporary tables, and a module's
// owner the tables its statements write.
void require(BatchRunner& runner, Context& ctx, const Target& t, int permission) {
    if (!t.temp && Triggers::checksPermissions(runner)) {
        Permissions::requireOnObject(ctx, t.db, t.table, permission);
    }
}

void terminated(Context& ctx, const SqlError& e) {
    ctx.response.error(e.number(), e.severity(), e.what(), e.state(), {}, e.line());
    ctx.response.error(3621, 10, "The statement has been terminated.", 0);
}

// The statement ends here; anything more is a clause the simulator does not answer, refused
// before anything changes.
void expectEnd(const Cursor& c) {
    BatchCompiler::expectEnd(c.at());
}

void writeRows(BatchRunner& runner, Context& ctx, const Target& target, const std::vector<int>& targets,
               std::vector<Row> newRows, InsertExec* capture);

void insert(BatchRunner& runner, Context& ctx, Cursor& c) {
    ++c.pos;
    if (c.at().isWord("into")) {
        ++c.pos;
    }
    const std::string targetText = targetName(c);
    // Into a common table expression: into its table, through its columns.
    std::unique_ptr<CommonTableWrite> through = CommonTableWrite::find(runner, targetText, false);
    const Target target = through ? throughTable(runner, ctx, *through) : userTable(runner, ctx, targetText);
    ObjectDef& t = target.table;
    requireInsteadOfView(target.db, t, "insert");
    require(runner, ctx, target, Permissions::kInsert);
    if (through) {
        through->bind(t);
    }
    std::vector<int> targets;
    if (c.at().isWord("default") && c.at(1).isWord("values")) {
        // One row, each column taking its default, its identity value or null.
        if (through) {
            throw SqlError(50000, 16, "__not_supported__");
        }
        c.pos += 2;
        expectEnd(c);
        writeRows(runner, ctx, target, targets, {Row{}}, nullptr);
        return;
    }
    if (c.at().isSymbol("(")) {
        ++c.pos;
        while (true) {
            if (!c.at().isName()) {
                syntaxError(c.at());
            }
            int i = through ? through->tableColumn(c.at().text) : t.columnIndex(c.at().text);
            if (i < 0) {
                throw SqlError(207, 16, "Invalid column name '" + c.at().text + "'.");
            }
            targets.push_back(i);
            ++c.pos;
            if (c.at().isSymbol(",")) {
                ++c.pos;
                continue;
            }
            c.expect(")");
            break;
        }
    } else if (through) {
        for (int i : through->allTableColumns()) {
            if (!t.columns[size_t(i)].identity && !t.columns[size_t(i)].isComputed()) {
                targets.push_back(i);
            }
        }
    } else {
        for (size_t i = 0; i < t.columns.size(); ++i) {
            if (!t.columns[i].identity && !t.columns[i].isComputed()) {
                targets.push_back(int(i));
            }
        }
    }
    std::vector<Row> newRows;
    if (c.at().isWord("select")) {
        // insert ... select: the query's rows by position.
        Relation rows = runner.select(c.pos);
        if (rows.columns.size() != targets.size()) {
            const bool more = rows.columns.size() > targets.size();
            throw SqlError(more ? 121 : 120, 15,
                           std::string("The select list for the INSERT statement contains ") +
                               (more ? "more" : "fewer") +
                               " items than the insert list. The number of SELECT values must match the "
                               "number of INSERT columns.");
        }
        newRows = std::move(rows.rows);
    } else if (c.at().isWord("exec") || c.at().isWord("execute")) {
        // insert ... exec: the rows of the result sets the procedure or text sends. It may have
        // changed the tables, so the target is looked up again when it is done.
        if (through) {
            throw SqlError(50000, 16, "__not_supported__");
        }
        InsertExec capture(runner, ctx);
        std::optional<std::vector<Row>> rows = capture.run(c.pos, targets.size());
        if (!rows) {
            return;
        }
        const Target again = [&] {
            try {
                return userTable(runner, ctx, targetText);
            } catch (const SqlError&) {
                capture.undo();
                throw;
            }
        }();
        writeRows(runner, ctx, again, targets, std::move(*rows), &capture);
        return;
    } else if (!c.at().isWord("values")) {
        throw SqlError(50000, 16, "__not_supported__");
    }
    if (c.at().isWord("values")) {
        ++c.pos;
        EvalScope s = runner.scope({}, nullptr);
        while (true) {
            c.expect("(");
            Row values;
            while (true) {
                static const std::string none;
                ExpressionParser p(c.t, c.pos, none);
                values.push_back(Evaluator::eval(*p.parse(), s));
                if (c.at().isSymbol(",")) {
                    ++c.pos;
                    continue;
                }
                c.expect(")");
                break;
            }
            if (values.size() != targets.size()) {
                throw SqlError(values.size() > targets.size() ? 110 : 109, 15,
                               values.size() > targets.size()
                                   ? "There are fewer columns in the INSERT statement than values specified "
                                     "in the VALUES "
                                     "clause. The number of values in the VALUES clause must match the "
                                     "number of columns "
                                     "specified in the INSERT statement."
                                   : "There are more columns in the INSERT statement than values specified "
                                     "in the VALUES "
                                     "clause. The number of values in the VALUES clause must match the "
                                     "number of columns "
                                     "specified in the INSERT statement.");
            }
            newRows.push_back(values);
            if (c.at().isSymbol(",")) {
                ++c.pos;
                continue;
            }
            break;
        }
    }
    expectEnd(c);
    writeRows(runner, ctx, target, targets, std::move(newRows), nullptr);
}

// Inserts the rows, each holding the values of the targets' columns, with the column rules, keys
// and triggers of the table; on an error none stays (nor what capture's exec changed).
void writeRows(BatchRunner& runner, Context& ctx, const Target& target, const std::vector<int>& targets,
               std::vector<Row> newRows, InsertExec* capture) {
    ObjectDef& t = target.table;
    Database& db = target.db;
    bool identityInsert = ctx.session.options["identity_insert"] == lower(db.name + "." + db.fullName(t));
    int identity = t.identityColumn();
    int64_t count = 0;
    // An instead of trigger gets the rows in place of the table.
    const bool instead = Triggers::hasInstead(db, t, "insert");
    const bool triggered = !instead && Triggers::has(db, t, "insert");
    const std::vector<Row> before = triggered ? t.rows : std::vector<Row>{};
    Triggers::StatementStart start(ctx, triggered || instead);
    std::vector<Row> insteadRows;
    try {
        for (const auto& values : newRows) {
            Row row(t.columns.size());
            std::vector<bool> given(t.columns.size(), false);
            for (size_t k = 0; k < targets.size(); ++k) {
                row[size_t(targets[k])] = values[k];
                given[size_t(targets[k])] = true;
            }
            if (identity >= 0 && given[size_t(identity)] && !identityInsert) {
                throw SqlError(544, 16,
                               "Cannot insert explicit value for identity column in table '" + t.name +
                                   "' when IDENTITY_INSERT is set to OFF.");
            }
            for (size_t i = 0; i < t.columns.size(); ++i) {
                if (!given[i] && !t.columns[i].defaultText.empty()) {
                    Request r;
                    r.text = "select " + t.columns[i].defaultText;
                    ProcedureTable noProcedures;
                    BatchRunner dr(ctx, noProcedures, r);
                    size_t p = 0;
                    row[i] = dr.select(p).rows.at(0).at(0);
                }
            }
            if (instead) {
                insteadRows.push_back(std::move(row));
                ++count;
                continue;
            }
            if (identity >= 0 && !given[size_t(identity)]) {
                row[size_t(identity)] = SqlValue(t.identityNext);
            }
            RowConstraints::check(db, t, row, "INSERT", -1);
            if (identity >= 0) {
                int64_t v = row[size_t(identity)].toInt();
                t.identityNext = std::max(t.identityNext, v + t.columns[size_t(identity)].identityStep);
                ctx.instance.lastIdentity()[ctx.session.spid] = v;
            }
            t.rows.push_back(std::move(row));
            ++count;
        }
    } catch (const SqlError& e) {
        if (std::string(e.what()) == "__not_supported__") {
            throw;
        }
        for (int64_t k = 0; k < count && !instead; ++k) {
            t.rows.pop_back();
        }
        terminated(ctx, e);
        if (capture) {
            capture->undo();
        }
        return;
    }
    if (instead) {
        Triggers::fireInstead(runner, ctx, t.id, "insert", std::move(insteadRows), {});
        ctx.rowCount(count);
        return;
    }
    if (triggered) {
        Triggers::fire(runner, ctx, t.id, "insert", std::vector<Row>(t.rows.end() - count, t.rows.end()), {},
                       before);
    }
    ctx.rowCount(count);
}

std::unique_ptr<Expr> whereClause(Cursor& c) {
    if (!c.at().isWord("where")) {
        return nullptr;
    }
    ++c.pos;
    static const std::string none;
    ExpressionParser p(c.t, c.pos, none);
    return p.parse();
}

void updateOrDelete(BatchRunner& runner, Context& ctx, Cursor& c, bool isUpdate) {
    ++c.pos;
    // top (n): the first n rows found (in the order of a common table expression's query).
    std::unique_ptr<Expr> top;
    if (c.at().isWord("top")) {
        ++c.pos;
        c.expect("(");
        static const std::string none;
        ExpressionParser p(c.t, c.pos, none);
        top = p.parse();
        c.expect(")");
        if (c.at().isWord("percent")) {
            throw SqlError(50000, 16, "__not_supported__");
        }
    }
    if (!isUpdate && c.at().isWord("from")) {
        ++c.pos;
    }
    const std::string name = targetName(c);
    // Written through a common table expression: its table, its columns and rows.
    std::unique_ptr<CommonTableWrite> through = CommonTableWrite::find(runner, name, !isUpdate);
    const Target target = through ? throughTable(runner, ctx, *through) : userTable(runner, ctx, name);
    ObjectDef& t = target.table;
    Database& db = target.db;
    const char* action = isUpdate ? "update" : "delete";
    requireInsteadOfView(db, t, action);
    require(runner, ctx, target, isUpdate ? Permissions::kUpdate : Permissions::kDelete);
    if (through) {
        through->bind(t);
    }
    std::string alias = through ? splitName(name).back() : t.name;
    std::vector<std::pair<int, std::unique_ptr<Expr>>> sets;
    if (isUpdate) {
        if (!c.at().isWord("set")) {
            syntaxError(c.at());
        }
        ++c.pos;
        while (true) {
            std::string column = c.at().text;
            if (c.at(1).isSymbol(".")) {
                c.pos += 2;
                column = c.at().text;
            }
            int i = through ? through->tableColumn(column) : t.columnIndex(column);
            if (i < 0) {
                throw SqlError(207, 16, "Invalid column name '" + column + "'.");
            }
            if (t.columns[size_t(i)].identity) {
                throw SqlError(8102, 16, "Cannot update identity column '" + column + "'.");
            }
            ++c.pos;
            c.expect("=");
            static const std::string none;
            ExpressionParser p(c.t, c.pos, none);
            sets.push_back({i, p.parse()});
            if (c.at().isSymbol(",")) {
                ++c.pos;
                continue;
            }
            break;
        }
    }
    auto where = whereClause(c);
    expectEnd(c);
    if (where) {
        // Rows chosen by their values are read: that takes the select permission too.
        require(runner, ctx, target, Permissions::kSelect);
    }
    Relation rel;
    for (const auto& col : t.columns) {
        rel.columns.push_back(Column{col.name, col.type, col.nullable, col.identity, col.isComputed()});
    }
    // A view's rows are those its select shows now.
    const std::vector<Row> viewRows = t.type == "V" ? Triggers::viewRows(runner, db, t) : std::vector<Row>{};
    const std::vector<Row>& current = t.type == "V" ? viewRows : t.rows;
    // The statement reads the table's rows, or the expression's rows it writes through.
    const Relation& read = through ? through->relation() : rel;
    auto readRow = [&](size_t r) -> const Row* { return through ? &read.rows[r] : &current[r]; };
    auto tableRow = [&](size_t r) { return through ? through->tableRow(r) : r; };
    int64_t limit = -1;
    if (top) {
        const SqlValue n = Evaluator::eval(*top, runner.scope({}, nullptr));
        limit = n.isNull() ? 0 : n.toInt();
        if (limit < 0) {
            throw SqlError(1060, 16,
                           "The number of rows provided for a TOP or FETCH clauses row count parameter must "
                           "be an integer.");
        }
    }
    std::vector<size_t> hit, readHit; // rows of the table, and the rows read they are
    const size_t readCount = through ? read.rows.size() : current.size();
    for (size_t r = 0; r < readCount && (limit < 0 || int64_t(hit.size()) < limit); ++r) {
        if (!where || Evaluator::isTrue(*where, runner.scope({{alias, &read}}, readRow(r)))) {
            hit.push_back(tableRow(r));
            readHit.push_back(r);
        }
    }
    if (through) {
        // In the table's order, as the rows are changed.
        std::vector<size_t> byRow(hit.size());
        std::iota(byRow.begin(), byRow.end(), size_t(0));
        std::sort(byRow.begin(), byRow.end(), [&](size_t a, size_t b) { return hit[a] < hit[b]; });
        std::vector<size_t> h, rh;
        for (size_t k : byRow) {
            h.push_back(hit[k]);
            rh.push_back(readHit[k]);
        }
        hit = std::move(h);
        readHit = std::move(rh);
    }
    const bool instead = Triggers::hasInstead(db, t, action);
    const bool triggered = !instead && Triggers::has(db, t, action);
    const std::vector<Row> before = triggered ? t.rows : std::vector<Row>{};
    Triggers::StatementStart start(ctx, triggered || instead);
    std::vector<Row> deleted, inserted;
    if (triggered || instead) {
        for (size_t r : hit) {
            deleted.push_back(current[r]);
        }
    }
    if (instead) {
        // The trigger gets the rows as they were and (for an update) as they would become.
        for (size_t k = 0; k < hit.size() && isUpdate; ++k) {
            Row row = current[hit[k]];
            EvalScope s = runner.scope({{alias, &read}}, readRow(readHit[k]));
            for (const auto& [i, e] : sets) {
                row[size_t(i)] = Evaluator::eval(*e, s);
            }
            inserted.push_back(std::move(row));
        }
        const int64_t n = int64_t(hit.size());
        Triggers::fireInstead(runner, ctx, t.id, action, std::move(inserted), std::move(deleted));
        ctx.rowCount(n);
        return;
    }
    try {
        if (isUpdate) {
            std::vector<Row> updated;
            for (size_t k = 0; k < hit.size(); ++k) {
                const size_t r = hit[k];
                Row row = t.rows[r];
                EvalScope s = runner.scope({{alias, &read}}, readRow(readHit[k]));
                for (const auto& [i, e] : sets) {
                    row[size_t(i)] = Evaluator::eval(*e, s);
                }
                RowConstraints::check(db, t, row, "UPDATE", int(r));
                updated.push_back(std::move(row));
            }
            for (size_t k = 0; k < hit.size(); ++k) {
                t.rows[hit[k]] = std::move(updated[k]);
                if (triggered) {
                    inserted.push_back(t.rows[hit[k]]);
                }
            }
        } else {
            RowConstraints::deleteWithReferences(db, t, hit);
        }
    } catch (const SqlError& e) {
        terminated(ctx, e);
        return;
    }
    if (triggered) {
        Triggers::fire(runner, ctx, t.id, action, std::move(inserted), std::move(deleted), before);
    }
    ctx.rowCount(int64_t(hit.size()));
}

// truncate table name: every row goes, and the identity starts again from its seed.
void truncate(BatchRunner& runner, Context& ctx, Cursor& c) {
    c.pos += 2;
    const std::string name = c.name();
    expectEnd(c);
    auto target = findTarget(runner, ctx, name);
    if (!target || target->table.type == "V" || (!target->temp && !Permissions::dbRole(ctx, target->db, "db_ddladmin"))) {
        throw SqlError(4701, 16,
                       "Cannot find the object \"" + shownName(name) +
                           "\" because it does not exist or you do not have permissions.",
                       1);
    }
    ObjectDef& t = target->table;
    for (const auto& [id, other] : target->db.objects) {
        for (const auto& fk : other.foreignKeys) {
            if (fk.refTableId == t.id) {
                throw SqlError(4712, 16,
                               "Cannot truncate table '" + shownName(name) +
                                   "' because it is being referenced by a FOREIGN KEY constraint.",
                               1);
            }
        }
    }
    t.rows.clear();
    if (int identity = t.identityColumn(); identity >= 0) {
        t.identityNext = t.columns[size_t(identity)].identitySeed;
    }
}

} // namespace

void TableStatements::run(BatchRunner& runner, Context& ctx, size_t& pos) {
    Cursor c{runner.tokens(), pos};
    const Token& t = c.at();
    if (t.isWord("insert")) {
        insert(runner, ctx, c);
    } else if (t.isWord("update")) {
        updateOrDelete(runner, ctx, c, true);
    } else if (t.isWord("delete")) {
        updateOrDelete(runner, ctx, c, false);
    } else if (t.isWord("alter")) {
        TableDefinitions::alter(ctx, c);
    } else if (t.isWord("truncate")) {
        truncate(runner, ctx, c);
    } else if (t.isWord("create")) {
        TableDefinitions::create(ctx, c, runner.makesTempTables());
    } else {
        TableDefinitions::drop(ctx, c);
    }
}

} // namespace sqlsim::model
