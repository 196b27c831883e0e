// The record edit dialog: rows, drawing of required and read-only rows, automatic height, its
// buttons and hooks, the editor opened after showing; and a post the server refuses, which keeps
// the dialog open until a second OK after correcting the values posts.
#include "../platform/grid/MemoryDataSet.h"
#include "DemoSimSuite.h"
#include "ModalDriver.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TButton.h"
#include "TDataSource.h"
#include "TField.h"
#include "uLumDBActions.h"
#include "uTLumDlgButtonPanel.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

using testsupport::ModalDriver;

namespace {

void clickLater(QAbstractButton* button) {
    QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
}

TdxInspectorRow* rowFor(TdxInspector* inspector, const QString& fieldName) {
    for (int i = 0; i < inspector->Count(); ++i) {
        auto* row = qobject_cast<TdxInspectorDBRow*>(inspector->Rows(i));
        if (row && row->FieldName() == fieldName)
            return row;
    }
    return nullptr;
}

class EditDialog : public ::testing::Test {
protected:
    MemoryDataSet data;
    TDataSource source;
    TLumDBEditDialog dialog;

    void SetUp() override {
        FillPeople(data);
        data.Open();
        source.SetDataSet(&data);
        dialog.SetDataSource(&source);
    }
};

TEST_F(EditDialog, RequiredAndReadOnlyRowsAreDrawnApart) {
    data.FieldByName("name")->SetRequired(true);
    data.FieldByName("id")->SetReadOnly(true);
    data.FieldByName("kind")->SetVisible(false);
    dialog.OnRowsCreated = [](QObject*, TdxDBInspector* inspector, TDataSource*) {
        inspector->AddRow<TdxInspectorCategoryRow>()->SetCaption(QStringLiteral("More"));
    };
    data.Insert();
    dialog.BuildRows();
    TdxDBInspector* inspector = dialog.Inspector();
    ASSERT_EQ(inspector->Count(), 6); // five visible fields and the category
    EXPECT_NE(qobject_cast<TdxInspectorDBSpinRow*>(inspector->Rows(0)), nullptr);
    EXPECT_NE(qobject_cast<TdxInspectorDBMaskRow*>(inspector->Rows(1)), nullptr);
    EXPECT_NE(qobject_cast<TdxInspectorDBCalcRow*>(inspector->Rows(2)), nullptr);
    EXPECT_NE(qobject_cast<TdxInspectorDBDateRow*>(inspector->Rows(3)), nullptr);
    EXPECT_NE(qobject_cast<TdxInspectorDBCheckRow*>(inspector->Rows(4)), nullptr);

    const QColor normal = inspector->palette().color(QPalette::Base);
    TdxInspectorRow* name = rowFor(inspector, "name");
    EXPECT_EQ(inspector->CaptionDrawInfo(name).fontColor, QColor(255, 0, 0));
    EXPECT_EQ(inspector->ValueDrawInfo(name).background, QColor(255, 212, 212));
    name->SetText(QStringLiteral("Zoe"));
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Zoe");
    EXPECT_EQ(inspector->ValueDrawInfo(name).background, normal);
    EXPECT_EQ(inspector->CaptionDrawInfo(name).fontColor, QColor(255, 0, 0));

    TdxInspectorRow* id = rowFor(inspector, "id");
    EXPECT_TRUE(id->ReadOnly());
    EXPECT_EQ(inspector->ValueDrawInfo(id).background, QColor(192, 192, 192));
    EXPECT_EQ(inspector->CaptionDrawInfo(id).fontColor, QColor(128, 128, 128));
    // Read-only wins over the pale red, red wins over grey.
    data.FieldByName("id")->SetRequired(true);
    EXPECT_EQ(inspector->ValueDrawInfo(id).background, QColor(192, 192, 192));
    EXPECT_EQ(inspector->CaptionDrawInfo(id).fontColor, QColor(255, 0, 0));

    TdxInspectorRow* category = inspector->Rows(5);
    EXPECT_EQ(inspector->CaptionDrawInfo(category).fontColor, QColor(128, 128, 128));
    EXPECT_FALSE(inspector->CaptionDrawInfo(category).font.bold());
    TdxInspectorRow* amount = rowFor(inspector, "amount");
    EXPECT_EQ(inspector->CaptionDrawInfo(amount).fontColor, inspector->palette().color(QPalette::Text));
    EXPECT_EQ(inspector->ValueDrawInfo(amount).background, normal);
    data.Cancel();
}

TEST_F(EditDialog, AutoHeightAddsRowsPanelAndSeventeen) {
    for (int i = 0; i < data.FieldCount(); ++i)
        data.Fields()[i]->SetVisible(false);
    dialog.BuildRows();
    EXPECT_EQ(dialog.Inspector()->Count(), 0);
    dialog.SetAutoHeight(true);
    EXPECT_EQ(dialog.height(), 41 + 17);
    data.FieldByName("name")->SetVisible(true);
    data.FieldByName("id")->SetVisible(true);
    dialog.BuildRows();
    dialog.ApplyAutoHeight();
    EXPECT_EQ(dialog.height(), 2 * dialog.Inspector()->DefaultRowHeight() + 41 + 17);
}

TEST_F(EditDialog, ButtonsAndHooks) {
    EXPECT_EQ(dialog.Button(0)->text(), "OK");
    EXPECT_EQ(dialog.Button(1)->text(), "Cancel");
    EXPECT_EQ(dialog.Button(2)->text(), "&Help");
    EXPECT_TRUE(dialog.Button(0)->Default());
    EXPECT_TRUE(dialog.Button(1)->Cancel());
    dialog.SetEnabledButtons(TLumDBEditDialog::dbeCancel);
    EXPECT_FALSE(dialog.Button(0)->isEnabled());
    EXPECT_TRUE(dialog.Button(1)->isEnabled());
    dialog.SetEnabledButtons(TLumDBEditDialog::TLumDBEditDlgButtons(TLumDBEditDialog::dbeOk) |
                             TLumDBEditDialog::dbeCancel | TLumDBEditDialog::dbeHelp);
    dialog.SetVisibleButtons(TLumDBEditDialog::dbeOk);
    EXPECT_EQ(dialog.VisibleButtons(), TLumDBEditDialog::TLumDBEditDlgButtons(TLumDBEditDialog::dbeOk));
    dialog.SetVisibleButtons(TLumDBEditDialog::TLumDBEditDlgButtons(TLumDBEditDialog::dbeOk) |
                             TLumDBEditDialog::dbeCancel | TLumDBEditDialog::dbeHelp);

    int verifies = 0, oks = 0, helps = 0;
    dialog.OnHelpButton = [&](QObject*) { ++helps; };
    QString refused = QStringLiteral("unset");
    // No OK hook: OK simply closes. Help never closes.
    ModalDriver plain({[&](QWidget*) {
        dialog.Button(2)->click();
        clickLater(dialog.Button(0));
    }});
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_EQ(helps, 1);
    EXPECT_EQ(plain.Remaining(), 0);

    // A refusing verification without a message still shows an (empty) error and stays open.
    dialog.OnVerifyRecord = [&](QObject*, bool& cancel, QString&) { cancel = ++verifies == 1; };
    dialog.OnOkButton = [&](QObject*) { ++oks; };
    ModalDriver verified({[&](QWidget*) { clickLater(dialog.Button(0)); },
                          [&](QWidget* m) {
                              refused = ModalDriver::Text(m);
                              EXPECT_NE(qobject_cast<QMessageBox*>(m), nullptr);
                              ModalDriver::ClickDefault(m);
                          },
                          [&](QWidget* m) {
                              EXPECT_EQ(m, &dialog);
                              clickLater(dialog.Button(0));
                          }});
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_EQ(refused, "");
    EXPECT_EQ(verifies, 2);
    EXPECT_EQ(oks, 1);
    EXPECT_EQ(verified.Remaining(), 0);

    // Escape is Cancel and runs its hook; closing by the title bar does not.
    int cancels = 0;
    dialog.OnCancelButton = [&](QObject*) { ++cancels; };
    ModalDriver escape({[&](QWidget* m) { QTest::keyClick(m, Qt::Key_Escape); }});
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    ModalDriver closed({[&](QWidget* m) { QMetaObject::invokeMethod(m, "close", Qt::QueuedConnection); }});
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(oks, 1);
}

TEST_F(EditDialog, TheEditorOpensAfterShowingAndKeepsTheTypedValue) {
    data.Edit();
    dialog.BuildRows();
    dialog.Inspector()->SetFocusedRow(rowFor(dialog.Inspector(), "name"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Inspector()->EditorOpen(); }, 5000));
    auto* line = qobject_cast<QLineEdit*>(dialog.Inspector()->Editor());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), "carl");
    line->selectAll();
    QTest::keyClicks(line, "Carla");
    dialog.Inspector()->CloseEditor(true);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Carla");
    // Without editing allowed no editor opens.
    dialog.Inspector()->SetOptions(TdxDBInspector::dioAutoWidth);
    dialog.Inspector()->ShowEditor();
    EXPECT_FALSE(dialog.Inspector()->EditorOpen());
    dialog.hide();
    data.Cancel();
}

