#pragma once
// Update, delete and insert through a common table expression: the one table its query reads (itself
// or through the expressions it reads), which of that table's columns each of its columns is, and
// which of the table's rows each of its rows is.
#include "ExpressionParser.h"
#include "SystemTables.h"

#include <memory>
#include <string>
#include <vector>

namespace sqlsim::model {

class BatchRunner;
struct ObjectDef;

class CommonTableWrite {
public:
    // The expression of that name the running statement defines, read for a write; nullptr when the
    // name is none. Throws the server's error when the expression cannot be written through (a delete
    // may go through computed columns, an update or insert may not), and refuses what the simulator
    // does not model.
    static std::unique_ptr<CommonTableWrite> find(BatchRunner& runner, const std::string& name,
                                                  bool isDelete);

    // The table written, as the query names it.
    const std::string& tableName() const;
    // Called once that table is found: ties each of the expression's rows to the table's row it is.
    void bind(const ObjectDef& table);
    // The table's column written through a column of the expression: 207 when it has no such column,
    // 4406 when the query computes it.
    int tableColumn(const std::string& column) const;
    // The table's columns behind all the expression's columns, in order.
    std::vector<int> allTableColumns() const;
    // The expression's rows and columns, as the statement's scope reads them.
    const Relation& relation() const { return *m_rows; }
    // The index in the table of the expression's row i.
    size_t tableRow(size_t i) const { return m_base.at(i); }

private:
    CommonTableWrite(BatchRunner& runner, std::string name) : m_runner(runner), m_name(std::move(name)) {}
    void parse(size_t pos, bool isDelete);

    struct Item {
        std::string sourceColumn; // empty: computed by the query
        bool star = false;        // * or alias.*: every column of the source
    };
    BatchRunner& m_runner;
    std::string m_name;
    const Relation* m_rows = nullptr;          // the expression's rows, as the statement made them
    std::unique_ptr<CommonTableWrite> m_inner; // the expression it reads, when it reads one
    std::string m_table;                       // the table it reads (through m_inner when that is set)
    const ObjectDef* m_tableDef = nullptr;
    std::string m_alias;
    std::vector<Item> m_items;
    std::vector<std::string> m_columnSources; // for each column: the source's column, or empty
    std::unique_ptr<Expr> m_where, m_top;
    std::vector<std::pair<std::unique_ptr<Expr>, bool>> m_order; // expression, descending
    std::vector<size_t> m_base;
};

} // namespace sqlsim::model
