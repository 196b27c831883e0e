// INFORMATION_SCHEMA.VIEWS, SCHEMATA, TABLE_CONSTRAINTS, KEY_COLUMN_USAGE and REFERENTIAL_CONSTRAINTS
// against the demo instance through unixODBC + FreeTDS: the demo's keys and views as the sys views
// see them, and the rows following create table and drop table.
#include "DemoServerFixture.h"

using namespace sqlsimtest;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class InformationSchemaOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    // Every row of the query, its columns joined by "|".
    Strings rows(const std::string& sql) {
        OdbcOutcome out = m_sa->exec(sql);
        EXPECT_TRUE(out.ok) << sql << ::testing::PrintToString(messages(out));
        Strings joined;
        if (out.results.empty()) {
            return joined;
        }
        for (size_t c = 0; c < out.results[0].columns.size(); ++c) {
            Strings values = column(out, c);
            joined.resize(values.size());
            for (size_t k = 0; k < values.size(); ++k) {
                joined[k] += (c == 0 ? "" : "|") + values[k];
            }
        }
        return joined;
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(InformationSchemaOverOdbc, OrdersKeysAsTheSysViewsSeeThem) {
    EXPECT_EQ(rows("select CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, TABLE_NAME, CONSTRAINT_TYPE, "
                   "IS_DEFERRABLE, INITIALLY_DEFERRED from INFORMATION_SCHEMA.TABLE_CONSTRAINTS "
                   "where TABLE_NAME = 'Orders' order by CONSTRAINT_NAME"),
              (Strings{"Sales|dbo|FK_Orders_Customers|Orders|FOREIGN KEY|NO|NO",
                       "Sales|dbo|PK_Orders|Orders|PRIMARY KEY|NO|NO"}));
    EXPECT_EQ(rows("select CONSTRAINT_NAME, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION "
                   "from INFORMATION_SCHEMA.KEY_COLUMN_USAGE where TABLE_NAME = 'Orders' order by CONSTRAINT_NAME"),
              (Strings{"FK_Orders_Customers|dbo|Orders|customerId|1", "PK_Orders|dbo|Orders|id|1"}));
    EXPECT_EQ(rows("select CONSTRAINT_SCHEMA, UNIQUE_CONSTRAINT_CATALOG, UNIQUE_CONSTRAINT_SCHEMA, "
                   "UNIQUE_CONSTRAINT_NAME, MATCH_OPTION, UPDATE_RULE, DELETE_RULE "
                   "from INFORMATION_SCHEMA.REFERENTIAL_CONSTRAINTS where CONSTRAINT_NAME = 'FK_Orders_Customers'"),
              (Strings{"dbo|Sales|dbo|PK_Customers|SIMPLE|NO ACTION|NO ACTION"}));
    // The same keys as sys.foreign_keys and sys.indexes count them.
    EXPECT_EQ(rows("select count(*) from INFORMATION_SCHEMA.REFERENTIAL_CONSTRAINTS"),
              rows("select count(*) from sys.foreign_keys"));
    EXPECT_EQ(rows("select count(*) from INFORMATION_SCHEMA.TABLE_CONSTRAINTS where CONSTRAINT_TYPE = 'PRIMARY KEY'"),
              rows("select count(*) from sys.indexes where is_primary_key = 1"));
    EXPECT_EQ(rows("select count(*) from INFORMATION_SCHEMA.TABLE_CONSTRAINTS where CONSTRAINT_TYPE = 'FOREIGN KEY'"),
              rows("select count(*) from sys.foreign_keys"));
}

TEST_F(InformationSchemaOverOdbc, ViewsAndSchemataMatchSysObjectsAndSysSchemas) {
    OdbcOutcome views = m_sa->exec("select * from INFORMATION_SCHEMA.VIEWS where TABLE_NAME = 'vCustomerOrders'");
    ASSERT_TRUE(views.ok) << ::testing::PrintToString(messages(views));
    EXPECT_EQ(views.results.at(0).columns, (Strings{"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME",
                                                    "VIEW_DEFINITION", "CHECK_OPTION", "IS_UPDATABLE"}));
    EXPECT_EQ(column(views, 3), (Strings{"create view dbo.vCustomerOrders\r\nas\r\nselect id, customerId, "
                                         "orderDate, note from Orders where note is not null\r\n"}));
    EXPECT_EQ(column(views, 4), (Strings{"NONE"}));
    EXPECT_EQ(column(views, 5), (Strings{"NO"}));
    EXPECT_EQ(rows("select TABLE_NAME from INFORMATION_SCHEMA.VIEWS order by TABLE_NAME"),
              rows("select name from sys.objects where type = 'V' order by name"));
    EXPECT_EQ(rows("select CATALOG_NAME, SCHEMA_NAME, SCHEMA_OWNER, DEFAULT_CHARACTER_SET_NAME "
                   "from INFORMATION_SCHEMA.SCHEMATA order by SCHEMA_NAME"),
              (Strings{"Sales|dbo|dbo|iso_1", "Sales|guest|guest|iso_1",
                       "Sales|INFORMATION_SCHEMA|INFORMATION_SCHEMA|iso_1", "Sales|sys|sys|iso_1"}));
    EXPECT_EQ(rows("select SCHEMA_NAME from INFORMATION_SCHEMA.SCHEMATA order by SCHEMA_NAME"),
              rows("select name from sys.schemas order by name"));
}

TEST_F(InformationSchemaOverOdbc, ConstraintsFollowCreateAndDropTable) {
    ASSERT_TRUE(m_sa->exec("create table dbo.Shipments (id int not null constraint PK_Shipments primary key, "
                           "orderId int null constraint FK_Shipments_Orders references dbo.Orders (id) "
                           "on delete cascade)")
                    .ok);
    EXPECT_EQ(rows("select CONSTRAINT_NAME, CONSTRAINT_TYPE from INFORMATION_SCHEMA.TABLE_CONSTRAINTS "
                   "where TABLE_NAME = 'Shipments' order by CONSTRAINT_NAME"),
              (Strings{"FK_Shipments_Orders|FOREIGN KEY", "PK_Shipments|PRIMARY KEY"}));
    EXPECT_EQ(rows("select CONSTRAINT_NAME, COLUMN_NAME, ORDINAL_POSITION from INFORMATION_SCHEMA.KEY_COLUMN_USAGE "
                   "where TABLE_NAME = 'Shipments' order by CONSTRAINT_NAME"),
              (Strings{"FK_Shipments_Orders|orderId|1", "PK_Shipments|id|1"}));
    EXPECT_EQ(rows("select UNIQUE_CONSTRAINT_NAME, DELETE_RULE from INFORMATION_SCHEMA.REFERENTIAL_CONSTRAINTS "
                   "where CONSTRAINT_NAME = 'FK_Shipments_Orders'"),
              (Strings{"PK_Orders|CASCADE"}));
    ASSERT_TRUE(m_sa->exec("drop table dbo.Shipments").ok);
    EXPECT_EQ(rows("select count(*) from INFORMATION_SCHEMA.TABLE_CONSTRAINTS where TABLE_NAME = 'Shipments'"),
              (Strings{"0"}));
    EXPECT_EQ(rows("select count(*) from INFORMATION_SCHEMA.KEY_COLUMN_USAGE where TABLE_NAME = 'Shipments'"),
              (Strings{"0"}));
    EXPECT_EQ(rows("select count(*) from INFORMATION_SCHEMA.REFERENTIAL_CONSTRAINTS "
                   "where CONSTRAINT_NAME = 'FK_Shipments_Orders'"),
              (Strings{"0"}));
}

} // namespace