TEST_F(EditDialog, AValueTheFieldRefusesKeepsTheDialogAndItsEditorOpen) {
    TLumDatasetEdit edit;
    edit.SetDataSource(&source);
    QString error;
    bool editorStillOpen = false;
    ModalDriver driver({[&](QWidget*) {
                            TdxDBInspector* inspector = edit.Dialog()->Inspector();
                            inspector->SetFocusedRow(rowFor(inspector, "created"));
                            inspector->ShowEditor();
                            auto* line = qobject_cast<QLineEdit*>(inspector->Editor());
                            ASSERT_NE(line, nullptr);
                            line->selectAll();
                            QTest::keyClicks(line, "someday");
                            clickLater(edit.Dialog()->Button(0));
                        },
                        [&](QWidget* m) {
                            error = ModalDriver::Text(m);
                            ModalDriver::ClickDefault(m);
                        },
                        [&](QWidget*) {
                            TdxDBInspector* inspector = edit.Dialog()->Inspector();
                            editorStillOpen = inspector->EditorOpen();
                            auto* line = qobject_cast<QLineEdit*>(inspector->Editor());
                            ASSERT_NE(line, nullptr);
                            EXPECT_EQ(line->text(), "someday");
                            line->clear();
                            clickLater(edit.Dialog()->Button(0));
                        }});
    edit.Execute();
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(editorStillOpen);
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(data.writes, QStringList({"update carl"}));
    EXPECT_TRUE(data.FieldByName("created")->IsNull());
}

