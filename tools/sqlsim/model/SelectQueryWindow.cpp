// Window functions of a select list: row_number, rank, dense_rank, ntile, lag, lead, first_value,
// last_value and the aggregates over (partition by ... order by ... [frame]). Without a frame the
// default one applies: the partition's rows up to the current row and its peers when ordered, the
// whole partition when not.
#include "SelectQueryAccumulator.h"

#include "BatchRunner.h"
#include "Names.h"

#include <algorithm>
#include <numeric>

namespace sqlsim::model {

using namespace selectparts;

namespace {

bool ranking(const std::string& f) {
    return f == "row_number" || f == "rank" || f == "dense_rank" || f == "ntile";
}

bool offsetting(const std::string& f) {
    return f == "lag" || f == "lead";
}

bool framedValue(const std::string& f) {
    return f == "first_value" || f == "last_value";
}

} // namespace

std::shared_ptr<SelectQuery::Window> SelectQuery::parseWindow(size_t& pos, std::unique_ptr<Expr> function) {
    const auto& t = m_runner.tokens();
    auto at = [&](size_t k) -> const Token& { return k < t.size() ? t[k] : t.back(); };
    const size_t overAt = pos;
    ++pos; // over
    if (function->kind != Expr::Kind::Function ||
        !(ranking(function->name) || offsetting(function->name) || framedValue(function->name) ||
          Evaluator::isAggregate(*function))) {
        notSupported(); // other functions over a window, and window names
    }
    if (function->negated) {
        throw SqlError(10759, 15, "Use of DISTINCT is not allowed with the OVER clause.");
    }
    auto window = std::make_shared<Window>();
    window->function = std::move(function);
    if (!at(pos).isSymbol("(")) {
        syntaxError(at(pos));
    }
    ++pos;
    auto list = [&](bool ordering) {
        if (!at(pos).isWord("by")) {
            syntaxError(at(pos));
        }
        ++pos;
        while (true) {
            ExpressionParser p(t, pos, m_runner.text());
            (ordering ? window->order : window->partition).push_back(p.parse());
            if (ordering) {
                window->descending.push_back(at(pos).isWord("desc"));
                if (at(pos).isWord("asc") || at(pos).isWord("desc")) {
                    ++pos;
                }
            }
            if (!at(pos).isSymbol(",")) {
                break;
            }
            ++pos;
        }
    };
    if (at(pos).isWord("partition")) {
        ++pos;
        list(false);
    }
    if (at(pos).isWord("order")) {
        ++pos;
        list(true);
    }
    if (at(pos).isWord("rows") || at(pos).isWord("range")) {
        window->frame = parseFrame(t, pos);
    }
    if (!at(pos).isSymbol(")")) {
        syntaxError(at(pos));
    }
    ++pos;
    const std::string& name = window->function->name;
    checkFrame(window->frame, name, !window->order.empty(), int(at(overAt).line));
    if ((ranking(name) || offsetting(name) || framedValue(name)) && window->order.empty()) {
        throw SqlError(4112, 15, "The function '" + name + "' must have an OVER clause with ORDER BY.", 1, {},
                       int(at(overAt).line));
    }
    // Only the whole item is a window function here (not one inside a larger expression).
    if (at(pos).kind == Token::Kind::Symbol && !at(pos).isSymbol(",") && !at(pos).isSymbol(")") &&
        !at(pos).isSymbol(";")) {
        notSupported();
    }
    return window;
}

void SelectQuery::bindWindows(Core& core) {
    if (!core.windows) {
        return;
    }
    if (core.grouped) {
        notSupported(); // window functions over grouped rows
    }
    EvalScope s = makeScope(core);
    size_t column = 0;
    for (const auto& item : core.items) {
        if (item.expr->kind == Expr::Kind::Star) {
            for (const Source& src : core.sources) {
                if (item.expr->qualifier.empty() || sameName(item.expr->qualifier, src.alias)) {
                    column += src.columns.size();
                }
            }
            continue;
        }
        if (item.window) {
            const Expr& f = *item.window->function;
            Column& c = core.columns.at(column);
            if (ranking(f.name) || f.name == "count_big") {
                c.type = ColumnType::of(SqlType::BigInt);
                c.nullable = false;
            } else if (f.name == "count") {
                c.type = ColumnType::of(SqlType::Int);
                c.nullable = false;
            } else if (framedValue(f.name)) {
                if (f.args.size() != 1) {
                    throw SqlError(174, 15, "The " + f.name + " function requires 1 argument(s).");
                }
                c.type = Evaluator::typeOf(*f.args[0], s);
                c.nullable = true;
            } else if (offsetting(f.name)) {
                if (f.args.empty() || f.args.size() > 3) {
                    throw SqlError(174, 15, "The " + f.name + " function requires 1 to 3 argument(s).");
                }
                c.type = Evaluator::typeOf(*f.args[0], s);
                c.nullable = true;
            } else {
                c.type = Evaluator::typeOf(f, s);
                c.nullable = true;
            }
            if (f.name == "ntile" && f.args.size() != 1) {
                throw SqlError(174, 15, "The ntile function requires 1 argument(s).");
            }
        }
        ++column;
    }
}

std::vector<SqlValue> SelectQuery::windowInputs(Pass& p) {
    std::vector<SqlValue> values;
    for (const auto& item : p.core.items) {
        if (!item.window) {
            continue;
        }
        for (const auto& e : item.window->partition) {
            values.push_back(Evaluator::eval(*e, p.scope));
        }
        for (const auto& e : item.window->order) {
            values.push_back(Evaluator::eval(*e, p.scope));
        }
        for (const auto& a : item.window->function->args) {
            values.push_back(a->kind == Expr::Kind::Star ? SqlValue(int64_t(1))
                                                         : Evaluator::eval(*a, p.scope));
        }
    }
    return values;
}

void SelectQuery::computeWindows(Pass& p) {
    Core& core = p.core;
    std::vector<Row>& rows = p.out.rows;
    size_t column = 0, input = 0;
    for (const auto& item : core.items) {
        if (item.expr->kind == Expr::Kind::Star) {
            for (const Source& src : core.sources) {
                if (item.expr->qualifier.empty() || sameName(item.expr->qualifier, src.alias)) {
                    column += src.columns.size();
                }
            }
            continue;
        }
        if (!item.window) {
            ++column;
            continue;
        }
        const Window& w = *item.window;
        const Expr& f = *w.function;
        const size_t parts = w.partition.size(), orders = w.order.size(), args = f.args.size();
        auto in = [&](size_t row, size_t k) -> const SqlValue& { return p.windowInputs[row][input + k]; };
        // Rows by partition, then by the window's order (stable: ties keep their order).
        std::vector<size_t> order(rows.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            for (size_t k = 0; k < parts + orders; ++k) {
                int c = compareForSort(in(a, k), in(b, k));
                if (c != 0) {
                    return k >= parts && w.descending[k - parts] ? c > 0 : c < 0;
                }
            }
            return false;
        });
        auto samePartition = [&](size_t a, size_t b) {
            for (size_t k = 0; k < parts; ++k) {
                if (!sameValue(in(a, k), in(b, k))) {
                    return false;
                }
            }
            return true;
        };
        auto peers = [&](size_t a, size_t b) {
            for (size_t k = parts; k < parts + orders; ++k) {
                if (!sameValue(in(a, k), in(b, k))) {
                    return false;
                }
            }
            return true;
        };
        const ColumnType type = p.out.columns[column].type;
        // Without a frame: up to the current row and its peers when ordered, else the whole partition.
        Frame frame = w.frame;
        if (!frame.given) {
            frame.range = true;
            frame.start = Frame::Bound::UnboundedPreceding;
            frame.end = orders > 0 ? Frame::Bound::CurrentRow : Frame::Bound::UnboundedFollowing;
        }
        const ColumnType argType = args > 0 && f.args[0]->kind != Expr::Kind::Star
                                       ? Evaluator::typeOf(*f.args[0], p.scope)
                                       : ColumnType::of(SqlType::Int);
        for (size_t first = 0; first < order.size();) {
            size_t end = first + 1;
            while (end < order.size() && samePartition(order[first], order[end])) {
                ++end;
            }
            const size_t n = end - first;
            int64_t rank = 1, dense = 1;
            auto add = [&](Accumulator& into, size_t at) {
                if (f.args.empty() || f.args[0]->kind == Expr::Kind::Star) {
                    ++into.count;
                } else {
                    into.add(f, in(order[at], parts + orders), argType);
                }
            };
            auto frameOf = [&](size_t i) {
                return frameRows(frame, i, n, [&](size_t a, size_t b) {
                    return peers(order[first + a], order[first + b]);
                });
            };
            Accumulator acc;
            size_t added = first; // rows of the partition already in acc
            // Frames to the partition's end only grow from the last row back: one running total, read
            // backwards, serves them.
            std::vector<SqlValue> toEnd;
            if (Evaluator::isAggregate(f) && frame.start != Frame::Bound::UnboundedPreceding &&
                frame.end == Frame::Bound::UnboundedFollowing) {
                toEnd.resize(n);
                Accumulator back;
                size_t from = end; // rows of the partition already in back: from .. end
                for (size_t i = n; i-- > 0;) {
                    const auto [lo, hi] = frameOf(i);
                    if (lo >= hi) {
                        toEnd[i] = Accumulator{}.result(f, type);
                        continue;
                    }
                    for (; from > first + lo; --from) {
                        add(back, from - 1);
                    }
                    toEnd[i] = back.result(f, type);
                }
            }
            for (size_t k = first; k < end; ++k) {
                const size_t row = order[k];
                SqlValue& out = rows[row][column];
                const size_t i = k - first;
                if (k > first && !peers(order[k - 1], row)) {
                    rank = int64_t(i) + 1;
                    ++dense;
                }
                if (f.name == "row_number") {
                    out = SqlValue(int64_t(i) + 1);
                } else if (f.name == "rank") {
                    out = SqlValue(rank);
                } else if (f.name == "dense_rank") {
                    out = SqlValue(dense);
                } else if (f.name == "ntile") {
                    const SqlValue& given = in(row, parts + orders);
                    if (given.isNull() || given.toInt() <= 0) {
                        throw SqlError(4114, 16,
                                       "The function 'ntile' takes only a positive integer as an argument.");
                    }
                    const int64_t tiles = given.toInt(), size = int64_t(n) / tiles,
                                  extra = int64_t(n) % tiles;
                    // The first n % tiles groups hold one row more.
                    const int64_t big = extra * (size + 1);
                    out = SqlValue(int64_t(i) < big
                                       ? int64_t(i) / (size + 1) + 1
                                       : extra + (int64_t(i) - big) / std::max<int64_t>(size, 1) + 1);
                } else if (offsetting(f.name)) {
                    int64_t offset = args > 1 && !in(row, parts + orders + 1).isNull()
                                         ? in(row, parts + orders + 1).toInt()
                                         : 1;
                    if (offset < 0) {
                        throw SqlError(
                            8730, 16,
                            "Offset parameter for Lag and Lead functions cannot be a negative value.");
                    }
                    const int64_t target = f.name == "lag" ? int64_t(i) - offset : int64_t(i) + offset;
                    out = target >= 0 && target < int64_t(n)
                              ? in(order[first + size_t(target)], parts + orders)
                              : (args > 2 ? in(row, parts + orders + 2) : SqlValue::null());
                    out = out.isNull() ? out : Evaluator::coerce(out, type);
                } else {
                    // An aggregate, first_value or last_value over the rows of this row's frame.
                    const auto [lo, hi] = frameOf(i);
                    if (framedValue(f.name)) {
                        out = lo >= hi ? SqlValue::null()
                                       : in(order[first + (f.name == "first_value" ? lo : hi - 1)],
                                            parts + orders);
                        out = out.isNull() ? out : Evaluator::coerce(out, type);
                    } else if (!toEnd.empty()) {
                        out = toEnd[i];
                    } else if (frame.start == Frame::Bound::UnboundedPreceding) {
                        // Frames from the partition's start only grow: one running total serves them.
                        for (; added < first + hi; ++added) {
                            add(acc, added);
                        }
                        out = acc.result(f, type);
                    } else {
                        Accumulator window;
                        for (size_t at = first + lo; at < first + hi; ++at) {
                            add(window, at);
                        }
                        out = window.result(f, type);
                    }
                }
            }
            first = end;
        }
        input += parts + orders + args;
        ++column;
    }
}

} // namespace sqlsim::model
