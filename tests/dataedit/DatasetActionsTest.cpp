// The dataset actions over an in-memory data set: enabled states per data set state and
// ForcedDisable, refresh, delete with its question, insert and edit through the record edit
// dialog (defaults, read-only fields, cancel), and the insert whose defaults fail.
#include "../platform/grid/MemoryDataSet.h"
#include "EDatabaseError.h"
#include "ModalDriver.h"
#include "TButton.h"
#include "TDataSource.h"
#include "TField.h"
#include "uLumDBActions.h"

#include <QMessageBox>

#include <gtest/gtest.h>

using testsupport::ModalDriver;

namespace {

// Can be made to fail on opening and deleting as a server would.
class FailingDataSet : public MemoryDataSet {
public:
    bool failOpen = false;
    bool failDelete = false;
    int opens = 0;

protected:
    void InternalOpen() override {
        ++opens;
        if (failOpen)
            throw EDatabaseError(QStringLiteral("The server went away"), 0);
        MemoryDataSet::InternalOpen();
    }
    void InternalDelete(int) override {
        if (failDelete)
            throw EDatabaseError(
                QStringLiteral("The DELETE statement conflicted with the REFERENCE constraint"), 547);
    }
};

void clickLater(QAbstractButton* button) {
    QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
}

void answer(QWidget* modal, QMessageBox::StandardButton which) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->button(which), nullptr);
    clickLater(box->button(which));
}

class DatasetActions : public ::testing::Test {
protected:
    FailingDataSet data;
    TDataSource source;
    TLumDatasetFirst first;
    TLumDatasetPrior prior;
    TLumDataSetNext next;
    TLumDatasetLast last;
    TLumDatasetRefresh refresh;
    TLumDatasetDelete del;
    TLumDatasetInsert insert;
    TLumDatasetEdit edit;

    void SetUp() override {
        FillPeople(data);
        source.SetDataSet(&data);
        for (TLumDatasetAction* a : all())
            a->SetDataSource(&source);
    }
    QList<TLumDatasetAction*> all() { return {&first, &prior, &next, &last, &refresh, &del, &insert, &edit}; }
    // The enabled states in the order of all().
    QString states() {
        QString s;
        for (TLumDatasetAction* a : all()) {
            a->Update();
            s += a->Enabled() ? '1' : '0';
        }
        return s;
    }
};

TEST_F(DatasetActions, EnabledStatesFollowTheDataSet) {
    // Closed: only refresh, which opens it.
    EXPECT_EQ(states(), "00001000");
    data.Open();
    EXPECT_EQ(states(), "00111111"); // at the first record
    data.Next();
    EXPECT_EQ(states(), "11111111");
    data.Last();
    EXPECT_EQ(states(), "11001111");
    data.Edit();
    EXPECT_EQ(states(), "11000110"); // no refresh and no edit while editing
    data.Cancel();
    data.Close();
    data.rows.clear();
    data.Open();
    // Empty: no navigation and no delete; insert and edit can still modify it.
    EXPECT_EQ(states(), "00001011");
    // Without a data source nothing is available.
    TLumDatasetRefresh lone;
    lone.Update();
    EXPECT_FALSE(lone.Enabled());
    EXPECT_FALSE(lone.HandlesTarget(&source));
}

TEST_F(DatasetActions, ForcedDisableWinsButExecuteFromCodeStillRuns) {
    data.Open();
    data.Next();
    for (TLumDatasetAction* a : all())
        a->SetForcedDisable(true);
    EXPECT_EQ(states(), "00000000");
    EXPECT_TRUE(next.HandlesTarget(nullptr));
    EXPECT_TRUE(next.Execute());
    EXPECT_EQ(data.RecNo(), 3);
    EXPECT_TRUE(first.Execute());
    EXPECT_EQ(data.RecNo(), 1);
    last.Execute();
    EXPECT_EQ(data.RecNo(), 6);
    prior.Execute();
    EXPECT_EQ(data.RecNo(), 5);
    // A disabled action cannot be triggered from a button.
    next.trigger();
    EXPECT_EQ(data.RecNo(), 5);
}

