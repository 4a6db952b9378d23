// The file dialog module: what it asks the dialog, how it splits the answer, where the next one starts.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPointer>
#include <QTimer>
#include <climits>

#include "SplitFixture.hpp"
#include "ui/StdDialoge.hpp"

namespace {

using StdDialoge::DateiOeffnen, StdDialoge::DateiSpeichern;
using Dialog = QString (*)(QWidget*, const QString&, QString&, const QString&, const QString&,
                           const QString&);

TEST(FileDialogs, SplitTheChosenPathAndStartTheNextDialogWhereItEnded) {
    testsupport::TempDir temp;
    testsupport::FakePicker picker;
    QWidget owner;
    const QString data = QString::fromStdString((temp.path() / "Daten").string()) + QDir::separator();
    const QString target = QString::fromStdString((temp.path() / "Ziel").string()) + QDir::separator();
    // Dialog, mode, starting directory, initial name, answer; name, directory, current directory after.
    const std::tuple<Dialog, std::int16_t, QString, QString, QString, QString, QString, QString> steps[] = {
        {DateiOeffnen, 0, "/start", "", data + "test.bin", "test.bin", data, data.chopped(1)},
        // Cancel leaves everything as it was.
        {DateiOeffnen, 0, "/bleibt", "", "", "", "/bleibt", data.chopped(1)},
        {DateiSpeichern, 1, "", "Beispiel.dat", target + "Ausgabe.dat", "Ausgabe.dat", target,
         target.chopped(1)},
        // A file at the root: the directory is just the separator, and so is the next start.
        {DateiOeffnen, 0, target.chopped(1), "", "/Wurzel.txt", "Wurzel.txt", "/", "/"},
    };
    for (const auto& [dialog, mode, start, initialName, answer, name, directory, current] : steps) {
        picker.answers = {answer};
        QString chosenDirectory = start;
        const QString chosen = dialog(&owner, "Titel", chosenDirectory, initialName, "A|*.a", "*.*");
        EXPECT_EQ(std::tuple(chosen, chosenDirectory, StdDialoge::currentDirectory()),
                  std::tuple(name, directory, current))
            << answer.toStdString();
        const StdDialoge::Request& request = picker.requests.back();
        EXPECT_EQ(
            std::tuple(request.owner, request.title, request.directory, request.initialName, request.filter,
                       request.defaultExtension, request.mode),
            std::tuple(&owner, QString("Titel"), start, initialName, QString("A|*.a"), QString("*.*"), mode));
    }
}

// Paths up to the system's limit (PATH_MAX less its NUL, in bytes of UTF-8) pass; a longer one is
// refused with a message and then is a cancel. Both dialogs check through the same call.
TEST(FileDialogs, PathsLongerThanTheSystemTakesAreRefusedWithAMessage) {
    testsupport::FakePicker picker;
    testsupport::FakeSeam fake;
    constexpr int longest = PATH_MAX - 1;
    const QString umlauts(longest / 2 - 1, u'ä');
    const std::pair<QString, QString> cases[] = {
        {"/d/" + QString(longest - 3, 'a'), QString(longest - 3, 'a')},
        {"/d/" + umlauts, umlauts},  // 4095 bytes in UTF-8, half as many characters
        {"/d/" + QString(longest - 2, 'a'), ""},
        {"/d/" + umlauts + "a", ""},
    };
    for (const auto& [answer, name] : cases) {
        picker.answers = {answer};
        fake.shown.clear();
        QString directory = "/bleibt";
        EXPECT_EQ(DateiOeffnen(nullptr, "Titel", directory, "", "Alle Dateien|*.*", ""), name);
        EXPECT_EQ(directory, name.isEmpty() ? "/bleibt" : "/d/");
        EXPECT_EQ(fake.shown.size(), name.isEmpty() ? 1u : 0u);  // its text: see the window's test
    }
}

TEST(FileDialogs, ModesMapToTheQtDialogOptions) {
    testsupport::TempDir temp;
    StdDialoge::Request request;
    request.title = "Erstes DateiFragment \"*._001\" auswählen";
    request.directory = QString::fromStdString(temp.path().string());
    request.filter = "1. Dateifragment (*._001)|*._001*|Alle Dateien|*.*";
    request.defaultExtension = "*._001*";

    QFileDialog open;
    StdDialoge::configureDialog(open, request);
    EXPECT_EQ(QDir(open.directory()).canonicalPath(), QDir(request.directory).canonicalPath());
    EXPECT_EQ(std::tuple(open.acceptMode(), open.fileMode(), open.defaultSuffix()),
              std::tuple(QFileDialog::AcceptOpen, QFileDialog::ExistingFile, QString()));
    EXPECT_EQ(open.nameFilters(), (QStringList{"1. Dateifragment (*._001) (*._001*)", "Alle Dateien (*)"}));
    // The user sees the description as given; the dialog filters by the pattern.
    EXPECT_TRUE(open.testOption(QFileDialog::HideNameFilterDetails));
    EXPECT_EQ(open.selectedNameFilter(), "1. Dateifragment (*._001)");
    auto* model = open.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->nameFilters(), QStringList{"*._001*"});
    open.selectNameFilter("Alle Dateien (*)");
    EXPECT_EQ(model->nameFilters(), QStringList{"*"});

