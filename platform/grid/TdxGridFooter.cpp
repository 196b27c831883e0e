#include "TdxGridFooter.h"

#include <QHeaderView>
#include <QPainter>

TdxGridFooter::TdxGridFooter(QHeaderView* header, QWidget* parent) : QWidget(parent), m_header(header) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    const auto repaint = [this] { update(); };
    connect(header, &QHeaderView::sectionResized, this, repaint);
    connect(header, &QHeaderView::sectionMoved, this, repaint);
    connect(header, &QHeaderView::geometriesChanged, this, repaint);
    connect(header, &QHeaderView::sectionCountChanged, this, repaint);
}

void TdxGridFooter::SetOffset(int x) {
    m_offset = x;
    update();
}

QSize TdxGridFooter::sizeHint() const {
    return QSize(100, fontMetrics().height() + 10);
}

void TdxGridFooter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(0, 0, width(), 0);
    for (int v = 0; v < m_header->count(); ++v) {
        const int logical = m_header->logicalIndex(v);
        if (m_header->isSectionHidden(logical))
            continue;
        const QRect cell(m_offset + m_header->sectionViewportPosition(logical), 3,
                         m_header->sectionSize(logical), height() - 6);
        if (cell.right() < 0 || cell.left() > width())
            continue;
        const QString text = TextOf ? TextOf(logical) : QString();
        if (text.isEmpty())
            continue;
        const QRect box = cell.adjusted(2, 0, -2, 0);
        p.setPen(palette().color(QPalette::Mid));
        p.setBrush(palette().color(QPalette::Base));
        p.drawRect(box.adjusted(0, 0, -1, -1));
        p.setPen(palette().color(QPalette::Text));
        const Qt::Alignment align =
            (IsNumber && IsNumber(logical) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
        p.drawText(box.adjusted(4, 0, -4, 0), align,
                   fontMetrics().elidedText(text, Qt::ElideRight, box.width() - 8));
    }
}
