#include "ufLumProfiles.h"

#include "TAction.h"
#include "TApplication.h"
#include "TImageList.h"
#include "uTLumProfiles.h"
#include "uTLumTranslator.h"

#include <QListWidget>
#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

void paintNew(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(90, 90, 90), 0.8));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 1.5, 9, 12));
    p.setPen(QPen(QColor(30, 140, 40), 2.2));
    p.drawLine(QPointF(11.5, 8), QPointF(11.5, 15));
    p.drawLine(QPointF(8, 11.5), QPointF(15, 11.5));
}

void paintDelete(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(200, 40, 30), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
}

} // namespace

TfLumProfiles::TfLumProfiles(TLumProfiles* profiles, QWidget* parent) : TForm(parent), m_profiles(profiles) {
    setObjectName(QStringLiteral("fLumProfiles"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    SetCaption(QStringLiteral("Profiles"));

    ImageList = new TImageList(16, 16, this);
    ImageList->setObjectName(QStringLiteral("ImageList"));
    ImageList->Add(paintNew);
    ImageList->Add(paintDelete);

    aNew = new TAction(this, QStringLiteral("aNew"));
    aNew->SetHint(QStringLiteral("Create new profile"));
    aNew->SetImages(ImageList);
    aNew->SetImageIndex(0);
    aNew->OnExecute = [this](TAction*) { aNewExecute(); };
    aDelete = new TAction(this, QStringLiteral("aDelete"));
    aDelete->SetHint(QStringLiteral("Delete profile"));
    aDelete->SetImages(ImageList);
    aDelete->SetImageIndex(1);
    aDelete->OnExecute = [this](TAction*) { aDeleteExecute(); };

    ActionToolBar1 = new QToolBar(this);
    ActionToolBar1->setObjectName(QStringLiteral("ActionToolBar1"));
    ActionToolBar1->setIconSize(QSize(16, 16));
    ActionToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ActionToolBar1->addAction(aNew);
    ActionToolBar1->addAction(aDelete);

    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox->setUniformItemSizes(true);
    connect(ListBox, &QListWidget::itemDoubleClicked, this,
            [this] { SafeCall([this] { ListBoxDblClick(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ActionToolBar1);
    layout->addWidget(ListBox, 1);

    Translator = new TLumTranslator(this, QStringLiteral("Translator"));
    Translator->AddLanguage(QStringLiteral("English"));
    Translator->AddLanguage(QStringLiteral("Russian"));
    Translator->AddKey(QStringLiteral("aDelete.Hint"),
                       {QStringLiteral("Delete profile"), QStringLiteral("Удалить профиль")});
    Translator->AddKey(QStringLiteral("aNew.Hint"),
                       {QStringLiteral("Create new profile"), QStringLiteral("Создать профиль")});
    Translator->AddKey(QStringLiteral("TfLumProfiles.Caption"),
                       {QStringLiteral("Profiles"), QStringLiteral("Профили")});
}

void TfLumProfiles::SetLanguage(const QString& name) {
    for (int i = 0; i < Translator->Languages()->Count(); ++i) {
        if (Translator->Languages()->Items(i)->Language() == name) {
            Translator->SelectLanguage(name);
            Translator->Apply();
            return;
        }
    }
}

QString TfLumProfiles::SelectedName() const {
    const QList<QListWidgetItem*> selected = ListBox->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

int TfLumProfiles::ItemHeight() const {
    if (ListBox->count() > 0)
        return ListBox->sizeHintForRow(0);
    // An empty list measures a row of its own.
    ListBox->addItem(QStringLiteral("Wg"));
    const int height = ListBox->sizeHintForRow(0);
    delete ListBox->takeItem(0);
    return height;
}

void TfLumProfiles::aNewExecute() {
    m_profiles->NewProfile();
}

void TfLumProfiles::aDeleteExecute() {
    QListWidgetItem* item = ListBox->currentItem();
    if (!item || !item->isSelected())
        return;
    m_profiles->DeleteProfile(item->text());
    delete ListBox->takeItem(ListBox->row(item));
}

void TfLumProfiles::aLoadExecute() {
    const QString name = SelectedName();
    if (name.isEmpty())
        return;
    m_profiles->LoadProfile(name);
    SetModalResult(mrOk);
}

void TfLumProfiles::ListBoxDblClick() {
    aLoadExecute();
}
