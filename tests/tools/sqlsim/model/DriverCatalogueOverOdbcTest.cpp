// The driver's own catalogue functions (SQLTables, SQLColumns, SQLPrimaryKeys, SQLGetTypeInfo ...)
// answered by the demo instance through unixODBC + FreeTDS, row for row from the model.
#include "DemoServerFixture.h"

#include <algorithm>

using namespace sqlsimtest;
using testsupport::Cell;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<std::vector<Cell>>;

class DriverCatalogueOverOdbc : public DemoServerFixture {};

TEST_F(DriverCatalogueOverOdbc, ANewTableAppearsInTablesColumnsAndKeysAndGoesWithItsDrop) {
    auto sa = connect("sa", "Secret1", "Sales");
    ASSERT_TRUE(sa->exec("create table dbo.CatProbe (id int not null, label nvarchar(40) null, "
                         "amount decimal(9,2) not null, constraint PK_CatProbe primary key (id))")
                    .ok);

    OdbcOutcome tables = sa->tables("", "Cat%");
    ASSERT_TRUE(tables.ok) << ::testing::PrintToString(messages(tables));
    ASSERT_EQ(tables.results.size(), 1u);
    EXPECT_EQ(tables.results[0].columns,
              (Strings{"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "TABLE_TYPE", "REMARKS"}));
    EXPECT_EQ(tables.results[0].rows, (Rows{{"Sales", "dbo", "CatProbe", "TABLE", {}}}));
    EXPECT_NE(logText().find(R"("proc":"sp_tables")"), std::string::npos);
    // Views only, by type list: the demo's views and none of the tables.
    OdbcOutcome views = sa->tables("", "%", "'VIEW'");
    EXPECT_EQ(column(views, 2), (Strings{"vCustomerOrders", "vs_ExtProps"}));
    EXPECT_EQ(column(views, 3), (Strings{"VIEW", "VIEW"}));
    EXPECT_EQ(column(sa->tables("", "_rders"), 2), (Strings{"Orders"}));

    OdbcOutcome columns = sa->columns("", "dbo", "CatProbe");
    ASSERT_TRUE(columns.ok) << ::testing::PrintToString(messages(columns));
    EXPECT_EQ(column(columns, 3), (Strings{"id", "label", "amount"}));
    EXPECT_EQ(column(columns, 4), (Strings{"4", "-9", "3"}));
    EXPECT_EQ(column(columns, 5), (Strings{"int", "nvarchar", "decimal"}));
    EXPECT_EQ(column(columns, 6), (Strings{"10", "40", "9"}));
    EXPECT_EQ(column(columns, 8), (Strings{"0", "NULL", "2"}));
    EXPECT_EQ(column(columns, 10), (Strings{"0", "1", "0"}));
    EXPECT_EQ(column(columns, 16), (Strings{"1", "2", "3"}));
    EXPECT_EQ(column(columns, 17), (Strings{"NO", "YES", "NO"}));

    OdbcOutcome keys = sa->primaryKeys("", "dbo", "CatProbe");
    ASSERT_TRUE(keys.ok) << ::testing::PrintToString(messages(keys));
    EXPECT_EQ(keys.results.at(0).rows, (Rows{{"Sales", "dbo", "CatProbe", "id", "1", "PK_CatProbe"}}));

    ASSERT_TRUE(sa->exec("drop table dbo.CatProbe").ok);
    OdbcOutcome gone = sa->tables("", "Cat%");
    ASSERT_TRUE(gone.ok);
    EXPECT_TRUE(gone.results.at(0).rows.empty());
    EXPECT_TRUE(sa->columns("", "dbo", "CatProbe").results.at(0).rows.empty());
    EXPECT_TRUE(sa->primaryKeys("", "dbo", "CatProbe").results.at(0).rows.empty());
}

TEST_F(DriverCatalogueOverOdbc, TypeInfoListsTheModelsTypesInTheDocumentedShape) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome all = sa->typeInfo(SQL_ALL_TYPES);
    ASSERT_TRUE(all.ok) << ::testing::PrintToString(messages(all));
    ASSERT_EQ(all.results.size(), 1u);
    const Strings& cols = all.results[0].columns;
    ASSERT_GE(cols.size(), 19u);
    EXPECT_EQ(
        Strings(cols.begin(), cols.begin() + 19),
        (Strings{"TYPE_NAME", "DATA_TYPE", "COLUMN_SIZE", "LITERAL_PREFIX", "LITERAL_SUFFIX", "CREATE_PARAMS",
                 "NULLABLE", "CASE_SENSITIVE", "SEARCHABLE", "UNSIGNED_ATTRIBUTE", "FIXED_PREC_SCALE",
                 "AUTO_UNIQUE_VALUE", "LOCAL_TYPE_NAME", "MINIMUM_SCALE", "MAXIMUM_SCALE", "SQL_DATA_TYPE",
                 "SQL_DATETIME_SUB", "NUM_PREC_RADIX", "INTERVAL_PRECISION"}));
    const std::vector<SQLSMALLINT>& types = all.results[0].types;
    ASSERT_GE(types.size(), 3u);
    EXPECT_EQ(std::vector<SQLSMALLINT>(types.begin(), types.begin() + 3),
              (std::vector<SQLSMALLINT>{SQL_WVARCHAR, SQL_SMALLINT, SQL_INTEGER}));
    EXPECT_NE(logText().find("sp_datatype_info_100"), std::string::npos);
    // Ordered by ODBC type code, and every type a column of the model can have is there.
    Strings codes = column(all, 1);
    std::vector<int> numbers;
    for (const std::string& c : codes) {
        numbers.push_back(std::stoi(c));
    }
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    Strings names = column(all, 0);
    for (const char* t : {"int", "nvarchar", "varchar", "decimal", "money", "datetime", "bit",
                          "uniqueidentifier", "varbinary", "int identity"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), t), names.end()) << t;
    }

    // One type code: the integer and its identity form, the latter not nullable and auto-incrementing.
    OdbcOutcome ints = sa->typeInfo(SQL_INTEGER);
    ASSERT_TRUE(ints.ok) << ::testing::PrintToString(messages(ints));
    EXPECT_EQ(column(ints, 0), (Strings{"int", "int identity"}));
    EXPECT_EQ(column(ints, 2), (Strings{"10", "10"}));
    EXPECT_EQ(column(ints, 6), (Strings{"1", "0"}));
    EXPECT_EQ(column(ints, 11), (Strings{"0", "1"}));
    OdbcOutcome dates = sa->typeInfo(SQL_TYPE_TIMESTAMP);
    EXPECT_EQ(column(dates, 0), (Strings{"datetime", "smalldatetime"}));
    EXPECT_EQ(column(dates, 15), (Strings{"9", "9"}));
    EXPECT_EQ(column(dates, 16), (Strings{"3", "3"}));
    OdbcOutcome text = sa->typeInfo(SQL_WVARCHAR);
    EXPECT_EQ(column(text, 3), (Strings{"N'"}));
    EXPECT_EQ(column(text, 5), (Strings{"max length"}));
}

