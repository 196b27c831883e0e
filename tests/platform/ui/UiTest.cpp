#include "Exception.h"
#include "ModalDriver.h"
#include "Spin.h"
#include "TAction.h"
#include "TApplication.h"
#include "TForm.h"
#include "TImageList.h"

#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

// Collects what reaches the default error handler instead of showing message boxes.
class UiTest : public ::testing::Test {
protected:
    QStringList errors;
    void SetUp() override {
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
    }
    void TearDown() override { TApplication::Instance()->OnException = nullptr; }
};

TEST_F(UiTest, ErrorsOfActionsPostedMessagesAndTimersReachTheHandlerAndTheProgramGoesOn) {
    TForm form;
    TAction action(&form, "aFail");
    action.OnExecute = [](TAction*) { throw Exception("action failed"); };
    action.trigger();
    EXPECT_EQ(errors, QStringList({"action failed"}));

    form.OnMessage = [](TForm*, int message, qintptr w, qintptr) {
        if (message == 1026 && w == 5)
            throw std::runtime_error("message failed");
    };
    form.show();
    form.PostMessage(1026, 5, 0);
    ASSERT_TRUE(SpinUntil([&] { return errors.size() == 2; }));
    EXPECT_EQ(errors[1], "message failed");

    QTimer::singleShot(0, [] { SafeCall([] { throw Exception("timer failed"); }); });
    ASSERT_TRUE(SpinUntil([&] { return errors.size() == 3; }));
    EXPECT_EQ(errors[2], "timer failed");

    // The silent abort shows nothing.
    action.OnExecute = [](TAction*) { throw EAbort(); };
    action.trigger();
    EXPECT_EQ(errors.size(), 3);
}

TEST_F(UiTest, DefaultHandlerShowsTheMessageCaptionedWithTheTitle) {
    TApplication::Instance()->OnException = nullptr;
    TApplication::Instance()->SetTitle("Marlinde");
    QString caption, text;
    testsupport::ModalDriver driver({[&](QWidget* w) {
        caption = w->windowTitle();
        text = testsupport::ModalDriver::Text(w);
        testsupport::ModalDriver::ClickDefault(w);
    }});
    TApplication::HandleException(Exception("Login failed for user 'x'."));
    EXPECT_EQ(caption, "Marlinde");
    EXPECT_EQ(text, "Login failed for user 'x'.");
    EXPECT_EQ(driver.Remaining(), 0);
}

TEST_F(UiTest, PostedMessageWaitsUntilTheFormIsShown) {
    TForm form;
    QList<int> received;
    form.OnMessage = [&](TForm*, int message, qintptr, qintptr) { received << message; };
    form.PostMessage(1027);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(received.isEmpty());
    form.show();
    ASSERT_TRUE(SpinUntil([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received, QList<int>({1027}));
}

TEST_F(UiTest, ShowModalReturnsTheButtonsResultAndCloseQueryCanRefuse) {
    TForm dialog;
    auto* ok = new QPushButton("Ok", &dialog);
    dialog.SetButtonResult(ok, mrOk);
    int queries = 0;
    dialog.OnCloseQuery = [&](TForm*, bool& canClose) { canClose = ++queries > 1; };
    QTimer::singleShot(0, [&] {
        ok->click(); // refused: the dialog stays
        QTimer::singleShot(0, [&] {
            EXPECT_TRUE(dialog.isVisible());
            ok->click();
        });
    });
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_EQ(queries, 2);
    EXPECT_FALSE(dialog.isVisible());

    // Escape clicks the cancel button.
    auto* cancel = new QPushButton("Cancel", &dialog);
    dialog.SetButtonResult(cancel, mrCancel);
    dialog.SetCancelButton(cancel);
    dialog.OnCloseQuery = nullptr;
    QTimer::singleShot(0, [&] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &escape);
    });
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
}

