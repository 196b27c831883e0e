#include "ShopResponder.h"

using namespace sqlsim;
using C = const std::vector<std::string>&;

namespace {

const Param* param(const Request& r, const std::string& name) {
    return r.param(name);
}

ResultSet ordersResult(const std::vector<ShopResponder::Order>& orders) {
    ResultSet rs;
    rs.column("id", ColumnType::of(SqlType::Int), false)
        .column("name", ColumnType::of(SqlType::NVarChar, 50), false)
        .column("note", ColumnType::of(SqlType::NVarChar, 100));
    for (const auto& o : orders)
        rs.row({o.id, o.name, o.note});
    return rs;
}

} // namespace

ShopResponder::ShopResponder() : FixedCatalog("Secret1") {
    addLogin("anna", "p;a=s{s}}=");
    addLogin("olga", "\xd0\x9f\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c =;{");
    addDatabase("Shop");
    orders = {{1, "Anna", SqlValue()}, {2, "Boris", SqlValue("first")}, {3, "carl", SqlValue("x")}};

    addRule(Match::Regex, R"(select \* from (\[dbo\]\.)?\[?orders\]?)",
            [this](const Request&, Session&, Response& out, C) { out.resultSet(ordersResult(orders)); });
    addRule(Match::Regex, R"(select o\.id, o\.name from orders o join orders p on p\.id = o\.id)",
            [this](const Request&, Session&, Response& out, C) { out.resultSet(ordersResult(orders)); });
    addProcedure("sp_pkeys", [](const Request& r, Session& s, Response& out, C) {
        const Param* table = param(r, "table_name");
        ResultSet rs;
        rs.column("TABLE_QUALIFIER", ColumnType::of(SqlType::NVarChar, 128))
            .column("TABLE_OWNER", ColumnType::of(SqlType::NVarChar, 128))
            .column("TABLE_NAME", ColumnType::of(SqlType::NVarChar, 128))
            .column("COLUMN_NAME", ColumnType::of(SqlType::NVarChar, 128))
            .column("KEY_SEQ", ColumnType::of(SqlType::SmallInt))
            .column("PK_NAME", ColumnType::of(SqlType::NVarChar, 128));
        if (table != nullptr && equalsNoCase(table->value.toText(), "Orders"))
            rs.row({s.database, "dbo", "Orders", "id", 1, "PK_Orders"});
        out.resultSet(rs);
    });
    addProcedure("sp_tables", [this](const Request&, Session&, Response& out, C) {
        ResultSet rs;
        rs.column("TABLE_QUALIFIER", ColumnType::of(SqlType::NVarChar, 128))
            .column("TABLE_OWNER", ColumnType::of(SqlType::NVarChar, 128))
            .column("TABLE_NAME", ColumnType::of(SqlType::NVarChar, 128))
            .column("TABLE_TYPE", ColumnType::of(SqlType::VarChar, 32))
            .column("REMARKS", ColumnType::of(SqlType::VarChar, 254));
        for (const std::string& db : databases())
            rs.row({db, SqlValue(), SqlValue(), SqlValue(), SqlValue()});
        out.resultSet(rs);
    });
    addRule(Match::Regex, R"(update Orders set note = (@P\d+))",
            [this](const Request& r, Session&, Response& out, C cap) {
                for (auto& o : orders)
                    o.note = r.param(cap[1])->value;
                out.info("updating");
                out.rowCount(int64_t(orders.size()));
            });
    addRule(Match::Exact, "select big", [](const Request&, Session&, Response& out, C) {
        std::string text;
        for (int i = 0; i < 100000; ++i)
            text += i % 2 ? "\xd0\x96" : "z"; // 100,000 characters, half of them Cyrillic
        Bytes bytes(150000);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = uint8_t(i * 31);
        GuidValue guid;
        GuidValue::parse("6F9619FF-8B86-D011-B42D-00C04FC964FF", guid);
        out.resultSet(ResultSet()
                          .column("id", ColumnType::of(SqlType::Int))
                          .column("text", ColumnType::of(SqlType::NVarChar, ColumnType::kMax))
                          .column("bytes", ColumnType::of(SqlType::VarBinary, ColumnType::kMax))
                          .column("guid", ColumnType::of(SqlType::UniqueIdentifier))
                          .row({1, text, bytes, guid})
                          .row({2, SqlValue(), SqlValue(), SqlValue()})
                          .row({3, "", Bytes(), guid}));
    });
    addRule(Match::Exact, "select 1 as a; print 'between'; select N'x' as b; print 'after'",
            [](const Request&, Session&, Response& out, C) {
                out.info("before");
                out.resultSet(ResultSet().column("a", ColumnType::of(SqlType::Int)).row({1}).row({2}));
                out.info("between");
                out.rowCount(4);
                out.resultSet(ResultSet().column("b", ColumnType::of(SqlType::NVarChar, 1)).row({"x"}));
                out.info("after");
            });
    addRule(Match::Exact, "select 1 as a; select 1/0", [](const Request&, Session&, Response& out, C) {
        out.resultSet(ResultSet().column("a", ColumnType::of(SqlType::Int)).row({1}));
        out.info("still delivered");
        out.error(8134, 16, "Divide by zero error encountered.");
    });
    addRule(Match::Exact, "select 1/0", [](const Request&, Session&, Response& out, C) {
        out.info("first");
        out.error(8134, 16, "Divide by zero error encountered.");
    });
    addRule(Match::Exact, "select when", [](const Request&, Session&, Response& out, C) {
        out.resultSet(
            ResultSet()
                .column("at", ColumnType::of(SqlType::DateTime))
                .column("amount", ColumnType::of(SqlType::Decimal, 0, 18, 2))
                .column("flag", ColumnType::of(SqlType::Bit))
                .row({DateTimeValue::fromParts(2004, 3, 15, 13, 45, 7, 123), DecimalValue{-123456, 2}, true})
                .row({SqlValue(), SqlValue(), SqlValue()}));
    });
    // Echoes its parameters as they arrived: one column per parameter, with its type in the name.
    addRule(Match::Regex, R"(select @P\d+(\s*,\s*@P\d+)*)", [](const Request& r, Session&, Response& out, C) {
        ResultSet rs;
        Row row;
        for (const Param& p : r.params) {
            rs.column(p.name.substr(1) + ":" + p.type.sqlName(),
                      ColumnType::of(SqlType::NVarChar, ColumnType::kMax));
            row.push_back(p.value.isNull() ? SqlValue() : SqlValue(p.value.toText()));
        }
        out.resultSet(rs.row(row));
    });
}
