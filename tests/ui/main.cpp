// Window tests run on Qt's offscreen platform with one QApplication for the whole run, which must not
// end when a test closes the last window.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/application.hpp"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    ui::prepareApplication(app);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
