#pragma once
// A select statement, read whole before it runs: select list (distinct, top), from with joins and
// derived tables, where, group by, having, union and order by. Columns are bound to the table
// sources once, so that large tables are read without looking names up for every row; equality
// joins go through a hash of the joined side.
#include "SqlExpression.h"
#include "SystemTables.h"

#include <map>
#include <memory>

namespace sqlsim::model {

class BatchRunner;

class SelectQuery {
public:
    // outer: the scope of the query this one is a subquery of (correlated columns), or null.
    SelectQuery(BatchRunner& runner, Context& ctx, const EvalScope* outer = nullptr);
    ~SelectQuery();

    // At "select": reads the whole query (up to its end) and runs it.
    Relation run(size_t& pos);
    // At "select": reads the whole query for its syntax only (nothing is looked up or run), as a
    // batch is compiled; select @v = ... is read too.
    void check(size_t& pos);
    // At "select": the query's columns, without running it.
    std::vector<Column> columns(size_t pos);
    // Reads only the first select of a union (a part of a recursive common table expression).
    void firstSelectOnly() { m_firstSelectOnly = true; }
    // select ... into: the table to create ("" when none); variables assigned (select @v = ...).
    const std::string& into() const { return m_into; }
    // The columns of the table select ... into makes of the result (1038 for a column without a name).
    std::vector<TableColumn> intoColumns(const Relation& result) const;
    // After run() failed while computing the rows of a plain select (no grouping, distinct, top
    // percent, order or union): the rows computed before the failing one, which the server has sent by then.
    std::vector<Row> takeRowsBeforeFailure() { return std::move(m_rowsBeforeFailure); }
    // After run(): whether the result's rows go out one by one as they are made (one select without
    // distinct, grouping, window functions, top, order by or into), so a failure later in the
    // statement comes after them.
    bool sendsRowsAsMade() const;
    struct Assignment {
        std::string variable;
        const Expr* expr = nullptr;
    };

    struct Core;
    struct Source;
    struct Pass;
    struct Window;

private:
    void parse(size_t& pos);
    void parseCore(size_t& pos, Core& core);
    void parseFrom(size_t& pos, Core& core);
    void parseSource(size_t& pos, Core& core);
    void bind(Core& core);
    Relation execute();
    Relation executeCore(Core& core);
    // The steps of running one core.
    void join(Pass& p);
    void filter(Pass& p);
    void bindOrder(Core& core);
    void project(Pass& p, Row& r);
    std::vector<SqlValue> orderKeys(Pass& p, const Row& r);
    void group(Pass& p);
    void finish(Pass& p); // distinct, order by, top
    // The number of rows top keeps (of rows, for top n percent); 1031 or 1060 when out of range.
    size_t topCount(Core& core, size_t rows = 0);
    // Window functions (function(...) over (partition by ... order by ...)) of the select list.
    std::shared_ptr<Window> parseWindow(size_t& pos, std::unique_ptr<Expr> function);
    void bindWindows(Core& core);
    // What the window functions need of the current row: partition, order and argument values.
    std::vector<SqlValue> windowInputs(Pass& p);
    // Fills the window functions' columns of the result rows.
    void computeWindows(Pass& p);
    // Rows a subquery of this query yields for the current row of outer.
    std::vector<Row> subquery(const Expr& e, const EvalScope& outer);
    ColumnType subqueryType(const Expr& e);
    EvalScope makeScope(Core& core);

    BatchRunner& m_runner;
    Context& m_ctx;
    const EvalScope* m_outer;
    bool m_checkOnly = false;
    std::vector<std::unique_ptr<Core>> m_cores;
    std::vector<bool> m_unionAll; // between core i and i + 1
    struct Order {
        std::unique_ptr<Expr> expr;
        bool descending = false;
    };
    std::vector<Order> m_order;
    // order by ... offset n rows [fetch next m rows only]
    std::unique_ptr<Expr> m_offset;
    std::unique_ptr<Expr> m_fetch;
    void parseOffset(size_t& pos);
    void applyOffset(std::vector<Row>& rows);
    std::string m_into;
    bool m_firstSelectOnly = false;
    std::vector<Row> m_rowsBeforeFailure;
    // Uncorrelated subqueries run once.
    std::map<size_t, std::vector<Row>> m_subqueryRows;
};

} // namespace sqlsim::model
