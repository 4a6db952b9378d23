// The window as the user sees it, captions and pictures with the real fonts (CTest runs DisplayScale once
// more at QT_SCALE_FACTOR=2), ending, and the help window.

#include <QAccessible>
#include <QApplication>
#include <QCryptographicHash>
#include <QFontMetricsF>
#include <QScreen>
#include <QStyle>

#include "FakeUi.hpp"
#include "ui/ClickablePicture.hpp"
#include "ui/frmInfo.hpp"

namespace testsupport {
namespace {

using MainWindow = WindowTest;
using DisplayScale = WindowTest;

// Centred within the few pixels of a frame that is only known once the window is on the screen.
void expectCentred(const QWidget& window) {
    const QPoint off =
        window.frameGeometry().center() - QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE(std::max(std::abs(off.x()), std::abs(off.y())), 3) << off.x() << "," << off.y();
}

// Starts centred and empty, with the focus on the source's button; the buttons that start disabled are
// skipped in the tab order until enabled, the hidden file list never comes. The icons lie above their
// buttons. Every control a screen reader cannot name by its caption has a name of its own, each a
// different one (the size box's through its text box). A hint shows over its control; bare surface and a
// disabled button empty the line. Typing in the size box never completes from its list ("1" is not
// "1420"), and the split uses what was typed.
TEST_F(MainWindow, StartTabOrderNamesHintsAndSizeBox) {
    EXPECT_EQ(win->windowTitle(), "Dodiveverazed (für Dateien bis max. 2 GByte)");
    EXPECT_EQ(texts({"Text1", "Text2", "Label5", "Label8", "Label12", "Label14", "Label15"}) +
                  entries("List1") + entries("List2") + control<QComboBox>("Combo1")->currentText() +
                  QString::number(control<QCheckBox>("Check1")->isChecked()),
              " |  |  |  |  |  | 14200");
    QStringList disabled, hidden, names;
    for (QWidget* child : win->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isEnabled()) {
            disabled << child->objectName();
        }
        if (child->isHidden()) {
            hidden << child->objectName();
        } else if (((child->focusPolicy() & Qt::TabFocus) || qobject_cast<ui::ClickablePicture*>(child)) &&
                   child->property("text").toString().isEmpty()) {
            auto* combo = qobject_cast<QComboBox*>(child);
            QWidget* spoken = combo ? combo->lineEdit() : child;
            names << QAccessible::queryAccessibleInterface(spoken)->text(QAccessible::Name);
            EXPECT_FALSE(names.back().isEmpty() || names.count(names.back()) > 1)
                << qPrintable(child->objectName());
        }
    }
    disabled.sort();
    EXPECT_EQ(disabled.join(",") + " " + hidden.join(",") + " " + QString::number(names.size()),
              "Command2,Command4,Picture2 File1 10");
    for (const char* icon : {"Picture1", "Picture2"}) {
        EXPECT_EQ(win->childAt(control(icon)->geometry().center()), control(icon)) << icon;
    }
    const auto hintAt = [&](const char* name) {
        QTest::mouseMove(win, control("Command6")->geometry().center());
        QTest::mouseMove(win, name ? control(name)->geometry().center() : QPoint(300, 15));
        return texts({"Label8"});
    };
    EXPECT_EQ(hintAt("Command1") + hintAt(nullptr) + hintAt("Command4") + hintAt("Picture1"),
              "Zerlegt die ausgewählte Datei in Dateifragmente.Beendet das Programm.");
    expectCentred(*win);
    win->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(win));
    control("Command4")->setEnabled(true);
    control("Command2")->setEnabled(true);
    QStringList seen;
    for (int i = 0; i < 15; ++i) {
        seen << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(seen.join(","),
              "Command3,Combo1,List1,Command4,Command5,Command6,Command2,Check1,List2,Command7,"
              "Text2,Command8,Text1,Command1,Command3");
    prepare("Beispiel.dat", 3000, "1420");
    auto* edit = control<QComboBox>("Combo1")->lineEdit();
    for (const QString typed : {"25", "1"}) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        EXPECT_EQ(edit->text() + edit->selectedText(), typed);
    }
    QTest::keyClick(edit, Qt::Key_Return);
    click("Command1");
    EXPECT_EQ(readFile(file("Beispiel.dat._001")).size(), 1024u);
}

