#include "Exception.h"
#include "TCollection.h"
#include "TForm.h"
#include "TIniFile.h"
#include "Variants.h"
#include "uTLumStorage.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class TColumn : public TCollectionItem {
    Q_OBJECT
    Q_PROPERTY(QString FieldName MEMBER m_fieldName)
    Q_PROPERTY(int Width MEMBER m_width)

public:
    explicit TColumn(TCollection* c) : TCollectionItem(c) {}
    QString m_fieldName;
    int m_width = 0;
};

class TOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Flat MEMBER m_flat)
    Q_PROPERTY(QString Mark MEMBER m_mark)

public:
    using QObject::QObject;
    bool m_flat = true;
    QString m_mark;
};

// A grid-like component with one property of each kind the storage meets.
class TSampleGrid : public QObject {
    Q_OBJECT

public:
    enum TAlign { alNone, alTop, alBottom };
    Q_ENUM(TAlign)
    enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4 };
    Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
    Q_FLAG(TFontStyles)

private:
    Q_PROPERTY(bool ShowGroupPanel MEMBER m_showGroupPanel)
    Q_PROPERTY(int Width MEMBER m_width)
    Q_PROPERTY(TAlign Align MEMBER m_align)
    Q_PROPERTY(TSampleGrid::TFontStyles Style MEMBER m_style)
    Q_PROPERTY(double Ratio MEMBER m_ratio)
    Q_PROPERTY(QString Caption MEMBER m_caption)
    Q_PROPERTY(QVariant Value MEMBER m_value)
    Q_PROPERTY(QStringList Lines MEMBER m_lines)
    Q_PROPERTY(TCollection* Columns READ Columns)
    Q_PROPERTY(TOptions* Options READ Options)
    Q_PROPERTY(QObject* Buddy MEMBER m_buddy)
    Q_PROPERTY(qint64 Big MEMBER m_big)

public:
    explicit TSampleGrid(QObject* owner, const QString& name)
        : QObject(owner), m_columns(new TCollection(this, [](TCollection* c) { return new TColumn(c); })),
          m_options(new TOptions(this)) {
        setObjectName(name);
    }
    TCollection* Columns() const { return m_columns; }
    TOptions* Options() const { return m_options; }
    TColumn* Column(int i) const { return static_cast<TColumn*>(m_columns->Items(i)); }
    void AddColumn(const QString& field, int width) {
        auto* c = static_cast<TColumn*>(m_columns->Add());
        c->m_fieldName = field;
        c->m_width = width;
    }

    bool m_showGroupPanel = false;
    int m_width = 10;
    TAlign m_align = alNone;
    TFontStyles m_style;
    double m_ratio = 1;
    QString m_caption;
    QVariant m_value;
    QStringList m_lines;
    QObject* m_buddy = nullptr;
    qint64 m_big = 7;

private:
    TCollection* m_columns;
    TOptions* m_options;
};

// A widget of our own with a writable "Height" beside Qt's read-only "height".
class TSampleList : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Height READ Height WRITE SetHeight)

public:
    explicit TSampleList(QWidget* parent) : QWidget(parent) { setObjectName("clbContent"); }
    int Height() const { return m_height; }
    void SetHeight(int value) { m_height = value; }
    int m_height = 10;
};

class TfSample : public TForm {
    Q_OBJECT

public:
    explicit TfSample(const QString& iniFile) {
        setObjectName("fKestrow");
        grid = new TSampleGrid(this, "dxdbg");
        storage = new TLumStorage(this, "LumStorage1");
        storage->SetIniFile(iniFile);
    }
    TSampleGrid* grid;
    TLumStorage* storage;
};

QString fileText(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString("<missing>");
}

void writeFile(const QString& name, const QString& text) {
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

class StorageTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString ini = dir.filePath("marlinde.ini");
};

