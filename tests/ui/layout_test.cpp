// The main window as it starts: controls, looks, tab order, start-up state, resizing, hints, ending.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "FakeUi.hpp"
#include "ui/ClickablePicture.hpp"
#include "ui/FileListBox.hpp"
#include "ui/frmInfo.hpp"
#include "ui/frmTessaron.hpp"

// Readable texts in failure messages.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

int px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override { window = new frmTessaron(&seam); }
    void TearDown() override { delete window.data(); }

    template <typename T = QWidget>
    T* control(const char* name) {
        T* found = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void showActive() {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }
    QString hint() { return control<QLabel>("Label8")->text(); }
    void moveOver(const char* name) {
        QWidget* target = control(name);
        QTest::mouseMove(window, target->geometry().center());
    }

    testsupport::FakeSeam seam;
    QPointer<frmTessaron> window;
};

struct Placement {
    const char* name;
    const char* kind;
    const char* caption;
    int left, top, width, height;
};

TEST_F(MainWindow, EveryControlHasItsKindCaptionAndPlace) {
    const Placement controls[] = {
        {"Label3", "QLabel", "Datei splitten", 2100, 60, 1545, 315},
        {"Label1", "QLabel", "Zu splittende Datei auswählen- >", 120, 580, 2325, 195},
        {"Command3", "QPushButton", "", 2880, 500, 495, 300},
        {"Text1", "QLineEdit", "", 60, 840, 3375, 285},
        {"Shape2", "QFrame", nullptr, 75, 1170, 3375, 1240},
        {"Label2", "QLabel", "Dateifragmentgröße (in kBytes):", 120, 1260, 2220, 195},
        {"Combo1", "QComboBox", nullptr, 2480, 1200, 915, 315},
        {"Check1", "QCheckBox", "Batchdatei erzeugen ?", 100, 1560, 2055, 195},
        {"Label9", "QLabel", "Quelldatei (Byte) :", 120, 1860, 1245, 195},
        {"Label10", "QLabel", "Fragmente (Byte):", 120, 2160, 1245, 195},
        {"Label11", "QLabel", "Erzeugte Dateifragmente:", 3600, 480, 1800, 195},
        {"List2", "QListWidget", nullptr, 3600, 720, 2115, 1230},
        {"Command1", "QPushButton", "  Splitten", 3600, 1980, 2115, 435},
        {"Picture1", "ui::ClickablePicture", nullptr, 3840, 2100, 240, 240},
        {"Label4", "QLabel", "Dateifragmente zusammenfügen", 1140, 2580, 3705, 315},
        {"Label13", "QLabel", "Erstes Fragment (*._001) auswählen ->", 120, 3000, 2730, 195},
        {"Command8", "QPushButton", "", 2880, 2920, 495, 285},
        {"Text2", "QLineEdit", "", 60, 3240, 3375, 285},
        {"Label6", "QLabel", "Dateifragmente:", 3660, 3240, 1125, 195},
        {"List1", "QListWidget", nullptr, 3600, 3480, 2115, 1230},
        {"Shape1", "QFrame", nullptr, 75, 3550, 3375, 1300},
        {"Label16", "QLabel", "Zusammengefügte Datei:", 120, 3675, 1815, 255},
        {"Label14", "QLabel", "", 120, 3900, 3255, 255},
        {"Label17", "QLabel", "Dateigrösse (Byte):", 120, 4095, 1695, 255},
        {"Command4", "QPushButton", "  Zusammenfügen", 3600, 4800, 2115, 435},
        {"Picture2", "ui::ClickablePicture", nullptr, 3700, 4920, 240, 240},
        {"Command6", "QPushButton", "End", 60, 4920, 675, 315},
        {"Command5", "QPushButton", "", 840, 4920, 615, 315},
        {"Command7", "QPushButton", "crc32", 1920, 4920, 705, 315},
        {"Command2", "QPushButton", "Clear", 2760, 4920, 705, 315},
        {"Label8", "QLabel", "", -120, 5520, 6015, 255},
        {"File1", "QListWidget", nullptr, 1080, 5280, 3255, 1065},
    };
    for (const Placement& expected : controls) {
        QWidget* widget = control(expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->inherits(expected.kind))
            << expected.name << " is " << widget->metaObject()->className();
        const QRect place(px(expected.left), px(expected.top), px(expected.width), px(expected.height));
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            // Captions keep their place and grow only as far as their text needs.
            EXPECT_EQ(widget->pos(), place.topLeft()) << expected.name;
            EXPECT_EQ(widget->height(), place.height()) << expected.name;
            EXPECT_EQ(widget->width(), std::max(place.width(), label->sizeHint().width())) << expected.name;
        } else {
            EXPECT_EQ(widget->geometry(), place) << expected.name;
        }
        if (expected.caption) {
            QString caption;
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                caption = label->text();
            } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                caption = button->text();
            } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
                caption = edit->text();
            }
            EXPECT_EQ(caption, QString::fromUtf8(expected.caption)) << expected.name;
        }
    }
    EXPECT_NE(dynamic_cast<ui::FileListBox*>(control("File1")), nullptr);
    EXPECT_FALSE(control<QPushButton>("Command3")->icon().isNull());
    EXPECT_FALSE(control<QPushButton>("Command8")->icon().isNull());
    EXPECT_FALSE(control<QPushButton>("Command5")->icon().isNull());
    EXPECT_FALSE(control<QLabel>("Picture1")->pixmap().isNull());
    EXPECT_FALSE(control<QLabel>("Picture2")->pixmap().isNull());
    EXPECT_FALSE(window->windowIcon().isNull());

    // Emptied at load: they keep their place; the total keeps its right edge.
    EXPECT_EQ(control("Label5")->pos(), QPoint(px(120), px(4515)));
    EXPECT_EQ(control("Label15")->pos(), QPoint(px(120), px(4320)));
    EXPECT_EQ(control("Label12")->geometry().right() + 1, px(5730));

    // The line spans the width at 2520 twips, 2 pixels thick.
    const QRect line = control("Line1")->geometry();
    EXPECT_EQ(line.left(), 0);
    EXPECT_EQ(line.width(), px(5980));
    EXPECT_EQ(line.height(), 2);
    EXPECT_LE(line.top(), px(2520));
    EXPECT_GE(line.bottom(), px(2520) - 1);
    for (const char* drawing : {"Line1", "Shape1", "Shape2"}) {
        EXPECT_TRUE(control(drawing)->testAttribute(Qt::WA_TransparentForMouseEvents)) << drawing;
    }
}

