#include "FakeUi.hpp"

#include <QTest>
#include <QWidget>

namespace testsupport {

QMessageBox::StandardButton FakeSeam::message(QWidget*, const ui::MessageRequest& request) {
    shown.push_back(request);
    if (answers.empty()) {
        return QMessageBox::Ok;
    }
    const auto answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeSeam::setWaitCursor(bool on) {
    cursorChanges.push_back(on);
    waitCursorOn = on;
}

FakePicker::FakePicker() {
    StdDialoge::setPicker([this](const StdDialoge::Request& request) {
        requests.push_back(request);
        if (answers.empty()) {
            return QString();
        }
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    });
}

FakePicker::~FakePicker() { StdDialoge::setPicker({}); }

void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

void clickAt(QWidget* widget, int x, int y) { QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(x, y)); }

}  // namespace testsupport
