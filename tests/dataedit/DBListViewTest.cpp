// The data-bound list view over an in-memory data set: loading, keeping the record, following the
// selection without reloading, the insert placeholder and label editing with its failures; and
// over the key-less database and server lists of the simulator's demo instance.
#include "../platform/grid/MemoryDataSet.h"
#include "DemoSimSuite.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TApplication.h"
#include "TDataSource.h"
#include "uTLumDBListView.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void fillNames(MemoryDataSet& d) {
    d.columns = {MakeColumn("id", TStorageKind::Int32, ftInteger),
                 MakeColumn("name", TStorageKind::Text, ftWideString),
                 MakeColumn("big", TStorageKind::Int32, ftInteger),
                 MakeColumn("small", TStorageKind::Int32, ftInteger)};
    d.rows = {{1, "master", 0, 10}, {2, "model", 1, 11}, {3, "Sales", 2, 12}, {4, "tempdb", 3, 13}};
}

class DBListViewTest : public ::testing::Test {
protected:
    MemoryDataSet data;
    TDataSource source;
    std::unique_ptr<TLumDBListView> view;
    int loads = 0;
    QStringList errors;

    void SetUp() override {
        fillNames(data);
        data.Open();
        source.SetDataSet(&data);
        qobject_cast<TApplication*>(qApp)->OnException = [this](const std::exception& e) {
            errors << QString::fromUtf8(e.what());
        };
        view = std::make_unique<TLumDBListView>(nullptr, "dblv");
        view->AfterLoad = [this](QObject* sender) {
            EXPECT_EQ(sender, view.get());
            ++loads;
        };
        view->SetViewStyle(TLumDBListView::vsReport);
        view->SetDataSource(&source);
        view->SetDataField("name");
        view->resize(400, 300);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    void TearDown() override { qobject_cast<TApplication*>(qApp)->OnException = nullptr; }

    QStringList captions() const {
        QStringList result;
        for (int i = 0; i < view->ItemCount(); ++i)
            result << view->ItemCaption(i);
        return result;
    }
    QPoint itemCentre(int row) const {
        QAbstractItemView* v = view->View();
        return v->visualRect(v->model()->index(row, 0)).center();
    }
    QLineEdit* openEditor(int row) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // earlier editors
        view->EditLabel(row);
        return view->View()->findChild<QLineEdit*>();
    }
};

TEST_F(DBListViewTest, LoadsOneItemPerRecordWithImagesChecksAndTheRecordKept) {
    EXPECT_EQ(captions(), (QStringList{"master", "model", "Sales", "tempdb"}));
    EXPECT_GE(loads, 1);
    EXPECT_EQ(view->ItemIndex(), -1); // a load selects nothing
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(view->ItemIsPlaceholder(i));
        EXPECT_EQ(view->ItemImageIndex(i), -1); // no image field named
    }

    // The record current before a load is current after it.
    data.SetRecNo(3);
    const int before = loads;
    view->SetLargeImageIndexFieldName("big");
    EXPECT_EQ(loads, before + 1);
    EXPECT_EQ(data.RecNo(), 3);
    // Outside icon view only the small image field counts; it takes effect at the next load.
    EXPECT_EQ(view->ItemImageIndex(1), -1);
    view->SetSmallImageIndexFieldName("small");
    view->SetLargeImageIndexFieldName("big"); // unchanged: no reload
    EXPECT_EQ(loads, before + 1);
    EXPECT_EQ(view->ItemImageIndex(1), -1);
    view->LoadItems();
    EXPECT_EQ(view->ItemImageIndex(1), 11);
    view->SetViewStyle(TLumDBListView::vsIcon);
    view->LoadItems();
    EXPECT_EQ(view->ItemImageIndex(1), 1);
    view->SetLargeImageIndexFieldName("nosuchfield");
    EXPECT_EQ(view->ItemImageIndex(1), -1);
    EXPECT_EQ(data.RecNo(), 3);

    // Sub-items and check marks come from the event; an untouched Checked leaves items unchecked.
    view->OnItemLoad = [](QObject*, TDataSet* d, QStringList& subItems, bool& checked) {
        subItems << d->FieldByName("id")->AsString();
        if (d->FieldByName("id")->AsInteger() == 2)
            checked = true;
    };
    view->LoadItems();
    EXPECT_EQ(view->ItemSubItems(2), QStringList{"3"});
    EXPECT_TRUE(view->ItemChecked(1));
    EXPECT_FALSE(view->ItemChecked(0));
    EXPECT_FALSE(view->ItemChecked(3));

    // Sorting by caption or record order.
    view->SetAlowSort(true);
    view->LoadItems();
    EXPECT_TRUE(view->AlowSort());
    EXPECT_EQ(captions(), (QStringList{"master", "model", "Sales", "tempdb"}));
    view->SetAlowSort(false);
    EXPECT_FALSE(view->AlowSort());
}

