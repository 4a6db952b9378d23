#include "Layout.hpp"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <cmath>

namespace ui::layout {

namespace {

constexpr const char* sizedToTextProperty = "dodiveverazedSizedToText";
constexpr const char* rightEdgeProperty = "dodiveverazedRightEdge";

}  // namespace

QFont font(const FontSpec& wanted) {
    QFont result(QString::fromLatin1(wanted.family));
    result.setPointSizeF(wanted.points);
    result.setBold(wanted.bold);
    result.setItalic(wanted.italic);
    if (wanted.stretch != 100) {
        result.setStretch(wanted.stretch);
    }
    if (wanted.fixedPitch) {
        result.setStyleHint(QFont::TypeWriter);
    }
    return result;
}

QPalette lightPalette() {
    // Qt derives the rest from the button colour: black text, white fields.
    return QPalette(QColor(240, 240, 240));
}

void setColour(QWidget* widget, QPalette::ColorRole role, QRgb colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, QColor(colour));
    widget->setPalette(palette);
}

void setListColours(QWidget* list) {
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, QColor(255, 254, 219));
    palette.setColor(QPalette::Text, QColor(blue));
    list->setPalette(palette);
}

void sizeToText(QLabel* label) {
    label->setProperty(sizedToTextProperty, true);
    if (label->alignment() & Qt::AlignRight) {
        label->setProperty(rightEdgeProperty, label->x() + label->width());
    }
}

void setCaption(QLabel* label, const QString& text) {
    label->setText(text);
    if (!label->property(sizedToTextProperty).toBool()) {
        return;
    }
    const int width = label->sizeHint().width();
    const QVariant rightEdge = label->property(rightEdgeProperty);
    if (rightEdge.isValid()) {
        label->setGeometry(rightEdge.toInt() - width, label->y(), width, label->height());
    } else {
        label->resize(width, label->height());
    }
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize outer = window->frameGeometry().size();
    window->move(area.left() + static_cast<int>(std::floor((area.width() - outer.width()) / 2.0)),
                 area.top() + static_cast<int>(std::floor((area.height() - outer.height()) / 2.0)));
}

}  // namespace ui::layout
