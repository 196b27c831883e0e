// The demo instance answered through respond(): the statements of the main window, the object
// browser, the users module, the databases module and the linked servers module.
#include "model/DemoInstance.h"
#include "model/StatementTexts.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace sqlsim;

namespace {

class DemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        model::DemoOptions options;
        options.saPassword = "secret";
        m_responder = makeDemoInstance(options);
        m_session.spid = 60;
        m_session.login = "sa";
        m_session.database = "Sales";
        m_responder->sessionStarted(m_session);
    }

    Response batch(const std::string& text, std::vector<Param> params = {}) {
        Request r;
        r.kind = params.empty() ? Request::Kind::Batch : Request::Kind::Statement;
        r.text = text;
        r.params = std::move(params);
        Response resp;
        m_responder->respond(r, m_session, resp);
        return resp;
    }

    static const ResultSet* firstSet(const Response& r) {
        for (const auto& i : r.items()) {
            if (auto rs = std::get_if<ResultSet>(&i)) {
                return rs;
            }
        }
        return nullptr;
    }
    static std::vector<std::string> column(const Response& r, size_t c) {
        std::vector<std::string> out;
        if (const ResultSet* rs = firstSet(r)) {
            for (const auto& row : rs->rows) {
                out.push_back(row[c].isNull() ? "NULL" : row[c].toText());
            }
        }
        return out;
    }
    static const Message* firstError(const Response& r) {
        for (const auto& i : r.items()) {
            if (auto m = std::get_if<Message>(&i); m && m->severity > 10) {
                return m;
            }
        }
        return nullptr;
    }
    static Param param(const char* name, SqlValue v) {
        return Param{name, ColumnType::of(SqlType::NVarChar, 128), v, false};
    }

    // A template with its ":name" marks replaced by @P1, @P2 ... in order.
    static std::string withParams(std::string text, const std::vector<std::string>& names) {
        int n = 1;
        for (const auto& name : names) {
            auto pos = text.find(":" + name);
            text.replace(pos, name.size() + 1, "@P" + std::to_string(n++));
        }
        return text;
    }

    std::unique_ptr<Responder> m_responder;
    Session m_session;
};

TEST_F(DemoTest, LogsOnAndListsTheDatabasesTheLoginMayUse) {
    EXPECT_TRUE(m_responder->authenticate("sa", "secret"));
    EXPECT_FALSE(m_responder->authenticate("sa", "sa"));
    EXPECT_EQ(m_responder->findDatabase("sales"), "Sales");
    Response r = batch(model::texts::kDatabaseList);
    EXPECT_EQ(column(r, 0),
              (std::vector<std::string>{"master", "model", "msdb", "Sales", "tempdb", "Склад"}));
    m_session.login = "clerk";
    r = batch(model::texts::kDatabaseList);
    EXPECT_EQ(column(r, 0), (std::vector<std::string>{"master", "msdb", "Sales", "tempdb", "Склад"}));
}

TEST_F(DemoTest, UseSwitchesTheDatabaseOrFailsWith911) {
    Response r = batch("use Склад");
    ASSERT_EQ(r.items().size(), 1u);
    EXPECT_EQ(std::get<DatabaseChange>(r.items()[0]).name, "Склад");
    EXPECT_EQ(m_session.database, "Склад");
    r = batch("use My DB");
    ASSERT_NE(firstError(r), nullptr);
    r = batch("use Nowhere");
    ASSERT_NE(firstError(r), nullptr);
    EXPECT_EQ(firstError(r)->number, 911);
    EXPECT_EQ(m_session.database, "Склад");
}

