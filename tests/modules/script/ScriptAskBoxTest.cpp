// The runner's question as a message box: the runner without OnAsk asks through it, OK goes on and
// Cancel (or closing the box) stops, and the icon follows the question's type.
#include "ModalDriver.h"
#include "TApplication.h"
#include "TLumScriptAskBox.h"

#include <QMessageBox>

#include <gtest/gtest.h>

namespace {

using testsupport::ModalDriver;

TEST(ScriptAskBox, AnswersOkAndCancelWithTheTypesIconAndTheApplicationTitle) {
    TApplication::Instance()->SetTitle(QStringLiteral("Marlinde"));
    TLumScriptAskBox::Install();
    TLumScriptRunner runner;
    const QString question = TLumScriptRunner::ContinueQuestion(QStringLiteral("Bad thing"));
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption, text;
    const auto answer = [&](QMessageBox::StandardButton button) {
        return [&, button](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            icon = box->icon();
            caption = box->windowTitle();
            text = box->text();
            ASSERT_NE(box->button(QMessageBox::Ok), nullptr);
            ASSERT_NE(box->button(QMessageBox::Cancel), nullptr);
            box->button(button)->click();
        };
    };
    {
        ModalDriver driver({answer(QMessageBox::Ok)});
        EXPECT_TRUE(runner.Ask(question, TLumScriptRunner::qtError));
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(caption, QStringLiteral("Marlinde"));
    EXPECT_EQ(text, question);
    {
        ModalDriver driver({answer(QMessageBox::Cancel)});
        EXPECT_FALSE(runner.Ask(question, TLumScriptRunner::qtWarning));
        EXPECT_EQ(driver.Remaining(), 0);
    }
    EXPECT_EQ(icon, QMessageBox::Warning);
    {
        ModalDriver driver({answer(QMessageBox::Ok)});
        EXPECT_TRUE(runner.Ask(question, TLumScriptRunner::qtQuestion));
    }
    EXPECT_EQ(icon, QMessageBox::Question);
    TLumScriptRunner::SetDefaultAsker(nullptr);
}

} // namespace
