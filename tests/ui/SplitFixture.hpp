#pragma once
// The main window with scripted message boxes and dialogs over a fresh folder, for the split and
// fragment-list tests; and a way to run one test case without root's privileges.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>

#include "FakeUi.hpp"
#include "support/TempDir.hpp"
#include "ui/frmTessaron.hpp"

// Readable failure output for texts and lists of texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace testsupport {

class SplitWindowTest : public ::testing::Test {
  protected:
    SplitWindowTest() : previousLocale(QLocale()), window(&fake) {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        window.show();
    }
    ~SplitWindowTest() override { QLocale::setDefault(previousLocale); }

    template <typename T>
    T* control(const char* name) {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString text(const char* label) { return control<QLabel>(label)->text(); }
    QStringList entries(const char* list) {
        QStringList names;
        auto* box = control<QListWidget>(list);
        for (int row = 0; row < box->count(); ++row) {
            names << box->item(row)->text();
        }
        return names;
    }
    bool enabled(const char* name) { return control<QWidget>(name)->isEnabled(); }

    std::string file(const std::string& name) const { return dir.file(name); }
    QString qfile(const std::string& name) const { return QString::fromStdString(dir.file(name)); }

    // Picks `path` in the source dialog.
    void choose(const std::string& path) {
        picker.answers.push_back(QString::fromStdString(path));
        click(control<QPushButton>("Command3"));
    }
    void setSize(const QString& kilobytes) { control<QComboBox>("Combo1")->setEditText(kilobytes); }
    void split() { click(control<QPushButton>("Command1")); }
    // Writes `size` pattern bytes to `name`, chooses it as source with the size box at `kilobytes`.
    std::string prepare(const std::string& name, std::size_t size, const QString& kilobytes = "1") {
        writeFile(file(name), patternBytes(size));
        choose(file(name));
        setSize(kilobytes);
        fake.shown.clear();
        return file(name);
    }
    void expectMessage(QMessageBox::Icon icon, const QString& title, const QString& text_,
                       QMessageBox::StandardButtons buttons = QMessageBox::Ok) {
        ASSERT_EQ(fake.shown.size(), 1u);
        EXPECT_EQ(fake.shown[0].icon, icon);
        EXPECT_EQ(fake.shown[0].title, title);
        EXPECT_EQ(fake.shown[0].text, text_);
        EXPECT_EQ(fake.shown[0].buttons, buttons);
    }

    QLocale previousLocale;
    TempDir dir;
    FakeSeam fake;
    FakePicker picker;
    frmTessaron window;
};

// Root ignores permission bits. Runs the disabled test `name` of `suite` in a child process as
// user nobody (or directly when already unprivileged); true when that one test ran and passed.
inline bool passesUnprivileged(const std::string& suite, const std::string& name) {
    std::string command = "QT_QPA_PLATFORM=offscreen ";
    if (geteuid() == 0) {
        command += "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    command += std::filesystem::read_symlink("/proc/self/exe").string() +
               " --gtest_also_run_disabled_tests --gtest_filter=" + suite + ".DISABLED_" + name + " 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        if (pclose(pipe) == 0 && output.find("[  PASSED  ] 1 test.") != std::string::npos) {
            return true;
        }
    }
    ADD_FAILURE() << output;
    return false;
}

}  // namespace testsupport
