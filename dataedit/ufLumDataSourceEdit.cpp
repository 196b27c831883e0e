#include "ufLumDataSourceEdit.h"

#include "TDataSource.h"
#include "TImageList.h"
#include "TdxDBGrid.h"
#include "TdxGridHeader.h"
#include "uLumDBActions.h"
#include "uLumdxActions.h"

#include <QApplication>
#include <QCursor>
#include <QPainter>
#include <QPainterPath>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The tool bar's twelve pictures: insert, edit, delete, first, prior, next, last, refresh, group
// panel, automatic width, column customisation, expand/collapse.
void addImages(TImageList* images) {
    const QColor ink(40, 70, 140);
    auto arrow = [ink](bool left, bool bar) {
        return [ink, left, bar](QPainter& p, const QRectF& r) {
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            const double cx = r.center().x();
            QPolygonF t;
            if (left)
                t << QPointF(cx - 4, r.center().y()) << QPointF(cx + 3, r.top() + 3)
                  << QPointF(cx + 3, r.bottom() - 3);
            else
                t << QPointF(cx + 4, r.center().y()) << QPointF(cx - 3, r.top() + 3)
                  << QPointF(cx - 3, r.bottom() - 3);
            p.drawPolygon(t);
            if (bar)
                p.drawRect(QRectF(left ? cx - 6 : cx + 4, r.top() + 3, 2, r.height() - 6));
        };
    };
    images->Add([](QPainter& p, const QRectF& r) { // insert
        p.setPen(QPen(QColor(30, 130, 40), 2.5));
        p.drawLine(QPointF(r.center().x(), r.top() + 2), QPointF(r.center().x(), r.bottom() - 2));
        p.drawLine(QPointF(r.left() + 2, r.center().y()), QPointF(r.right() - 2, r.center().y()));
    });
    images->Add([ink](QPainter& p, const QRectF& r) { // edit
        p.setPen(QPen(ink, 2.5));
        p.drawLine(QPointF(r.left() + 3, r.bottom() - 3), QPointF(r.right() - 3, r.top() + 3));
    });
    images->Add([](QPainter& p, const QRectF& r) { // delete
        p.setPen(QPen(QColor(190, 30, 30), 2.5));
        p.drawLine(QPointF(r.left() + 3, r.top() + 3), QPointF(r.right() - 3, r.bottom() - 3));
        p.drawLine(QPointF(r.left() + 3, r.bottom() - 3), QPointF(r.right() - 3, r.top() + 3));
    });
    images->Add(arrow(true, true));
    images->Add(arrow(true, false));
    images->Add(arrow(false, false));
    images->Add(arrow(false, true));
    images->Add([ink](QPainter& p, const QRectF& r) { // refresh
        p.setPen(QPen(ink, 2));
        p.drawArc(r.adjusted(3, 3, -3, -3), 30 * 16, 300 * 16);
    });
    images->Add([ink](QPainter& p, const QRectF& r) { // group panel
        p.setPen(QPen(ink, 1));
        p.drawRect(r.adjusted(2, 3, -2, -9));
        p.drawRect(r.adjusted(2, 9, -2, -2));
    });
    images->Add([ink](QPainter& p, const QRectF& r) { // automatic width
        p.setPen(QPen(ink, 1.5));
        p.drawLine(QPointF(r.left() + 2, r.center().y()), QPointF(r.right() - 2, r.center().y()));
        p.drawLine(QPointF(r.left() + 2, r.top() + 4), QPointF(r.left() + 2, r.bottom() - 4));
        p.drawLine(QPointF(r.right() - 2, r.top() + 4), QPointF(r.right() - 2, r.bottom() - 4));
    });
    images->Add([ink](QPainter& p, const QRectF& r) { // column customisation
        p.setPen(QPen(ink, 1));
        for (int i = 0; i < 3; ++i)
            p.drawRect(QRectF(r.left() + 2 + i * 4.5, r.top() + 3, 3.5, r.height() - 6));
    });
    images->Add([ink](QPainter& p, const QRectF& r) { // expand/collapse
        p.setPen(QPen(ink, 1));
        p.drawRect(r.adjusted(3, 3, -3, -3));
        p.drawLine(QPointF(r.left() + 5, r.center().y()), QPointF(r.right() - 5, r.center().y()));
        p.drawLine(QPointF(r.center().x(), r.top() + 5), QPointF(r.center().x(), r.bottom() - 5));
    });
}

} // namespace

