// The Query tab's script editor on the demo simulator: running the selection or the whole text,
// the result pane, saving and opening files (and their failures), the keys, the deletion script,
// the creation options' check and stopping a running script.
#include "ScriptEditorFixture.h"

#include "uTLumScriptRunner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

namespace {

QString readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Types the name into the dialog's file name box and confirms, as a user does.
void chooseFile(QFileDialog* dialog, const QString& path) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(path);
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace

class ScriptEditorTest : public ScriptEditorFixture {};

TEST_F(ScriptEditorTest, RunsTheSelectionOrTheWholeTextAndEndsWithCompleted) {
    form->aRunExecute();
    EXPECT_EQ(paneLines(), QStringList({"Completed."}));

    form->re1->setText("select 1 as a\nGO\nselect 2 as bee\nGO\nselect 3 as c\n");
    // Only the middle line: the GO lines around it are outside the selection.
    form->re1->setSelection(2, 0, 2, 15);
    form->aRunExecute();
    EXPECT_EQ(paneLines(), QStringList({"bee        ", "---------- ", "2          ", "Completed."}));

    form->re1->setSelection(0, 0, 0, 0);
    form->aRunExecute();
    const QStringList all = paneLines();
    EXPECT_EQ(all.size(), 10);
    EXPECT_EQ(all.first(), "a          ");
    EXPECT_TRUE(all.contains("c          "));
    EXPECT_EQ(all.last(), "Completed.");
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(ScriptEditorTest, MessagesBecomeOneLineAndErrorsShowInRedBeforeTheQuestion) {
    QStringList questions;
    form->LumScriptRunner->OnAsk = [&](QObject*, const QString& q, TLumScriptRunner::TLumAskType,
                                       bool& answer) {
        questions << q;
        answer = true; // go on
    };
    // A literal running over three lines (the runner sends them joined by CR LF).
    form->re1->setText("print 'one\ntwo\nthree'\nGO\n"
                       "select * from NoSuchTable\nGO\nprint 'after'\n");
    form->aRunExecute();
    const QStringList lines = paneLines();
    ASSERT_EQ(lines.size(), 4) << lines.join("|").toStdString();
    // One line, each line break a blank (the simulator keeps LF only).
    EXPECT_EQ(lines[0].simplified(), "one two three");
    EXPECT_FALSE(form->re1Result->Line(0).contains('\r'));
    EXPECT_EQ(lines[1], "Invalid object name 'NoSuchTable'.");
    EXPECT_TRUE(form->re1Result->IsError(1));
    EXPECT_FALSE(form->re1Result->IsError(0));
    EXPECT_EQ(lines[2], "after");
    EXPECT_EQ(lines[3], "Completed.");
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains("Invalid object name 'NoSuchTable'."));

    // Cancel in the question ends the run as interrupted.
    form->LumScriptRunner->OnAsk = [&](QObject*, const QString&, TLumScriptRunner::TLumAskType,
                                       bool& answer) { answer = false; };
    form->aRunExecute();
    EXPECT_EQ(paneLines().last(), "Interrupted.");
    EXPECT_FALSE(paneLines().contains("after"));
}

TEST_F(ScriptEditorTest, CaptionFollowsTheFileNameAndTheModifiedFlag) {
    EXPECT_EQ(caption(), "Script");
    form->re1->setText("select 1");
    EXPECT_EQ(caption(), "Script *");
    context->SetLanguage(QStringLiteral("Russian"));
    form->SetLanguage(QStringLiteral("Russian"));
    EXPECT_EQ(caption(), QString::fromUtf8("Скрипт *"));
    form->re1->setText("");
    form->aRunExecute();
    EXPECT_EQ(paneLines(), QStringList({QString::fromUtf8("Завершено.")}));
}

TEST_F(ScriptEditorTest, CtrlSSavesToTheFileNameWithoutADialogOnAnyLayout) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.sql");
    writeFile(path, "select 1\n");
    form->LoadFromFile(path);
    EXPECT_EQ(caption(), path);
    form->re1->setText("select 2\n");
    EXPECT_EQ(caption(), path + " *");
    QTest::keyClick(form->re1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(readFile(path), "select 2\n");
    EXPECT_EQ(caption(), path);

    // The same key on the Russian layout reports the Cyrillic letter Ы.
    form->re1->setText("select 3\n");
    QKeyEvent press(QEvent::KeyPress, 0x42B, Qt::ControlModifier, QString::fromUtf8("ы"));
    QApplication::sendEvent(form->re1, &press);
    EXPECT_EQ(readFile(path), "select 3\n");
    EXPECT_EQ(caption(), path);
    EXPECT_EQ(form->re1->text(), "select 3\n"); // the letter was not typed

    // Ctrl+A on the Russian layout (Ф) selects everything.
    QKeyEvent selectAll(QEvent::KeyPress, 0x424, Qt::ControlModifier, QString::fromUtf8("ф"));
    QApplication::sendEvent(form->re1, &selectAll);
    EXPECT_EQ(form->re1->selectedText(), "select 3\n");
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(ScriptEditorTest, CtrlSWithoutAFileNameAsksForOneAndOpenShowsTheFile) {
    QTemporaryDir dir;
    const QString saved = dir.filePath("new");
    form->re1->setText("select 42\n");
    testsupport::ModalDriver driver({[&](QWidget* modal) {
        auto* d = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(d->nameFilters(),
                  QStringList({QString::fromUtf8("файлы sql (*.sql)"), QString::fromUtf8("Все файлы (*)")}));
        chooseFile(d, saved);
    }});
    QTest::keyClick(form->re1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    // The extension is added when none is typed.
    EXPECT_EQ(form->FileName(), saved + ".sql");
    EXPECT_EQ(readFile(saved + ".sql"), "select 42\n");
    EXPECT_EQ(caption(), saved + ".sql");

    const QString other = dir.filePath("other.sql");
    writeFile(other, "select 'other'\r\nGO\r\n");
    testsupport::ModalDriver opener({[&](QWidget* modal) {
        auto* d = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptOpen);
        chooseFile(d, other);
    }});
    form->aOpen->Execute();
    EXPECT_EQ(opener.Remaining(), 0);
    EXPECT_EQ(caption(), other);
    EXPECT_EQ(form->re1->text(), "select 'other'\nGO\n");
    EXPECT_FALSE(form->Modified());
}

TEST_F(ScriptEditorTest, AFailedOpenOrSaveKeepsTheNameTheTextAndTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("kept.sql");
    writeFile(path, "select 'kept'\n");
    form->LoadFromFile(path);
    form->re1->setText("select 'changed'\n");

    EXPECT_ANY_THROW(form->LoadFromFile(dir.filePath("missing.sql")));
    EXPECT_EQ(form->FileName(), path);
    EXPECT_EQ(form->re1->text(), "select 'changed'\n");
    EXPECT_EQ(caption(), path + " *");

    // A directory cannot be written as a file; a file cannot hold a directory.
    EXPECT_ANY_THROW(form->SaveToFile(dir.path()));
    EXPECT_ANY_THROW(form->SaveToFile(path + "/inside.sql"));
    EXPECT_EQ(form->FileName(), path);
    EXPECT_EQ(caption(), path + " *");
    EXPECT_EQ(readFile(path), "select 'kept'\n");

    // Ctrl+S still writes the file the script came from, and leaves no temporary file behind.
    QTest::keyClick(form->re1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(readFile(path), "select 'changed'\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"kept.sql"}));
}

TEST_F(ScriptEditorTest, DeletionScriptReplacesTheScript) {
    QTemporaryDir dir;
    const QString path = dir.filePath("d.sql");
    writeFile(path, "select 1\nupdate t set a = 1\n");
    form->LoadFromFile(path);
    testsupport::ModalDriver driver({[](QWidget* modal) {
        EXPECT_EQ(testsupport::ModalDriver::Text(modal), "Create deletion script?");
        testsupport::ModalDriver::ClickDefault(modal);
    }});
    form->aScriptDel->Execute();
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(form->re1->text(), "");
    EXPECT_EQ(form->FileName(), "");
    EXPECT_EQ(readFile(path), "select 1\nupdate t set a = 1\n");

    form->re1->setText("create table [dbo].[Orders2] (id int)\ncreate procedure dbo.p_Load @id int\n");
    testsupport::ModalDriver again({[](QWidget* modal) { testsupport::ModalDriver::ClickDefault(modal); }});
    form->aScriptDel->Execute();
    EXPECT_EQ(form->re1->text(), "if exists (select * from sysobjects where id = object_id(N'p_Load'))\n"
                                 "  drop procedure dbo.p_Load \nGO\n"
                                 "if exists (select * from sysobjects where id = object_id(N'Orders2'))\n"
                                 "  drop table [dbo].[Orders2] \nGO\n");
    EXPECT_EQ(caption(), "Script *");
}

TEST_F(ScriptEditorTest, OkWithAnEmptyObjectNameKeepsTheOptionsDialogOpen) {
    form->dxirName->SetText(QString());
    form->dxirDiv->SetChecked(true);
    QPointer<QWidget> dialog;
    testsupport::ModalDriver driver({[&](QWidget* modal) {
        dialog = modal;
        clickOk(modal);
        // The check refused OK: the message was shown and the dialog is still there.
        EXPECT_EQ(errors, QStringList({"Object name not set."}));
        EXPECT_TRUE(modal->isVisible());
        clickCancel(modal);
    }});
    form->aScriptCreate->trigger();
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(form->re1->text(), ""); // cancelled: nothing inserted
}

TEST_F(ScriptEditorTest, StopCancelsTheRunningBatchOnTheServer) {
    const QString script = "print 'before'\nGO\nwaitfor delay '00:00:30'\nGO\nprint 'after'\n";
    form->re1->setText(script);
    auto* stop = qobject_cast<QToolButton*>(form->ActionToolBar1->widgetForAction(form->aStop));
    ASSERT_NE(stop, nullptr);
    EXPECT_FALSE(form->aStop->isEnabled());
    bool clicked = false;
    QString status;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (clicked || !form->Running() || !connection->Busy() ||
            !form->lStatus->text().startsWith("Batch 2 of 3"))
            return;
        status = form->lStatus->text();
        // Typing while the script runs changes nothing.
        QTest::keyClicks(form->re1, "xyz");
        QTest::keyClick(form->re1, Qt::Key_Delete);
        clicked = true;
        QTest::mouseClick(stop, Qt::LeftButton);
    });
    poll.start(20);
    QElapsedTimer clock;
    clock.start();
    form->aRunExecute();
    EXPECT_TRUE(clicked);
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_EQ(paneLines(), QStringList({"before", "Interrupted."}));
    EXPECT_EQ(form->re1->text(), script);
    EXPECT_EQ(status, "Batch 2 of 3: waitfor delay '00:00:30'");
    EXPECT_FALSE(form->Running());
    EXPECT_TRUE(form->aRun->isEnabled());
    EXPECT_TRUE(form->lStatus->text().isEmpty());

    // The connection is usable afterwards, and Alt+Break stops a run too.
    clicked = false;
    QObject::disconnect(&poll, nullptr, nullptr, nullptr);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (clicked || !form->Running() || !connection->Busy() ||
            !form->lStatus->text().startsWith("Batch 2 of 3"))
            return;
        clicked = true;
        QTest::keyClick(form->re1, Qt::Key_Pause, Qt::AltModifier);
    });
    form->aRunExecute();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(paneLines(), QStringList({"before", "Interrupted."}));
    form->re1->setText("print 'again'");
    form->aRunExecute();
    EXPECT_EQ(paneLines(), QStringList({"again", "Completed."}));
}

