#include "Exception.h"
#include "ModalDriver.h"
#include "TApplication.h"
#include "TCollection.h"
#include "TForm.h"
#include "uComponentUtils.h"

#include <QLabel>
#include <QMessageBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

QStringList split(const QString& separator, const QString& text) {
    QStringList list;
    SplitString(separator, text, list);
    return list;
}

QStringList splitByChars(const QString& delimiters, const QString& text) {
    QStringList list;
    SplitByChars(delimiters, text, list);
    return list;
}

TEST(SplitTest, SplitStringGivesEmptyInnerPartsButNoEmptyLastPart) {
    EXPECT_EQ(split(".", ".a..b."), QStringList({"", "a", "", "b"}));
    EXPECT_EQ(split(".", "a.b"), QStringList({"a", "b"}));
    EXPECT_EQ(split(".", ""), QStringList());
    EXPECT_EQ(split("::", "x::y::"), QStringList({"x", "y"}));
    EXPECT_EQ(split("X", "axb"), QStringList({"axb"})); // case-sensitive
    // The list is appended to, not cleared.
    QStringList list{"kept"};
    SplitString(".", "a", list);
    EXPECT_EQ(list, QStringList({"kept", "a"}));
}

TEST(SplitTest, SplitByCharsCutsAtEveryDelimiterCharacter) {
    EXPECT_EQ(splitByChars("\r\n", "a\r\nb"), QStringList({"a", "", "b"}));
    EXPECT_EQ(splitByChars(" (", "create table(x"), QStringList({"create", "table", "x"}));
    EXPECT_EQ(splitByChars(",", ""), QStringList({""}));
    EXPECT_EQ(splitByChars(",", "a,"), QStringList({"a", ""}));
}

TEST(UrlTest, SchemeIsAddedOnlyWhenMissing) {
    EXPECT_EQ(CompleteURL("example.org/help"), "http://example.org/help");
    EXPECT_EQ(CompleteURL("HTTP://Example.org"), "HTTP://Example.org");
    EXPECT_EQ(CompleteURL("http://x"), "http://x");
    EXPECT_EQ(CompleteURL("https://x"), "http://https://x"); // only the one scheme counts as present
}

// A collection item with a caption and a collection of its own.
class TItem : public TCollectionItem {
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER m_caption)
    Q_PROPERTY(TCollection* Items READ Items)

public:
    explicit TItem(TCollection* c)
        : TCollectionItem(c), m_items(new TCollection(this, [](TCollection* o) { return new TItem(o); })) {}
    TCollection* Items() const { return m_items; }
    QString m_caption;

private:
    TCollection* m_items;
};

// A component with the property kinds the paths meet.
class TSample : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER m_caption)
    Q_PROPERTY(int Width MEMBER m_width)
    Q_PROPERTY(QStringList Lines MEMBER m_lines)
    Q_PROPERTY(TCollection* ActionBars READ ActionBars)

public:
    explicit TSample(QObject* owner)
        : QObject(owner), m_bars(new TCollection(this, [](TCollection* c) { return new TItem(c); })) {}
    TCollection* ActionBars() const { return m_bars; }
    QString m_caption = "old";
    int m_width = 3;
    QStringList m_lines;

private:
    TCollection* m_bars;
};

class TfSample : public TForm {
    Q_OBJECT

public:
    TfSample() {
        sample = new TSample(this);
        sample->setObjectName("ActionManager1");
        for (int i = 0; i < 2; ++i) {
            auto* bar = static_cast<TItem*>(sample->ActionBars()->Add());
            for (int j = 0; j < 2; ++j)
                bar->Items()->Add();
        }
    }
    TSample* sample;
};

TEST(PropertyPathTest, ComponentFormAndNestedCollectionPathsAreSet) {
    TfSample form;
    EXPECT_TRUE(SetPropertyByPath(&form, "actionmanager1.caption", "new"));
    EXPECT_EQ(form.sample->m_caption, "new");
    EXPECT_TRUE(SetPropertyByPath(&form, "TfSample.Caption", "Login"));
    EXPECT_EQ(form.windowTitle(), "Login");
    EXPECT_TRUE(
        SetPropertyByPath(&form, "ActionManager1.ActionBars.Items[1].Items.Items[1].Caption", "Deep"));
    auto* bar = static_cast<TItem*>(form.sample->ActionBars()->Items(1));
    EXPECT_EQ(static_cast<TItem*>(bar->Items()->Items(1))->m_caption, "Deep");
    EXPECT_EQ(static_cast<TItem*>(bar->Items()->Items(0))->m_caption, "");
}

TEST(PropertyPathTest, UnresolvedPathsAndOtherKindsChangeNothing) {
    TfSample form;
    EXPECT_FALSE(SetPropertyByPath(&form, "ActionManager1", "x")); // no "."
    EXPECT_FALSE(SetPropertyByPath(&form, "NoSuchComponent.Caption", "x"));
    EXPECT_FALSE(SetPropertyByPath(&form, "ActionManager1.Width", "7")); // integer property
    EXPECT_FALSE(SetPropertyByPath(&form, "ActionManager1.NoSuchProperty", "x"));
    EXPECT_EQ(form.sample->m_width, 3);
    EXPECT_EQ(form.sample->m_caption, "old");
    QObject* instance = &form;
    QString name = "kept";
    ResolvePropertyPath(&form, "Nothing.Caption", instance, name);
    EXPECT_EQ(instance, nullptr);
    EXPECT_TRUE(name.isEmpty());
}

