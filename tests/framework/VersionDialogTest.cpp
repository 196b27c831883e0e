// This test program is built without a version resource.
#include "ModalDriver.h"
#include "TVersionInfo.h"
#include "uTLumVersionDialog.h"
#include "ufAbout.h"

#include <QTableWidget>

#include <gtest/gtest.h>

namespace {

TEST(VersionDialogTest, AProgramWithoutAVersionResourceSaysSo) {
    EXPECT_FALSE(TVersionInfo::HasResource());
    TLumVersionDialog dialog;
    EXPECT_EQ(dialog.property("DialogWidth").toInt(), 450);
    EXPECT_EQ(dialog.property("DialogHeight").toInt(), 270);
    EXPECT_EQ(dialog.property("LinkCaption").toString(), "Link");
    EXPECT_EQ(dialog.property("MailCaption").toString(), "E-Mail");
    EXPECT_FALSE(dialog.property("LinkVisible").toBool());
    EXPECT_TRUE(dialog.property("PictureShowBorder").toBool());
    dialog.BuildInfoLines();
    EXPECT_EQ(dialog.InfoLines(), QStringList{"No version information found"});

    QStringList row;
    testsupport::ModalDriver driver({[&](QWidget* w) {
        auto* form = static_cast<TfAbout*>(w);
        ASSERT_EQ(form->vlAppInfo->rowCount(), 1);
        row << form->vlAppInfo->item(0, 0)->text() << form->vlAppInfo->item(0, 1)->text();
        form->close();
    }});
    dialog.ShowDialog();
    EXPECT_EQ(row, QStringList({"No version information found", ""}));
}

} // namespace
