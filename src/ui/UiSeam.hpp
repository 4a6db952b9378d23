#pragma once
// Message boxes and the wait cursor of the windows go through here, so that tests can replace them
// by a fake that records what was shown and answers what the test queued.

#include <QMessageBox>
#include <QString>

namespace ui {

// One message box as the window asks for it.
struct MessageRequest {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

class UiSeam {
  public:
    virtual ~UiSeam() = default;
    // Shows a modal message box owned by `owner` and returns the button the user chose.
    virtual QMessageBox::StandardButton message(QWidget* owner, const MessageRequest& request);
    // Switches the application-wide wait (hourglass) pointer on or off.
    virtual void setWaitCursor(bool on);
};

// The seam of every window that is not given another one, and of the file dialogs: the real message
// boxes and pointer unless a test has put another one in their place.
UiSeam& defaultSeam();
// Makes `seam` the default seam (tests); null brings back the real one.
void setDefaultSeam(UiSeam* seam);

// Wait pointer for the lifetime of the guard; restored on every way out.
class WaitCursor {
  public:
    explicit WaitCursor(UiSeam& seam) : seam_(seam) { seam_.setWaitCursor(true); }
    ~WaitCursor() { seam_.setWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    UiSeam& seam_;
};

}  // namespace ui
