// Runs in a test program that carries a version resource, as the real program does.
#include "ModalDriver.h"
#include "TApplication.h"
#include "TVersionInfo.h"
#include "uTLumDlgButtonPanel.h"
#include "uTLumVersionDialog.h"
#include "ufAbout.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QGroupBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

using testsupport::ModalDriver;

namespace {

class TUrlCatcher : public QObject {
    Q_OBJECT

public:
    QStringList opened;
public slots:
    void open(const QUrl& url) { opened << url.toString(); }
};

QStringList rows(const TfAbout* form) {
    QStringList result;
    for (int r = 0; r < form->vlAppInfo->rowCount(); ++r)
        result << form->vlAppInfo->item(r, 0)->text() + "|" + form->vlAppInfo->item(r, 1)->text();
    return result;
}

TEST(AboutTest, FieldsComeFromTheProgramInTheirFixedOrder) {
    TLumVersionDialog dialog;
    dialog.BuildInfoLines(); // the default choice
    EXPECT_EQ(dialog.InfoLines(), QStringList({"Company Name=The Marlinde developers",
                                               "File Version=" + TVersionInfo::FileVersion(),
                                               "Product Name=Marlinde", "Product Version=0.1.0"}));
    // Written in another order, listed in the field order.
    dialog.SetVersionInfo(TLumVersionDialog::TLumVersionInfoSet(TLumVersionDialog::viOriginalFileName) |
                          TLumVersionDialog::viComments | TLumVersionDialog::viInternalName);
    dialog.BuildInfoLines();
    EXPECT_EQ(dialog.InfoLines(),
              QStringList({"Internal Name=about_tests", "Original File Name=about_tests",
                           "Comments=SQL Server administration over unixODBC and FreeTDS"}));
    dialog.SetVersionInfo({});
    dialog.BuildInfoLines();
    EXPECT_TRUE(dialog.InfoLines().isEmpty());
}

TEST(AboutTest, TheWindowShowsTheRowsLinksAndSizes) {
    TApplication::Instance()->SetTitle("Marlinde");
    TLumVersionDialog dialog(nullptr, "LumVersionDialog");
    dialog.SetVersionInfo(TLumVersionDialog::TLumVersionInfoSet(TLumVersionDialog::viCompanyName) |
                          TLumVersionDialog::viFileVersion | TLumVersionDialog::viComments);
    dialog.setProperty("CompanyNameCaption", "Company:");
    dialog.setProperty("FileVersionCaption", "Version:");
    dialog.setProperty("CommentsCaption", " ");
    dialog.setProperty("AboutDlgCaption", "О программе");
    dialog.setProperty("DlgVersionPageCaption", "Version:");
    dialog.setProperty("LinkVisible", true);
    dialog.setProperty("Link", "http://marlinde.example/");
    dialog.setProperty("LinkText", "marlinde.example");
    dialog.setProperty("Mail", "team@marlinde.example?subject=Marlinde");
    dialog.setProperty("LinkCaption", "URL:");
    dialog.setProperty("DialogHeight", 250);
    TUrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    QStringList seen;
    int keyWidth = 0, widestKey = 0, linkLeft = 0, valueLeft = 0;
    ModalDriver driver({[&](QWidget* w) {
        auto* form = qobject_cast<TfAbout*>(w);
        ASSERT_NE(form, nullptr);
        seen << form->Caption() << form->PageControl->tabText(0) << form->Label1->text()
             << QString("%1x%2").arg(form->width()).arg(form->height()) << rows(form) << form->lLink->text()
             << form->lLinkCaption->text() << form->lMail->text() << form->lMailCaption->text()
             << (form->pLink->isVisible() ? "links" : "no links");
        keyWidth = form->vlAppInfo->columnWidth(0);
        const QFontMetrics m(form->vlAppInfo->font());
        widestKey = qMax(m.horizontalAdvance("Company:"), m.horizontalAdvance("Version:"));
        linkLeft = form->lLink->x();
        valueLeft = form->vlAppInfo->x() + keyWidth;
        QTest::mouseClick(form->lLink, Qt::LeftButton);
        QTest::mouseClick(form->lMail, Qt::LeftButton);
        form->LumDlgButtonPanel->Button(0)->click();
    }});
    dialog.ShowDialog();
    EXPECT_EQ(driver.Remaining(), 0);
    EXPECT_EQ(seen,
              QStringList({"О программе", "Version:", "Marlinde", "450x250",
                           "Company:|The Marlinde developers", "Version:|" + TVersionInfo::FileVersion(),
                           " |SQL Server administration over unixODBC and FreeTDS", "marlinde.example",
                           "URL:", "team@marlinde.example?subject=Marlinde", "E-Mail", "links"}));
    EXPECT_EQ(keyWidth, widestKey + 10); // the blank key does not count
    EXPECT_EQ(linkLeft, valueLeft);
    EXPECT_EQ(catcher.opened,
              QStringList({"http://marlinde.example/", "mailto:team@marlinde.example?subject=Marlinde"}));

    // Without the link rows; the size is set again on every display.
    dialog.setProperty("LinkVisible", false);
    dialog.setProperty("DialogWidth", 500);
    QStringList second;
    ModalDriver again({[&](QWidget* w) {
        auto* form = static_cast<TfAbout*>(w);
        second << QString::number(form->width()) << (form->pLink->isVisible() ? "links" : "no links");
        form->close();
    }});
    dialog.ShowDialog();
    EXPECT_EQ(second, QStringList({"500", "no links"}));
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("mailto");
}

} // namespace

#include "AboutTest.moc"
