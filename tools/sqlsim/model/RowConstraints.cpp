#include "RowConstraints.h"

#include "Names.h"
#include "SqlError.h"
#include "SqlExpression.h"

#include <map>
#include <set>

namespace sqlsim::model {

namespace {

std::string tableText(const Database& db, const ObjectDef& o) {
    return o.name.rfind("@", 0) == 0 ? o.name : db.name + "." + db.fullName(o); // a table variable: its name
}

} // namespace

// Checks a finished row against the column rules and keys; throws the server's error.
void RowConstraints::check(Database& db, ObjectDef& t, Row& row, const char* verb, int skipRow) {
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const TableColumn& c = t.columns[i];
        row[i] = Evaluator::coerce(row[i], c.type);
        if (row[i].isNull() && !c.nullable) {
            throw SqlError(515, 16,
                           "Cannot insert the value NULL into column '" + c.name + "', table '" +
                               tableText(db, t) + "'; column does not allow nulls. " + verb + " fails.",
                           2);
        }
        if (c.type.isCharacter() && c.type.length > 0 && row[i].is<std::string>() &&
            characterCount(row[i].get<std::string>()) > size_t(c.type.length)) {
            throw SqlError(2628, 16,
                           "String or binary data would be truncated in table '" + tableText(db, t) +
                               "', column '" + c.name + "'. Truncated value: '" +
                               characterPrefix(row[i].get<std::string>(), size_t(c.type.length)) + "'.",
                           1);
        }
    }
    if (!t.primaryKeyColumns.empty()) {
        for (size_t r = 0; r < t.rows.size(); ++r) {
            if (int(r) == skipRow) {
                continue;
            }
            bool same = true;
            std::string value;
            for (const auto& k : t.primaryKeyColumns) {
                int i = t.columnIndex(k);
                auto cmp = Evaluator::compare(t.rows[r][size_t(i)], row[size_t(i)]);
                same = same && cmp && *cmp == 0;
                value += (value.empty() ? "" : ", ") + row[size_t(i)].toText();
            }
            if (same) {
                ObjectDef* pk = db.object(t.primaryKeyId);
                throw SqlError(2627, 14,
                               "Violation of PRIMARY KEY constraint '" + (pk ? pk->name : std::string()) +
                                   "'. Cannot insert duplicate key in object '" + db.fullName(t) +
                                   "'. The duplicate key value is (" + value + ").",
                               1);
            }
        }
    }
    for (const auto& fk : t.foreignKeys) {
        int i = t.columnIndex(fk.column);
        ObjectDef* ref = db.object(fk.refTableId);
        if (i < 0 || !ref || row[size_t(i)].isNull()) {
            continue;
        }
        int j = ref->columnIndex(fk.refColumn);
        bool found = false;
        for (const auto& rr : ref->rows) {
            auto cmp = Evaluator::compare(rr[size_t(j)], row[size_t(i)]);
            found = found || (cmp && *cmp == 0);
        }
        if (!found) {
            throw SqlError(547, 16,
                           std::string("The ") + verb +
                               " statement conflicted with the FOREIGN KEY constraint \"" + fk.name +
                               "\". The conflict occurred in database \"" + db.name + "\", table \"" +
                               db.fullName(*ref) + "\", column '" + fk.refColumn + "'.",
                           0);
        }
    }
}

// Deletes rows hit of t. Rows of other tables that reference them go too where the key cascades (and
// so on down); any other reference refuses the whole delete with 547 before anything is removed.
void RowConstraints::deleteWithReferences(Database& db, ObjectDef& t, const std::vector<size_t>& hit) {
    std::map<int, std::set<size_t>> doomed; // table id -> row indexes
    std::vector<std::pair<int, size_t>> queue;
    for (size_t r : hit) {
        doomed[t.id].insert(r);
        queue.push_back({t.id, r});
    }
    while (!queue.empty()) {
        auto [tableId, r] = queue.back();
        queue.pop_back();
        ObjectDef& parent = *db.object(tableId);
        for (auto& [id, other] : db.objects) {
            for (const auto& fk : other.foreignKeys) {
                if (fk.refTableId != tableId) {
                    continue;
                }
                int ci = other.columnIndex(fk.column), ri = parent.columnIndex(fk.refColumn);
                for (size_t o = 0; o < other.rows.size(); ++o) {
                    auto cmp = Evaluator::compare(other.rows[o][size_t(ci)], parent.rows[r][size_t(ri)]);
                    if (!cmp || *cmp != 0 || doomed[id].count(o)) {
                        continue;
                    }
                    if (!fk.deleteCascade) {
                        throw SqlError(547, 16,
                                       "The DELETE statement conflicted with the REFERENCE constraint \"" +
                                           fk.name + "\". The conflict occurred in database \"" + db.name +
                                           "\", table \"" + db.fullName(other) + "\", column '" + fk.column +
                                           "'.",
                                       0);
                    }
                    doomed[id].insert(o);
                    queue.push_back({id, o});
                }
            }
        }
    }
    for (auto& [id, rows] : doomed) {
        ObjectDef& o = *db.object(id);
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
            o.rows.erase(o.rows.begin() + long(*it));
        }
    }
}

} // namespace sqlsim::model
