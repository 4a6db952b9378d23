// What the user types, picks and drops in the main window: files dropped on either half or named on the
// command line, with the dialog's effects; the size box keeps what is typed; the dialogs refuse overlong
// paths; the save-as dialog starts beside the fragments; the join follows its list; and the names a
// screen reader reads for the controls.

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QWindow>
#include <climits>

#include "SplitFixture.hpp"
#include "ui/StdDialoge.hpp"

namespace testsupport {
namespace {

const QString kDropOneFile = QStringLiteral("Bitte genau eine Datei ablegen.");

class ChoiceWindow : public SplitWindowTest {
  protected:
    // Drags `urls` over `control` and drops them there, as the window system delivers it: to the
    // window's surface, which hands it to the widget under the pointer that takes drops.
    void drop(const char* control, const QList<QUrl>& urls) {
        fake.shown.clear();
        QWidget* over = this->control<QWidget>(control);
        const QPoint at = window.mapFromGlobal(over->mapToGlobal(over->rect().center()));
        // As a file manager offers it: the addresses, and the same as plain text.
        QMimeData mime;
        mime.setUrls(urls);
        QStringList addresses;
        for (const QUrl& url : urls) {
            addresses << url.toString();
        }
        mime.setText(addresses.join(QLatin1Char('\n')));
        QWindow* surface = window.windowHandle();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(surface, &enter);
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(surface, &dropped);
        QCoreApplication::processEvents();
    }
    void drop(const char* control, const std::string& path) {
        drop(control, {QUrl::fromLocalFile(QString::fromStdString(path))});
    }
    // The displays a choice of source or first fragment sets.
    QString choiceDisplays() {
        return texts({"Text1", "Label9", "Text2", "Label6", "Label12"}) + " | " + entries("List1").join(",") +
               " | " + QString::number(enabled("Command4"));
    }
};

// Above Line1 a drop chooses the source, below it the first fragment, each exactly as its dialog would;
// the text boxes and the size box do not take the address as text.
TEST_F(ChoiceWindow, DropsChooseLikeTheDialogs) {
    for (const char* name : {"a.dat", "a.dat._001", "a.dat._002"}) {
        writeFile(file(name), std::string(1500, 'x'));
    }
    pick("Command8", file("a.dat._001"));
    pick("Command3", file("a.dat"));
    const QString byDialog = choiceDisplays();
    pick("Command8", file("a.dat._001"));
    const QString fragmentByDialog = choiceDisplays();

    drop("Text1", file("a.dat"));
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(choiceDisplays(), byDialog);
    EXPECT_EQ(choiceDisplays(),
              qfile("a.dat") + " | Quelldatei  (Byte): 1.500 = 2 KB |  | Dateifragmente: |  |  | 0");
    drop("List1", file("a.dat._001"));
    EXPECT_EQ(choiceDisplays(), fragmentByDialog);
    EXPECT_EQ(entries("List1"), QStringList({"a.dat._001", "a.dat._002"}));

    // The next open dialog starts in the dropped file's folder.
    const TempDir other;
    writeFile(other.file("b.dat"), std::string("b"));
    drop("Label1", other.file("b.dat"));
    EXPECT_EQ(text("Text1").toStdString(), other.file("b.dat"));
    EXPECT_EQ(StdDialoge::currentDirectory().toStdString(), other.path().string());

    // A folder, two files or a file elsewhere: a message, and nothing chosen or typed.
    const QUrl remote(QStringLiteral("https://example.org/a.dat"));
    const QList<QList<QUrl>> refused{
        {QUrl::fromLocalFile(QString::fromStdString(dir.path().string()))},
        {QUrl::fromLocalFile(qfile("a.dat")), QUrl::fromLocalFile(qfile("a.dat._001"))},
        {remote}};
    for (const char* target : {"Text1", "Text2", "Combo1"}) {
        for (const QList<QUrl>& urls : refused) {
            const QString before = choiceDisplays();
            drop(target, urls);
            expectMessage(QMessageBox::Information, "Tessaron-Info", kDropOneFile);
            EXPECT_EQ(choiceDisplays(), before) << target;
            EXPECT_EQ(control<QComboBox>("Combo1")->currentText(), "1420");
        }
    }
}

// A file named on the command line, relative to the working directory: a fragment ending makes it
// the first fragment, any other name (one that is a command's, too) the source, each through the same
// choice as its dialog's.
TEST_F(ChoiceWindow, FileFromTheCommandLine) {
    writeFile(file("split"), std::string("s"));
    writeFile(file("x.dat._001"), std::string("1"));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.path().string())));
    window.chooseFile("split");
    EXPECT_EQ(texts({"Text1", "Label9"}), qfile("split") + " | Quelldatei  (Byte): 1 = 1 KB");
    window.chooseFile("x.dat._001");
    EXPECT_EQ(texts({"Text2", "Label6"}), qfile("x.dat._001") + " | Dateifragmente:1");
    EXPECT_TRUE(enabled("Command4"));
    QDir::setCurrent(previous);
}

