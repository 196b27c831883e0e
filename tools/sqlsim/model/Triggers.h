#pragma once
// Triggers on user tables (and instead of triggers on views): after an insert, update or delete each trigger
// of the table for that action runs once, reading the statement's rows as the tables inserted and deleted. A
// rollback inside ends the transaction (or undoes the statement outside one) and the batch with 3609.
#include "BatchRunner.h"

namespace sqlsim::model {

class Triggers {
public:
    // Whether an after trigger of the table fires on the action ("insert", "update", "delete").
    static bool has(Database& db, const ObjectDef& table, const char* action);
    // Whether an instead of trigger of the table takes the action's place; one that is running
    // does not take it again (its own statement on the table changes the rows).
    static bool hasInstead(Database& db, const ObjectDef& table, const char* action);
    // Whether a table's or view's trigger is an instead of trigger.
    static bool isInsteadOf(const ObjectDef& trigger);
    // Whether the statements a runner runs check the session's permissions: not inside a trigger (or
    // another module), whose owner's rights cover the tables its statements write.
    static bool checksPermissions(const BatchRunner& runner) { return runner.m_checkPermissions; }
    // The rows a view shows now, which an update or delete on it chooses from for its instead of
    // trigger. Reading them takes no select permission of its own.
    static std::vector<Row> viewRows(BatchRunner& runner, Database& db, const ObjectDef& view);
    // Runs the instead of trigger over the rows the statement would have inserted and deleted.
    static void fireInstead(BatchRunner& runner, Context& ctx, int tableId, const char* action,
                            std::vector<Row> inserted, std::vector<Row> deleted);
    // Fires them. rowsBefore: the table's rows before the statement, put back when a trigger
    // rolls back outside a transaction.
    static void fire(BatchRunner& runner, Context& ctx, int tableId, const char* action,
                     std::vector<Row> inserted, std::vector<Row> deleted, const std::vector<Row>& rowsBefore);

    // Held by a statement whose table has triggers, from before it changes anything. Outside a
    // transaction the outermost one keeps the database as it was, which a rollback inside any
    // trigger the statement sets off (directly or through other triggers) puts back whole.
    class StatementStart;

private:
    static void run(BatchRunner& runner, Context& ctx, int tableId, std::vector<const ObjectDef*> triggers,
                    std::vector<Row> inserted, std::vector<Row> deleted, const std::vector<Row>& rowsBefore);

public:
    class StatementStart {
    public:
        StatementStart(Context& ctx, bool triggered);
        ~StatementStart();
        StatementStart(const StatementStart&) = delete;
        StatementStart& operator=(const StatementStart&) = delete;

    private:
        bool m_outermost = false;
    };
};

} // namespace sqlsim::model