TEST_F(MainWindow, WindowFontsAndColoursFollowTheLayout) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Dodiveverazed (für Dateien bis max. 2 GByte)"));
    EXPECT_EQ(window->size(), QSize(389, 385));

    const auto expectFont = [this](const char* name, const char* family, double points, bool bold,
                                   bool italic) {
        const QFont font = control(name)->font();
        EXPECT_EQ(font.family(), QLatin1String(family)) << name;
        EXPECT_DOUBLE_EQ(font.pointSizeF(), points) << name;
        EXPECT_EQ(font.bold(), bold) << name;
        EXPECT_EQ(font.italic(), italic) << name;
    };
    expectFont("Label3", "Times New Roman", 14.25, false, true);
    expectFont("Label4", "Times New Roman", 14.25, false, true);
    expectFont("Command1", "MS Sans Serif", 12, true, false);
    expectFont("Command4", "MS Sans Serif", 8.25, true, false);
    for (const char* plain : {"Label1", "Text1", "Combo1", "Check1", "List1", "Command6", "Label8"}) {
        expectFont(plain, "MS Sans Serif", 8.25, false, false);
    }

    const auto text = [this](const char* name) {
        return control(name)->palette().color(QPalette::WindowText);
    };
    EXPECT_EQ(text("Label3"), QColor(0, 0, 255));
    EXPECT_EQ(text("Label4"), QColor(0, 0, 255));
    EXPECT_EQ(text("Label8"), QColor(0, 0, 255));
    EXPECT_EQ(text("Label7"), QColor(255, 255, 255));
    for (const char* black : {"Label5", "Label14", "Label15"}) {
        EXPECT_EQ(text(black), QColor(0, 0, 0)) << black;
    }
    EXPECT_EQ(text("Shape1"), QColor(128, 128, 128));
    EXPECT_EQ(text("Line1"), QColor(0, 0, 0));
    for (const char* list : {"List1", "List2"}) {
        EXPECT_EQ(control(list)->palette().color(QPalette::Base), QColor(255, 254, 219)) << list;
        EXPECT_EQ(control(list)->palette().color(QPalette::Text), QColor(0, 0, 255)) << list;
    }
    auto* status = control<QLabel>("Label8");
    EXPECT_TRUE(status->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(status->frameShape(), QFrame::Panel);
    EXPECT_EQ(status->lineWidth(), 1);
    EXPECT_TRUE(control<QLabel>("Label12")->alignment() & Qt::AlignRight);
}