TEST_F(DriverCatalogueOverOdbc, ForeignKeysFromEitherEndFollowTheModel) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome referencing = sa->foreignKeys("Orders", "");
    ASSERT_TRUE(referencing.ok) << ::testing::PrintToString(messages(referencing));
    ASSERT_EQ(referencing.results.size(), 1u);
    const Strings& cols = referencing.results[0].columns;
    ASSERT_GE(cols.size(), 14u);
    EXPECT_EQ(Strings(cols.begin(), cols.begin() + 14),
              (Strings{"PKTABLE_CAT", "PKTABLE_SCHEM", "PKTABLE_NAME", "PKCOLUMN_NAME", "FKTABLE_CAT",
                       "FKTABLE_SCHEM", "FKTABLE_NAME", "FKCOLUMN_NAME", "KEY_SEQ", "UPDATE_RULE",
                       "DELETE_RULE", "FK_NAME", "PK_NAME", "DEFERRABILITY"}));
    EXPECT_EQ(referencing.results[0].rows.size(), 1u);
    EXPECT_EQ(column(referencing, 6), (Strings{"OrderLines"}));
    EXPECT_EQ(column(referencing, 7), (Strings{"orderId"}));
    EXPECT_EQ(column(referencing, 11), (Strings{"FK_OrderLines_Orders"}));
    EXPECT_EQ(column(referencing, 12), (Strings{"PK_Orders"}));
    EXPECT_NE(logText().find("sp_fkeys"), std::string::npos);

    OdbcOutcome held = sa->foreignKeys("", "OrderLines");
    ASSERT_TRUE(held.ok) << ::testing::PrintToString(messages(held));
    EXPECT_EQ(column(held, 2), (Strings{"Orders", "Products"}));
    EXPECT_EQ(column(held, 3), (Strings{"id", "id"}));

    // A key added by a statement shows at once, with its delete rule; dropping the table takes it away.
    ASSERT_TRUE(sa->exec("create table dbo.CatNotes (id int not null primary key, "
                         "orderId int null references dbo.Orders (id) on delete cascade)")
                    .ok);
    OdbcOutcome added = sa->foreignKeys("Orders", "CatNotes");
    ASSERT_TRUE(added.ok) << ::testing::PrintToString(messages(added));
    EXPECT_EQ(column(added, 7), (Strings{"orderId"}));
    EXPECT_EQ(column(added, 10), (Strings{"0"}));
    EXPECT_EQ(column(added, 9), (Strings{"1"}));
    ASSERT_TRUE(sa->exec("drop table dbo.CatNotes").ok);
    EXPECT_TRUE(sa->foreignKeys("Orders", "CatNotes").results.at(0).rows.empty());
}

