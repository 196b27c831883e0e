// The row store and the data set's states, navigation, bookmarks, Locate and notifications,
// over rows held in memory.
#include "EDatabaseError.h"
#include "TDataSet.h"
#include "TDataSource.h"
#include "TFieldDataLink.h"
#include "Variants.h"

#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

TColumnInfo column(const char* name, TStorageKind kind, int scale = 0) {
    TColumnInfo c;
    c.name = QString::fromUtf8(name);
    c.kind = kind;
    c.scale = scale;
    c.precision = 18;
    c.fieldType = kind == TStorageKind::Text    ? ftWideString
                  : kind == TStorageKind::Int32 ? ftInteger
                                                : ftFMTBcd;
    c.definedSize = 50;
    return c;
}

// Rows given up front; writes are recorded instead of sent, and can be made to fail.
class MemoryDataSet : public TDataSet {
public:
    QList<QList<QVariant>> rows;
    QStringList writes;
    bool failWrites = false;
    bool modifiable = true;

    bool CanModify() const override { return Active() && modifiable; }

protected:
    void InternalOpen() override {
        MutableStore().SetColumns({column("id", TStorageKind::Int32), column("name", TStorageKind::Text),
                                   column("amount", TStorageKind::Decimal64, 2)});
        for (const auto& r : rows)
            MutableStore().AppendValues(r);
    }
    void InternalPost(bool inserting, int, QList<QVariant>& values, const std::vector<bool>&) override {
        if (failWrites)
            throw EDatabaseError(QStringLiteral("constraint"), 547);
        writes << (inserting ? "insert " : "update ") + values[1].toString();
    }
    void InternalDelete(int row) override {
        if (failWrites)
            throw EDatabaseError(QStringLiteral("constraint"), 547);
        writes << "delete " + Store().Text(row, 1);
    }
};

// Records every notification a link receives.
class RecordingLink : public TDataLink {
public:
    QStringList events;

protected:
    void ActiveChanged() override { events << QStringLiteral("active:%1").arg(Active()); }
    void DataSetChanged() override { events << "changed"; }
    void DataSetScrolled(int) override { events << "scrolled"; }
    void EditingChanged() override { events << QStringLiteral("editing:%1").arg(Editing()); }
    void RecordChanged(TField* f) override { events << "record:" + (f ? f->FieldName() : QString("none")); }
    void UpdateData() override { events << "update"; }
};

std::unique_ptr<MemoryDataSet> threeRows() {
    auto d = std::make_unique<MemoryDataSet>();
    d->rows = {{1, "Anna", "10.50"},
               {2, QStringLiteral("\u0411\u043e\u0440\u0438\u0441"), NullVariant()},
               {3, "carl", "-0.05"}};
    d->Open();
    return d;
}

} // namespace

TEST(RowStore, DecimalTextAndParsing) {
    EXPECT_EQ(TRowStore::DecimalText(1050, 2), "10.5");
    EXPECT_EQ(TRowStore::DecimalText(-5, 2), "-0.05");
    EXPECT_EQ(TRowStore::DecimalText(300, 2), "3");
    EXPECT_EQ(TRowStore::DecimalText(0, 0), "0");
    __int128 v = 0;
    ASSERT_TRUE(TRowStore::ParseDecimal("-12.3", 5, 2, v));
    EXPECT_EQ(int64_t(v), -1230);
    ASSERT_TRUE(TRowStore::ParseDecimal(".129", 4, 2, v)); // digits beyond the scale are cut
    EXPECT_EQ(int64_t(v), 12);
    EXPECT_FALSE(TRowStore::ParseDecimal("12a", 3, 2, v));
    EXPECT_FALSE(TRowStore::ParseDecimal("-", 1, 2, v));
    const char big[] = "12345678901234567890123456.78";
    ASSERT_TRUE(TRowStore::ParseDecimal(big, sizeof big - 1, 2, v));
    EXPECT_EQ(TRowStore::DecimalText(v, 2), QString::fromLatin1(big));
}

