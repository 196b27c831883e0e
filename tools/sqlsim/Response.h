#pragma once
// What a handler answers: result sets, messages, row counts and session changes, in order.
#include "SqlValue.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace sqlsim {

struct Column {
    std::string name;
    ColumnType type;
    bool nullable = true;
    bool identity = false;
    bool computed = false;
};

struct ResultSet {
    std::vector<Column> columns;
    std::vector<Row> rows;
    // Rows produced on demand (large results); called until it returns false. Used instead of
    // rows when set. It runs outside the server's lock, so it must only touch data it owns.
    std::function<bool(Row&)> generator;
    // Whether its DONE carries the row count (nocount off when it ran); unset: as the session is now.
    std::optional<bool> counted;
    // A run-time error followed its column metadata: the error's DONE ends it.
    bool endsInError = false;

    ResultSet& column(std::string name, ColumnType type, bool nullable = true) {
        columns.push_back(Column{std::move(name), type, nullable, false, false});
        return *this;
    }
    ResultSet& row(Row r) {
        rows.push_back(std::move(r));
        return *this;
    }
};

// An informational message (severity <= 10) or an error (severity >= 11).
struct Message {
    int number = 0;
    int state = 1;
    int severity = 0;
    std::string text;
    std::string procedure;
    int line = 1;
};

// The end of a statement that affected rows (insert, update, delete, select into).
struct RowCount {
    int64_t count = 0;
    std::optional<bool> counted; // as for a result set
};

// The session moves to another database: the client is told with an environment change and 5701.
struct DatabaseChange {
    std::string name;
};

// A procedure run by "exec" (or by a request) begins; its statements end with DONEINPROC. The
// ReturnStatus that follows ends it (RETURNSTATUS and DONEPROC in a batch).
struct ProcedureStart {};

struct ReturnStatus {
    int32_t value = 0;
};

// A transaction began, committed or rolled back: the client is told with an environment change.
struct TransactionChange {
    enum class Kind { Begin, Commit, Rollback };
    Kind kind = Kind::Begin;
    uint64_t id = 0;
};

struct OutputValue {
    std::string name;
    ColumnType type;
    SqlValue value;
};

// Thrown by a statement whose wait the client's attention ended: nothing more of the request runs.
struct AttentionReceived {};

class Response {
public:
    using Item = std::variant<ResultSet, Message, RowCount, DatabaseChange, ProcedureStart, ReturnStatus,
                              OutputValue, TransactionChange>;

    Response& add(Item item) {
        m_items.push_back(std::move(item));
        return *this;
    }
    Response& info(std::string text, int number = 0, int state = 1) {
        return add(Message{number, state, 0, std::move(text), {}, 1});
    }
    Response& error(int number, int severity, std::string text, int state = 1, std::string procedure = {},
                    int line = 1) {
        return add(Message{number, state, severity, std::move(text), std::move(procedure), line});
    }
    Response& rowCount(int64_t n, std::optional<bool> counted = {}) { return add(RowCount{n, counted}); }
    Response& resultSet(ResultSet rs) { return add(std::move(rs)); }

    // A statement waits (waitfor delay): the engine sends what is answered so far and waits outside
    // the model's lock. Throws AttentionReceived when the client's attention ends the wait.
    void wait(std::chrono::milliseconds duration);
    // Waits until ready() (checked with the model's lock held) or the limit passes (none: no end);
    // false when the limit passed. Throws AttentionReceived like wait.
    bool waitUntil(const std::function<bool()>& ready, std::optional<std::chrono::milliseconds> limit);
    // True once part of the answer may have gone out (a statement waited).
    bool partlySent = false;
    // Set by the engine; returns false when the attention came. Without one, wait just sleeps.
    std::function<bool(std::chrono::milliseconds)> waiter;

    bool empty() const { return m_items.empty(); }
    bool hasError() const;
    std::vector<Item>& items() { return m_items; }
    const std::vector<Item>& items() const { return m_items; }

private:
    std::vector<Item> m_items;
};

} // namespace sqlsim
