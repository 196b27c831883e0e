#pragma once
// Turns a whole batch into statements before any of it runs: blocks, if ... else, while,
// begin try ... begin catch and simple statements with the tokens each covers. Every statement is
// checked for syntax whether or not it will run, and the batch's local variables are collected in
// the order of the text. A batch with a syntax error (or a statement the simulator cannot answer)
// fails here, with nothing run.
//
// Simple statements are checked by the check registered for their first word(s) (see
// StatementChecks.cpp). A statement without a check of its own passes through a permissive one that
// only finds where it ends; its handler parses it when it runs and refuses it before changing anything.
#include "SqlExpression.h"

#include <functional>
#include <string>
#include <vector>

namespace sqlsim::model {

class BatchRunner;
struct Context;

struct CompiledStatement {
    enum class Kind { Simple, Block, If, While, Try };
    Kind kind = Kind::Simple;
    size_t begin = 0, end = 0; // tokens [begin, end) of the whole statement
    int line = 1;              // the line of its first token
    size_t condition = 0;      // if, while: the first token of the condition
    // Block: its statements; If: the statement run when true [, the else statement]; While: its
    // body; Try: the try block, then the catch block (both blocks).
    std::vector<CompiledStatement> body;
};

// declare @name type: from this point of the text on the variable exists, NULL until assigned,
// whether or not the declare runs.
struct Declaration {
    size_t pos = 0; // the declare's first token
    std::string name;
    ColumnType type;
};

struct CompiledBatch {
    std::vector<CompiledStatement> statements;
    std::vector<Declaration> declarations; // in the order of the text
};

class BatchCompiler {
public:
    BatchCompiler(BatchRunner& runner, Context& ctx);
    // Throws SqlError for the first syntax error (line: the statement's) and the not-supported
    // error for what the simulator cannot answer.
    // from: where to start (a module's body); its variables are checked only for a whole batch.
    CompiledBatch compile(size_t from = 0);

    // What a check works with.
    const std::vector<Token>& tokens() const;
    const std::string& text() const;
    const Token& at(size_t pos) const;
    BatchRunner& runner() { return m_runner; }
    Context& context() { return m_ctx; }
    // Parses an expression at pos without evaluating it.
    void expression(size_t& pos);
    // Moves pos to where a statement beginning at pos ends, without checking it: at ";", or at the
    // word that begins the next statement, outside parentheses and case ... end.
    size_t scanEnd(size_t pos) const;
    void declare(size_t pos, const std::string& name, const ColumnType& type);
    // declare @name table (...): a variable of the batch too, but not a scalar one.
    void declareTable(size_t pos, const std::string& name);
    // The variable token at pos names a procedure's parameter (exec name @parameter = value).
    void parameterName(size_t pos) { m_parameterNames.push_back(pos); }
    // The statement ends at t: nothing more, ";" or the next statement. A clause word the
    // simulator does not answer (output, option, from ...) is refused as not supported; any other
    // word is a syntax error.
    static void expectEnd(const Token& t);

    // Checks the statement starting at pos and moves pos past it.
    using Check = std::function<void(BatchCompiler&, size_t& pos)>;
    struct Entry {
        // The statement's first words, lower case; none: a procedure's name as the batch's first word.
        std::vector<const char*> words;
        Check check;
        // create procedure and the like: the first statement of its batch (111 otherwise), taking
        // the rest of the batch as its body.
        bool wholeBatch = false;
    };
    // The registry, keyed by first word(s); the longest match wins.
    static const std::vector<Entry>& registry();
    // The check of statements whose first words have none of their own.
    static void permissive(BatchCompiler& c, size_t& pos);

private:
    CompiledStatement statement(size_t& pos);
    std::vector<CompiledStatement> block(size_t& pos, const char* closing);
    CompiledStatement simple(size_t& pos);
    void skipSemicolons(size_t& pos) const;

    BatchRunner& m_runner;
    Context& m_ctx;
    CompiledBatch m_batch;
    int m_loops = 0; // while statements around the one being read
    std::vector<Declaration> m_tables;
    std::vector<size_t> m_parameterNames;
    bool m_module = false; // the batch is a create procedure or the like: its body declares its own
    // 137 for the first variable used before its declaration in the text.
    void checkVariables() const;
};

} // namespace sqlsim::model