TEST_F(DriverCatalogueOverOdbc, StatisticsGiveTheTableRowThenThePrimaryKeyIndex) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome orders = sa->statistics("dbo", "Orders");
    ASSERT_TRUE(orders.ok) << ::testing::PrintToString(messages(orders));
    ASSERT_EQ(orders.results.size(), 1u);
    const Strings& cols = orders.results[0].columns;
    ASSERT_GE(cols.size(), 13u);
    EXPECT_EQ(Strings(cols.begin(), cols.begin() + 13),
              (Strings{"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "NON_UNIQUE", "INDEX_QUALIFIER",
                       "INDEX_NAME", "TYPE", "ORDINAL_POSITION", "COLUMN_NAME", "ASC_OR_DESC", "CARDINALITY",
                       "PAGES", "FILTER_CONDITION"}));
    EXPECT_EQ(
        std::vector<SQLSMALLINT>(orders.results[0].types.begin() + 3, orders.results[0].types.begin() + 7),
        (std::vector<SQLSMALLINT>{SQL_SMALLINT, SQL_WVARCHAR, SQL_WVARCHAR, SQL_SMALLINT}));
    EXPECT_EQ(column(orders, 6), (Strings{"0", "1"}));
    EXPECT_EQ(column(orders, 5), (Strings{"NULL", "PK_Orders"}));
    EXPECT_EQ(column(orders, 8), (Strings{"NULL", "id"}));
    EXPECT_EQ(column(orders, 9), (Strings{"NULL", "A"}));
    EXPECT_EQ(column(orders, 10), (Strings{"120", "120"}));
    EXPECT_NE(logText().find("sp_statistics"), std::string::npos);

    // A nonclustered two-column key keeps its order and directions; rows added show in the count.
    ASSERT_TRUE(sa->exec("create table dbo.CatPairs (a int not null, b int not null, "
                         "constraint PK_CatPairs primary key nonclustered (a desc, b))")
                    .ok);
    ASSERT_TRUE(sa->exec("insert into dbo.CatPairs (a, b) values (1, 1)").ok);
    ASSERT_TRUE(sa->exec("insert into dbo.CatPairs (a, b) values (1, 2)").ok);
    OdbcOutcome pairs = sa->statistics("dbo", "CatPairs");
    ASSERT_TRUE(pairs.ok) << ::testing::PrintToString(messages(pairs));
    EXPECT_EQ(column(pairs, 6), (Strings{"0", "3", "3"}));
    EXPECT_EQ(column(pairs, 7), (Strings{"NULL", "1", "2"}));
    EXPECT_EQ(column(pairs, 8), (Strings{"NULL", "a", "b"}));
    EXPECT_EQ(column(pairs, 9), (Strings{"NULL", "D", "A"}));
    EXPECT_EQ(column(pairs, 10), (Strings{"2", "2", "2"}));
    EXPECT_EQ(column(pairs, 3), (Strings{"NULL", "0", "0"}));

    // A table without a key has only its own row.
    ASSERT_TRUE(sa->exec("create table dbo.CatLoose (x int null)").ok);
    EXPECT_EQ(column(sa->statistics("dbo", "CatLoose"), 6), (Strings{"0"}));
}

