#pragma once
// Runs a batch statement by statement: use, exec, select (from user tables, views and the
// compatibility views), insert, update, delete, create/drop table, print, raiserror, set, waitfor, local
// variables, dynamic SQL (exec (text), sp_executesql) and the database statements. Anything else is answered
// as not supported.
#include "BatchCompiler.h"
#include "ProcedureTable.h"
#include "SqlExpression.h"
#include "SystemTables.h"

#include <chrono>
#include <map>
#include <optional>

namespace sqlsim::model {

class BatchRunner {
public:
    BatchRunner(Context& ctx, const ProcedureTable& procedures, const Request& request);
    void run();

    // Scope for expressions that see a row of a relation; row may be null (no FROM).
    EvalScope scope(const std::vector<std::pair<std::string, const Relation*>>& sources,
                    const Row* row) const;
    // Reads a table, view or compatibility view by name; throws 208 when there is none.
    // shared: when given, a table's rows are not copied; it points at them instead.
    Relation read(const std::string& name, std::string* resolvedDatabase = nullptr,
                  const std::vector<Row>** shared = nullptr);
    // select ... starting at the "select" token; returns the result (also used for views).
    Relation select(size_t& pos);

    const std::vector<Token>& tokens() const { return m_tokens; }
    const std::string& text() const { return m_text; }
    // A possibly qualified name at pos, as "[a].[b]".
    std::string readNameText(size_t& pos) { return readName(pos); }
    static bool startsStatement(const Token& t);
    // Reserved words of statements the simulator does not run.
    static bool isKeyword(const std::string& word);
    // The request brings a parameter of this name (sp_executesql's declared parameters, an RPC's).
    bool knowsParameter(const std::string& name) const { return m_request.param(name) != nullptr; }
    // The value each OUTPUT parameter of the request has when the batch ends.
    std::vector<OutputValue> outputs() const;
    // A value as a variable or parameter of the type holds it.
    static SqlValue stored(const SqlValue& v, const ColumnType& type);

    // Statements run here may make temporary tables: a client's batch, text run by exec (...) or
    // a procedure (whose tables go when they end); not a function or a trigger.
    bool makesTempTables() const {
        return !m_inFunction && !m_triggerRows && (m_isBatch || !m_procedure.empty());
    }

    // The common table expression of that name the running statement defines, or nullptr.
    const Relation* commonTable(const std::string& name) const;
    // Where that expression's query starts in the tokens; size_t(-1) for a recursive one.
    size_t commonTableQuery(const std::string& name) const;
    // The batch's table variables (declare @t table (...)): kept by the runner, outside the
    // instance, so a rollback leaves them as they are.
    Database& tableVariables();
    ObjectDef* tableVariable(const std::string& name);

