#pragma once
// The server's built-in scalar functions, conversions and typed arithmetic: string, date, math and
// conversion functions with their result types and the errors the server raises for bad input.
#include "SqlExpression.h"

#include <optional>
#include <string>
#include <vector>

namespace sqlsim::model {

class BuiltinFunctions {
public:
    // The value of a built-in call; nullopt when the name is not one of them.
    static std::optional<SqlValue> call(const Expr& e, const std::vector<SqlValue>& args,
                                        const EvalScope& scope);
    // Its result type; nullopt when the name is not one of them.
    static std::optional<ColumnType> type(const Expr& e, const EvalScope& scope);
    // dateadd, datediff, datepart and datename take a bare date part word as their first argument.
    static bool takesDatePart(const std::string& function);

    // cast / convert: from a value of type from to type to, with convert's style (-1 when none).
    static SqlValue cast(const SqlValue& v, const ColumnType& from, const ColumnType& to, int style);
    // The implicit conversion of a value into an expression's type (case branches, isnull).
    static SqlValue convert(const SqlValue& v, const ColumnType& to, int style);
    // + - * / % on integers of the expression's type; 8115 when the result leaves it, 8134 for zero.
    static SqlValue integerArithmetic(const std::string& op, int64_t x, int64_t y, const ColumnType& type);
    // + - * / % on exact numerics (decimal, money), kept exact.
    static SqlValue exactArithmetic(const std::string& op, const SqlValue& x, const SqlValue& y,
                                    const ColumnType& type);
    // The decimal type of l op r when either side is decimal (the server's precision and scale
    // rules); nullopt otherwise.
    static std::optional<ColumnType> decimalResult(const std::string& op, const ColumnType& l,
                                                   const ColumnType& r);
    // The type of higher precedence among branch types (case, coalesce).
    static ColumnType commonType(const std::vector<ColumnType>& types);
    static bool likeEscaped(const std::string& text, const std::string& pattern, const std::string& escape);
    // The server's name of a type as its errors spell it ("varchar", "int", "numeric" ...).
    static std::string typeWord(const ColumnType& t);
    // Datetime text in a convert style (0, 100, 101, 103, 112, 120, 121, 126).
    static std::string dateText(const DateTimeValue& d, int style, const ColumnType& from);

    // SQL_VARIANT_PROPERTY: BaseType, Precision, Scale, TotalBytes, Collation or MaxLength of a
    // sql_variant, itself a sql_variant; NULL for another property name.
    static SqlValue variantProperty(const SqlValue& v, const SqlValue& property);

private:
    // cast into a sql_variant: the value keeps the type it comes with.
    static SqlValue toVariant(const SqlValue& v, const ColumnType& from);
    // The calls of each group of functions; nullopt when the name is not one of the group.
    static std::optional<SqlValue> callString(const Expr& e, const std::vector<SqlValue>& args,
                                              const EvalScope& scope);
    static std::optional<SqlValue> callDate(const Expr& e, const std::vector<SqlValue>& args,
                                            const EvalScope& scope);
    static std::optional<SqlValue> callMath(const Expr& e, const std::vector<SqlValue>& args,
                                            const EvalScope& scope);
};

} // namespace sqlsim::model
