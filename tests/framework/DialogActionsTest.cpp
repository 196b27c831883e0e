#include "Exception.h"
#include "ModalDriver.h"
#include "Spin.h"
#include "TApplication.h"
#include "uLumDialogActions.h"
#include "uTLumDlgButtonPanel.h"
#include "ufChangePassword.h"
#include "ufLumCustomDialog.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using testsupport::ModalDriver;

namespace {

// A form holding a panel (with an edit) between two labels, the way forms hold their questions.
class TfHost : public TForm {
    Q_OBJECT

public:
    TfHost() {
        setObjectName("fHost");
        auto* layout = new QVBoxLayout(this);
        top = new QLabel("top", this);
        pObjects = new QFrame(this);
        pObjects->setObjectName("pObjects");
        pObjects->resize(200, 120);
        auto* inner = new QVBoxLayout(pObjects);
        eName = new QLineEdit(pObjects);
        eName->setObjectName("eName");
        inner->addWidget(eName);
        bottom = new QLabel("bottom", this);
        layout->addWidget(top);
        layout->addWidget(pObjects, 3);
        layout->addWidget(bottom);
        pRefresh = new QFrame(this);
        pRefresh->setObjectName("pRefresh");
        pRefresh->setGeometry(0, 0, 60, 20);
        pRefresh->hide();
        action = new TLumControlDialogAction(this, "aObjects");
        action->SetControl(pObjects);
        action->SetCopyControl(false);
    }
    QLabel* top;
    QFrame* pObjects;
    QLineEdit* eName;
    QLabel* bottom;
    QFrame* pRefresh;
    TLumControlDialogAction* action;
};

class DialogActionsTest : public ::testing::Test {
protected:
    TfHost host;
    QStringList events;
    QStringList errors;

    void SetUp() override {
        TApplication::Instance()->SetTitle("Marlinde");
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
        TLumControlDialogAction* a = host.action;
        auto note = [this, a](const QString& name) {
            return [this, a, name](QObject* sender) { events << name + (sender == a ? "" : "?"); };
        };
        a->BeforeExecute = note("BeforeExecute");
        a->OnShow = note("OnShow");
        a->AfterShow = note("AfterShow");
        a->OnOk = note("OnOk");
        a->AfterExecute = note("AfterExecute");
        a->BeforeCancel = [this, a](QObject* sender, bool&) {
            events << QString("BeforeCancel") + (sender == a ? "" : "?");
        };
    }
    void TearDown() override { TApplication::Instance()->OnException = nullptr; }

