#include "uServerImages.h"

#include "TImageList.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// A server tower in the box x, y, w, h.
void tower(QPainter& p, double x, double y, double w, double h) {
    p.setPen(QPen(QColor(60, 70, 90), 0.8));
    p.setBrush(QColor(150, 170, 200));
    p.drawRoundedRect(QRectF(x, y, w, h), 1, 1);
    p.setPen(QPen(QColor(60, 70, 90), 0.6));
    for (int i = 1; i <= 2; ++i)
        p.drawLine(QPointF(x + 1.2, y + i * h / 5), QPointF(x + w - 1.2, y + i * h / 5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 200, 90));
    p.drawEllipse(QPointF(x + w / 2, y + h * 0.78), w / 7, w / 7);
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

void paintAdd(QPainter& p, const QRectF&) {
    tower(p, 1.5, 1, 7, 13);
    p.setPen(QPen(QColor(20, 140, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 7.5), QPointF(12, 14.5));
    p.drawLine(QPointF(8.5, 11), QPointF(15.5, 11));
}

void paintDrop(QPainter& p, const QRectF&) {
    tower(p, 1.5, 1, 7, 13);
    p.setPen(QPen(QColor(200, 40, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9, 8), QPointF(15, 14));
    p.drawLine(QPointF(15, 8), QPointF(9, 14));
}

void paintServer(QPainter& p, const QRectF&) {
    tower(p, 4, 1, 8, 14);
}

} // namespace

void AddServerToolImages(TImageList* list) {
    list->Add(paintRefresh);
    list->Add(paintAdd);
    list->Add(paintDrop);
}

void AddServerViewImages(TImageList* list) {
    list->Add(paintServer);
}