    // A declared type: a name, then "(n)", "(max)" or "(p, s)" when given; 2715 for an unknown one.
    static ColumnType readType(const std::vector<Token>& tokens, size_t& pos);

private:
    friend class UserProcedures;      // runs a module's body with a runner of its own
    friend class ProcedureStatements; // reads a view's select as it is created
    friend class DatabaseTriggers;    // runs a database trigger's body after a definition statement
    friend class Triggers;            // runs a trigger's body over the rows a statement changed
    friend class InsertExec;          // runs the exec whose result sets an insert takes
    struct TriggerRollback {};        // rollback inside a trigger: its statement and batch end
    bool runStatement(size_t& pos);
    // Runs compiled statements in order. A simple statement whose tokens an earlier one's handler
    // already read is passed over.
    void runSequence(const std::vector<CompiledStatement>& statements);
    // Compiles the tokens from pos to the end (a module's body) and runs them.
    void runCompiledFrom(size_t pos);
    void runCompiled(const std::vector<CompiledStatement>& statements, size_t index, size_t& readUpTo);
    // One simple statement as the batch runs it: an error that ends only its statement is reported
    // and the runner moves on; one that ends the batch throws BatchEnd; inside begin try it goes to
    // the catch.
    void runOne(size_t& pos);
    // Reports an error of a statement or condition that ends only that statement (or the batch:
    // BatchEnd); rethrows what ends the batch or goes to a catch block.
    void statementFailed(const SqlError& e, int line);
    void runIf(const CompiledStatement& s);
    // Evaluates the condition of an if or while statement into go; false (the failure reported)
    // when evaluating it failed.
    bool evaluateCondition(const CompiledStatement& s, bool& go);
    void runWhile(const CompiledStatement& s);
    void runTry(const CompiledStatement& s);
    // Variables declared in the text before pos exist from there on, whether or not their declare ran.
    void declareUpTo(size_t pos);
    // Before tokens [begin, end) run: waits while they read a user table another session's open
    // transaction may have changed.
    void waitForReaders(size_t begin, size_t end);
    // select @v = ..., ... [from ...]: the last row's values go into the variables.
    void runSelectAssign(size_t& pos);
    // Reads and evaluates a condition (if, while).
    bool condition(size_t& pos);
    static bool compileError(const SqlError& e);
    struct BatchEnd {};     // the batch stops here (return, or an error that ends it)
    struct LoopBreak {};    // break
    struct LoopContinue {}; // continue
    struct CaughtError {
        int number = 0, severity = 0, state = 0, line = 0;
        std::string message, procedure;
    };
    std::vector<CaughtError> m_caught; // errors handled by the catch blocks being run
    int m_tryDepth = 0;
    int64_t m_rowCount = 0;  // @@rowcount
    int m_lastError = 0;     // @@error
    bool m_intoDone = false; // the select just run wrote its rows into a table (no result set)
    // The rows the select statement that just failed computed before its error; they go out ahead of it.
    std::vector<Row> m_rowsBeforeFailure;
    void runExec(size_t& pos, bool keyword);
    void runUse(size_t& pos);
    void runPrint(size_t& pos);
    void runRaiserror(size_t& pos);
    void runThrow(size_t& pos);
    // A select that failed as it ran has already sent its columns (not one whose names do not bind)
    // and the rows computed before the failing one.
    void announceFailedSelect(size_t start, const SqlError& e);
    void runSet(size_t& pos);
    void runWaitfor(size_t& pos);
    static std::optional<std::chrono::milliseconds> parseDelay(const std::string& text);
    void runTransaction(size_t& pos);
    // declare @v type [= expr], ...; set @v = expr; exec (text) and exec sp_executesql run the text
    // built at run time through a runner of their own.
    void runDeclare(size_t& pos);
    // with name [(columns)] as (query), ... then the statement that uses them.
    void runWith(size_t& pos);
    // A recursive common table expression's rows: its anchor, then its recursive part level by level.
    // When a level goes past maxRecursion, exhausted gets error 530 and the rows are those made
    // before it (the statement reading them has sent some by then).
    Relation recursiveCommonTable(size_t body, const std::string& name,
                                  const std::vector<std::string>& columns, int64_t maxRecursion,
                                  std::optional<SqlError>& exhausted);
    // A select reading a recursive common table expression whose recursion was exhausted: sends
    // what it made of the rows before the limit, then fails with the limit's error.
    [[noreturn]] void failAtRecursionLimit(size_t& pos, const SqlError& exhausted);
    void runSetVariable(size_t& pos);
    void runDynamic(size_t& pos);
    void runExecuteSql(size_t& pos);
    // Runs text as a batch of its own (its variables and database context end with it).
    // Returns the inner batch's variables and parameters as they ended.
    std::map<std::string, Param> runNested(const std::string& text, std::vector<Param> params);
    void assign(const std::string& name, const SqlValue& value);
    // The value of an expression for a variable of the target type (a sql_variant keeps its type).
    SqlValue typedValue(const Expr& e, const ColumnType& target);
    // Before a statement that may change something: waits for another session's transaction, and
    // keeps the state the batch started from so that a batch refused later changes nothing.
    void prepareToWrite();
    bool callsReadOnlyProcedure(size_t pos) const;
    // A batch that fails to compile (or holds what the simulator cannot answer) leaves no trace.
    void undoBatch();
    // Under xact_abort on, a failed statement rolls the transaction back and ends the batch.
    bool xactAbort();

    std::string readName(size_t& pos);
    const Token& at(size_t pos) const { return pos < m_tokens.size() ? m_tokens[pos] : m_tokens.back(); }
    void expectSymbol(size_t& pos, const char* symbol);
    [[noreturn]] void notSupported();

    Context& m_ctx;
    const ProcedureTable& m_procedures;
    const Request& m_request;
    std::string m_text;
    std::vector<Token> m_tokens;
    // Off inside a view: its owner's rights cover the tables it reads.
    bool m_checkPermissions = true;
    bool m_isBatch = false; // run() was called: this runner answers a whole batch
    bool m_nested = false;  // runs text built by exec (...) or sp_executesql inside another batch
    std::map<std::string, Param> m_variables; // by lower-case name, with its "@"
    std::vector<Declaration> m_declarations;  // of the compiled batch, in the order of the text
    size_t m_declared = 0;                    // how many of them exist so far
    int m_statementLine = 1;                  // where the simple statement running began
    std::string m_procedure; // the user procedure whose body this runner runs
    int m_returnStatus = 0;  // set by "return n" inside it
    bool m_inFunction = false; // runs a scalar function's body: return gives its value
    SqlValue m_returnValue;    // that value
    const std::map<std::string, Relation>* m_triggerRows = nullptr; // inserted and deleted, in a trigger
    std::vector<std::pair<std::string, Relation>> m_commonTables;   // of the statement running
    std::vector<std::pair<std::string, size_t>> m_commonTableQueries; // and where their queries start
    std::unique_ptr<Database> m_tableVariables;
    std::unique_ptr<Instance::Snapshot> m_undo;
    Session m_sessionBefore;
    size_t m_itemsBefore = 0;
    int m_tranCountBefore = 0;
};

} // namespace sqlsim::model
