#include "BuiltinFunctions.h"

#include "Collation.h"
#include "FunctionSupport.h"
#include "Names.h"
#include "SqlError.h"

#include <algorithm>

namespace sqlsim::model {

using namespace builtin;

namespace {

// The longest (max) value replicate makes, in bytes.
constexpr size_t kLongestReplicate = size_t(64) << 20;

// Position (from 0) of needle in hay at or after start, ignoring case; npos when absent.
size_t findNoCase(const std::string& hay, const std::string& needle, size_t start) {
    std::string h = lower(hay), n = lower(needle);
    return h.find(n, start);
}

} // namespace

std::optional<SqlValue> BuiltinFunctions::callString(const Expr& e, const std::vector<SqlValue>& a,
                                                     const EvalScope& scope) {
    const std::string& f = e.name;
    auto anyNull = [&]() {
        return std::any_of(a.begin(), a.end(), [](const SqlValue& v) { return v.isNull(); });
    };
    auto text = [&](size_t i) { return a[i].toText(); };
    if (f == "len" || f == "datalength") {
        requireArgs(e, 1, 1);
        if (a[0].isNull()) {
            return SqlValue::null();
        }
        ColumnType t = argType(e, 0, scope);
        if (f == "len") {
            std::string s =
                a[0].is<std::string>() ? a[0].get<std::string>() : cast(a[0], t, nvarchar(4000), -1).toText();
            return SqlValue(int64_t(characterCount(trimmed(s, false, true))));
        }
        if (a[0].is<std::string>()) {
            size_t n = characterCount(a[0].get<std::string>());
            return SqlValue(
                int64_t(t.isUnicode() ? 2 * n : (t.isCharacter() ? a[0].get<std::string>().size() : 2 * n)));
        }
        if (a[0].is<Bytes>()) {
            return SqlValue(int64_t(a[0].get<Bytes>().size()));
        }
        switch (t.type) {
        case SqlType::Bit:
        case SqlType::TinyInt:
            return SqlValue(int64_t(1));
        case SqlType::SmallInt:
            return SqlValue(int64_t(2));
        case SqlType::Int:
        case SqlType::Real:
        case SqlType::SmallMoney:
        case SqlType::SmallDateTime:
            return SqlValue(int64_t(4));
        case SqlType::UniqueIdentifier:
            return SqlValue(int64_t(16));
        case SqlType::Date:
            return SqlValue(int64_t(3));
        case SqlType::Decimal:
        case SqlType::Numeric:
            return SqlValue(int64_t(t.precision <= 9    ? 5
                                    : t.precision <= 19 ? 9
                                    : t.precision <= 28 ? 13
                                                        : 17));
        default:
            return SqlValue(int64_t(8));
        }
    }
    if (f == "upper" || f == "lower" || f == "ltrim" || f == "rtrim" || f == "trim") {
        requireArgs(e, 1, 1);
        if (a[0].isNull())
            return SqlValue::null();
        std::string s = text(0);
        if (f == "upper")
            return SqlValue(Collation::upper(s));
        if (f == "lower")
            return SqlValue(Collation::lower(s));
        return SqlValue(trimmed(s, f != "rtrim", f != "ltrim"));
    }
    if (f == "substring" || f == "left" || f == "right") {
        requireArgs(e, f == "substring" ? 3 : 2, f == "substring" ? 3 : 2);
        if (anyNull())
            return SqlValue::null();
        int64_t n = a.back().toInt();
        if (n < 0) {
            throw SqlError(536, 16, "Invalid length parameter passed to the " + f + " function.");
        }
        if (f == "substring" && a[0].is<Bytes>()) { // binary in, binary out: bytes [start, start + n)
            const Bytes& b = a[0].get<Bytes>();
            int64_t from = std::max<int64_t>(a[1].toInt(), 1), to = std::min<int64_t>(a[1].toInt() + n, int64_t(b.size()) + 1);
            return SqlValue(to <= from ? Bytes() : Bytes(b.begin() + (from - 1), b.begin() + (to - 1)));
        }
        auto c = chars(text(0));
        if (f == "left")
            return SqlValue(join(c, 0, size_t(n)));
        if (f == "right")
            return SqlValue(join(c, c.size() > size_t(n) ? c.size() - size_t(n) : 0, size_t(n)));
        int64_t start = a[1].toInt(), end = start + n; // characters [start, end) counted from 1
        start = std::max<int64_t>(start, 1);
        if (end <= start)
            return SqlValue(std::string());
        return SqlValue(join(c, size_t(start - 1), size_t(end - start)));
    }
    if (f == "charindex") {
        requireArgs(e, 2, 3);
        if (anyNull())
            return SqlValue::null();
        std::string hay = text(1);
        auto hc = chars(hay);
        int64_t start = a.size() > 2 ? std::max<int64_t>(a[2].toInt(), 1) : 1;
        size_t byteStart = join(hc, 0, size_t(start - 1)).size();
        size_t at = findNoCase(hay, text(0), byteStart);
        return SqlValue(int64_t(at == std::string::npos ? 0 : characterCount(hay.substr(0, at)) + 1));
    }
    if (f == "replace") {
        requireArgs(e, 3, 3);
        if (anyNull())
            return SqlValue::null();
        std::string s = text(0), find = text(1), rep = text(2), out;
        if (find.empty())
            return SqlValue(s);
        size_t from = 0;
        for (size_t at; (at = findNoCase(s, find, from)) != std::string::npos; from = at + find.size()) {
            out += s.substr(from, at - from) + rep;
        }
        return SqlValue(out + s.substr(from));
    }
    if (f == "replicate") {
        requireArgs(e, 2, 2);
        if (anyNull() || a[1].toInt() < 0)
            return SqlValue::null();
        // A (max) value repeats in full; any other stops at 8,000 bytes (4,000 Unicode characters).
        const ColumnType t = argType(e, 0, scope);
        const std::string piece = text(0);
        const int64_t count = a[1].toInt();
        if (isMax(t)) {
            if (double(piece.size()) * double(count) > double(kLongestReplicate))
                throw SqlError(50000, 16, "__not_supported__"); // larger than the simulator holds
            std::string out;
            out.reserve(piece.size() * size_t(count));
            for (int64_t i = 0; i < count; ++i)
                out += piece;
            return SqlValue(out);
        }
        const size_t limit = t.isUnicode() ? 4000 : 8000;
        const size_t pieceChars = characterCount(piece);
        std::string out;
        for (int64_t i = 0, made = 0; i < count && size_t(made) < limit; ++i, made += int64_t(pieceChars))
            out += piece;
        if (size_t(count) * pieceChars > limit)
            out = join(chars(out), 0, limit);
        return SqlValue(out);
    }
    if (f == "stuff") {
        requireArgs(e, 4, 4);
        if (a[0].isNull() || a[1].isNull() || a[2].isNull())
            return SqlValue::null();
        auto c = chars(text(0));
        int64_t start = a[1].toInt(), n = a[2].toInt();
        if (start < 1 || start > int64_t(c.size()) || n < 0)
            return SqlValue::null();
        return SqlValue(join(c, 0, size_t(start - 1)) + (a[3].isNull() ? "" : text(3)) +
                        join(c, size_t(std::min<int64_t>(start - 1 + n, int64_t(c.size()))), c.size()));
    }
    return std::nullopt;
}

} // namespace sqlsim::model
