#include "ufAbout.h"

#include "TApplication.h"
#include "TShell.h"
#include "uTLumDlgButtonPanel.h"

#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
        SafeCall([this] { OnClick(); });
}

TfAbout::TfAbout(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("fAbout"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setMinimumSize(325, 236);
    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    LumDlgButtonPanel = named(new TLumDlgButtonPanel(this), "LumDlgButtonPanel");
    LumDlgButtonPanel->SetAlign(TLumDlgButtonPanel::alBottom);
    LumDlgButtonPanel->setFixedHeight(41);
    LumDlgButtonPanel->SetBtnAlign(TLumDlgButtonPanel::baRightBottom);
    LumDlgButtonPanel->SetBtnGap(10);
    LumDlgButtonPanel->SetBtnMargin(20);
    TButton* ok = LumDlgButtonPanel->AddButton(QStringLiteral("OK"), mrOk)->Button();
    ok->SetDefault(true);
    ok->SetCancel(true);

    PageControl = named(new QTabWidget(this), "PageControl");
    tsVersionInfo = named(new QWidget, "tsVersionInfo");
    PageControl->addTab(tsVersionInfo, QStringLiteral("Version Info"));
    GroupBox1 = named(new QGroupBox(tsVersionInfo), "GroupBox1");
    Bevel2 = named(new QFrame(GroupBox1), "Bevel2");
    Bevel2->setFixedSize(110, 110);
    Bevel2->setFrameShape(QFrame::Box);
    Image = named(new QLabel(Bevel2), "Image");
    Image->setGeometry(2, 2, 105, 105);
    Image->setAlignment(Qt::AlignCenter);
    Image->setScaledContents(true);
    Panel1 = named(new QFrame(GroupBox1), "Panel1");
    Label1 = named(new QLabel(Panel1), "Label1");
    QFont title(QStringLiteral("Tahoma"));
    title.setPixelSize(21);
    title.setBold(true);
    Label1->setFont(title);
    Label1->setWordWrap(true);
    Label1->setMinimumSize(200, 25);
    vlAppInfo = named(new QTableWidget(0, 2, Panel1), "vlAppInfo");
    vlAppInfo->setFrameShape(QFrame::NoFrame);
    vlAppInfo->horizontalHeader()->hide();
    vlAppInfo->verticalHeader()->hide();
    vlAppInfo->setShowGrid(false);
    vlAppInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    vlAppInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    vlAppInfo->setSelectionMode(QAbstractItemView::NoSelection);
    vlAppInfo->setEditTriggers(QAbstractItemView::NoEditTriggers);
    vlAppInfo->setFocusPolicy(Qt::NoFocus);
    vlAppInfo->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    vlAppInfo->horizontalHeader()->setStretchLastSection(true);
    QPalette palette = vlAppInfo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    vlAppInfo->setPalette(palette);
    vlAppInfo->setMinimumHeight(96);
    pLink = named(new QFrame(Panel1), "pLink");
    pLink->setFixedHeight(35);
    lLinkCaption = named(new QLabel(pLink), "lLinkCaption");
    lLink = named(new TLinkLabel(pLink), "lLink");
    lMailCaption = named(new QLabel(pLink), "lMailCaption");
    lMail = named(new TLinkLabel(pLink), "lMail");
    lLinkCaption->move(2, 2);
    lLink->move(152, 2);
    lMailCaption->move(2, 17);
    lMail->move(152, 17);
    QFont linkFont(QStringLiteral("MS Sans Serif"));
    linkFont.setPixelSize(11);
    linkFont.setUnderline(true);
    for (TLinkLabel* l : {lLink, lMail}) {
        l->setCursor(Qt::PointingHandCursor);
        l->setFont(linkFont);
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, QColor(0, 0, 128));
        l->setPalette(p);
    }
    lLink->OnClick = [this] { lLinkClick(); };
    lMail->OnClick = [this] { lMailClick(); };

    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(Label1);
    panelLayout->addWidget(vlAppInfo, 1);
    panelLayout->addWidget(pLink);
    auto* groupLayout = new QHBoxLayout(GroupBox1);
    groupLayout->setContentsMargins(13, 12, 12, 8);
    groupLayout->setSpacing(10);
    groupLayout->addWidget(Bevel2, 0, Qt::AlignTop);
    groupLayout->addWidget(Panel1, 1);
    auto* pageLayout = new QVBoxLayout(tsVersionInfo);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(GroupBox1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PageControl, 1);
    layout->addWidget(LumDlgButtonPanel);
    resize(443, 250);
    OnShow = [this](TForm*) { FormShow(); };
}

void TfAbout::SetInfoLines(const QStringList& lines) {
    vlAppInfo->clearContents();
    vlAppInfo->setRowCount(0);
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const int row = vlAppInfo->rowCount();
        vlAppInfo->insertRow(row);
        vlAppInfo->setItem(row, 0, new QTableWidgetItem(eq < 0 ? line : line.left(eq)));
        vlAppInfo->setItem(row, 1, new QTableWidgetItem(eq < 0 ? QString() : line.mid(eq + 1)));
    }
    vlAppInfo->resizeRowsToContents();
}

void TfAbout::SetOuterSize(int width, int height) {
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(width - frame.width(), height - frame.height());
}

void TfAbout::FormShow() {
    if (QWidget* main = TApplication::Instance() ? TApplication::Instance()->MainForm() : nullptr)
        move(main->frameGeometry().center() - rect().center());
    Label1->setText(TApplication::CurrentTitle());
    // The key column is 10 pixels wider than the widest key; the value column takes the rest.
    const QFontMetrics metrics(vlAppInfo->font());
    int widest = 0;
    for (int row = 0; row < vlAppInfo->rowCount(); ++row) {
        if (const QTableWidgetItem* key = vlAppInfo->item(row, 0))
            widest = qMax(widest, metrics.horizontalAdvance(key->text()));
    }
    if (widest > 0) {
        vlAppInfo->setColumnWidth(0, widest + 10);
        vlAppInfo->setColumnWidth(1, qMax(0, vlAppInfo->viewport()->width() - widest - 10));
    }
    pLink->setVisible(LinkRowVisible);
    const int valueLeft = vlAppInfo->columnWidth(0) + vlAppInfo->x();
    lLink->move(valueLeft, lLink->y());
    lMail->move(valueLeft, lMail->y());
    for (QLabel* l : {lLinkCaption, static_cast<QLabel*>(lLink), lMailCaption, static_cast<QLabel*>(lMail)})
        l->adjustSize();
}

bool TfAbout::vlAppInfoSelectCell(int, int) const {
    return false;
}

void TfAbout::lLinkClick() {
    TShell::Open(LinkTarget);
}

void TfAbout::lMailClick() {
    TShell::Open(QStringLiteral("mailto:") + MailTarget);
}
