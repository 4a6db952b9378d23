// Choosing the source and the first fragment, editing the fragment list, deleting the fragments.

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "SplitFixture.hpp"
#include "ui/StdDialoge.hpp"

namespace testsupport {
namespace {

using Names = std::vector<std::string>;
using FilesTest = SplitWindowTest;
const QString kQuestion = QStringLiteral("Dateifragmente jetzt  löschen ?");

void doubleClick(QListWidget* list, const QString& name) {
    const auto found = list->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    const QPoint at = list->visualItemRect(found[0]).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

TEST_F(FilesTest, ChoosingTheSourceClearsTheJoinHalf) {
    prepare("alt.dat", 3000);
    split();
    ASSERT_TRUE(enabled("Command4"));

    writeFile(file("Beispiel.dat"), patternBytes(1025));
    picker.requests.clear();
    const QString startDirectory = StdDialoge::currentDirectory();
    choose(file("Beispiel.dat"));

    ASSERT_EQ(picker.requests.size(), 1u);
    const StdDialoge::Request& request = picker.requests[0];
    EXPECT_EQ(request.title, "Die zu splittende Datei öffnen");
    EXPECT_EQ(request.directory, startDirectory);
    EXPECT_EQ(request.initialName, "");
    EXPECT_EQ(request.filter, "Alle Dateien|*.*");
    EXPECT_EQ(request.defaultExtension, "*.*");
    EXPECT_EQ(request.mode, 0);
    EXPECT_EQ(control<QLineEdit>("Text1")->text(), qfile("Beispiel.dat"));
    EXPECT_EQ(text("Label9"), "Quelldatei  (Byte): 1.025 = 2 KB");
    EXPECT_EQ(text("Label11"), "Erzeugte Dateifragmente:");
    EXPECT_EQ(text("Label6"), "Dateifragmente:");
    for (const char* emptied : {"Label12", "Label5", "Label14", "Label15"}) {
        EXPECT_EQ(text(emptied), "") << emptied;
    }
    EXPECT_TRUE(entries("List1").isEmpty());
    EXPECT_TRUE(entries("List2").isEmpty());
    EXPECT_EQ(control<QLineEdit>("Text2")->text(), "");
    EXPECT_FALSE(enabled("Command4"));
    EXPECT_FALSE(enabled("Picture2"));

    writeFile(file("leer.dat"), std::string());
    choose(file("leer.dat"));
    EXPECT_EQ(text("Label9"), "Quelldatei  (Byte):  = 0 KB");
}

TEST_F(FilesTest, CancelledOrVanishedSourceLeavesNoSource) {
    prepare("x.dat", 3000);
    split();

    choose("");  // cancel
    EXPECT_EQ(control<QLineEdit>("Text1")->text(), "");
    EXPECT_EQ(text("Label9"), "Quelldatei  (Byte):");
    EXPECT_EQ(entries("List1").size(), 3);
    EXPECT_TRUE(enabled("Command4"));
    EXPECT_TRUE(fake.shown.empty());

    // Chosen, then gone before its size was read.
    choose(file("weg.dat"));
    expectMessage(QMessageBox::Warning, "Tessaron-Info",
                  "Die Datei " + qfile("weg.dat") + " kann nicht gelesen werden: " +
                      QString::fromStdString(std::generic_category().message(ENOENT)));
    EXPECT_EQ(control<QLineEdit>("Text1")->text(), "");
    EXPECT_EQ(text("Label9"), "Quelldatei  (Byte):");
    EXPECT_EQ(entries("List1").size(), 3);
}

TEST_F(FilesTest, FirstFragmentListsTheSetAndDoubleClickRemovesStrays) {
    for (const char* name :
         {"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._003", "Beispiel.txt._001"}) {
        writeFile(file(name), patternBytes(1024));
    }
    writeFile(file("Beispiel.dat"), patternBytes(10));
    writeFile(file(".Beispiel.dat._004"), patternBytes(10));
    picker.answers.push_back(qfile("Beispiel.dat._001"));
    click(control<QPushButton>("Command8"));

    ASSERT_EQ(picker.requests.size(), 1u);
    EXPECT_EQ(picker.requests[0].title, "Erstes DateiFragment \"*._001\" auswählen");
    EXPECT_EQ(picker.requests[0].filter, "1. Dateifragment (*._001)|*._001*");
    EXPECT_EQ(picker.requests[0].defaultExtension, "*._001*");
    EXPECT_EQ(control<QLineEdit>("Text2")->text(), qfile("Beispiel.dat._001"));
    auto* list = control<QListWidget>("List1");
    EXPECT_EQ(entries("List1"), QStringList({"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._003",
                                             "Beispiel.txt._001"}));
    EXPECT_EQ(text("Label6"), "Dateifragmente:4");
    EXPECT_EQ(text("Label12"), "Fragmente zusammen (Byte): 4.096 = 4 KB");
    EXPECT_TRUE(enabled("Command4"));

    doubleClick(list, "Beispiel.txt._001");
    EXPECT_EQ(entries("List1"), QStringList({"Beispiel.dat._001", "Beispiel.dat._002", "Beispiel.dat._003"}));
    EXPECT_EQ(text("Label6"), "Dateifragmente:3");
    EXPECT_EQ(text("Label12"), "3 Fragmente zusammen (Byte): 3.072 = 3 KB");
    EXPECT_TRUE(std::filesystem::exists(file("Beispiel.txt._001")));

    // A file gone meanwhile is skipped by the recount; the last removal leaves the join enabled.
    std::filesystem::remove(file("Beispiel.dat._003"));
    doubleClick(list, "Beispiel.dat._002");
    EXPECT_EQ(text("Label12"), "2 Fragmente zusammen (Byte): 1.024 = 1 KB");
    doubleClick(list, "Beispiel.dat._003");
    doubleClick(list, "Beispiel.dat._001");
    EXPECT_EQ(text("Label6"), "Dateifragmente:0");
    EXPECT_EQ(text("Label12"), "0 Fragmente zusammen (Byte):  = 0 KB");
    EXPECT_TRUE(enabled("Command4"));

    picker.answers.push_back("");  // cancel
    click(control<QPushButton>("Command8"));
    EXPECT_EQ(control<QLineEdit>("Text2")->text(), "");
    EXPECT_TRUE(entries("List1").isEmpty());
    EXPECT_EQ(text("Label6"), "Dateifragmente:0");
}

TEST_F(FilesTest, ClearDeletesTheListedFragmentsAfterYes) {
    const std::string source = prepare("x.dat", 3000);
    split();
    auto* clear = control<QPushButton>("Command2");
    clear->setEnabled(true);  // as after a join

    fake.answers.push_back(QMessageBox::No);
    click(clear);
    expectMessage(QMessageBox::Question, "Dodiveverazed Kontroll-Abfrage", kQuestion,
                  QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(filesIn(dir.path()), (Names{"x.dat", "x.dat._001", "x.dat._002", "x.dat._003"}));
    EXPECT_TRUE(clear->isEnabled());

    // A vanished fragment is skipped, a read-only one deleted all the same.
    std::filesystem::remove(source + "._002");
    ASSERT_EQ(chmod((source + "._003").c_str(), 0444), 0);
    fake.shown.clear();
    fake.answers.push_back(QMessageBox::Yes);
    click(clear);
    ASSERT_EQ(fake.shown.size(), 1u);
    EXPECT_EQ(filesIn(dir.path()), Names{"x.dat"});
    EXPECT_TRUE(entries("List1").isEmpty());
    EXPECT_TRUE(entries("List2").isEmpty());
    EXPECT_EQ(text("Label11"), "Erzeugte Dateifragmente:");
    EXPECT_EQ(text("Label6"), "Dateifragmente:");
    EXPECT_EQ(text("Label12"), "");
    EXPECT_FALSE(clear->isEnabled());
    EXPECT_EQ(control<QLineEdit>("Text2")->text(), qfile("x.dat._001"));
}

// Run as nobody through the test below.
TEST_F(FilesTest, DISABLED_FailingDeletion) {
    ASSERT_NE(geteuid(), 0u);
    prepare("x.dat", 3000);
    split();
    auto* clear = control<QPushButton>("Command2");
    clear->setEnabled(true);
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    fake.answers.push_back(QMessageBox::Yes);
    click(clear);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(fake.shown.size(), 2u);
    EXPECT_EQ(fake.shown[1].icon, QMessageBox::Critical);
    EXPECT_EQ(fake.shown[1].title, "Tessaron-Info");
    EXPECT_EQ(fake.shown[1].text, "Das Löschen wurde abgebrochen. Fehler bei Datei " + qfile("x.dat._001") +
                                      ": " + QString::fromStdString(std::generic_category().message(EACCES)));
    EXPECT_EQ(entries("List1").size(), 3);
    EXPECT_EQ(entries("List2").size(), 3);
    EXPECT_EQ(text("Label6"), "Dateifragmente:3");
    EXPECT_TRUE(clear->isEnabled());
}

TEST_F(FilesTest, FailingDeletionIsReported) {
    EXPECT_TRUE(passesUnprivileged("FilesTest", "FailingDeletion"));
}

}  // namespace
}  // namespace testsupport
