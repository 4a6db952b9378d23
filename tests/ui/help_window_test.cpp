// The help window: its 46 lines and the one-window rules of opening, closing and reopening it.
#include <QApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <array>

#include "SplitFixture.hpp"
#include "ui/frmInfo.hpp"

namespace {

// Length, leading and trailing blanks of each line.
const std::array<qsizetype, 3> shapes[46] = {
    {29, 7, 0},  {45, 0, 0},  {43, 0, 0},  {43, 0, 0},  {47, 0, 0}, {11, 0, 0}, {0, 0, 0},  {27, 10, 0},
    {27, 10, 0}, {27, 10, 0}, {20, 17, 0}, {27, 10, 0}, {0, 0, 0},  {45, 0, 0}, {43, 0, 0}, {49, 0, 0},
    {44, 0, 0},  {45, 0, 0},  {15, 0, 0},  {0, 0, 0},   {45, 4, 0}, {47, 0, 0}, {51, 0, 0}, {45, 0, 0},
    {42, 0, 1},  {45, 0, 0},  {45, 0, 1},  {46, 0, 1},  {42, 0, 0}, {46, 0, 0}, {44, 0, 1}, {49, 0, 0},
    {0, 0, 0},   {42, 6, 0},  {45, 0, 1},  {43, 0, 1},  {31, 0, 0}, {47, 0, 0}, {46, 0, 0}, {44, 0, 0},
    {22, 0, 0},  {0, 0, 0},   {46, 0, 0},  {47, 0, 0},  {50, 0, 1}, {40, 0, 0},
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
        const QString line = list()->item(i)->text();
        const qsizetype leading = line.indexOf(QRegularExpression("\\S|$"));
        const qsizetype trailing = line.size() - 1 - line.lastIndexOf(QRegularExpression("\\S"));
        EXPECT_EQ((std::array{line.size(), leading, trailing}), shapes[i]) << "line " << i + 1;
    }
    const auto line = [&](int number) { return list()->item(number - 1)->text(); };
    EXPECT_EQ(line(1), "       *** Datei splitten ***");
    EXPECT_EQ(line(3), "in kleinere Dateien (Dateifragmente)zerlegt");
    EXPECT_EQ(line(11), "                 ...");
    EXPECT_EQ(line(23), "Datei, die zusammengefügt werden soll, auszuwählen.");
    EXPECT_EQ(line(30), "Nach Click auf \"Dateifragmente zusammenfügen\",");
    EXPECT_EQ(line(45), "mittelt werden. CRC steht für \"cyclic-redundancy- ");
    EXPECT_EQ(line(46), "check\" (Zyklische Redundanz-Überprüfung)");

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
