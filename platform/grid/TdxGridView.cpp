#include "TdxGridView.h"

#include "TdxGridModel.h"

#include <QAbstractItemDelegate>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOption>

TdxGridView::TdxGridView(QWidget* parent) : QTreeView(parent) {
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setAlternatingRowColors(false);
    setExpandsOnDoubleClick(true);
    setItemsExpandable(true);
    setIndentation(16);
    setRootIsDecorated(false);
    setTabKeyNavigation(true);
}

void TdxGridView::SetShowGrid(bool value) {
    m_showGrid = value;
    viewport()->update();
}

void TdxGridView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    if (!index.data(TdxGridModel::GroupRole).toBool()) {
        QTreeView::drawRow(painter, option, index);
        drawGridLines(painter, option.rect);
        return;
    }
    // A group node: a band across the row with the expand sign, the column, the value and the count.
    painter->save();
    const QRect r = option.rect;
    const int level = index.data(TdxGridModel::GroupLevelRole).toInt();
    const bool selected = selectionModel() && selectionModel()->isSelected(index);
    const bool current = currentIndex().isValid() && currentIndex().row() == index.row() &&
                         currentIndex().parent() == index.parent();
    QColor band = palette().color(QPalette::Window);
    band = band.darker(103 + 3 * level);
    painter->fillRect(r, selected ? palette().color(QPalette::Highlight) : band);
    const int x0 = r.left() + indentation() * level;
    const QRect sign(x0 + 4, r.center().y() - 5, 10, 10);
    painter->setPen(palette().color(QPalette::Dark));
    painter->setBrush(palette().color(QPalette::Base));
    painter->drawRect(sign.adjusted(0, 0, -1, -1));
    painter->setPen(palette().color(QPalette::Text));
    painter->drawLine(sign.left() + 2, sign.center().y(), sign.right() - 2, sign.center().y());
    if (!isExpanded(index))
        painter->drawLine(sign.center().x(), sign.top() + 2, sign.center().x(), sign.bottom() - 2);
    const QAbstractItemModel* m = index.model();
    const int column = index.data(TdxGridModel::GroupColumnRole).toInt();
    const QString caption = m->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    const QString value = index.data(TdxGridModel::GroupValueRole).toString();
    const QString count = QStringLiteral(" (%1)").arg(index.data(TdxGridModel::GroupCountRole).toInt());
    QRect text = r.adjusted(x0 - r.left() + 20, 0, -4, 0);
    painter->setPen(selected ? palette().color(QPalette::HighlightedText) : palette().color(QPalette::Text));
    const QString lead = caption + QStringLiteral(" : ");
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, lead);
    text.setLeft(text.left() + fontMetrics().horizontalAdvance(lead));
    QFont bold = font();
    bold.setBold(true);
    painter->setFont(bold);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, value);
    text.setLeft(text.left() + QFontMetrics(bold).horizontalAdvance(value));
    painter->setFont(font());
    painter->setPen(selected ? palette().color(QPalette::HighlightedText)
                             : palette().color(QPalette::PlaceholderText));
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, count);
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    if (current && hasFocus()) {
        painter->setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(r.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

void TdxGridView::drawGridLines(QPainter* painter, const QRect& r) const {
    if (!m_showGrid)
        return;
    painter->save();
    painter->setPen(palette().color(QPalette::Midlight).darker(108));
    painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    for (int v = 0; v < header()->count(); ++v) {
        const int logical = header()->logicalIndex(v);
        if (header()->isSectionHidden(logical))
            continue;
        const int x = header()->sectionViewportPosition(logical) + header()->sectionSize(logical) - 1;
        painter->drawLine(x, r.top(), x, r.bottom());
    }
    painter->restore();
}

// In a flat list the tree's own handling has no laid-out rows to work on; the item view's is used.
void TdxGridView::keyPressEvent(QKeyEvent* event) {
    if (OnKey && OnKey(event))
        return;
    if (m_flat)
        QAbstractItemView::keyPressEvent(event);
    else
        QTreeView::keyPressEvent(event);
}

void TdxGridView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (m_flat)
        QAbstractItemView::mouseDoubleClickEvent(event);
    else
        QTreeView::mouseDoubleClickEvent(event);
    if (OnDoubleClick)
        OnDoubleClick();
}

void TdxGridView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_flat)
        QAbstractItemView::mouseReleaseEvent(event);
    else
        QTreeView::mouseReleaseEvent(event);
}