TEST_F(StorageTest, EveryPropertyKindHasItsExactPlaceInTheFile) {
    TfSample form(ini);
    form.SetCaption("Main");
    TSampleGrid& g = *form.grid;
    g.m_showGroupPanel = true;
    g.m_width = 120;
    g.m_align = TSampleGrid::alBottom;
    g.m_style = TSampleGrid::TFontStyles(TSampleGrid::fsBold) | TSampleGrid::fsUnderline;
    g.m_ratio = 0.1;
    g.m_caption = "Objects = all";
    g.m_value = QVariant(42);
    g.m_lines = QStringList{"first", "second"};
    g.AddColumn("Name", 100);
    g.AddColumn("Type", 50);
    g.Options()->m_flat = false;
    g.Options()->m_mark = "x";
    g.m_big = 99;
    g.m_buddy = form.storage; // a reference to another component is not followed
    form.storage->SetStoredProps({"DXDBG.ShowGroupPanel", "dxdbg.width", "dxdbg.Align", "dxdbg.Style",
                                  "dxdbg.Ratio", "dxdbg.Caption", "dxdbg.Value", "dxdbg.Lines",
                                  "dxdbg.Columns", "dxdbg.Options", "dxdbg.Buddy", "dxdbg.Big",
                                  "fKestrow.Caption"});
    form.storage->WriteIni();
    EXPECT_EQ(fileText(ini), "[fKestrow.DXDBG]\n" // the section is named as the entry writes it ...
                             "ShowGroupPanel=1\n"
                             "Width=120\n" // ... the key as the property is declared
                             "Align=2\n"
                             "Style=fsBold,fsUnderline\n"
                             "Ratio=0.1\n"
                             "Caption=Objects = all\n"
                             "Value=42\n"
                             "\n"
                             "[fKestrow.dxdbg.Lines]\n"
                             "String0=first\n"
                             "String1=second\n"
                             "\n"
                             "[fKestrow.dxdbg.Columns]\n"
                             "Items0=fKestrow.dxdbg.Columns.Items0\n"
                             "Items1=fKestrow.dxdbg.Columns.Items1\n"
                             "\n"
                             "[fKestrow.dxdbg.Columns.Items0]\n"
                             "FieldName=Name\n"
                             "Width=100\n"
                             "\n"
                             "[fKestrow.dxdbg.Columns.Items1]\n"
                             "FieldName=Type\n"
                             "Width=50\n"
                             "\n"
                             "[fKestrow.dxdbg.Options]\n"
                             "Flat=0\n"
                             "Mark=x\n"
                             "\n"
                             "[fKestrow.fKestrow]\n"
                             "Caption=Main\n");

    // A fresh form reads every kept value back.
    TfSample copy(ini);
    copy.storage->SetStoredProps(form.storage->StoredProps());
    copy.storage->ReadIni();
    const TSampleGrid& c = *copy.grid;
    EXPECT_TRUE(c.m_showGroupPanel);
    EXPECT_EQ(c.m_width, 120);
    EXPECT_EQ(c.m_align, TSampleGrid::alBottom);
    EXPECT_EQ(c.m_style, g.m_style);
    EXPECT_EQ(c.m_ratio, 0.1);
    EXPECT_EQ(c.m_caption, "Objects = all");
    EXPECT_EQ(c.m_value, QVariant(QString("42"))); // a variant comes back as text
    EXPECT_EQ(c.m_lines, g.m_lines);
    ASSERT_EQ(c.Columns()->Count(), 2);
    EXPECT_EQ(c.Column(1)->m_fieldName, "Type");
    EXPECT_EQ(c.Column(1)->m_width, 50);
    EXPECT_FALSE(c.Options()->m_flat);
    EXPECT_EQ(c.Options()->m_mark, "x");
    EXPECT_EQ(c.m_big, 7); // 64-bit integers are not kept
    EXPECT_EQ(copy.Caption(), "Main");
}

