#pragma once
// Marks the main window busy while a split, join, checksum or deletion yields to the event loop. A close
// requested meanwhile is deferred until the operation has left its handler.

#include <QTimer>

#include "frmTessaron.hpp"

class frmTessaron::BusyGuard {
  public:
    explicit BusyGuard(frmTessaron& window) : window_(window) { window_.busy_ = true; }
    ~BusyGuard() {
        window_.busy_ = false;
        if (window_.closeWhenIdle_) {
            window_.closeWhenIdle_ = false;
            // Later, so that the handler that owns this guard has returned before the window goes.
            QTimer::singleShot(0, &window_, &QWidget::close);
        }
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

  private:
    frmTessaron& window_;
};
