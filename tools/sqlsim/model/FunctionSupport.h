#pragma once
// Helpers the built-in functions share: type shorthands, integer ranges, UTF-8 characters,
// argument checks and date parts.
#include "SqlExpression.h"

#include <string>
#include <vector>

namespace sqlsim::model::builtin {

extern const char* const kMonths[12];
extern const char* const kDays[7];

ColumnType nvarchar(int n);
ColumnType kInt();
bool isMax(const ColumnType& t);
bool isIntegerType(SqlType t);
bool isDateType(SqlType t);
std::string trimmed(std::string s, bool left, bool right);
// Characters of UTF-8 text, one string each.
std::vector<std::string> chars(const std::string& s);
std::string join(const std::vector<std::string>& c, size_t from, size_t count);
int64_t intMin(SqlType t);
int64_t intMax(SqlType t);
[[noreturn]] void overflow(const ColumnType& to);
int64_t checkedInt(__int128 v, const ColumnType& to);
// Digits before the point an exact value needs.
int integerDigits(const DecimalValue& d);
// The type of argument i of a call (nvarchar(1) when it is missing).
ColumnType argType(const Expr& e, size_t i, const EvalScope& scope);
DateTimeValue toDate(const SqlValue& v, const ColumnType& from);
void requireArgs(const Expr& e, size_t low, size_t high);
int weekday(const DateTimeValue& d); // 0 = Monday
// datepart: a part of a date (155 for an unknown part word).
int64_t partOf(const std::string& part, const DateTimeValue& d);

} // namespace sqlsim::model::builtin