TEST_F(DatasetActions, RefreshOpensReopensAndReenablesControlsWhenOpeningFails) {
    int after = 0;
    refresh.AfterExecute = [&](QObject* sender) {
        EXPECT_EQ(sender, &refresh);
        ++after;
    };
    refresh.Execute();
    EXPECT_TRUE(data.Active());
    EXPECT_EQ(data.RecordCount(), 6);
    data.rows.removeLast();
    refresh.Execute();
    EXPECT_EQ(data.RecordCount(), 5);
    EXPECT_EQ(after, 2);

    // BeforeExecute can refuse; with a message the user sees it.
    refresh.BeforeExecute = [](QObject*, bool& cancel, QString& message) {
        cancel = true;
        message = QStringLiteral("Not now");
    };
    QString shown;
    ModalDriver driver({[&](QWidget* m) {
        shown = ModalDriver::Text(m);
        answer(m, QMessageBox::Ok);
    }});
    const int opens = data.opens;
    refresh.Execute();
    EXPECT_EQ(shown, "Not now");
    EXPECT_EQ(data.opens, opens);
    EXPECT_EQ(after, 2);
    EXPECT_EQ(driver.Remaining(), 0);

    refresh.BeforeExecute = nullptr;
    data.failOpen = true;
    EXPECT_THROW(refresh.Execute(), EDatabaseError);
    EXPECT_FALSE(data.ControlsDisabled());
    EXPECT_FALSE(data.Active());
    EXPECT_EQ(after, 2); // the failure skipped AfterExecute
}

TEST_F(DatasetActions, DeleteAsksAndNoStillRunsAfterExecute) {
    data.Open();
    data.Next();
    int after = 0;
    del.AfterExecute = [&](QObject*) { ++after; };
    QString question;
    ModalDriver driver({[&](QWidget* m) {
                            question = ModalDriver::Text(m);
                            answer(m, QMessageBox::No);
                        },
                        [&](QWidget* m) { answer(m, QMessageBox::Yes); }});
    del.Execute();
    EXPECT_EQ(question, "Вы действительно хотите удалить запись?");
    EXPECT_EQ(data.RecordCount(), 6);
    EXPECT_EQ(after, 1);
    del.Execute();
    EXPECT_EQ(data.RecordCount(), 5);
    EXPECT_NE(data.FieldByName("name")->AsString(), "Anna");
    EXPECT_EQ(after, 2);
    EXPECT_EQ(driver.Remaining(), 0);
}

TEST_F(DatasetActions, AFailedDeleteIsShownAndConsumed) {
    data.Open();
    data.failDelete = true;
    int after = 0;
    del.AfterExecute = [&](QObject*) { ++after; };
    QString error;
    ModalDriver driver({[&](QWidget* m) { answer(m, QMessageBox::Yes); },
                        [&](QWidget* m) {
                            error = ModalDriver::Text(m);
                            answer(m, QMessageBox::Ok);
                        }});
    EXPECT_NO_THROW(del.Execute());
    EXPECT_TRUE(error.contains("REFERENCE constraint")) << error.toStdString();
    EXPECT_EQ(data.RecordCount(), 6);
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(after, 1);
    EXPECT_EQ(driver.Remaining(), 0);
}

TEST_F(DatasetActions, InsertTakesDefaultsLeavesReadOnlyFieldsAndCancelLeavesNoRecord) {
    data.Open();
    data.FieldByName("id")->SetReadOnly(true);
    QStringList asked;
    insert.OnNewFieldValue = [&](QObject* sender, TField* field, QVariant& value) {
        EXPECT_EQ(sender, &insert);
        EXPECT_FALSE(value.isValid());
        asked << field->FieldName();
        if (field->FieldName() == "id")
            value = 99;
        if (field->FieldName() == "name")
            value = QStringLiteral("Zoe");
    };
    insert.SetDialogCaption(QStringLiteral("New person"));
    QString seenName, seenCaption;
    bool idNull = false;
    TDataSetState seenState = dsInactive;
    ModalDriver driver({[&](QWidget* m) {
        auto* dialog = qobject_cast<TLumDBEditDialog*>(m);
        ASSERT_NE(dialog, nullptr);
        seenCaption = dialog->windowTitle();
        seenState = data.State();
        seenName = data.FieldByName("name")->AsString();
        idNull = data.FieldByName("id")->IsNull();
        EXPECT_EQ(dialog->Inspector()->Count(), data.FieldCount());
        clickLater(dialog->Button(1));
    }});
    insert.Execute();
    EXPECT_EQ(asked, QStringList({"id", "name", "kind", "amount", "created", "active"}));
    EXPECT_EQ(seenCaption, "New person");
    EXPECT_EQ(seenState, dsInsert);
    EXPECT_EQ(seenName, "Zoe");
    EXPECT_TRUE(idNull);
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(data.RecordCount(), 6);
    EXPECT_TRUE(data.writes.isEmpty());
    EXPECT_EQ(insert.Dialog(), nullptr);
    EXPECT_EQ(driver.Remaining(), 0);
}

