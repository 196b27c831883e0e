// The grid's rows while nothing is grouped: a table worked out from the row number and one row
// height. The tree lays out an item for every shown row; over a million rows that is most of the
// memory the grid would hold and most of the time to its first paint, so a flat list keeps none.
#include "TdxGridView.h"

#include <QAbstractItemDelegate>
#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace {

int floorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

void TdxGridView::updateFlat() {
    const QAbstractItemModel* m = model();
    m_flat = !m || m->rowCount(rootIndex()) == 0 || !m->hasChildren(m->index(0, 0, rootIndex()));
    m_rowHeight = 0;
}

void TdxGridView::reset() {
    updateFlat();
    QTreeView::reset();
}

void TdxGridView::rowsInserted(const QModelIndex& parent, int start, int end) {
    if (!parent.isValid() && model()->rowCount(rootIndex()) == end - start + 1)
        updateFlat(); // the first rows decide how the list is laid out
    QTreeView::rowsInserted(parent, start, end);
}

void TdxGridView::doItemsLayout() {
    if (!m_flat) {
        QTreeView::doItemsLayout();
        return;
    }
    m_rowHeight = 0;
    QAbstractItemView::doItemsLayout();
    header()->doItemsLayout();
}

void TdxGridView::expandAll() {
    if (!m_flat)
        QTreeView::expandAll();
}

int TdxGridView::flatRowCount() const {
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int TdxGridView::flatRowHeight() const {
    // As the tree measures uniform rows: the first row's height.
    if (m_rowHeight <= 0 && flatRowCount() > 0)
        m_rowHeight = indexRowSizeHint(model()->index(0, 0, rootIndex()));
    return m_rowHeight;
}

int TdxGridView::flatRowY(int row) const {
    const int h = flatRowHeight();
    const int value = verticalScrollBar()->value();
    const qint64 y = verticalScrollMode() == ScrollPerItem ? qint64(h) * (row - value)
                                                           : qint64(h) * row - value;
    return int(std::clamp<qint64>(y, INT_MIN / 2, INT_MAX / 2));
}

int TdxGridView::flatRowAt(int y) const {
    const int h = flatRowHeight();
    if (h <= 0)
        return -1;
    const int value = verticalScrollBar()->value();
    const qint64 row = verticalScrollMode() == ScrollPerItem ? qint64(value) + floorDiv(y, h)
                                                             : floorDiv(int(qMin<qint64>(qint64(y) + value, INT_MAX)), h);
    return row < 0 || row >= flatRowCount() ? -1 : int(row);
}

int TdxGridView::verticalOffset() const {
    if (!m_flat)
        return QTreeView::verticalOffset();
    if (verticalScrollMode() == ScrollPerItem)
        return int(qMin<qint64>(qint64(verticalScrollBar()->value()) * flatRowHeight(), INT_MAX));
    return verticalScrollBar()->value();
}

QRect TdxGridView::visualRect(const QModelIndex& index) const {
    if (!m_flat)
        return QTreeView::visualRect(index);
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex() || isIndexHidden(index))
        return {};
    return QRect(columnViewportPosition(index.column()), flatRowY(index.row()), columnWidth(index.column()),
                 flatRowHeight());
}

QModelIndex TdxGridView::indexAt(const QPoint& point) const {
    if (!m_flat)
        return QTreeView::indexAt(point);
    const int row = flatRowAt(point.y());
    const int column = header()->logicalIndexAt(point.x());
    if (row < 0 || column < 0)
        return {};
    return model()->index(row, column, rootIndex());
}

void TdxGridView::updateGeometries() {
    if (!m_flat) {
        QTreeView::updateGeometries();
        return;
    }
    if (m_inGeometries)
        return;
    m_inGeometries = true;
    // The header sits in the top margin, as the tree places it.
    int height = 0;
    if (!header()->isHidden())
        height = qMin(qMax(header()->minimumHeight(), header()->sizeHint().height()), header()->maximumHeight());
    setViewportMargins(0, height, 0, 0);
    const QRect vg = viewport()->geometry();
    header()->setGeometry(vg.left(), vg.top() - height, vg.width(), height);
    QMetaObject::invokeMethod(header(), "updateGeometries");
    updateFlatScrollBars();
    m_inGeometries = false;
    QAbstractItemView::updateGeometries();
}

