// The help window: its 46 lines and the one-window rules of opening, closing and reopening it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cstdlib>

#include "FakeUi.hpp"
#include "ui/frmInfo.hpp"

// Readable texts in failure messages.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct LineShape {
    int length, leading, trailing;
};

// Length, leading and trailing blanks of each line.
const LineShape shapes[46] = {
    {29, 7, 0},  {45, 0, 0},  {43, 0, 0},  {43, 0, 0},  {47, 0, 0}, {11, 0, 0}, {0, 0, 0},  {27, 10, 0},
    {27, 10, 0}, {27, 10, 0}, {20, 17, 0}, {27, 10, 0}, {0, 0, 0},  {45, 0, 0}, {43, 0, 0}, {49, 0, 0},
    {44, 0, 0},  {45, 0, 0},  {15, 0, 0},  {0, 0, 0},   {45, 4, 0}, {47, 0, 0}, {51, 0, 0}, {45, 0, 0},
    {42, 0, 1},  {45, 0, 0},  {45, 0, 1},  {46, 0, 1},  {42, 0, 0}, {46, 0, 0}, {44, 0, 1}, {49, 0, 0},
    {0, 0, 0},   {42, 6, 0},  {45, 0, 1},  {43, 0, 1},  {31, 0, 0}, {47, 0, 0}, {46, 0, 0}, {44, 0, 0},
    {22, 0, 0},  {0, 0, 0},   {46, 0, 0},  {47, 0, 0},  {50, 0, 1}, {40, 0, 0},
};

int leadingBlanks(const QString& text) {
    int count = 0;
    while (count < text.size() && text[count] == QLatin1Char(' ')) {
        ++count;
    }
    return count;
}

int trailingBlanks(const QString& text) {
    int count = 0;
    while (count < text.size() && text[text.size() - 1 - count] == QLatin1Char(' ')) {
        ++count;
    }
    return text.isEmpty() ? 0 : count;
}

class HelpWindow : public ::testing::Test {
  protected:
    void TearDown() override {
        delete frmInfo::instance();
        frmInfo::instance() = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static QListWidget* list() {
        return frmInfo::instance()->findChild<QListWidget*>(QStringLiteral("List1"));
    }
    static QPushButton* ok() {
        return frmInfo::instance()->findChild<QPushButton*>(QStringLiteral("Command1"));
    }
    // Centred within the few pixels of a frame that is only known once the window is on the screen.
    static bool centred(const QWidget* window) {
        const QPoint offset =
            window->frameGeometry().center() - QGuiApplication::primaryScreen()->geometry().center();
        return std::abs(offset.x()) <= 3 && std::abs(offset.y()) <= 3;
    }
};

TEST_F(HelpWindow, ShowsTheFortySixLinesExactly) {
    frmInfo::open();
    ASSERT_NE(frmInfo::instance(), nullptr);
    frmInfo* window = frmInfo::instance();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Dodiveverazed - Info"));
    EXPECT_EQ(window->size(), QSize(403, 360));
    ASSERT_EQ(list()->count(), 46);
    for (int i = 0; i < 46; ++i) {
        const QString line = list()->item(i)->text();
        EXPECT_EQ(line.size(), shapes[i].length) << "line " << i + 1;
        EXPECT_EQ(leadingBlanks(line), shapes[i].leading) << "line " << i + 1;
        EXPECT_EQ(trailingBlanks(line), shapes[i].trailing) << "line " << i + 1;
    }
    const auto line = [](int number) { return list()->item(number - 1)->text(); };
    EXPECT_EQ(line(1), QStringLiteral("       *** Datei splitten ***"));
    EXPECT_EQ(line(3), QStringLiteral("in kleinere Dateien (Dateifragmente)zerlegt"));
    EXPECT_EQ(line(11), QStringLiteral("                 ..."));
    EXPECT_EQ(line(23), QStringLiteral("Datei, die zusammengefügt werden soll, auszuwählen."));
    EXPECT_EQ(line(30), QStringLiteral("Nach Click auf \"Dateifragmente zusammenfügen\","));
    EXPECT_EQ(line(45), QStringLiteral("mittelt werden. CRC steht für \"cyclic-redundancy- "));
    EXPECT_EQ(line(46), QStringLiteral("check\" (Zyklische Redundanz-Überprüfung)"));

    EXPECT_EQ(list()->currentRow(), -1);
    EXPECT_TRUE(list()->selectedItems().isEmpty());
    EXPECT_EQ(list()->font().family(), QStringLiteral("Courier New"));
    EXPECT_EQ(list()->palette().color(QPalette::Base), QColor(255, 254, 219));
    EXPECT_EQ(list()->palette().color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_EQ(list()->geometry(), QRect(8, 28, 381, 284));
    EXPECT_EQ(ok()->text(), QStringLiteral("ok"));
    EXPECT_EQ(ok()->geometry(), QRect(172, 328, 73, 21));
    auto* credit = window->findChild<QLabel*>(QStringLiteral("Label1"));
    ASSERT_NE(credit, nullptr);
    EXPECT_EQ(credit->geometry().right() + 1, 383);
    EXPECT_EQ(credit->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    EXPECT_TRUE(centred(window));
    EXPECT_EQ(window->parentWidget(), nullptr);
    EXPECT_FALSE(window->isModal());
}

TEST_F(HelpWindow, OpensOnceAndReloadsOnlyAfterItWasClosed) {
    frmInfo::open();
    QPointer<frmInfo> first = frmInfo::instance();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first));
    first->move(first->pos() + QPoint(30, 20));
    const QPoint moved = first->pos();
    list()->setCurrentRow(4);

    frmInfo::open();
    EXPECT_EQ(frmInfo::instance(), first.data());
    EXPECT_EQ(list()->count(), 46);
    EXPECT_EQ(list()->currentRow(), 4);
    EXPECT_EQ(first->pos(), moved);

    // The close box hides the window; the reference stays and the next opening loads it afresh.
    first->close();
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(frmInfo::instance(), first.data());
    frmInfo::open();
    EXPECT_EQ(frmInfo::instance(), first.data());
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(list()->count(), 46);
    EXPECT_EQ(list()->currentRow(), -1);
    EXPECT_TRUE(centred(first));

    // "ok" drops the reference and discards the window.
    ok()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmInfo::instance(), nullptr);
    EXPECT_TRUE(first.isNull());

    frmInfo::open();
    ASSERT_NE(frmInfo::instance(), nullptr);
    EXPECT_EQ(list()->count(), 46);
}

TEST_F(HelpWindow, OkHasTheFocusSoEnterOrSpaceClosesIt) {
    for (const auto key : {Qt::Key_Space, Qt::Key_Return}) {
        frmInfo::open();
        QPointer<frmInfo> window = frmInfo::instance();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        EXPECT_EQ(QApplication::focusWidget(), ok());
        QTest::keyClick(QApplication::focusWidget(), key);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(frmInfo::instance(), nullptr) << key;
        EXPECT_TRUE(window.isNull()) << key;
    }
}

}  // namespace