    TfLumCustomDialog* dialog() const { return host.action->DialogForm(); }
    TButton* ok() const { return dialog()->pButton->Button(0); }
    TButton* cancel() const { return dialog()->pButton->Button(1); }
    void waitAfterShow() {
        EXPECT_TRUE(SpinUntil([this] { return events.contains("AfterShow"); }));
    }
};

TEST_F(DialogActionsTest, EventsRunInOrderAndTheLentControlComesBackIntact) {
    host.action->BeforeOk = [this](QObject* sender, bool& canClose) {
        events << QString("BeforeOk") + (sender == dialog() ? "" : "?");
        canClose = events.count("BeforeOk") > 1; // the first OK is refused
    };
    QWidget* placeInDialog = nullptr;
    bool visibleInDialog = false;
    ModalDriver driver({[&](QWidget* w) {
        ASSERT_EQ(w, dialog());
        waitAfterShow();
        placeInDialog = host.pObjects->parentWidget();
        visibleInDialog = host.pObjects->isVisible();
        ok()->click();
        EXPECT_TRUE(dialog()->isVisible());
        ok()->click();
    }});
    EXPECT_TRUE(host.action->Execute());
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(events, QStringList({"BeforeExecute", "OnShow", "AfterShow", "BeforeOk", "BeforeOk", "OnOk",
                                   "AfterExecute"}));
    EXPECT_EQ(host.action->LastModalResult(), mrOk);
    EXPECT_EQ(host.action->DialogForm(), nullptr);
    EXPECT_TRUE(visibleInDialog);
    EXPECT_NE(placeInDialog, &host);
    // Back in its form, in its place of the layout and with its stretch.
    auto* layout = static_cast<QVBoxLayout*>(host.layout());
    EXPECT_EQ(host.pObjects->parentWidget(), &host);
    EXPECT_EQ(layout->indexOf(host.pObjects), 1);
    EXPECT_EQ(layout->stretch(1), 3);
    EXPECT_FALSE(host.pObjects->isHidden());
    EXPECT_EQ(host.eName->parentWidget(), host.pObjects);
}

TEST_F(DialogActionsTest, CancelSkipsOkAndABeforeCancelRefusalKeepsTheDialog) {
    bool refuse = true;
    host.action->BeforeCancel = [&](QObject* sender, bool& canClose) {
        events << QString("BeforeCancel") + (sender == host.action ? "" : "?");
        canClose = !std::exchange(refuse, false);
    };
    host.pObjects->hide(); // a hidden control is shown in the dialog and hidden again afterwards
    ModalDriver driver({[&](QWidget*) {
        waitAfterShow();
        EXPECT_TRUE(host.pObjects->isVisible());
        QTest::keyClick(dialog(), Qt::Key_Escape);
        EXPECT_TRUE(dialog()->isVisible());
        cancel()->click();
    }});
    EXPECT_FALSE(host.action->Execute());
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(events, QStringList({"BeforeExecute", "OnShow", "AfterShow", "BeforeCancel", "BeforeCancel",
                                   "AfterExecute"}));
    EXPECT_EQ(host.action->LastModalResult(), mrCancel);
    EXPECT_TRUE(host.pObjects->isHidden());
    EXPECT_EQ(host.pObjects->parentWidget(), &host);
}

TEST_F(DialogActionsTest, ACopyIsShownUnderNumberedNamesAndTheControlStays) {
    host.action->SetCopyControl(true);
    QStringList names;
    ModalDriver driver({[&](QWidget*) {
        QWidget* hosted = host.action->HostedControl();
        ASSERT_NE(hosted, nullptr);
        names << hosted->objectName() << hosted->findChild<QLineEdit*>()->objectName();
        EXPECT_EQ(hosted->parentWidget(), dialog()->ParentPanel);
        EXPECT_EQ(host.pObjects->parentWidget(), &host);
        cancel()->click();
    }});
    host.action->Execute();
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(names, QStringList({"pObjects1", "eName1"}));
    EXPECT_EQ(host.FindComponent("pObjects1"), nullptr); // destroyed with the dialog
    EXPECT_EQ(static_cast<QVBoxLayout*>(host.layout())->indexOf(host.pObjects), 1);
}

TEST_F(DialogActionsTest, FailuresStillFinishAndGiveBackOnlyWhatWasTaken) {
    TLumControlDialogAction* a = host.action;
    a->SetControl(nullptr);
    auto message = [&] {
        try {
            a->Execute();
        } catch (const Exception& e) {
            return e.Message();
        }
        return QString("no error");
    };
    EXPECT_EQ(message(), "Property \"Control\" not assigned.");
    EXPECT_EQ(events, QStringList({"BeforeExecute", "AfterExecute"}));
    EXPECT_EQ(a->DialogForm(), nullptr);

    // BeforeExecute fails: the control was never lent and stays where it is.
    events.clear();
    a->SetControl(host.pObjects);
    a->BeforeExecute = [](QObject*) { throw Exception("not now"); };
    EXPECT_EQ(message(), "not now");
    EXPECT_EQ(events, QStringList({"AfterExecute"}));
    EXPECT_EQ(host.pObjects->parentWidget(), &host);
    EXPECT_EQ(a->ControlWidth(), 380); // no dialog size was taken over

    // OnOk fails: the control is given back, then the error reaches the caller.
    events.clear();
    a->BeforeExecute = nullptr;
    a->OnOk = [](QObject*) { throw Exception("ok failed"); };
    ModalDriver driver({[&](QWidget*) { ok()->click(); }});
    EXPECT_EQ(message(), "ok failed");
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(events.last(), "AfterExecute");
    EXPECT_EQ(host.pObjects->parentWidget(), &host);
    EXPECT_EQ(a->DialogForm(), nullptr);

    // BeforeOk fails: the message is shown and the dialog stays open.
    a->OnOk = nullptr;
    a->BeforeOk = [](QObject*, bool&) { throw Exception("check failed"); };
    ModalDriver again({[&](QWidget*) {
        ok()->click();
        EXPECT_TRUE(dialog()->isVisible());
        cancel()->click();
    }});
    EXPECT_FALSE(a->Execute());
    EXPECT_EQ(errors, QStringList{"check failed"});
}

TEST_F(DialogActionsTest, SizesFollowTheControlTheTextAndTheUser) {
    TLumControlDialogAction* a = host.action;
    a->SetDialogTextVisible(false);
    a->SetControlHeightForced(true);
    a->SetControlHeight(150);
    a->SetControlWidth(420);
    QList<int> seen;
    ModalDriver driver({[&](QWidget*) {
        EXPECT_FALSE(dialog()->pTop->isVisible());
        seen << dialog()->width() << host.pObjects->height() << host.pObjects->y();
        dialog()->resize(520, 330);
        SpinUntil([&] { return host.pObjects->width() == 520 - 10; });
        ok()->click();
    }});
    EXPECT_TRUE(a->Execute());
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(seen, QList<int>({420, 150, 5})); // the control area starts at the top
    // The dialog's size is kept for the next execution.
    EXPECT_EQ(a->ControlWidth(), 520);
    EXPECT_EQ(a->ControlHeight(), 330 - 35 - 10);
    ModalDriver second({[&](QWidget*) {
        seen << dialog()->width() << dialog()->height();
        cancel()->click();
    }});
    a->Execute();
    EXPECT_EQ(seen.mid(3), QList<int>({520, 330}));

    // A text wider than the control widens the dialog; a too high one is capped by the work area.
    a->SetDialogTextVisible(true);
    a->SetDialogText(QString("A question that is far wider than the control is ").repeated(3));
    a->SetControlWidth(100);
    a->SetControlHeight(20000);
    ModalDriver third({[&](QWidget*) {
        seen << dialog()->width() - dialog()->StaticText->sizeHint().width() << dialog()->height()
             << dialog()->screen()->availableGeometry().height() - 40;
        cancel()->click();
    }});
    a->Execute();
    EXPECT_EQ(seen.mid(5, 1), QList<int>{10});
    EXPECT_EQ(seen.at(6), seen.at(7));
}

TEST_F(DialogActionsTest, CaptionReadOnlyAndTopRightControl) {
    TLumControlDialogAction* a = host.action;
    a->SetReadOnly(false);
    a->OnGetReadOnly = [](QObject*, bool& readOnly) { readOnly = !readOnly; };
    a->SetTopRightControl(host.pRefresh);
    bool okEnabled = true;
    QString caption;
    ModalDriver driver({[&](QWidget*) {
        okEnabled = ok()->isEnabled();
        caption = dialog()->Caption();
        EXPECT_EQ(host.pRefresh->parentWidget(), dialog()->pTopRight);
        EXPECT_TRUE(host.pRefresh->isVisible());
        EXPECT_EQ(dialog()->pTopRight->width(), 60);
        ok()->click(); // disabled: nothing happens
        cancel()->click();
    }});
    EXPECT_FALSE(a->Execute());
    EXPECT_FALSE(okEnabled);
    EXPECT_FALSE(events.contains("OnOk"));
    EXPECT_EQ(caption, "Marlinde");
    EXPECT_EQ(a->DialogCaption(), "Marlinde"); // taken once and kept
    EXPECT_TRUE(host.pRefresh->isHidden());
    EXPECT_EQ(host.pRefresh->parentWidget(), &host);
}

TEST(ComboDialogTest, InputComboQueryReturnsTheChoiceOrTypedTextAndLeavesArgumentsOnCancel) {
    QString text = "before";
    int index = 1;
    auto combo = [] { return QApplication::activeModalWidget()->findChild<QComboBox*>(); };
    ModalDriver cancelled({[&](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), TApplication::CurrentTitle());
        EXPECT_EQ(w->findChild<QLabel*>("StaticText")->text(), "Введите название профиля:");
        EXPECT_EQ(combo()->currentIndex(), 1);
        EXPECT_TRUE(combo()->isEditable());
        QTest::keyClick(w, Qt::Key_Escape);
    }});
    EXPECT_FALSE(InputComboQuery("Введите название профиля:", {"dev", "prod"}, text, index));
    EXPECT_EQ(text, "before");
    EXPECT_EQ(index, 1);

    ModalDriver typed({[&](QWidget* w) {
        combo()->setEditText("");
        QTest::keyClicks(combo(), "test");
        QTest::keyClick(w->focusWidget(), Qt::Key_Return);
    }});
    EXPECT_TRUE(InputComboQuery("Name:", {"dev", "prod"}, text, index));
    EXPECT_EQ(text, "test");
    EXPECT_EQ(index, -1);
    EXPECT_EQ(typed.Remaining(), 0);

    TLumComboDialogAction action;
    action.SetItems({"a", "b", "c"});
    action.SetAllowText(false);
    ModalDriver chosen({[&](QWidget*) {
        EXPECT_FALSE(action.DialogComboBox()->isEditable());
        EXPECT_EQ(action.DialogComboBox()->maxVisibleItems(), 3);
        action.DialogComboBox()->setCurrentIndex(2);
        action.DialogForm()->pButton->Button(0)->click();
    }});
    EXPECT_TRUE(action.Execute());
    EXPECT_EQ(action.Text(), "c");
    EXPECT_EQ(action.ItemIndex(), 2);
}

