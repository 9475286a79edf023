#include "resources/icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tallivo {

namespace {

// Draws the picture in a 64 x 64 design grid scaled to `size` pixels. The
// shapes match resources/tallivo.svg, which the desktop entry uses.
QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    // Paper tape leaving the printer slot, with two printed lines.
    painter.setPen(QPen(QColor(0x8a, 0x8a, 0x8a), 1.0));
    painter.setBrush(QColor(0xfb, 0xfb, 0xf4));
    painter.drawRect(QRectF(20, 2, 24, 24));
    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 2.0));
    painter.drawLine(QPointF(24, 8), QPointF(40, 8));
    painter.drawLine(QPointF(28, 14), QPointF(40, 14));
    painter.setPen(QPen(QColor(0xc0, 0x20, 0x20), 2.0));
    painter.drawLine(QPointF(24, 20), QPointF(40, 20));

    // Body.
    painter.setPen(QPen(QColor(0x1e, 0x28, 0x32), 1.5));
    painter.setBrush(QColor(0x3c, 0x4e, 0x60));
    painter.drawRoundedRect(QRectF(5, 22, 54, 39), 5, 5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x14, 0x1a, 0x20));
    painter.drawRect(QRectF(17, 24, 30, 3));

    // Lamp.
    painter.setBrush(QColor(0xff, 0x50, 0x30));
    painter.drawEllipse(QPointF(52, 29), 2.5, 2.5);

    // Keys: three rows of four, the last one the orange "=" key.
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            const bool equals = row == 2 && column == 3;
            painter.setBrush(equals ? QColor(0xe8, 0x7a, 0x2a) : QColor(0xea, 0xe0, 0xc8));
            painter.drawRoundedRect(QRectF(10 + column * 12, 34 + row * 8.5, 9, 6), 1.5, 1.5);
        }
    }
    return pixmap;
}

}  // namespace

QIcon tallivoIcon() {
    static const QIcon icon = [] {
        QIcon result;
        for (const int size : {16, 24, 32, 48, 64, 128, 256}) result.addPixmap(drawIcon(size));
        return result;
    }();
    return icon;
}

}  // namespace tallivo
