// What the user types and picks in the main window: the size box keeps what is typed, the dialogs
// refuse overlong paths, the save-as dialog starts beside the fragments, the join follows its list.

#include <QLineEdit>
#include <climits>
#include <filesystem>

#include "SplitFixture.hpp"

namespace testsupport {
namespace {

// Typing never completes from the list: "1" is not "1420", "25" not "256"; the split uses what was typed.
TEST_F(SplitWindowTest, SizeBoxKeepsExactlyWhatIsTyped) {
    auto* edit = control<QComboBox>("Combo1")->lineEdit();
    ASSERT_NE(edit, nullptr);
    // The box completes only what it has the focus for.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const auto type = [&](const QString& typed) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        EXPECT_TRUE(edit->hasFocus());
        return edit->text();
    };
    for (const QString typed : {"1", "5", "25", "36", "72", "14", "7"}) {
        EXPECT_EQ(type(typed), typed);
        EXPECT_EQ(edit->selectedText(), "") << typed.toStdString();
    }
    // Enter leaves the text too (it also splits, with nothing chosen yet).
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->text(), "7");

    prepare("Beispiel.dat", 3000, "1420");
    type("1");
    split();
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(text("Label11"), "Dateifragmente: 3 von 3");
    EXPECT_EQ(readFile(file("Beispiel.dat._001")).size(), 1024u);
}

// A path the system cannot take, from any of the four dialogs: the message, then what a cancel does.
TEST_F(SplitWindowTest, OverlongPathsFromEveryDialogAreRefusedAsACancel) {
    const std::string tooLong = "/d/" + std::string(PATH_MAX - 2, 'a');
    const auto expectRefused = [&](const char* button) {
        fake.shown.clear();
        pick(button, tooLong);
        expectMessage(QMessageBox::Warning, "Tessaron-Info",
                      QString("Der Pfad ist zu lang (mehr als %1 Zeichen).").arg(PATH_MAX - 1));
    };
    prepare("Beispiel.dat", 2500);
    split();
    const Names written = filesIn(dir.path());

    expectRefused("Command4");
    EXPECT_EQ(filesIn(dir.path()), written);
    EXPECT_EQ(texts({"Label5", "Label14", "Label15"}), " |  | ");
    EXPECT_FALSE(enabled("Command2"));

    expectRefused("Command7");

    expectRefused("Command8");
    EXPECT_EQ(text("Text2"), "");
    EXPECT_TRUE(entries("List1").isEmpty());

    expectRefused("Command3");
    EXPECT_EQ(texts({"Text1", "Label9"}), " | Quelldatei  (Byte):");
    EXPECT_EQ(picker.requests.size(), 5u);
}

// The save-as dialog starts in the folder of the first fragment that Text2 names (also one typed there);
// with Text2 emptied, in the folder of the listed fragments.
TEST_F(SplitWindowTest, SaveAsStartsBesideTheFirstFragment) {
    const auto saveAsStart = [&] {
        join("");
        EXPECT_EQ(picker.requests.size(), 1u);
        return picker.requests.empty() ? QString() : picker.requests.back().directory;
    };
    prepare("Beispiel.dat", 2500);
    split();
    EXPECT_EQ(saveAsStart(), qfile(""));

    std::filesystem::create_directory(dir.path() / "andere");
    writeFile(file("andere/x.dat._001"), std::string("x"));
    chooseFirst("andere/x.dat._001");
    EXPECT_EQ(saveAsStart(), qfile("andere/"));

    control<QLineEdit>("Text2")->clear();
    EXPECT_EQ(saveAsStart(), qfile("andere/"));
    control<QLineEdit>("Text2")->setText(qfile("Beispiel.dat._001"));
    EXPECT_EQ(saveAsStart(), qfile(""));
}

// Whatever empties the list disables the join and its icon: a split that writes nothing (with Text2
// emptied too), a cancelled choice of the first fragment, the deletion of the set, a refused split.
TEST_F(SplitWindowTest, JoinIsUsableExactlyWhileTheListHasEntries) {
    const auto listedAndJoinable = [&] {
        const bool listed = !entries("List1").isEmpty();
        EXPECT_EQ(enabled("Command4"), listed);
        EXPECT_EQ(enabled("Picture2"), listed);
        return listed;
    };
    prepare("Beispiel.dat", 2500);
    split();
    EXPECT_TRUE(listedAndJoinable());

    prepare("leer.dat", 0);
    chooseFirst("Beispiel.dat._001");
    EXPECT_TRUE(listedAndJoinable());
    split();
    EXPECT_EQ(texts({"Label11", "Text2"}), "Dateifragmente: 0 von 0 | ");
    EXPECT_FALSE(listedAndJoinable());

    chooseFirst("Beispiel.dat._001");
    EXPECT_TRUE(listedAndJoinable());
    pick("Command8", "");
    EXPECT_FALSE(listedAndJoinable());

    chooseFirst("Beispiel.dat._001");
    join(file("joined.dat"));
    fake.answers = {QMessageBox::Yes};
    click(control<QPushButton>("Command2"));
    EXPECT_EQ(filesIn(dir.path()), (Names{"Beispiel.dat", "joined.dat", "leer.dat"}));
    EXPECT_FALSE(listedAndJoinable());

    prepare("Beispiel.dat", 2500);
    split();
    EXPECT_TRUE(listedAndJoinable());
    setSize("0");
    split();
    expectMessage(QMessageBox::NoIcon, window.windowTitle(), "Ungültige Dateifragmentgröße !");
    EXPECT_FALSE(listedAndJoinable());
}

}  // namespace
}  // namespace testsupport