void TdxGridView::updateFlatScrollBars() {
    QSize size = viewport()->size();
    if (!size.isValid())
        size = QSize(0, 0);
    const int rows = flatRowCount();
    const int h = flatRowHeight();
    QScrollBar* vbar = verticalScrollBar();
    if (verticalScrollMode() == ScrollPerItem) {
        int inView = h > 0 ? size.height() / h : rows;
        if (rows > 0)
            inView = qMax(1, inView);
        vbar->setRange(0, qMax(0, rows - inView));
        vbar->setPageStep(inView);
        vbar->setSingleStep(1);
    } else {
        const qint64 contents = qint64(h) * rows;
        vbar->setRange(0, int(std::clamp<qint64>(contents - size.height(), 0, INT_MAX)));
        vbar->setPageStep(size.height());
        vbar->setSingleStep(qMax(h, 2));
    }
    int columnsInView = 0;
    for (int width = 0, v = header()->count() - 1; v >= 0; --v) {
        width += header()->sectionSize(header()->logicalIndex(v));
        if (width > size.width())
            break;
        ++columnsInView;
    }
    if (header()->count() > 0)
        columnsInView = qMax(1, columnsInView);
    const int length = header()->length();
    const QSize most = maximumViewportSize();
    if (most.width() >= length && vbar->maximum() <= 0)
        size = most;
    QScrollBar* hbar = horizontalScrollBar();
    hbar->setPageStep(size.width());
    hbar->setRange(0, qMax(length - size.width(), 0));
    hbar->setSingleStep(qMax(size.width() / (columnsInView + 1), 2));
}

void TdxGridView::scrollContentsBy(int dx, int dy) {
    if (!m_flat) {
        QTreeView::scrollContentsBy(dx, dy);
        return;
    }
    dx = isRightToLeft() ? -dx : dx;
    if (dx) {
        QScrollBar* hbar = horizontalScrollBar();
        header()->setOffset(isRightToLeft() ? hbar->maximum() - hbar->value() : hbar->value());
    }
    const int h = flatRowHeight();
    if (dy && verticalScrollMode() == ScrollPerItem) {
        // Rows scrolled by; a jump past a screen of rows repaints it all instead.
        if (h <= 0 || qAbs(dy) > viewport()->height() / h + 1) {
            viewport()->update();
            if (!dx)
                return;
            dy = 0;
        } else {
            dy *= h;
        }
    }
    viewport()->scroll(dx, dy);
}

void TdxGridView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!m_flat) {
        QTreeView::scrollTo(index, hint);
        return;
    }
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex())
        return;
    updateFlatScrollBars();
    const int row = index.row();
    const int h = flatRowHeight();
    const QRect area = viewport()->rect();
    QScrollBar* vbar = verticalScrollBar();
    if (verticalScrollMode() == ScrollPerItem) {
        const int top = vbar->value();
        const int bottom = top + vbar->pageStep();
        if (hint == EnsureVisible && row >= top && row < bottom) {
            // already in view
        } else if (hint == PositionAtTop || (hint == EnsureVisible && row < top)) {
            vbar->setValue(row);
        } else {
            // At the bottom (or the centre): as many rows above it as fit.
            const int y = hint == PositionAtCenter ? area.height() / 2 + h - 1 : area.height();
            vbar->setValue(y > h && h > 0 ? qMax(0, row - y / h + 1) : row);
        }
    } else {
        const QRect rect(columnViewportPosition(index.column()), flatRowY(row), columnWidth(index.column()), h);
        if (rect.isEmpty()) {
            // nothing to show
        } else if (hint == EnsureVisible && area.contains(rect)) {
            viewport()->update(rect);
        } else {
            const bool above = hint == EnsureVisible && (rect.top() < area.top() || area.height() < rect.height());
            const bool below = hint == EnsureVisible && rect.bottom() > area.bottom() && rect.height() < area.height();
            int value = vbar->value();
            if (hint == PositionAtTop || above)
                value += rect.top();
            else if (hint == PositionAtBottom || below)
                value += rect.bottom() - area.height();
            else if (hint == PositionAtCenter)
                value += rect.top() - (area.height() - rect.height()) / 2;
            vbar->setValue(value);
        }
    }
    const int width = viewport()->width();
    const int offset = header()->offset();
    const int position = header()->sectionPosition(index.column());
    const int cell = header()->sectionSize(index.column());
    QScrollBar* hbar = horizontalScrollBar();
    if (hint == PositionAtCenter)
        hbar->setValue(position - (width - cell) / 2);
    else if (position - offset < 0 || cell > width)
        hbar->setValue(position);
    else if (position - offset + cell > width)
        hbar->setValue(position - width + cell);
}

