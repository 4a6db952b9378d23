// The join through the window: fragments chosen with Command8, joined with Command4.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "FakeUi.hpp"
#include "fragments/file_io.hpp"
#include "support/TempDir.hpp"
#include "ui/frmTessaron.hpp"

namespace {

using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

const QString kFertig = QStringLiteral(", fertig!");

// One main window with scripted message boxes and dialogs.
struct JoinWindow {
    testsupport::FakeSeam seam;
    testsupport::FakePicker picker;
    frmTessaron window{&seam};

    JoinWindow() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        window.show();
    }
    ~JoinWindow() { QLocale::setDefault(QLocale::c()); }
    template <typename T>
    T* find(const char* name) {
        T* child = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QListWidget* list() { return find<QListWidget>("List1"); }
    QString label(const char* name) { return find<QLabel>(name)->text(); }
    QStringList entries() {
        QStringList names;
        for (int row = 0; row < list()->count(); ++row) {
            names << list()->item(row)->text();
        }
        return names;
    }
    void chooseFirstFragment(const std::string& path) {
        picker.answers.push_back(QString::fromStdString(path));
        testsupport::click(find<QPushButton>("Command8"));
        resetRecords();
    }
    void removeEntry(const QString& name) {
        const auto items = list()->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        const QPoint at = list()->visualItemRect(items.front()).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
    }
    // Clicks the join button; `target` answers the save-as dialog ("" cancels).
    void join(const std::string& target) {
        picker.answers.push_back(QString::fromStdString(target));
        testsupport::click(find<QPushButton>("Command4"));
    }
    // The state every way out of the join ends in.
    void expectFinished() {
        EXPECT_TRUE(find<QPushButton>("Command4")->isEnabled());
        EXPECT_TRUE(find<QWidget>("Picture2")->isEnabled());
        EXPECT_FALSE(seam.waitCursorOn);
    }
    // Forgets what earlier steps showed and asked.
    void resetRecords() {
        seam.shown.clear();
        seam.answers.clear();
        seam.cursorChanges.clear();
        picker.answers.clear();
        picker.requests.clear();
    }
    void expectOneMessage(QMessageBox::Icon icon, const QString& title, const QString& text) {
        ASSERT_EQ(seam.shown.size(), 1u);
        EXPECT_EQ(seam.shown[0].icon, icon);
        EXPECT_EQ(seam.shown[0].title, title);
        EXPECT_EQ(seam.shown[0].text, text);
    }
};

// Writes fragments `name` of the given sizes, filled with distinct bytes; returns their concatenation.
std::string writeFragments(const TempDir& dir,
                           const std::vector<std::pair<std::string, std::size_t>>& files) {
    std::string all;
    std::uint32_t seed = 7;
    for (const auto& [name, size] : files) {
        const auto bytes = patternBytes(size, seed++);
        writeFile(dir.file(name), bytes);
        all.append(bytes.begin(), bytes.end());
    }
    return all;
}

std::string systemReason(int code) {
    return std::system_category().message(code);
}

TEST(JoinWindow, SplitChooseRemoveStrayAndJoinGivesTheSourceBack) {
    TempDir dir;
    const auto source = patternBytes(2500, 3);
    writeFile(dir.file("Beispiel.dat"), source);
    writeFile(dir.file("Beispiel.txt._001"), std::string("stray"));
    std::filesystem::create_directory(dir.path() / "out");
    JoinWindow w;
    w.find<QLineEdit>("Text1")->setText(QString::fromStdString(dir.file("Beispiel.dat")));
    w.find<QComboBox>("Combo1")->setEditText(QStringLiteral("1"));
    testsupport::click(w.find<QPushButton>("Command1"));
    w.chooseFirstFragment(dir.file("Beispiel.dat._001"));
    ASSERT_EQ(w.entries(), QStringList({"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._003",
                                        "Beispiel.txt._001"}));
    w.removeEntry(QStringLiteral("Beispiel.txt._001"));
    ASSERT_EQ(w.entries().size(), 3);
    w.resetRecords();

    const std::string target = (dir.path() / "out" / "Beispiel.dat").string();
    w.join(target);

    EXPECT_TRUE(w.seam.shown.empty());
    EXPECT_EQ(readFile(target), std::string(source.begin(), source.end()));
    ASSERT_EQ(w.picker.requests.size(), 1u);
    const auto& request = w.picker.requests[0];
    EXPECT_EQ(request.title, QStringLiteral("Zusammengefügte Datei speichern unter"));
    EXPECT_EQ(request.directory, QString());
    EXPECT_EQ(request.initialName, QStringLiteral("Beispiel.dat"));
    EXPECT_EQ(request.filter, QStringLiteral("Alle Dateien|*.*"));
    EXPECT_EQ(request.defaultExtension, QString());
    EXPECT_EQ(request.mode, 1);
    EXPECT_EQ(w.label("Label5"), QStringLiteral("add Fragment: 3 von 3, fertig!"));
    EXPECT_EQ(w.label("Label14"), QStringLiteral("Beispiel.dat"));
    EXPECT_EQ(w.label("Label15"), QStringLiteral("2.500 = 3 KB"));
    EXPECT_EQ(w.list()->currentRow(), 2);
    EXPECT_TRUE(w.find<QPushButton>("Command2")->isEnabled());
    EXPECT_EQ(w.seam.cursorChanges, (std::vector<bool>{true, false, true, false}));
    w.expectFinished();
}

TEST(JoinWindow, RefusalsBeforeTheDialogAndCancelLeaveEverythingAsItWas) {
    TempDir dir;
    writeFragments(dir, {{"Beispiel.dat._001", 10}, {"Beispiel.dat._002", 10}, {"Beispiel.txt._001", 10}});
    const std::string oldTarget = dir.file("alt.bin");
    writeFile(oldTarget, std::string("old"));
    JoinWindow w;

    // Fragments of two different files.
    w.chooseFirstFragment(dir.file("Beispiel.dat._001"));
    w.join(oldTarget);
    w.expectOneMessage(
        QMessageBox::Critical, QStringLiteral("Tessaron Info"),
        QStringLiteral("In der unteren ListBox befinden sich Dateifragmente von verschiedenen "
                       "Dateien. Wahrscheinlich befinden sich noch Fragmente von früheren "
                       "Splittungen im Verzeichnis. Überflüssige Fragmente in der unteren "
                       "Dateifragmentliste müssen mit Doppelklick aus der Liste entfernt, oder "
                       "direkt im Verzeichnis gelöscht werden."));
    EXPECT_TRUE(w.picker.requests.empty());
    w.expectFinished();

    // Cancelled dialog.
    w.removeEntry(QStringLiteral("Beispiel.txt._001"));
    w.resetRecords();
    w.join("");
    EXPECT_EQ(w.picker.requests.size(), 1u);
    EXPECT_TRUE(w.seam.shown.empty());
    EXPECT_EQ(w.label("Label5") + w.label("Label14") + w.label("Label15"), QString());
    w.expectFinished();

    // The target is one of the listed fragments.
    w.join(dir.file("Beispiel.dat._002"));
    w.expectOneMessage(QMessageBox::Critical, QStringLiteral("Tessaron-Info"),
                       QStringLiteral("Die Zieldatei ") +
                           QString::fromStdString(dir.file("Beispiel.dat._002")) +
                           QStringLiteral(" ist selbst ein Fragment der Dateifragmentliste. Bitte einen "
                                          "anderen Dateinamen wählen."));
    EXPECT_EQ(readFile(dir.file("Beispiel.dat._002")).size(), 10u);
    w.expectFinished();

    // An empty list: every entry removed by double-click, the join button still enabled.
    w.removeEntry(QStringLiteral("Beispiel.dat._001"));
    w.removeEntry(QStringLiteral("Beispiel.dat._002"));
    w.resetRecords();
    w.join(oldTarget);
    w.expectOneMessage(QMessageBox::Warning, QStringLiteral("Tessaron-Info"),
                       QStringLiteral("Keine Dateifragmente in Dateifragmentliste ! Bitte erst das erste "
                                      "Dateifragment auswählen. "));
    EXPECT_TRUE(w.picker.requests.empty());
    EXPECT_EQ(readFile(oldTarget), "old");
    w.expectFinished();
}

TEST(JoinWindow, AGapInTheNumbersIsAskedAbout) {
    TempDir dir;
    const std::string all =
        writeFragments(dir, {{"Beispiel.dat._001", 5}, {"Beispiel.dat._002", 6}, {"Beispiel.dat._004", 7}});
    const std::string target = dir.file("joined.bin");
    JoinWindow w;
    w.chooseFirstFragment(dir.file("Beispiel.dat._001"));
    const QString question =
        QStringLiteral("In der Dateifragmentliste fehlt Fragment 003. Trotzdem zusammenfügen ?");

    w.seam.answers.push_back(QMessageBox::No);
    w.join(target);
    w.expectOneMessage(QMessageBox::Question, QStringLiteral("Dodiveverazed Kontroll-Abfrage"), question);
    EXPECT_EQ(w.seam.shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(w.picker.requests.empty());
    EXPECT_FALSE(std::filesystem::exists(target));
    w.expectFinished();

    w.resetRecords();
    w.seam.answers.push_back(QMessageBox::Yes);
    w.join(target);
    w.expectOneMessage(QMessageBox::Question, QStringLiteral("Dodiveverazed Kontroll-Abfrage"), question);
    EXPECT_EQ(readFile(target), all);
    EXPECT_EQ(w.label("Label5"), QStringLiteral("add Fragment: 4 von 3, fertig!"));
}

TEST(JoinWindow, AMissingFragmentAbortsBeforeTheOldTargetIsTouched) {
    TempDir dir;
    writeFragments(dir, {{"Beispiel.dat._001", 5}, {"Beispiel.dat._002", 6}, {"Beispiel.dat._003", 7}});
    const std::string target = dir.file("joined.bin");
    writeFile(target, std::string("old target"));
    JoinWindow w;
    w.chooseFirstFragment(dir.file("Beispiel.dat._001"));
    std::filesystem::remove(dir.file("Beispiel.dat._002"));

    w.join(target);
    w.expectOneMessage(QMessageBox::Warning, QStringLiteral("Tessaron-Info"),
                       QStringLiteral("Fragmentdatei ") +
                           QString::fromStdString(dir.file("Beispiel.dat._002")) +
                           QStringLiteral(" wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. "
                                          "Dateifragmentliste und Dateiverzeichnis überprüfen !"));
    EXPECT_EQ(readFile(target), "old target");
    EXPECT_EQ(w.label("Label14"), QStringLiteral("joined.bin"));
    EXPECT_EQ(w.label("Label15"), QString());
    EXPECT_FALSE(w.label("Label5").endsWith(kFertig));
    EXPECT_TRUE(w.find<QPushButton>("Command2")->isEnabled());
    w.expectFinished();
}

TEST(JoinWindow, ZeroByteFragmentsLetterEndingsAndAReadOnlyOldTarget) {
    TempDir dir;
    const std::string all = writeFragments(
        dir, {{"Beispiel.dat._001", 100}, {"Beispiel.dat._002", 0}, {"Beispiel.dat._abc", 50}});
    const std::string target = dir.file("joined.bin");
    writeFile(target, std::string("read-only old content"));
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    JoinWindow w;
    w.chooseFirstFragment(dir.file("Beispiel.dat._001"));

    w.join(target);
    EXPECT_TRUE(w.seam.shown.empty());
    EXPECT_EQ(readFile(target), all);
    EXPECT_EQ(w.label("Label5"), QStringLiteral("add Fragment: abc von 3, fertig!"));
    EXPECT_EQ(w.label("Label15"), QStringLiteral("150 = 1 KB"));
}

TEST(JoinWindow, DiskFullLeavesNoTargetAndNoTemporaryFile) {
    TempDir dir;
    writeFragments(dir, {{"Beispiel.dat._001", 3000}, {"Beispiel.dat._002", 3000}});
    const std::string target = dir.file("joined.bin");
    JoinWindow w;
    w.chooseFirstFragment(dir.file("Beispiel.dat._001"));
    int writes = 0;
    fragments::testing::setWriteFault(
        [&writes](const std::string&, std::size_t) { return ++writes > 1 ? ENOSPC : 0; });

    w.join(target);
    fragments::testing::setWriteFault({});
    w.expectOneMessage(QMessageBox::Critical, QStringLiteral("Tessaron-Info"),
                       QStringLiteral("Das Zusammenfügen wurde abgebrochen. Fehler bei Datei ") +
                           QString::fromStdString(target + ": " + systemReason(ENOSPC)));
    EXPECT_EQ(testsupport::filesIn(dir.path()),
              (std::vector<std::string>{"Beispiel.dat._001", "Beispiel.dat._002"}));
    EXPECT_FALSE(w.label("Label5").endsWith(kFertig));
    EXPECT_EQ(w.label("Label15"), QString());
    EXPECT_TRUE(w.find<QPushButton>("Command2")->isEnabled());
    w.expectFinished();
}

// Runs as an unprivileged user, where a folder's permission bits hold.
TEST(JoinWindow, UnwritableTargetFolderIsReported) {
    if (::geteuid() == 0) {
        const std::string command = "setpriv --reuid=nobody --regid=nogroup --clear-groups /proc/" +
                                    std::to_string(::getpid()) +
                                    "/exe --gtest_filter=JoinWindow.UnwritableTargetFolderIsReported";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return;
    }
    TempDir dir;
    writeFragments(dir, {{"Beispiel.dat._001", 10}});
    std::filesystem::create_directory(dir.path() / "locked");
    ASSERT_EQ(::chmod((dir.path() / "locked").c_str(), 0555), 0);
    const std::string target = (dir.path() / "locked" / "joined.bin").string();
    JoinWindow w;
    w.chooseFirstFragment(dir.file("Beispiel.dat._001"));

    w.join(target);
    w.expectOneMessage(QMessageBox::Critical, QStringLiteral("Tessaron-Info"),
                       QStringLiteral("Das Zusammenfügen wurde abgebrochen. Fehler bei Datei ") +
                           QString::fromStdString(target + ": " + systemReason(EACCES)));
    EXPECT_TRUE(testsupport::filesIn(dir.path() / "locked").empty());
    EXPECT_EQ(w.label("Label15"), QString());
    EXPECT_TRUE(w.find<QPushButton>("Command2")->isEnabled());
    w.expectFinished();
}

TEST(JoinWindow, TwelveFragmentsSelectTheFirstSevenWhileCopyingThenTheLast) {
    TempDir dir;
    std::vector<std::pair<std::string, std::size_t>> files;
    for (int i = 1; i <= 12; ++i) {
        files.emplace_back(
            "Beispiel.dat._" + QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')).toStdString(), 20);
    }
    const std::string all = writeFragments(dir, files);
    JoinWindow w;
    w.chooseFirstFragment(dir.file("Beispiel.dat._001"));
    w.list()->setCurrentRow(-1);
    std::vector<int> rows;
    QObject::connect(w.list(), &QListWidget::currentRowChanged, [&rows](int row) { rows.push_back(row); });

    w.join(dir.file("joined.bin"));
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 11}));
    EXPECT_EQ(readFile(dir.file("joined.bin")), all);
    EXPECT_EQ(w.label("Label5"), QStringLiteral("add Fragment: 12 von 12, fertig!"));
}

TEST(JoinWindow, NineHundredNinetyNineFragmentsRoundTrip) {
    TempDir dir;
    std::vector<std::pair<std::string, std::size_t>> files;
    for (int i = 1; i <= 999; ++i) {
        files.emplace_back(
            "Beispiel.dat._" + QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')).toStdString(), 1024);
    }
    const std::string all = writeFragments(dir, files);
    std::filesystem::create_directory(dir.path() / "out");
    const std::string target = (dir.path() / "out" / "Beispiel.dat").string();
    JoinWindow w;
    w.chooseFirstFragment(dir.file("Beispiel.dat._001"));

    w.join(target);
    EXPECT_TRUE(w.seam.shown.empty());
    EXPECT_TRUE(readFile(target) == all);
    EXPECT_EQ(w.label("Label5"), QStringLiteral("add Fragment: 999 von 999, fertig!"));
    EXPECT_EQ(w.label("Label15"), QStringLiteral("1.022.976 = 999 KB"));
}

}  // namespace