TEST(PasswordDialogTest, TheOldEntryFollowsOldDisabledAndOkHandsOverTheTexts) {
    TLumPasswordDialogAction action;
    action.SetOldDisabled(true);
    QString newOnOk;
    action.OnOk = [&](QObject* sender) {
        EXPECT_EQ(sender, &action);
        newOnOk = action.NewPassword();
    };
    ModalDriver driver({[&](QWidget* w) {
        auto* form = qobject_cast<TfChangePassword*>(w);
        ASSERT_NE(form, nullptr);
        EXPECT_FALSE(form->eOld->isEnabled());
        EXPECT_TRUE(form->eOld->isReadOnly());
        QTest::keyClicks(form->eNew, "n3w");
        QTest::keyClicks(form->eNew2, "n3w");
        form->LumDlgButtonPanel1->Button(0)->click();
    }});
    EXPECT_TRUE(action.Execute());
    EXPECT_EQ(newOnOk, "n3w");
    EXPECT_EQ(action.OldPassword(), "");

    action.SetOldDisabled(false);
    newOnOk.clear();
    ModalDriver cancelled({[&](QWidget* w) {
        auto* form = static_cast<TfChangePassword*>(w);
        EXPECT_TRUE(form->eOld->isEnabled());
        QTest::keyClicks(form->eOld, "old");
        form->LumDlgButtonPanel1->Button(1)->click();
    }});
    EXPECT_FALSE(action.Execute());
    EXPECT_EQ(action.LastModalResult(), mrCancel);
    EXPECT_EQ(action.OldPassword(), "old"); // read whatever the result
    EXPECT_TRUE(newOnOk.isEmpty());
}

} // namespace

#include "DialogActionsTest.moc"
