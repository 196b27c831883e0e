// The object browser's and the script editor's generation statements through unixODBC + FreeTDS:
// structure scripts, the editor's object list, grants, extended properties and data.
#include "DemoServerFixture.h"

#include "model/StatementTexts.h"

#include <algorithm>
#include <cctype>

using namespace sqlsimtest;
using namespace sqlsim::model;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class ScriptsOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    OdbcOutcome script(const char* text, const std::string& object, const BoundParam& triggers) {
        return run(*m_sa, text, {{"tab", BoundParam::text(object)}, {"ScriptTriggers", triggers}});
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(ScriptsOverOdbc, EditorStructureOfTheExampleTableComesOutAsDocumented) {
    ASSERT_TRUE(m_sa->exec("create database Shop").ok);
    ASSERT_TRUE(m_sa->exec("use Shop").ok);
    OdbcOutcome created =
        m_sa->exec("create table dbo.Orders (id int identity(1, 1) not null, note varchar(50) null "
                   "constraint DF_Orders_note default ('n/a'))");
    ASSERT_TRUE(created.ok) << ::testing::PrintToString(messages(created));
    OdbcOutcome out = script(texts::kEditorStructure, "dbo.Orders", BoundParam::bit(false));
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    ASSERT_EQ(out.results.size(), 1u);
    EXPECT_EQ(out.results[0].columns, (Strings{"t"}));
    EXPECT_EQ(inserted(out), "if exists (select * from sysobjects where id = object_id('dbo.Orders'))\r\n"
                             "  drop table dbo.Orders\r\n"
                             "GO\r\n"
                             "create table dbo.Orders(\r\n"
                             "  id int identity(1, 1) not null CONSTRAINT PK_Orders PRIMARY KEY, \r\n"
                             "  note varchar(50) null\r\n"
                             ")\r\n"
                             "GO\r\n"
                             "alter table dbo.Orders add constraint DF_Orders_note default 'n/a' for note\r\n"
                             "GO\r\n");
    // It arrived as a parameterized statement.
    std::string log = logText();
    EXPECT_NE(log.find("\"proc\":\"sp_executesql\""), std::string::npos);
    EXPECT_NE(log.find("set @object = @P1"), std::string::npos);
}

TEST_F(ScriptsOverOdbc, BrowserWritesCharLengthsInBytesAndTheEditorAsPrecision) {
    Strings browser =
        column(script(texts::kBrowserStructure, "dbo.Regions", BoundParam::null(SQL_C_BIT, SQL_BIT)), 0);
    Strings editor = column(script(texts::kEditorStructure, "dbo.Regions", BoundParam::bit(true)), 0);
    ASSERT_EQ(browser.size(), 3u);
    ASSERT_EQ(editor.size(), 3u);
    EXPECT_EQ(browser[1], "create table dbo.Regions(\r\n"
                          "  id int identity(1, 1) not null CONSTRAINT PK_Regions PRIMARY KEY, \r\n"
                          "  name nvarchar(100) not null\r\n)");
    EXPECT_EQ(editor[1], "create table dbo.Regions(\r\n"
                         "  id int identity(1, 1) not null CONSTRAINT PK_Regions PRIMARY KEY, \r\n"
                         "  name nvarchar(50) not null\r\n)");
    // The same statement with literals in place of the parameters, as a plain batch.
    std::string literal = texts::kBrowserStructure;
    literal.replace(literal.find(":tab"), 4, "'dbo.Regions'");
    literal.replace(literal.find(":ScriptTriggers"), 15, "NULL");
    EXPECT_EQ(column(m_sa->exec(literal), 0), browser);
}

TEST_F(ScriptsOverOdbc, StructureScriptsComputedColumnsCascadesAndModuleSources) {
    Strings lines = column(script(texts::kEditorStructure, "dbo.OrderLines", BoundParam::bit(false)), 0);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[1].find("  price money not null, \r\n  total  as [qty]*[price]\r\n)"), std::string::npos)
        << lines[1];
    EXPECT_EQ(lines[3],
              "alter table dbo.OrderLines add constraint FK_OrderLines_Orders foreign key (orderId) "
              "references dbo.Orders (id) on delete cascade\r\nGO");
    EXPECT_EQ(lines[4],
              "alter table dbo.OrderLines add constraint FK_OrderLines_Products foreign key (productId) "
              "references dbo.Products (id)\r\nGO");

    Strings view = column(
        script(texts::kBrowserStructure, "dbo.vCustomerOrders", BoundParam::null(SQL_C_BIT, SQL_BIT)), 0);
    ASSERT_EQ(view.size(), 3u);
    EXPECT_EQ(view[0], "if exists (select * from sysobjects where id = object_id('dbo.vCustomerOrders'))\r\n"
                       "  drop view dbo.vCustomerOrders\r\nGO");
    EXPECT_EQ(view[1].rfind("create view dbo.vCustomerOrders\r\nas\r\n", 0), 0u);
    EXPECT_EQ(view[2], "GO");
    EXPECT_TRUE(script(texts::kBrowserStructure, "dbo.NoSuchThing", BoundParam::bit(false))
                    .results.at(0)
                    .rows.empty());
}

