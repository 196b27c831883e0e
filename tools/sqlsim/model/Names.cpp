#include "Names.h"

#include <cctype>

namespace sqlsim::model {

std::string lower(const std::string& s) {
    std::string r = s;
    for (char& c : r) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    // Cyrillic capitals in UTF-8: А-П (D0 90-9F) -> а-п (D0 B0-BF), Р-Я (D0 A0-AF) -> р-я (D1 80-8F), Ё, Ѐ-Џ.
    for (size_t i = 0; i + 1 < r.size(); ++i) {
        auto b0 = static_cast<unsigned char>(r[i]);
        auto b1 = static_cast<unsigned char>(r[i + 1]);
        if (b0 == 0xD0 && b1 >= 0x90 && b1 <= 0x9F) {
            r[i + 1] = char(b1 + 0x20);
            ++i;
        } else if (b0 == 0xD0 && b1 >= 0xA0 && b1 <= 0xAF) {
            r[i] = char(0xD1);
            r[i + 1] = char(b1 - 0x20);
            ++i;
        } else if (b0 == 0xD0 && b1 >= 0x80 && b1 <= 0x8F) {
            r[i] = char(0xD1);
            r[i + 1] = char(b1 + 0x10);
            ++i;
        } else if (b0 >= 0xC0) {
            ++i;
        }
    }
    return r;
}

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && lower(a) == lower(b);
}

std::string bracketed(const std::string& part) {
    std::string out = "[";
    for (char c : part) {
        out += c;
        if (c == ']') {
            out += ']';
        }
    }
    return out + "]";
}

std::vector<std::string> splitName(const std::string& name) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c == '[' || c == '"') {
            char close = c == '[' ? ']' : '"';
            for (++i; i < name.size(); ++i) {
                if (name[i] == close) {
                    if (i + 1 < name.size() && name[i + 1] == close) {
                        parts.back() += close;
                        ++i;
                        continue;
                    }
                    break;
                }
                parts.back() += name[i];
            }
        } else if (c == '.') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    for (auto& p : parts) {
        while (!p.empty() && p.back() == ' ') {
            p.pop_back();
        }
        while (!p.empty() && p.front() == ' ') {
            p.erase(p.begin());
        }
    }
    return parts;
}

std::string quoteDoubled(const std::string& s) {
    std::string r;
    for (char c : s) {
        r += c;
        if (c == '\'') {
            r += '\'';
        }
    }
    return r;
}

size_t characterCount(const std::string& s) {
    size_t n = 0;
    for (char c : s) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++n;
        }
    }
    return n;
}

std::string characterPrefix(const std::string& s, size_t n) {
    size_t count = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (count == n) {
                return s.substr(0, i);
            }
            ++count;
        }
    }
    return s;
}

} // namespace sqlsim::model
