#pragma once
// Scripted stand-ins for message boxes, the wait pointer and the file dialogs.

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "ui/StdDialoge.hpp"
#include "ui/UiSeam.hpp"

class QWidget;

namespace testsupport {

// Records every message box and pointer change; answers from a queue (Ok when it is empty).
class FakeSeam : public ui::UiSeam {
public:
    QMessageBox::StandardButton message(QWidget* owner, const ui::MessageRequest& request) override;
    void setWaitCursor(bool on) override;

    std::vector<ui::MessageRequest> shown;
    std::deque<QMessageBox::StandardButton> answers;
    // Every change of the wait pointer, in order (true: hourglass on).
    std::vector<bool> cursorChanges;
    bool waitCursorOn = false;
};

// Installs itself as the file dialog for its lifetime. Each dialog takes the next queued path
// (a full path; "" means cancel) and is recorded.
class FakePicker {
public:
    FakePicker();
    ~FakePicker();
    FakePicker(const FakePicker&) = delete;
    FakePicker& operator=(const FakePicker&) = delete;

    std::deque<QString> answers;
    std::vector<StdDialoge::Request> requests;
};

// Clicks the left mouse button in the middle of `widget` (or at `x`,`y` inside it).
void click(QWidget* widget);
void clickAt(QWidget* widget, int x, int y);

}  // namespace testsupport