TEST_F(StorageTest, EntriesFollowTheNameRulesAndSkipWhatTheFormDoesNotHave) {
    writeFile(ini, "[fKestrow.dxdbg]\nWidth=5\nCaption=c\n"
                   "[fKestrow.nothing]\nWidth=1\n"
                   "[fKestrow.FKESTROW]\nCaption=wrong case\n"
                   "[fKestrow.dxdbg.Options]\nMark=deep\n");
    TfSample form(ini);
    form.SetCaption("kept");
    form.storage->SetStoredProps(
        {"nothing.Width", "noDot", "FKESTROW.Caption", "dxdbg.Options.Mark", "dxdbg.width", "dxdbg.Caption"});
    form.storage->ReadIni();
    EXPECT_EQ(form.grid->m_width, 5);            // after the skipped entries
    EXPECT_EQ(form.grid->m_caption, "c");        // property names ignore case
    EXPECT_EQ(form.Caption(), "kept");           // the form's own name must match exactly
    EXPECT_EQ(form.grid->Options()->m_mark, ""); // no paths into sub-objects

    const QString before = fileText(ini);
    form.storage->WriteIni();
    // Only the two real entries were written (into the existing section).
    EXPECT_EQ(fileText(ini), before);
}

TEST_F(StorageTest, AnExactlySpelledNamePicksThatPropertyAmongCaseInsensitiveMatches) {
    writeFile(ini, "[fKestrow.clbContent]\nHeight=90\n");
    TfSample form(ini);
    auto* list = new TSampleList(&form);
    form.storage->SetStoredProps({"clbContent.Height"});
    form.storage->ReadIni();
    EXPECT_EQ(list->Height(), 90);
    list->SetHeight(120);
    form.storage->WriteIni();
    EXPECT_EQ(fileText(ini), "[fKestrow.clbContent]\nHeight=120\n");
}

TEST_F(StorageTest, BooleansSetsAndVariantsReadAndWriteByTheirRules) {
    writeFile(ini, "[fKestrow.dxdbg]\nShowGroupPanel=1\nStyle=fsItalic,fsBold\nValue=\n");
    TfSample form(ini);
    form.grid->m_width = 33;
    form.grid->m_value = "kept";
    form.grid->m_caption = "unchanged";
    form.storage->SetStoredProps({"dxdbg.ShowGroupPanel", "dxdbg.Style", "dxdbg.Width", "dxdbg.Caption"});
    form.storage->ReadIni();
    EXPECT_TRUE(form.grid->m_showGroupPanel);
    EXPECT_EQ(form.grid->m_style, TSampleGrid::TFontStyles(TSampleGrid::fsBold) | TSampleGrid::fsItalic);
    EXPECT_EQ(form.grid->m_width, 33); // missing keys change nothing
    EXPECT_EQ(form.grid->m_caption, "unchanged");

    // An empty key value makes the variant null; a missing key keeps it.
    form.storage->SetStoredProps({"dxdbg.Value"});
    form.storage->ReadIni();
    EXPECT_TRUE(IsNullValue(form.grid->m_value));
    TfSample other(dir.filePath("other.ini"));
    other.grid->m_value = "kept";
    other.storage->SetStoredProps({"dxdbg.Value"});
    other.storage->ReadIni();
    EXPECT_EQ(other.grid->m_value, QVariant("kept"));

    // A null variant is not written, an empty set is an empty value.
    other.grid->m_value = NullVariant();
    other.grid->m_style = {};
    other.storage->SetStoredProps({"dxdbg.Value", "dxdbg.Style"});
    other.storage->WriteIni();
    EXPECT_EQ(fileText(dir.filePath("other.ini")), "[fKestrow.dxdbg]\nStyle=\n");
    other.grid->m_style = TSampleGrid::fsUnderline;
    other.storage->ReadIni();
    EXPECT_EQ(other.grid->m_style, TSampleGrid::TFontStyles());
}

