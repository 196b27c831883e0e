#pragma once
// The head of a module's defining text (create or alter of a procedure, view, function or trigger):
// what it defines, its name, its parameters and where its body begins. Read again from the kept
// text whenever the module runs, as the server compiles it from its definition.
#include "SqlExpression.h"

#include <optional>
#include <string>
#include <vector>

namespace sqlsim::model {

struct ModuleParameter {
    std::string name; // with its "@"
    ColumnType type;
    std::string typeName; // as declared, e.g. "int", "nvarchar"
    bool output = false;
    size_t defaultAt = 0; // token of the default value; 0 when there is none
    bool hasDefault() const { return defaultAt != 0; }
};

struct ModuleDefinition {
    enum class Verb { Create, Alter, CreateOrAlter };
    Verb verb = Verb::Create;
    std::string type;     // P, V, FN, IF, TR
    std::string word;     // PROCEDURE, VIEW, FUNCTION, TRIGGER
    std::string schema;   // empty when not given
    std::string name;     // the object's own name, without brackets
    std::vector<std::string> columns; // a view's column list
    std::vector<ModuleParameter> parameters;
    std::string parentTable; // a trigger's table
    std::vector<std::string> events; // a trigger's insert, update, delete
    bool insteadOf = false;          // a trigger that runs in place of its statement
    bool onDatabase = false;         // a trigger on the database's definition statements
    std::string returnTable;         // a multi-statement function's table variable, with its "@"
    size_t returnTableAt = 0;        // the "(" that opens that table's definition
    size_t bodyAt = 0;    // first token of the body (after "as")

    // The module statement that starts at pos, or nullopt when the tokens there start something
    // else. Throws 102/156 for what does not read as one.
    static std::optional<ModuleDefinition> read(const std::vector<Token>& tokens, size_t pos);
    // The head of a module's kept text (leading semicolons skipped).
    static std::optional<ModuleDefinition> ofText(const std::string& source);
    // Whether the tokens at pos start a create or alter of a module.
    static bool startsModule(const std::vector<Token>& tokens, size_t pos);
    // The error 111 for the module statement at pos, which stands somewhere other than first in its
    // batch.
    static SqlError notFirstInBatch(const std::vector<Token>& tokens, size_t pos);
};

} // namespace sqlsim::model
