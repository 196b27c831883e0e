#include "ufChangePassword.h"

#include "Exception.h"
#include "TImageList.h"
#include "TStarPasswordStyle.h"
#include "uTLumDlgButtonPanel.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>

namespace {

const QString kCaption = QStringLiteral("Смена пароля");
const QString kOld = QStringLiteral("Текущий пароль");
const QString kNew = QStringLiteral("Новый пароль");
const QString kConfirm = QStringLiteral("Подтверждение");
const QString kMismatch = QStringLiteral("Новый пароль и подтверждение должны совпадать.");

// A padlock for the picture at the left.
void paintLock(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(90, 90, 100), 3));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(16, 6, 32, 36), 0, 180 * 16);
    p.drawLine(QPointF(16, 24), QPointF(16, 30));
    p.drawLine(QPointF(48, 24), QPointF(48, 30));
    p.setPen(QPen(QColor(120, 90, 10), 1.5));
    p.setBrush(QColor(230, 180, 60));
    p.drawRoundedRect(QRectF(10, 30, 44, 30), 4, 4);
    p.setBrush(QColor(80, 60, 10));
    p.drawEllipse(QPointF(32, 42), 4, 4);
    p.drawRect(QRectF(30.5, 44, 3, 9));
}

} // namespace

TfChangePassword::TfChangePassword(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("fChangePassword"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    setFont(font);

    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    Panel2 = named(new QFrame(this), "Panel2");
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image1 = named(new QLabel(Panel2), "Image1");
    Image1->setScaledContents(true);
    Image1->setPixmap(TImageList::Paint(64, 64, paintLock));
    auto* imageLayout = new QVBoxLayout(Panel2);
    imageLayout->setContentsMargins(2, 2, 2, 2);
    imageLayout->addWidget(Image1);
    Panel2->setFixedWidth(113);

    Label1 = named(new QLabel(kOld, this), "Label1");
    Label2 = named(new QLabel(kNew, this), "Label2");
    Label3 = named(new QLabel(kConfirm, this), "Label3");
    eOld = named(new QLineEdit(this), "eOld");
    eNew = named(new QLineEdit(this), "eNew");
    eNew2 = named(new QLineEdit(this), "eNew2");
    for (QLineEdit* e : {eOld, eNew, eNew2}) {
        TStarPasswordStyle::Apply(e);
        e->setMinimumWidth(177);
    }
    setTabOrder(eOld, eNew);
    setTabOrder(eNew, eNew2);

    LumDlgButtonPanel1 = named(new TLumDlgButtonPanel(this), "LumDlgButtonPanel1");
    LumDlgButtonPanel1->SetAlign(TLumDlgButtonPanel::alBottom);
    LumDlgButtonPanel1->setFixedHeight(35);
    LumDlgButtonPanel1->SetBtnAlign(TLumDlgButtonPanel::baRightBottom);
    LumDlgButtonPanel1->SetBtnGap(10);
    LumDlgButtonPanel1->SetBtnMargin(20);
    TButton* ok = LumDlgButtonPanel1->AddButton(QStringLiteral("OK"), mrOk)->Button();
    ok->SetDefault(true);
    TButton* cancel = LumDlgButtonPanel1->AddButton(QStringLiteral("Cancel"), mrCancel)->Button();
    cancel->SetCancel(true);

    // Labels from 128 and edits from 232 at the design font; the grid widens the form for more.
    auto* fields = new QGridLayout;
    fields->setContentsMargins(15, 8, 6, 8);
    fields->setHorizontalSpacing(8);
    fields->setColumnMinimumWidth(0, 96);
    QLabel* labels[] = {Label1, Label2, Label3};
    QLineEdit* edits[] = {eOld, eNew, eNew2};
    for (int i = 0; i < 3; ++i) {
        fields->addWidget(labels[i], i, 0);
        fields->addWidget(edits[i], i, 1);
    }
    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->addWidget(Panel2);
    body->addLayout(fields, 1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addLayout(body, 1);
    outer->addWidget(LumDlgButtonPanel1);
    resize(415, 141);

    connect(eNew, &QLineEdit::textChanged, this, [this] { eNewChange(); });
    connect(eNew2, &QLineEdit::textChanged, this, [this] { eNewChange(); });
    OnShow = [this](TForm*) { FormShow(); };
    OnCloseQuery = [this](TForm*, bool& canClose) { FormCloseQuery(canClose); };
    FormCreate();
}

void TfChangePassword::FormCreate() {
    SetCaption(kCaption);
    Label1->setText(kOld);
    Label2->setText(kNew);
    Label3->setText(kConfirm);
    LumDlgButtonPanel1->Button(0)->SetCaption(QStringLiteral("OK"));
    LumDlgButtonPanel1->Button(1)->SetCaption(QStringLiteral("Cancel"));
}

void TfChangePassword::FormShow() {
    if (!parentWidget()) {
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    LumDlgButtonPanel1->Button(0)->setEnabled(false);
}

void TfChangePassword::eNewChange() {
    LumDlgButtonPanel1->Button(0)->setEnabled(!eNew->text().isEmpty() && !eNew2->text().isEmpty());
}

void TfChangePassword::FormCloseQuery(bool&) {
    if (ModalResult() == mrOk && eNew->text() != eNew2->text())
        throw Exception(kMismatch);
}
