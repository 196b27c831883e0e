#include "TImageList.h"

#include <QPainter>
#include <QPixmap>

TImageList::TImageList(int width, int height, QObject* owner)
    : QObject(owner), m_width(width), m_height(height) {}

int TImageList::Add(const QIcon& icon) {
    m_icons.append(icon);
    return int(m_icons.size()) - 1;
}

int TImageList::Add(const TPainter& painter) {
    QIcon icon;
    icon.addPixmap(Paint(m_width, m_height, painter));
    icon.addPixmap(Paint(m_width * 2, m_height * 2, painter));
    return Add(icon);
}

QIcon TImageList::Icon(int index) const {
    return index >= 0 && index < m_icons.size() ? m_icons[index] : QIcon();
}

QPixmap TImageList::Paint(int width, int height, const TPainter& painter) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Pictures are drawn on a 16 x 16 grid and scaled to the list's size.
    p.scale(width / 16.0, height / 16.0);
    painter(p, QRectF(0, 0, 16, 16));
    return pixmap;
}