TEST_F(DBListViewTest, EmptyReadOnlyOrUnknownCaptionFieldGivesAnEmptyList) {
    view->SetDataField("nosuchfield");
    EXPECT_EQ(view->ItemCount(), 0);
    view->SetDataField("name");
    EXPECT_EQ(view->ItemCount(), 4);
    const int before = loads;
    data.FieldByName("name")->SetReadOnly(true);
    view->LoadItems();
    EXPECT_EQ(view->ItemCount(), 0);
    data.FieldByName("name")->SetReadOnly(false);
    EXPECT_EQ(loads, before);

    // Closing the data set leaves no item with a dead bookmark; an empty one calls no AfterLoad.
    data.Close();
    EXPECT_EQ(view->ItemCount(), 0);
    data.rows.clear();
    const int beforeEmpty = loads;
    data.Open();
    EXPECT_EQ(view->ItemCount(), 0);
    EXPECT_EQ(loads, beforeEmpty);
}

TEST_F(DBListViewTest, ClicksAndNavigationKeysMoveTheDataSetWithoutReloading) {
    const int before = loads;
    QTest::mouseClick(view->View()->viewport(), Qt::LeftButton, {}, itemCentre(2));
    EXPECT_EQ(view->ItemIndex(), 2);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Sales");
    view->View()->setFocus();
    QTest::keyClick(view->View(), Qt::Key_Down);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "tempdb");
    QTest::keyClick(view->View(), Qt::Key_Home);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "master");
    QTest::keyClick(view->View(), Qt::Key_End);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "tempdb");
    QTest::keyClick(view->View(), Qt::Key_Up);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Sales");
    EXPECT_EQ(loads, before);
    EXPECT_EQ(view->ItemCount(), 4);

    // A move of the data set by someone else rebuilds the list; with multi-select it clears the
    // selection.
    view->SetMultiSelect(true);
    view->SetItemSelected(0, true);
    view->SetItemSelected(1, true);
    EXPECT_EQ(view->SelectedCount(), 3); // with the one selected by the keys
    data.First();
    EXPECT_EQ(view->SelectedCount(), 0);
    EXPECT_EQ(loads, before + 1);
}

TEST_F(DBListViewTest, InsertShowsOneSelectedPlaceholderUntilPostedOrCancelled) {
    data.Append();
    ASSERT_EQ(view->ItemCount(), 5);
    EXPECT_TRUE(view->ItemIsPlaceholder(4));
    EXPECT_EQ(view->ItemCaption(4), "");
    EXPECT_EQ(view->ItemIndex(), 4);
    EXPECT_TRUE(view->ItemSelected(4));
    data.FieldByName("name")->SetAsString("new"); // a field change adds no second placeholder
    EXPECT_EQ(view->ItemCount(), 5);
    data.Cancel();
    EXPECT_EQ(captions(), (QStringList{"master", "model", "Sales", "tempdb"}));

    data.Append();
    data.FieldByName("id")->SetAsInteger(5);
    data.FieldByName("name")->SetAsString("Archive");
    data.Post();
    EXPECT_EQ(captions(), (QStringList{"master", "model", "Sales", "tempdb", "Archive"}));
    for (int i = 0; i < view->ItemCount(); ++i)
        EXPECT_FALSE(view->ItemIsPlaceholder(i));
}

