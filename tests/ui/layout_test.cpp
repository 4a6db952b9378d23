// The main window as it starts and as the user sees it: start state, tab order, stacking, resizing, hints
// and ending; and the help window.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScopeGuard>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "SplitFixture.hpp"
#include "ui/ClickablePicture.hpp"
#include "ui/Layout.hpp"
#include "ui/frmInfo.hpp"

namespace {

using MainWindow = testsupport::SplitWindowTest;
using testsupport::click;
using ui::layout::px;

// Centred within the few pixels of a frame that is only known once the window is on the screen.
void expectCentred(const QWidget& window) {
    const QPoint off =
        window.frameGeometry().center() - QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE(std::max(std::abs(off.x()), std::abs(off.y())), 3) << off.x() << "," << off.y();
}

TEST(Layout, TwipsRoundToTheNearestPixelOnBothSidesOfZero) {
    EXPECT_EQ(std::tuple(px(7), px(8), px(5835)), std::tuple(0, 1, 389));
    EXPECT_EQ(std::tuple(px(-7), px(-8), px(-120)), std::tuple(0, -1, -8));
}

TEST_F(MainWindow, StartsCentredAndEmptyWithTheFocusOnTheSourceButton) {
    EXPECT_EQ(window.windowTitle(), "Dodiveverazed (für Dateien bis max. 2 GByte)");
    EXPECT_EQ(window.size(), QSize(389, 385));
    EXPECT_EQ(entries("List1") + entries("List2"), QStringList());
    EXPECT_EQ(texts({"Text1", "Text2", "Label5", "Label8", "Label12", "Label14", "Label15"}),
              " |  |  |  |  |  | ");
    EXPECT_EQ(
        std::pair(control<QCheckBox>("Check1")->isChecked(), control<QComboBox>("Combo1")->currentText()),
        std::pair(false, QString("1420")));

    // Everything is usable but the join, its icon and the deletion; only the file list is never shown.
    QStringList disabled, hidden;
    for (const QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isEnabled()) {
            disabled << child->objectName();
        }
        if (child->isHidden()) {
            hidden << child->objectName();
        }
    }
    disabled.sort();
    EXPECT_EQ(disabled, (QStringList{"Command2", "Command4", "Picture2"}));
    EXPECT_EQ(hidden, QStringList{"File1"});

    expectCentred(window);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>("Command3"));
}

TEST_F(MainWindow, TabWalksTheControlsInTabIndexOrder) {
    // The two buttons that start disabled are skipped until enabled; the hidden file list never comes.
    control<QWidget>("Command4")->setEnabled(true);
    control<QWidget>("Command2")->setEnabled(true);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    control<QWidget>("Text1")->setFocus();
    QStringList seen;
    for (int i = 0; i < 16; ++i) {
        ASSERT_NE(QApplication::focusWidget(), nullptr) << i;
        seen << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(seen, (QStringList{"Text1", "Command1", "Command3", "Combo1", "List1", "Command4", "Command5",
                                 "Command6", "Command2", "Check1", "List2", "Command7", "Text2", "Command8",
                                 "Text1", "Command1"}));
}

TEST_F(MainWindow, ControlsLieAboveTheCaptionsAndTheIconsAboveTheirButtons) {
    // The direct child of the window that the mouse meets at `point`.
    const auto topmostAt = [&](QPoint point) {
        QWidget* hit = window.childAt(point);
        while (hit && hit->parentWidget() != &window) {
            hit = hit->parentWidget();
        }
        return hit;
    };
    const auto isCaption = [](const QWidget* widget) {
        return qobject_cast<const QLabel*>(widget) && !qobject_cast<const ui::ClickablePicture*>(widget);
    };
    const auto children = window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* caption : children) {
        if (!isCaption(caption)) {
            continue;
        }
        for (QWidget* other : children) {
            const QRect overlap = caption->geometry() & other->geometry();
            if (!isCaption(other) && other->isVisible() &&
                !other->testAttribute(Qt::WA_TransparentForMouseEvents) && !overlap.isEmpty()) {
                EXPECT_EQ(topmostAt(overlap.center()), other) << qPrintable(caption->objectName());
            }
        }
    }
    for (const char* icon : {"Picture1", "Picture2"}) {
        EXPECT_EQ(topmostAt(control<QWidget>(icon)->geometry().center()), control<QWidget>(icon)) << icon;
    }

    // New captions: the size lines grow to their text, the set's total keeps its right edge.
    prepare("Beispiel.dat", 2148);
    split();
    for (const char* name : {"Label9", "Label10", "Label11", "Label6", "Label12"}) {
        auto* label = control<QLabel>(name);
        EXPECT_EQ(label->width(), label->sizeHint().width()) << name;
    }
    EXPECT_EQ(std::pair(control<QWidget>("Label9")->x(), control<QWidget>("Label12")->geometry().right() + 1),
              std::pair(px(120), px(5730)));
}

