#pragma once
// Triggers on a database's definition statements: after a create, alter or drop of a table,
// view, procedure or function succeeds, each enabled trigger of the database for that event runs
// once, in the statement's transaction. A rollback inside undoes the statement (or the open
// transaction) and ends the batch with 3609. They are kept in Database::databaseTriggers, not
// among the objects.
#include "BatchRunner.h"
#include "ModuleDefinition.h"

#include <memory>

namespace sqlsim::model {

class BatchCompiler;

class DatabaseTriggers {
public:
    // create, alter or create or alter trigger name on database; source: the statement as sent.
    static void define(Context& ctx, const ModuleDefinition& def, const std::string& source);
    // drop trigger [if exists] names on database.
    static void drop(Context& ctx, const std::vector<std::pair<std::string, std::string>>& names,
                     bool ifExists);
    // Whether the tokens at pos start disable|enable trigger.
    static bool handlesEnable(const std::vector<Token>& tokens, size_t pos);
    // disable|enable trigger names on database; other forms are refused as the batch compiles.
    static void check(BatchCompiler& c, size_t& pos);
    static void runEnable(Context& ctx, const std::vector<Token>& tokens, size_t& pos);

    // Held around a definition statement: finds the event it raises and, when an enabled trigger
    // of the database takes it, keeps the database as it was for a rollback inside the trigger.
    class Statement {
    public:
        Statement(BatchRunner& runner, Context& ctx, size_t pos);
        ~Statement();
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;
        // Runs the triggers, once the statement has succeeded.
        void fire();

    private:
        BatchRunner& m_runner;
        Context& m_ctx;
        std::string m_event;
        std::string m_database;
        std::unique_ptr<Database> m_before;
    };
};

} // namespace sqlsim::model
