#include "Images.hpp"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace ui::images {

namespace {

QPixmap blank(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap tiles() {
    QPixmap pixmap = blank(32);
    QPainter painter(&pixmap);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(9);
    font.setBold(true);
    painter.setFont(font);
    for (int place = 0; place < 8; ++place) {
        const QRect tile((place % 3) * 11, (place / 3) * 11, 10, 10);
        painter.fillRect(tile, QColor(255, 255, 0));
        painter.setPen(QColor(128, 128, 0));
        painter.drawRect(tile.adjusted(0, 0, -1, -1));
        painter.setPen(Qt::black);
        painter.drawText(tile, Qt::AlignCenter, QString::number(place + 1));
    }
    return pixmap;
}

}  // namespace

QIcon windowIcon() {
    QIcon icon;
    icon.addPixmap(tiles());
    return icon;
}

QPixmap folder() {
    QPixmap pixmap = blank(16);
    QPainter painter(&pixmap);
    painter.setPen(QColor(128, 128, 0));
    painter.setBrush(QColor(255, 255, 0));
    painter.drawRect(1, 3, 6, 2);
    painter.drawRect(1, 4, 13, 9);
    painter.setPen(QColor(255, 255, 192));
    painter.drawLine(2, 6, 13, 6);
    return pixmap;
}

QPixmap question() {
    QPixmap pixmap = blank(16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 255));
    painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    return pixmap;
}

QPixmap splitOverlay() {
    QPixmap pixmap = blank(16);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.setBrush(QColor(255, 0, 0));
    painter.drawRect(0, 1, 4, 13);
    painter.setBrush(QColor(0, 192, 0));
    painter.drawRect(6, 1, 4, 13);
    painter.setBrush(QColor(0, 0, 255));
    painter.drawRect(11, 1, 4, 13);
    return pixmap;
}

QPixmap joinOverlay() {
    QPixmap pixmap = blank(16);
    QPainter painter(&pixmap);
    painter.setPen(Qt::NoPen);
    painter.fillRect(0, 1, 5, 14, QColor(255, 0, 0));
    painter.fillRect(5, 1, 5, 14, QColor(0, 0, 255));
    painter.fillRect(10, 1, 5, 14, QColor(255, 255, 0));
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 1, 15, 13);
    return pixmap;
}

}  // namespace ui::images
