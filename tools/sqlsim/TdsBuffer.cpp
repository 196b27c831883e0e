#include "TdsBuffer.h"

namespace sqlsim {

namespace {

// Decodes one UTF-8 sequence at s[i]; returns U+FFFD for a malformed one and advances i.
uint32_t nextCodePoint(std::string_view s, size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        ++i;
        return c;
    }
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (extra < 0 || c >= 0xF8 || i + size_t(extra) >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    uint32_t cp = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    i += extra + 1;
    return cp > 0x10FFFF ? 0xFFFD : cp;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

// Windows-1252 bytes 0x80..0x9F; 0 where the code page has no character.
const uint16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

void appendUtf16(std::vector<uint8_t>& out, std::string_view utf8) {
    // No exact reserve here: the output is usually a growing message buffer, and reserving the exact
    // size on every call would defeat its geometric growth.
    size_t i = 0;
    while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(c);
            out.push_back(0);
            ++i;
            continue;
        }
        uint32_t cp = nextCodePoint(utf8, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            uint16_t hi = uint16_t(0xD800 + (cp >> 10)), lo = uint16_t(0xDC00 + (cp & 0x3FF));
            out.push_back(uint8_t(hi));
            out.push_back(uint8_t(hi >> 8));
            out.push_back(uint8_t(lo));
            out.push_back(uint8_t(lo >> 8));
        } else {
            out.push_back(uint8_t(cp));
            out.push_back(uint8_t(cp >> 8));
        }
    }
}

size_t utf16Units(std::string_view utf8) {
    size_t n = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            ++i;
            ++n;
            continue;
        }
        n += nextCodePoint(utf8, i) >= 0x10000 ? 2 : 1;
    }
    return n;
}

std::string utf16ToUtf8(const uint8_t* data, size_t bytes) {
    std::string out;
    out.reserve(bytes / 2);
    size_t units = bytes / 2;
    for (size_t k = 0; k < units; ++k) {
        uint32_t u = data[2 * k] | (uint32_t(data[2 * k + 1]) << 8);
        if (u >= 0xD800 && u < 0xDC00 && k + 1 < units) {
            uint32_t lo = data[2 * k + 2] | (uint32_t(data[2 * k + 3]) << 8);
            if (lo >= 0xDC00 && lo < 0xE000) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++k;
                continue;
            }
        }
        if (u >= 0xD800 && u < 0xE000) {
            u = 0xFFFD;
        }
        appendUtf8(out, u);
    }
    return out;
}

std::string toCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        uint32_t cp = nextCodePoint(utf8, i);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out.push_back(char(cp));
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k) {
            if (kCp1252High[k] == cp && cp != 0) {
                mapped = char(0x80 + k);
                break;
            }
        }
        out.push_back(mapped);
    }
    return out;
}

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c < 0xA0) {
            appendUtf8(out, kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : 0xFFFD);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

void TdsWriter::bVarchar(std::string_view utf8) {
    size_t units = utf16Units(utf8);
    if (units > 255) {
        // Truncation keeps the token well-formed; names longer than this are not valid anyway.
        std::vector<uint8_t> tmp;
        appendUtf16(tmp, utf8);
        u8(255);
        raw(tmp.data(), 510);
        return;
    }
    u8(uint8_t(units));
    utf16(utf8);
}

void TdsWriter::usVarchar(std::string_view utf8) {
    std::vector<uint8_t> tmp;
    appendUtf16(tmp, utf8);
    size_t units = tmp.size() / 2;
    if (units > 65535) {
        units = 65535;
    }
    u16(uint16_t(units));
    raw(tmp.data(), units * 2);
}

} // namespace sqlsim