TEST_F(DemoTest, ObjectListHasOwnersAndTypeCodes) {
    Response r = batch(model::texts::kBrowserObjects);
    auto names = column(r, 1);
    auto types = column(r, 2);
    auto at = std::find(names.begin(), names.end(), "Orders");
    ASSERT_NE(at, names.end());
    EXPECT_EQ(types[size_t(at - names.begin())], "U ");
    EXPECT_NE(std::find(names.begin(), names.end(), "DF_Orders_note"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Сотрудники"), names.end());
    EXPECT_EQ(column(r, 0).front(), "dbo");
}

TEST_F(DemoTest, StructureScriptsDifferInCharLengths) {
    batch("create table dbo.T1 (id int identity(1, 1) not null, nm nvarchar(50) null)");
    auto script = [&](const char* text) {
        return column(batch(withParams(text, {"tab", "ScriptTriggers"}),
                            {param("@P1", SqlValue("dbo.T1")), param("@P2", SqlValue::null())}),
                      0);
    };
    auto browser = script(model::texts::kBrowserStructure);
    ASSERT_EQ(browser.size(), 3u);
    EXPECT_EQ(browser[1],
              "create table dbo.T1(\r\n  id int identity(1, 1) not null CONSTRAINT PK_T1 PRIMARY KEY, "
              "\r\n  nm nvarchar(100) null\r\n)");
    auto editor = script(model::texts::kEditorStructure);
    EXPECT_EQ(editor[1].find("nvarchar(50)") != std::string::npos, true);
}

TEST_F(DemoTest, EditorStructureScriptOfATableWithIdentityAndDefault) {
    batch("create table dbo.Orders2 (id int identity(5, 2) not null, note varchar(50) null default 'n/a')");
    Response r = batch(withParams(model::texts::kEditorStructure, {"tab", "ScriptTriggers"}),
                       {param("@P1", SqlValue("dbo.Orders2")), param("@P2", SqlValue(true))});
    auto rows = column(r, 0);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0],
              "if exists (select * from sysobjects where id = object_id('dbo.Orders2'))\r\n  drop table "
              "dbo.Orders2\r\nGO");
    EXPECT_EQ(rows[1],
              "create table dbo.Orders2(\r\n  id int identity(1, 1) not null CONSTRAINT PK_Orders2 PRIMARY "
              "KEY, \r\n  note varchar(50) null\r\n)");
    EXPECT_EQ(rows[2], "GO");
    EXPECT_EQ(rows[3].substr(0, 47), "alter table dbo.Orders2 add constraint DF__Orde");
    EXPECT_NE(rows[3].find(" default 'n/a' for note\r\nGO"), std::string::npos);
}

TEST_F(DemoTest, AddingADatabaseUserCreatesTheLoginAndMembershipFollows) {
    std::string add = withParams(model::texts::kAddPrincipal, {"isServer", "isLogin", "name", "pwd"});
    Response r = batch(add, {param("@P1", SqlValue(0)), param("@P2", SqlValue(1)),
                             param("@P3", SqlValue("newbie")), param("@P4", SqlValue("pw"))});
    EXPECT_EQ(firstError(r), nullptr);
    EXPECT_TRUE(m_responder->authenticate("newbie", "pw"));
    EXPECT_EQ(column(batch("select count(1) from master..syslogins where name = 'newbie'"), 0),
              (std::vector<std::string>{"1"}));
    // The same name again: the login exists, the user too.
    r = batch(add, {param("@P1", SqlValue(0)), param("@P2", SqlValue(1)), param("@P3", SqlValue("newbie")),
                    param("@P4", SqlValue(""))});
    ASSERT_NE(firstError(r), nullptr);
    EXPECT_EQ(firstError(r)->number, 15063);

    std::string change =
        withParams(model::texts::kMembershipChange, {"isServer", "isLogin", "bInclude", "name", "name2"});
    r = batch(change, {param("@P1", SqlValue(0)), param("@P2", SqlValue(1)), param("@P3", SqlValue(1)),
                       param("@P4", SqlValue("newbie")), param("@P5", SqlValue("SalesReaders"))});
    EXPECT_EQ(firstError(r), nullptr);
    std::string content = withParams(model::texts::kMembership, {"isLogin", "name", "isserver"});
    r = batch(content,
              {param("@P1", SqlValue(1)), param("@P2", SqlValue("newbie")), param("@P3", SqlValue(0))});
    auto names = column(r, 0);
    auto checked = column(r, 1);
    ASSERT_GE(names.size(), 2u);
    // Members first: public (every user) and SalesReaders, by name.
    EXPECT_EQ(names[0], "public");
    EXPECT_EQ(names[1], "SalesReaders");
    EXPECT_EQ(checked[1], "1");
    EXPECT_EQ(checked[2], "0");
}