TfLumDataSourceEdit::TfLumDataSourceEdit() {
    setObjectName(QStringLiteral("fLumDataSourceEdit"));
    SetCaption(QStringLiteral("Редактировать"));
    resize(600, 400);

    ImageList = new TImageList(16, 16, this);
    ImageList->setObjectName(QStringLiteral("ImageList"));
    addImages(ImageList);

    dxDBGrid = new TdxDBGrid(this, QStringLiteral("dxDBGrid"));
    dxDBGrid->SetFlat(true);
    dxDBGrid->SetFiltering(true);
    dxDBGrid->SetOptionsView(TdxDBGrid::edgoAutoWidth | TdxDBGrid::edgoRowSelect |
                             TdxDBGrid::edgoEnterShowEditor | TdxDBGrid::edgoImmediateEditor |
                             TdxDBGrid::edgoTabs);
    dxDBGrid->SetOptionsDB(TdxDBGrid::edgoCanNavigation);
    dxDBGrid->OnDblClick = [this](QObject*) { dxDBGridDblClick(); };
    dxDBGrid->OnMouseMove = [this](QObject*, Qt::KeyboardModifiers, int x, int y) {
        dxDBGridMouseMove(x, y);
    };

    auto gridAction = [this](TAction* a, const char* caption, const char* hint, int image) {
        a->SetCaption(QString::fromUtf8(caption));
        a->SetHint(QString::fromUtf8(hint));
        a->SetImages(ImageList);
        a->SetImageIndex(image);
    };
    LumDatasetInsert1 = new TLumDatasetInsert(this, QStringLiteral("LumDatasetInsert1"));
    gridAction(LumDatasetInsert1, "Добавить запись", "Добавить запись", 0);
    LumDatasetInsert1->SetAutoHeight(true);
    LumDatasetInsert1->SetDialogCaption(QStringLiteral("Добавить запись"));
    LumDatasetInsert1->SetVisibleButtons(TLumDatasetAction::TButtons(TLumDBEditDialog::dbeOk) |
                                         TLumDBEditDialog::dbeCancel);
    LumDatasetEdit1 = new TLumDatasetEdit(this, QStringLiteral("LumDatasetEdit1"));
    gridAction(LumDatasetEdit1, "Редактировать запись", "Редактировать запись", 1);
    LumDatasetEdit1->SetAutoHeight(true);
    LumDatasetEdit1->SetDialogCaption(QStringLiteral("Редактировать запись"));
    LumDatasetEdit1->SetVisibleButtons(TLumDatasetAction::TButtons(TLumDBEditDialog::dbeOk) |
                                       TLumDBEditDialog::dbeCancel);
    LumDatasetDelete1 = new TLumDatasetDelete(this, QStringLiteral("LumDatasetDelete1"));
    gridAction(LumDatasetDelete1, "Удалить запись", "Удалить запись", 2);
    LumDatasetDelete1->SetWarningString(QStringLiteral("Вы действительно хотите удалить запись?"));
    LumDatasetFirst1 = new TLumDatasetFirst(this, QStringLiteral("LumDatasetFirst1"));
    gridAction(LumDatasetFirst1, "На первую", "На первую запись", 3);
    LumDatasetPrior1 = new TLumDatasetPrior(this, QStringLiteral("LumDatasetPrior1"));
    gridAction(LumDatasetPrior1, "На предыдущую", "На предыдущую", 4);
    LumDataSetNext1 = new TLumDataSetNext(this, QStringLiteral("LumDataSetNext1"));
    gridAction(LumDataSetNext1, "На следующую", "На следующую запись", 5);
    LumDatasetLast1 = new TLumDatasetLast(this, QStringLiteral("LumDatasetLast1"));
    gridAction(LumDatasetLast1, "На последнюю", "На последнюю запись", 6);
    LumDatasetRefresh1 = new TLumDatasetRefresh(this, QStringLiteral("LumDatasetRefresh1"));
    gridAction(LumDatasetRefresh1, "Обновить", "Обновить обновить записи", 7);

    aGridGroupPanel = new TLumdxGridShowGroupPanel(this, QStringLiteral("aGridGroupPanel"));
    gridAction(aGridGroupPanel, "Панель группировки", "Показать панель группировки", 8);
    aGridGroupPanel->SetdxDBGrid(dxDBGrid);
    aGridAutoColWidth = new TLumdxGridAutoColWidth(this, QStringLiteral("aGridAutoColWidth"));
    gridAction(aGridAutoColWidth, "Автоподбор ширины", "Автоподбор ширины колонок", 9);
    aGridAutoColWidth->SetdxDBGrid(dxDBGrid);
    aGridAutoColWidth->SetChecked(true);
    aGridColCustomize = new TLumdxGridColCustomize(this, QStringLiteral("aGridColCustomize"));
    gridAction(aGridColCustomize, "Настройка колонок", "Показать диалог настройки колонок", 10);
    aGridColCustomize->SetdxDBGrid(dxDBGrid);
    aGridFullExpand = new TLumdxFullExpand(this, QStringLiteral("aGridFullExpand"));
    gridAction(aGridFullExpand, "Развернуть/свернуть дерево", "Развернуть/свернуть дерево", 11);
    aGridFullExpand->SetdxControl(dxDBGrid);

    ActionToolBar1 = new QToolBar(this);
    ActionToolBar1->setObjectName(QStringLiteral("ActionToolBar1"));
    ActionToolBar1->setIconSize(QSize(16, 16));
    ActionToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(LumDatasetInsert1);
    ActionToolBar1->addAction(LumDatasetEdit1);
    ActionToolBar1->addAction(LumDatasetDelete1);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(LumDatasetFirst1);
    ActionToolBar1->addAction(LumDatasetPrior1);
    ActionToolBar1->addAction(LumDataSetNext1);
    ActionToolBar1->addAction(LumDatasetLast1);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(LumDatasetRefresh1);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(aGridGroupPanel);
    ActionToolBar1->addAction(aGridAutoColWidth);
    ActionToolBar1->addAction(aGridColCustomize);
    ActionToolBar1->addAction(aGridFullExpand);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ActionToolBar1);
    layout->addWidget(dxDBGrid, 1);
    FormCreate();
}

