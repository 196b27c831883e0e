#pragma once
// Scalar expressions of the statements the simulator runs itself: literals, columns, variables,
// arithmetic, comparisons, LIKE, IS NULL, AND/OR/NOT and a few functions.
#include "ExpressionParser.h"

#include "../SqlValue.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sqlsim::model {

// What an expression can see while it is evaluated.
struct EvalScope {
    std::function<std::optional<SqlValue>(const std::string& qualifier, const std::string& column)> column;
    std::function<std::optional<ColumnType>(const std::string& qualifier, const std::string& column)>
        columnType;
    std::function<SqlValue(const std::string& variable)> variable; // @@version, @P1 ...
    // A parameter's declared type; nullopt for the server's own variables.
    std::function<std::optional<ColumnType>(const std::string& variable)> variableType;
    std::function<std::optional<SqlValue>(const std::string& function, const std::vector<SqlValue>& args)>
        function;
    // The result type of a function the scope knows (a user's scalar function); nullopt for others.
    std::function<std::optional<ColumnType>(const std::string& function)> functionType;
    // Runs a subquery (Expr::tokenPos) that may read this scope's columns; its rows, and its first
    // column's type.
    std::function<std::vector<Row>(const Expr& subquery, const EvalScope& outer)> subquery;
    std::function<ColumnType(const Expr& subquery)> subqueryType;
    // A grouped query's value of an aggregate call for the current group.
    std::function<std::optional<SqlValue>(const Expr& aggregate)> aggregate;
    // The joined row of the query being run (one row per table source, null for the missing side of
    // an outer join), for columns bound to it: Expr::slot is source << 16 | column.
    const Row* const* tuple = nullptr;
    const void* layout = nullptr;
};

class Evaluator {
public:
    static SqlValue eval(const Expr& e, const EvalScope& scope);
    // True only when the condition is true (NULL counts as false).
    static bool isTrue(const Expr& e, const EvalScope& scope);
    static ColumnType typeOf(const Expr& e, const EvalScope& scope);
    // -1, 0, 1; nullopt when either side is NULL. Text compares without case.
    static std::optional<int> compare(const SqlValue& a, const SqlValue& b);
    static bool like(const std::string& text, const std::string& pattern);
    // Converts a value to a column's type, as an insert or update stores it.
    static SqlValue coerce(const SqlValue& v, const ColumnType& type);
    static bool isAggregate(const Expr& e);
};

} // namespace sqlsim::model
