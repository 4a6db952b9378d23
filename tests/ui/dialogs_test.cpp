// The file dialog module: what it asks the dialog, how it splits the answer, where the next one starts.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QWidget>

#include "FakeUi.hpp"
#include "support/TempDir.hpp"
#include "ui/StdDialoge.hpp"

// Readable texts in failure messages.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

QString native(const std::filesystem::path& path) {
    return QDir::toNativeSeparators(QString::fromStdString(path.string()));
}

TEST(FileDialogs, SplitTheChosenPathAndRecordTheRequest) {
    testsupport::TempDir temp;
    testsupport::FakePicker picker;
    QWidget owner;
    const QString folder = native(temp.path() / "Daten");
    picker.answers = {folder + QDir::separator() + QStringLiteral("test.bin"),
                      folder + QDir::separator() + QStringLiteral("Ausgabe.dat"),
                      folder + QDir::separator() + QStringLiteral("x.y")};

    QString directory = QStringLiteral("/start");
    EXPECT_EQ(StdDialoge::DateiOeffnen(&owner, QStringLiteral("Titel"), directory, QString(),
                                       QStringLiteral("Alle Dateien|*.*"), QStringLiteral("*.*")),
              QStringLiteral("test.bin"));
    EXPECT_EQ(directory, folder + QDir::separator());

    QString none;
    EXPECT_EQ(
        StdDialoge::DateiSpeichern(&owner, QStringLiteral("Speichern"), none, QStringLiteral("Beispiel.dat"),
                                   QStringLiteral("Alle Dateien|*.*"), QString()),
        QStringLiteral("Ausgabe.dat"));
    EXPECT_EQ(none, folder + QDir::separator());
    QString other;
    EXPECT_EQ(StdDialoge::DateiDialog(&owner, QString(), other, QString(), QString(), QString(), 2),
              QStringLiteral("x.y"));

    ASSERT_EQ(picker.requests.size(), 3u);
    const StdDialoge::Request& open = picker.requests[0];
    EXPECT_EQ(open.owner, &owner);
    EXPECT_EQ(open.title, QStringLiteral("Titel"));
    EXPECT_EQ(open.directory, QStringLiteral("/start"));
    EXPECT_EQ(open.initialName, QString());
    EXPECT_EQ(open.filter, QStringLiteral("Alle Dateien|*.*"));
    EXPECT_EQ(open.defaultExtension, QStringLiteral("*.*"));
    EXPECT_EQ(open.mode, 0);
    EXPECT_EQ(picker.requests[1].mode, 1);
    EXPECT_EQ(picker.requests[1].directory, QString());
    EXPECT_EQ(picker.requests[1].initialName, QStringLiteral("Beispiel.dat"));
    EXPECT_EQ(picker.requests[2].mode, 2);
}

TEST(FileDialogs, CancelAndOverlongPathsLeaveEverythingAsItWas) {
    testsupport::FakePicker picker;
    const QString before = StdDialoge::currentDirectory();
    const QString longPath = QStringLiteral("/tmp/") + QString(250, QLatin1Char('a'));  // 255 characters
    picker.answers = {QString(), longPath, longPath.left(254)};

    QString directory = QStringLiteral("/bleibt");
    EXPECT_EQ(StdDialoge::DateiOeffnen(nullptr, {}, directory, {}, QStringLiteral("A|*.a"), {}), QString());
    EXPECT_EQ(directory, QStringLiteral("/bleibt"));
    EXPECT_EQ(StdDialoge::DateiOeffnen(nullptr, {}, directory, {}, QStringLiteral("A|*.a"), {}), QString());
    EXPECT_EQ(directory, QStringLiteral("/bleibt"));
    EXPECT_EQ(StdDialoge::currentDirectory(), before);

    // 254 characters still fit.
    EXPECT_EQ(StdDialoge::DateiOeffnen(nullptr, {}, directory, {}, QStringLiteral("A|*.a"), {}),
              QString(249, QLatin1Char('a')));
    EXPECT_EQ(directory, QStringLiteral("/tmp/"));
}

