#pragma once
// Application-wide set-up shared by the program and the window tests.

class QApplication;

namespace ui {

// Sets the application's name, version and desktop file name, loads Qt's German translations and maps the
// layout's fonts to metric-compatible free fonts.
void prepareApplication(QApplication& app);

// While on (around the QApplication's construction): where Qt finds no display to open the window on, the
// program ends with status 1 and a German message that names the console commands, instead of Qt's abort.
void catchMissingDisplay(bool on);

}  // namespace ui
