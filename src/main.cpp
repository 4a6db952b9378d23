#include <QApplication>

#include "cli/cli.hpp"
#include "ui/Utf8.hpp"
#include "ui/application.hpp"
#include "ui/frmTessaron.hpp"

int main(int argc, char* argv[]) {
    // A command runs before any QApplication exists, so it needs no display.
    const std::vector<std::string> args = cli::arguments(argc, argv);
    const cli::Launch launch = cli::launchFor(args);
    if (!launch.window) {
        return cli::runInProcess(args, cli::processConsole("dodiveverazed", true));
    }
    ui::catchMissingDisplay(true);
    QApplication app(argc, argv);
    ui::catchMissingDisplay(false);
    ui::prepareApplication(app);
    auto* window = new frmTessaron;
    window->show();
    if (launch.file) {
        window->chooseFile(ui::fromUtf8(*launch.file));
    }
    return QApplication::exec();
}
