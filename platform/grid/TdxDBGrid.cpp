#include "TdxDBGrid.h"

#include "TApplication.h"
#include "TDataSource.h"
#include "TdxColumnsCustomizeBox.h"
#include "TdxDBGridLink.h"
#include "TdxGridFooter.h"
#include "TdxGridHeader.h"
#include "TdxGridView.h"
#include "TdxGroupPanel.h"
#include "Variants.h"

#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

TdxDBGrid::TdxDBGrid(QWidget* parent, const QString& name)
    : TCustomdxTreeListControl(parent), m_link(std::make_unique<Link>(this)) {
    setObjectName(name);
    m_model = new TdxGridModel(this);
    m_groupPanel = new TdxGroupPanel(this, this);
    m_view = new TdxGridView(this);
    m_header = new TdxGridHeader(this, m_view);
    m_view->setHeader(m_header);
    m_view->setModel(m_model);
    m_footer = new TdxGridFooter(m_header, this);

    m_filterBar = new QWidget(this);
    m_filterBar->setAutoFillBackground(true);
    m_filterBar->setBackgroundRole(QPalette::AlternateBase);
    auto* filterLayout = new QHBoxLayout(m_filterBar);
    filterLayout->setContentsMargins(4, 2, 4, 2);
    auto* clear = new QToolButton(m_filterBar);
    clear->setObjectName("ClearFilter");
    clear->setText(QStringLiteral("\u00d7"));
    clear->setAutoRaise(true);
    clear->setToolTip(tr("Remove the filter"));
    m_filterLabel = new QLabel(m_filterBar);
    filterLayout->addWidget(clear);
    filterLayout->addWidget(m_filterLabel, 1);
    connect(clear, &QToolButton::clicked, this, [this] { SafeCall([this] { ClearFilters(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_groupPanel);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_filterBar);
    layout->addWidget(m_footer);
    m_groupPanel->hide();
    m_footer->hide();
    m_filterBar->hide();

    m_header->StateOf = [this](int logical) {
        TdxGridHeader::SectionState s;
        TdxDBGridColumn* c = Columns(logical);
        if (!c)
            return s;
        // Grouped columns are ordered by the group panel; the header ranks the others.
        QList<TdxDBGridColumn*> ranked = m_sortColumns;
        ranked.removeIf([](TdxDBGridColumn* x) { return x->GroupIndex() >= 0; });
        s.sortRank = int(ranked.indexOf(c)) + 1;
        s.descending = c->SortOrder() == csDown;
        s.filterable = m_filtering && !c->DisableFilter();
        s.filtered = m_model->Filters().contains(logical);
        return s;
    };
    m_header->OnSortClick = [this](int logical, bool add) {
        SafeCall([&] { SortByColumn(Columns(logical), add); });
    };
    m_header->OnFilterClick = [this](int logical, QPoint at) { DropDownFilter(Columns(logical), at); };
    m_header->OnColumnDropped = [this](int logical, int visual) {
        SafeCall([&] {
            TdxDBGridColumn* c = Columns(logical);
            if (c && c->GroupIndex() >= 0)
                UngroupColumn(c, visual);
            else if (c)
                ShowColumnAt(c, visual);
        });
    };
    m_groupPanel->OnColumnDropped = [this](int column, int position) {
        SafeCall([&] { GroupByColumn(Columns(column), position); });
    };
    m_groupPanel->OnItemClicked = [this](int column) {
        SafeCall([&] {
            TdxDBGridColumn* c = Columns(column);
            if (!c)
                return;
            c->m_sortOrder = c->SortOrder() == csDown ? csUp : csDown;
            if (!m_sortColumns.contains(c))
                m_sortColumns.append(c);
            rebuild();
        });
    };
    m_footer->TextOf = [this](int logical) { return SummaryText(Columns(logical)); };
    m_footer->IsNumber = [this](int logical) {
        TdxDBGridColumn* c = Columns(logical);
        return c && (c->SummaryFooterType() != cstNone && c->Kind() != ckText);
    };
    m_model->OnSetCell = [this](int row, int column, const QVariant& value) {
        return setCell(row, column, value);
    };
    m_view->OnKey = [this](QKeyEvent* e) { return keyPressed(e); };
    m_view->OnDoubleClick = [this] {
        if (OnDblClick)
            SafeCall([this] { OnDblClick(this); });
    };
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { currentRowChanged(current); });
    connect(m_header, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (m_applyingWidths || !Columns(logical))
            return;
        Columns(logical)->m_width = size;
        if (m_optionsView & edgoAutoWidth)
            QTimer::singleShot(0, this, [this] { applyWidths(); });
    });
    connect(m_view->horizontalScrollBar(), &QScrollBar::valueChanged, m_footer,
            [this] { m_footer->update(); });
    m_view->viewport()->installEventFilter(this);
    m_view->viewport()->setMouseTracking(true);
    m_header->viewport()->installEventFilter(this);
    applyOptions();
}

TdxDBGrid::~TdxDBGrid() {
    m_link->SetDataSource(nullptr);
    delete m_customizeBox;
}

TDataSource* TdxDBGrid::DataSource() const {
    return m_link->DataSource();
}

void TdxDBGrid::SetDataSource(TDataSource* source) {
    if (source == m_link->DataSource())
        return;
    const bool wasActive = m_link->Active();
    m_link->SetDataSource(source);
    // The link reports only a change of its active state; from one open data set to another, or
    // to a closed one from none, the grid rebinds itself.
    if (wasActive == m_link->Active())
        dataSetActiveChanged();
}

void TdxDBGrid::SetOptionsDB(TdxDBGridOptionsDB value) {
    const bool loadAllChanged = (value ^ m_optionsDB) & edgoLoadAllRecords;
    m_optionsDB = value;
    applyOptions();
    if (loadAllChanged)
        rebuild();
}

void TdxDBGrid::SetOptionsView(TdxDBGridOptionsView value) {
    m_optionsView = value;
    applyOptions();
}

void TdxDBGrid::SetShowGroupPanel(bool value) {
    m_showGroupPanel = value;
    m_groupPanel->setVisible(value);
}

bool TdxDBGrid::ShowGrid() const {
    return m_view->ShowGrid();
}

void TdxDBGrid::SetShowGrid(bool value) {
    m_view->SetShowGrid(value);
}

void TdxDBGrid::SetShowHeader(bool value) {
    m_showHeader = value;
    m_header->setVisible(value);
}

void TdxDBGrid::SetShowSummaryFooter(bool value) {
    m_showFooter = value;
    m_footer->setVisible(value);
}

void TdxDBGrid::SetFlat(bool value) {
    m_flat = value;
    m_view->setFrameShape(value ? QFrame::NoFrame : QFrame::StyledPanel);
}

void TdxDBGrid::SetFiltering(bool value) {
    m_filtering = value;
    if (!value && !m_model->Filters().isEmpty())
        ClearFilters();
    m_header->viewport()->update();
}

void TdxDBGrid::SetDefaultFields(bool value) {
    m_defaultFields = value;
    if (value && m_link->Active())
        CreateDefaultColumns();
}

void TdxDBGrid::ShowHintAt(QPoint globalPos) {
    QToolTip::showText(globalPos, m_hint, this);
}

void TdxDBGrid::applyOptions() {
    const bool rows = m_optionsView & edgoRowSelect;
    m_view->setSelectionBehavior(rows ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    m_view->setSelectionMode((m_optionsView & edgoMultiSelect) ? QAbstractItemView::ExtendedSelection
                                                               : QAbstractItemView::SingleSelection);
    const bool editing = editingAllowed();
    m_model->SetEditable(editing);
    QAbstractItemView::EditTriggers triggers = QAbstractItemView::NoEditTriggers;
    if (editing) {
        triggers = QAbstractItemView::EditKeyPressed | QAbstractItemView::DoubleClicked;
        if (m_optionsView & edgoImmediateEditor)
            triggers |= QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked;
    }
    m_view->setEditTriggers(triggers);
    m_view->setTabKeyNavigation(m_optionsView & edgoTabs);
    m_view->setHorizontalScrollBarPolicy((m_optionsView & edgoAutoWidth) ? Qt::ScrollBarAlwaysOff
                                                                         : Qt::ScrollBarAsNeeded);
    applyWidths();
    m_view->viewport()->update();
}

bool TdxDBGrid::editingAllowed() const {
    TDataSet* ds = m_link->DataSet();
    return !(m_optionsView & edgoRowSelect) && ds && ds->CanModify() && !m_link->ReadOnly();
}

int TdxDBGrid::columnIndex(const TdxDBGridColumn* column) const {
    for (int i = 0; i < ColumnCount(); ++i) {
        if (Columns(i) == column)
            return i;
    }
    return -1;
}

QString TdxDBGrid::captionOf(const TdxDBGridColumn* column) const {
    if (!column->Caption().isEmpty())
        return column->Caption();
    TDataSet* ds = m_link->DataSet();
    if (TField* f = ds ? ds->FindField(column->FieldName()) : nullptr)
        return f->DisplayLabel();
    return column->FieldName();
}

TdxDBGridColumn* TdxDBGrid::CreateColumn(const QString& fieldName, QObject* owner, const QString& name) {
    TdxColumnKind kind = ckText;
    TDataSet* ds = m_link->DataSet();
    if (TField* f = ds && ds->Active() ? ds->FindField(fieldName) : nullptr)
        kind = TdxDBGridColumn::KindForField(f->DataType());
    BeginUpdate();
    auto* column = new TdxDBGridColumn(this, kind, owner, name);
    column->m_fieldName = fieldName;
    if (kind == ckCurrency)
        column->m_displayFormat = QStringLiteral(",0.00");
    EndUpdate();
    return column;
}

void TdxDBGrid::CreateDefaultColumns() {
    BeginUpdate();
    DestroyColumns();
    m_sortColumns.clear();
    TDataSet* ds = m_link->DataSet();
    if (ds && ds->Active()) {
        const int charWidth = fontMetrics().averageCharWidth();
        for (TField* f : ds->Fields().Items()) {
            TdxDBGridColumn* c = CreateColumn(f->FieldName(), this, objectName() + f->FieldName());
            c->m_visible = f->Visible();
            c->m_width = qBound(40, qMin(f->DisplayWidth(), 40) * charWidth + 12, 320);
        }
    }
    EndUpdate();
}

void TdxDBGrid::EndUpdate() {
    if (m_lockColumnChanges > 0 && --m_lockColumnChanges > 0)
        return;
    if (!m_columnsPending)
        return;
    m_columnsPending = false;
    rebuildColumns();
    rebuild();
}

void TdxDBGrid::ColumnsListChanged() {
    m_sortColumns.removeIf([this](TdxDBGridColumn* c) { return columnIndex(c) < 0; });
    // Forget freed columns at once: a new column may be given the same address.
    for (TdxDBGridColumn*& c : m_headerColumns) {
        if (columnIndex(c) < 0)
            c = nullptr;
    }
    if (m_lockColumnChanges > 0) {
        m_columnsPending = true;
        return;
    }
    rebuildColumns();
    rebuild();
}

void TdxDBGrid::ColumnChanged(TdxDBGridColumn* column, bool structural) {
    if (column->SortOrder() == csNone)
        m_sortColumns.removeOne(column);
    else if (!m_sortColumns.contains(column))
        m_sortColumns.append(column);
    if (m_lockColumnChanges > 0) {
        m_columnsPending = true;
        return;
    }
    if (structural) {
        rebuildColumns();
        rebuild();
        return;
    }
    // Looks only: captions, widths, formats, visibility.
    QList<TdxGridModel::Column> columns = m_model->Columns();
    const int i = columnIndex(column);
    if (i >= 0 && i < columns.size()) {
        TdxGridModel::Column& mc = columns[i];
        if (mc.caption != captionOf(column) || mc.displayFormat != column->DisplayFormat() ||
            mc.images != column->Images()) {
            rebuildColumns();
            rebuild();
            return;
        }
    }
    applyHeader();
    updateFooter();
}

void TdxDBGrid::rebuildColumns() {
    TDataSet* ds = m_link->DataSet();
    const bool open = ds && ds->Active();
    QList<TdxGridModel::Column> columns;
    for (int i = 0; i < ColumnCount(); ++i) {
        TdxDBGridColumn* c = Columns(i);
        TdxGridModel::Column mc;
        TField* f = open ? ds->FindField(c->FieldName()) : nullptr;
        mc.field = f ? f->Index() : -1;
        mc.kind = c->Kind();
        mc.caption = captionOf(c);
        mc.displayFormat = c->DisplayFormat();
        mc.images = c->Images();
        mc.editable = !(f && f->ReadOnly());
        columns.append(mc);
    }
    // The header's order survives the reset (a data set refresh must not undo the user's moves);
    // columns new to the list go to the right.
    QList<TdxDBGridColumn*> order;
    for (int v = 0; v < m_header->count() && m_header->count() == m_headerColumns.size(); ++v) {
        TdxDBGridColumn* c = m_headerColumns[m_header->logicalIndex(v)];
        if (c && columnIndex(c) >= 0)
            order.append(c);
    }
    for (int i = 0; i < ColumnCount(); ++i) {
        if (!order.contains(Columns(i)))
            order.append(Columns(i));
    }
    const bool wasApplying = m_applyingWidths;
    m_applyingWidths = true;
    m_model->SetDataSet(ds);
    m_model->SetColumns(columns);
    m_headerColumns.clear();
    for (int i = 0; i < ColumnCount(); ++i)
        m_headerColumns.append(Columns(i));
    for (int v = 0; v < order.size() && v < m_header->count(); ++v) {
        const int from = m_header->visualIndex(columnIndex(order[v]));
        if (from != v)
            m_header->moveSection(from, v);
    }
    m_applyingWidths = wasApplying;
    applyHeader();
}

void TdxDBGrid::applyHeader() {
    for (int i = 0; i < ColumnCount() && i < m_header->count(); ++i) {
        TdxDBGridColumn* c = Columns(i);
        m_header->setSectionHidden(i, !c->Visible() || c->GroupIndex() >= 0);
        m_header->setSectionResizeMode(i, c->Sizing() ? QHeaderView::Interactive : QHeaderView::Fixed);
    }
    m_header->setMinimumSectionSize(4);
    applyWidths();
    m_header->viewport()->update();
    updateCustomizeBox();
}

void TdxDBGrid::applyWidths() {
    if (m_applyingWidths)
        return;
    m_applyingWidths = true;
    const QList<TdxDBGridColumn*> visible = VisibleColumns();
    if ((m_optionsView & edgoAutoWidth) && !visible.isEmpty()) {
        const int available = qMax(0, m_view->viewport()->width());
        int fixed = 0, flexTotal = 0;
        QList<TdxDBGridColumn*> flex;
        for (TdxDBGridColumn* c : visible) {
            if (c->Sizing()) {
                flex.append(c);
                flexTotal += qMax(1, c->Width());
            } else {
                fixed += c->Width();
            }
        }
        const int room = qMax(0, available - fixed);
        int used = 0;
        for (int k = 0; k < flex.size(); ++k) {
            TdxDBGridColumn* c = flex[k];
            int w = k + 1 < flex.size() ? int(qint64(room) * qMax(1, c->Width()) / qMax(1, flexTotal))
                                        : room - used;
            w = qMax(w, c->MinWidth());
            used += w;
            m_header->resizeSection(columnIndex(c), w);
        }
        for (TdxDBGridColumn* c : visible) {
            if (!c->Sizing())
                m_header->resizeSection(columnIndex(c), c->Width());
        }
    } else {
        for (int i = 0; i < ColumnCount() && i < m_header->count(); ++i)
            m_header->resizeSection(i, Columns(i)->Width());
    }
    m_applyingWidths = false;
    m_footer->update();
}

void TdxDBGrid::resizeEvent(QResizeEvent* event) {
    TCustomdxTreeListControl::resizeEvent(event);
    m_footer->SetOffset(m_view->viewport()->mapTo(this, QPoint(0, 0)).x());
}

bool TdxDBGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view->viewport() && event->type() == QEvent::Resize) {
        m_footer->SetOffset(m_view->viewport()->mapTo(this, QPoint(0, 0)).x());
        if (m_optionsView & edgoAutoWidth)
            applyWidths();
    }
    if (watched == m_header->viewport() && event->type() == QEvent::ToolTip) {
        // A header's hint is its field's display label, so a cut-off caption can be read.
        auto* help = static_cast<QHelpEvent*>(event);
        TdxDBGridColumn* c = Columns(m_header->logicalIndexAt(help->pos().x()));
        TDataSet* ds = m_link->DataSet();
        TField* f = c && ds ? ds->FindField(c->FieldName()) : nullptr;
        const QString text = !m_hint.isEmpty() ? m_hint : (f ? f->DisplayLabel() : QString());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, m_header);
        return true;
    }
    if (event->type() == QEvent::MouseMove && OnMouseMove &&
        (watched == m_view->viewport() || watched == m_header->viewport())) {
        auto* me = static_cast<QMouseEvent*>(event);
        const QPoint at = static_cast<QWidget*>(watched)->mapTo(this, me->position().toPoint());
        SafeCall([&] { OnMouseMove(this, me->modifiers(), at.x(), at.y()); });
    }
    return TCustomdxTreeListControl::eventFilter(watched, event);
}

