#include "ClickablePicture.hpp"

#include <QEvent>
#include <QMouseEvent>

namespace ui {

ClickablePicture::ClickablePicture(QWidget* parent) : QLabel(parent) {}

void ClickablePicture::setPicture(const QIcon& picture) {
    picture_ = picture;
    showPicture();
}

void ClickablePicture::showPicture() {
    if (!picture_.isNull()) {
        setPixmap(picture_.pixmap(size(), devicePixelRatioF()));
    }
}

bool ClickablePicture::event(QEvent* event) {
    const bool handled = QLabel::event(event);
    if (event->type() == QEvent::ScreenChangeInternal || event->type() == QEvent::Resize) {
        showPicture();
    }
    return handled;
}

void ClickablePicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint())) {
        event->accept();
        emit clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

}  // namespace ui