TEST_F(ScriptsOverOdbc, EditorObjectListCarriesCategoriesOnlyWhereTheViewExists) {
    OdbcOutcome out = m_sa->exec(texts::kEditorObjects);
    ASSERT_TRUE(out.ok);
    ASSERT_EQ(out.results.size(), 1u);
    EXPECT_EQ(out.results[0].columns, (Strings{"name", "type", "category"}));
    Strings names = column(out, 0), categories = column(out, 2);
    auto categoryOf = [&](const std::string& n) {
        auto at = std::find(names.begin(), names.end(), n);
        return at == names.end() ? std::string("missing") : categories[size_t(at - names.begin())];
    };
    EXPECT_EQ(categoryOf("dbo.Orders"), "Sales");
    // The category is converted to varchar: on this Latin1 server Cyrillic letters become "?".
    EXPECT_EQ(categoryOf("dbo.Customers"), "\?\?\?\?\?\?\?\?\?\?\?");
    EXPECT_EQ(categoryOf("dbo.Regions"), "");
    Strings types = column(out, 1);
    for (std::string& t : types) {
        std::transform(t.begin(), t.end(), t.begin(),
                       [](unsigned char ch) { return char(std::tolower(ch)); });
    }
    EXPECT_TRUE(std::is_sorted(types.begin(), types.end()));

    ASSERT_TRUE(m_sa->exec("use Склад").ok);
    OdbcOutcome small = m_sa->exec(texts::kEditorObjects);
    ASSERT_TRUE(small.ok);
    Strings smallNames = column(small, 0);
    EXPECT_EQ(column(small, 2), Strings(smallNames.size(), ""));
    EXPECT_NE(std::find(smallNames.begin(), smallNames.end(), "dbo.Остатки"), smallNames.end());
}

TEST_F(ScriptsOverOdbc, AccessListsOneGrantPerPermissionWithThePermissionColumns) {
    OdbcOutcome out = run(*m_sa, texts::kObjectAccess, {{"tab", BoundParam::text("dbo.Orders")}});
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    ASSERT_EQ(out.results.size(), 1u);
    EXPECT_EQ(out.results[0].columns, (Strings{"", "id", "grantee", "grantor", "actadd", "actmod", "seladd",
                                               "selmod", "updadd", "updmod", "refadd", "refmod"}));
    Strings grants = column(out, 0);
    std::sort(grants.begin(), grants.end());
    EXPECT_EQ(grants, (Strings{"grant select, insert, update, delete on dbo.Orders to SalesReaders",
                               "grant select, insert, update, delete on dbo.Orders to manager"}));
    EXPECT_TRUE(run(*m_sa, texts::kObjectAccess, {{"tab", BoundParam::text("dbo.Regions")}})
                    .results.at(0)
                    .rows.empty());
}

