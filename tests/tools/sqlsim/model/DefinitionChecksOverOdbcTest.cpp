// Table and index definitions, backup and restore are read whole as their batch compiles: a malformed
// one fails the batch before anything in it runs, even after a wait; every shape the runner answers
// still runs. Through unixODBC + FreeTDS.
#include "DemoServerFixture.h"

using namespace sqlsimtest;

namespace {

using Strings = std::vector<std::string>;

class DefinitionChecksOverOdbc : public DemoServerFixture {
protected:
    void SetUp() override {
        DemoServerFixture::SetUp();
        m_sa = connect("sa", "Secret1", "Sales");
    }
    std::string count(const std::string& sql) {
        Strings n = column(m_sa->exec(sql), 0);
        return n.empty() ? "?" : n[0];
    }
    // The statement after rows went out and a wait: only its error comes back, nothing ran.
    void expectRefusedWhole(const std::string& statement, const std::string& error) {
        OdbcOutcome out = m_sa->exec("insert into Regions (name) values (N'Early')\nselect 1 as a\n"
                                     "waitfor delay '00:00:00.050'\n" +
                                     statement);
        EXPECT_EQ(messages(out), (Strings{error})) << statement;
        EXPECT_TRUE(out.results.empty()) << statement;
        EXPECT_EQ(count("select count(*) from Regions where name = N'Early'"), "0") << statement;
    }
    std::unique_ptr<testsupport::OdbcTestClient> m_sa;
};

TEST_F(DefinitionChecksOverOdbc, AMalformedTableDefinitionRunsNothing) {
    expectRefusedWhole("create table T1 (a int,)", "102: Incorrect syntax near ')'.");
    expectRefusedWhole("create table T1 a int", "102: Incorrect syntax near 'a'.");
    expectRefusedWhole("create table T1 (a int primary)", "102: Incorrect syntax near ')'.");
    expectRefusedWhole("create table T1 (a int identity(1 1))", "102: Incorrect syntax near '1'.");
    expectRefusedWhole("create table T1 (a decimal(10, x))", "102: Incorrect syntax near 'x'.");
    expectRefusedWhole("create table T1 (a int not nul)", "102: Incorrect syntax near 'nul'.");
    expectRefusedWhole("create table T1 (a int references)", "102: Incorrect syntax near ')'.");
    expectRefusedWhole("create table T1 (a int, constraint PK_T1 primary key)", "102: Incorrect syntax near ')'.");
    expectRefusedWhole("create table T1 (a int, foreign key (a) Regions (id))",
                       "102: Incorrect syntax near 'Regions'.");
    expectRefusedWhole("create table T1 (a int check a > 0)", "102: Incorrect syntax near 'a'.");
    expectRefusedWhole("create table T1 (a int) frob", "102: Incorrect syntax near 'frob'.");
    expectRefusedWhole("create table T1 (a int, primary key (a) b int)", "102: Incorrect syntax near 'b'.");
    // A keyword where a name belongs is named as one.
    expectRefusedWhole("create table T1 (a int constraint primary key)",
                       "156: Incorrect syntax near the keyword 'primary'.");
    EXPECT_EQ(count("select count(*) from sys.tables where name = N'T1'"), "0");
}

TEST_F(DefinitionChecksOverOdbc, AMalformedIndexOrAlterationRunsNothing) {
    expectRefusedWhole("create index IX_R on Regions name", "102: Incorrect syntax near 'name'.");
    expectRefusedWhole("create index IX_R Regions (name)", "102: Incorrect syntax near 'Regions'.");
    expectRefusedWhole("create unique index on Regions (name)", "156: Incorrect syntax near the keyword 'on'.");
    expectRefusedWhole("create unique nonclustered index IX_R on Regions (name,)", "102: Incorrect syntax near ')'.");
    expectRefusedWhole("create index IX_R on Regions (name) include name", "102: Incorrect syntax near 'name'.");
    expectRefusedWhole("alter table Regions frob column name", "102: Incorrect syntax near 'frob'.");
    expectRefusedWhole("alter table Regions drop column , name", "102: Incorrect syntax near ','.");
    expectRefusedWhole("alter table Regions alter column name nvarchar(60) not nul",
                       "102: Incorrect syntax near 'nul'.");
    expectRefusedWhole("alter table Regions add constraint DF_R_name default N'x' name",
                       "102: Incorrect syntax near 'name'.");
    expectRefusedWhole("alter table Regions add extra int identity(1,)", "102: Incorrect syntax near ')'.");
    expectRefusedWhole("alter table Regions add constraint FK_R foreign key (id) references Regions (id) on delete restrict",
                       "102: Incorrect syntax near 'restrict'.");
    // Nothing of the table changed.
    EXPECT_EQ(count("select count(*) from sys.columns where object_id = object_id(N'Regions')"), "2");
    EXPECT_EQ(count("select count(*) from sys.indexes where object_id = object_id(N'Regions') and name = N'IX_R'"),
              "0");
}

TEST_F(DefinitionChecksOverOdbc, AMalformedBackupOrRestoreRunsNothing) {
    expectRefusedWhole("backup database Sales disk = 'D:\\Backup\\s.bak'", "102: Incorrect syntax near 'disk'.");
    expectRefusedWhole("backup log Sales to disk 'D:\\Backup\\s.trn'", "102: Incorrect syntax near 'D:\\Backup\\s.trn'.");
    expectRefusedWhole("backup database Sales to disk = 'D:\\Backup\\s.bak' with init,, stats = 10",
                       "102: Incorrect syntax near ','.");
    expectRefusedWhole("backup frob Sales to disk = 'D:\\Backup\\s.bak'", "102: Incorrect syntax near 'frob'.");
    expectRefusedWhole("restore database Sales from disk = 'D:\\Backup\\s.bak' with move 'Sales' 'D:\\x.mdf'",
                       "102: Incorrect syntax near 'D:\\x.mdf'.");
    expectRefusedWhole("restore database Sales from disk = 'D:\\Backup\\s.bak' with replace recovery",
                       "102: Incorrect syntax near 'recovery'.");
    expectRefusedWhole("restore filelistonly disk = 'D:\\Backup\\s.bak'", "102: Incorrect syntax near 'disk'.");
    expectRefusedWhole("restore headeronly from disk = 'D:\\Backup\\s.bak' with file = 1 stats",
                       "102: Incorrect syntax near 'stats'.");
}

TEST_F(DefinitionChecksOverOdbc, WellFormedDefinitionsStillRun) {
    OdbcOutcome made = m_sa->exec(
        "create table dbo.Made (id int identity(1, 1) not null constraint PK_Made primary key,\n"
        "  label nvarchar(40) null default N'none', amount decimal(10, 2) not null default 0,\n"
        "  region int references Regions (id) on delete cascade, note varchar(max))\n"
        "create table Pairs (a int not null, b int not null, constraint PK_Pairs primary key nonclustered (a, b desc))\n"
        "alter table Made add constraint DF_Made_note default ('n/a') for note\n"
        "alter table Pairs add constraint FK_Pairs_Made foreign key (a) references Made (id)\n"
        "insert into Made (amount) values (1.5)\n"
        "select label, note from Made");
    ASSERT_TRUE(made.ok) << ::testing::PrintToString(messages(made));
    EXPECT_EQ(column(made, 0), (Strings{"none"}));
    EXPECT_EQ(column(made, 1), (Strings{"n/a"}));
    EXPECT_EQ(count("select count(*) from sys.foreign_keys where name = N'FK_Pairs_Made'"), "1");

    OdbcOutcome backup = m_sa->exec("backup database Sales to disk = 'D:\\Backup\\checked.bak' with init, stats = 10");
    EXPECT_TRUE(backup.ok) << ::testing::PrintToString(messages(backup));
    OdbcOutcome files = m_sa->exec("restore filelistonly from disk = 'D:\\Backup\\checked.bak'");
    ASSERT_TRUE(files.ok) << ::testing::PrintToString(messages(files));
    EXPECT_FALSE(column(files, 0).empty());
    OdbcOutcome restored = m_sa->exec("restore database Checked from disk = 'D:\\Backup\\checked.bak'\n"
                                      "with move 'Sales' to 'D:\\Data\\Checked.mdf', "
                                      "move 'Sales_log' to 'D:\\Data\\Checked_log.ldf', recovery, stats = 5");
    EXPECT_TRUE(restored.ok) << ::testing::PrintToString(messages(restored));
    EXPECT_EQ(count("select count(*) from sys.databases where name = N'Checked'"), "1");
}

TEST_F(DefinitionChecksOverOdbc, WellFormedShapesTheSimulatorDoesNotAnswerAreRefusedWhenTheyRun) {
    // They compile, so the rows before a wait go out; they are refused on their turn, changing nothing.
    for (const char* statement :
         {"create unique nonclustered index IX_R on Regions (name desc) include (id) where name is not null "
          "with (fillfactor = 80) on [primary]",
          "alter table Regions add extra int not null constraint DF_R_extra default 0",
          "alter table Regions drop constraint if exists DF_R_x, column name",
          "alter table Regions alter column name nvarchar(60) collate Latin1_General_CI_AS not null",
          "alter table Regions with nocheck check constraint all",
          "backup log Sales to disk = 'D:\\Backup\\s.trn' with compression, description = N'x'",
          "restore database Sales with recovery",
          "restore database Sales from disk = 'D:\\Backup\\none.bak' with checksum",
          "backup database Sales to url = 'https://store.example/backups/s.bak'",
          "backup database Sales to tape = '\\\\.\\tape0'",
          "backup database Sales to SalesDevice with init",
          "backup database Sales to disk = 'D:\\Backup\\a.bak', disk = 'D:\\Backup\\b.bak'",
          "restore database Sales from SalesDevice with replace",
          "restore database Sales from url = 'https://store.example/backups/s.bak'",
          "restore filelistonly from tape = '\\\\.\\tape0'"}) {
        OdbcOutcome out = m_sa->exec(std::string("select 1 as a\nwaitfor delay '00:00:00.050'\n") + statement);
        ASSERT_EQ(out.messages.size(), 1u) << statement << ::testing::PrintToString(messages(out));
        EXPECT_EQ(messages(out)[0].rfind("50000: Statement not supported by the simulator", 0), 0u)
            << statement << ": " << messages(out)[0];
        EXPECT_EQ(column(out, 0), (Strings{"1"})) << statement;
    }
    EXPECT_EQ(count("select count(*) from sys.columns where object_id = object_id(N'Regions')"), "2");
    EXPECT_EQ(count("select count(*) from sys.indexes where object_id = object_id(N'Regions') and name = N'IX_R'"),
              "0");
}

} // namespace