TEST(PropertyPathTest, BadMiddleSegmentsRaiseTheToolkitErrors) {
    TfSample form;
    auto message = [&](const QString& path) {
        try {
            SetPropertyByPath(&form, path, "x");
        } catch (const Exception& e) {
            return e.Message();
        }
        return QString("no error");
    };
    EXPECT_EQ(message("ActionManager1.Bars.Items[0].Caption"), "Property Bars does not exist");
    EXPECT_EQ(message("ActionManager1.ActionBars.Items[x].Caption"), "'x' is not a valid integer value");
    EXPECT_EQ(message("ActionManager1.ActionBars.Items[2].Caption"), "List index out of bounds (2)");
}

TEST(PropertyPathTest, StringListTakesTheTextLineByLine) {
    TfSample form;
    EXPECT_TRUE(SetPropertyByPath(&form, "ActionManager1.Lines", "one\r\ntwo\nthree"));
    EXPECT_EQ(form.sample->m_lines, QStringList({"one", "two", "three"}));
    EXPECT_TRUE(SetStringProperty(form.sample, "lines", "a\n"));
    EXPECT_EQ(form.sample->m_lines, QStringList({"a"}));
    EXPECT_FALSE(SetStringProperty(nullptr, "Caption", "x"));
}

TEST(CloneTest, CopyOfAPanelWithAGridTakesTheNextFreeNamesInTheSameParent) {
    TForm form;
    auto* host = new QWidget(&form);
    host->setObjectName("pHost");
    auto* panel = new QWidget(host);
    panel->setObjectName("pObjects");
    panel->setGeometry(5, 6, 200, 100);
    panel->setToolTip("objects");
    auto* layout = new QVBoxLayout(panel);
    auto* grid = new QTableView(panel);
    grid->setObjectName("gObjects");
    QStandardItemModel model(2, 2);
    grid->setModel(&model);
    layout->addWidget(grid);
    auto* taken = new QLabel(&form);
    taken->setObjectName("gObjects1");

    auto* copy = qobject_cast<QWidget*>(CloneControl(panel));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->objectName(), "pObjects1");
    EXPECT_EQ(copy->parentWidget(), host);
    EXPECT_EQ(copy->geometry(), panel->geometry());
    EXPECT_EQ(copy->toolTip(), "objects");
    auto* gridCopy = copy->findChild<QTableView*>();
    ASSERT_NE(gridCopy, nullptr);
    EXPECT_EQ(gridCopy->objectName(), "gObjects2"); // gObjects1 is taken
    EXPECT_EQ(gridCopy->model(), &model);
    EXPECT_EQ(copy->layout()->indexOf(gridCopy), 0);
    // The inner parts of the grid are made by its class, not copied.
    EXPECT_EQ(copy->findChildren<QTableView*>().size(), 1);

    auto* second = qobject_cast<QWidget*>(CloneControl(panel));
    EXPECT_EQ(second->objectName(), "pObjects2");
    EXPECT_EQ(second->findChild<QTableView*>()->objectName(), "gObjects3");
}

TEST(CloneTest, AControlOfAnUnknownClassIsNotCopied) {
    TForm form;
    auto* panel = new QWidget(&form);
    panel->setObjectName("pOwn");
    auto* own = new TForm(panel); // a class nobody registered
    own->setObjectName("fInner");
    try {
        CloneControl(panel);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Class TForm not found");
    }
    EXPECT_EQ(TForm::FindComponentIn(&form, "pOwn1"), nullptr);
}

TEST(MessageBoxTest, BoxesCarryTheTitleIconAndResult) {
    TApplication::Instance()->SetTitle("Marlinde");
    QStringList seen;
    auto inspect = [&](QMessageBox::StandardButton click) {
        return [&seen, click](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            seen << QStringLiteral("%1|%2|%3").arg(box->windowTitle()).arg(int(box->icon())).arg(box->text());
            box->button(click)->click();
        };
    };
    testsupport::ModalDriver driver({inspect(QMessageBox::Ok), inspect(QMessageBox::Ok),
                                     inspect(QMessageBox::Ok), inspect(QMessageBox::Cancel)});
    ShowInfo("info");
    ShowError("error");
    EXPECT_TRUE(ConfirmBox("sure?"));
    EXPECT_FALSE(ConfirmBox("really?"));
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(seen, QStringList({QString("Marlinde|%1|info").arg(int(QMessageBox::Information)),
                                 QString("Marlinde|%1|error").arg(int(QMessageBox::Critical)),
                                 QString("Marlinde|%1|sure?").arg(int(QMessageBox::Question)),
                                 QString("Marlinde|%1|really?").arg(int(QMessageBox::Question))}));
}

} // namespace

#include "ComponentUtilsTest.moc"