void TdxGridView::mouseMoveEvent(QMouseEvent* event) {
    if (m_flat)
        QAbstractItemView::mouseMoveEvent(event);
    else
        QTreeView::mouseMoveEvent(event);
}

bool TdxGridView::viewportEvent(QEvent* event) {
    return m_flat ? QAbstractItemView::viewportEvent(event) : QTreeView::viewportEvent(event);
}

void TdxGridView::mousePressEvent(QMouseEvent* event) {
    if (m_flat) {
        QAbstractItemView::mousePressEvent(event);
        return;
    }
    // The sign of a group band opens and closes the group.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.data(TdxGridModel::GroupRole).toBool()) {
        const int x0 = indentation() * index.data(TdxGridModel::GroupLevelRole).toInt();
        if (event->position().x() < x0 + 18) {
            setExpanded(index.siblingAtColumn(0), !isExpanded(index.siblingAtColumn(0)));
            return;
        }
    }
    QTreeView::mousePressEvent(event);
}

void TdxGridView::SelectOnly(const QModelIndex& index) {
    m_selectingOnly = true;
    setCurrentIndex(index);
    m_selectingOnly = false;
}

QItemSelectionModel::SelectionFlags TdxGridView::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
    // Whatever keys are held (Shift for a capital letter), the row found is selected alone.
    if (m_selectingOnly)
        return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    return QTreeView::selectionCommand(index, event);
}

void TdxGridView::paintEvent(QPaintEvent* event) {
    if (!m_flat) {
        QTreeView::paintEvent(event);
        return;
    }
    // Each row once over the whole area to paint (a row drawn twice would thicken its text); the
    // painter is clipped to the region.
    QPainter painter(viewport());
    paintFlat(&painter, event->region().boundingRect());
}

void TdxGridView::paintFlat(QPainter* painter, const QRect& area) const {
    const int rows = flatRowCount();
    const int h = flatRowHeight();
    if (rows == 0 || h <= 0 || header()->count() == 0 || !itemDelegate())
        return;
    const QPoint cursor = viewport()->mapFromGlobal(QCursor::pos());
    const QModelIndex hover = viewport()->underMouse() ? indexAt(cursor) : QModelIndex();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State state = option.state;
    int row = flatRowAt(qMax(0, area.top()));
    if (row < 0)
        return;
    for (int y = flatRowY(row); row < rows && y <= area.bottom(); ++row, y += h) {
        option.rect = QRect(0, y, viewport()->width(), h);
        option.state = state | (row + 1 < rows ? QStyle::State_Sibling : QStyle::State_None);
        drawFlatRow(painter, option, row, hover);
    }
}