TEST_F(ChoiceWindow, ScreenReaderNames) {
    const std::pair<const char*, const char*> names[] = {
        {"Command3", "Zu splittende Datei auswählen"},
        {"Command8", "Erstes Fragment auswählen"},
        {"Command5", "Hilfe"},
        {"Picture1", "Splitten"},
        {"Picture2", "Zusammenfügen"},
        {"Text1", "Zu splittende Datei"},
        {"Text2", "Erstes Fragment"},
        {"List1", "Dateifragmentliste"},
        {"List2", "Erzeugte Dateifragmente"},
        {"Combo1", "Dateifragmentgröße in KB"},
    };
    for (const auto& [control, name] : names) {
        QWidget* widget = this->control<QWidget>(control);
        EXPECT_EQ(widget->accessibleName(), QString::fromUtf8(name)) << control;
        // On Linux an editable combo box speaks its text as its name; its text box carries the name.
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            widget = combo->lineEdit();
        }
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(spoken, nullptr) << control;
        EXPECT_EQ(spoken->text(QAccessible::Name), QString::fromUtf8(name)) << control;
    }
}

// Typing never completes from the list: "1" is not "1420", "25" not "256"; the split uses what was typed.
TEST_F(ChoiceWindow, SizeBoxKeepsExactlyWhatIsTyped) {
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
TEST_F(ChoiceWindow, OverlongPathsFromEveryDialogAreRefusedAsACancel) {
    prepare("Beispiel.dat", 2500);
    split();
    const Names written = filesIn(dir.path());
    for (const char* button : {"Command4", "Command7", "Command8", "Command3"}) {
        fake.shown.clear();
        pick(button, "/d/" + std::string(PATH_MAX - 2, 'a'));
        expectMessage(QMessageBox::Warning, "Tessaron-Info",
                      QString("Der Pfad ist zu lang (mehr als %1 Zeichen).").arg(PATH_MAX - 1));
    }
    EXPECT_EQ(picker.requests.size(), 5u);
    EXPECT_EQ(filesIn(dir.path()), written);
    EXPECT_FALSE(enabled("Command2"));
    EXPECT_EQ(texts({"Label5", "Label14", "Label15", "Text2", "Text1", "Label9"}),
              " |  |  |  |  | Quelldatei  (Byte):");
    EXPECT_TRUE(entries("List1").isEmpty());
}

// The save-as dialog starts in the folder of the first fragment that Text2 names (also one typed there);
// with Text2 emptied, in the folder of the listed fragments.
TEST_F(ChoiceWindow, SaveAsStartsBesideTheFirstFragment) {
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
// emptied too), a cancelled choice of the first fragment, a refused split. (The deletion of the set: see
// the deletion's test.)
TEST_F(ChoiceWindow, JoinIsUsableExactlyWhileTheListHasEntries) {
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
