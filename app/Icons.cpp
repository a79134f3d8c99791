#include "app/Icons.h"

#include <functional>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace velmora::app {

namespace {

// Every image is drawn on a 64 x 64 design grid and rendered at the sizes the
// window, the buttons and the notification area ask for.
using Drawing = std::function<void(QPainter&)>;

QIcon Render(const Drawing& draw) {
    QIcon icon;
    for (int size : {16, 20, 24, 32, 48, 64}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 64.0, size / 64.0);
        draw(painter);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QPen Stroke(const QColor& color, qreal width) { return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

// An arrow head at `tip` pointing along `direction` (degrees, 0 = right,
// counter-clockwise as on paper).
void ArrowHead(QPainter& p, QPointF tip, qreal direction, qreal length, const QColor& color) {
    QPainterPath head;
    head.moveTo(0, 0);
    head.lineTo(-length, -length * 0.6);
    head.lineTo(-length, length * 0.6);
    head.closeSubpath();
    p.save();
    p.translate(tip);
    p.rotate(-direction);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(head);
    p.restore();
}

}   // namespace

QIcon ApplicationIcon() {
    // A manifest sheet with a cargo truck in front of it.
    return Render([](QPainter& p) {
        const QColor paper(250, 250, 245), edge(40, 70, 120), truck(20, 110, 190), wheel(35, 35, 35);
        QPainterPath sheet;
        sheet.moveTo(10, 4);
        sheet.lineTo(40, 4);
        sheet.lineTo(52, 16);
        sheet.lineTo(52, 46);
        sheet.lineTo(10, 46);
        sheet.closeSubpath();
        p.setPen(Stroke(edge, 2.5));
        p.setBrush(paper);
        p.drawPath(sheet);
        p.drawLine(QPointF(40, 4), QPointF(40, 16));
        p.drawLine(QPointF(40, 16), QPointF(52, 16));
        p.setPen(Stroke(QColor(150, 160, 180), 2.5));
        for (int y : {14, 21, 28}) p.drawLine(QPointF(16, y), QPointF(34, y));

        p.setPen(Stroke(edge, 2));
        p.setBrush(truck);
        p.drawRoundedRect(QRectF(4, 34, 36, 18), 2, 2);    // cargo box
        p.drawRoundedRect(QRectF(40, 40, 18, 12), 3, 3);   // cab
        p.setBrush(QColor(200, 230, 255));
        p.drawRect(QRectF(47, 42, 8, 5));   // windscreen
        p.setBrush(wheel);
        p.setPen(Stroke(paper, 1.5));
        for (qreal x : {14.0, 28.0, 50.0}) p.drawEllipse(QPointF(x, 54), 6, 6);
    });
}

QIcon RestartIcon() {
    // A green circular arrow: run again.
    return Render([](QPainter& p) {
        const QColor green(30, 140, 60);
        p.setPen(Stroke(green, 8));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(12, 12, 40, 40), 60 * 16, 280 * 16);
        // The arc ends at 340 degrees; the head continues it downwards.
        ArrowHead(p, QPointF(52, 36), -80, 16, green);
    });
}

QIcon ResetIcon() {
    // A red zero being wiped: the counters go back to nothing.
    return Render([](QPainter& p) {
        const QColor red(200, 40, 40);
        p.setPen(Stroke(red, 7));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(18, 8, 28, 48));
        p.setPen(Stroke(QColor(60, 60, 60), 6));
        p.drawLine(QPointF(8, 56), QPointF(56, 8));
    });
}

QIcon MinimizeIcon() {
    // A blue arrow down onto a bar: put the window away.
    return Render([](QPainter& p) {
        const QColor blue(30, 90, 180);
        p.setPen(Stroke(blue, 8));
        p.drawLine(QPointF(32, 6), QPointF(32, 32));
        ArrowHead(p, QPointF(32, 46), -90, 18, blue);
        p.setPen(Stroke(QColor(60, 60, 60), 7));
        p.drawLine(QPointF(10, 56), QPointF(54, 56));
    });
}

}   // namespace velmora::app
