// Creation scripts generated for an object: the parts in their order, inserted at the caret, and
// the structure of a table with an identity column and a default exactly as the server writes it.
#include "ScriptEditorFixture.h"

#include "TADORecordset.h"
#include "uTLumScriptRunner.h"

namespace {

// Runs the options dialog with OK.
void generate(TfLumScript* form) {
    testsupport::ModalDriver driver({[](QWidget* modal) { ScriptEditorFixture::clickOkStatic(modal); }});
    form->aScriptCreate->trigger();
    EXPECT_EQ(driver.Remaining(), 0);
}

} // namespace

class ScriptGenerationTest : public ScriptEditorFixture {
protected:
    void setOptions(const QString& name, bool all) {
        form->dxirName->SetText(name);
        for (TdxInspectorCheckRow* row :
             {form->dxirDiv, form->dxirStruct, form->dxirDBAccess, form->dxirAccess, form->dxirProp,
              form->dxirData, form->dxirDataId, form->dxirTriggers})
            row->SetChecked(all);
        form->dxirDataWhere->SetText(QString());
    }
};

TEST_F(ScriptGenerationTest, TheStructureOfATableComesOutAsTheServerWritesIt) {
    connection->Execute("create database ScriptGen");
    connection->Execute("use ScriptGen");
    connection->Execute(
        "create table dbo.Orders (id int identity(1, 1) not null constraint PK_Orders primary key, "
        "note varchar(50) null constraint DF_Orders_note default 'n/a')");
    connection->Execute("insert into dbo.Orders (note) values ('it''s')");
    connection->Execute("insert into dbo.Orders (note) values (null)");
    setOptions("dbo.Orders", false);
    form->dxirDiv->SetChecked(true);
    form->dxirStruct->SetChecked(true);
    form->dxirDBAccess->SetChecked(true);
    form->dxirData->SetChecked(true);
    generate(form);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    EXPECT_EQ(form->re1->text().toStdString(),
              "-------------------------------------------------------------------------\n"
              "if exists (select * from sysobjects where id = object_id('dbo.Orders'))\n"
              "  drop table dbo.Orders\n"
              "GO\n"
              "create table dbo.Orders(\n"
              "  id int identity(1, 1) not null CONSTRAINT PK_Orders PRIMARY KEY, \n"
              "  note varchar(50) null\n"
              ")\n"
              "GO\n"
              "alter table dbo.Orders add constraint DF_Orders_note default 'n/a' for note\n"
              "GO\n"
              // No permissions: only the GO of the access part.
              "GO\n"
              "insert into dbo.Orders(note) values (N'it''s')\n"
              "insert into dbo.Orders(note) values (null)\n"
              "GO\n");
    EXPECT_EQ(caption(), "Script *");
}

TEST_F(ScriptGenerationTest, EveryPartGoesInAtTheCaretInItsOrder) {
    form->re1->setText("-- top\n-- bottom\n");
    form->re1->setCursorPosition(1, 0);
    setOptions("dbo.Orders", true);
    form->dxirDataWhere->SetText("id <= 2");
    generate(form);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    const QStringList lines = form->re1->text().split('\n');
    ASSERT_GT(lines.size(), 12);
    EXPECT_EQ(lines[0], "-- top");
    EXPECT_EQ(lines[1], QString(73, '-'));
    EXPECT_EQ(lines[2], "if exists (select * from sysobjects where id = object_id('dbo.Orders'))");
    EXPECT_EQ(lines[lines.size() - 2], "-- bottom");
    const auto at = [&](const QString& line) { return lines.indexOf(line); };
    const int create = at("create table dbo.Orders(");
    const int dbGrant = at("grant select, insert, update, delete on dbo.Orders to SalesReaders");
    const int property = at("exec sps_UpdateExtendedProperty 'dbo.Orders', null, 'Category', N'Sales'");
    const int identityOn = at("set identity_insert dbo.Orders on");
    const int identityOff = at("set identity_insert dbo.Orders off");
    ASSERT_GT(create, 2);
    ASSERT_GT(dbGrant, create);
    EXPECT_EQ(lines[dbGrant - 1], "GO");
    // The database's permissions, then its own access table (ordered by grantee), each with GO.
    EXPECT_EQ(lines.mid(dbGrant, 6),
              QStringList({"grant select, insert, update, delete on dbo.Orders to SalesReaders",
                           "grant select, insert, update, delete on dbo.Orders to manager", "GO",
                           "grant select, insert, update, delete on dbo.Orders to manager",
                           "grant select, insert, update, delete on dbo.Orders to SalesReaders", "GO"}));
    EXPECT_EQ(property, dbGrant + 6);
    EXPECT_EQ(lines[property + 1],
              "exec sps_UpdateExtendedProperty 'dbo.Orders', 'note', 'MS_Description', N'Free text'");
    EXPECT_EQ(lines[property + 2], "GO");
    EXPECT_EQ(identityOn, property + 3);
    // Where id <= 2: two rows between the identity switches, the identity column included.
    EXPECT_EQ(identityOff, identityOn + 3);
    EXPECT_TRUE(lines[identityOn + 1].startsWith("insert into dbo.Orders(id, "));
    EXPECT_EQ(lines[identityOff + 1], "GO");
    EXPECT_EQ(lines[identityOff + 2], "-- bottom");
}

