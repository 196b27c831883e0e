#pragma once
// Comparing and splitting SQL names the way the server does: without case, brackets optional.
#include <string>
#include <vector>

namespace sqlsim::model {

std::string lower(const std::string& s);
bool sameName(const std::string& a, const std::string& b);
// "[dbo].[Orders]", "db..t", "Orders" -> the parts without brackets or quotes; empty parts kept.
std::vector<std::string> splitName(const std::string& name);
// One name part in brackets with "]" doubled, so splitName gives the part back unchanged.
std::string bracketed(const std::string& part);
// Doubles single quotes for a string literal.
std::string quoteDoubled(const std::string& s);
// The length of a UTF-8 text in characters.
size_t characterCount(const std::string& s);
// The first n characters of a UTF-8 text.
std::string characterPrefix(const std::string& s, size_t n);

} // namespace sqlsim::model
