// The help window: its 46 lines and the one-window rules of opening, closing and reopening it.
#include <QApplication>
#include <QPointer>
#include <QScopeGuard>
#include <QScreen>

#include "SplitFixture.hpp"
#include "ui/frmInfo.hpp"

namespace {

// The help text, one entry a line; blanks at either end and the empty lines are part of it.
const char* const helpText[] = {
    "       *** Datei splitten ***",
    "Eine Datei, z.B. die Datei Beispiel.dat, kann",
    "in kleinere Dateien (Dateifragmente)zerlegt",
    "werden. Die Fragmentgröße ist frei wählbar.",
    "Die Dateinamen der Dateifragmente werden durch-",
    "nummeriert.",
    "",
    "          Beispiel.dat._001",
    "          Beispiel.dat._002",
    "          Beispiel.dat._003",
    "                 ...",
    "          Beispiel.dat._nnn",
    "",
    "Die Anzahl der Fragmente ist abhängig von der",
    "Dateigröße und der gewählten Fragmentgröße.",
    "Die Anzahl der Fragmente darf nicht > 999 werden.",
    "Um die Dateifragmente auch ohne das Programm",
    "zusammenfügen zu können, kann eine Batchdatei",
    "erzeugt werden.",
    "",
    "    *** Zusammenfügen mit diesem Programm ***",
    "Zuerst ist das erste Dateifragment (*._001) der",
    "Datei, die zusammengefügt werden soll, auszuwählen.",
    "In der unteren Dateifragmentliste werden dann",
    "alle benötigten Dateifragmente angezeigt. ",
    "Befinden sich in der Dateifragmentliste nicht",
    "benötigte Dateifragmente (z.B. Fragmente von ",
    "früheren Splittungen), müssen diese mit einem ",
    "DoppelClick aus der Liste entfernt werden.",
    "Nach Click auf \"Dateifragmente zusammenfügen\",",
    "werden dann alle Dateifragmente der unteren ",
    "Dateifragmentliste zu einer Datei zusammengefügt.",
    "",
    "      *** Zusammenfügen mit Batchdatei ***",
    "Wurde beim Splitten eine Batchdatei erzeugt, ",
    "können die Dateifragmente auch ohne dieses ",
    "Programm zusammengefügt werden.",
    "Die Dateifragmente und die Batchdatei werden in",
    "ein gemeinsames Verzeichnis kopiert. Dann wird",
    "die Batchdatei gestartet. Die Dateifragmente",
    "werden zusammengefügt.",
    "",
    "Zur Kontrolle kann die CRC32 Prüfsumme für die",
    "zu splittende und die zusammengefügte Datei er-",
    "mittelt werden. CRC steht für \"cyclic-redundancy- ",
    "check\" (Zyklische Redundanz-Überprüfung)",
};

TEST(HelpWindow, ShowsTheFortySixLinesOpensOnceReloadsAfterTheCloseBoxAndOkDiscardsIt) {
    const auto closeHelp = qScopeGuard([] {
        delete frmInfo::instance();
        frmInfo::instance() = nullptr;
    });
    const auto list = [] { return frmInfo::instance()->findChild<QListWidget*>("List1"); };
    const auto ok = [] { return frmInfo::instance()->findChild<QPushButton*>("Command1"); };
    frmInfo::open();
    QPointer<frmInfo> first = frmInfo::instance();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first));
    EXPECT_EQ(first->windowTitle(), "Dodiveverazed - Info");
    EXPECT_EQ(first->size(), QSize(403, 360));
    ASSERT_EQ(list()->count(), 46);
    for (int i = 0; i < 46; ++i) {
        EXPECT_EQ(list()->item(i)->text(), QString::fromUtf8(helpText[i])) << "line " << i + 1;
    }

    EXPECT_EQ(list()->currentRow(), -1);
    EXPECT_EQ(
        std::tuple(list()->geometry(), list()->font().family(), list()->palette().color(QPalette::Base),
                   list()->palette().color(QPalette::Text)),
        std::tuple(QRect(8, 28, 381, 284), QString("Courier New"), QColor(255, 254, 219), QColor(0, 0, 255)));
    EXPECT_EQ(std::pair(ok()->text(), ok()->geometry()), std::pair(QString("ok"), QRect(172, 328, 73, 21)));

    first->move(first->pos() + QPoint(30, 20));
    const QPoint moved = first->pos();
    list()->setCurrentRow(4);
    frmInfo::open();
    EXPECT_EQ(std::tuple(frmInfo::instance(), list()->count(), list()->currentRow(), first->pos()),
              std::tuple(first.data(), 46, 4, moved));

    // The close box hides the window; the reference stays and the next opening loads it afresh.
    first->close();
    EXPECT_EQ(std::pair(frmInfo::instance(), first->isVisible()), std::pair(first.data(), false));
    frmInfo::open();
    EXPECT_EQ(std::tuple(frmInfo::instance(), first->isVisible(), list()->count(), list()->currentRow()),
              std::tuple(first.data(), true, 46, -1));
    // Centred within the few pixels of a frame that is only known once the window is on the screen.
    const QPoint offCentre =
        first->frameGeometry().center() - QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE(std::max(std::abs(offCentre.x()), std::abs(offCentre.y())), 3)
        << offCentre.x() << offCentre.y();

    // "ok" has the focus, so Enter drops the reference and discards the window.
    frmInfo::open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(first));
    EXPECT_EQ(QApplication::focusWidget(), ok());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmInfo::instance(), nullptr);
    EXPECT_TRUE(first.isNull());
}

}  // namespace
