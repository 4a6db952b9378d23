// Window tests run on Qt's offscreen platform with one QApplication for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/application.hpp"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    ui::prepareApplication(app);
    // Tests close windows one after another; the run must not end with the first.
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