TEST_F(DriverCatalogueOverOdbc, SpecialColumnsAreTheKeyColumns) {
    auto sa = connect("sa", "Secret1", "Sales");
    ASSERT_TRUE(sa->exec("create table dbo.CatCodes (region char(2) not null, code varchar(10) not null, "
                         "label nvarchar(20) null, constraint PK_CatCodes primary key (region, code))")
                    .ok);
    OdbcOutcome key = sa->specialColumns("dbo", "CatCodes");
    ASSERT_TRUE(key.ok) << ::testing::PrintToString(messages(key));
    ASSERT_EQ(key.results.size(), 1u);
    const Strings& cols = key.results[0].columns;
    ASSERT_GE(cols.size(), 8u);
    EXPECT_EQ(Strings(cols.begin(), cols.begin() + 8),
              (Strings{"SCOPE", "COLUMN_NAME", "DATA_TYPE", "TYPE_NAME", "COLUMN_SIZE", "BUFFER_LENGTH",
                       "DECIMAL_DIGITS", "PSEUDO_COLUMN"}));
    EXPECT_EQ(key.results[0].rows, (Rows{{"0", "region", "1", "char", "2", "2", {}, "1"},
                                         {"0", "code", "12", "varchar", "10", "10", {}, "1"}}));
    EXPECT_NE(logText().find("sp_special_columns"), std::string::npos);
    ASSERT_TRUE(sa->exec("create table dbo.CatLoose (x int null)").ok);
    OdbcOutcome none = sa->specialColumns("dbo", "CatLoose");
    ASSERT_TRUE(none.ok) << ::testing::PrintToString(messages(none));
    EXPECT_TRUE(none.results.at(0).rows.empty());
}

TEST_F(DriverCatalogueOverOdbc, CallsTheSimulatorCannotAnswerAreRefusedWhole) {
    auto sa = connect("sa", "Secret1", "Sales");
    // An identity key column, a table that does not exist.
    for (OdbcOutcome out : {sa->specialColumns("dbo", "Orders"), sa->statistics("dbo", "NoSuchTable")}) {
        EXPECT_FALSE(out.ok);
        Strings said = messages(out);
        ASSERT_EQ(said.size(), 1u);
        EXPECT_EQ(said[0].rfind("50000: Statement not supported by the simulator: sp_", 0), 0u) << said[0];
    }
}

TEST_F(DriverCatalogueOverOdbc, ProceduresOfAUserSchemaAreListedAndTheRestRefused) {
    auto sa = connect("sa", "Secret1", "Sales");
    OdbcOutcome procs = sa->procedures("dbo", "p_%");
    ASSERT_TRUE(procs.ok) << ::testing::PrintToString(messages(procs));
    ASSERT_EQ(procs.results.size(), 1u);
    const Strings& cols = procs.results[0].columns;
    ASSERT_GE(cols.size(), 8u);
    EXPECT_EQ(Strings(cols.begin(), cols.begin() + 8),
              (Strings{"PROCEDURE_CAT", "PROCEDURE_SCHEM", "PROCEDURE_NAME", "NUM_INPUT_PARAMS",
                       "NUM_OUTPUT_PARAMS", "NUM_RESULT_SETS", "REMARKS", "PROCEDURE_TYPE"}));
    EXPECT_EQ(procs.results[0].rows, (Rows{{"Sales", "dbo", "p_CustomerOrders;1", "-1", "-1", "-1", {}, "2"},
                                           {"Sales", "dbo", "p_Отчёт;1", "-1", "-1", "-1", {}, "2"}}));
    EXPECT_EQ(column(sa->procedures("dbo", "fn%"), 2), (Strings{"fn_CustomerOrders;0", "fn_OrderTotal;0"}));

    // The same procedures as the catalogue view lists.
    Strings listed;
    for (const std::string& name : column(sa->procedures("dbo", "%"), 2)) {
        if (name.size() > 2 && name.compare(name.size() - 2, 2, ";1") == 0) {
            listed.push_back(name.substr(0, name.size() - 2));
        }
    }
    Strings viewed = column(sa->exec("select name from sys.procedures where schema_id = 1"), 0);
    std::sort(viewed.begin(), viewed.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_FALSE(listed.empty());
    EXPECT_EQ(listed, viewed);

    // Without a schema the list would hold the server's own procedures; another login sees only
    // what it may run: neither is guessed at.
    auto clerk = connect("clerk", "clerk", "Sales");
    for (OdbcOutcome out : {sa->procedures("", "p_%"), clerk->procedures("dbo", "p_%")}) {
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(messages(out),
                  (Strings{"50000: Statement not supported by the simulator: ..sp_stored_procedures"}));
    }
}

} // namespace
