#include "UiSeam.hpp"

#include <QApplication>

namespace ui {

QMessageBox::StandardButton UiSeam::message(QWidget* owner, const MessageRequest& request) {
    QMessageBox box(request.icon, request.title, request.text, request.buttons, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    return clicked ? box.standardButton(clicked) : QMessageBox::NoButton;
}

void UiSeam::setWaitCursor(bool on) {
    // Counts the pointers set here so that a stray "off" cannot pop one that belongs to someone else.
    static int depth = 0;
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++depth;
    } else if (depth > 0) {
        --depth;
        QApplication::restoreOverrideCursor();
    }
}

namespace {

UiSeam*& replacedSeam() {
    static UiSeam* seam = nullptr;
    return seam;
}

}  // namespace

UiSeam& defaultSeam() {
    static UiSeam seam;
    return replacedSeam() ? *replacedSeam() : seam;
}

void setDefaultSeam(UiSeam* seam) {
    replacedSeam() = seam;
}

}  // namespace ui