TEST(RowStore, ValuesIdsAndEdits) {
    TRowStore s;
    TColumnInfo dt = column("at", TStorageKind::DateTime);
    TColumnInfo bin = column("b", TStorageKind::Binary);
    s.SetColumns({column("id", TStorageKind::Int32), column("t", TStorageKind::Text), dt, bin,
                  column("flag", TStorageKind::Bool)});
    const QDateTime when(QDate(1899, 3, 15), QTime(13, 45, 7, 123));
    s.AppendValues({7, QString(300, QChar(0x0416)), when, QByteArray("\x00\x01\xff", 3), true});
    s.AppendValues({NullVariant(), "", NullVariant(), QVariant(), false});
    EXPECT_EQ(s.Value(0, 0).toInt(), 7);
    EXPECT_EQ(s.Text(0, 1), QString(300, QChar(0x0416)));
    EXPECT_EQ(s.Value(0, 2).toDateTime(), when);
    EXPECT_EQ(s.Text(0, 2), "1899-03-15 13:45:07.123");
    EXPECT_EQ(s.Bytes(0, 3), QByteArray("\x00\x01\xff", 3));
    EXPECT_TRUE(s.IsNull(1, 0));
    EXPECT_TRUE(IsNullValue(s.Value(1, 0)));
    EXPECT_FALSE(s.IsNull(1, 1)); // empty text is not NULL
    EXPECT_EQ(s.Text(1, 1), "");
    EXPECT_TRUE(s.IsNull(1, 3));

    const uint32_t first = s.RowId(0), second = s.RowId(1);
    s.ReplaceValues(0, {8, "x", when, QVariant(), false});
    EXPECT_EQ(s.RowId(0), first);
    EXPECT_EQ(s.Text(0, 1), "x");
    s.Remove(0);
    EXPECT_EQ(s.FindRow(second, 1), 0);
    EXPECT_EQ(s.FindRow(first), -1);
    EXPECT_THROW(s.AppendValues({"not a number"}), EDatabaseError);
}

TEST(RowStore, CompactForManySmallRows) {
    TRowStore s;
    s.SetColumns({column("id", TStorageKind::Int32), column("name", TStorageKind::Text)});
    const QString name = QStringLiteral("name of twenty chars");
    TRowStore::Cell cells[2];
    for (int i = 0; i < 100000; ++i) {
        cells[0].SetInteger(i);
        cells[1].SetData(name.utf16(), uint32_t(name.size()));
        s.Append(cells);
    }
    // 4 + 40 bytes of values: the row's id, null bits, length, index and block slack stay
    // well under as much again.
    EXPECT_LT(double(s.MemoryBytes()) / s.RowCount(), 2 * 44.0);
    EXPECT_EQ(s.Integer(99999, 0), 99999);
    EXPECT_EQ(s.Text(500, 1), name);
}

TEST(DataSet, NavigationBofEofAndRecNo) {
    auto d = threeRows();
    EXPECT_EQ(d->State(), dsBrowse);
    EXPECT_TRUE(d->Bof());
    EXPECT_FALSE(d->Eof());
    EXPECT_EQ(d->RecordCount(), 3);
    EXPECT_EQ(d->RecNo(), 1);
    d->Prior();
    EXPECT_TRUE(d->Bof());
    EXPECT_EQ(d->RecNo(), 1);
    d->Next();
    d->Next();
    EXPECT_EQ(d->RecNo(), 3);
    EXPECT_FALSE(d->Eof());
    d->Next();
    EXPECT_TRUE(d->Eof());
    EXPECT_EQ(d->RecNo(), 3);
    d->First();
    EXPECT_EQ(d->FieldByName("NAME")->AsString(), "Anna");
    d->Last();
    EXPECT_TRUE(d->Eof());
    EXPECT_EQ(d->FieldByName("amount")->AsString(), "-0.05");
    d->SetRecNo(2);
    EXPECT_TRUE(d->FieldByName("amount")->IsNull());
    EXPECT_EQ(d->FieldByName("amount")->AsString(), "");
    EXPECT_EQ(d->FindField("missing"), nullptr);
    EXPECT_THROW(d->FieldByName("missing"), EDatabaseError);

    MemoryDataSet empty;
    empty.Open();
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_TRUE(empty.Bof());
    EXPECT_TRUE(empty.Eof());
    EXPECT_EQ(empty.RecNo(), 0);
    EXPECT_THROW(empty.Delete(), EDatabaseError);
}