TEST_F(MainWindow, ListsFollowTheWindowWidth) {
    auto* list1 = control<QWidget>("List1");
    auto* list2 = control<QWidget>("List2");
    const auto widthsAt = [&](int width) {
        window.resize(width, 385);
        return std::pair(list1->width(), list2->width());
    };
    EXPECT_EQ(widthsAt(389), std::pair(141, 141));
    EXPECT_EQ(widthsAt(449), std::pair(201, 201));
    // Narrower than the margin measured at load: List1 keeps its width and List2 follows it.
    list2->resize(100, list2->height());
    EXPECT_EQ(widthsAt(200), std::pair(201, 201));
    EXPECT_EQ(widthsAt(349), std::pair(101, 101));
    EXPECT_EQ(list1->geometry(), QRect(px(3600), px(3480), 101, px(1230)));
}

TEST_F(MainWindow, StatusHintsAndTooltipsFollowTheMouse) {
    const auto moveOver = [&](const char* name) {
        QTest::mouseMove(&window, control<QWidget>(name)->geometry().center());
    };
    // A hint shows over its control; bare surface, a shape's frame and a disabled button empty the line;
    // some controls keep it. Each comes from a control with a hint, so that keeping and emptying show.
    const QString end = "Beendet das Programm.", source = "Zeigt Name und Pfad der zu splittenden Datei.";
    const auto hintAt = [&](QPoint point) {
        moveOver("Command6");
        QTest::mouseMove(&window, point);
        return text("Label8");
    };
    EXPECT_EQ(hintAt(control<QWidget>("Command1")->geometry().center()),
              "Zerlegt die ausgewählte Datei in Dateifragmente.");
    EXPECT_EQ(hintAt(QPoint(300, 15)), "");  // between the title and the credit
    EXPECT_EQ(hintAt(control<QWidget>("Shape1")->geometry().topLeft() + QPoint(0, 40)), "");
    const std::pair<const char*, QString> hints[] = {{"Text1", source}, {"Command5", end}, {"Combo1", end},
                                                     {"Label4", end},   {"Picture1", end}, {"Command4", ""}};
    for (const auto& [name, hint] : hints) {
        EXPECT_EQ(hintAt(control<QWidget>(name)->geometry().center()), hint) << name;
    }
    control<QWidget>("Command4")->setEnabled(true);
    EXPECT_EQ(hintAt(control<QWidget>("Command4")->geometry().center()),
              "Die Dateifragmente werden zusammengefügt.");

    const QString path = "/ein/sehr/langer/Pfad/zu/einer/Datei/mit/langem/Namen/Beispiel.dat";
    control<QLineEdit>("Text1")->setText(path);
    control<QLineEdit>("Text2")->setText(path + "._001");
    moveOver("Text1");
    EXPECT_EQ(control<QWidget>("Text1")->toolTip(), path);
    moveOver("Text2");
    EXPECT_EQ(control<QWidget>("Text2")->toolTip(), path + "._001");
    EXPECT_EQ(text("Label8"), source);  // left as Text1 set it
}