class ServerPost : public testsupport::DemoSimSuite {};

TEST_F(ServerPost, ARefusedPostKeepsTheDialogOpenAndASecondOkPosts) {
    ASSERT_TRUE(sim->started());
    TADOConnection connection;
    connection.SetConnectionString(SaConnectionString("Sales"));
    connection.Open();
    connection.Execute("create table EdPeople (id int primary key, name nvarchar(50) not null)");
    connection.Execute("insert into EdPeople values (1, N'Anna')");
    TADOQuery query;
    query.SetConnection(&connection);
    query.SetSQLText("select * from EdPeople");
    query.Open();
    TDataSource source;
    source.SetDataSet(&query);
    TLumDatasetInsert insert;
    insert.SetDataSource(&source);
    insert.OnNewFieldValue = [](QObject*, TField* field, QVariant& value) {
        if (field->FieldName() == "id")
            value = 1; // taken
        if (field->FieldName() == "name")
            value = QStringLiteral("Boris");
    };
    QString error;
    ModalDriver driver({[&](QWidget* m) {
                            ASSERT_NE(qobject_cast<TLumDBEditDialog*>(m), nullptr);
                            clickLater(insert.Dialog()->Button(0));
                        },
                        [&](QWidget* m) {
                            error = ModalDriver::Text(m);
                            ModalDriver::ClickDefault(m);
                        },
                        [&](QWidget* m) {
                            // Still open with the values entered; the user corrects the key.
                            EXPECT_EQ(m, insert.Dialog());
                            EXPECT_EQ(query.State(), dsInsert);
                            EXPECT_EQ(query.FieldByName("name")->AsString(), "Boris");
                            rowFor(insert.Dialog()->Inspector(), "id")->SetText("2");
                            clickLater(insert.Dialog()->Button(0));
                        }});
    insert.Execute();
    EXPECT_TRUE(error.startsWith("Violation of PRIMARY KEY constraint")) << error.toStdString();
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(query.State(), dsBrowse);
    auto rs = connection.Execute("select count(*) from EdPeople where id = 2 and name = N'Boris'");
    EXPECT_EQ(rs->Fields(0).Value().toInt(), 1);
}

} // namespace