void TfLumDataSourceEdit::FormCreate() {
    // The grid fills the client area below the tool bar (the layout's stretch).
    dxDBGrid->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TfLumDataSourceEdit::ApplyKeyField(const QString& name) {
    m_keyField = name;
    dxDBGrid->SetKeyField(name);
    BuildColumns();
}

void TfLumDataSourceEdit::ApplyDataSource(TDataSource* source) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        dxDBGrid->SetDataSource(source);
        for (TLumDatasetAction* a : datasetActions())
            a->SetDataSource(source);
        BuildColumns();
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
}

void TfLumDataSourceEdit::BuildColumns() {
    if (dxDBGrid->DataSource() == nullptr)
        return;
    dxDBGrid->BeginUpdate();
    try {
        dxDBGrid->SetShowSummaryFooter(!m_keyField.isEmpty());
        if (!m_keyField.isEmpty()) {
            dxDBGrid->SetOptionsDB(dxDBGrid->OptionsDB() | TdxDBGrid::edgoLoadAllRecords);
            dxDBGrid->SetDefaultFields(false);
            destroyOwnColumns();
            if (TDataSet* data = dxDBGrid->DataSource()->DataSet()) {
                for (TField* f : data->Fields().Items()) {
                    TdxDBGridColumn* c = dxDBGrid->CreateColumn(f->FieldName(), this);
                    c->SetVisible(f->Visible());
                }
            }
        } else {
            dxDBGrid->SetOptionsDB(dxDBGrid->OptionsDB() &
                                   ~TdxDBGrid::TdxDBGridOptionsDB(TdxDBGrid::edgoLoadAllRecords));
            destroyOwnColumns();
            dxDBGrid->SetDefaultFields(true);
        }
        for (int i = 0; i < dxDBGrid->ColumnCount(); ++i) {
            TdxDBGridColumn* c = dxDBGrid->Columns(i);
            if (c->Kind() != ckCurrency)
                continue;
            c->SetDisplayFormat(QStringLiteral(",0.00"));
            c->SetSummaryFooterType(cstSum);
            c->SetSummaryFooterFormat(QStringLiteral(",0.00"));
        }
    } catch (...) {
        dxDBGrid->EndUpdate();
        throw;
    }
    dxDBGrid->EndUpdate();
    dxDBGrid->RegroupColumns();
}

void TfLumDataSourceEdit::destroyOwnColumns() {
    // The grid lets go of every column; the ones made here for a key field are freed here.
    dxDBGrid->DestroyColumns();
    for (QObject* old : findChildren<TdxDBGridColumn*>(QString(), Qt::FindDirectChildrenOnly))
        delete old;
}

QList<TLumDatasetAction*> TfLumDataSourceEdit::datasetActions() const {
    return {LumDatasetInsert1, LumDatasetEdit1, LumDatasetDelete1, LumDatasetFirst1,
            LumDatasetPrior1,  LumDataSetNext1, LumDatasetLast1,   LumDatasetRefresh1};
}

void TfLumDataSourceEdit::dxDBGridDblClick() {
    // Execute runs the action also while it is disabled (a read-only record is shown).
    if (dxDBGrid->TopNodeCount() > 0)
        LumDatasetEdit1->Execute();
}

void TfLumDataSourceEdit::ModuleActivated() {
    dxDBGrid->setFocus();
}

void TfLumDataSourceEdit::dxDBGridMouseMove(int x, int y) {
    TdxDBGridColumn* column = dxDBGrid->HeaderColumnAt(QPoint(x, y));
    if (column == nullptr || column->FieldName().isEmpty())
        return;
    TDataSet* data = dxDBGrid->DataSource() != nullptr ? dxDBGrid->DataSource()->DataSet() : nullptr;
    TField* field = data != nullptr ? data->FindField(column->FieldName()) : nullptr;
    if (field == nullptr || dxDBGrid->Hint() == field->DisplayLabel())
        return;
    dxDBGrid->SetHint(field->DisplayLabel());
    dxDBGrid->ShowHintAt(dxDBGrid->mapToGlobal(QPoint(x, y)));
}