QModelIndex TdxGridView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    if (!m_flat)
        return QTreeView::moveCursor(cursorAction, modifiers);
    const int rows = flatRowCount();
    if (rows == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid()) {
        int v = 0;
        while (v < header()->count() && header()->isSectionHidden(header()->logicalIndex(v)))
            ++v;
        return v < header()->count() ? model()->index(0, header()->logicalIndex(v), rootIndex()) : QModelIndex();
    }
    if (isRightToLeft() && (cursorAction == MoveLeft || cursorAction == MoveRight))
        cursorAction = cursorAction == MoveLeft ? MoveRight : MoveLeft;
    const int row = current.row();
    int to = row;
    switch (cursorAction) {
    case MoveNext:
    case MoveDown:
        to = qMin(row + 1, rows - 1);
        break;
    case MovePrevious:
    case MoveUp:
        to = qMax(row - 1, 0);
        break;
    case MovePageUp: {
        const int at = flatRowAt(flatRowY(row) - viewport()->height());
        to = at < 0 ? 0 : at;
        break;
    }
    case MovePageDown: {
        const int at = flatRowAt(flatRowY(row) + viewport()->height());
        to = at < 0 ? rows - 1 : at;
        break;
    }
    case MoveHome:
        to = 0;
        break;
    case MoveEnd:
        to = rows - 1;
        break;
    case MoveLeft:
    case MoveRight: {
        // Cell selection moves to the next shown column; otherwise the columns scroll.
        const int step = cursorAction == MoveLeft ? -1 : 1;
        if (selectionBehavior() == SelectItems || selectionBehavior() == SelectColumns) {
            int v = header()->visualIndex(current.column()) + step;
            while (v >= 0 && v < header()->count() && isColumnHidden(header()->logicalIndex(v)))
                v += step;
            const QModelIndex next = current.sibling(row, header()->logicalIndex(v));
            if (v >= 0 && v < header()->count() && next.isValid())
                return next;
        }
        QScrollBar* bar = horizontalScrollBar();
        bar->setValue(bar->value() + step * bar->singleStep());
        updateGeometries();
        viewport()->update();
        return current;
    }
    }
    return model()->index(to, current.column(), rootIndex());
}

void TdxGridView::selectFlat(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                             QItemSelectionModel::SelectionFlags command) {
    // The shown columns between the two, in runs of adjacent model columns.
    const int a = header()->visualIndex(topLeft.column()), b = header()->visualIndex(bottomRight.column());
    QList<int> columns;
    for (int v = qMin(a, b); v <= qMax(a, b); ++v) {
        if (!header()->isSectionHidden(header()->logicalIndex(v)))
            columns.append(header()->logicalIndex(v));
    }
    std::sort(columns.begin(), columns.end());
    QItemSelection selection;
    const int top = qMin(topLeft.row(), bottomRight.row()), bottom = qMax(topLeft.row(), bottomRight.row());
    for (int i = 0; i < columns.size();) {
        int j = i;
        while (j + 1 < columns.size() && columns[j + 1] == columns[j] + 1)
            ++j;
        selection.append(QItemSelectionRange(model()->index(top, columns[i], rootIndex()),
                                             model()->index(bottom, columns[j], rootIndex())));
        i = j + 1;
    }
    selectionModel()->select(selection, command);
}