TEST_F(DatasetActions, InsertWithoutChangesPostsOnOkAndEditCancelRestores) {
    data.Open();
    int okCalls = 0;
    insert.OnOKBtnClick = [&](QObject* sender) {
        EXPECT_EQ(sender, &insert);
        ++okCalls;
    };
    ModalDriver driver({[&](QWidget* m) { clickLater(qobject_cast<TLumDBEditDialog*>(m)->Button(0)); },
                        [&](QWidget* m) {
                            // The user changes the name, then thinks better of it.
                            data.FieldByName("name")->SetAsString("Changed");
                            clickLater(qobject_cast<TLumDBEditDialog*>(m)->Button(1));
                        }});
    insert.Execute();
    // The record counts as modified even though nobody typed: OK posts it.
    EXPECT_EQ(okCalls, 1);
    EXPECT_EQ(data.writes, QStringList({"insert "}));
    EXPECT_EQ(data.RecordCount(), 7);
    ASSERT_TRUE(data.Locate("id", 1));
    edit.Execute();
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "carl");
    EXPECT_EQ(data.writes.size(), 1);
    EXPECT_EQ(driver.Remaining(), 0);
}

TEST_F(DatasetActions, ADefaultTheFieldRefusesCancelsTheInsertAndReachesTheCaller) {
    data.Open();
    data.Next();
    insert.OnNewFieldValue = [](QObject*, TField* field, QVariant& value) {
        if (field->FieldName() == "amount")
            value = QStringLiteral("not a number");
    };
    int after = 0;
    insert.AfterExecute = [&](QObject*) { ++after; };
    EXPECT_ANY_THROW(insert.Execute());
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(data.RecordCount(), 6);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Anna");
    EXPECT_EQ(after, 0);
    edit.Update();
    refresh.Update();
    EXPECT_TRUE(edit.Enabled());
    EXPECT_TRUE(refresh.Enabled());
}

TEST_F(DatasetActions, InitialValuesOfTheDialogProperties) {
    EXPECT_FALSE(edit.AutoHeight());
    EXPECT_EQ(edit.BorderIcons(), TLumDBEditDialog::TBorderIcons(TLumDBEditDialog::biSystemMenu) |
                                      TLumDBEditDialog::biMinimize | TLumDBEditDialog::biMaximize);
    EXPECT_EQ(edit.EnabledButtons(), TLumDBEditDialog::TLumDBEditDlgButtons(TLumDBEditDialog::dbeOk) |
                                         TLumDBEditDialog::dbeCancel | TLumDBEditDialog::dbeHelp);
    EXPECT_EQ(edit.VisibleButtons(), edit.EnabledButtons());
    EXPECT_EQ(edit.Height(), 300);
    EXPECT_EQ(edit.Width(), 450);
    EXPECT_EQ(edit.InspectorBorderStyle(), TdxInspector::bsNone);
    EXPECT_EQ(edit.PaintStyle(), TdxInspector::ipsStandard);
    EXPECT_EQ(edit.Position(), TLumDBEditDialog::poMainFormCenter);
    EXPECT_EQ(int(edit.Options()), TdxDBInspector::dioAutoWidth | TdxDBInspector::dioBandSizing |
                                       TdxDBInspector::dioCancelOnExit | TdxDBInspector::dioColumnSizing |
                                       TdxDBInspector::dioDynamicColumnSizing | TdxDBInspector::dioEditing);
    // Published on insert and edit only.
    EXPECT_GE(insert.metaObject()->indexOfProperty("DialogCaption"), 0);
    EXPECT_LT(del.metaObject()->indexOfProperty("DialogCaption"), 0);
    EXPECT_EQ(del.property("WarningString").toString(), "Вы действительно хотите удалить запись?");
}

} // namespace