void TdxGridView::drawFlatRow(QPainter* painter, const QStyleOptionViewItem& option, int row,
                              const QModelIndex& hover) const {
    // A row drawn as the tree draws a top-level row without children: each shown column's panel
    // and cell, then the focus frame round the whole row.
    const QHeaderView* h = header();
    const QModelIndex index = model()->index(row, 0, rootIndex());
    const QModelIndex current = currentIndex();
    const bool focus = hasFocus();
    const bool rowsSelected = selectionBehavior() == SelectRows;
    const bool hoverRow = rowsSelected && hover.isValid() && hover.row() == row;
    const int y = option.rect.y(), height = option.rect.height();
    const int treeColumn = treePosition() < 0 ? h->logicalIndex(0) : treePosition();
    const int indent = rootIsDecorated() ? indentation() : 0;
    QStyleOptionViewItem opt = option;
    opt.showDecorationSelected = (selectionBehavior() & SelectRows) || option.showDecorationSelected;
    QList<int> shown;
    for (int v = 0; v < h->count(); ++v) {
        if (!h->isSectionHidden(h->logicalIndex(v)))
            shown.append(h->logicalIndex(v));
    }
    bool rowHasFocus = false;
    for (int k = 0; k < shown.size(); ++k) {
        const int section = shown[k];
        const int next = k + 1 < shown.size() ? shown[k + 1] : -1;
        const int previous = k > 0 ? shown[k - 1] : -1;
        QStyleOptionViewItem::ViewItemPosition position;
        if (h->count() == 1 || (next == 0 && previous == -1) || (section == 0 && next == -1))
            position = QStyleOptionViewItem::OnlyOne;
        else if (section == treeColumn || (next != 0 && previous == -1))
            position = QStyleOptionViewItem::Beginning;
        else if (next == 0 || next == -1)
            position = QStyleOptionViewItem::End;
        else
            position = QStyleOptionViewItem::Middle;
        const QModelIndex cell = model()->index(row, section, rootIndex());
        if (!cell.isValid())
            continue;
        const int x = columnViewportPosition(section);
        const int width = h->sectionSize(section);
        opt.state = option.state;
        opt.viewItemPosition = position;
        if (selectionModel()->isSelected(cell))
            opt.state |= QStyle::State_Selected;
        if (focus && current == cell) {
            if (allColumnsShowFocus())
                rowHasFocus = true;
            else
                opt.state |= QStyle::State_HasFocus;
        }
        opt.state.setFlag(QStyle::State_MouseOver, hoverRow || cell == hover);
        if (option.state & QStyle::State_Enabled) {
            QPalette::ColorGroup group = QPalette::Inactive;
            if (!(model()->flags(cell) & Qt::ItemIsEnabled)) {
                opt.state &= ~QStyle::State_Enabled;
                group = QPalette::Disabled;
            } else if (opt.state & QStyle::State_Active) {
                group = QPalette::Active;
            }
            opt.palette.setCurrentColorGroup(group);
        }
        opt.features.setFlag(QStyleOptionViewItem::Alternate, alternatingRowColors() && (row & 1));
        const QStyle::State before = opt.state;
        if (section == treeColumn) {
            const bool showSelected = opt.showDecorationSelected;
            opt.rect = QRect(isRightToLeft() ? x + width - indent : x, y, indent, height);
            opt.showDecorationSelected = style()->styleHint(QStyle::SH_ItemView_ShowDecorationSelected, &opt, this);
            style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &opt, painter, this);
            opt.state &= ~QStyle::State_Selected;
            opt.rect = QRect(isRightToLeft() ? x : x + indent, y, width - indent, height);
            style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &opt, painter, this);
            opt.showDecorationSelected = showSelected;
        } else {
            opt.state &= ~QStyle::State_Selected;
            opt.rect = QRect(x, y, width, height);
            style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &opt, painter, this);
        }
        opt.state = before;
        itemDelegateForIndex(cell)->paint(painter, opt, cell);
    }
    if (rowHasFocus) {
        QStyleOptionFocusRect o;
        o.QStyleOption::operator=(option);
        o.state |= QStyle::State_KeyboardFocusChange;
        const QPalette::ColorGroup group = (option.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
        o.backgroundColor = option.palette.color(
            group, selectionModel()->isSelected(index) ? QPalette::Highlight : QPalette::Window);
        const int x = option.showDecorationSelected ? 0 : h->sectionPosition(0) + indent;
        o.rect = style()->visualRect(layoutDirection(), viewport()->rect(),
                                     QRect(x - h->offset(), y, h->length() - x, height));
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, painter);
        if (!option.showDecorationSelected && h->sectionsMoved() && h->visualIndex(0) != 0) {
            o.rect = style()->visualRect(layoutDirection(), viewport()->rect(),
                                         QRect(0, y, h->sectionPosition(0), height));
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, painter);
        }
    }
    drawGridLines(painter, option.rect);
}
