#include "TdxGridHeader.h"

#include "TdxGridDrag.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionHeader>

TdxGridHeader::TdxGridHeader(const void* grid, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_grid(grid) {
    setSectionsClickable(true);
    setSectionsMovable(false); // moves go through our own drag, which also reaches the group panel
    setHighlightSections(false);
    setSortIndicatorShown(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setMouseTracking(true);
}

QRect TdxGridHeader::FilterButtonRect(const QRect& section) {
    const int side = qMin(14, section.height() - 4);
    return QRect(section.right() - side - 2, section.center().y() - side / 2, side, side);
}

void TdxGridHeader::paintSection(QPainter* painter, const QRect& rect, int logical) const {
    if (!rect.isValid())
        return;
    const SectionState state = StateOf ? StateOf(logical) : SectionState();
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.rect = rect;
    opt.section = logical;
    opt.text = model() ? model()->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString() : QString();
    opt.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    opt.sortIndicator = QStyleOptionHeader::None;
    opt.position = QStyleOptionHeader::Middle;
    // Room on the right for the sort arrow and the filter button.
    int reserve = 4;
    if (state.sortRank > 0)
        reserve += 14;
    if (state.filterable)
        reserve += 16;
    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
    QRect textRect = rect.adjusted(5, 0, -reserve, 0);
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                      fontMetrics().elidedText(opt.text, Qt::ElideRight, textRect.width()));
    int right = rect.right() - 3;
    if (state.filterable) {
        const QRect button = FilterButtonRect(rect);
        if (state.filtered) {
            painter->fillRect(button, palette().color(QPalette::Highlight).lighter(160));
            painter->setPen(palette().color(QPalette::Highlight));
            painter->drawRect(button.adjusted(0, 0, -1, -1));
        }
        QPainterPath arrow;
        const QPointF c = QRectF(button).center();
        arrow.moveTo(c.x() - 4, c.y() - 2);
        arrow.lineTo(c.x() + 4, c.y() - 2);
        arrow.lineTo(c.x(), c.y() + 2.5);
        arrow.closeSubpath();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(arrow, state.filtered ? palette().color(QPalette::Highlight)
                                                : palette().color(QPalette::Mid).darker(130));
        right = button.left() - 2;
    }
    if (state.sortRank > 0) {
        const QPointF c(right - 5, rect.center().y() + 0.5);
        QPainterPath tri;
        if (state.descending) {
            tri.moveTo(c.x() - 4, c.y() - 2.5);
            tri.lineTo(c.x() + 4, c.y() - 2.5);
            tri.lineTo(c.x(), c.y() + 2.5);
        } else {
            tri.moveTo(c.x() - 4, c.y() + 2.5);
            tri.lineTo(c.x() + 4, c.y() + 2.5);
            tri.lineTo(c.x(), c.y() - 2.5);
        }
        tri.closeSubpath();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(tri, palette().color(QPalette::ButtonText));
        const bool several = StateOf && [&] {
            for (int i = 0; i < count(); ++i) {
                if (i != logical && StateOf(i).sortRank > 0)
                    return true;
            }
            return false;
        }();
        if (several) {
            QFont small = painter->font();
            small.setPointSizeF(small.pointSizeF() * 0.75);
            painter->setFont(small);
            painter->drawText(QRectF(c.x() + 4, rect.top() + 1, 8, rect.height() / 2.0), Qt::AlignCenter,
                              QString::number(state.sortRank));
        }
    }
    painter->restore();
}

bool TdxGridHeader::nearSectionEdge(int x) const {
    const int logical = logicalIndexAt(x);
    if (logical < 0)
        return false;
    const int left = sectionViewportPosition(logical);
    const int right = left + sectionSize(logical);
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this) + 1;
    return x >= right - grip || (x <= left + grip && visualIndex(logical) > 0);
}

void TdxGridHeader::mousePressEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (event->button() == Qt::LeftButton && nearSectionEdge(x)) {
        m_resizing = true;
        QHeaderView::mousePressEvent(event); // resizing stays the header's own
        return;
    }
    m_resizing = false;
    m_pressed = event->button() == Qt::LeftButton ? logicalIndexAt(x) : -1;
    m_pressPos = event->position().toPoint();
    event->accept();
}

void TdxGridHeader::mouseMoveEvent(QMouseEvent* event) {
    if (m_resizing || m_pressed < 0 || !(event->buttons() & Qt::LeftButton)) {
        QHeaderView::mouseMoveEvent(event);
        return;
    }
    if ((event->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    const int column = m_pressed;
    m_pressed = -1;
    auto* drag = new QDrag(this);
    drag->setMimeData(TdxGridDrag::Make(m_grid, column));
    const QRect section(sectionViewportPosition(column), 0, sectionSize(column), height());
    drag->setPixmap(grab(section));
    drag->setHotSpot(m_pressPos - section.topLeft());
    drag->exec(Qt::MoveAction);
}

void TdxGridHeader::mouseReleaseEvent(QMouseEvent* event) {
    if (m_resizing) {
        m_resizing = false;
        QHeaderView::mouseReleaseEvent(event);
        return;
    }
    const int pressed = m_pressed;
    m_pressed = -1;
    const QPoint pos = event->position().toPoint();
    if (pressed < 0 || logicalIndexAt(pos.x()) != pressed)
        return;
    const QRect section(sectionViewportPosition(pressed), 0, sectionSize(pressed), height());
    const SectionState state = StateOf ? StateOf(pressed) : SectionState();
    if (state.filterable && FilterButtonRect(section).contains(pos)) {
        if (OnFilterClick)
            OnFilterClick(pressed, mapToGlobal(QPoint(section.left(), section.bottom())));
        return;
    }
    if (OnSortClick)
        OnSortClick(pressed, event->modifiers() & Qt::ShiftModifier);
}

int TdxGridHeader::DropVisualIndex(int x) const {
    for (int v = 0; v < count(); ++v) {
        const int logical = logicalIndex(v);
        if (isSectionHidden(logical))
            continue;
        const int left = sectionViewportPosition(logical);
        if (x < left + sectionSize(logical) / 2)
            return v;
    }
    return count();
}

void TdxGridHeader::dragEnterEvent(QDragEnterEvent* event) {
    TdxGridDrag::Accept(event, m_grid);
}

void TdxGridHeader::dragMoveEvent(QDragMoveEvent* event) {
    TdxGridDrag::Accept(event, m_grid);
}

void TdxGridHeader::dropEvent(QDropEvent* event) {
    const int column = TdxGridDrag::Accept(event, m_grid);
    if (column >= 0 && OnColumnDropped)
        OnColumnDropped(column, DropVisualIndex(event->position().toPoint().x()));
}
