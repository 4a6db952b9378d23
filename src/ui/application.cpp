#include "application.hpp"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

#include "dodiveverazed/project.hpp"

namespace ui {

void prepareApplication(QApplication& app) {
    // The desktop file name ties the window to its desktop entry and icon (the Wayland app id).
    QApplication::setApplicationName(QStringLiteral("Dodiveverazed"));
    QApplication::setApplicationVersion(QString::fromLatin1(dodiveverazed::version));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(dodiveverazed::applicationId));

    // The interface is German whatever the system language, so the standard buttons must be too.
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    } else {
        delete translator;
    }

    // The layout was measured in these Windows fonts; the Liberation fonts have the same metrics.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));

    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    QApplication::setFont(font);
}

}  // namespace ui
