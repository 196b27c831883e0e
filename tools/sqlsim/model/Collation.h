#pragma once
// The instance's default collation for character data: case-insensitive and accent-sensitive, on
// Unicode letters (Latin with its accented letters, Greek and Cyrillic). Text compares letter by
// letter on the base letter first (so "é" sorts between "e" and "f"), then on the accents; trailing
// spaces do not count.
#include <cstdint>
#include <string>

namespace sqlsim::model {

class Collation {
public:
    // <0, 0, >0 as a sorts before, with or after b.
    static int compare(const std::string& a, const std::string& b);
    // Text that is equal for exactly the values compare finds equal (for hashing groups).
    static std::string key(const std::string& s);
    // like with %, _, [set], [^set] and [a-z] ranges in collation order.
    static bool like(const std::string& text, const std::string& pattern);
    static std::string upper(const std::string& s);
    static std::string lower(const std::string& s);

    static char32_t lowerChar(char32_t c);
    static char32_t upperChar(char32_t c);
};

} // namespace sqlsim::model