// Each caption's text fits from its left edge to the nearest control on its right that overlaps it
// vertically (or the window's edge), and its own width; a check box's text ends at its box, a button's
// inside the button.
TEST_F(DisplayScale, EveryCaptionFitsItsRoom) {
    const double scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                             ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                             : 1.0;
    ASSERT_DOUBLE_EQ(win->devicePixelRatioF(), scale);
    const auto children = win->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    int checked = 0;
    for (QWidget* control : children) {
        const QString caption = control->property("text").toString();
        const bool checkBox = qobject_cast<QCheckBox*>(control), button = qobject_cast<QPushButton*>(control);
        if (caption.isEmpty() ||
            !(checkBox || button ||
              (qobject_cast<QLabel*>(control) && !qobject_cast<ui::ClickablePicture*>(control)))) {
            continue;
        }
        int right = button ? control->geometry().right() : win->width();
        for (const QWidget* other : children) {
            if (!button && other != control && other->isVisible() && other->x() > control->x() &&
                other->y() <= control->geometry().bottom() && control->y() <= other->geometry().bottom()) {
                right = std::min(right, other->x());
            }
        }
        if (checkBox) {
            right =
                control->geometry().right() + 1 - control->style()->pixelMetric(QStyle::PM_IndicatorWidth);
        }
        EXPECT_LE(QFontMetricsF(control->font()).horizontalAdvance(caption), right - control->x())
            << qPrintable(control->objectName());
        EXPECT_TRUE(checkBox || button || control->width() >= control->sizeHint().width())
            << qPrintable(control->objectName());
        ++checked;
    }
    EXPECT_EQ(checked, 18);
    EXPECT_EQ(QFontInfo(control("Label13")->font()).family() + QFontInfo(control("Label4")->font()).family(),
              "Liberation SansLiberation Serif");

    // 16 logical pixels are drawn at 16 device pixels per unit of scale, not a 16-pixel picture enlarged.
    const auto drawnAtScale = [&](const QPixmap& pixmap, int logical) {
        return std::tuple(pixmap.devicePixelRatio(), pixmap.size(), pixmap.deviceIndependentSize()) ==
               std::tuple(scale, QSize(logical, logical) * scale, QSizeF(logical, logical));
    };
    for (const char* name : {"Picture1", "Picture2"}) {
        EXPECT_TRUE(drawnAtScale(control<QLabel>(name)->pixmap(), 16)) << name;
    }
    for (const char* name : {"Command3", "Command5", "Command8"}) {
        auto* button = control<QPushButton>(name);
        EXPECT_TRUE(button->iconSize() == QSize(16, 16) &&
                    drawnAtScale(button->icon().pixmap(QSize(16, 16), scale), 16))
            << name;
    }
    EXPECT_TRUE(drawnAtScale(win->windowIcon().pixmap(QSize(32, 32), scale), 32));
}

// "End" discards the window and leaves the help window open. The help window: its 46 lines (their
// SHA-256, joined by line ends), none selected; a second opening only raises it; the close box hides it
// and the next opening loads it afresh, centred; "ok" has the focus and Enter discards it. Qt's own
// buttons speak German.
TEST_F(MainWindow, EndAndTheHelpWindow) {
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&') + box.button(QMessageBox::Cancel)->text(),
              "JaAbbrechen");
    click("Command5", "Command6");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(win.isNull());
    QPointer<frmInfo> help = frmInfo::instance();
    ASSERT_TRUE(help && help->isVisible());
    EXPECT_EQ(help->windowTitle(), "Dodiveverazed - Info");
    auto* list = help->findChild<QListWidget*>("List1");
    const auto state = [&] { return std::tuple(frmInfo::instance(), help->isVisible(), list->currentRow()); };
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) {
        lines << list->item(i)->text();
    }
    EXPECT_EQ(QCryptographicHash::hash(lines.join('\n').toUtf8(), QCryptographicHash::Sha256).toHex(),
              "08a1c627bb3ca974634aa2d6428a87c8a001dce1b9f11968ba65f437b02c1991")
        << lines.size() << " lines:\n"
        << qPrintable(lines.join('\n'));
    EXPECT_EQ(state(), std::tuple(help.data(), true, -1));
    list->setCurrentRow(4);
    frmInfo::open();
    EXPECT_EQ(state(), std::tuple(help.data(), true, 4));
    help->close();
    EXPECT_EQ(state(), std::tuple(help.data(), false, 4));
    frmInfo::open();
    EXPECT_EQ(std::pair(state(), list->count()), std::pair(std::tuple(help.data(), true, -1), 46));
    expectCentred(*help);
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    EXPECT_EQ(QApplication::focusWidget(), help->findChild<QPushButton*>("Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frmInfo::instance() == nullptr && help.isNull());
}

}  // namespace
}  // namespace testsupport