TEST_F(ScriptEditorTest, CreationOptionsAndThePaneHeightAreKeptButNotTheObjectOrTheWhereText) {
    QTemporaryDir dir;
    const QString ini = dir.filePath("marlinde.ini");
    writeFile(ini, "[mainWindow]\n");
    TearDown();
    open(QStringLiteral("Sales"), ini);
    form->dxirStruct->SetChecked(true);
    form->dxirData->SetChecked(true);
    form->dxirDataId->SetChecked(false);
    form->dxirTriggers->SetChecked(true);
    form->dxirName->SetText("dbo.Orders");
    form->dxirDataWhere->SetText("id > 1");
    host->hide(); // a module form keeps its settings when it is hidden
    const QString text = readFile(ini);
    EXPECT_TRUE(text.contains("[fLumScript.dxirStruct]\nText=True")) << text.toStdString();
    EXPECT_TRUE(text.contains("[fLumScript.dxirDataId]\nText=False")) << text.toStdString();
    EXPECT_TRUE(text.contains("[fLumScript.re1Result]\nHeight=")) << text.toStdString();
    EXPECT_FALSE(text.contains("dbo.Orders"));
    EXPECT_FALSE(text.contains("dxirTriggers"));

    TearDown();
    open(QStringLiteral("Sales"), ini);
    EXPECT_TRUE(form->dxirStruct->Checked());
    EXPECT_TRUE(form->dxirData->Checked());
    EXPECT_FALSE(form->dxirDataId->Checked());
    EXPECT_FALSE(form->dxirTriggers->Checked());
    EXPECT_EQ(form->dxirName->Text(), "");
    EXPECT_EQ(form->dxirDataWhere->Text(), "");
}

