#pragma once
// Scripted stand-ins for message boxes, the wait pointer and the file dialogs.

#include <QMessageBox>
#include <QTest>
#include <QWidget>
#include <vector>

#include "ui/StdDialoge.hpp"
#include "ui/UiSeam.hpp"

namespace testsupport {

// Records every message box and pointer change; answers from a queue (Ok when it is empty). Stands in
// for the real ones for its lifetime, also where no window is given it (the file dialogs).
class FakeSeam : public ui::UiSeam {
  public:
    FakeSeam() { ui::setDefaultSeam(this); }
    ~FakeSeam() override { ui::setDefaultSeam(nullptr); }
    FakeSeam(const FakeSeam&) = delete;
    FakeSeam& operator=(const FakeSeam&) = delete;

    QMessageBox::StandardButton message(QWidget*, const ui::MessageRequest& request) override {
        shown.push_back(request);
        return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
    }
    void setWaitCursor(bool on) override { cursorChanges.push_back(on); }

    std::vector<ui::MessageRequest> shown;
    QList<QMessageBox::StandardButton> answers;
    // Every change of the wait pointer, in order (true: hourglass on).
    std::vector<bool> cursorChanges;
};

// Installs itself as the file dialog for its lifetime. Each dialog takes the next queued path
// (a full path; "" means cancel) and is recorded.
class FakePicker {
  public:
    FakePicker() {
        StdDialoge::setPicker([this](const StdDialoge::Request& request) {
            requests.push_back(request);
            return answers.isEmpty() ? QString() : answers.takeFirst();
        });
    }
    ~FakePicker() { StdDialoge::setPicker({}); }
    FakePicker(const FakePicker&) = delete;
    FakePicker& operator=(const FakePicker&) = delete;

    QStringList answers;
    std::vector<StdDialoge::Request> requests;
};

// Clicks the left mouse button in the middle of `widget`.
inline void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
}

}  // namespace testsupport
