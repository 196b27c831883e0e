#pragma once
// What the server checks of a function's body as the function is created: a function changes nothing
// outside its own table variables and sends nothing to the client. Also the table a multi-statement
// function returns, as its definition declares it.
#include "BatchCompiler.h"
#include "ModuleDefinition.h"
#include "ObjectDef.h"

namespace sqlsim::model {

class FunctionBodies {
public:
    // 443 for a statement with a side effect (writing a table other than a table variable, print,
    // raiserror, transaction statements), 444 for a select that would return rows, 2772 for a
    // temporary table; procedures run from a function are refused as not supported.
    // In a multi-statement table-valued function (returnsTable) a return with a value gives 178.
    static void check(const std::vector<Token>& tokens, const std::vector<CompiledStatement>& body,
                      const std::string& function, bool returnsTable);
    // The columns of the table a multi-statement function returns.
    static std::vector<TableColumn> returnColumns(const std::vector<Token>& tokens, const ModuleDefinition& def);
};

} // namespace sqlsim::model