TEST_F(ScriptsOverOdbc, ExtendedPropertiesAreQuotedByTheirTypeAndNeedTheView) {
    OdbcOutcome out = run(*m_sa, texts::kExtendedPropertiesJoined, {{"tab", BoundParam::text("dbo.Orders")}});
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_EQ(column(out, 0),
              (Strings{"exec sps_UpdateExtendedProperty 'dbo.Orders', null, 'Category', N'Sales'",
                       "exec sps_UpdateExtendedProperty 'dbo.Orders', 'note', 'MS_Description', "
                       "N'Free text'"}));
    EXPECT_EQ(
        column(run(*m_sa, texts::kExtendedPropertiesJoined, {{"tab", BoundParam::text("dbo.Products")}}), 0),
        (Strings{"exec sps_UpdateExtendedProperty 'dbo.Products', null, 'Version', 3"}));
    // A quote inside a quoted value is doubled, so the call runs.
    EXPECT_EQ(
        column(run(*m_sa, texts::kExtendedPropertiesJoined, {{"tab", BoundParam::text("dbo.Customers")}}), 0)
            .at(1),
        "exec sps_UpdateExtendedProperty 'dbo.Customers', 'name', 'MS_Description', N'Customer''s name'");

    // The old outer join operators are refused at every compatibility level the server has.
    OdbcOutcome old = run(*m_sa, texts::kExtendedProperties, {{"tab", BoundParam::text("dbo.Orders")}});
    EXPECT_FALSE(old.ok);
    ASSERT_FALSE(old.messages.empty());
    EXPECT_EQ(messages(old)[0].rfind("4147: The query uses non-ANSI outer join operators", 0), 0u);

    ASSERT_TRUE(m_sa->exec("use Склад").ok);
    OdbcOutcome missing =
        run(*m_sa, texts::kExtendedPropertiesJoined, {{"tab", BoundParam::text("dbo.Остатки")}});
    EXPECT_FALSE(missing.ok);
    ASSERT_FALSE(missing.messages.empty());
    EXPECT_EQ(messages(missing)[0], "208: Invalid object name 'vs_ExtProps'.");
}

TEST_F(ScriptsOverOdbc, AccessObjectsGrantTheObjectToEachListedGrantee) {
    OdbcOutcome out = run(*m_sa, texts::kAccessObjects, {{"tab", BoundParam::text("dbo.Orders")}});
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_EQ(column(out, 0),
              (Strings{"grant select, insert, update, delete on dbo.Orders to manager",
                       "grant select, insert, update, delete on dbo.Orders to SalesReaders"}));
    EXPECT_EQ(column(run(*m_sa, texts::kAccessObjects, {{"tab", BoundParam::text("p_CustomerOrders")}}), 0),
              (Strings{"grant execute on p_CustomerOrders to clerk"}));
    EXPECT_TRUE(
        column(run(*m_sa, texts::kAccessObjects, {{"tab", BoundParam::text("dbo.Products")}}), 0).empty());

    // A database without the table: the server's error for a missing object.
    ASSERT_TRUE(m_sa->exec("use Склад").ok);
    OdbcOutcome missing = run(*m_sa, texts::kAccessObjects, {{"tab", BoundParam::text("dbo.Остатки")}});
    EXPECT_FALSE(missing.ok);
    ASSERT_FALSE(missing.messages.empty());
    EXPECT_EQ(messages(missing)[0], "208: Invalid object name 'ta_AccessObject'.");
}

