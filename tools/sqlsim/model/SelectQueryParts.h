#pragma once
// The pieces of a select statement shared by the files that read, bind and run it: its table
// sources, one select core (a query between unions) and the state of one run of a core.
#include "SelectQuery.h"
#include "SqlLexer.h"

#include <cstdint>
#include <functional>

namespace sqlsim::model {

struct SelectQuery::Source {
    std::string alias;
    std::vector<Column> columns;
    Relation owned;                         // views, catalogue views, derived tables
    const std::vector<Row>* rows = nullptr; // owned.rows or a table's own rows
    bool nullable = false;                  // the optional side of an outer join
    bool owns = false;                      // rows points at owned.rows
};

namespace selectparts {

// The rows of a partition a window aggregate reads for each row: rows|range between start and end.
struct Frame {
    enum class Bound { UnboundedPreceding, Preceding, CurrentRow, Following, UnboundedFollowing };
    bool given = false; // written out; otherwise the default frame applies
    bool range = false; // range: current row takes in its peers
    Bound start = Bound::UnboundedPreceding;
    Bound end = Bound::CurrentRow;
    int64_t startRows = 0, endRows = 0; // n of n preceding|following
};

} // namespace selectparts

// function(...) over ([partition by ...] [order by ...] [rows|range ...]) in a select list.
struct SelectQuery::Window {
    std::unique_ptr<Expr> function;
    std::vector<std::unique_ptr<Expr>> partition;
    std::vector<std::unique_ptr<Expr>> order;
    std::vector<bool> descending;
    selectparts::Frame frame;
};

struct SelectQuery::Core {
    bool distinct = false;
    std::unique_ptr<Expr> top;
    bool percent = false;
    bool withTies = false;
    struct Item {
        std::unique_ptr<Expr> expr;
        std::string alias;
        std::shared_ptr<Window> window; // a window function (expr is then a NULL in its place)
    };
    std::vector<Item> items;
    bool windows = false; // some items are window functions
    std::vector<Source> sources;
    enum class Join { Cross, Inner, Left, Right, Full };
    std::vector<Join> joins; // how source i (from 1) joins the ones before it
    std::vector<std::unique_ptr<Expr>> on;
    std::unique_ptr<Expr> where;
    std::vector<std::unique_ptr<Expr>> groupBy;
    std::unique_ptr<Expr> having;
    bool grouped = false;
    std::vector<Column> columns; // the result's
    std::vector<const Expr*> aggregates;
    bool correlated = false;
    // The row being evaluated, for columns not bound to a slot (names looked up).
    const Row* const* tuple = nullptr;
};

// One run of a core: its joined rows and the result being built.
struct SelectQuery::Pass {
    Pass(Core& c, EvalScope s) : core(c), scope(std::move(s)) {}

    Core& core;
    EvalScope scope;
    size_t width = 1;                        // row pointers per joined row
    std::vector<const Row*> tuples;          // the joined rows, width pointers each
    std::vector<size_t> kept;                // the joined rows the where clause keeps
    Relation out;                            // the result
    std::vector<std::vector<SqlValue>> keys; // each result row's order by keys
    bool single = true;                      // the only core (no union)
    std::vector<std::vector<SqlValue>> windowInputs; // each result row's, for its window functions
    size_t stopAfter = SIZE_MAX;             // the scan ends once the where clause kept this many

    void setTuple(const Row* const* t) {
        scope.tuple = t;
        core.tuple = t;
    }
    const Row* const* tupleAt(size_t n) const {
        return core.sources.empty() ? nullptr : &tuples[n * width];
    }
};

namespace selectparts {

// Words that end an expression or a name in a select (they cannot be aliases).
bool isClauseWord(const Token& t);
[[noreturn]] void notSupported();
// Calls f on every expression of e's tree that belongs to this query (not inside subqueries).
void walk(const Expr& e, const std::function<void(const Expr&)>& f);
// The same, into aggregates too; a date part word is not visited.
void walkAll(const Expr& e, const std::function<void(const Expr&)>& f);
uint64_t hashValue(const SqlValue& v);
// Equal for grouping and distinct: NULLs are alike.
bool sameValue(const SqlValue& a, const SqlValue& b);
bool sameRow(const Row& a, const Row& b);
uint64_t hashRow(const Row& r);
// Rows without duplicates, in their first order; kept gets the indexes of the rows left.
void removeDuplicates(std::vector<Row>& rows, std::vector<size_t>* kept = nullptr);
// Order by comparison: NULLs first.
int compareForSort(const SqlValue& x, const SqlValue& y);
// Reads rows|range <bound> or rows|range between <bound> and <bound> at pos (on rows or range).
Frame parseFrame(const std::vector<Token>& t, size_t& pos);
// Checks a frame against its function and order by, as the statement compiles; line is the over's.
void checkFrame(const Frame& frame, const std::string& function, bool ordered, int line);
// The first and one past the last position of the frame of row i in a partition of n rows, where
// peers(a, b) tells whether the rows at positions a and b order alike. An empty frame has first >= last.
std::pair<size_t, size_t> frameRows(const Frame& frame, size_t i, size_t n,
                                    const std::function<bool(size_t, size_t)>& peers);

} // namespace selectparts

} // namespace sqlsim::model
