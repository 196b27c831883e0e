#include "uDBImages.h"

#include "TImageList.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

const QColor kDrum(240, 190, 80);
const QColor kDrumLine(120, 80, 20);

// A database drum in the box x, y, w, h.
void drum(QPainter& p, double x, double y, double w, double h) {
    const double cap = h / 4;
    p.setPen(QPen(kDrumLine, 0.8));
    p.setBrush(kDrum);
    QPainterPath body;
    body.moveTo(x, y + cap / 2);
    body.lineTo(x, y + h - cap / 2);
    body.arcTo(QRectF(x, y + h - cap, w, cap), 180, 180);
    body.lineTo(x + w, y + cap / 2);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(kDrum.lighter(115));
    p.drawEllipse(QRectF(x, y, w, cap));
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& color) {
    p.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    p.drawLine(to, to - d * 3 + n * 2.5);
    p.drawLine(to, to - d * 3 - n * 2.5);
}

void paintRefresh(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(30, 120, 60), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 30 * 16, 270 * 16);
    p.setBrush(QColor(30, 120, 60));
    p.setPen(Qt::NoPen);
    QPainterPath head;
    head.moveTo(15, 2.5);
    head.lineTo(15, 8);
    head.lineTo(9.5, 5.5);
    head.closeSubpath();
    p.drawPath(head);
}

void paintDisk(QPainter& p, double x, double y) {
    p.setPen(QPen(QColor(50, 60, 90), 0.8));
    p.setBrush(QColor(90, 110, 170));
    p.drawRect(QRectF(x, y, 7, 7));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(x + 1.5, y, 4, 2.5));
}

void paintBackup(QPainter& p, const QRectF&) {
    drum(p, 1, 1, 8, 10);
    paintDisk(p, 8.5, 8.5);
    arrow(p, QPointF(9.5, 3), QPointF(12, 7.5), QColor(30, 90, 170));
}

void paintRestore(QPainter& p, const QRectF&) {
    drum(p, 7, 1, 8, 10);
    paintDisk(p, 0.5, 8.5);
    arrow(p, QPointF(4, 7.5), QPointF(6.5, 3), QColor(30, 90, 170));
}

void paintCreate(QPainter& p, const QRectF&) {
    drum(p, 1, 2, 9, 12);
    p.setPen(QPen(QColor(20, 140, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 7.5), QPointF(12, 14.5));
    p.drawLine(QPointF(8.5, 11), QPointF(15.5, 11));
}

void paintDrop(QPainter& p, const QRectF&) {
    drum(p, 1, 2, 9, 12);
    p.setPen(QPen(QColor(200, 40, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9, 8), QPointF(15, 14));
    p.drawLine(QPointF(15, 8), QPointF(9, 14));
}

void paintRecreateUsers(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(40, 70, 120), 0.8));
    p.setBrush(QColor(90, 140, 215));
    p.drawEllipse(QPointF(5.5, 4.5), 2.6, 2.6);
    p.drawChord(QRectF(1, 8.5, 9, 9), 0, 180 * 16);
    p.setPen(QPen(QColor(30, 120, 60), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9, 6, 6, 6), 60 * 16, 270 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 120, 60));
    QPainterPath head;
    head.moveTo(15.5, 5);
    head.lineTo(15.5, 9);
    head.lineTo(12, 7);
    head.closeSubpath();
    p.drawPath(head);
}

void paintDatabase(QPainter& p, const QRectF&) {
    drum(p, 3, 1.5, 10, 13);
    p.setPen(QPen(kDrumLine, 0.5));
    p.setBrush(Qt::NoBrush);
    for (double y : {6.0, 9.5})
        p.drawArc(QRectF(3, y, 10, 3.25), 180 * 16, 180 * 16);
}

} // namespace

void AddDBToolImages(TImageList* list) {
    list->Add(paintRefresh);
    list->Add(paintBackup);
    list->Add(paintRestore);
    list->Add(paintCreate);
    list->Add(paintDrop);
    list->Add(paintRecreateUsers);
}

void AddDBViewImages(TImageList* list) {
    list->Add(paintDatabase);
}
