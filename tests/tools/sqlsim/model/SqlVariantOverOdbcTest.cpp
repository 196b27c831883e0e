// sql_variant values and extended properties through unixODBC + FreeTDS: values keep their base
// type (SQL_VARIANT_PROPERTY tells it), convert out of it with the base type's rules, compare by
// type family; the property procedures check names, rights and existence, and a rollback or a
// dropped table takes their changes with it.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

constexpr SQLSMALLINT kVariantType = -150; // the driver's SQL_SS_VARIANT

class SqlVariantOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    Strings says(const std::string& text) { return messages(m_sa->exec(text)); }
    void ok(const std::string& text) {
        OdbcOutcome r = m_sa->exec(text);
        EXPECT_TRUE(r.ok) << text << "\n" << ::testing::PrintToString(messages(r));
    }
    // The first row of the first result, every column as text.
    Strings row(const std::string& text) {
        OdbcOutcome r = m_sa->exec(text);
        EXPECT_TRUE(r.ok) << text << "\n" << ::testing::PrintToString(messages(r));
        Strings out;
        if (!r.results.empty() && !r.results[0].rows.empty()) {
            for (const auto& cell : r.results[0].rows[0]) {
                out.push_back(cell ? *cell : "NULL");
            }
        }
        return out;
    }
    // The value of @v, set from expression, with its properties.
    Strings described(const std::string& expression) {
        // Read as text: the driver reads a number inside a sql_variant column only in one piece.
        return row(
            "declare @v sql_variant\nset @v = " + expression +
            "\nselect convert(nvarchar(100), @v), convert(sysname, sql_variant_property(@v, 'BaseType')), "
            "convert(int, sql_variant_property(@v, 'Precision')), "
            "convert(int, sql_variant_property(@v, 'scale')), "
            "convert(int, sql_variant_property(@v, 'MAXLENGTH')), "
            "convert(sysname, sql_variant_property(@v, 'Collation')), "
            "convert(sysname, sql_variant_property(@v, 'Nonsense'))");
    }
    // name = value rows of the object's properties (column id, name, value as text, base type).
    Strings properties(const std::string& object) {
        OdbcOutcome r = m_sa->exec("select minor_id, name, convert(nvarchar(200), value), convert(sysname, "
                                   "sql_variant_property(value, 'BaseType')) "
                                   "from sys.extended_properties where major_id = object_id('" +
                                   object + "') order by minor_id, name");
        EXPECT_TRUE(r.ok) << ::testing::PrintToString(messages(r));
        Strings out;
        if (!r.results.empty()) {
            for (const auto& cells : r.results[0].rows) {
                std::string line;
                for (const auto& cell : cells) {
                    line += (line.empty() ? "" : "|") + (cell ? *cell : std::string("NULL"));
                }
                out.push_back(line);
            }
        }
        return out;
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(SqlVariantOverOdbc, AValueKeepsItsBaseTypeAndTheDriverReadsIt) {
    EXPECT_EQ(described("42"), (Strings{"42", "int", "10", "0", "4", "NULL", "NULL"}));
    EXPECT_EQ(described("cast(5 as bigint)"), (Strings{"5", "bigint", "19", "0", "8", "NULL", "NULL"}));
    EXPECT_EQ(described("cast(12.5 as decimal(9, 2))"),
              (Strings{"12.50", "decimal", "9", "2", "5", "NULL", "NULL"}));
    EXPECT_EQ(described("cast(1.5 as money)").at(1), "money");
    EXPECT_EQ(described("cast(1.5 as money)").at(3), "4");
    EXPECT_EQ(described("N'Справочники'"),
              (Strings{"Справочники", "nvarchar", "0", "0", "22", "SQL_Latin1_General_CP1_CI_AS", "NULL"}));
    EXPECT_EQ(described("'abc'").at(1), "varchar");
    EXPECT_EQ(described("'abc'").at(4), "3");
    const Strings date = described("cast('2024-01-02 10:30' as datetime)");
    EXPECT_EQ(date.at(1), "datetime");
    EXPECT_EQ(date.at(2), "23");
    EXPECT_EQ(date.at(3), "3");
    EXPECT_EQ(date.at(0), "Jan  2 2024 10:30AM"); // converted from the datetime, in style 0

    // The columns are sql_variants for the driver (the property too); text inside one reads as text.
    OdbcOutcome r = m_sa->exec("declare @v sql_variant = 7\nselect @v, sql_variant_property(@v, 'BaseType') "
                               "where 1 = 0");
    ASSERT_TRUE(r.ok) << ::testing::PrintToString(messages(r));
    ASSERT_EQ(r.results.size(), 1u);
    EXPECT_EQ(r.results[0].types, (std::vector<SQLSMALLINT>{kVariantType, kVariantType}));
    OdbcOutcome text =
        m_sa->exec("declare @v sql_variant = N'Справочники'\nselect @v, cast(null as sql_variant)");
    ASSERT_TRUE(text.ok) << ::testing::PrintToString(messages(text));
    EXPECT_EQ(column(text, 0), (Strings{"Справочники"}));
    EXPECT_EQ(column(text, 1), (Strings{"NULL"}));
}

TEST_F(SqlVariantOverOdbc, ConversionsGoThroughTheBaseTypeAndImplicitOnesAreRefused) {
    EXPECT_EQ(
        row("declare @v sql_variant = N'12'\nselect convert(int, @v) + 1, cast(@v as nvarchar(5)) + N'!'"),
        (Strings{"13", "12!"}));
    EXPECT_EQ(says("declare @v sql_variant = N'abc'\nselect convert(int, @v)"),
              (Strings{"245: Conversion failed when converting the nvarchar value 'abc' to data type int."}));
    EXPECT_EQ(says("declare @v sql_variant = 'x1'\nselect cast(@v as datetime)"),
              (Strings{"241: Conversion failed when converting date and/or time from character string."}));
    EXPECT_EQ(says("declare @v sql_variant = 1\nselect @v + 1"),
              (Strings{"257: Implicit conversion from data type sql_variant to int is not allowed. Use the "
                       "CONVERT function to run this query."}));
    EXPECT_EQ(says("declare @v sql_variant = 1, @s nvarchar(10)\nset @s = @v"),
              (Strings{"257: Implicit conversion from data type sql_variant to nvarchar is not allowed. Use "
                       "the CONVERT function to run this query."}));
    EXPECT_EQ(says("declare @m nvarchar(max) = N'long', @v sql_variant\nset @v = @m"),
              (Strings{"206: Operand type clash: nvarchar(max) is incompatible with sql_variant"}));
}

TEST_F(SqlVariantOverOdbc, ValuesCompareByTypeFamilyThenValueAndLiveInColumns) {
    EXPECT_EQ(row("declare @n sql_variant = 1, @t sql_variant = N'1', @b sql_variant = cast(1 as bigint), "
                  "@d sql_variant = cast('2000-01-01' as datetime)\n"
                  "select case when @n > @t then 'number' else 'text' end, "
                  "case when @n = @b then 'equal' else 'different' end, "
                  "case when @d > @n then 'date' else 'number' end"),
              (Strings{"number", "equal", "date"}));

    ok("create table dbo.Vals (id int not null, v sql_variant null)");
    ok("insert into dbo.Vals (id, v) values (1, 10)");
    ok("insert into dbo.Vals (id, v) values (2, N'x')");
    ok("insert into dbo.Vals (id, v) values (3, cast('2020-05-06' as datetime))");
    ok("insert into dbo.Vals (id, v) values (4, null)");
    OdbcOutcome r =
        m_sa->exec("select id, convert(sysname, sql_variant_property(v, 'BaseType')) from dbo.Vals "
                   "where v is not null order by v");
    ASSERT_TRUE(r.ok) << ::testing::PrintToString(messages(r));
    EXPECT_EQ(column(r, 0), (Strings{"2", "1", "3"}));
    EXPECT_EQ(column(r, 1), (Strings{"nvarchar", "int", "datetime"}));
    EXPECT_EQ(column(m_sa->exec("select id from dbo.Vals where v = 10"), 0), (Strings{"1"}));
    EXPECT_EQ(
        column(m_sa->exec("select xtype from syscolumns where id = object_id('dbo.Vals') and name = 'v'"), 0),
        (Strings{"98"}));
}

TEST_F(SqlVariantOverOdbc, PropertiesAreAddedUpdatedAndDroppedWithTheServersErrors) {
    ok("create table dbo.Props (a int, b nvarchar(10))");
    // By position, and by name with a column.
    ok("exec sp_addextendedproperty N'Caption', N'Props table', N'SCHEMA', N'dbo', N'TABLE', N'Props'");
    ok("exec sp_addextendedproperty @name = N'Caption', @value = 7, @level0type = N'SCHEMA', "
       "@level0name = N'dbo', @level1type = N'TABLE', @level1name = N'Props', @level2type = N'COLUMN', "
       "@level2name = N'b'");
    EXPECT_EQ(properties("dbo.Props"), (Strings{"0|Caption|Props table|nvarchar", "2|Caption|7|int"}));

    EXPECT_EQ(
        says("exec sp_addextendedproperty N'caption', N'again', N'SCHEMA', N'dbo', N'TABLE', N'Props'"),
        (Strings{"15233: Property cannot be added. Property 'caption' already exists for 'dbo.Props'."}));
    EXPECT_EQ(says("exec sp_updateextendedproperty N'Missing', 1, N'SCHEMA', N'dbo', N'TABLE', N'Props'"),
              (Strings{"15217: Property cannot be updated or deleted. Property 'Missing' does not exist for "
                       "'dbo.Props'."}));
    EXPECT_EQ(says("exec sp_dropextendedproperty N'Caption', N'SCHEMA', N'dbo', N'TABLE', N'NoSuch'"),
              (Strings{"15135: Object is invalid. Extended properties are not permitted on 'dbo.NoSuch', or "
                       "the object does not exist."}));
    EXPECT_EQ(says("exec sp_dropextendedproperty N'Caption', N'SCHEMA', N'dbo', N'VIEW', N'Props'"),
              (Strings{"15135: Object is invalid. Extended properties are not permitted on 'dbo.Props', or "
                       "the object does not exist."}));
    EXPECT_EQ(says("exec sp_addextendedproperty N'Caption', 1, N'SCHEMA', N'dbo', N'TABLE', N'Props', "
                   "N'COLUMN', N'zz'"),
              (Strings{"15135: Object is invalid. Extended properties are not permitted on 'dbo.Props.zz', "
                       "or the object does not exist."}));
    EXPECT_EQ(properties("dbo.Props"), (Strings{"0|Caption|Props table|nvarchar", "2|Caption|7|int"}));

    // Updated with a value of another type, then dropped.
    ok("exec sp_updateextendedproperty N'Caption', 12.5, N'SCHEMA', N'dbo', N'TABLE', N'Props', N'COLUMN', "
       "N'b'");
    EXPECT_EQ(properties("dbo.Props"), (Strings{"0|Caption|Props table|nvarchar", "2|Caption|12.5|numeric"}));
    ok("exec sp_dropextendedproperty N'Caption', N'SCHEMA', N'dbo', N'TABLE', N'Props', N'COLUMN', N'b'");
    EXPECT_EQ(properties("dbo.Props"), (Strings{"0|Caption|Props table|nvarchar"}));

    // Properties of the database itself are not kept here.
    OdbcOutcome database = m_sa->exec("exec sp_addextendedproperty N'Owner', N'me'");
    EXPECT_FALSE(database.ok);
    ASSERT_FALSE(database.messages.empty());
    EXPECT_NE(database.messages[0].text.find("not supported by the simulator"), std::string::npos);
    OdbcOutcome listed = m_sa->exec("select * from sys.fn_listextendedproperty(default, N'SCHEMA', N'dbo', "
                                    "N'TABLE', N'Props', default, default)");
    EXPECT_FALSE(listed.ok);
    ASSERT_FALSE(listed.messages.empty());
    EXPECT_NE(listed.messages[0].text.find("not supported by the simulator"), std::string::npos)
        << listed.messages[0].text;
}

TEST_F(SqlVariantOverOdbc, ARollbackOrADroppedTableTakesThePropertiesWithIt) {
    ok("create table dbo.Props (a int, b nvarchar(10))");
    ok("exec sp_addextendedproperty N'Caption', N'first', N'SCHEMA', N'dbo', N'TABLE', N'Props'");
    ok("exec sp_addextendedproperty N'Note', N'b', N'SCHEMA', N'dbo', N'TABLE', N'Props', N'COLUMN', N'b'");
    ok("begin transaction\n"
       "exec sp_updateextendedproperty N'Caption', N'changed', N'SCHEMA', N'dbo', N'TABLE', N'Props'\n"
       "exec sp_dropextendedproperty N'Note', N'SCHEMA', N'dbo', N'TABLE', N'Props', N'COLUMN', N'b'\n"
       "exec sp_addextendedproperty N'Extra', 1, N'SCHEMA', N'dbo', N'TABLE', N'Props'");
    EXPECT_EQ(properties("dbo.Props"), (Strings{"0|Caption|changed|nvarchar", "0|Extra|1|int"}));
    ok("rollback");
    EXPECT_EQ(properties("dbo.Props"), (Strings{"0|Caption|first|nvarchar", "2|Note|b|nvarchar"}));

    const std::string id = column(m_sa->exec("select object_id('dbo.Props')"), 0).at(0);
    const std::string count = "select count(*) from sys.extended_properties where major_id = " + id;
    EXPECT_EQ(column(m_sa->exec(count), 0), (Strings{"2"}));
    // The demo's view over them agrees.
    EXPECT_EQ(column(m_sa->exec("select count(*) from vs_ExtProps where id = " + id), 0), (Strings{"2"}));
    ok("drop table dbo.Props");
    EXPECT_EQ(column(m_sa->exec(count), 0), (Strings{"0"}));
    EXPECT_EQ(column(m_sa->exec("select count(*) from vs_ExtProps where id = " + id), 0), (Strings{"0"}));
}

TEST_F(SqlVariantOverOdbc, OnlyTheOwnerOrTheDatabasesOwnersChangeProperties) {
    auto clerk = connect("clerk", "clerk", "Sales");
    // Orders the clerk may read but not alter; Customers it cannot see at all.
    EXPECT_EQ(
        messages(clerk->exec("exec sp_addextendedproperty N'X', 1, N'SCHEMA', N'dbo', N'TABLE', N'Orders'")),
        (Strings{"15247: User does not have permission to perform this action."}));
    EXPECT_EQ(
        messages(clerk->exec(
            "exec sp_updateextendedproperty N'Category', N'x', N'SCHEMA', N'dbo', N'TABLE', N'Customers'")),
        (Strings{"15135: Object is invalid. Extended properties are not permitted on 'dbo.Customers', or "
                 "the object does not exist."}));
    // What the clerk sees of sys.extended_properties: only the properties of Orders.
    EXPECT_EQ(column(clerk->exec("select distinct object_name(major_id) from sys.extended_properties"), 0),
              (Strings{"Orders"}));
    EXPECT_EQ(properties("dbo.Orders"),
              (Strings{"0|Category|Sales|nvarchar", "4|MS_Description|Free text|nvarchar"}));
}

TEST_F(SqlVariantOverOdbc, TheDemosProcedureAddsOrUpdatesAnObjectsOrAColumnsProperty) {
    ok("exec dbo.sps_UpdateExtendedProperty 'dbo.Orders', null, 'Category', N'Продажи'");
    ok("exec dbo.sps_UpdateExtendedProperty 'dbo.Orders', 'note', 'Caption', 5");
    ok("exec dbo.sps_UpdateExtendedProperty @object = 'Orders', @column = null, @name = 'Added', "
       "@value = 'plain'");
    EXPECT_EQ(properties("dbo.Orders"), (Strings{"0|Added|plain|varchar", "0|Category|Продажи|nvarchar",
                                                 "4|Caption|5|int", "4|MS_Description|Free text|nvarchar"}));
    EXPECT_EQ(says("exec dbo.sps_UpdateExtendedProperty 'dbo.Nothing', null, 'Category', N'x'"),
              (Strings{"15135: Object is invalid. Extended properties are not permitted on 'dbo.Nothing', or "
                       "the object does not exist."}));
}

} // namespace