TEST(DataSet, BookmarksSurviveEditsAndDeletesOfOtherRows) {
    auto d = threeRows();
    d->Last();
    TBookmark mark = d->GetBookmark();
    d->First();
    d->Delete();
    EXPECT_EQ(d->writes, QStringList({"delete Anna"}));
    d->Edit();
    d->FieldByName("name")->SetAsString("Boris");
    d->Post();
    d->GotoBookmark(mark);
    EXPECT_EQ(d->FieldByName("id")->AsInteger(), 3);
    d->First();
    TBookmark gone = d->GetBookmark();
    d->Delete();
    EXPECT_FALSE(d->BookmarkValid(gone));
    EXPECT_THROW(d->GotoBookmark(gone), EDatabaseError);
    d->FreeBookmark(mark);
    EXPECT_FALSE(mark.IsValid());
}

TEST(DataSet, LocateCaseAndPartialAndSeveralFields) {
    auto d = threeRows();
    EXPECT_FALSE(d->Locate("name", "CARL"));
    EXPECT_EQ(d->RecNo(), 1); // a failed search does not move
    EXPECT_TRUE(d->Locate("name", "CARL", loCaseInsensitive));
    EXPECT_EQ(d->RecNo(), 3);
    EXPECT_TRUE(d->Locate("name", QStringLiteral("\u0431\u043e\u0440"), loCaseInsensitive | loPartialKey));
    EXPECT_EQ(d->RecNo(), 2);
    EXPECT_TRUE(d->Locate("id;amount", QVariantList{1, 10.5}));
    EXPECT_EQ(d->RecNo(), 1);
    EXPECT_TRUE(d->Locate("amount", NullVariant()));
    EXPECT_EQ(d->RecNo(), 2);
}

TEST(DataSet, EditingStatesPostCancelAndFailingWrite) {
    auto d = threeRows();
    d->Next();
    d->Insert();
    EXPECT_EQ(d->State(), dsInsert);
    EXPECT_FALSE(d->Modified());
    EXPECT_TRUE(d->FieldByName("id")->IsNull());
    d->FieldByName("id")->SetAsString("9");
    d->FieldByName("name")->SetValue("Dora");
    EXPECT_TRUE(d->Modified());
    EXPECT_THROW(d->FieldByName("id")->SetAsString("nine"), EDatabaseError);
    d->failWrites = true;
    EXPECT_THROW(d->Post(), EDatabaseError);
    EXPECT_EQ(d->State(), dsInsert); // the user can correct and post again
    EXPECT_EQ(d->FieldByName("name")->AsString(), "Dora");
    d->failWrites = false;
    d->Post();
    EXPECT_EQ(d->State(), dsBrowse);
    EXPECT_EQ(d->RecordCount(), 4);
    EXPECT_EQ(d->RecNo(), 2); // inserted before the record that was current
    EXPECT_EQ(d->FieldByName("id")->AsInteger(), 9);

    d->Edit();
    d->FieldByName("name")->SetAsString("changed");
    d->Cancel();
    EXPECT_EQ(d->FieldByName("name")->AsString(), "Dora");
    // Moving away posts a modified record.
    d->Edit();
    d->FieldByName("amount")->SetAsFloat(1.25);
    d->Next();
    EXPECT_EQ(d->writes.last(), "update Dora");
    d->Prior();
    EXPECT_EQ(d->FieldByName("amount")->AsString(), "1.25");
    EXPECT_THROW(d->FieldByName("name")->SetAsString("x"), EDatabaseError); // not editing

    d->modifiable = false;
    EXPECT_THROW(d->Edit(), EDatabaseError);
    EXPECT_THROW(d->Insert(), EDatabaseError);
}