TEST_F(DemoTest, SecurityProceduresReturnTheServersErrors) {
    auto error = [&](const std::string& text) {
        Response r = batch(text);
        const Message* m = firstError(r);
        return m ? std::to_string(m->number) + "/" + std::to_string(m->severity) : std::string("none");
    };
    EXPECT_EQ(error("exec sp_addlogin 'clerk', 'x'"), "15025/16");
    EXPECT_EQ(error("exec sp_droplogin 'nobody'"), "15007/16");
    EXPECT_EQ(error("exec sp_revokedbaccess 'nobody'"), "15008/16");
    EXPECT_EQ(error("exec sp_addrolemember 'SalesReaders', 'nobody'"), "15410/11");
    EXPECT_EQ(error("exec sp_droprole 'SalesReaders'"), "15144/16");
    EXPECT_EQ(error("exec sp_addsrvrolemember 'clerk', 'boss'"), "15402/11");
    EXPECT_EQ(error("exec sp_droplogin 'clerk'"), "15434/16"); // clerk has a session in the demo
    EXPECT_EQ(error("exec sp_addsrvrolemember 'clerk', 'diskadmin'"), "none");
    EXPECT_EQ(column(batch("select is_srvrolemember('diskadmin', 'clerk')"), 0),
              (std::vector<std::string>{"1"}));
    // A name that cuts the membership list's 512-character statement short.
    std::string content = withParams(model::texts::kMembership, {"isLogin", "name", "isserver"});
    Response r = batch(content, {param("@P1", SqlValue(1)), param("@P2", SqlValue(std::string(130, 'x'))),
                                 param("@P3", SqlValue(0))});
    ASSERT_NE(firstError(r), nullptr);
    EXPECT_EQ(firstError(r)->number, 102);
}

TEST_F(DemoTest, BackupRestoreWithMoveCreatesTheDatabase) {
    EXPECT_EQ(firstError(batch("backup database Sales to DISK = 'D:\\Backup\\s.bak'")), nullptr);
    Response r = batch("restore filelistonly from disk = 'D:\\Backup\\s.bak'");
    EXPECT_EQ(column(r, 0), (std::vector<std::string>{"Sales", "Sales_log"}));
    r = batch(
        "use master\r\nRESTORE DATABASE X\r\n FROM DISK = 'D:\\Backup\\s.bak' \r\n WITH \r\nMOVE 'Sales' TO "
        "'D:\\Data\\X0.mdf' , \r\nMOVE 'Sales_log' TO 'D:\\Data\\X1.ldf' \r\n");
    EXPECT_EQ(firstError(r), nullptr);
    EXPECT_EQ(m_responder->findDatabase("x"), "X");
    EXPECT_EQ(column(batch("select filename from master..sysdatabases where name = 'X'"), 0),
              (std::vector<std::string>{"D:\\Data\\X0.mdf"}));
    r = batch("backup database Sales to DISK = 'Q:\\none\\s.bak'");
    ASSERT_NE(firstError(r), nullptr);
    EXPECT_EQ(firstError(r)->number, 3201);
    r = batch("restore filelistonly from disk = 'D:\\Backup\\missing.bak'");
    EXPECT_EQ(firstError(r)->number, 3201);
    EXPECT_EQ(firstError(batch("create DATABASE Sales"))->number, 1801);
    EXPECT_EQ(firstError(batch("drop database Nowhere"))->number, 3701);
}

TEST_F(DemoTest, LinkedServersAreAddedWithLoginsAndDropped) {
    EXPECT_EQ(firstError(batch("EXEC sp_addlinkedserver 'SRV2', N'SQL Server'")), nullptr);
    EXPECT_EQ(firstError(batch("EXEC sp_addlinkedsrvlogin 'SRV2', FALSE, NULL, 'u', 'p'")), nullptr);
    EXPECT_EQ(firstError(batch("EXEC sp_addlinkedserver 'SRV2', N'SQL Server'"))->number, 15028);
    auto list = column(batch("select srvname, 0 as nImage\nfrom master..sysservers\norder by 1"), 0);
    EXPECT_EQ(list, (std::vector<std::string>{"DEMO", "REPORTS", "SRV2", "АРХИВ"}));
    EXPECT_EQ(firstError(batch("EXEC sp_dropserver 'SRV2'"))->number, 15190);
    EXPECT_EQ(firstError(batch("EXEC sp_dropserver 'SRV2', 'droplogins'")), nullptr);
    EXPECT_EQ(firstError(batch("EXEC sp_dropserver 'SRV2', 'droplogins'"))->number, 15015);
}