TEST(Application, StandardButtonsReadGerman) {
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QStringList captions;
    for (auto button : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
        captions << box.button(button)->text().remove(QLatin1Char('&'));
    }
    EXPECT_EQ(captions.join(QLatin1Char('|')), QStringLiteral("OK|Ja|Nein|Abbrechen"));
}

TEST_F(MainWindow, EndDiscardsTheWindowAndLeavesTheHelpWindowOpen) {
    click(control<QPushButton>("Command5"));
    click(control<QPushButton>("Command6"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(ownWindow.isNull());
    EXPECT_TRUE(fake.shown.empty());
    ASSERT_TRUE(frmInfo::instance() && frmInfo::instance()->isVisible());
    frmInfo::instance()->findChild<QPushButton*>("Command1")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmInfo::instance(), nullptr);
}

// The help text, its lines joined by line ends; blanks at either end and the empty lines are part of it.
const char* const helpText =
    "       *** Datei splitten ***\nEine Datei, z.B. die Datei Beispiel.dat, kann\n"
    "in kleinere Dateien (Dateifragmente)zerlegt\nwerden. Die Fragmentgröße ist frei wählbar.\n"
    "Die Dateinamen der Dateifragmente werden durch-\nnummeriert.\n\n          Beispiel.dat._001\n"
    "          Beispiel.dat._002\n          Beispiel.dat._003\n                 ...\n"
    "          Beispiel.dat._nnn\n\nDie Anzahl der Fragmente ist abhängig von der\n"
    "Dateigröße und der gewählten Fragmentgröße.\nDie Anzahl der Fragmente darf nicht > 999 werden.\n"
    "Um die Dateifragmente auch ohne das Programm\nzusammenfügen zu können, kann eine Batchdatei\n"
    "erzeugt werden.\n\n    *** Zusammenfügen mit diesem Programm ***\n"
    "Zuerst ist das erste Dateifragment (*._001) der\n"
    "Datei, die zusammengefügt werden soll, auszuwählen.\n"
    "In der unteren Dateifragmentliste werden dann\nalle benötigten Dateifragmente angezeigt. \n"
    "Befinden sich in der Dateifragmentliste nicht\nbenötigte Dateifragmente (z.B. Fragmente von \n"
    "früheren Splittungen), müssen diese mit einem \nDoppelClick aus der Liste entfernt werden.\n"
    "Nach Click auf \"Dateifragmente zusammenfügen\",\nwerden dann alle Dateifragmente der unteren \n"
    "Dateifragmentliste zu einer Datei zusammengefügt.\n\n"
    "      *** Zusammenfügen mit Batchdatei ***\nWurde beim Splitten eine Batchdatei erzeugt, \n"
    "können die Dateifragmente auch ohne dieses \nProgramm zusammengefügt werden.\n"
    "Die Dateifragmente und die Batchdatei werden in\n"
    "ein gemeinsames Verzeichnis kopiert. Dann wird\ndie Batchdatei gestartet. Die Dateifragmente\n"
    "werden zusammengefügt.\n\nZur Kontrolle kann die CRC32 Prüfsumme für die\n"
    "zu splittende und die zusammengefügte Datei er-\n"
    "mittelt werden. CRC steht für \"cyclic-redundancy- \ncheck\" (Zyklische Redundanz-Überprüfung)";

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
    QStringList lines;
    for (int i = 0; i < list()->count(); ++i) {
        lines << list()->item(i)->text();
    }
    EXPECT_EQ(lines.join('\n'), QString::fromUtf8(helpText));
    EXPECT_EQ(std::pair(list()->currentRow(), ok()->text()), std::pair(-1, QString("ok")));

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
    expectCentred(*first);

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
