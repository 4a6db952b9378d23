#pragma once
// How a long operation keeps the window alive without slowing itself down. The operation reports
// progress after every step (a fragment, a block read); only when the time budget is due are the
// displays brought up to date and the event loop served, and Qt then paints all that changed at once.

#include <QElapsedTimer>
#include <functional>
#include <utility>

namespace ui {

class ProgressPacer {
  public:
    // About 33 turns of the event loop a second: more than the 25 repaints a second that look fluid,
    // far from the 100 ms after which a window feels frozen.
    static constexpr qint64 budgetMs = 30;

    // `refresh` brings the displays up to date with the latest progress; it runs only when due.
    explicit ProgressPacer(std::function<void()> refresh = {}) : refresh_(std::move(refresh)) {}

    // Progress happened. At the first call, and then once the budget has passed since the last turn,
    // refreshes the displays and serves the event loop.
    void progress();
    // Refreshes the displays when progress happened since they were last refreshed: the end of the
    // work, a failure included, shows the latest step.
    void catchUp();

  private:
    std::function<void()> refresh_;
    QElapsedTimer sinceLastTurn_;
    bool behind_ = false;
};

}  // namespace ui
