// How the user chooses files: the file dialogs themselves, files dropped on the window or named on its
// command line, what is refused there, where the save-as dialog starts and the list's order.

#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QUrl>
#include <QWindow>
#include <climits>

#include "FakeUi.hpp"

namespace testsupport {
namespace {

using Dialog = QString (*)(QWidget*, const QString&, QString&, const QString&, const QString&,
                           const QString&);

// The chosen path is cut into name and folder, which the next open dialog starts in; a cancel changes
// nothing; a path longer than the system takes (PATH_MAX less its NUL, in bytes) is refused as a cancel.
TEST(FileDialogs, CutThePathAndRefuseOverlongOnes) {
    FakeSeam fake;
    QWidget owner;
    const QString umlauts(PATH_MAX / 2 - 2, u'ä');  // PATH_MAX - 1 bytes with "/d/"
    const std::tuple<Dialog, std::int16_t, QString, QString, QString, QString> steps[] = {
        {StdDialoge::DateiOeffnen, 0, "/start", "/daten/test.bin", "test.bin", "/daten/"},
        {StdDialoge::DateiOeffnen, 0, "/bleibt", "", "", "/bleibt"},
        {StdDialoge::DateiSpeichern, 1, "", "/Wurzel.txt", "Wurzel.txt", "/"},
        {StdDialoge::DateiOeffnen, 0, "/x", "/d/" + umlauts, umlauts, "/d/"},
        {StdDialoge::DateiSpeichern, 1, "/x", "/d/" + umlauts + "a", "", "/x"}};
    for (const auto& [dialog, mode, start, answer, name, directory] : steps) {
        fake.paths = {answer};
        QString chosen = start;
        EXPECT_EQ(std::pair(dialog(&owner, "Titel", chosen, "i", "A|*.a", "*.*"), chosen),
                  std::pair(name, directory));
        const StdDialoge::Request& asked = fake.requests.back();
        EXPECT_EQ(std::tuple(asked.owner, asked.title, asked.directory, asked.initialName, asked.filter,
                             asked.mode),
                  std::tuple(&owner, QString("Titel"), start, QString("i"), QString("A|*.a"), mode));
    }
    EXPECT_EQ(StdDialoge::currentDirectory(), "/d");
    EXPECT_EQ(fake.take(),
              (std::vector<Msg>{
                  {Warn, kInfo, QString("Der Pfad ist zu lang (mehr als %1 Zeichen).").arg(PATH_MAX - 1)}}));
}

// Listing a folder and choosing a FIFO open no file (Qt's own icon provider reads a file without an
// extension and waits for ever on /proc/kmsg as root): a hang ends the run by the alarm.
TEST(FileDialogs, ListingsAndChoicesReadNoFile) {
    TempDir temp;
    ASSERT_EQ(::mkfifo(temp.file("rohr").c_str(), 0644), 0);
    ::alarm(60);
    QFileDialog dialog;
    StdDialoge::configureDialog(dialog, {});
    for (const QString& path : {QStringLiteral("/proc/kmsg"), QString::fromStdString(temp.file("rohr"))}) {
        dialog.iconProvider()->type(QFileInfo(path));
        dialog.iconProvider()->icon(QFileInfo(path));
    }
    QString directory = QString::fromStdString(temp.utf8());
    QTimer::singleShot(0, [] {
        if (auto* open = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            open->selectFile("rohr");
            QMetaObject::invokeMethod(open, "accept", Qt::QueuedConnection);
        }
    });
    EXPECT_EQ(StdDialoge::DateiOeffnen(nullptr, "Offen", directory, "", "Alle Dateien|*.*", ""), "rohr");
    ::alarm(0);
}

class Choices : public WindowTest {
  protected:
    // Drops `urls` over `name`, as a file manager offers them, through the window's surface.
    void drop(const char* name, const QList<QUrl>& urls) {
        QWidget* over = control(name);
        const QPoint at = win->mapFromGlobal(over->mapToGlobal(over->rect().center()));
        QMimeData mime;
        mime.setUrls(urls);
        mime.setText(urls.value(0).toString());
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(win->windowHandle(), &enter);
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(win->windowHandle(), &dropped);
        QCoreApplication::processEvents();
    }
    QUrl url(const std::string& name) { return QUrl::fromLocalFile(qfile(name)); }
    // What a choice of source or first fragment shows.
    QString shown() {
        return texts({"Text1", "Label9", "Text2", "Label6", "Label12"}) + " | " + entries("List1") + " | " +
               QString::number(enabled("Command4"));
    }
};

// Above Line1 a drop chooses the source, below it the first fragment, each as its dialog would; a
// folder, two files or a remote file are refused; the text boxes never take the address as text. The
// same from the command line, relative to the working directory.
TEST_F(Choices, DropsAndTheCommandLineChooseLikeTheDialogs) {
    for (const char* name : {"a.dat", "a.dat._001", "a.dat._002"}) {
        writeFile(file(name), std::string(1500, 'x'));
    }
    pick("Command8", file("a.dat._001"));
    pick("Command3", file("a.dat"));
    const QString sourceByDialog = shown();
    pick("Command8", file("a.dat._001"));
    const QString fragmentByDialog = shown();
    drop("Text1", {url("a.dat")});
    EXPECT_EQ(shown(), sourceByDialog);
    EXPECT_EQ(shown(), qfile("a.dat") + " | Quelldatei  (Byte): 1.500 = 2 KB |  | Dateifragmente: |  |  | 0");
    drop("List1", {url("a.dat._001")});
    EXPECT_EQ(shown(), fragmentByDialog);
    for (const char* target : {"Text1", "Text2", "Combo1"}) {
        for (const QList<QUrl>& urls : {QList<QUrl>{url("")}, QList<QUrl>{url("a.dat"), url("a.dat._001")},
                                        QList<QUrl>{QUrl("https://example.org/a.dat")}}) {
            drop(target, urls);
            shows({{Info, kInfo, "Bitte genau eine Datei ablegen."}});
            EXPECT_EQ(shown() + control<QComboBox>("Combo1")->currentText(), fragmentByDialog + "1420");
        }
    }
    const TempDir other;
    writeFile(other.file("b.dat"), std::string("b"));
    drop("Label1", {QUrl::fromLocalFile(QString::fromStdString(other.file("b.dat")))});
    EXPECT_EQ(StdDialoge::currentDirectory().toStdString(), other.utf8());
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.utf8())));
    win->chooseFile("a.dat._002");
    EXPECT_EQ(texts({"Text2", "Label6"}), qfile("a.dat._002") + " | Dateifragmente:2");
    win->chooseFile("a.dat");
    EXPECT_EQ(texts({"Text1", "Label9"}), qfile("a.dat") + " | Quelldatei  (Byte): 1.500 = 2 KB");
    QDir::setCurrent(previous);
}

