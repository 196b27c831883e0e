#pragma once
// insert ... exec: runs a procedure, exec (text) or sp_executesql for the rows of every result set
// it sends, which then go into the insert's table instead of to the client.
#include "BatchRunner.h"

#include <memory>
#include <optional>

namespace sqlsim::model {

class InsertExec {
public:
    InsertExec(BatchRunner& runner, Context& ctx);
    ~InsertExec();
    InsertExec(const InsertExec&) = delete;
    InsertExec& operator=(const InsertExec&) = delete;

    // Runs the exec statement at pos (moving past it) and returns its rows, each of columns values.
    // 8164 when another insert ... exec is running; 213 when a result set has another number of
    // columns. Nothing (with what it changed undone) when an error was raised while it ran: the
    // error has been reported and the insert ends.
    std::optional<std::vector<Row>> run(size_t& pos, size_t columns);
    // The insert failed: what the exec changed is undone with it.
    void undo();

private:
    BatchRunner& m_runner;
    Context& m_ctx;
    std::unique_ptr<Instance::Snapshot> m_before;
    // The transaction the snapshot was taken in: one ended meanwhile has restored what it keeps.
    int m_tranCount = 0;
    uint64_t m_transactionId = 0;
    bool m_running = false;
};

} // namespace sqlsim::model
