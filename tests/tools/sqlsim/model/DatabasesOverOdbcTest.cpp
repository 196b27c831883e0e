// The databases and linked servers modules' statements through unixODBC + FreeTDS: create, drop,
// backup, the file list, restore with MOVE and the user re-creation batch; adding and dropping
// linked servers.
#include "DemoServerFixture.h"

#include <cstdio>

#include "model/StatementTexts.h"

#include <algorithm>
#include <chrono>
#include <thread>

using namespace sqlsimtest;
using namespace sqlsim::model;
using testsupport::OdbcOutcome;

namespace {

using Strings = std::vector<std::string>;

class DatabasesOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect();
    }
    Strings databases() { return column(m_sa->exec(texts::kDatabaseIcons), 0); }
    // The restore statement the databases module builds from the file list.
    static std::string restoreText(const std::string& name, const std::string& file, const std::string& dir,
                                   const OdbcOutcome& files) {
        std::string moves;
        Strings logical = column(files, 0), physical = column(files, 1);
        for (size_t i = 0; i < logical.size(); ++i) {
            auto dot = physical[i].rfind('.'), slash = physical[i].rfind('\\');
            std::string ext = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                                  ? physical[i].substr(dot)
                                  : std::string();
            moves += (moves.empty() ? "" : ", \r\n") + std::string("MOVE '") + logical[i] + "' TO '" + dir +
                     "\\" + name + std::to_string(i) + ext + "' ";
        }
        return "use master\r\nRESTORE DATABASE " + name + "\r\n FROM DISK = '" + file + "' \r\n WITH \r\n" +
               moves + "\r\n";
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(DatabasesOverOdbc, CreateAndDropChangeTheListWithTheServersErrors) {
    OdbcOutcome list = m_sa->exec(texts::kDatabaseIcons);
    EXPECT_EQ(list.results.at(0).columns, (Strings{"name", "nImage"}));
    EXPECT_EQ(column(list, 0), (Strings{"master", "model", "msdb", "Sales", "tempdb", "Склад"}));
    EXPECT_EQ(column(list, 1), Strings(6, "0"));

    ASSERT_TRUE(m_sa->exec("create DATABASE Архив2004").ok);
    EXPECT_EQ(databases(), (Strings{"master", "model", "msdb", "Sales", "tempdb", "Архив2004", "Склад"}));
    OdbcOutcome again = m_sa->exec("create DATABASE Архив2004");
    EXPECT_EQ(messages(again),
              (Strings{"1801: Database 'Архив2004' already exists. Choose a different database name."}));
    // A name that is not one identifier is a syntax error, and nothing is created.
    OdbcOutcome bad = m_sa->exec("create DATABASE My DB");
    EXPECT_EQ(messages(bad), (Strings{"102: Incorrect syntax near 'DB'."}));
    EXPECT_EQ(databases().size(), 7u);

    auto other = connect();
    ASSERT_TRUE(other->exec("use Архив2004").ok);
    OdbcOutcome busy = m_sa->exec("drop database Архив2004");
    EXPECT_EQ(messages(busy),
              (Strings{"3702: Cannot drop database \"Архив2004\" because it is currently in use."}));
    other.reset();
    // The server notices the disconnect on its own thread: try again until it has.
    OdbcOutcome dropped;
    for (int attempt = 0; attempt < 50; ++attempt) {
        dropped = m_sa->exec("drop database Архив2004");
        if (dropped.ok) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(dropped.ok) << ::testing::PrintToString(messages(dropped));
    EXPECT_EQ(databases().size(), 6u);
    OdbcOutcome missing = m_sa->exec("drop database Архив2004");
    EXPECT_EQ(messages(missing),
              (Strings{"3701: Cannot drop the database 'Архив2004', because it does not exist or "
                       "you do not have permission."}));
}

TEST_F(DatabasesOverOdbc, BackupThenRestoreWithMoveCreatesTheDatabaseWithTheMovedFiles) {
    OdbcOutcome backup = m_sa->exec("backup database Sales to DISK = 'D:\\Backup\\sales.bak'");
    ASSERT_TRUE(backup.ok) << ::testing::PrintToString(messages(backup));
    Strings said = messages(backup);
    ASSERT_EQ(said.size(), 3u);
    EXPECT_EQ(said[0], "4035: Processed 128 pages for database 'Sales', file 'Sales' on file 1.");
    EXPECT_EQ(said[1], "4035: Processed 2 pages for database 'Sales', file 'Sales_log' on file 1.");
    EXPECT_EQ(said[2].rfind("3014: BACKUP DATABASE successfully processed ", 0), 0u) << said[2];
    // The summary counts the pages of the lines above; the rate is those pages (8 KB each) over the time.
    long long pages = 0;
    int whole = 0, millis = 0;
    double rate = 0;
    ASSERT_EQ(
        std::sscanf(said[2].c_str(),
                    "3014: BACKUP DATABASE successfully processed %lld pages in %d.%d seconds (%lf MB/sec).",
                    &pages, &whole, &millis, &rate),
        4)
        << said[2];
    EXPECT_EQ(pages, 130);
    EXPECT_NEAR(rate, double(pages) * 8.0 / 1024.0 / (whole + millis / 1000.0), 0.001) << said[2];

    OdbcOutcome files = m_sa->exec("restore filelistonly from disk = 'D:\\Backup\\sales.bak'");
    ASSERT_TRUE(files.ok);
    const Strings& cols = files.results.at(0).columns;
    EXPECT_EQ(Strings(cols.begin(), cols.begin() + 3), (Strings{"LogicalName", "PhysicalName", "Type"}));
    EXPECT_EQ(column(files, 0), (Strings{"Sales", "Sales_log"}));
    EXPECT_EQ(column(files, 2), (Strings{"D", "L"}));

    std::string restore = restoreText("Продажи", "D:\\Backup\\sales.bak", "D:\\Data", files);
    OdbcOutcome restored = m_sa->exec(restore);
    ASSERT_TRUE(restored.ok) << restore << ::testing::PrintToString(messages(restored));
    Strings done = messages(restored);
    ASSERT_FALSE(done.empty());
    EXPECT_EQ(done.back().rfind("3014: RESTORE DATABASE successfully processed ", 0), 0u) << done.back();
    Strings names = databases();
    EXPECT_NE(std::find(names.begin(), names.end(), "Продажи"), names.end());
    ASSERT_TRUE(m_sa->exec("use Продажи").ok);
    OdbcOutcome moved = m_sa->exec("select name, filename from sysfiles");
    EXPECT_EQ(column(moved, 0), (Strings{"Sales", "Sales_log"}));
    EXPECT_EQ(column(moved, 1), (Strings{"D:\\Data\\Продажи0.mdf", "D:\\Data\\Продажи1.ldf"}));
    EXPECT_EQ(column(m_sa->exec("select count(*) from dbo.Orders"), 0), (Strings{"120"}));

    // The same files again under another name collide; a missing directory or file fails too.
    OdbcOutcome clash = m_sa->exec(restoreText("Продажи", "D:\\Backup\\sales.bak", "D:\\Data", files));
    EXPECT_FALSE(clash.ok);
    OdbcOutcome noDir = m_sa->exec(restoreText("X", "D:\\Backup\\sales.bak", "Q:\\Nowhere", files));
    EXPECT_FALSE(noDir.ok);
    EXPECT_EQ(
        messages(noDir),
        (Strings{"5133: Directory lookup for the file \"Q:\\Nowhere\\X0.mdf\" failed with the operating "
                 "system error 3(The system cannot find the path specified.).",
                 "3156: File 'Sales' cannot be restored to 'Q:\\Nowhere\\X0.mdf'. Use WITH MOVE to "
                 "identify a valid location for the file.",
                 "5133: Directory lookup for the file \"Q:\\Nowhere\\X1.ldf\" failed with the operating "
                 "system error 3(The system cannot find the path specified.).",
                 "3156: File 'Sales_log' cannot be restored to 'Q:\\Nowhere\\X1.ldf'. Use WITH MOVE to "
                 "identify a valid location for the file.",
                 "3119: Problems were identified while planning for the RESTORE statement. Previous "
                 "messages provide details.",
                 "3013: RESTORE DATABASE is terminating abnormally.",
                 "5701: Changed database context to 'master'."}));
    EXPECT_EQ(databases().size(), 7u);
    OdbcOutcome noFile = m_sa->exec("restore filelistonly from disk = 'D:\\Backup\\none.bak'");
    EXPECT_EQ(messages(noFile),
              (Strings{"3201: Cannot open backup device 'D:\\Backup\\none.bak'. Operating system "
                       "error 2(The system cannot find the file specified.).",
                       "3013: RESTORE FILELIST is terminating abnormally."}));
}

TEST_F(DatabasesOverOdbc, UserRecreationKeepsLoginUsersAndTheirRoles) {
    OdbcOutcome out = m_sa->exec(std::string("use Sales") + texts::kRecreateUsersBody);
    ASSERT_TRUE(out.ok) << ::testing::PrintToString(messages(out));
    EXPECT_EQ(column(m_sa->exec("select db_name()"), 0), (Strings{"Sales"}));
    OdbcOutcome users = m_sa->exec("select name from sysusers where hasdbaccess = 1 order by name");
    Strings names = column(users, 0);
    for (const char* u : {"clerk", "dbo", "manager"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), u), names.end()) << u;
    }
    OdbcOutcome roles = run(*m_sa, texts::kMembership,
                            {{"isLogin", BoundParam::integer(1)},
                             {"name", BoundParam::text("clerk")},
                             {"isserver", BoundParam::integer(0)}});
    Strings roleNames = column(roles, 0), ticks = column(roles, 1);
    auto at = std::find(roleNames.begin(), roleNames.end(), "SalesReaders");
    ASSERT_NE(at, roleNames.end());
    EXPECT_EQ(ticks[size_t(at - roleNames.begin())], "1");
    // clerk can still log on into Sales.
    auto clerk = connect("clerk", "clerk", "Sales");
    EXPECT_EQ(column(clerk->exec("select db_name()"), 0), (Strings{"Sales"}));
}