TEST_F(StorageTest, ShorterCollectionsAndListsReadBackExactlyTheNewItems) {
    for (int count : {11, 14}) {
        const QString name = dir.filePath(QString("c%1.ini").arg(count));
        TfSample form(name);
        form.storage->SetStoredProps({"dxdbg.Columns", "dxdbg.Lines"});
        for (int i = 0; i < count; ++i) {
            form.grid->AddColumn(QString("f%1").arg(i), i);
            form.grid->m_lines << QString("line %1").arg(i);
        }
        form.storage->WriteIni();
        form.grid->Columns()->Clear();
        form.grid->AddColumn("only", 1);
        form.grid->m_lines = QStringList{"one"};
        form.storage->WriteIni();
        EXPECT_EQ(fileText(name), "[fKestrow.dxdbg.Columns]\n"
                                  "Items0=fKestrow.dxdbg.Columns.Items0\n"
                                  "\n"
                                  "[fKestrow.dxdbg.Lines]\n"
                                  "String0=one\n"
                                  "\n"
                                  "[fKestrow.dxdbg.Columns.Items0]\n"
                                  "FieldName=only\n"
                                  "Width=1\n")
            << count;

        TfSample copy(name);
        copy.grid->AddColumn("stale", 0);
        copy.storage->SetStoredProps({"dxdbg.Columns", "dxdbg.Lines"});
        copy.storage->ReadIni();
        ASSERT_EQ(copy.grid->Columns()->Count(), 1) << count;
        EXPECT_EQ(copy.grid->Column(0)->m_fieldName, "only");
        EXPECT_EQ(copy.grid->m_lines, QStringList{"one"});
    }

    // A missing section empties lists and collections.
    TfSample form(dir.filePath("none.ini"));
    form.grid->AddColumn("x", 1);
    form.grid->m_lines = {"x"};
    form.storage->SetStoredProps({"dxdbg.Columns", "dxdbg.Lines"});
    form.storage->ReadIni();
    EXPECT_EQ(form.grid->Columns()->Count(), 0);
    EXPECT_TRUE(form.grid->m_lines.isEmpty());
}

TEST_F(StorageTest, EventsSurroundTheWorkAndAFailedAssignmentStopsThere) {
    writeFile(ini, "[fKestrow.dxdbg]\nWidth=8\nStyle=fsBold,fsShadow\nCaption=late\n");
    TfSample form(ini);
    QStringList seen;
    form.storage->BeforeReadIni = [&](TLumStorage* s, TIniFile& f) {
        EXPECT_EQ(s, form.storage);
        seen << "before " + f.ReadString("fKestrow.dxdbg", "Width", "");
        f.WriteString("extra", "Key", "1");
    };
    form.storage->AfterReadIni = [&](TLumStorage*, TIniFile&) { seen << "after"; };
    form.storage->SetStoredProps({"dxdbg.Width", "dxdbg.Style", "dxdbg.Caption"});
    try {
        form.storage->ReadIni();
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid property element: fsShadow");
    }
    EXPECT_EQ(seen, QStringList{"before 8"});
    EXPECT_EQ(form.grid->m_width, 8);    // done before the failure
    EXPECT_EQ(form.grid->m_caption, ""); // never reached

    // No file name: nothing happens, not even the events.
    seen.clear();
    form.storage->SetIniFile("");
    form.storage->ReadIni();
    form.storage->WriteIni();
    EXPECT_TRUE(seen.isEmpty());

    form.storage->SetIniFile(ini);
    form.storage->SetStoredProps({"dxdbg.Width"});
    form.storage->BeforeWriteIni = [&](TLumStorage*, TIniFile&) { seen << "before write"; };
    form.storage->AfterWriteIni = [&](TLumStorage*, TIniFile& f) {
        seen << "after write " + f.ReadString("fKestrow.dxdbg", "Width", "");
    };
    form.grid->m_width = 9;
    form.storage->WriteIni();
    EXPECT_EQ(seen, QStringList({"before write", "after write 9"}));
}

TEST(StorageOwnerTest, TheOwnerMustBeAForm) {
    QObject notAForm;
    try {
        TLumStorage storage(&notAForm);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Владельцем компонента должен быть наследник TCustomForm!");
    }
    EXPECT_TRUE(notAForm.children().isEmpty());
}

} // namespace

#include "StorageTest.moc"
