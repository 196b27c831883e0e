#include "TdxGridView.h"

#include "TdxGridModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>

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
        if (m_showGrid) {
            painter->save();
            painter->setPen(palette().color(QPalette::Midlight).darker(108));
            const QRect r = option.rect;
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

void TdxGridView::keyPressEvent(QKeyEvent* event) {
    if (OnKey && OnKey(event))
        return;
    QTreeView::keyPressEvent(event);
}

void TdxGridView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (OnDoubleClick)
        OnDoubleClick();
}

void TdxGridView::mousePressEvent(QMouseEvent* event) {
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
