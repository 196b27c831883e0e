#include "TestResponder.h"

namespace sqlsimtest {

using namespace sqlsim;
using C = const std::vector<std::string>&;

TestResponder::TestResponder() : FixedCatalog("Secret1") {
    addLogin("anna", "p;a=s{s}");
    addRule(Match::Exact, "select 1 as a; print 'between'; select N'x' as b",
            [](const Request&, Session&, Response& out, C) {
                out.resultSet(ResultSet().column("a", ColumnType::of(SqlType::Int)).row({1}));
                out.info("between");
                out.resultSet(ResultSet().column("b", ColumnType::of(SqlType::NVarChar, 1)).row({"x"}));
            });
    addRule(Match::Exact, "select 1/0", [](const Request&, Session&, Response& out, C) {
        out.error(8134, 16, "Divide by zero error encountered.");
    });
    addRule(Match::Exact, "update t set a = 1",
            [](const Request&, Session&, Response& out, C) { out.rowCount(3); });
    addRule(Match::Regex, R"(select @P\d+(\s*,\s*@P\d+)*)",
            [](const Request& req, Session&, Response& out, C) {
                // Echoes the parameters: one column per parameter, named after it.
                ResultSet rs;
                Row row;
                for (const Param& p : req.params) {
                    rs.column(p.name, ColumnType::of(SqlType::NVarChar, ColumnType::kMax));
                    row.push_back(p.value);
                }
                out.resultSet(rs.row(row));
            });
    addRule(Match::Exact, "select every type", [](const Request&, Session&, Response& out, C) {
        ResultSet rs;
        rs.column("bit", ColumnType::of(SqlType::Bit))
            .column("tinyint", ColumnType::of(SqlType::TinyInt))
            .column("smallint", ColumnType::of(SqlType::SmallInt))
            .column("int", ColumnType::of(SqlType::Int))
            .column("bigint", ColumnType::of(SqlType::BigInt))
            .column("real", ColumnType::of(SqlType::Real))
            .column("float", ColumnType::of(SqlType::Float))
            .column("decimal", ColumnType::of(SqlType::Decimal, 0, 18, 2))
            .column("numeric", ColumnType::of(SqlType::Numeric, 0, 38, 10))
            .column("money", ColumnType::of(SqlType::Money))
            .column("smallmoney", ColumnType::of(SqlType::SmallMoney))
            .column("datetime", ColumnType::of(SqlType::DateTime))
            .column("smalldatetime", ColumnType::of(SqlType::SmallDateTime))
            .column("char", ColumnType::of(SqlType::Char, 5))
            .column("varchar", ColumnType::of(SqlType::VarChar, 20))
            .column("nchar", ColumnType::of(SqlType::NChar, 3))
            .column("nvarchar", ColumnType::of(SqlType::NVarChar, 20))
            .column("nvarcharmax", ColumnType::of(SqlType::NVarChar, ColumnType::kMax))
            .column("text", ColumnType::of(SqlType::Text))
            .column("ntext", ColumnType::of(SqlType::NText))
            .column("guid", ColumnType::of(SqlType::UniqueIdentifier))
            .column("binary", ColumnType::of(SqlType::Binary, 2))
            .column("varbinary", ColumnType::of(SqlType::VarBinary, 10))
            .column("image", ColumnType::of(SqlType::Image));
        DecimalValue dec, num, money, small;
        DecimalValue::parse("-1234.56", dec);
        DecimalValue::parse("12345678901234567890.0123456789", num);
        DecimalValue::parse("922337203685477.5807", money);
        DecimalValue::parse("-214748.3648", small);
        GuidValue guid;
        GuidValue::parse("6F9619FF-8B86-D011-B42D-00C04FC964FF", guid);
        std::string big(20000, 'z');
        rs.row({true,
                255,
                -32768,
                int64_t(-2147483647 - 1),
                int64_t(9223372036854775807LL),
                1.5,
                2.25,
                dec,
                num,
                money,
                small,
                DateTimeValue::fromParts(2026, 12, 9, 23, 59, 58, 997),
                DateTimeValue::fromParts(1999, 1, 2, 3, 4),
                "ab",
                "Fran\xc3\xa7ois",
                "\xd1\x8f",
                "Ёлка",
                big,
                "long text",
                "длинный",
                guid,
                Bytes{0xAB},
                Bytes{0x00, 0xFF, 0x10},
                Bytes{1, 2, 3}});
        rs.row(Row(rs.columns.size()));
        out.resultSet(rs);
    });
    addRule(Match::Regex, R"(select top (\d+) \* from generated)",
            [](const Request&, Session&, Response& out, C cap) {
                ResultSet rs;
                rs.column("id", ColumnType::of(SqlType::Int), false)
                    .column("name", ColumnType::of(SqlType::NVarChar, 50))
                    .column("created", ColumnType::of(SqlType::DateTime));
                auto limit = std::stoll(cap[1]);
                auto next = std::make_shared<int64_t>(0);
                rs.generator = [limit, next](Row& row) {
                    if (*next >= limit) {
                        return false;
                    }
                    int64_t i = (*next)++;
                    row = {i, "row number " + std::to_string(i),
                           DateTimeValue::fromParts(2020, 1, 1, 0, 0, int(i % 60))};
                    return true;
                };
                out.resultSet(rs);
            });
}

} // namespace sqlsimtest
