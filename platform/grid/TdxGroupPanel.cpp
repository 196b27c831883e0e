#include "TdxGroupPanel.h"

#include "TdxGridDrag.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kMargin = 8;
constexpr int kGap = 10;
constexpr int kStep = 6; // each level sits a little lower, as a staircase
} // namespace

TdxGroupPanel::TdxGroupPanel(const void* grid, QWidget* parent) : QWidget(parent), m_grid(grid) {
    setAcceptDrops(true);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Mid);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TdxGroupPanel::SetItems(const QList<Item>& items) {
    m_items = items;
    updateGeometry();
    update();
}

QSize TdxGroupPanel::sizeHint() const {
    const int box = fontMetrics().height() + 8;
    return QSize(200, kMargin * 2 + box + kStep * qMax(0, int(m_items.size()) - 1));
}

QRect TdxGroupPanel::ItemRect(int position) const {
    const int box = fontMetrics().height() + 8;
    int x = kMargin;
    for (int i = 0; i < position; ++i)
        x += fontMetrics().horizontalAdvance(m_items[i].caption) + 30 + kGap;
    const int width =
        position < m_items.size() ? fontMetrics().horizontalAdvance(m_items[position].caption) + 30 : 0;
    return QRect(x, kMargin + kStep * position, width, box);
}

int TdxGroupPanel::itemAt(QPoint pos) const {
    for (int i = 0; i < m_items.size(); ++i) {
        if (ItemRect(i).contains(pos))
            return i;
    }
    return -1;
}

int TdxGroupPanel::DropPosition(int x) const {
    for (int i = 0; i < m_items.size(); ++i) {
        if (x < ItemRect(i).center().x())
            return i;
    }
    return int(m_items.size());
}

void TdxGroupPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor text = palette().color(QPalette::Light);
    if (m_items.isEmpty()) {
        p.setPen(text);
        p.drawText(rect().adjusted(kMargin, 0, -kMargin, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   tr("Drag a column header here to group by that column"));
    }
    for (int i = 0; i < m_items.size(); ++i) {
        const QRect r = ItemRect(i);
        if (i > 0) {
            // A connector from the level above.
            const QRect prev = ItemRect(i - 1);
            p.setPen(QPen(palette().color(QPalette::Dark), 1));
            p.drawLine(prev.right() - 6, prev.bottom(), prev.right() - 6, r.center().y());
            p.drawLine(prev.right() - 6, r.center().y(), r.left(), r.center().y());
        }
        p.setPen(palette().color(QPalette::Dark));
        p.setBrush(palette().color(QPalette::Button));
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        p.setPen(palette().color(QPalette::ButtonText));
        p.drawText(r.adjusted(8, 0, -20, 0), Qt::AlignLeft | Qt::AlignVCenter, m_items[i].caption);
        const QPointF c(r.right() - 11, r.center().y() + 0.5);
        QPainterPath tri;
        const double d = m_items[i].descending ? 1 : -1;
        tri.moveTo(c.x() - 4, c.y() - 2.5 * d);
        tri.lineTo(c.x() + 4, c.y() - 2.5 * d);
        tri.lineTo(c.x(), c.y() + 2.5 * d);
        tri.closeSubpath();
        p.fillPath(tri, palette().color(QPalette::ButtonText));
    }
    if (m_dropMark >= 0) {
        const int x =
            m_dropMark < m_items.size()
                ? ItemRect(m_dropMark).left() - kGap / 2
                : (m_items.isEmpty() ? kMargin : ItemRect(int(m_items.size()) - 1).right() + kGap / 2);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawLine(x, 4, x, height() - 4);
    }
}

void TdxGroupPanel::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton ? itemAt(event->position().toPoint()) : -1;
    m_pressPos = event->position().toPoint();
}

void TdxGroupPanel::mouseMoveEvent(QMouseEvent* event) {
    if (m_pressed < 0 || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    const int position = m_pressed;
    m_pressed = -1;
    auto* drag = new QDrag(this);
    drag->setMimeData(TdxGridDrag::Make(m_grid, m_items[position].column));
    drag->setPixmap(grab(ItemRect(position)));
    drag->setHotSpot(m_pressPos - ItemRect(position).topLeft());
    drag->exec(Qt::MoveAction);
}

void TdxGroupPanel::mouseReleaseEvent(QMouseEvent* event) {
    const int pressed = m_pressed;
    m_pressed = -1;
    if (pressed >= 0 && itemAt(event->position().toPoint()) == pressed && OnItemClicked)
        OnItemClicked(m_items[pressed].column);
}

void TdxGroupPanel::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void TdxGroupPanel::dragMoveEvent(QDragMoveEvent* event) {
    if (TdxGridDrag::Accept(event, m_grid) < 0)
        return;
    m_dropMark = DropPosition(event->position().toPoint().x());
    update();
}

void TdxGroupPanel::dragLeaveEvent(QDragLeaveEvent*) {
    m_dropMark = -1;
    update();
}

void TdxGroupPanel::dropEvent(QDropEvent* event) {
    m_dropMark = -1;
    update();
    const int column = TdxGridDrag::Accept(event, m_grid);
    if (column >= 0 && OnColumnDropped)
        OnColumnDropped(column, DropPosition(event->position().toPoint().x()));
}
