#include "ProgressPacer.hpp"

#include <QCoreApplication>

namespace ui {

void ProgressPacer::progress() {
    behind_ = true;
    if (sinceLastTurn_.isValid() && sinceLastTurn_.elapsed() < budgetMs) {
        return;
    }
    catchUp();
    QCoreApplication::processEvents();
    // Counted from the end of the turn: however long a paint takes, the work gets its share.
    sinceLastTurn_.start();
}

void ProgressPacer::catchUp() {
    if (behind_ && refresh_) {
        refresh_();
    }
    behind_ = false;
}

}  // namespace ui