TEST_F(MainWindow, StartsWithItsInitialStatesAndLoadValues) {
    for (const char* disabled : {"Command2", "Command4", "Picture2"}) {
        EXPECT_FALSE(control(disabled)->isEnabled()) << disabled;
    }
    for (const char* enabled : {"Command1", "Command3", "Command5", "Command6", "Command7", "Command8",
                                "Picture1", "Combo1", "Check1", "Text1", "Text2", "List1", "List2"}) {
        EXPECT_TRUE(control(enabled)->isEnabled()) << enabled;
    }
    EXPECT_TRUE(control("File1")->isHidden());
    EXPECT_FALSE(control<QCheckBox>("Check1")->isChecked());
    auto* combo = control<QComboBox>("Combo1");
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->currentText(), QStringLiteral("1420"));
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    EXPECT_EQ(items, (QStringList{"1420", "720", "512", "360", "256"}));
    EXPECT_EQ(combo->toolTip(),
              QStringLiteral("Es können hier auch eigene Fragmentgrössen eingegeben werden"));
    EXPECT_FALSE(control<QListWidget>("List1")->isSortingEnabled());
    for (const char* empty : {"Label5", "Label12", "Label14", "Label15", "Label8"}) {
        EXPECT_TRUE(control<QLabel>(empty)->text().isEmpty()) << empty;
    }
    EXPECT_EQ(control<QListWidget>("List1")->count(), 0);
    EXPECT_EQ(control<QListWidget>("List2")->count(), 0);

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = window->frameGeometry();
    EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 1);

    showActive();
    EXPECT_EQ(QApplication::focusWidget(), control("Command3"));
}

