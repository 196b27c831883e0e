#include "BenchRows.h"

#include "model/DemoInstance.h"
#include "model/InstanceResponder.h"

using namespace sqlsim;

namespace {

model::TableColumn column(const char* name, ColumnType type, bool nullable = true) {
    model::TableColumn c;
    c.name = name;
    c.type = type;
    c.nullable = nullable;
    return c;
}

} // namespace

std::string benchRowName(long i) {
    return "customer " + std::to_string(i * 7919 % 1000003);
}

std::unique_ptr<Responder> makeBenchRowsInstance(long rows, bool withFlag) {
    auto responder = makeBareInstance("bench");
    model::Database& master = *static_cast<model::InstanceResponder&>(*responder).instance().findDatabase("master");
    std::vector<model::TableColumn> columns = {
        column("id", ColumnType::of(SqlType::Int), false), column("name", ColumnType::of(SqlType::NVarChar, 50)),
        column("created", ColumnType::of(SqlType::DateTime)),
        column("amount", ColumnType::of(SqlType::Decimal, 0, 18, 2))};
    if (withFlag)
        columns.push_back(column("flag", ColumnType::of(SqlType::Bit)));
    model::ObjectDef& table = master.addTable("bench_rows", std::move(columns));
    table.rows.reserve(size_t(rows));
    const DateTimeValue base = DateTimeValue::fromParts(2020, 1, 1);
    for (long i = 0; i < rows; ++i) {
        DateTimeValue at = base;
        at.days += int32_t(i / 86400);
        at.micros = int64_t(i % 86400) * 1000000 + (i % 1000) * 1000;
        Row row = {SqlValue(int64_t(i)), SqlValue(benchRowName(i)), SqlValue(at),
                   SqlValue(DecimalValue{__int128(i) * 37 - 5000, 2})};
        if (withFlag)
            row.push_back(SqlValue(i % 3 == 0));
        table.rows.push_back(std::move(row));
    }
    return responder;
}