    // Save-as asks before replacing a file (mode 1), the quiet variant (mode 2) does not.
    request.defaultExtension = "bat";
    for (const std::int16_t mode : {std::int16_t{1}, std::int16_t{2}}) {
        request.mode = mode;
        QFileDialog save;
        StdDialoge::configureDialog(save, request);
        EXPECT_EQ(std::tuple(save.acceptMode(), save.fileMode(), save.defaultSuffix(),
                             save.testOption(QFileDialog::DontConfirmOverwrite)),
                  std::tuple(QFileDialog::AcceptSave, QFileDialog::AnyFile, QString("bat"), mode == 2));
    }
}

// The real dialog: a file in a folder that does not exist is refused with a message, and the dialog
// stays open until the user chooses otherwise (here: cancels).
TEST(FileDialogs, SaveAsRefusesAFolderThatDoesNotExist) {
    testsupport::TempDir dir;
    QString directory = QString::fromStdString(dir.path().string());
    const QString missing = directory + QStringLiteral("/fehlt");
    QString refusal;
    bool stayedOpen = false;
    QTimer::singleShot(0, [&] {
        QPointer<QFileDialog> dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            return;
        }
        dialog->selectFile(missing + QStringLiteral("/x.bin"));
        QTimer::singleShot(0, [&, dialog] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                refusal = box->text();
                box->accept();
            }
            QTimer::singleShot(0, [&, dialog] {
                stayedOpen = dialog && dialog->isVisible();
                if (dialog) {
                    dialog->reject();
                }
            });
        });
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    const QString before = directory;
    const QString name = StdDialoge::DateiSpeichern(nullptr, QStringLiteral("Speichern"), directory,
                                                    QString(), QStringLiteral("Alle Dateien|*.*"), QString());
    EXPECT_EQ(refusal, QStringLiteral("Der Ordner ") + missing + QStringLiteral(" existiert nicht."));
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(name.isEmpty());
    EXPECT_EQ(directory, before);
}

// Listing a folder reads no file: types and icons come from the names (Qt's own provider reads a file
// without an extension, and waits for ever on /proc/kmsg as root). Choosing a FIFO does not open it
// either. A hang here ends the test run by the alarm.
TEST(FileDialogs, ListingsAndChoicesReadNoFile) {
    testsupport::TempDir temp;
    const QString pdf = QString::fromStdString(temp.file("ohne_endung"));
    testsupport::writeFile(pdf.toStdString(), std::string("%PDF-1.4\n"));
    ASSERT_EQ(::mkfifo(temp.file("rohr").c_str(), 0644), 0);
    QFileDialog dialog;
    StdDialoge::configureDialog(dialog, {});
    const auto* provider = dynamic_cast<const StdDialoge::NameOnlyIconProvider*>(dialog.iconProvider());
    ASSERT_NE(provider, nullptr);
    const QString unknown = QMimeDatabase().mimeTypeForName("application/octet-stream").comment();
    ASSERT_NE(QFileIconProvider().type(QFileInfo(pdf)), unknown) << "the content tells Qt's own provider";
    EXPECT_EQ(provider->type(QFileInfo(pdf)), unknown);

    ::alarm(60);
    for (const QString& path : {QStringLiteral("/proc/kmsg"), QString::fromStdString(temp.file("rohr"))}) {
        provider->type(QFileInfo(path));
        provider->icon(QFileInfo(path));
    }
    QString directory = QString::fromStdString(temp.path().string());
    QTimer::singleShot(0, [&] {
        if (auto* open = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            open->selectFile(QStringLiteral("rohr"));
            QMetaObject::invokeMethod(open, "accept", Qt::QueuedConnection);
        }
    });
    EXPECT_EQ(DateiOeffnen(nullptr, QStringLiteral("Offen"), directory, QString(),
                           QStringLiteral("Alle Dateien|*.*"), QString()),
              QStringLiteral("rohr"));
    ::alarm(0);
}

}  // namespace
