// The main window as it starts: controls, looks, tab order, start-up state, resizing, hints, ending.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "SplitFixture.hpp"
#include "ui/frmInfo.hpp"

namespace {

using MainWindow = testsupport::SplitWindowTest;
const auto px = [](int twips) { return static_cast<int>(std::lround(twips / 15.0)); };

// Fonts as "family/points", then "/b" when bold and "/i" when italic.
const char *const plain = "MS Sans Serif/8.25", *const title = "Times New Roman/14.25/i",
                  *const big = "MS Sans Serif/12/b", *const bold = "MS Sans Serif/8.25/b";
const QRgb any = 0, blue = qRgb(0, 0, 255), black = qRgb(0, 0, 0), grey = qRgb(128, 128, 128);

// Name, kind, caption (nullptr: none in the layout), font, left, top, width and height in twips, text
// colour, enabled.
using Control =
    std::tuple<const char*, const char*, const char*, const char*, int, int, int, int, QRgb, bool>;

TEST_F(MainWindow, StartsWithEveryControlInPlaceItsLoadStateAndTabOrder) {
    const Control controls[] = {
        {"Label3", "QLabel", "Datei splitten", title, 2100, 60, 1545, 315, blue, true},
        {"Label1", "QLabel", "Zu splittende Datei auswählen- >", plain, 120, 580, 2325, 195, any, true},
        {"Command3", "QPushButton", "", plain, 2880, 500, 495, 300, any, true},
        {"Text1", "QLineEdit", "", plain, 60, 840, 3375, 285, any, true},
        {"Shape2", "QFrame", nullptr, plain, 75, 1170, 3375, 1240, grey, true},
        {"Label2", "QLabel", "Dateifragmentgröße (in kBytes):", plain, 120, 1260, 2220, 195, any, true},
        {"Combo1", "QComboBox", nullptr, plain, 2480, 1200, 915, 315, any, true},
        {"Check1", "QCheckBox", "Batchdatei erzeugen ?", plain, 100, 1560, 2055, 195, any, true},
        {"Label9", "QLabel", "Quelldatei (Byte) :", plain, 120, 1860, 1245, 195, any, true},
        {"Label10", "QLabel", "Fragmente (Byte):", plain, 120, 2160, 1245, 195, any, true},
        {"Label11", "QLabel", "Erzeugte Dateifragmente:", plain, 3600, 480, 1800, 195, any, true},
        {"List2", "QListWidget", nullptr, plain, 3600, 720, 2115, 1230, any, true},
        {"Command1", "QPushButton", "  Splitten", big, 3600, 1980, 2115, 435, any, true},
        {"Picture1", "ui::ClickablePicture", nullptr, plain, 3840, 2100, 240, 240, any, true},
        {"Label4", "QLabel", "Dateifragmente zusammenfügen", title, 1140, 2580, 3705, 315, blue, true},
        {"Label13", "QLabel", "Erstes Fragment (*._001) auswählen ->", plain, 120, 3000, 2730, 195, any,
         true},
        {"Command8", "QPushButton", "", plain, 2880, 2920, 495, 285, any, true},
        {"Text2", "QLineEdit", "", plain, 60, 3240, 3375, 285, any, true},
        {"Label6", "QLabel", "Dateifragmente:", plain, 3660, 3240, 1125, 195, any, true},
        {"List1", "QListWidget", nullptr, plain, 3600, 3480, 2115, 1230, any, true},
        {"Shape1", "QFrame", nullptr, plain, 75, 3550, 3375, 1300, grey, true},
        {"Label16", "QLabel", "Zusammengefügte Datei:", plain, 120, 3675, 1815, 255, any, true},
        {"Label14", "QLabel", "", plain, 120, 3900, 3255, 255, black, true},
        {"Label17", "QLabel", "Dateigrösse (Byte):", plain, 120, 4095, 1695, 255, any, true},
        {"Command4", "QPushButton", "  Zusammenfügen", bold, 3600, 4800, 2115, 435, any, false},
        {"Picture2", "ui::ClickablePicture", nullptr, plain, 3700, 4920, 240, 240, any, false},
        {"Command6", "QPushButton", "End", plain, 60, 4920, 675, 315, any, true},
        {"Command5", "QPushButton", "", plain, 840, 4920, 615, 315, any, true},
        {"Command7", "QPushButton", "crc32", plain, 1920, 4920, 705, 315, any, true},
        {"Command2", "QPushButton", "Clear", plain, 2760, 4920, 705, 315, any, false},
        {"Label8", "QLabel", "", plain, -120, 5520, 6015, 255, blue, true},
        {"Label7", "QLabel", nullptr, plain, 5160, 0, 615, 195, qRgb(255, 255, 255), true},
        {"File1", "QListWidget", nullptr, plain, 1080, 5280, 3255, 1065, any, true},
        {"Line1", "QFrame", nullptr, plain, 0, 2505, 5980, 30, black, true},  // 2 pixels across 2520
    };
    for (const auto& [name, kind, caption, font, left, top, width, height, colour, enabled] : controls) {
        SCOPED_TRACE(name);
        QWidget* widget = control<QWidget>(name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->inherits(kind)) << widget->metaObject()->className();
        QRect place(px(left), px(top), px(width), px(height));
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            // Captions keep their place and grow only as far as their text needs.
            place.setWidth(std::max(place.width(), label->sizeHint().width()));
        }
        EXPECT_EQ(widget->geometry(), place);
        if (caption) {
            EXPECT_EQ(text(name), caption);
        }
        const QFont f = widget->font();
        EXPECT_EQ(f.family() + "/" + QString::number(f.pointSizeF()) + (f.bold() ? "/b" : "") +
                      (f.italic() ? "/i" : ""),
                  font);
        if (colour != any) {
            EXPECT_EQ(widget->palette().color(QPalette::WindowText).rgb(), colour);
        }
        EXPECT_EQ(widget->isEnabled(), enabled);
    }
    for (const char* list : {"List1", "List2"}) {
        EXPECT_EQ(control<QListWidget>(list)->count(), 0) << list;
        EXPECT_EQ(control<QWidget>(list)->palette().color(QPalette::Base), QColor(255, 254, 219)) << list;
        EXPECT_EQ(control<QWidget>(list)->palette().color(QPalette::Text), QColor(0, 0, 255)) << list;
    }
    EXPECT_EQ(window.windowTitle(), "Dodiveverazed (für Dateien bis max. 2 GByte)");
    EXPECT_EQ(window.size(), QSize(389, 385));