TEST(DataSet, EventsInOrder) {
    MemoryDataSet d;
    d.rows = {{1, "a", "1"}, {2, "b", "2"}};
    QStringList log;
    d.AfterOpen = [&](TDataSet*) { log << "AfterOpen"; };
    d.AfterScroll = [&](TDataSet* s) { log << QStringLiteral("AfterScroll%1").arg(s->RecNo()); };
    d.BeforePost = [&](TDataSet*) { log << "BeforePost"; };
    d.AfterPost = [&](TDataSet*) { log << "AfterPost"; };
    d.BeforeDelete = [&](TDataSet*) { log << "BeforeDelete"; };
    d.AfterDelete = [&](TDataSet*) { log << "AfterDelete"; };
    d.AfterCancel = [&](TDataSet*) { log << "AfterCancel"; };
    d.Open();
    d.Next();
    d.Next(); // at the end already: no scroll
    d.Edit();
    d.FieldByName("name")->SetAsString("z");
    d.Post();
    d.Insert();
    d.Cancel();
    d.Delete();
    EXPECT_EQ(log,
              QStringList({"AfterOpen", "AfterScroll1", "AfterScroll2", "BeforePost", "AfterPost",
                           "AfterScroll0", "AfterCancel", "BeforeDelete", "AfterDelete", "AfterScroll1"}));
}

TEST(DataLinks, NotificationsAndDisableControls) {
    MemoryDataSet d;
    d.rows = {{1, "a", "1"}, {2, "b", "2"}};
    TDataSource source;
    source.SetDataSet(&d);
    RecordingLink link;
    link.SetDataSource(&source);
    int dataChanges = 0;
    source.OnDataChange = [&](TDataSource*, TField*) { ++dataChanges; };
    d.Open();
    d.Next();
    d.Edit();
    d.FieldByName("name")->SetAsString("x");
    d.Post();
    EXPECT_EQ(link.events, QStringList({"active:1", "scrolled", "editing:1", "record:none", "record:name",
                                        "update", "editing:0", "changed"}));
    EXPECT_EQ(dataChanges, 4);

    link.events.clear();
    d.DisableControls();
    d.DisableControls();
    d.First();
    d.Close();
    d.Open();
    d.EnableControls();
    EXPECT_TRUE(link.events.isEmpty());
    EXPECT_TRUE(d.ControlsDisabled());
    d.EnableControls();
    EXPECT_FALSE(d.ControlsDisabled());
    EXPECT_EQ(link.events, QStringList({"changed"}));

    d.Close();
    EXPECT_EQ(link.events.last(), "active:0");
    source.SetDataSet(nullptr);
    EXPECT_EQ(link.DataSet(), nullptr);
}

TEST(DataLinks, FieldDataLinkFollowsItsFieldOnly) {
    MemoryDataSet d;
    d.rows = {{1, "a", "1"}};
    TDataSource source;
    source.SetDataSet(&d);
    TFieldDataLink link;
    link.SetFieldName("NAME");
    link.SetDataSource(&source);
    QStringList seen;
    link.OnDataChange = [&](TFieldDataLink* l) {
        seen << (l->Field() ? l->Field()->AsString() : QString("-"));
    };
    link.OnUpdateData = [&](TFieldDataLink* l) { l->Field()->SetAsString("from control"); };
    d.Open();
    ASSERT_NE(link.Field(), nullptr);
    EXPECT_TRUE(link.CanModify());
    EXPECT_TRUE(link.Edit());
    EXPECT_EQ(d.State(), dsEdit);
    d.FieldByName("amount")->SetAsString("3"); // another field: not reported to this link
    const qsizetype before = seen.size();
    link.Modified();
    d.Post(); // the control's pending text is asked for before the write
    EXPECT_EQ(d.writes, QStringList({"update from control"}));
    EXPECT_GT(seen.size(), before);
    EXPECT_EQ(seen.last(), "from control");
    d.Close();
    EXPECT_EQ(link.Field(), nullptr);
}
