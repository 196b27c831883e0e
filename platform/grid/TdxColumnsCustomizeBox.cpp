#include "TdxColumnsCustomizeBox.h"

#include "TdxGridDrag.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>

TdxColumnsCustomizeBox::TdxColumnsCustomizeBox(const void* grid, QWidget* owner)
    : QWidget(owner, Qt::Tool), m_grid(grid) {
    setWindowTitle(tr("Customize"));
    setAcceptDrops(true);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    resize(160, RowHeight() * 8 + 4);
}

int TdxColumnsCustomizeBox::RowHeight() const {
    return fontMetrics().height() + 8;
}

void TdxColumnsCustomizeBox::SetItems(const QList<Item>& items) {
    m_items = items;
    update();
}

void TdxColumnsCustomizeBox::SetRowCount(int rows) {
    resize(width(), RowHeight() * qMax(1, rows) + 4);
}

void TdxColumnsCustomizeBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (int i = 0; i < m_items.size(); ++i) {
        QStyleOptionHeader opt;
        opt.initFrom(this);
        opt.rect = QRect(2, 2 + i * RowHeight(), width() - 4, RowHeight() - 1);
        opt.text = m_items[i].caption;
        opt.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        style()->drawControl(QStyle::CE_Header, &opt, &p, this);
    }
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (m_items.isEmpty()) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(rect().adjusted(6, 6, -6, -6), Qt::AlignCenter | Qt::TextWordWrap,
                   tr("Drag a column header here to hide it"));
    }
}

void TdxColumnsCustomizeBox::mousePressEvent(QMouseEvent* event) {
    const int row = (event->position().toPoint().y() - 2) / RowHeight();
    m_pressed = event->button() == Qt::LeftButton && row >= 0 && row < m_items.size() ? row : -1;
    m_pressPos = event->position().toPoint();
}

void TdxColumnsCustomizeBox::mouseMoveEvent(QMouseEvent* event) {
    if (m_pressed < 0 || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    const int row = m_pressed;
    m_pressed = -1;
    auto* drag = new QDrag(this);
    drag->setMimeData(TdxGridDrag::Make(m_grid, m_items[row].column));
    drag->exec(Qt::MoveAction);
}

void TdxColumnsCustomizeBox::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void TdxColumnsCustomizeBox::dragMoveEvent(QDragMoveEvent* event) {
    TdxGridDrag::Accept(event, m_grid);
}

void TdxColumnsCustomizeBox::dropEvent(QDropEvent* event) {
    const int column = TdxGridDrag::Accept(event, m_grid);
    if (column >= 0 && OnColumnDropped)
        OnColumnDropped(column);
}
