#pragma once
// Procedures created in a database, run with their arguments bound by position or by "@name",
// their defaults, OUTPUT parameters and return status: by "exec" in a batch or by an RPC request.
// Their statements run through a batch runner of their own over the kept definition.
#include "ModuleDefinition.h"
#include "ProcedureTable.h"

#include <optional>

namespace sqlsim::model {

class BatchRunner;
struct Relation;

class UserProcedures {
public:
    // The user procedure a possibly qualified name means ("p", "dbo.p", "db.dbo.p", "db..p"), with
    // the database it is in; nullptr when there is none.
    static ObjectDef* find(Context& ctx, const std::string& name, Database** db);

    struct Outcome {
        int status = 0;
        // By argument: the value an OUTPUT argument receives from its OUTPUT parameter.
        std::vector<std::optional<SqlValue>> outputs;
        // By argument: the type of the parameter it went to.
        std::vector<ColumnType> types;
    };
    // Runs the procedure. callerTryDepth > 0: an error inside it goes to the caller's catch.
    static Outcome call(Context& ctx, const ProcedureTable& procedures, Database& db, const ObjectDef& proc,
                        const std::vector<Argument>& args, int callerTryDepth);
    // exec from a batch: OUTPUT arguments are copied back into the caller's variables.
    static int exec(BatchRunner& caller, Database& db, const ObjectDef& proc, const std::vector<Argument>& args);
    // Runs a module's statements from pos in its own runner; what they raise names the module. An
    // error that escapes them (inside a caller's try, or one that fails compiling) is returned.
    static std::optional<SqlError> runBody(Context& ctx, BatchRunner& inner, size_t pos, const std::string& name);
    // Runs a scalar function with its arguments; the value of its return as the declared result type.
    static SqlValue runFunction(Context& ctx, const ProcedureTable& procedures, Database& db, const ObjectDef& f,
                                const std::vector<SqlValue>& args);
    // A table-valued function named in a from clause, with its arguments (nullopt for "default", the
    // parameter's declared default): an inline function's select run over them, or a multi-statement
    // function's body run and the rows of its table returned. 208 for a name that means neither.
    static Relation readFunction(BatchRunner& caller, const std::string& name,
                                 const std::vector<std::optional<SqlValue>>& args);
    // The select of an inline function's body at pos ("return [(] select ... [)]"), its parameters
    // bound to args in order; pos moves past it.
    static Relation inlineSelect(BatchRunner& inner, const ModuleDefinition& def, size_t& pos,
                                 const std::vector<SqlValue>& args);
    // An RPC request: false when it names no user procedure.
    static bool callRpc(Context& ctx, const ProcedureTable& procedures, const Request& request);

private:
    // A multi-statement function's body run over its arguments; the rows of the table it returns.
    static Relation runTableFunction(Context& ctx, BatchRunner& inner, const ModuleDefinition& def,
                                     const ObjectDef& f, const std::vector<SqlValue>& args);
    // The definition of the module whose kept text the runner holds; refused as not supported
    // when that text does not read as a module.
    static ModuleDefinition storedDefinition(BatchRunner& inner);
};

} // namespace sqlsim::model
