#include "ModalDriver.h"
#include "TApplication.h"
#include "uTLumDlgButtonPanel.h"
#include "ufChangePassword.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using testsupport::ModalDriver;

namespace {

class ChangePasswordTest : public ::testing::Test {
protected:
    TfChangePassword form;
    QStringList errors;

    void SetUp() override {
        TApplication::Instance()->OnException = [this](const std::exception& e) {
            errors << ExceptionMessage(e);
        };
    }
    void TearDown() override { TApplication::Instance()->OnException = nullptr; }
    TButton* ok() const { return form.LumDlgButtonPanel1->Button(0); }
    TButton* cancel() const { return form.LumDlgButtonPanel1->Button(1); }
};

TEST_F(ChangePasswordTest, FixedTextsAndLayout) {
    EXPECT_EQ(form.Caption(), "Смена пароля");
    EXPECT_EQ(form.Label1->text(), "Текущий пароль");
    EXPECT_EQ(form.Label2->text(), "Новый пароль");
    EXPECT_EQ(form.Label3->text(), "Подтверждение");
    EXPECT_EQ(ok()->Caption(), "OK");
    EXPECT_EQ(cancel()->Caption(), "Cancel");
    for (QLineEdit* e : {form.eOld, form.eNew, form.eNew2})
        EXPECT_EQ(e->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.size(), QSize(415, 141));
    EXPECT_EQ(form.LumDlgButtonPanel1->height(), 35);
    EXPECT_EQ(form.font().pixelSize(), 13);
}

TEST_F(ChangePasswordTest, OkWaitsForBothNewEntriesAndRefusesAMismatch) {
    QList<bool> okStates;
    ModalDriver driver({[&](QWidget* w) {
        ASSERT_EQ(w, &form);
        okStates << ok()->isEnabled();
        QTest::keyClicks(form.eOld, "old");
        QTest::keyClicks(form.eNew, "Secret");
        okStates << ok()->isEnabled();
        QTest::keyClick(form.eNew, Qt::Key_Return); // Enter does nothing while OK is disabled
        QTest::keyClicks(form.eNew2, "secret");
        okStates << ok()->isEnabled();
        QTest::keyClick(form.eNew2, Qt::Key_Return); // letter case differs: refused
        okStates << form.isVisible();
        form.eNew2->clear();
        okStates << ok()->isEnabled();
        QTest::keyClicks(form.eNew2, "Secret");
        ok()->click();
    }});
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(okStates, QList<bool>({false, false, true, true, false}));
    EXPECT_EQ(errors, QStringList{"Новый пароль и подтверждение должны совпадать."});
    EXPECT_EQ(form.eOld->text(), "old");
    EXPECT_EQ(form.eNew->text(), "Secret");
}

TEST_F(ChangePasswordTest, CancelAndTheCloseBoxAreNeverChecked) {
    ModalDriver first({[&](QWidget*) {
        QTest::keyClicks(form.eNew, "a");
        QTest::keyClicks(form.eNew2, "b");
        cancel()->click();
    }});
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(first.Remaining(), 0);
    ModalDriver second({[&](QWidget*) {
        QTest::keyClicks(form.eNew, "x");
        form.close();
    }});
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(second.Remaining(), 0);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(form.eNew->text(), "ax"); // the texts stay for the caller to read
}

} // namespace
