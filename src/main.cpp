#include <QApplication>

#include "ui/application.hpp"
#include "ui/frmTessaron.hpp"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ui::prepareApplication(app);
    auto* window = new frmTessaron;
    window->show();
    return QApplication::exec();
}