    // Emptied at load; the total keeps its right edge.
    EXPECT_EQ(texts({"Label5", "Label12", "Label15"}), " |  | ");
    EXPECT_EQ(control<QWidget>("Label12")->geometry().right() + 1, px(5730));
    EXPECT_TRUE(control<QLabel>("Label8")->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(control<QLabel>("Label8")->frameShape(), QFrame::Panel);

    EXPECT_TRUE(control<QWidget>("File1")->isHidden());
    EXPECT_FALSE(control<QCheckBox>("Check1")->isChecked());
    auto* combo = control<QComboBox>("Combo1");
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    EXPECT_EQ(std::tuple(combo->isEditable(), combo->currentText(), items, combo->toolTip()),
              std::tuple(true, QString("1420"), QStringList{"1420", "720", "512", "360", "256"},
                         QString("Es können hier auch eigene Fragmentgrössen eingegeben werden")));

    // Centred at load, within the few pixels of a frame that is only known once on the screen.
    const QPoint offCentre =
        window.frameGeometry().center() - QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE(std::max(std::abs(offCentre.x()), std::abs(offCentre.y())), 3)
        << offCentre.x() << offCentre.y();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>("Command3"));

    // Tab walks the focusable controls in tab index order, the two buttons once enabled included.
    control<QWidget>("Command4")->setEnabled(true);
    control<QWidget>("Command2")->setEnabled(true);
    control<QWidget>("Text1")->setFocus();
    QStringList seen;
    for (int i = 0; i < 16; ++i) {
        seen << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(seen, (QStringList{"Text1", "Command1", "Command3", "Combo1", "List1", "Command4", "Command5",
                                 "Command6", "Command2", "Check1", "List2", "Command7", "Text2", "Command8",
                                 "Text1", "Command1"}));
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
    moveOver("Command1");
    EXPECT_EQ(text("Label8"), "Zerlegt die ausgewählte Datei in Dateifragmente.");
    QTest::mouseMove(&window, QPoint(300, 15));  // bare surface between the title and the credit
    EXPECT_EQ(text("Label8"), "");
    moveOver("Command5");
    EXPECT_EQ(text("Label8"), "");

    // The hint over `name` coming from Command6, so that keeping and emptying the line both show.
    const auto hintOver = [&](const char* name) {
        moveOver("Command6");
        moveOver(name);
        return text("Label8");
    };
    EXPECT_EQ(hintOver("Check1"), "Falls auf Zielrechner Programm Tessaron nicht vorhanden.");
    EXPECT_EQ(hintOver("Command3"), "Öffnet die zu splittende Datei.");
    EXPECT_EQ(hintOver("Command7"), "Ermittelt die CRC32 Prüfsumme für eine Datei .");
    EXPECT_EQ(hintOver("List1"),
              "Doppel-Click entfernt nicht benötigte Dateifragmente aus der Dateifragmentliste.");
    EXPECT_EQ(hintOver("List2"), "Liste der erzeugten Dateifragmente.");
    EXPECT_EQ(hintOver("Text1"), "Zeigt Name und Pfad der zu splittenden Datei.");
    for (const char* keeps : {"Command5", "Command8", "Combo1", "Label2", "Label4", "Picture1", "Label9"}) {
        EXPECT_EQ(hintOver(keeps), "Beendet das Programm.") << keeps;
    }
    // Disabled buttons and the shape's frame count as surface.
    EXPECT_EQ(hintOver("Command2"), "");
    EXPECT_EQ(hintOver("Command4"), "");
    moveOver("Command6");
    QTest::mouseMove(&window, control<QWidget>("Shape1")->geometry().topLeft() + QPoint(0, 40));
    EXPECT_EQ(text("Label8"), "");
    control<QWidget>("Command4")->setEnabled(true);
    control<QWidget>("Command2")->setEnabled(true);
    EXPECT_EQ(hintOver("Command4"), "Die Dateifragmente werden zusammengefügt.");
    EXPECT_EQ(hintOver("Command2"), "Die Dateifragmente werden vom Datenträger gelöscht .");

    const QString path = "/ein/sehr/langer/Pfad/zu/einer/Datei/mit/langem/Namen/Beispiel.dat";
    control<QLineEdit>("Text1")->setText(path);
    control<QLineEdit>("Text2")->setText(path + "._001");
    moveOver("Text1");
    EXPECT_EQ(control<QWidget>("Text1")->toolTip(), path);
    moveOver("Text2");
    EXPECT_EQ(control<QWidget>("Text2")->toolTip(), path + "._001");
    EXPECT_EQ(text("Label8"), "Zeigt Name und Pfad der zu splittenden Datei.");  // left as Text1 set it
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

TEST(MainWindowEnd, EndClosesTheWindowAndLeavesTheHelpWindowOpen) {
    testsupport::FakeSeam seam;
    QPointer<frmTessaron> window = new frmTessaron(&seam);
    window->show();
    testsupport::click(window->findChild<QPushButton*>("Command5"));
    testsupport::click(window->findChild<QPushButton*>("Command6"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(seam.shown.empty());
    ASSERT_TRUE(frmInfo::instance() && frmInfo::instance()->isVisible());
    frmInfo::instance()->findChild<QPushButton*>("Command1")->click();
}

}  // namespace
