#include "Collation.h"

#include <cctype>
#include <functional>
#include <vector>

namespace sqlsim::model {

namespace {

// The base letters of U+00C0..U+00FF and U+0100..U+017F ('*' where the character is no letter).
const char kLatin1[] = "AAAAAAACEEEEIIIIDNOOOOO*OUUUUYTsaaaaaaaceeeeiiiidnooooo*ouuuuyty";
const char kLatinA[] = "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlLlLlNnNnNnnNnOoOoOoOo"
                       "RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";

std::u32string decode(const std::string& s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
        if (i + n > s.size()) {
            n = 1;
        }
        char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
        for (size_t k = 1; k < n; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        out.push_back(c);
        i += n;
    }
    return out;
}

std::string encode(const std::u32string& s) {
    std::string out;
    out.reserve(s.size());
    for (char32_t c : s) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool isLatinAUpper(char32_t c) {
    const char b = kLatinA[c - 0x100];
    return b >= 'A' && b <= 'Z' && c + 1 <= 0x17F && kLatinA[c + 1 - 0x100] == b - 'A' + 'a';
}

// The letter without its accents, lower case; other characters stay as they are.
char32_t baseLetter(char32_t c) {
    c = Collation::lowerChar(c);
    if (c >= 0xC0 && c <= 0xFF && kLatin1[c - 0xC0] != '*') {
        return char32_t(kLatin1[c - 0xC0] | 0x20);
    }
    if (c >= 0x100 && c <= 0x17F) {
        return char32_t(kLatinA[c - 0x100] | 0x20);
    }
    switch (c) {
    case 0x3AC:
        return 0x3B1; // ά
    case 0x3AD:
        return 0x3B5;
    case 0x3AE:
        return 0x3B7;
    case 0x3AF:
    case 0x3CA:
    case 0x390:
        return 0x3B9;
    case 0x3CC:
        return 0x3BF;
    case 0x3CD:
    case 0x3CB:
    case 0x3B0:
        return 0x3C5;
    case 0x3CE:
        return 0x3C9;
    case 0x3C2:
        return 0x3C3; // final sigma
    case 0x450:
    case 0x451:
        return 0x435; // ѐ, ё sort with е
    case 0x439:
        return 0x438; // й with и
    default:
        return c;
    }
}

std::u32string trimmedRight(std::u32string s) {
    while (!s.empty() && s.back() == U' ') {
        s.pop_back();
    }
    return s;
}

bool isAscii(const std::string& s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

int compareChars(char32_t a, char32_t b) {
    const char32_t pa = baseLetter(a), pb = baseLetter(b);
    if (pa != pb) {
        return pa < pb ? -1 : 1;
    }
    const char32_t sa = Collation::lowerChar(a), sb = Collation::lowerChar(b);
    return sa == sb ? 0 : sa < sb ? -1 : 1;
}

} // namespace

char32_t Collation::lowerChar(char32_t c) {
    if (c < 0x80) {
        return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return c + 0x20;
    }
    if (c == 0x178) {
        return 0xFF;
    }
    if (c >= 0x100 && c <= 0x17F) {
        return isLatinAUpper(c) ? c + 1 : c;
    }
    if ((c >= 0x391 && c <= 0x3A9 && c != 0x3A2)) {
        return c + 0x20;
    }
    switch (c) {
    case 0x386:
        return 0x3AC;
    case 0x388:
    case 0x389:
    case 0x38A:
        return c + 0x25;
    case 0x38C:
        return 0x3CC;
    case 0x38E:
    case 0x38F:
        return c + 0x3F;
    default:
        break;
    }
    if (c >= 0x410 && c <= 0x42F) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    if (((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x4FF)) && c % 2 == 0) {
        return c + 1;
    }
    return c;
}

char32_t Collation::upperChar(char32_t c) {
    if (c < 0x80) {
        return c >= 'a' && c <= 'z' ? c - 0x20 : c;
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
        return c - 0x20;
    }
    if (c == 0xFF) {
        return 0x178;
    }
    if (c >= 0x101 && c <= 0x17F && isLatinAUpper(c - 1)) {
        return c - 1;
    }
    if (c >= 0x3B1 && c <= 0x3C9) {
        return c == 0x3C2 ? 0x3A3 : c - 0x20;
    }
    switch (c) {
    case 0x3AC:
        return 0x386;
    case 0x3AD:
    case 0x3AE:
    case 0x3AF:
        return c - 0x25;
    case 0x3CC:
        return 0x38C;
    case 0x3CD:
    case 0x3CE:
        return c - 0x3F;
    default:
        break;
    }
    if (c >= 0x430 && c <= 0x44F) {
        return c - 0x20;
    }
    if (c >= 0x450 && c <= 0x45F) {
        return c - 0x50;
    }
    if (((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x4FF)) && c % 2 == 1) {
        return c - 1;
    }
    return c;
}

int Collation::compare(const std::string& a, const std::string& b) {
    // Plain ASCII text (the common case) needs no decoding: letters compare by their lower case.
    if (isAscii(a) && isAscii(b)) {
        size_t n = a.size(), m = b.size();
        while (n > 0 && a[n - 1] == ' ') {
            --n;
        }
        while (m > 0 && b[m - 1] == ' ') {
            --m;
        }
        for (size_t i = 0; i < n && i < m; ++i) {
            const int x = std::tolower(static_cast<unsigned char>(a[i]));
            const int y = std::tolower(static_cast<unsigned char>(b[i]));
            if (x != y) {
                return x < y ? -1 : 1;
            }
        }
        return n == m ? 0 : n < m ? -1 : 1;
    }
    const std::u32string x = trimmedRight(decode(a)), y = trimmedRight(decode(b));
    const size_t n = std::min(x.size(), y.size());
    // Base letters first, over the whole text; accents only when those are all the same.
    for (size_t i = 0; i < n; ++i) {
        const char32_t pa = baseLetter(x[i]), pb = baseLetter(y[i]);
        if (pa != pb) {
            return pa < pb ? -1 : 1;
        }
    }
    if (x.size() != y.size()) {
        return x.size() < y.size() ? -1 : 1;
    }
    for (size_t i = 0; i < n; ++i) {
        if (int c = compareChars(x[i], y[i]); c != 0) {
            return c;
        }
    }
    return 0;
}

std::string Collation::key(const std::string& s) {
    if (isAscii(s)) {
        size_t n = s.size();
        while (n > 0 && s[n - 1] == ' ') {
            --n;
        }
        std::string out(s, 0, n);
        for (char& c : out) {
            c = char(std::tolower(static_cast<unsigned char>(c)));
        }
        return out;
    }
    std::u32string x = trimmedRight(decode(s));
    for (char32_t& c : x) {
        c = lowerChar(c);
    }
    return encode(x);
}

std::string Collation::upper(const std::string& s) {
    std::u32string x = decode(s);
    for (char32_t& c : x) {
        c = upperChar(c);
    }
    return encode(x);
}

std::string Collation::lower(const std::string& s) {
    std::u32string x = decode(s);
    for (char32_t& c : x) {
        c = lowerChar(c);
    }
    return encode(x);
}

bool Collation::like(const std::string& textIn, const std::string& patternIn) {
    const std::u32string text = trimmedRight(decode(textIn));
    const std::u32string pattern = decode(patternIn);
    std::function<bool(size_t, size_t)> m = [&](size_t ti, size_t pi) -> bool {
        while (pi < pattern.size()) {
            const char32_t p = pattern[pi];
            if (p == U'%') {
                for (size_t k = ti; k <= text.size(); ++k) {
                    if (m(k, pi + 1)) {
                        return true;
                    }
                }
                return false;
            }
            if (ti >= text.size()) {
                return false;
            }
            if (p == U'_') {
                ++ti;
                ++pi;
            } else if (p == U'[') {
                const size_t close = pattern.find(U']', pi + 1);
                if (close == std::u32string::npos) {
                    return false;
                }
                std::u32string set = pattern.substr(pi + 1, close - pi - 1);
                const bool negated = !set.empty() && set[0] == U'^';
                if (negated) {
                    set.erase(0, 1);
                }
                bool found = false;
                for (size_t k = 0; k < set.size(); ++k) {
                    if (k + 2 < set.size() && set[k + 1] == U'-') {
                        found = found || (compareChars(text[ti], set[k]) >= 0 &&
                                          compareChars(text[ti], set[k + 2]) <= 0);
                        k += 2;
                    } else {
                        found = found || compareChars(set[k], text[ti]) == 0;
                    }
                }
                if (found == negated) {
                    return false;
                }
                ++ti;
                pi = close + 1;
            } else {
                if (compareChars(text[ti], p) != 0) {
                    return false;
                }
                ++ti;
                ++pi;
            }
        }
        return ti == text.size();
    };
    return m(0, 0);
}

} // namespace sqlsim::model