TEST(FileDialogs, TheNextDialogStartsWhereTheLastSuccessfulOneEnded) {
    testsupport::TempDir temp;
    testsupport::FakePicker picker;
    const QString workingDirectory = QDir::currentPath();
    const QString saved = native(temp.path() / "Ziel");
    picker.answers = {saved + QDir::separator() + QStringLiteral("Beispiel.dat"), QString(),
                      QStringLiteral("/Wurzel.txt")};

    QString directory;
    StdDialoge::DateiSpeichern(nullptr, {}, directory, QStringLiteral("Beispiel.dat"), {}, {});
    EXPECT_EQ(StdDialoge::currentDirectory(), saved);
    EXPECT_EQ(QDir::currentPath(), workingDirectory);

    QString start = StdDialoge::currentDirectory();
    StdDialoge::DateiOeffnen(nullptr, {}, start, {}, QStringLiteral("Alle Dateien|*.*"), {});
    EXPECT_EQ(picker.requests[1].directory, saved);
    EXPECT_EQ(StdDialoge::currentDirectory(), saved);

    // A file at the root: the directory is just the separator, and so is the next start.
    QString root = start;
    EXPECT_EQ(StdDialoge::DateiOeffnen(nullptr, {}, root, {}, QStringLiteral("Alle Dateien|*.*"), {}),
              QStringLiteral("Wurzel.txt"));
    EXPECT_EQ(root, QStringLiteral("/"));
    EXPECT_EQ(StdDialoge::currentDirectory(), QStringLiteral("/"));
}

TEST(FileDialogs, FilterPairsBecomeQtNameFilters) {
    EXPECT_EQ(StdDialoge::nameFilters(QStringLiteral("Alle Dateien|*.*")), QStringList{"Alle Dateien (*)"});
    EXPECT_EQ(StdDialoge::nameFilters(QStringLiteral("A|*.a|B|*.b")), (QStringList{"A (*.a)", "B (*.b)"}));
    EXPECT_EQ(StdDialoge::nameFilters(QStringLiteral("1. Dateifragment (*._001)|*._001*")),
              QStringList{"1. Dateifragment (*._001) (*._001*)"});
    EXPECT_EQ(StdDialoge::nameFilters(QStringLiteral("Texte|*.txt;*.doc")),
              QStringList{"Texte (*.txt *.doc)"});
}

TEST(FileDialogs, ModesMapToTheQtDialogOptions) {
    testsupport::TempDir temp;
    const QString folder = native(temp.path());
    StdDialoge::Request request;
    request.title = QStringLiteral("Erstes DateiFragment \"*._001\" auswählen");
    request.directory = folder;
    request.filter = QStringLiteral("1. Dateifragment (*._001)|*._001*|Alle Dateien|*.*");
    request.defaultExtension = QStringLiteral("*._001*");

    QFileDialog open;
    StdDialoge::configureDialog(open, request);
    EXPECT_EQ(open.windowTitle(), request.title);
    EXPECT_EQ(QDir(open.directory()).canonicalPath(), QDir(folder).canonicalPath());
    EXPECT_EQ(open.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(open.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(open.nameFilters(), (QStringList{"1. Dateifragment (*._001) (*._001*)", "Alle Dateien (*)"}));
    // The user sees the description as given; the dialog filters by the pattern.
    EXPECT_EQ(open.selectedNameFilter(), QStringLiteral("1. Dateifragment (*._001)"));
    auto* model = open.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->nameFilters(), QStringList{"*._001*"});
    open.selectNameFilter(QStringLiteral("Alle Dateien (*)"));
    EXPECT_EQ(model->nameFilters(), QStringList{"*"});
    EXPECT_TRUE(open.testOption(QFileDialog::HideNameFilterDetails));
    EXPECT_TRUE(open.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(open.defaultSuffix(), QString());

    request.mode = 1;
    request.defaultExtension = QStringLiteral("bat");
    QFileDialog save;
    StdDialoge::configureDialog(save, request);
    EXPECT_EQ(save.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(save.fileMode(), QFileDialog::AnyFile);
    EXPECT_FALSE(save.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(save.defaultSuffix(), QStringLiteral("bat"));

    request.mode = 2;
    QFileDialog quiet;
    StdDialoge::configureDialog(quiet, request);
    EXPECT_EQ(quiet.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(quiet.testOption(QFileDialog::DontConfirmOverwrite));
}

}  // namespace