TEST_F(DBListViewTest, LabelEditPostsTheCaptionCancelEndsTheEditAndAFailedPostLeavesUpdateMode) {
    QTest::mouseClick(view->View()->viewport(), Qt::LeftButton, {}, itemCentre(1));
    const int before = loads;
    QLineEdit* editor = openEditor(1);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(data.State(), dsEdit);
    editor->selectAll();
    QTest::keyClicks(editor, "models");
    QTest::keyClick(editor, Qt::Key_Return); // the view commits after the editor saw the key
    EXPECT_TRUE(QTest::qWaitFor([&] { return data.State() == dsBrowse; }, 5000));
    EXPECT_EQ(data.writes, QStringList{"update models"});
    EXPECT_EQ(data.FieldByName("name")->AsString(), "models");
    EXPECT_EQ(view->ItemCaption(1), "models");
    EXPECT_EQ(loads, before); // the item keeps its caption, no reload

    // Escape: the data set leaves the edit state it entered, nothing is written.
    editor = openEditor(1);
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "zzz");
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "models");
    EXPECT_EQ(view->ItemCaption(1), "models");
    EXPECT_EQ(data.writes.size(), 1);

    // A failing post shows the error, cancels the edit and restores the caption; the list is
    // out of update mode, so the next data change reloads it.
    data.failWrites = true;
    editor = openEditor(1);
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "broken");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !errors.isEmpty(); }, 5000));
    EXPECT_EQ(errors, QStringList{"The record cannot be written"});
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "models");
    EXPECT_EQ(view->ItemCaption(1), "models");
    const int afterFailure = loads;
    data.Last();
    EXPECT_EQ(loads, afterFailure + 1);

    // Read-only list: no editor, no edit state.
    view->SetReadOnly(true);
    EXPECT_EQ(openEditor(1), nullptr);
    EXPECT_EQ(data.State(), dsBrowse);
}

TEST_F(DBListViewTest, ViewMenuSwitchesTheStyleAndReports) {
    int changes = 0;
    view->OnChangeViewStyle = [&](QObject* sender) {
        EXPECT_EQ(sender, view.get());
        ++changes;
    };
    QList<QAction*> top = view->PopupMenu()->actions();
    ASSERT_EQ(top.size(), 1);
    EXPECT_EQ(top[0]->text(), QString::fromUtf8("Вид"));
    QList<QAction*> styles = top[0]->menu()->actions();
    ASSERT_EQ(styles.size(), 4);
    const char* captions[] = {"Значки", "Мелкие значки", "Список", "Таблица"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(styles[i]->text(), QString::fromUtf8(captions[i]));
        styles[i]->trigger();
        EXPECT_EQ(view->ViewStyle(), i);
        EXPECT_TRUE(styles[i]->isChecked());
        EXPECT_EQ(changes, i + 1);
    }
    view->SetViewStyle(TLumDBListView::vsList);
    EXPECT_TRUE(styles[2]->isChecked());
    EXPECT_FALSE(styles[3]->isChecked());
}

// The databases and linked servers lists are key-less selects; their caption fields are not read
// only, so the list works over them, and label editing is not offered on them.
class DBListViewServer : public testsupport::DemoSimSuite {};

TEST_F(DBListViewServer, KeylessDatabaseAndServerListsLoadAndFollowTheSelection) {
    ASSERT_TRUE(sim->started());
    qobject_cast<TApplication*>(qApp)->OnException = [](const std::exception& e) {
        ADD_FAILURE() << e.what();
    };
    TADOConnection connection;
    connection.SetConnectionString(SaConnectionString());
    connection.Open();
    struct Case {
        const char* sql;
        const char* field;
    };
    for (const Case& c :
         {Case{"select name, 0 as nImage\nfrom master..sysdatabases\norder by 1", "name"},
          Case{"select srvname, 0 as nImage\nfrom master..sysservers\norder by 1", "srvname"}}) {
        SCOPED_TRACE(c.field);
        TADOQuery query;
        query.SetConnection(&connection);
        query.SetSQLText(QString::fromUtf8(c.sql));
        TDataSource source;
        source.SetDataSet(&query);
        TLumDBListView view(nullptr, "dblv");
        view.SetViewStyle(TLumDBListView::vsReport);
        view.SetDataSource(&source);
        view.SetDataField(QString::fromUtf8(c.field));
        view.SetLargeImageIndexFieldName("nImage");
        view.resize(300, 400);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        query.Open();
        ASSERT_GE(query.RecordCount(), 1);
        ASSERT_EQ(view.ItemCount(), query.RecordCount());
        query.Last();
        EXPECT_EQ(view.ItemCaption(view.ItemCount() - 1), query.FieldByName(c.field)->AsString());
        query.First();
        const int last = view.ItemCount() - 1;
        QAbstractItemView* v = view.View();
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {},
                          v->visualRect(v->model()->index(last, 0)).center());
        EXPECT_EQ(query.RecNo(), last + 1);
        view.EditLabel(last);
        EXPECT_EQ(v->findChild<QLineEdit*>(), nullptr);
        EXPECT_EQ(query.State(), dsBrowse);
        source.SetDataSet(nullptr);
    }
    qobject_cast<TApplication*>(qApp)->OnException = nullptr;
}

} // namespace
