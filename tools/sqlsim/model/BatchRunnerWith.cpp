// Named results a statement reads besides tables: common table expressions (with name as (query),
// recursive ones level by level) and the batch's table variables.
#include "BatchRunner.h"

#include "Names.h"
#include "SelectQuery.h"

namespace sqlsim::model {

namespace {

// The names of a common table expression's columns: its column list, or those of its query.
void nameColumns(Relation& r, const std::string& name, const std::vector<std::string>& columns) {
    if (!columns.empty()) {
        if (columns.size() != r.columns.size()) {
            const bool more = r.columns.size() > columns.size();
            throw SqlError(more ? 8158 : 8159, 16,
                           "'" + name + "' has " + (more ? "more" : "fewer") +
                               " columns than were specified in the column list.");
        }
        for (size_t i = 0; i < columns.size(); ++i) {
            r.columns[i].name = columns[i];
        }
    }
    for (size_t i = 0; i < r.columns.size(); ++i) {
        if (r.columns[i].name.empty()) {
            throw SqlError(8155, 16,
                           "No column name was specified for column " + std::to_string(i + 1) + " of '" +
                               name + "'.");
        }
        for (size_t k = 0; k < i; ++k) {
            if (sameName(r.columns[k].name, r.columns[i].name)) {
                throw SqlError(8156, 16,
                               "The column '" + r.columns[i].name + "' was specified multiple times for '" +
                                   name + "'.");
            }
        }
        r.columns[i].identity = false;
    }
}

bool sameStoredType(const ColumnType& a, const ColumnType& b) {
    return a.type == b.type && a.length == b.length && a.precision == b.precision && a.scale == b.scale;
}

} // namespace

const Relation* BatchRunner::commonTable(const std::string& name) const {
    for (auto it = m_commonTables.rbegin(); it != m_commonTables.rend(); ++it) {
        if (sameName(it->first, name)) {
            return &it->second;
        }
    }
    return nullptr;
}

size_t BatchRunner::commonTableQuery(const std::string& name) const {
    for (auto it = m_commonTableQueries.rbegin(); it != m_commonTableQueries.rend(); ++it) {
        if (sameName(it->first, name)) {
            return it->second;
        }
    }
    return size_t(-1);
}

Database& BatchRunner::tableVariables() {
    if (!m_tableVariables) {
        m_tableVariables = std::make_unique<Database>("tempdb", 2, Bytes{}, Instance::now());
    }
    return *m_tableVariables;
}

ObjectDef* BatchRunner::tableVariable(const std::string& name) {
    return m_tableVariables ? m_tableVariables->findObject(bracketed(name)) : nullptr;
}

void BatchRunner::runWith(size_t& pos) {
    // option (maxrecursion n) of the statement that uses them, read first: it bounds their recursion.
    int64_t maxRecursion = 100;
    const size_t end = BatchCompiler(*this, m_ctx).scanEnd(pos);
    for (size_t k = pos, depth = 0; k < end; ++k) {
        depth += at(k).isSymbol("(") ? 1 : 0;
        depth -= at(k).isSymbol(")") && depth > 0 ? 1 : 0;
        if (depth == 0 && at(k).isWord("option") && at(k + 1).isSymbol("(") &&
            at(k + 2).isWord("maxrecursion") && at(k + 3).kind == Token::Kind::Number) {
            maxRecursion = std::stoll(at(k + 3).text);
            if (maxRecursion > 32767) {
                throw SqlError(
                    310, 15,
                    "The value " + at(k + 3).text +
                        " specified for the MAXRECURSION option exceeds the allowed maximum of 32767.");
            }
        }
    }
    // The names are seen by the statement only (and by the expressions defined after them).
    struct Restore {
        std::vector<std::pair<std::string, Relation>>& list;
        size_t size;
        ~Restore() { list.resize(size); }
    } restore{m_commonTables, m_commonTables.size()};
    struct RestoreQueries {
        std::vector<std::pair<std::string, size_t>>& list;
        size_t size;
        ~RestoreQueries() { list.resize(size); }
    } restoreQueries{m_commonTableQueries, m_commonTableQueries.size()};
    ++pos; // with
    std::vector<std::string> defined;
    std::optional<SqlError> exhausted;
    while (true) {
        if (!at(pos).isName()) {
            syntaxError(at(pos));
        }
        const std::string name = at(pos).text;
        ++pos;
        for (const std::string& other : defined) {
            if (sameName(other, name)) {
                throw SqlError(239, 16,
                               "Duplicate common table expression name '" + name + "' was specified.");
            }
        }
        defined.push_back(name);
        std::vector<std::string> columns;
        if (at(pos).isSymbol("(")) {
            ++pos;
            while (true) {
                if (!at(pos).isName()) {
                    syntaxError(at(pos));
                }
                columns.push_back(at(pos).text);
                ++pos;
                if (!at(pos).isSymbol(",")) {
                    break;
                }
                ++pos;
            }
            expectSymbol(pos, ")");
        }
        if (!at(pos).isWord("as")) {
            syntaxError(at(pos));
        }
        ++pos;
        expectSymbol(pos, "(");
        const size_t query = pos;
        // A query that names itself is recursive.
        size_t close = pos;
        bool recursive = false;
        for (int depth = 1; at(close).kind != Token::Kind::End; ++close) {
            depth += at(close).isSymbol("(") ? 1 : at(close).isSymbol(")") ? -1 : 0;
            if (depth == 0) {
                break;
            }
            recursive = recursive || (at(close).isName() && sameName(at(close).text, name));
        }
        Relation rows;
        if (recursive) {
            std::optional<SqlError> cut;
            rows = recursiveCommonTable(pos, name, columns, maxRecursion, cut);
            if (cut && !exhausted) {
                exhausted = std::move(cut);
            }
            pos = close;
        } else {
            SelectQuery query(*this, m_ctx);
            rows = query.run(pos);
            if (!query.into().empty()) {
                syntaxError(at(pos));
            }
            nameColumns(rows, name, columns);
        }
        expectSymbol(pos, ")");
        m_commonTables.push_back({name, std::move(rows)});
        m_commonTableQueries.push_back({name, recursive ? size_t(-1) : query});
        if (!at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    const Token& t = at(pos);
    if (!t.isWord("select") && !t.isWord("insert") && !t.isWord("update") && !t.isWord("delete")) {
        syntaxError(t);
    }
    if (exhausted) {
        failAtRecursionLimit(pos, *exhausted);
    }
    runStatement(pos);
}

void BatchRunner::failAtRecursionLimit(size_t& pos, const SqlError& exhausted) {
    const bool assigns = at(pos + 1).kind == Token::Kind::Variable && at(pos + 2).isSymbol("=");
    if (!at(pos).isWord("select") || assigns || m_tryDepth > 0) {
        throw exhausted;
    }
    // The select runs over the rows made before the limit; those it sent as it made them went out.
    const size_t start = pos;
    SelectQuery query(*this, m_ctx);
    try {
        Relation r = query.run(pos);
        if (!query.sendsRowsAsMade()) {
            throw exhausted;
        }
        m_rowsBeforeFailure = std::move(r.rows);
    } catch (const SqlError& e) {
        if (e.number() == exhausted.number() || !query.sendsRowsAsMade()) {
            throw;
        }
        // It failed on one of those rows first.
        m_rowsBeforeFailure = query.takeRowsBeforeFailure();
        announceFailedSelect(start, e);
        throw;
    }
    announceFailedSelect(start, exhausted);
    throw exhausted;
}

Relation BatchRunner::recursiveCommonTable(size_t body, const std::string& name,
                                           const std::vector<std::string>& columns, int64_t maxRecursion,
                                           std::optional<SqlError>& exhausted) {
    // Its parts: the selects between union all, each either an anchor or a recursive part.
    std::vector<size_t> anchors, recursives;
    size_t pos = body;
    bool unionAll = true;
    while (true) {
        const size_t start = pos;
        if (!at(pos).isWord("select")) {
            syntaxError(at(pos));
        }
        SelectQuery part(*this, m_ctx);
        part.firstSelectOnly();
        part.check(pos);
        bool refers = false;
        for (size_t k = start; k < pos; ++k) {
            refers = refers || (at(k).isName() && sameName(at(k).text, name));
        }
        (refers ? recursives : anchors).push_back(start);
        if (!at(pos).isWord("union")) {
            break;
        }
        ++pos;
        unionAll = unionAll && at(pos).isWord("all");
        pos += at(pos).isWord("all") ? 1 : 0;
    }
    if (!unionAll || recursives.empty() || (anchors.size() + recursives.size() < 2)) {
        throw SqlError(252, 16,
                       "Recursive common table expression '" + name +
                           "' does not contain a top-level UNION ALL operator.");
    }
    if (anchors.empty()) {
        throw SqlError(246, 16, "No anchor member was specified for recursive query \"" + name + "\".");
    }
    auto runPart = [&](size_t start) {
        SelectQuery part(*this, m_ctx);
        part.firstSelectOnly();
        return part.run(start);
    };
    Relation result = runPart(anchors[0]);
    for (size_t k = 1; k < anchors.size(); ++k) {
        Relation more = runPart(anchors[k]);
        for (Row& r : more.rows) {
            result.rows.push_back(std::move(r));
        }
    }
    nameColumns(result, name, columns);
    // Each level reads the rows the level before it added.
    std::vector<Row> level = result.rows;
    m_commonTables.push_back({name, Relation{}});
    const size_t slot = m_commonTables.size() - 1;
    for (int64_t depth = 0; !level.empty(); ++depth) {
        m_commonTables[slot].second.columns = result.columns;
        m_commonTables[slot].second.rows = std::move(level);
        level.clear();
        for (size_t start : recursives) {
            Relation more = runPart(start);
            if (more.columns.size() != result.columns.size()) {
                throw SqlError(
                    205, 16,
                    "All queries combined using a UNION, INTERSECT or EXCEPT operator must have an "
                    "equal number of expressions in their target lists.");
            }
            for (size_t i = 0; i < more.columns.size(); ++i) {
                if (!sameStoredType(more.columns[i].type, result.columns[i].type)) {
                    throw SqlError(
                        240, 16,
                        "Types don't match between the anchor and the recursive part in column \"" +
                            result.columns[i].name + "\" of recursive query \"" + name + "\".");
                }
            }
            for (Row& r : more.rows) {
                level.push_back(std::move(r));
            }
        }
        if (!level.empty() && maxRecursion > 0 && depth >= maxRecursion) {
            exhausted =
                SqlError(530, 16,
                         "The statement terminated. The maximum recursion " + std::to_string(maxRecursion) +
                             " has been exhausted before statement completion.");
            break;
        }
        result.rows.insert(result.rows.end(), level.begin(), level.end());
    }
    m_commonTables.resize(slot);
    return result;
}

} // namespace sqlsim::model
