#pragma once
// Little-endian byte building and reading for TDS messages, and the text encodings they use.
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sqlsim {

// Raised when a client's message is malformed; the connection is closed.
class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// UTF-8 <-> UTF-16LE and UTF-8 <-> Windows-1252; invalid input is replaced, never fatal.
void appendUtf16(std::vector<uint8_t>& out, std::string_view utf8);
size_t utf16Units(std::string_view utf8);
std::string utf16ToUtf8(const uint8_t* data, size_t bytes);
std::string toCp1252(std::string_view utf8);
std::string cp1252ToUtf8(std::string_view bytes);

class TdsWriter {
public:
    std::vector<uint8_t>& bytes() { return m_buf; }
    size_t size() const { return m_buf.size(); }
    void clear() { m_buf.clear(); }

    void u8(uint8_t v) { m_buf.push_back(v); }
    void u16(uint16_t v) { put(&v, 2); }
    void u32(uint32_t v) { put(&v, 4); }
    void u64(uint64_t v) { put(&v, 8); }
    void i32(int32_t v) { put(&v, 4); }
    void i64(int64_t v) { put(&v, 8); }
    void f32(float v) { put(&v, 4); }
    void f64(double v) { put(&v, 8); }
    void raw(const void* p, size_t n) { put(p, n); }
    void u16be(uint16_t v) {
        u8(uint8_t(v >> 8));
        u8(uint8_t(v));
    }
    // B_VARCHAR: a byte count of UTF-16 units, then the text.
    void bVarchar(std::string_view utf8);
    // US_VARCHAR: a 16-bit count of UTF-16 units, then the text.
    void usVarchar(std::string_view utf8);
    void utf16(std::string_view utf8) { appendUtf16(m_buf, utf8); }
    // Writes a 16-bit length placeholder; patchLength16 fills it with the bytes written after it.
    size_t placeholder16() {
        size_t at = m_buf.size();
        u16(0);
        return at;
    }
    void patchLength16(size_t at) {
        uint16_t len = uint16_t(m_buf.size() - at - 2);
        std::memcpy(&m_buf[at], &len, 2);
    }

private:
    void put(const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        m_buf.insert(m_buf.end(), b, b + n);
    }
    std::vector<uint8_t> m_buf;
};

class TdsReader {
public:
    TdsReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t pos() const { return m_pos; }
    size_t remaining() const { return m_size - m_pos; }
    bool atEnd() const { return m_pos >= m_size; }
    void seek(size_t pos) {
        if (pos > m_size) {
            throw ProtocolError("offset beyond the message");
        }
        m_pos = pos;
    }
    void skip(size_t n) {
        need(n);
        m_pos += n;
    }

    uint8_t u8() {
        need(1);
        return m_data[m_pos++];
    }
    uint16_t u16() { return get<uint16_t>(); }
    uint32_t u32() { return get<uint32_t>(); }
    uint64_t u64() { return get<uint64_t>(); }
    int32_t i32() { return get<int32_t>(); }
    int64_t i64() { return get<int64_t>(); }
    float f32() { return get<float>(); }
    double f64() { return get<double>(); }
    const uint8_t* take(size_t n) {
        need(n);
        const uint8_t* p = m_data + m_pos;
        m_pos += n;
        return p;
    }
    std::string utf16(size_t units) {
        const uint8_t* p = take(units * 2);
        return utf16ToUtf8(p, units * 2);
    }
    std::string bVarchar() { return utf16(u8()); }
    std::string usVarchar() { return utf16(u16()); }

private:
    void need(size_t n) const {
        if (n > m_size - m_pos) {
            throw ProtocolError("message shorter than its contents");
        }
    }
    template <class T> T get() {
        need(sizeof(T));
        T v;
        std::memcpy(&v, m_data + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return v;
    }
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace sqlsim