TEST_F(ScriptGenerationTest, PropertyValuesWithQuotesGiveCallsThatRun) {
    setOptions("dbo.Customers", false);
    form->dxirProp->SetChecked(true);
    generate(form);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    EXPECT_EQ(
        form->re1->text(),
        QString::fromUtf8("exec sps_UpdateExtendedProperty 'dbo.Customers', null, 'Category', N'Справочники'\n"
                          "exec sps_UpdateExtendedProperty 'dbo.Customers', 'name', 'MS_Description', "
                          "N'Customer''s name'\n"
                          "GO\n"));
}

TEST_F(ScriptGenerationTest, AFailingPartStopsTheGenerationAndKeepsWhatCameBefore) {
    connection->Execute("create database NoProps");
    connection->Execute("use NoProps");
    connection->Execute("create table dbo.T (a int)");
    setOptions("dbo.T", false);
    form->dxirDiv->SetChecked(true);
    form->dxirProp->SetChecked(true);
    form->dxirData->SetChecked(true);
    generate(form);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], "Invalid object name 'vs_ExtProps'.");
    EXPECT_EQ(form->re1->text(), QString(73, '-') + "\n");
}

namespace {

// Column c of every row of the query's first result, as text.
QStringList columnOf(TADOConnection& c, const QString& query, int column = 0) {
    QStringList out;
    std::unique_ptr<TADORecordset> rs = c.Execute(query);
    for (; rs && !rs->Eof(); rs->MoveNext())
        out << rs->Fields(column).Text();
    return out;
}

} // namespace

TEST_F(ScriptGenerationTest, ATablesWholeScriptRunsBackIntoAnotherDatabase) {
    // Orders with the tables its keys reference: every part but the extended properties, which call
    // the database's own procedure.
    for (const char* table : {"dbo.Regions", "dbo.Customers", "dbo.Orders"}) {
        setOptions(table, true);
        form->dxirProp->SetChecked(false);
        generate(form);
    }
    ASSERT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    const QString script = form->re1->text();
    ASSERT_TRUE(script.contains("grant select, insert, update, delete on dbo.Orders to SalesReaders"))
        << script.toStdString();
    ASSERT_TRUE(script.contains("alter table dbo.Orders add constraint")) << script.toStdString();
    ASSERT_TRUE(script.contains("set identity_insert dbo.Orders on")) << script.toStdString();

    connection->Execute("create database RoundTrip");
    TADOConnection target;
    target.SetConnectionString(SaConnectionString(QStringLiteral("RoundTrip")));
    target.Open();
    // The grantees the script names exist there as they do here.
    target.Execute("exec sp_addrole 'SalesReaders'");
    target.Execute("exec sp_grantdbaccess 'manager'");

    TLumScriptRunner runner;
    runner.SetConnection(&target);
    QStringList failed;
    runner.OnError = [&](QObject*, const QString& err, bool& aBreak, bool& aAsk) {
        failed << err;
        aBreak = false;
        aAsk = false;
    };
    runner.OnMessage = [](QObject*, const QString&) {};
    runner.SetScriptText(script);
    EXPECT_TRUE(runner.Execute());
    EXPECT_TRUE(failed.isEmpty()) << failed.join("\n").toStdString();

    // The rows and the grants came along.
    const QString count = QStringLiteral("select count(*) from dbo.%1");
    for (const char* table : {"Regions", "Customers", "Orders"}) {
        EXPECT_EQ(columnOf(target, count.arg(table)), columnOf(*connection, count.arg(table))) << table;
    }
    EXPECT_EQ(columnOf(target, "select id, note from dbo.Orders order by id", 1),
              columnOf(*connection, "select id, note from dbo.Orders order by id", 1));
    // Text outside Latin-1 (region and customer names in Cyrillic) keeps its letters.
    for (const char* query :
         {"select name from dbo.Regions order by id", "select name from dbo.Customers order by id",
          "select city from dbo.Customers order by id"}) {
        const QStringList copied = columnOf(target, query);
        EXPECT_EQ(copied, columnOf(*connection, query)) << query;
        EXPECT_FALSE(copied.join(QString()).contains(QLatin1Char('?'))) << query;
    }
    // The grants let the manager, who has no other right there, read Orders and nothing else.
    TADOConnection manager;
    manager.SetConnectionString(SaConnectionString(QStringLiteral("RoundTrip"))
                                    .replace(QStringLiteral("User ID=sa;Password=sa"),
                                             QStringLiteral("User ID=manager;Password=manager")));
    manager.Open();
    EXPECT_EQ(columnOf(manager, count.arg("Orders")), columnOf(*connection, count.arg("Orders")));
    EXPECT_THROW(manager.Execute(count.arg("Customers")), std::exception);
}

