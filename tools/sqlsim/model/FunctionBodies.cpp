#include "FunctionBodies.h"

#include "BatchRunner.h"

#include "Database.h"
#include "Instance.h"
#include "Names.h"
#include "TableDefinitions.h"
#include "TokenCursor.h"

namespace sqlsim::model {

namespace {

struct StatementCheck {
    const std::vector<Token>& tokens;
    const CompiledStatement& statement;
    const std::string& function;
    bool returnsTable;

    const Token& at(size_t k) const {
        const size_t p = statement.begin + k;
        return p < tokens.size() ? tokens[p] : tokens.back();
    }
    [[noreturn]] void sideEffect(const std::string& op) const {
        throw SqlError(443, 16, "Invalid use of a side-effecting operator '" + op + "' within a function.", 15,
                       function, statement.line);
    }
    // The table an insert, update or delete at k writes must be one of the function's table variables.
    void target(size_t k, const char* op) const {
        const Token& t = at(k);
        if (t.kind == Token::Kind::Variable) {
            return;
        }
        if (t.isName() && t.text.rfind("#", 0) == 0) {
            throw SqlError(2772, 16, "Cannot access temporary tables from within a function.", 1, function,
                           statement.line);
        }
        sideEffect(op);
    }
    void run() const {
        const Token& first = at(0);
        if (first.isWord("insert")) {
            target(at(1).isWord("into") ? 2 : 1, "INSERT");
        } else if (first.isWord("update")) {
            target(1, "UPDATE");
        } else if (first.isWord("delete")) {
            target(at(1).isWord("from") ? 2 : 1, "DELETE");
        } else if (first.isWord("truncate")) {
            sideEffect("TRUNCATE TABLE");
        } else if (first.isWord("return")) {
            const Token& value = at(1);
            if (returnsTable && statement.end > statement.begin + 1 && value.kind != Token::Kind::End &&
                !value.isSymbol(";") && !BatchRunner::startsStatement(value)) {
                throw SqlError(178, 15, "A RETURN statement with a return value cannot be used in this context.", 1,
                               function, statement.line);
            }
        } else if (first.isWord("print")) {
            sideEffect("PRINT");
        } else if (first.isWord("raiserror")) {
            sideEffect("RAISERROR");
        } else if (first.isWord("begin") && (at(1).isWord("tran") || at(1).isWord("transaction"))) {
            sideEffect("BEGIN TRANSACTION");
        } else if (first.isWord("commit")) {
            sideEffect("COMMIT TRANSACTION");
        } else if (first.isWord("rollback")) {
            sideEffect("ROLLBACK TRANSACTION");
        } else if (first.isWord("select")) {
            if (at(1).kind != Token::Kind::Variable || !at(2).isSymbol("=")) {
                throw SqlError(444, 16,
                               "Select statements included within a function cannot return data to a client.", 2,
                               function, statement.line);
            }
        } else if (first.isWord("exec") || first.isWord("execute") || first.isWord("create") ||
                   first.isWord("alter") || first.isWord("drop") || first.isWord("use") ||
                   first.isWord("waitfor") || first.isWord("grant") || first.isWord("revoke") ||
                   first.isWord("deny") || first.isWord("with") || first.isWord("throw") ||
                   first.isWord("backup") || first.isWord("restore") || (first.isWord("set") && !isVariableSet())) {
            throw SqlError(50000, 16, "__not_supported__");
        }
    }
    bool isVariableSet() const { return at(1).kind == Token::Kind::Variable; }
};

void walk(const std::vector<Token>& tokens, const std::vector<CompiledStatement>& statements,
          const std::string& function, bool returnsTable) {
    for (const CompiledStatement& s : statements) {
        if (s.kind == CompiledStatement::Kind::Simple) {
            StatementCheck{tokens, s, function, returnsTable}.run();
        } else {
            walk(tokens, s.body, function, returnsTable);
        }
    }
}

} // namespace

void FunctionBodies::check(const std::vector<Token>& tokens, const std::vector<CompiledStatement>& body,
                           const std::string& function, bool returnsTable) {
    walk(tokens, body, function, returnsTable);
}

std::vector<TableColumn> FunctionBodies::returnColumns(const std::vector<Token>& tokens,
                                                      const ModuleDefinition& def) {
    Database scratch("tempdb", 2, Bytes{}, Instance::now());
    size_t at = def.returnTableAt;
    Cursor c{tokens, at};
    TableDefinitions::declareTable(c, scratch, def.returnTable);
    const ObjectDef* table = scratch.findObject(bracketed(def.returnTable));
    return table ? table->columns : std::vector<TableColumn>{};
}

} // namespace sqlsim::model
