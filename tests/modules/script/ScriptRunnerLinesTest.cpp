// The script runner without a server: the separator rule, splitting a text into lines, the
// deletion script and the question, and runs whose batches are all blank.
#include "uTLumScriptRunner.h"

#include <gtest/gtest.h>

namespace {

struct SeparatorCase {
    const char* line;
    bool separator;
};

TEST(ScriptRunnerLines, OnlyALineReadingGoEndsABatch) {
    const SeparatorCase cases[] = {
        {"GO", true},      {"go", true},          {"Go", true},    {"  Go  ", true}, {"GO\t", true},
        {"\tgo\r", true},  {"gO\x01", true},      {"GO 5", false}, {"GO;", false},   {"GO -- done", false},
        {"GOTO x", false}, {"G O", false},        {"", false},     {"   ", false},   {"/* GO */", false},
        {"xGO", false},    {"GO\xc2\xa0", false}, // a no-break space is not white space here
    };
    for (const SeparatorCase& c : cases)
        EXPECT_EQ(TLumScriptRunner::IsSeparator(QString::fromUtf8(c.line)), c.separator) << c.line;
}

TEST(ScriptRunnerLines, ScriptTextIsCutAtEveryKindOfLineBreak) {
    TLumScriptRunner runner;
    runner.SetScriptText(QStringLiteral("a\r\nb\nc\rd"));
    EXPECT_EQ(runner.Script(), QStringList({"a", "b", "c", "d"}));
    runner.SetScriptText(QStringLiteral("select 1\r\nGO\r\n"));
    EXPECT_EQ(runner.Script(), QStringList({"select 1", "GO"}));
    runner.SetScriptText(QStringLiteral("\n\nx"));
    EXPECT_EQ(runner.Script(), QStringList({"", "", "x"}));
    runner.SetScriptText(QString());
    EXPECT_TRUE(runner.Script().isEmpty());
}

struct CreateLineCase {
    const char* line;
    const char* name; // nullptr: the line yields no object
    const char* drop;
};

TEST(ScriptRunnerLines, CreateLinesGiveTheObjectAndItsDropStatement) {
    const CreateLineCase cases[] = {
        {"create table [dbo].[Orders] (id int)", "Orders", "drop table [dbo].[Orders] "},
        {"   Create View v_x as select 1", "v_x", "drop View v_x "},
        {"create procedure dbo.p_Load @id int", "p_Load", "drop procedure dbo.p_Load "},
        {"create function dbo.f(@a int) returns int", "f", "drop function dbo.f "},
        {"create  table\tT(a int)", "T", "drop table T "},
        {"CREATE TRIGGER tr_x ON t FOR INSERT", "tr_x", "drop TRIGGER tr_x "},
        {"create table Sales.dbo.Lines (a int)", "dbo.Lines", "drop table Sales.dbo.Lines "},
        {"create table [x] (a int)", "x", "drop table [x] "},
        {"create index ix on t(a)", nullptr, nullptr},
        {"CREATE INDEX ix ON t(a)", nullptr, nullptr},
        {"create unique index ix on t(a)", nullptr, nullptr},
        {"create clustered index ix on t(a)", nullptr, nullptr},
        {"create nonclustered index ix on t(a)", nullptr, nullptr},
        {"CREATE UNIQUE NONCLUSTERED INDEX ix ON t(a)", nullptr, nullptr},
        {"create table #tmp (a int)", nullptr, nullptr},
        {"create table t (a int) -- not #1", nullptr, nullptr},
        {"create procedure", nullptr, nullptr},
        {"create procedure ", nullptr, nullptr},
        {"createtable t (a int)", nullptr, nullptr},
        {"create", nullptr, nullptr},
        {"select 1 -- create table t", nullptr, nullptr},
        {"alter table t add a int", nullptr, nullptr},
    };
    for (const CreateLineCase& c : cases) {
        QString name = QStringLiteral("stale"), drop = QStringLiteral("stale");
        const bool yields = TLumScriptRunner::ParseCreateLine(QString::fromUtf8(c.line), name, drop);
        EXPECT_EQ(yields, c.name != nullptr) << c.line;
        if (c.name != nullptr) {
            EXPECT_EQ(name, QString::fromUtf8(c.name)) << c.line;
            EXPECT_EQ(drop, QString::fromUtf8(c.drop)) << c.line;
        }
    }
}

TEST(ScriptRunnerLines, DeletionScriptListsTheObjectsInReverseOrderAtTheTop) {
    TLumScriptRunner runner;
    runner.SetScript({"create table [dbo].[Orders] (id int)", "go", "create index ix on Orders(id)",
                      "create procedure dbo.p_Load @id int", "as select 1",
                      "create view O'Brien as select 1"});
    QStringList target = {"-- kept below"};
    runner.BuildDropScript(target);
    EXPECT_EQ(target, QStringList({
                          "if exists (select * from sysobjects where id = object_id(N'O''Brien'))",
                          "  drop view O'Brien ",
                          "GO",
                          "if exists (select * from sysobjects where id = object_id(N'p_Load'))",
                          "  drop procedure dbo.p_Load ",
                          "GO",
                          "if exists (select * from sysobjects where id = object_id(N'Orders'))",
                          "  drop table [dbo].[Orders] ",
                          "GO",
                          "-- kept below",
                      }));

    runner.SetScript({"select 1", "create index ix on t(a)"});
    QStringList empty;
    runner.BuildDropScript(empty);
    EXPECT_TRUE(empty.isEmpty());
}

TEST(ScriptRunnerLines, QuestionAndPaneLines) {
    EXPECT_EQ(TLumScriptRunner::ContinueQuestion(QStringLiteral("Bad \"x\"")),
              QStringLiteral("Возникла ошибка: \"Bad \"x\"\"\r\nПродолжить выполнение?"));
    EXPECT_EQ(TLumScriptRunner::PaneLine(QStringLiteral("a\r\nb\rc\n")), QStringLiteral("a  b c "));
}

// Every event of a run, in order, as text.
struct Events {
    QStringList log;
    void attach(TLumScriptRunner& r) {
        r.OnProgress = [this](QObject*, int pos, int max, const QString& comment) {
            log << QStringLiteral("progress %1/%2 %3").arg(pos).arg(max).arg(comment);
        };
        r.OnError = [this](QObject*, const QString& err, bool& aBreak, bool& aAsk) {
            log << QStringLiteral("error %1 %2 %3").arg(err).arg(aBreak).arg(aAsk);
        };
        r.OnMessage = [this](QObject*, const QString& s) { log << QStringLiteral("line ") + s; };
    }
};

TEST(ScriptRunnerLines, AnEmptyScriptReportsStartAndEndOnly) {
    TLumScriptRunner runner;
    Events e;
    e.attach(runner);
    EXPECT_TRUE(runner.Execute());
    EXPECT_EQ(e.log, QStringList({"progress 0/0 ", "progress 0/0 "}));
}

TEST(ScriptRunnerLines, BlankBatchesAreReportedButNotSent) {
    // No connection: a batch that were sent would fail.
    TLumScriptRunner runner;
    Events e;
    e.attach(runner);
    runner.SetScript({"GO", "go", "", "  ", "GO", "\t"});
    EXPECT_TRUE(runner.Execute());
    EXPECT_EQ(e.log, QStringList({"progress 0/6 ", "progress 0/6 ", "progress 1/6 ", "progress 4/6 ",
                                  "progress 5/6 \t", "progress 0/6 "}));
}

TEST(ScriptRunnerLines, AskGoesToOnAskThenTheDefaultAskerElseCancels) {
    TLumScriptRunner runner;
    EXPECT_FALSE(runner.Ask(QStringLiteral("q"), TLumScriptRunner::qtQuestion));
    QString asked;
    TLumScriptRunner::SetDefaultAsker([&](const QString& q, TLumScriptRunner::TLumAskType type) {
        asked = q + QString::number(type);
        return true;
    });
    EXPECT_TRUE(runner.Ask(QStringLiteral("q"), TLumScriptRunner::qtWarning));
    EXPECT_EQ(asked, QStringLiteral("q1"));
    runner.OnAsk = [](QObject*, const QString&, TLumScriptRunner::TLumAskType, bool& answer) {
        EXPECT_FALSE(answer);
    };
    EXPECT_FALSE(runner.Ask(QStringLiteral("q"), TLumScriptRunner::qtError));
    TLumScriptRunner::SetDefaultAsker(nullptr);
}

TEST(ScriptRunnerLines, AFailedBatchWithoutConnectionIsReportedAndAsked) {
    TLumScriptRunner runner;
    Events e;
    e.attach(runner);
    int asked = 0;
    runner.OnAsk = [&](QObject*, const QString& q, TLumScriptRunner::TLumAskType type, bool& answer) {
        ++asked;
        EXPECT_EQ(type, TLumScriptRunner::qtError);
        EXPECT_TRUE(q.startsWith(QStringLiteral("Возникла ошибка: \"")));
        answer = asked == 1; // OK, then Cancel
    };
    runner.SetScript({"select 1", "GO", "select 2", "GO", "select 3"});
    EXPECT_FALSE(runner.Execute());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(e.log.size(), 6) << e.log.join('\n').toStdString();
    EXPECT_EQ(e.log.last(), QStringLiteral("progress 0/5 "));
}

} // namespace