TEST_F(DatabasesOverOdbc, LinkedServersAreAddedWithTheirLoginAndDropped) {
    OdbcOutcome list = m_sa->exec(texts::kLinkedServers);
    EXPECT_EQ(list.results.at(0).columns, (Strings{"srvname", "nImage"}));
    EXPECT_EQ(column(list, 0), (Strings{"DEMO", "REPORTS", "АРХИВ"}));

    ASSERT_TRUE(m_sa->exec("EXEC sp_addlinkedserver 'SRV2', N'SQL Server'").ok);
    OdbcOutcome login = m_sa->exec("EXEC sp_addlinkedsrvlogin 'SRV2', FALSE, NULL, '', ''");
    ASSERT_TRUE(login.ok) << ::testing::PrintToString(messages(login));
    EXPECT_EQ(column(m_sa->exec(texts::kLinkedServers), 0), (Strings{"DEMO", "REPORTS", "SRV2", "АРХИВ"}));
    OdbcOutcome dup = m_sa->exec("EXEC sp_addlinkedserver 'SRV2', N'SQL Server'");
    EXPECT_EQ(messages(dup), (Strings{"15028: The server 'SRV2' already exists."}));

    OdbcOutcome withLogins = m_sa->exec("EXEC sp_dropserver 'SRV2'");
    EXPECT_EQ(messages(withLogins),
              (Strings{"15190: There are still remote logins or linked logins for the server 'SRV2'."}));
    ASSERT_TRUE(m_sa->exec("EXEC sp_dropserver 'SRV2', 'droplogins'").ok);
    EXPECT_EQ(column(m_sa->exec(texts::kLinkedServers), 0), (Strings{"DEMO", "REPORTS", "АРХИВ"}));
    OdbcOutcome gone = m_sa->exec("EXEC sp_dropserver 'SRV2', 'droplogins'");
    EXPECT_EQ(
        messages(gone),
        (Strings{"15015: The server 'SRV2' does not exist. Use sp_helpserver to show available servers."}));
    OdbcOutcome noServer = m_sa->exec("EXEC sp_addlinkedsrvlogin 'SRV3', FALSE, NULL, 'u', 'p'");
    EXPECT_FALSE(noServer.ok);
}