TEST_F(ScriptsOverOdbc, CompatibilityLevelsAreThoseOfTheServer) {
    const auto level = [&] {
        return column(m_sa->exec("select cmptlevel from master..sysdatabases where name = 'Sales'"), 0);
    };
    EXPECT_EQ(level(), (Strings{"150"}));
    OdbcOutcome low = m_sa->exec("alter database Sales set compatibility_level = 80");
    EXPECT_FALSE(low.ok);
    ASSERT_FALSE(low.messages.empty());
    EXPECT_EQ(messages(low)[0],
              "15048: Valid values of the database compatibility level are 100, 110, 120, 130, 140, or 150.");
    EXPECT_EQ(level(), (Strings{"150"}));
    EXPECT_TRUE(m_sa->exec("alter database Sales set compatibility_level = 110").ok);
    EXPECT_EQ(level(), (Strings{"110"}));
    EXPECT_FALSE(m_sa->exec("alter database Sales set compatibility_level = 160").ok);
    EXPECT_FALSE(m_sa->exec("alter database NoSuchDb set compatibility_level = 130").ok);
    // A login that does not own the database may not change it.
    auto clerk = connect("clerk", "clerk", "Sales");
    ASSERT_TRUE(clerk);
    OdbcOutcome denied = clerk->exec("alter database Sales set compatibility_level = 130");
    EXPECT_FALSE(denied.ok);
    ASSERT_FALSE(denied.messages.empty());
    EXPECT_EQ(messages(denied)[0].rfind("5011: User does not have permission to alter database 'Sales'", 0),
              0u);
    EXPECT_EQ(level(), (Strings{"110"}));
    // The old outer join operators stay refused at every level.
    OdbcOutcome join = m_sa->exec("select o.name from sysobjects o, syscolumns c where o.id *= c.id");
    EXPECT_FALSE(join.ok);
    ASSERT_FALSE(join.messages.empty());
    EXPECT_EQ(messages(join)[0].rfind("4147: ", 0), 0u);
}

TEST_F(ScriptsOverOdbc, DataProducesInsertsWithIdentityLinesAndWhere) {
    auto data = [&](const std::string& tab, bool withId, const std::string& where) {
        return run(*m_sa, texts::kTableData,
                   {{"tab", BoundParam::text(tab)},
                    {"bScriptID", BoundParam::bit(withId)},
                    {"sWhere", BoundParam::text(where)}});
    };
    OdbcOutcome plain = data("dbo.Regions", false, "");
    ASSERT_TRUE(plain.ok) << ::testing::PrintToString(messages(plain));
    // Text values go out as Unicode literals, and a table with Unicode columns gives Unicode
    // statements, so Cyrillic letters survive both the result and the script run back.
    EXPECT_EQ(column(plain, 0), (Strings{"insert into dbo.Regions(name) values (N'North')",
                                         "insert into dbo.Regions(name) values (N'South')",
                                         "insert into dbo.Regions(name) values (N'Сибирь')",
                                         "insert into dbo.Regions(name) values (N'Урал')"}));
    EXPECT_EQ(column(data("dbo.Regions", true, "id < 3"), 0),
              (Strings{"set identity_insert dbo.Regions on",
                       "insert into dbo.Regions(id, name) values (1, N'North')",
                       "insert into dbo.Regions(id, name) values (2, N'South')",
                       "set identity_insert dbo.Regions off"}));
    // Quotes are doubled, nulls written as null, money with two decimals, dates in the default style.
    Strings products = column(data("dbo.Products", false, "id in (1, 2)"), 0);
    EXPECT_EQ(
        products,
        (Strings{
            "insert into dbo.Products(name, price, note) values (N'Product 1', 10.00, N'n/a')",
            "insert into dbo.Products(name, price, note) values (N'Товар 2', 12.50, N'It''s fine')"}));
    Strings customers = column(data("dbo.Customers", false, "id = 4"), 0);
    EXPECT_EQ(customers, (Strings{"insert into dbo.Customers(name, city, regionId, created) values "
                                  "(N'ООО Ромашка', null, 4, 'Apr  4 2004 12:03PM')"}));
    OdbcOutcome view = data("dbo.vCustomerOrders", false, "");
    ASSERT_TRUE(view.ok);
    ASSERT_EQ(view.results.size(), 1u);
    EXPECT_TRUE(view.results[0].rows.empty());
    OdbcOutcome bad = data("dbo.Regions", false, "nosuch > 1");
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(messages(bad), (Strings{"207: Invalid column name 'nosuch'."}));
}

} // namespace