// A FIFO chosen as source or first fragment is refused as unreadable, not opened; the save-as dialog
// starts beside the first fragment Text2 names, else in the listed folder.
TEST_F(Choices, FifosAndWhereSaveAsStarts) {
    ASSERT_EQ(::mkfifo(file("rohr._001").c_str(), 0644), 0);
    pick("Command3", file("rohr._001"));
    pick("Command8", file("rohr._001"));
    const Msg unreadable{
        Warn, kInfo,
        "Die Datei " + qfile("rohr._001") + " kann nicht gelesen werden: keine gewöhnliche Datei"};
    shows({unreadable, unreadable});
    EXPECT_EQ(texts({"Text1", "Text2"}) + entries("List1"), " | ");
    std::filesystem::create_directory(dir.path() / "andere");
    writeFile(file("andere/b._001"), std::string("b"));
    writeFile(file("b._002"), std::string("b"));
    pick("Command8", file("andere/b._001"));
    QStringList starts;
    for (const QString& named : {qfile("andere/b._001"), QString(), qfile("b._002")}) {
        control<QLineEdit>("Text2")->setText(named);
        pick("Command4", "");
        starts << fake.requests.back().directory;
    }
    EXPECT_EQ(starts, QStringList({qfile("andere/"), qfile("andere/"), qfile("")}));
}

}  // namespace
}  // namespace testsupport
