// The catalogue views of keys, identities, defaults and parameters read through unixODBC + FreeTDS:
// their rows for the demo's objects, their agreement with sys.objects, sys.columns and sys.indexes,
// and how they follow a table made and dropped.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class KeyAndParameterViewsOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    // Every row of a query, its cells joined by "|".
    Strings rows(const std::string& sql) {
        OdbcOutcome out = m_sa->exec(sql);
        EXPECT_TRUE(out.ok) << sql << ::testing::PrintToString(messages(out));
        Strings joined;
        if (out.results.empty()) {
            return joined;
        }
        const size_t width = out.results.at(0).columns.size();
        for (size_t c = 0; c < width; ++c) {
            Strings cells = column(out, c);
            joined.resize(cells.size());
            for (size_t r = 0; r < cells.size(); ++r) {
                joined[r] += (c == 0 ? "" : "|") + cells[r];
            }
        }
        return joined;
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(KeyAndParameterViewsOverOdbc, OrdersPrimaryKeyAgreesWithObjectsAndIndexes) {
    EXPECT_EQ(rows("select k.name, k.type, k.type_desc, k.unique_index_id, k.is_system_named\n"
                   "from sys.key_constraints k where k.parent_object_id = object_id('Orders')"),
              (Strings{"PK_Orders|PK|PRIMARY_KEY_CONSTRAINT|1|0"}));
    // The key is the sys.objects row of the same id, and its index is the table's primary key.
    EXPECT_EQ(rows("select o.name, i.name, i.is_primary_key from sys.key_constraints k\n"
                   "join sys.objects o on o.object_id = k.object_id\n"
                   "join sys.indexes i on i.object_id = k.parent_object_id and i.index_id = k.unique_index_id\n"
                   "where k.parent_object_id = object_id('Orders')"),
              (Strings{"PK_Orders|PK_Orders|1"}));
    EXPECT_EQ(rows("select c.name, ic.index_column_id, ic.key_ordinal, ic.is_descending_key, "
                   "ic.is_included_column\n"
                   "from sys.index_columns ic join sys.columns c\n"
                   "on c.object_id = ic.object_id and c.column_id = ic.column_id\n"
                   "where ic.object_id = object_id('Orders')"),
              (Strings{"id|1|1|0|0"}));
    // Every primary key sys.indexes lists has its columns, and no other index does.
    EXPECT_EQ(rows("select count(*) from sys.indexes i where i.is_primary_key = 1 and not exists\n"
                   "(select * from sys.index_columns ic where ic.object_id = i.object_id and "
                   "ic.index_id = i.index_id)"),
              (Strings{"0"}));
    EXPECT_EQ(rows("select count(*) from sys.index_columns ic where not exists\n"
                   "(select * from sys.indexes i where i.object_id = ic.object_id and "
                   "i.index_id = ic.index_id and i.is_primary_key = 1)"),
              (Strings{"0"}));
    EXPECT_EQ(rows("select count(*) from sys.key_constraints"),
              rows("select count(*) from sys.indexes where is_primary_key = 1"));
}

TEST_F(KeyAndParameterViewsOverOdbc, IdentityColumnsCarrySeedStepAndLastValue) {
    EXPECT_EQ(rows("select name, column_id, is_identity, cast(seed_value as int), "
                   "cast(increment_value as int)\n"
                   "from sys.identity_columns where object_id = object_id('Orders')"),
              (Strings{"id|1|1|1|1"}));
    EXPECT_EQ(rows("select cast(last_value as int) from sys.identity_columns "
                   "where object_id = object_id('Orders')"),
              rows("select max(id) from Orders"));
    EXPECT_EQ(rows("select sql_variant_property(seed_value, 'BaseType') from sys.identity_columns "
                   "where object_id = object_id('Orders')"),
              (Strings{"int"}));
    EXPECT_EQ(rows("select count(*) from sys.identity_columns"),
              rows("select count(*) from sys.columns c join sys.tables t on t.object_id = c.object_id "
                   "where c.is_identity = 1"));
}

TEST_F(KeyAndParameterViewsOverOdbc, ProcedureParametersAsDeclared) {
    EXPECT_EQ(rows("select p.name, p.parameter_id, t.name, p.max_length, p.is_output, "
                   "p.has_default_value\n"
                   "from sys.parameters p join sys.procedures o on o.object_id = p.object_id\n"
                   "join sys.types t on t.user_type_id = p.user_type_id\n"
                   "where o.name = 'p_CustomerOrders' order by p.parameter_id"),
              (Strings{"@customerId|1|int|4|0|0"}));
    ASSERT_TRUE(m_sa->exec("create procedure dbo.p_Two @a nvarchar(20), @b decimal(9,2) = 1 output\n"
                           "as select @a")
                    .ok);
    EXPECT_EQ(rows("select name, parameter_id, max_length, precision, scale, is_output, has_default_value\n"
                   "from sys.parameters where object_id = object_id('p_Two') order by parameter_id"),
              (Strings{"@a|1|40|0|0|0|0", "@b|2|5|9|2|1|1"}));
    ASSERT_TRUE(m_sa->exec("drop procedure dbo.p_Two").ok);
    EXPECT_EQ(rows("select count(*) from sys.parameters where object_id = object_id('p_Two')"),
              (Strings{"0"}));
}

TEST_F(KeyAndParameterViewsOverOdbc, ViewsFollowATableMadeAndDropped) {
    ASSERT_TRUE(m_sa->exec("create table dbo.Tally (n int identity(10, 5) not null, "
                           "code varchar(8) not null constraint DF_Tally_code default ('x'), "
                           "constraint PK_Tally primary key nonclustered (n desc))")
                    .ok);
    EXPECT_EQ(rows("select name, unique_index_id from sys.key_constraints "
                   "where parent_object_id = object_id('Tally')"),
              (Strings{"PK_Tally|2"}));
    EXPECT_EQ(rows("select index_id, column_id, is_descending_key from sys.index_columns "
                   "where object_id = object_id('Tally')"),
              (Strings{"2|1|1"}));
    EXPECT_EQ(rows("select cast(seed_value as int), cast(increment_value as int), "
                   "isnull(cast(last_value as int), -1)\n"
                   "from sys.identity_columns where object_id = object_id('Tally')"),
              (Strings{"10|5|-1"}));
    EXPECT_EQ(rows("select d.name, d.type, c.name, d.definition, d.is_system_named\n"
                   "from sys.default_constraints d join sys.columns c\n"
                   "on c.object_id = d.parent_object_id and c.column_id = d.parent_column_id\n"
                   "where d.parent_object_id = object_id('Tally')"),
              (Strings{"DF_Tally_code|D |code|('x')|0"}));
    ASSERT_TRUE(m_sa->exec("insert into dbo.Tally (code) values ('a'); insert into dbo.Tally (code) values ('b')").ok);
    EXPECT_EQ(rows("select cast(last_value as int) from sys.identity_columns "
                   "where object_id = object_id('Tally')"),
              (Strings{"15"}));
    ASSERT_TRUE(m_sa->exec("drop table dbo.Tally").ok);
    for (const char* view : {"key_constraints", "default_constraints"}) {
        EXPECT_EQ(rows(std::string("select count(*) from sys.") + view +
                       " where parent_object_id = object_id('Tally')"),
                  (Strings{"0"}))
            << view;
    }
    EXPECT_EQ(rows("select count(*) from sys.key_constraints where name = 'PK_Tally'"), (Strings{"0"}));
    EXPECT_EQ(rows("select count(*) from sys.identity_columns where object_id = object_id('Tally')"),
              (Strings{"0"}));
}

} // namespace
