#include "ModalDriver.h"
#include "TForm.h"
#include "uTLumDlgButtonPanel.h"

#include <QPointer>

#include <gtest/gtest.h>

namespace {

struct TLayoutCase {
    QSize client;
    int buttons;
    bool secondHidden;
    QList<int> lefts;
    int top;
};

TEST(ButtonPanelTest, WorkedLayoutExamples) {
    const TLayoutCase cases[] = {
        {{635, 37}, 2, false, {465, 550}, 6},
        {{635, 37}, 2, true, {540, 625}, 6}, // the hidden button keeps its slot
        {{363, 35}, 2, false, {193, 278}, 5},
        {{443, 41}, 1, false, {358}, 8}, // one button: its width minus one gap
    };
    for (const TLayoutCase& c : cases) {
        TLumDlgButtonPanel panel;
        panel.SetAlign(TLumDlgButtonPanel::alBottom);
        panel.resize(c.client);
        for (int i = 0; i < c.buttons; ++i)
            panel.AddButton(i == 0 ? "OK" : "Cancel", i + 1);
        if (c.secondHidden)
            panel.Button(1)->hide();
        panel.AlignControls();
        QList<int> lefts;
        for (int i = 0; i < c.buttons; ++i) {
            lefts << panel.Button(i)->x();
            EXPECT_EQ(panel.Button(i)->y(), c.top);
            EXPECT_EQ(panel.Button(i)->size(), QSize(75, 25));
        }
        EXPECT_EQ(lefts, c.lefts) << c.client.width() << "x" << c.client.height();
    }
}

TEST(ButtonPanelTest, OtherAlignmentsAndColumns) {
    TLumDlgButtonPanel panel;
    panel.resize(300, 35);
    panel.AddButton("A", 0);
    panel.AddButton("B", 0);
    panel.SetBtnAlign(TLumDlgButtonPanel::baTopLeft);
    EXPECT_EQ(panel.Button(0)->pos(), QPoint(20, 5));
    EXPECT_EQ(panel.Button(1)->pos(), QPoint(105, 5));
    panel.SetBtnAlign(TLumDlgButtonPanel::baCenter);
    EXPECT_EQ(panel.Button(0)->x(), (300 - 150) / 2);

    // Aligned left, the panel stacks its buttons and centres them across.
    panel.resize(101, 200);
    panel.SetAlign(TLumDlgButtonPanel::alLeft);
    panel.SetBtnAlign(TLumDlgButtonPanel::baRightBottom);
    // Two buttons count (2 - 2) gaps: T = 50.
    EXPECT_EQ(panel.Button(0)->pos(), QPoint(13, 200 - 50 - 20));
    EXPECT_EQ(panel.Button(1)->pos(), QPoint(13, 165));

    // An equal value lays out nothing; a new one does.
    panel.Button(0)->move(1, 1);
    panel.SetBtnGap(10);
    panel.SetBtnMargin(20);
    panel.SetBtnAlign(TLumDlgButtonPanel::baRightBottom);
    EXPECT_EQ(panel.Button(0)->pos(), QPoint(1, 1));
    panel.SetBtnGap(4);
    EXPECT_EQ(panel.Button(0)->pos(), QPoint(13, 130));
    EXPECT_EQ(panel.Button(1)->pos(), QPoint(13, 159));

    TLumDlgButtonPanel empty;
    empty.resize(100, 30);
    EXPECT_NO_THROW(empty.AlignControls());
}

TEST(ButtonPanelTest, ButtonsAreNamedWithTheFirstFreeNumber) {
    TLumDlgButtonPanel panel;
    EXPECT_EQ(panel.AddButton("OK", 1)->Button()->objectName(), "DlgButton1");
    EXPECT_EQ(panel.AddButton("Cancel", 2)->Button()->objectName(), "DlgButton2");
    EXPECT_EQ(panel.AddButton("&Help", 0)->Button()->objectName(), "DlgButton3");
    EXPECT_EQ(panel.Button(2)->Caption(), "&Help");
    EXPECT_EQ(panel.Button(1)->ModalResult(), 2);

    TLumDlgButtonPanel other;
    other.AddButton("a", 0)->Button()->setObjectName("DlgButton3"); // out of order
    other.AddButton("b", 0);
    other.AddButton("c", 0);
    EXPECT_EQ(other.Button(1)->objectName(), "DlgButton1");
    EXPECT_EQ(other.Button(2)->objectName(), "DlgButton2");
    EXPECT_EQ(other.AddButton("d", 0)->Button()->objectName(), "DlgButton4");

    // Deleting an item deletes its button.
    QPointer<TButton> button = other.Button(0);
    other.Buttons()->Delete(0);
    EXPECT_TRUE(button.isNull());
}

TEST(ButtonPanelTest, AButtonWithAModalResultClosesItsDialog) {
    TForm form;
    auto* panel = new TLumDlgButtonPanel(&form);
    panel->AddButton("OK", mrOk);
    TButton* cancel = panel->AddButton("Cancel", mrCancel)->Button();
    cancel->SetCancel(true);
    QStringList clicks;
    cancel->OnClick = [&](TButton* sender) { clicks << sender->objectName(); };
    testsupport::ModalDriver driver({[&](QWidget* w) {
        EXPECT_EQ(w, &form);
        cancel->click();
    }});
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_FALSE(driver.TimedOut());
    EXPECT_EQ(clicks, QStringList{"DlgButton2"});

    TLumDlgButton copy(panel->Buttons());
    copy.Assign(panel->Buttons()->Items(1));
    EXPECT_EQ(copy.Button()->Caption(), "Cancel");
    EXPECT_EQ(copy.Button()->ModalResult(), mrCancel);
    EXPECT_TRUE(copy.Button()->Cancel());
    copy.Button()->OnClick(copy.Button());
    EXPECT_EQ(clicks.size(), 2);
    copy.Assign(&form); // not a button item: ignored
    EXPECT_EQ(copy.Button()->Caption(), "Cancel");
}

} // namespace
