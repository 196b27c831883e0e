#include "CommonTableWrite.h"

#include "BatchRunner.h"
#include "Names.h"
#include "ObjectDef.h"
#include "SelectQueryParts.h"

#include <algorithm>
#include <numeric>

namespace sqlsim::model {

namespace {

[[noreturn]] void refuse() {
    throw SqlError(50000, 16, "__not_supported__");
}

[[noreturn]] void grouped(const std::string& name) {
    throw SqlError(4403, 16,
                   "Cannot update the view or function '" + name +
                       "' because it contains aggregates, or a DISTINCT or GROUP BY clause, or PIVOT or "
                       "UNPIVOT operator.");
}

} // namespace

std::unique_ptr<CommonTableWrite> CommonTableWrite::find(BatchRunner& runner, const std::string& name,
                                                         bool isDelete) {
    const auto parts = splitName(name);
    if (parts.size() != 1 || !runner.commonTable(parts[0])) {
        return nullptr;
    }
    const size_t query = runner.commonTableQuery(parts[0]);
    if (query == size_t(-1)) {
        refuse(); // a recursive expression
    }
    std::unique_ptr<CommonTableWrite> w(new CommonTableWrite(runner, parts[0]));
    w->m_rows = runner.commonTable(parts[0]);
    w->parse(query, isDelete);
    return w;
}

// select [top (n)] items from source [[as] alias] [where ...] [order by ...]
void CommonTableWrite::parse(size_t pos, bool isDelete) {
    const auto& t = m_runner.tokens();
    auto at = [&](size_t k) -> const Token& { return k < t.size() ? t[k] : t.back(); };
    auto expression = [&]() {
        ExpressionParser p(t, pos, m_runner.text());
        return p.parse();
    };
    ++pos; // select
    if (at(pos).isWord("distinct")) {
        grouped(m_name);
    }
    pos += at(pos).isWord("all") ? 1 : 0;
    if (at(pos).isWord("top")) {
        ++pos;
        if (at(pos).kind == Token::Kind::Number &&
            std::all_of(at(pos).text.begin(), at(pos).text.end(),
                        [](char c) { return c >= '0' && c <= '9'; }) &&
            at(pos).text.size() < 19) {
            // top n: a whole number without parentheses.
            m_top = std::make_unique<Expr>();
            m_top->value = SqlValue(int64_t(std::stoll(at(pos).text)));
            ++pos;
        } else {
            if (!at(pos).isSymbol("(")) {
                refuse();
            }
            ++pos;
            m_top = expression();
            if (!at(pos).isSymbol(")")) {
                refuse();
            }
            ++pos;
        }
        if (at(pos).isWord("percent") || at(pos).isWord("with")) {
            refuse();
        }
    }
    while (true) {
        Item item;
        if (at(pos).isSymbol("*")) {
            item.star = true;
            ++pos;
        } else if (at(pos).isName() && at(pos + 1).isSymbol(".") && at(pos + 2).isSymbol("*")) {
            item.star = true;
            pos += 3;
        } else {
            const bool named = at(pos).isName() && at(pos + 1).isSymbol("=");
            pos += named ? 2 : 0;
            std::unique_ptr<Expr> e = expression();
            bool windowed = false;
            if (at(pos).isWord("over")) {
                // A window function: a computed column; its values are the statement's.
                windowed = true;
                ++pos;
                for (int depth = 0; at(pos).kind != Token::Kind::End; ++pos) {
                    depth += at(pos).isSymbol("(") ? 1 : at(pos).isSymbol(")") ? -1 : 0;
                    if (depth == 0) {
                        ++pos;
                        break;
                    }
                }
            }
            if (!windowed) {
                selectparts::walk(*e, [&](const Expr& x) {
                    if (Evaluator::isAggregate(x)) {
                        grouped(m_name);
                    }
                });
            }
            if (!windowed && e->kind == Expr::Kind::Column) {
                item.sourceColumn = e->name;
            }
            if (!named) {
                pos += at(pos).isWord("as") ? 1 : 0;
                if ((at(pos).isName() && !selectparts::isClauseWord(at(pos))) ||
                    at(pos).kind == Token::Kind::String) {
                    ++pos;
                }
            }
        }
        m_items.push_back(std::move(item));
        if (!at(pos).isSymbol(",")) {
            break;
        }
        ++pos;
    }
    if (!at(pos).isWord("from")) {
        refuse(); // nothing to write
    }
    ++pos;
    if (!at(pos).isName()) {
        refuse(); // a derived table, a function's rows
    }
    std::string source;
    while (true) {
        source += bracketed(at(pos).text);
        ++pos;
        if (!at(pos).isSymbol(".")) {
            break;
        }
        source += ".";
        ++pos;
        if (!at(pos).isName()) {
            refuse();
        }
    }
    m_alias = splitName(source).back();
    pos += at(pos).isWord("as") ? 1 : 0;
    if (at(pos).isName() && !selectparts::isClauseWord(at(pos))) {
        m_alias = at(pos).text;
        ++pos;
    }
    for (const char* more : {"join", "inner", "left", "right", "full", "cross", "outer"}) {
        if (at(pos).isWord(more) || at(pos).isSymbol(",")) {
            if (isDelete) {
                throw SqlError(4405, 16,
                               "View or function '" + m_name +
                                   "' is not updatable because the modification affects multiple base "
                                   "tables.");
            }
            refuse(); // which table an update or insert writes, through a join
        }
    }
    if (at(pos).isWord("where")) {
        ++pos;
        m_where = expression();
    }
    if (at(pos).isWord("group") || at(pos).isWord("having")) {
        grouped(m_name);
    }
    if (at(pos).isWord("order")) {
        pos += 2; // order by
        while (true) {
            std::unique_ptr<Expr> e = expression();
            const bool descending = at(pos).isWord("desc");
            pos += at(pos).isWord("asc") || descending ? 1 : 0;
            m_order.push_back({std::move(e), descending});
            if (!at(pos).isSymbol(",")) {
                break;
            }
            ++pos;
        }
    }
    if (!at(pos).isSymbol(")")) {
        refuse(); // union, offset, options, table hints
    }
    if (splitName(source).size() == 1 && m_runner.commonTable(splitName(source)[0])) {
        if (sameName(splitName(source)[0], m_name)) {
            refuse();
        }
        m_inner = find(m_runner, source, isDelete);
        m_table = m_inner->tableName();
    } else {
        m_table = source;
    }
}

const std::string& CommonTableWrite::tableName() const {
    return m_table;
}

void CommonTableWrite::bind(const ObjectDef& table) {
    m_tableDef = &table;
    if (m_inner) {
        m_inner->bind(table);
    }
    // What the query reads: the table's rows or those of the expression it reads.
    Relation tableRows;
    const Relation* source = nullptr;
    if (m_inner) {
        source = &m_inner->relation();
    } else {
        for (const auto& c : table.columns) {
            tableRows.columns.push_back(Column{c.name, c.type, c.nullable, c.identity, c.isComputed()});
        }
        source = &tableRows;
    }
    const size_t count = m_inner ? source->rows.size() : table.rows.size();
    auto rowAt = [&](size_t k) -> const Row& { return m_inner ? source->rows[k] : table.rows[k]; };
    // Which of the source's columns each column is.
    m_columnSources.clear();
    for (const Item& item : m_items) {
        if (item.star) {
            for (const Column& c : source->columns) {
                m_columnSources.push_back(c.name);
            }
        } else {
            m_columnSources.push_back(item.sourceColumn);
        }
    }
    if (m_columnSources.size() != m_rows->columns.size()) {
        refuse();
    }
    // The source's rows the query keeps, in its order: they are the expression's rows, one for one.
    std::vector<size_t> kept;
    std::vector<std::vector<SqlValue>> keys;
    for (size_t k = 0; k < count; ++k) {
        EvalScope s = m_runner.scope({{m_alias, source}}, &rowAt(k));
        if (m_where && !Evaluator::isTrue(*m_where, s)) {
            continue;
        }
        kept.push_back(k);
        std::vector<SqlValue> key;
        for (const auto& [e, descending] : m_order) {
            key.push_back(Evaluator::eval(*e, s));
        }
        keys.push_back(std::move(key));
    }
    std::vector<size_t> order(kept.size());
    std::iota(order.begin(), order.end(), size_t(0));
    if (!m_order.empty()) {
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            for (size_t k = 0; k < m_order.size(); ++k) {
                int c = selectparts::compareForSort(keys[a][k], keys[b][k]);
                if (c != 0) {
                    return m_order[k].second ? c > 0 : c < 0;
                }
            }
            return false;
        });
    }
    if (m_top) {
        const SqlValue n = Evaluator::eval(*m_top, m_runner.scope({}, nullptr));
        const int64_t limit = n.isNull() ? 0 : n.toInt();
        if (limit >= 0 && size_t(limit) < order.size()) {
            order.resize(size_t(limit));
        }
    }
    if (order.size() != m_rows->rows.size()) {
        refuse(); // the rows are not the query's own one for one
    }
    m_base.clear();
    for (size_t i : order) {
        m_base.push_back(m_inner ? m_inner->tableRow(kept[i]) : kept[i]);
    }
}

int CommonTableWrite::tableColumn(const std::string& column) const {
    for (size_t i = 0; i < m_rows->columns.size(); ++i) {
        if (!sameName(m_rows->columns[i].name, column)) {
            continue;
        }
        const std::string& source = m_columnSources.at(i);
        if (source.empty()) {
            throw SqlError(4406, 16,
                           "Update or insert of view or function '" + m_name +
                               "' failed because it contains a derived or constant field.");
        }
        if (m_inner) {
            return m_inner->tableColumn(source);
        }
        const int index = m_tableDef->columnIndex(source);
        if (index < 0) {
            refuse();
        }
        return index;
    }
    throw SqlError(207, 16, "Invalid column name '" + column + "'.");
}

std::vector<int> CommonTableWrite::allTableColumns() const {
    std::vector<int> columns;
    for (const Column& c : m_rows->columns) {
        columns.push_back(tableColumn(c.name));
    }
    return columns;
}

} // namespace sqlsim::model
