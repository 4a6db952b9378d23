#include "Images.hpp"

#include <QApplication>
#include <QFont>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

namespace ui::images {

namespace {

// Paints a picture into a square of `units` x `units`. Edges lie on whole units, so the picture is
// pixel-exact at its design size and keeps sharp edges when scaled up.
using Drawing = void (*)(QPainter& painter);

// An icon that draws its picture afresh for every size asked for, in device pixels.
class DrawnIcon : public QIconEngine {
  public:
    DrawnIcon(Drawing drawing, int units) : drawing_(drawing), units_(units) {}

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.scale(size.width() / static_cast<qreal>(units_),
                          size.height() / static_cast<qreal>(units_));
            drawing_(painter);
        }
        QPixmap result = QPixmap::fromImage(image);
        if (mode != QIcon::Normal) {
            QStyleOption option;
            option.palette = QApplication::palette();
            result = QApplication::style()->generatedIconPixmap(mode, result, &option);
        }
        return result;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap picture = pixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state);
        picture.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, picture);
    }

    QIconEngine* clone() const override { return new DrawnIcon(drawing_, units_); }

  private:
    Drawing drawing_;
    int units_;
};

QIcon drawn(Drawing drawing, int units) {
    return QIcon(new DrawnIcon(drawing, units));
}

// An outlined box: `outline` one unit wide around a `fill` inside.
void box(QPainter& painter, const QRect& outer, const QColor& outline, const QColor& fill) {
    painter.fillRect(outer, outline);
    painter.fillRect(outer.adjusted(1, 1, -1, -1), fill);
}

const QColor yellow(255, 255, 0);
const QColor olive(128, 128, 0);

void drawTiles(QPainter& painter) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(9);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int place = 0; place < 8; ++place) {
        const QRect tile((place % 3) * 11, (place / 3) * 11, 10, 10);
        box(painter, tile, olive, yellow);
        painter.drawText(tile, Qt::AlignCenter, QString::number(place + 1));
    }
}

void drawFolder(QPainter& painter) {
    box(painter, QRect(1, 2, 7, 4), olive, yellow);
    box(painter, QRect(1, 4, 14, 10), olive, yellow);
    painter.fillRect(QRect(2, 6, 12, 1), QColor(255, 255, 192));
}

void drawQuestion(QPainter& painter) {
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
}

void drawSplitOverlay(QPainter& painter) {
    box(painter, QRect(0, 1, 5, 14), Qt::black, QColor(255, 0, 0));
    box(painter, QRect(6, 1, 5, 14), Qt::black, QColor(0, 192, 0));
    box(painter, QRect(11, 1, 5, 14), Qt::black, QColor(0, 0, 255));
}

void drawJoinOverlay(QPainter& painter) {
    painter.fillRect(QRect(0, 1, 16, 14), Qt::black);
    painter.fillRect(QRect(1, 2, 4, 12), QColor(255, 0, 0));
    painter.fillRect(QRect(5, 2, 5, 12), QColor(0, 0, 255));
    painter.fillRect(QRect(10, 2, 5, 12), yellow);
}

}  // namespace

QIcon windowIcon() {
    return drawn(drawTiles, 32);
}

QIcon folder() {
    return drawn(drawFolder, 16);
}

QIcon question() {
    return drawn(drawQuestion, 16);
}

QIcon splitOverlay() {
    return drawn(drawSplitOverlay, 16);
}

QIcon joinOverlay() {
    return drawn(drawJoinOverlay, 16);
}

}  // namespace ui::images
