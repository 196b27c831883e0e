// select ... into: the columns of the table the query's result makes.
#include "SelectQueryParts.h"

#include "Instance.h"

namespace sqlsim::model {

std::vector<TableColumn> SelectQuery::intoColumns(const Relation& result) const {
    std::vector<TableColumn> columns;
    int identities = 0;
    for (const Column& c : result.columns) {
        if (c.name.empty()) {
            throw SqlError(
                1038, 15,
                "An object or column name is missing or empty. For SELECT INTO statements, verify "
                "each column has a name. For other statements, look for empty alias names. Aliases "
                "defined as \"\" or [] are not allowed. Change the alias to a valid name.");
        }
        TableColumn t;
        t.name = c.name;
        t.type = c.type;
        t.nullable = c.nullable;
        columns.push_back(t);
        identities += c.identity ? 1 : 0;
    }
    // The identity property goes with a column read as it is from one table, without joins,
    // grouping or aggregates, and listed once.
    const bool plain = m_cores.size() == 1 && m_cores[0]->sources.size() == 1 && !m_cores[0]->grouped;
    if (!plain || identities != 1) {
        return columns;
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!result.columns[i].identity) {
            continue;
        }
        columns[i].identity = true;
        columns[i].nullable = false;
        // The seed and increment of the table read (a table's rows are read where they are kept).
        const std::vector<Row>* rows = m_cores[0]->sources[0].rows;
        for (Database* db : {&m_ctx.db(), m_ctx.instance.findDatabase("tempdb")}) {
            if (!db) {
                continue;
            }
            for (const auto& [id, o] : db->objects) {
                if (&o.rows != rows) {
                    continue;
                }
                if (int k = o.identityColumn(); k >= 0) {
                    columns[i].identitySeed = o.columns[size_t(k)].identitySeed;
                    columns[i].identityStep = o.columns[size_t(k)].identityStep;
                }
            }
        }
    }
    return columns;
}

} // namespace sqlsim::model
