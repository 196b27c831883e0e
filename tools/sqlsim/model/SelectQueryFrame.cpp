// The frames of window aggregates: rows|range between <start> and <end>, and the short forms that
// name only the start (the end is the current row).
#include "SelectQueryParts.h"

#include "ExpressionParser.h"

#include <algorithm>

namespace sqlsim::model::selectparts {

namespace {

using Bound = Frame::Bound;

// Where a bound lies against the current row, for telling a frame that ends before it starts.
int64_t place(Bound b, int64_t rows) {
    switch (b) {
    case Bound::UnboundedPreceding:
        return INT64_MIN;
    case Bound::Preceding:
        return -rows;
    case Bound::CurrentRow:
        return 0;
    case Bound::Following:
        return rows;
    case Bound::UnboundedFollowing:
        return INT64_MAX;
    }
    return 0;
}

// unbounded preceding|following, current row or n preceding|following.
Bound parseBound(const std::vector<Token>& t, size_t& pos, int64_t& rows) {
    auto at = [&](size_t k) -> const Token& { return k < t.size() ? t[k] : t.back(); };
    if (at(pos).isWord("unbounded")) {
        ++pos;
        if (at(pos).isWord("preceding") || at(pos).isWord("following")) {
            return at(pos++).isWord("preceding") ? Bound::UnboundedPreceding : Bound::UnboundedFollowing;
        }
        syntaxError(at(pos));
    }
    if (at(pos).isWord("current")) {
        ++pos;
        if (!at(pos).isWord("row")) {
            syntaxError(at(pos));
        }
        ++pos;
        return Bound::CurrentRow;
    }
    if (at(pos).kind == Token::Kind::Variable) {
        notSupported(); // a frame offset held in a variable or parameter
    }
    if (at(pos).kind != Token::Kind::Number ||
        !std::all_of(at(pos).text.begin(), at(pos).text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        syntaxError(at(pos));
    }
    if (at(pos).text.size() > 18) {
        notSupported(); // offsets past a bigint
    }
    rows = std::stoll(at(pos).text);
    ++pos;
    if (at(pos).isWord("preceding") || at(pos).isWord("following")) {
        return at(pos++).isWord("preceding") ? Bound::Preceding : Bound::Following;
    }
    syntaxError(at(pos));
}

} // namespace

Frame parseFrame(const std::vector<Token>& t, size_t& pos) {
    auto at = [&](size_t k) -> const Token& { return k < t.size() ? t[k] : t.back(); };
    Frame f;
    f.given = true;
    f.range = at(pos).isWord("range");
    ++pos;
    if (!at(pos).isWord("between")) {
        // The short form names the start; only bounds before or at the current row can start it.
        f.start = parseBound(t, pos, f.startRows);
        if (f.start == Bound::Following || f.start == Bound::UnboundedFollowing) {
            syntaxError(at(pos - 1));
        }
        f.end = Bound::CurrentRow;
        return f;
    }
    ++pos;
    f.start = parseBound(t, pos, f.startRows);
    if (f.start == Bound::UnboundedFollowing) {
        syntaxError(at(pos - 1));
    }
    if (!at(pos).isWord("and")) {
        syntaxError(at(pos));
    }
    ++pos;
    f.end = parseBound(t, pos, f.endRows);
    if (f.end == Bound::UnboundedPreceding) {
        syntaxError(at(pos - 1));
    }
    if (place(f.start, f.startRows) > place(f.end, f.endRows)) {
        notSupported(); // a frame that ends before it starts
    }
    return f;
}

void checkFrame(const Frame& frame, const std::string& function, bool ordered, int line) {
    if (!frame.given) {
        return;
    }
    if (function == "row_number" || function == "rank" || function == "dense_rank" || function == "ntile" ||
        function == "lag" || function == "lead") {
        throw SqlError(10752, 15, "The function '" + function + "' may not have a window frame.", 1, {},
                       line);
    }
    if (!ordered) {
        throw SqlError(10756, 15, "Window frame with ROWS or RANGE must have an ORDER BY clause.", 1, {},
                       line);
    }
    auto offset = [](Bound b) { return b == Bound::Preceding || b == Bound::Following; };
    if (frame.range && (offset(frame.start) || offset(frame.end))) {
        throw SqlError(4194, 16,
                       "RANGE is only supported with UNBOUNDED and CURRENT ROW window frame delimiters.", 1,
                       {}, line);
    }
}

std::pair<size_t, size_t> frameRows(const Frame& frame, size_t i, size_t n,
                                    const std::function<bool(size_t, size_t)>& peers) {
    const int64_t row = int64_t(i), last = int64_t(n) - 1;
    auto position = [&](Bound b, int64_t rows, bool isStart) -> int64_t {
        switch (b) {
        case Bound::UnboundedPreceding:
            return 0;
        case Bound::UnboundedFollowing:
            return last;
        case Bound::Preceding:
            return row - rows;
        case Bound::Following:
            return row + rows;
        case Bound::CurrentRow:
            break;
        }
        if (!frame.range) {
            return row;
        }
        // range: the current row stands for all its peers.
        int64_t k = row;
        if (isStart) {
            while (k > 0 && peers(size_t(k - 1), size_t(k))) {
                --k;
            }
        } else {
            while (k < last && peers(size_t(k), size_t(k + 1))) {
                ++k;
            }
        }
        return k;
    };
    const int64_t lo = std::max<int64_t>(position(frame.start, frame.startRows, true), 0);
    const int64_t hi = std::min<int64_t>(position(frame.end, frame.endRows, false), last);
    if (lo > hi) {
        return {0, 0};
    }
    return {size_t(lo), size_t(hi) + 1};
}

} // namespace sqlsim::model::selectparts
