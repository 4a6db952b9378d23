#pragma once
// Application-wide set-up shared by the program and the window tests.

class QApplication;

namespace ui {

// Sets the application's name, version and desktop file name, loads Qt's German translations and maps the
// layout's fonts to metric-compatible free fonts.
void prepareApplication(QApplication& app);

}  // namespace ui