void TdxGridView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (!m_flat) {
        QTreeView::setSelection(rect, command);
        return;
    }
    if (!selectionModel() || rect.isNull())
        return;
    const QRect r = rect.normalized();
    QModelIndex topLeft = indexAt(isRightToLeft() ? r.topRight() : r.topLeft());
    QModelIndex bottomRight = indexAt(isRightToLeft() ? r.bottomLeft() : r.bottomRight());
    if (!topLeft.isValid() && !bottomRight.isValid()) {
        if (command & QItemSelectionModel::Clear)
            selectionModel()->clear();
        return;
    }
    const int rows = flatRowCount();
    if (!topLeft.isValid())
        topLeft = model()->index(0, 0, rootIndex());
    if (!bottomRight.isValid())
        bottomRight = model()->index(rows - 1, header()->logicalIndex(header()->count() - 1), rootIndex());
    if (!(model()->flags(topLeft) & Qt::ItemIsEnabled) || !(model()->flags(bottomRight) & Qt::ItemIsEnabled))
        return;
    selectFlat(topLeft, bottomRight, command);
}

void TdxGridView::selectAll() {
    if (!m_flat) {
        QTreeView::selectAll();
        return;
    }
    const int rows = flatRowCount();
    if (!selectionModel() || rows == 0 || selectionMode() == SingleSelection || selectionMode() == NoSelection)
        return;
    selectFlat(model()->index(0, 0, rootIndex()),
               model()->index(rows - 1, model()->columnCount(rootIndex()) - 1, rootIndex()),
               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QRegion TdxGridView::visualRegionForSelection(const QItemSelection& selection) const {
    if (!m_flat)
        return QTreeView::visualRegionForSelection(selection);
    QRegion region;
    const QRect view = viewport()->rect();
    const int h = flatRowHeight();
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex())
            continue;
        const int top = flatRowY(range.top());
        const int height = int(qMin<qint64>(qint64(range.bottom() - range.top() + 1) * h, INT_MAX / 2));
        for (int c = range.left(); c <= range.right(); ++c) {
            if (isColumnHidden(c))
                continue;
            const QRect r(columnViewportPosition(c), top, columnWidth(c), height);
            if (view.intersects(r))
                region += r & view;
        }
    }
    return region;
}

void TdxGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (!m_flat) {
        QTreeView::currentChanged(current, previous);
        return;
    }
    QAbstractItemView::currentChanged(current, previous);
    if (allColumnsShowFocus()) {
        // The focus frame goes round the whole row.
        const int h = flatRowHeight();
        for (const QModelIndex& i : {previous, current}) {
            if (i.isValid() && i.model() == model() && i.parent() == rootIndex())
                viewport()->update(QRect(0, flatRowY(i.row()), viewport()->width(), h));
        }
    }
}

void TdxGridView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    if (m_flat)
        QAbstractItemView::selectionChanged(selected, deselected);
    else
        QTreeView::selectionChanged(selected, deselected);
}

void TdxGridView::keyboardSearch(const QString& search) {
    if (m_flat)
        QAbstractItemView::keyboardSearch(search);
    else
        QTreeView::keyboardSearch(search);
}

void TdxGridView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                              const QList<int>& roles) {
    if (m_flat && topLeft.isValid() && topLeft.row() == 0 && topLeft.parent() == rootIndex()) {
        // The row height is the first row's; it may have changed with it.
        const int before = m_rowHeight;
        m_rowHeight = 0;
        if (flatRowHeight() != before) {
            updateFlatScrollBars();
            viewport()->update();
        }
    }
    QTreeView::dataChanged(topLeft, bottomRight, roles);
}

int TdxGridView::sizeHintForColumn(int column) const {
    if (!m_flat)
        return QTreeView::sizeHintForColumn(column);
    const int rows = flatRowCount();
    if (rows == 0)
        return -1;
    ensurePolished();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    // The rows in view, then as many around them as the header's precision allows.
    const int precision = header()->resizeContentsPrecision();
    int first = qMax(0, flatRowAt(0));
    int last = flatRowAt(viewport()->height() - 1);
    if (last < 0)
        last = rows - 1;
    if (precision > 0) {
        const int more = qMax(0, precision - (last - first + 1));
        first = qMax(0, first - more / 2);
        last = qMin(rows - 1, last + (more - more / 2));
    } else if (precision < 0) {
        first = 0;
        last = rows - 1;
    }
    int width = 0;
    for (int r = first; r <= last; ++r) {
        const QModelIndex i = model()->index(r, column, rootIndex());
        width = qMax(width, itemDelegateForIndex(i)->sizeHint(option, i).width());
    }
    return width;
}
