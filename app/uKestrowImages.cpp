#include "uKestrowImages.h"

#include "TImageList.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace {

void paintClose(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(150, 30, 30), 0.8));
    p.setBrush(QColor(215, 60, 50));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
    p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
}

void paintObjects(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(60, 80, 110), 0.8));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.setBrush(QColor(120, 160, 210));
    p.drawRect(QRectF(1.5, 2.5, 13, 3));
    p.drawLine(QPointF(6, 5.5), QPointF(6, 13.5));
    p.drawLine(QPointF(1.5, 8.5), QPointF(14.5, 8.5));
    p.drawLine(QPointF(1.5, 11), QPointF(14.5, 11));
}

void paintUsers(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(40, 70, 120), 0.8));
    p.setBrush(QColor(150, 180, 230));
    p.drawEllipse(QPointF(10.5, 5), 2.3, 2.3);
    p.drawChord(QRectF(6.5, 8.5, 8, 8), 0, 180 * 16);
    p.setBrush(QColor(90, 140, 215));
    p.drawEllipse(QPointF(6, 6), 2.6, 2.6);
    p.drawChord(QRectF(1.5, 10, 9, 9), 0, 180 * 16);
}

void paintQuery(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(90, 90, 90), 0.8));
    p.setBrush(Qt::white);
    QPainterPath sheet;
    sheet.moveTo(3, 1.5);
    sheet.lineTo(10, 1.5);
    sheet.lineTo(13, 4.5);
    sheet.lineTo(13, 14.5);
    sheet.lineTo(3, 14.5);
    sheet.closeSubpath();
    p.drawPath(sheet);
    p.setPen(QPen(QColor(40, 100, 180), 1));
    for (double y : {6.0, 8.5, 11.0})
        p.drawLine(QPointF(5, y), QPointF(11, y));
}

void paintActivity(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(30, 140, 60), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath pulse;
    pulse.moveTo(1, 9);
    pulse.lineTo(4.5, 9);
    pulse.lineTo(6.5, 3);
    pulse.lineTo(9.5, 14);
    pulse.lineTo(11.5, 8);
    pulse.lineTo(15, 8);
    p.drawPath(pulse);
}

void paintDB(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(120, 80, 20), 0.8));
    p.setBrush(QColor(240, 190, 80));
    p.drawRect(QRectF(3, 4, 10, 8));
    p.drawEllipse(QRectF(3, 10, 10, 4));
    p.drawEllipse(QRectF(3, 2, 10, 4));
}

void paintServers(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(60, 70, 90), 0.8));
    for (double x : {1.5, 8.5}) {
        p.setBrush(QColor(150, 170, 200));
        p.drawRoundedRect(QRectF(x, 2, 6, 12), 1, 1);
        p.setBrush(QColor(90, 200, 90));
        p.drawEllipse(QPointF(x + 3, 11.5), 0.9, 0.9);
    }
    p.drawLine(QPointF(7.5, 8), QPointF(8.5, 8));
}

// A coloured disc with a letter: Help and About.
void paintSign(QPainter& p, const QColor& colour, const QString& letter) {
    p.setPen(QPen(colour.darker(140), 0.8));
    p.setBrush(colour);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(10);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, letter);
}

void paintHelp(QPainter& p, const QRectF&) {
    paintSign(p, QColor(40, 110, 200), QStringLiteral("?"));
}

void paintAbout(QPainter& p, const QRectF&) {
    paintSign(p, QColor(60, 150, 90), QStringLiteral("i"));
}

void paintLanguage(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(40, 90, 150), 0.9));
    p.setBrush(QColor(190, 220, 250));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
    p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
}

} // namespace

void AddKestrowImages(TImageList* list) {
    list->Add(paintClose);
    list->Add(paintObjects);
    list->Add(paintUsers);
    list->Add(paintQuery);
    list->Add(paintActivity);
    list->Add(paintDB);
    list->Add(paintServers);
    list->Add(paintHelp);
    list->Add(paintAbout);
    list->Add(paintLanguage);
}