TEST_F(ScriptEditorTest, TheObjectChooserGroupsByTypeThenCategoryAndGivesTheChosenName) {
    QStringList groups;
    bool refreshTopRight = false;
    testsupport::ModalDriver driver({[&](QWidget* modal) {
        ASSERT_NE(dialogOf(modal), nullptr);
        EXPECT_EQ(modal->windowTitle(), QString::fromUtf8("Объекты БД"));
        for (TdxDBGridColumn* c : form->dxdbgObjects->GroupColumns())
            groups << c->FieldName();
        EXPECT_TRUE(modal->isAncestorOf(form->dxdbgObjects));
        refreshTopRight = modal->isAncestorOf(form->pObjectsRefresh) && form->pObjectsRefresh->isVisible() &&
                          form->pObjectsRefresh->mapTo(modal, QPoint(0, 0)).x() > modal->width() / 2;
        // The user picks dbo.Orders.
        for (form->qObjects->First(); !form->qObjects->Eof(); form->qObjects->Next()) {
            if (form->qObjects->FieldByName("name")->AsString() == "dbo.Orders")
                break;
        }
        clickOk(modal);
    }});
    form->dxirName->ClickButton();
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(groups, QStringList({"type", "category"}));
    EXPECT_TRUE(refreshTopRight);
    EXPECT_EQ(form->dxirName->Text(), "dbo.Orders");
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}