TdxDBGridColumn* TdxDBGrid::HeaderColumnAt(QPoint gridPos) const {
    if (!m_header->isVisible())
        return nullptr;
    const QPoint at = m_header->mapFrom(this, gridPos);
    if (!m_header->rect().contains(at))
        return nullptr;
    return Columns(m_header->logicalIndexAt(at.x()));
}

int TdxDBGrid::TopNodeCount() const {
    return m_model->rowCount();
}

void TdxDBGrid::FullExpand() {
    m_view->expandAll();
}

void TdxDBGrid::FullCollapse() {
    m_view->collapseAll();
}

int TdxDBGrid::HeaderAreaHeight() const {
    if (!m_showHeader)
        return 0;
    // The group panel sits above the header, so the header area ends at the header's bottom.
    int top = m_showGroupPanel ? m_groupPanel->sizeHint().height() : 0;
    if (m_header->isVisible())
        top = m_header->mapTo(this, QPoint(0, 0)).y();
    return top + (m_header->height() > 0 && m_header->isVisible() ? m_header->height()
                                                                  : m_header->sizeHint().height());
}

bool TdxDBGrid::ColumnsCustomizing() const {
    return m_customizeBox && m_customizeBox->isVisible();
}

void TdxDBGrid::ColumnsCustomize() {
    if (!m_customizeBox) {
        m_customizeBox = new TdxColumnsCustomizeBox(this, this);
        m_customizeBox->OnColumnDropped = [this](int column) {
            SafeCall([&] {
                if (TdxDBGridColumn* c = Columns(column))
                    c->SetVisible(false);
            });
        };
    }
    updateCustomizeBox();
    m_customizeBox->SetRowCount(ColumnsCustomizingRowCount());
    m_customizeBox->move(ColumnsCustomizingPos());
    m_customizeBox->show();
    m_customizeBox->raise();
}

void TdxDBGrid::EndColumnsCustomizing() {
    if (m_customizeBox)
        m_customizeBox->hide();
}

void TdxDBGrid::updateCustomizeBox() {
    if (!m_customizeBox)
        return;
    QList<TdxColumnsCustomizeBox::Item> items;
    for (int i = 0; i < ColumnCount(); ++i) {
        if (!Columns(i)->Visible() && Columns(i)->GroupIndex() < 0)
            items.append({i, captionOf(Columns(i))});
    }
    m_customizeBox->SetItems(items);
}
