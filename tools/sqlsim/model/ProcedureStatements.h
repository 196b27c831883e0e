#pragma once
// create, alter and drop of procedures, views, functions and triggers. A create or alter takes the
// rest of its batch as the module's body and keeps its text as typed, from its first word on.
#include "ModuleDefinition.h"

namespace sqlsim::model {

class BatchRunner;
struct Context;

class ProcedureStatements {
public:
    // Whether the tokens at pos start one of these statements.
    static bool handles(const std::vector<Token>& tokens, size_t pos);
    // rawText: the batch as the client sent it, whose offsets the tokens' match after its line
    // breaks' carriage returns and its leading white space.
    static void run(BatchRunner& runner, Context& ctx, const std::string& rawText, size_t& pos);

private:
    static void create(BatchRunner& runner, Context& ctx, const std::string& rawText, size_t& pos);
    static void drop(Context& ctx, const std::vector<Token>& tokens, size_t& pos);
};

} // namespace sqlsim::model
