#include "InsertExec.h"

namespace sqlsim::model {

namespace {

// The sessions whose insert ... exec is running (one thread answers a session's request).
thread_local int g_running = 0;

} // namespace

InsertExec::InsertExec(BatchRunner& runner, Context& ctx) : m_runner(runner), m_ctx(ctx) {}

InsertExec::~InsertExec() {
    if (m_running) {
        --g_running;
    }
}

std::optional<std::vector<Row>> InsertExec::run(size_t& pos, size_t columns) {
    if (g_running > 0) {
        throw SqlError(8164, 16, "An INSERT EXEC statement cannot be nested.", 1);
    }
    ++g_running;
    m_running = true;
    m_runner.prepareToWrite();
    m_before = m_ctx.instance.snapshot();
    m_tranCount = m_ctx.session.tranCount;
    m_transactionId = m_ctx.session.transactionId;
    std::vector<Response::Item>& items = m_ctx.response.items();
    const size_t first = items.size();
    try {
        m_runner.runStatement(pos);
    } catch (const SqlError& e) {
        if (std::string(e.what()) != "__not_supported__") {
            undo();
        }
        throw;
    }
    // The result sets go into the table: the client sees only the messages.
    std::vector<Row> rows;
    bool failed = false;
    std::optional<SqlError> mismatch;
    std::vector<Response::Item> kept;
    for (size_t k = first; k < items.size(); ++k) {
        if (auto* rs = std::get_if<ResultSet>(&items[k])) {
            if (rs->columns.size() != columns && !mismatch) {
                mismatch = SqlError(213, 16,
                                    "Column name or number of supplied values does not match table definition.", 1);
            }
            if (rs->generator) {
                Row r;
                while (rs->generator(r)) {
                    rows.push_back(std::move(r));
                    r = Row();
                }
            } else {
                for (Row& r : rs->rows) {
                    rows.push_back(std::move(r));
                }
            }
            continue;
        }
        if (const auto* m = std::get_if<Message>(&items[k]); m && m->severity >= 11) {
            failed = true;
        }
        kept.push_back(std::move(items[k]));
    }
    items.resize(first);
    for (auto& item : kept) {
        items.push_back(std::move(item));
    }
    if (failed) {
        undo();
        return std::nullopt;
    }
    if (mismatch) {
        undo();
        throw *mismatch;
    }
    return rows;
}

void InsertExec::undo() {
    if (m_before && m_ctx.session.tranCount == m_tranCount && m_ctx.session.transactionId == m_transactionId) {
        m_ctx.instance.restore(std::move(*m_before));
        m_before.reset();
    }
}

} // namespace sqlsim::model
