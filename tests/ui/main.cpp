// One QApplication for the whole run, German, which must not end when a test closes the last window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include "ui/ProgressPacer.hpp"
#include "ui/application.hpp"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    ui::prepareApplication(app);
    QApplication::setQuitOnLastWindowClosed(false);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    return RUN_ALL_TESTS();
}

// Shown at the first step, not again within the budget, again after it; the end catches up an unshown step.
TEST(ProgressPacer, FirstStepThenOncePerBudget) {
    using ui::ProgressPacer;
    for (int attempt = 0; attempt < 20; ++attempt) {
        int refreshes = 0, served = 0;
        ProgressPacer pacer([&refreshes] { ++refreshes; });
        const auto step = [&] {
            QMetaObject::invokeMethod(
                qApp, [&served] { ++served; }, Qt::QueuedConnection);
            pacer.progress();
            return std::pair(refreshes, served);
        };
        QElapsedTimer clock;  // started before the pacer's, which starts inside the first step
        clock.start();
        const auto first = step(), second = step();
        if (clock.elapsed() >= ProgressPacer::budgetMs) {
            continue;  // the machine stalled: within the budget cannot be told apart
        }
        EXPECT_EQ(std::pair(first, second), std::pair(std::pair(1, 1), std::pair(1, 1)));
        pacer.catchUp();
        pacer.catchUp();
        EXPECT_EQ(refreshes, 2);
        QTest::qSleep(ProgressPacer::budgetMs + 1);
        EXPECT_EQ(step(), std::pair(3, 3));
        return;
    }
    GTEST_SKIP() << "no two steps within " << ui::ProgressPacer::budgetMs << " ms";
}