TEST_F(ScriptGenerationTest, ExtendedPropertiesRunBackIntoAnotherDatabaseWithTheirTypes) {
    // The parts of four tables with their extended properties: text (Cyrillic too), a quote, an int.
    for (const char* table : {"dbo.Regions", "dbo.Customers", "dbo.Orders", "dbo.Products"}) {
        setOptions(table, true);
        generate(form);
    }
    ASSERT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    const QString script = form->re1->text();
    ASSERT_TRUE(script.contains(QString::fromUtf8("'Category', N'Справочники'"))) << script.toStdString();
    ASSERT_TRUE(script.contains("exec sps_UpdateExtendedProperty 'dbo.Products', null, 'Version', 3"))
        << script.toStdString();

    connection->Execute("create database PropTrip");
    TADOConnection target;
    target.SetConnectionString(SaConnectionString(QStringLiteral("PropTrip")));
    target.Open();
    target.Execute("exec sp_addrole 'SalesReaders'");
    target.Execute("exec sp_grantdbaccess 'manager'");
    // The database's own view of the properties and its procedure that adds or updates one.
    target.Execute("create view dbo.vs_ExtProps\nas\nselect major_id as id, minor_id as smallid, name, value\n"
                   "from sys.extended_properties");
    target.Execute(
        "create procedure dbo.sps_UpdateExtendedProperty @object sysname, @column sysname, @name sysname, "
        "@value sql_variant\nas\nset nocount on\n"
        "declare @schema sysname, @table sysname, @colid int\n"
        "set @schema = left(@object, charindex('.', @object) - 1)\n"
        "set @table = substring(@object, charindex('.', @object) + 1, 128)\n"
        "set @colid = 0\n"
        "if @column is not null\n"
        "  select @colid = colid from syscolumns where id = object_id(@object) and name = @column\n"
        "if exists (select * from sys.extended_properties where major_id = object_id(@object) "
        "and minor_id = @colid and name = @name)\n"
        "begin\n"
        "  if @column is null\n"
        "    exec sp_updateextendedproperty @name = @name, @value = @value, @level0type = 'SCHEMA', "
        "@level0name = @schema, @level1type = 'TABLE', @level1name = @table\n"
        "  else\n"
        "    exec sp_updateextendedproperty @name = @name, @value = @value, @level0type = 'SCHEMA', "
        "@level0name = @schema, @level1type = 'TABLE', @level1name = @table, @level2type = 'COLUMN', "
        "@level2name = @column\n"
        "end\n"
        "else if @column is null\n"
        "  exec sp_addextendedproperty @name = @name, @value = @value, @level0type = 'SCHEMA', "
        "@level0name = @schema, @level1type = 'TABLE', @level1name = @table\n"
        "else\n"
        "  exec sp_addextendedproperty @name = @name, @value = @value, @level0type = 'SCHEMA', "
        "@level0name = @schema, @level1type = 'TABLE', @level1name = @table, @level2type = 'COLUMN', "
        "@level2name = @column");

    TLumScriptRunner runner;
    runner.SetConnection(&target);
    QStringList failed;
    runner.OnError = [&](QObject*, const QString& err, bool& aBreak, bool& aAsk) {
        failed << err;
        aBreak = false;
        aAsk = false;
    };
    runner.OnMessage = [](QObject*, const QString&) {};
    runner.SetScriptText(script);
    EXPECT_TRUE(runner.Execute());
    EXPECT_TRUE(failed.isEmpty()) << failed.join("\n").toStdString();

    // Every property of the four tables, with its value and base type, as in the source.
    const QString query = QStringLiteral(
        "select object_name(p.id) + '.' + isnull(c.name, '') + '.' + p.name + '=' + "
        "convert(nvarchar(200), p.value) + ':' + convert(sysname, sql_variant_property(p.value, 'BaseType')) "
        "from vs_ExtProps p left outer join syscolumns c on p.id = c.id and p.smallid = c.colid "
        "where object_name(p.id) in ('Regions', 'Customers', 'Orders', 'Products') "
        "order by object_name(p.id), p.smallid, p.name");
    const QStringList source = columnOf(*connection, query);
    const QStringList copied = columnOf(target, query);
    EXPECT_EQ(copied, source);
    EXPECT_TRUE(copied.contains(QString::fromUtf8("Customers..Category=Справочники:nvarchar")))
        << copied.join("\n").toStdString();
    EXPECT_TRUE(copied.contains("Products..Version=3:int")) << copied.join("\n").toStdString();
    EXPECT_TRUE(copied.contains("Customers.name.MS_Description=Customer's name:nvarchar"))
        << copied.join("\n").toStdString();
}
