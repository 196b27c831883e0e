// The property inspector: check rows, hidden rows and collapsed categories, the in-place editor
// closed with or without the typed value, the ellipsis button; and the data-bound inspector's
// default rows and writing a field through a row.
#include "../grid/MemoryDataSet.h"
#include "TDataSource.h"
#include "TField.h"
#include "TdxDBInspector.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(Inspector, CheckRowsCountAsCheckedOnlyOnTheirCheckedText) {
    TdxInspector inspector;
    auto* row = inspector.AddRow<TdxInspectorCheckRow>();
    row->SetValueChecked(QStringLiteral("Yes"));
    row->SetValueUnchecked(QStringLiteral("No"));
    row->SetText(QStringLiteral("yes"));
    EXPECT_FALSE(row->Checked()); // letter case counts
    row->SetChecked(true);
    EXPECT_EQ(row->Text(), "Yes");
    EXPECT_TRUE(row->Checked());
    row->SetChecked(false);
    EXPECT_EQ(row->Text(), "No");
}

TEST(Inspector, HiddenRowsAndCollapsedCategoriesTakeNoHeight) {
    TdxInspector inspector;
    auto* category = inspector.AddRow<TdxInspectorCategoryRow>();
    auto* inner = inspector.AddRow<TdxInspectorTextRow>(category);
    auto* outer = inspector.AddRow<TdxInspectorTextRow>();
    outer->SetHeight(30);
    const int h = inspector.DefaultRowHeight();
    EXPECT_EQ(inspector.RowsHeight(), 2 * h + 30);
    category->SetExpanded(false);
    EXPECT_FALSE(inspector.RowShown(inner));
    EXPECT_EQ(inspector.RowsHeight(), h + 30);
    category->SetExpanded(true);
    outer->SetVisible(false);
    EXPECT_EQ(inspector.RowsHeight(), 2 * h);
    inspector.RemoveRow(category); // takes its rows along
    EXPECT_EQ(inspector.Count(), 1);
}

TEST(Inspector, TheEditorKeepsOrDropsWhatWasTypedAndTheEllipsisRunsTheClickEvent) {
    TdxInspector inspector;
    inspector.resize(300, 200);
    auto* row = inspector.AddRow<TdxInspectorTextRow>();
    row->SetCaption(QStringLiteral("File"));
    row->SetText(QStringLiteral("a.sql"));
    row->SetButtonVisible(true);
    int clicks = 0;
    row->OnButtonClick = [&](TdxInspectorTextRow* sender) {
        EXPECT_EQ(sender, row);
        ++clicks;
    };
    inspector.show();
    inspector.SetFocusedRow(row);
    inspector.ShowEditor();
    auto* line = qobject_cast<QLineEdit*>(inspector.Editor());
    ASSERT_NE(line, nullptr);
    line->selectAll();
    QTest::keyClicks(line, "b.sql");
    inspector.CloseEditor(false);
    EXPECT_EQ(row->Text(), "a.sql");
    EXPECT_FALSE(inspector.EditorOpen());

    inspector.ShowEditor();
    line = qobject_cast<QLineEdit*>(inspector.Editor());
    ASSERT_NE(line, nullptr);
    auto* ellipsis = line->findChild<QAction*>(QStringLiteral("EllipsisButton"));
    ASSERT_NE(ellipsis, nullptr);
    ellipsis->trigger();
    EXPECT_EQ(clicks, 1);
    line->selectAll();
    QTest::keyClicks(line, "c.sql");
    inspector.CloseEditor(true);
    EXPECT_EQ(row->Text(), "c.sql");

    // Read-only rows and categories get no editor.
    row->SetReadOnly(true);
    inspector.ShowEditor();
    EXPECT_FALSE(inspector.EditorOpen());
}

TEST(DBInspector, DefaultRowsFollowTheFieldsAndARowWritesItsField) {
    MemoryDataSet data;
    FillPeople(data);
    TDataSource source;
    source.SetDataSet(&data);
    TdxDBInspector inspector;
    inspector.SetDataSource(&source);
    data.Open();
    EXPECT_EQ(inspector.Count(), 6);
    data.FieldByName("created")->SetVisible(false);
    data.Close();
    EXPECT_EQ(inspector.Rows(0)->Text(), "");
    data.Open(); // rows made again, for the visible fields
    ASSERT_EQ(inspector.Count(), 5);
    auto* name = qobject_cast<TdxInspectorDBRow*>(inspector.Rows(1));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->FieldName(), "name");
    EXPECT_EQ(name->Caption(), "name");
    EXPECT_EQ(name->Text(), "carl");
    EXPECT_EQ(inspector.Rows(4)->Text(), "True");
    EXPECT_NE(qobject_cast<TdxInspectorDBCheckRow*>(inspector.Rows(4)), nullptr);

    name->SetText(QStringLiteral("Karl"));
    EXPECT_EQ(data.State(), dsEdit);
    inspector.Rows(4)->SetChecked(false);
    data.Post();
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Karl");
    EXPECT_FALSE(data.FieldByName("active")->AsBoolean());
    // A value the field refuses reaches the caller and leaves the field as it was.
    EXPECT_ANY_THROW(inspector.Rows(3)->SetText(QStringLiteral("lots")));
    data.Cancel();
    EXPECT_EQ(inspector.Rows(3)->Text(), data.FieldByName("amount")->AsString());
    data.Next();
    EXPECT_EQ(name->Text(), "Anna");
    // Read-only fields make read-only rows.
    data.FieldByName("name")->SetReadOnly(true);
    EXPECT_TRUE(name->ReadOnly());
}

} // namespace