TEST_F(MainWindow, TabWalksTheFocusableControlsInTabIndexOrder) {
    showActive();
    const auto walk = [this] {
        control("Text1")->setFocus();
        QStringList seen;
        for (int i = 0; i < 16; ++i) {
            seen << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        return seen;
    };
    EXPECT_EQ(walk(), (QStringList{"Text1", "Command1", "Command3", "Combo1", "List1", "Command5", "Command6",
                                   "Check1", "List2", "Command7", "Text2", "Command8", "Text1", "Command1",
                                   "Command3", "Combo1"}));
    control("Command4")->setEnabled(true);
    control("Command2")->setEnabled(true);
    EXPECT_EQ(walk().mid(0, 14),
              (QStringList{"Text1", "Command1", "Command3", "Combo1", "List1", "Command4", "Command5",
                           "Command6", "Command2", "Check1", "List2", "Command7", "Text2", "Command8"}));
}

TEST_F(MainWindow, ListsFollowTheWindowWidth) {
    auto* list1 = control("List1");
    auto* list2 = control("List2");
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(list1->width(), 141);
    EXPECT_EQ(list2->width(), 141);

    window->resize(449, 385);
    EXPECT_EQ(list1->width(), 201);
    EXPECT_EQ(list2->width(), 201);
    EXPECT_EQ(list1->x(), px(3600));
    EXPECT_EQ(list1->height(), px(1230));

    // Narrower than the margin measured at load: List1 keeps its width and List2 follows it.
    list2->resize(100, list2->height());
    window->resize(200, 385);
    EXPECT_EQ(list1->width(), 201);
    EXPECT_EQ(list2->width(), 201);

    window->resize(349, 385);
    EXPECT_EQ(list1->width(), 101);
    EXPECT_EQ(list2->width(), 101);
    EXPECT_EQ(control("Command1")->geometry(), QRect(px(3600), px(1980), px(2115), px(435)));
}

TEST_F(MainWindow, StatusHintsFollowTheMouse) {
    showActive();
    moveOver("Command1");
    EXPECT_EQ(hint(), QStringLiteral("Zerlegt die ausgewählte Datei in Dateifragmente."));
    QTest::mouseMove(window, QPoint(300, 15));  // bare surface between the title and the credit
    EXPECT_EQ(hint(), QString());
    moveOver("Command5");
    EXPECT_EQ(hint(), QString());

    const struct {
        const char* control;
        const char* text;
    } hints[] = {
        {"Check1", "Falls auf Zielrechner Programm Tessaron nicht vorhanden."},
        {"Command3", "Öffnet die zu splittende Datei."},
        {"Command6", "Beendet das Programm."},
        {"Command7", "Ermittelt die CRC32 Prüfsumme für eine Datei ."},
        {"List1", "Doppel-Click entfernt nicht benötigte Dateifragmente aus der Dateifragmentliste."},
        {"List2", "Liste der erzeugten Dateifragmente."},
        {"Text1", "Zeigt Name und Pfad der zu splittenden Datei."},
    };
    for (const auto& expected : hints) {
        moveOver(expected.control);
        EXPECT_EQ(hint(), QString::fromUtf8(expected.text)) << expected.control;
    }
    // These keep whatever the line shows.
    for (const char* keeps : {"Command5", "Command8", "Combo1", "Label2", "Label4", "Picture1", "Label9"}) {
        moveOver("Command6");
        moveOver(keeps);
        EXPECT_EQ(hint(), QStringLiteral("Beendet das Programm.")) << keeps;
    }
    // Disabled buttons and the shape's frame count as surface.
    for (const char* empties : {"Command2", "Command4"}) {
        moveOver("Command6");
        moveOver(empties);
        EXPECT_EQ(hint(), QString()) << empties;
    }
    moveOver("Command6");
    QTest::mouseMove(window, control("Shape1")->geometry().topLeft() + QPoint(0, 40));
    EXPECT_EQ(hint(), QString());

    control("Command4")->setEnabled(true);
    moveOver("Command4");
    EXPECT_EQ(hint(), QStringLiteral("Die Dateifragmente werden zusammengefügt."));
    control("Command2")->setEnabled(true);
    moveOver("Command2");
    EXPECT_EQ(hint(), QStringLiteral("Die Dateifragmente werden vom Datenträger gelöscht ."));
}

TEST_F(MainWindow, TextBoxesShowTheirContentAsTooltip) {
    showActive();
    const QString path = QStringLiteral("/ein/sehr/langer/Pfad/zu/einer/Datei/mit/langem/Namen/Beispiel.dat");
    control<QLineEdit>("Text1")->setText(path);
    moveOver("Text1");
    EXPECT_EQ(control("Text1")->toolTip(), path);
    EXPECT_EQ(hint(), QStringLiteral("Zeigt Name und Pfad der zu splittenden Datei."));

    control<QLineEdit>("Text2")->setText(path + QStringLiteral("._001"));
    moveOver("Text2");
    EXPECT_EQ(control("Text2")->toolTip(), path + QStringLiteral("._001"));
    EXPECT_EQ(hint(), QStringLiteral("Zeigt Name und Pfad der zu splittenden Datei."));
}

TEST_F(MainWindow, EnterPressesTheSplitButtonUnlessAButtonHasTheFocus) {
    testsupport::FakePicker cancelEveryDialog;
    showActive();
    QSignalSpy split(control<QPushButton>("Command1"), &QPushButton::clicked);
    QSignalSpy checksum(control<QPushButton>("Command7"), &QPushButton::clicked);
    control("Text1")->setFocus();
    QTest::keyClick(control("Text1"), Qt::Key_Return);
    EXPECT_TRUE(split.wait(1000));
    EXPECT_EQ(split.count(), 1);

    control("Command7")->setFocus();
    QTest::keyClick(control("Command7"), Qt::Key_Return);
    EXPECT_TRUE(checksum.wait(1000));
    EXPECT_EQ(split.count(), 1);
}

TEST_F(MainWindow, EndClosesTheWindowAndLeavesTheHelpWindowOpen) {
    showActive();
    QTest::mouseClick(control("Command5"), Qt::LeftButton);
    QPointer<frmInfo> help = frmInfo::instance();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());

    QTest::mouseClick(control("Command6"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(seam.shown.empty());
    ASSERT_FALSE(help.isNull());
    EXPECT_TRUE(help->isVisible());
    help->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(help.isNull());
}

}  // namespace