TEST_F(DatabasesOverOdbc, DeletesCascadeAlongForeignKeysOrAreRefused) {
    ASSERT_TRUE(m_sa->exec("use Sales").ok);
    OdbcOutcome refused = m_sa->exec("delete from Customers where id = 1");
    EXPECT_EQ(
        messages(refused),
        (Strings{
            "547: The DELETE statement conflicted with the REFERENCE constraint \"FK_Orders_Customers\". "
            "The conflict occurred in database \"Sales\", table \"dbo.Orders\", column 'customerId'.",
            "3621: The statement has been terminated."}));
    // OrderLines cascade from Orders: order 1 has lines 1 and 121.
    EXPECT_EQ(column(m_sa->exec("select count(*) from OrderLines where orderId = 1"), 0), (Strings{"2"}));
    OdbcOutcome deleted = m_sa->exec("delete from Orders where id = 1");
    ASSERT_TRUE(deleted.ok) << ::testing::PrintToString(messages(deleted));
    EXPECT_EQ(column(m_sa->exec("select count(*) from OrderLines where orderId = 1"), 0), (Strings{"0"}));
    EXPECT_EQ(column(m_sa->exec("select count(*) from OrderLines"), 0), (Strings{"198"}));

    // Declared in create table, a cascading reference scripts and behaves the same.
    ASSERT_TRUE(m_sa->exec("create table dbo.Notes (id int identity(1, 1) not null, orderId int not null "
                           "constraint FK_Notes_Orders references dbo.Orders (id) on delete cascade, body "
                           "nvarchar(20) null)")
                    .ok);
    ASSERT_TRUE(m_sa->exec("insert into dbo.Notes (orderId, body) values (2, N'урок')").ok);
    Strings script =
        column(run(*m_sa, texts::kEditorStructure,
                   {{"tab", BoundParam::text("dbo.Notes")}, {"ScriptTriggers", BoundParam::bit(false)}}),
               0);
    ASSERT_EQ(script.size(), 4u);
    EXPECT_EQ(script[3],
              "alter table dbo.Notes add constraint FK_Notes_Orders foreign key (orderId) references "
              "dbo.Orders (id) on delete cascade\r\nGO");
    ASSERT_TRUE(m_sa->exec("delete from Orders where id = 2").ok);
    EXPECT_EQ(column(m_sa->exec("select count(*) from dbo.Notes"), 0), (Strings{"0"}));
}

} // namespace