TEST_F(UiTest, IdlePassUpdatesActionsOfVisibleFormsOnly) {
    TForm shown;
    TForm hidden;
    TAction a(&shown, "aShown");
    TAction b(&hidden, "aHidden");
    bool state = false;
    int hiddenUpdates = 0;
    a.OnUpdate = [&](TAction* sender) { sender->SetEnabled(state); };
    b.OnUpdate = [&](TAction*) { ++hiddenUpdates; };
    shown.show();
    ASSERT_TRUE(SpinUntil([&] { return !a.Enabled(); }));
    state = true;
    ASSERT_TRUE(SpinUntil([&] { return a.Enabled(); }));
    EXPECT_EQ(hiddenUpdates, 0);
}

TEST_F(UiTest, FindComponentIgnoresCaseAndStopsAtDockedForms) {
    TForm host;
    auto* panel = new QWidget(&host);
    panel->setObjectName("pObjects");
    auto* label = new QLabel(panel);
    label->setObjectName("lCaption");
    auto* module = new TForm(&host);
    module->Dock(panel);
    auto* inner = new QLabel(module);
    inner->setObjectName("lInner");
    EXPECT_EQ(host.FindComponent("LCAPTION"), label);
    EXPECT_EQ(host.FindComponent("pobjects"), panel);
    EXPECT_EQ(host.FindComponent("lInner"), nullptr);
    EXPECT_EQ(module->FindComponent("lInner"), inner);
    EXPECT_EQ(module->parentWidget(), panel);
    EXPECT_FALSE(module->isWindow());
}

TEST_F(UiTest, CheckedActionsOfOneGroupExcludeEachOtherAndOnlyAutoCheckFollowsAClick) {
    TForm form;
    TAction english(&form, "aEnglish");
    TAction russian(&form, "aRussian");
    english.SetGroupIndex(1);
    russian.SetGroupIndex(1);
    english.SetChecked(true);
    russian.SetChecked(true);
    EXPECT_FALSE(english.Checked());
    EXPECT_TRUE(russian.Checked());
    int runs = 0;
    russian.OnExecute = [&](TAction*) { ++runs; };
    russian.trigger();
    EXPECT_TRUE(russian.Checked()); // without AutoCheck a click keeps the state
    russian.SetAutoCheck(true);
    russian.trigger();
    EXPECT_FALSE(russian.Checked());
    EXPECT_EQ(runs, 2);
}

TEST_F(UiTest, AnEmptyHintStaysEmptyWhereQtWouldShowTheCaption) {
    TAction a;
    a.SetCaption("Users and roles");
    a.SetHint("");
    EXPECT_EQ(a.Hint(), "");
    a.SetHint("Add group");
    EXPECT_EQ(a.Hint(), "Add group");
    EXPECT_EQ(a.toolTip(), "Add group");
}

TEST_F(UiTest, ImageListKeepsItsSizeAndIndexes) {
    TImageList list(24, 24);
    const int first = list.Add([](QPainter&, const QRectF&) {});
    const int second = list.Add(QIcon());
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(list.Icon(0).pixmap(24, 24).size(), QSize(24, 24));
    EXPECT_TRUE(list.Icon(5).isNull());
}

TEST_F(UiTest, ShowModalSurvivesTheFormBeingDeletedInItsOwnLoop) {
    auto* form = new TForm;
    QTimer::singleShot(20, [form] { delete form; });
    EXPECT_EQ(form->ShowModal(), mrCancel);
}

// The helper the GUI tests rely on: when its deadline passes with a step left or a modal window
// open, the test fails (and the window is closed so nothing blocks).
TEST(ModalDriverTest, DeadlineWithAStepLeftFailsTheTest) {
    int remaining = -1;
    EXPECT_NONFATAL_FAILURE(
        {
            testsupport::ModalDriver driver({[](QWidget*) {}}, 50);
            SpinUntil([&] { return driver.TimedOut(); }, 2000);
            remaining = driver.Remaining();
        },
        "deadline of 50 ms passed with 1 step(s) left");
    EXPECT_EQ(remaining, 1);
}

TEST(ModalDriverTest, ModalWindowStillOpenAtTheDeadlineFailsAndIsClosed) {
    int result = -1;
    EXPECT_NONFATAL_FAILURE(
        {
            testsupport::ModalDriver driver({}, 50);
            TForm form;
            result = form.ShowModal(); // nobody answers it
        },
        "and a modal window open");
    EXPECT_EQ(result, mrCancel);
}

} // namespace
