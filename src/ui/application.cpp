#include "application.hpp"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

#include "dodiveverazed/project.hpp"
#include "texts/texts.hpp"

namespace ui {

namespace {
QtMessageHandler beforeStart = nullptr;

void missingDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (beforeStart) {
            beforeStart(type, context, message);
        } else {
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
        }
        return;
    }
    // Qt's reason first (it names the platform), then what the user can do.
    std::fprintf(stderr, "%s\n%s\n", message.section(QLatin1Char('\n'), 0, 0).toLocal8Bit().constData(),
                 texts::utf8::noDisplay.c_str());
    std::_Exit(1);
}
}  // namespace

void catchMissingDisplay(bool on) {
    if (on) {
        beforeStart = qInstallMessageHandler(missingDisplay);
    } else {
        qInstallMessageHandler(beforeStart);
    }
}

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
