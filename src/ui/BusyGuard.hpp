#pragma once
// Marks the main window busy while a split, join, checksum or deletion yields to the event loop. A close
// requested meanwhile is deferred until the operation has left its handler. A split, join or checksum can
// be stopped meanwhile: Escape asks whether to, closing the window does at once.

#include <QShortcut>
#include <QTimer>
#include <exception>

#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "frmTessaron.hpp"

class frmTessaron::BusyGuard {
  public:
    // Whether the operation stops at its next block when asked to, or always runs to its end.
    enum class Stop { OnRequest, Never };

    BusyGuard(frmTessaron& window, Stop stop) : window_(window) {
        window_.busy_ = true;
        window_.stopKey_->setEnabled(stop == Stop::OnRequest);
        fileio::clearCancel();
    }
    ~BusyGuard() {
        window_.busy_ = false;
        window_.stopKey_->setEnabled(false);
        if (window_.closeWhenIdle_) {
            window_.closeWhenIdle_ = false;
            // Later, so that the handler that owns this guard has returned before the window goes.
            QTimer::singleShot(0, &window_, &QWidget::close);
        }
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

    // True when `failure` is the stop the user asked for, which the window shows without a message box.
    static bool stoppedOnRequest(const std::exception_ptr& failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const fileio::FileError& error) {
            return error.code() == fileio::Errc::Cancelled;
        } catch (...) {
            return false;
        }
    }

  private:
    frmTessaron& window_;
};