TEST_F(DemoTest, UserTableStatements) {
    EXPECT_EQ(
        column(batch("select top 2 name from Products where price > 10 and note like 'It%' order by id desc"),
               0)
            .size(),
        2u);
    Response r = batch("insert into Regions (name) values ('East')");
    EXPECT_EQ(std::get<RowCount>(r.items().back()).count, 1);
    EXPECT_EQ(column(batch("select id from Regions where name = 'east'"), 0),
              (std::vector<std::string>{"5"}));
    r = batch("insert into Regions (name) values (NULL)");
    EXPECT_EQ(firstError(r)->number, 515);
    r = batch("delete from Regions where id = 1");
    EXPECT_EQ(firstError(r)->number, 547);
    r = batch(
        "update Products set note = null where id <= 3\nselect count(*) from Products where note is null");
    EXPECT_EQ(column(r, 0), (std::vector<std::string>{"3"}));
    r = batch("select * from dbo.p_CustomerOrders");
    EXPECT_EQ(firstError(r)->number, 208);
    r = batch("merge into x using y");
    EXPECT_EQ(firstError(r)->number, 50000);
}

TEST_F(DemoTest, ABracketInsideAQuotedNameIsPartOfTheName) {
    Response r = batch("create table [a]]b] (id int not null primary key, [x]]y] int null)");
    ASSERT_EQ(firstError(r), nullptr) << firstError(r)->text;
    std::vector<std::string> names = column(batch("select name from sysobjects where type = 'U'"), 0);
    EXPECT_NE(std::find(names.begin(), names.end(), "a]b"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "ab]"), names.end());
    r = batch("insert into [dbo].[a]]b] (id, [x]]y]) values (1, 7)");
    ASSERT_EQ(firstError(r), nullptr) << firstError(r)->text;
    EXPECT_EQ(column(batch("select [x]]y] from [dbo].[a]]b]"), 0), (std::vector<std::string>{"7"}));
    EXPECT_EQ(column(batch("select id from [a]]b]"), 0), (std::vector<std::string>{"1"}));
    EXPECT_EQ(firstError(batch("select * from [dbo].[a]]]"))->number, 208);
}

TEST_F(DemoTest, DataScriptWritesInsertsForTheRowsTheWhereTextChooses) {
    std::string data = withParams(model::texts::kTableData, {"tab", "bScriptID", "sWhere"});
    Response r = batch(data, {param("@P1", SqlValue("dbo.Products")), param("@P2", SqlValue(0)),
                              param("@P3", SqlValue("id > 28"))});
    EXPECT_EQ(column(r, 0),
              (std::vector<std::string>{
                  "insert into dbo.Products(name, price, note) values (N'Product 29', 80.00, N'It''s fine')",
                  "insert into dbo.Products(name, price, note) values (N'Товар 30', 82.50, N'It''s fine')"}));
    r = batch(data,
              {param("@P1", SqlValue("dbo.Regions")), param("@P2", SqlValue(1)), param("@P3", SqlValue(""))});
    auto lines = column(r, 0);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines.front(), "set identity_insert dbo.Regions on");
    EXPECT_EQ(lines[1], "insert into dbo.Regions(id, name) values (1, N'North')");
    EXPECT_EQ(lines.back(), "set identity_insert dbo.Regions off");
}

TEST_F(DemoTest, RestoreToAMissingDirectoryNamesEachFileOnTheStatementsLine) {
    ASSERT_EQ(firstError(batch("backup database Sales to disk = 'D:\\Backup\\s.bak'")), nullptr);
    Response r =
        batch("use master\n\nrestore database S2 from disk = 'D:\\Backup\\s.bak'\n with move 'Sales' "
              "to 'Q:\\x\\s.mdf', move 'Sales_log' to 'Q:\\x\\s.ldf'");
    std::vector<std::string> said;
    for (const auto& i : r.items()) {
        if (auto m = std::get_if<Message>(&i); m && m->severity > 10) {
            said.push_back(std::to_string(m->number) + "@" + std::to_string(m->line));
        }
    }
    EXPECT_EQ(said, (std::vector<std::string>{"5133@3", "3156@3", "5133@3", "3156@3", "3119@3", "3013@3"}));
    r = batch("print 1\nbackup database Sales to disk = 'Q:\\x\\s.bak'");
    ASSERT_NE(firstError(r), nullptr);
    EXPECT_EQ(firstError(r)->number, 3201);
    EXPECT_EQ(firstError(r)->line, 2);
}

} // namespace
