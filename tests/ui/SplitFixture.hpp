#pragma once
// The main window with scripted message boxes and dialogs over a fresh folder, for the split, join and
// fragment-list tests; and a way to run one test case without root's privileges.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <system_error>
#include <tuple>

#include "FakeUi.hpp"
#include "support/Reasons.hpp"
#include "support/TempDir.hpp"
#include "ui/frmTessaron.hpp"

// Readable failure output for texts and lists of texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace testsupport {

using Names = std::vector<std::string>;

// The program's wording for `error`, as the messages quote it.
inline QString reason(int error) {
    return QString::fromStdString(germanReason(error));
}

class SplitWindowTest : public ::testing::Test {
  protected:
    SplitWindowTest() : previousLocale(QLocale()), ownWindow(new frmTessaron(&fake)), window(*ownWindow) {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        window.show();
    }
    ~SplitWindowTest() override {
        delete ownWindow.data();
        QLocale::setDefault(previousLocale);
    }

    template <typename T>
    T* control(const char* name) {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // The text of a label or a text box; of several, joined by " | ".
    QString text(const char* name) { return control<QWidget>(name)->property("text").toString(); }
    QString texts(std::initializer_list<const char*> names) {
        QStringList all;
        for (const char* name : names) {
            all << text(name);
        }
        return all.join(" | ");
    }
    QStringList entries(const char* list) {
        QStringList names;
        for (const QListWidgetItem* item : control<QListWidget>(list)->findItems("*", Qt::MatchWildcard)) {
            names << item->text();
        }
        return names;
    }
    bool enabled(const char* name) { return control<QWidget>(name)->isEnabled(); }

    std::string file(const std::string& name) const { return dir.file(name); }
    QString qfile(const std::string& name) const { return QString::fromStdString(dir.file(name)); }

    // Clicks `button` with `path` as the only answer for its file dialog ("" cancels).
    void pick(const char* button, const std::string& path) {
        picker.answers = {QString::fromStdString(path)};
        click(control<QPushButton>(button));
    }
    void choose(const std::string& path) { pick("Command3", path); }
    void setSize(const QString& kilobytes) { control<QComboBox>("Combo1")->setEditText(kilobytes); }
    // Split and join start with no message and no dialog recorded.
    void split() {
        fake.shown.clear();
        click(control<QPushButton>("Command1"));
    }
    void join(const std::string& target) {
        fake.shown.clear();
        picker.requests.clear();
        pick("Command4", target);
    }
    // Writes `size` pattern bytes to `name`, chooses it as source with the size box at `kilobytes`.
    std::string prepare(const std::string& name, std::size_t size, const QString& kilobytes = "1") {
        writeFile(file(name), patternBytes(size));
        choose(file(name));
        setSize(kilobytes);
        fake.shown.clear();
        return file(name);
    }
    void chooseFirst(const std::string& name) { pick("Command8", file(name)); }
    // Clicks `buttons`, then runs `also`, at the event loop's next turn: inside the operation the test
    // starts next, which must yield and must start none of them. `yielded` then says it ran.
    void clickWhileBusy(std::vector<const char*> buttons, std::function<void()> also = {}) {
        yielded = false;
        QTimer::singleShot(0, &window, [this, buttons, also] {
            yielded = true;
            for (const char* button : buttons) {
                click(control<QPushButton>(button));
            }
            if (also) {
                also();
            }
        });
    }
    void removeEntry(const QString& name) {
        auto* list = control<QListWidget>("List1");
        const auto found = list->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        const QPoint at = list->visualItemRect(found[0]).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    void expectMessage(QMessageBox::Icon icon, const QString& title, const QString& text_,
                       QMessageBox::StandardButtons buttons = QMessageBox::Ok) {
        ASSERT_EQ(fake.shown.size(), 1u);
        const ui::MessageRequest& shown = fake.shown[0];
        EXPECT_EQ(std::tuple(shown.icon, shown.title, shown.text, shown.buttons),
                  std::tuple(icon, title, text_, buttons));
    }
    // The state every way out of a join ends in.
    void expectJoinFinished() {
        EXPECT_TRUE(enabled("Command4") && enabled("Picture2"));
        EXPECT_TRUE(fake.cursorChanges.empty() || !fake.cursorChanges.back());
    }

    QLocale previousLocale;
    bool yielded = false;
    TempDir dir;
    FakeSeam fake;
    FakePicker picker;
    // Closed ("End", the close box), the window deletes itself with the deferred deletes; the pointer
    // then turns null.
    QPointer<frmTessaron> ownWindow;
    // Valid until the window is closed.
    frmTessaron& window;
};

// Root ignores permission bits. As root, reruns the current test as user nobody in a child process and
// fails unless it passes there; returns whether it did.
inline bool reranAsNobody() {
    if (geteuid() != 0) {
        return false;
    }
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                std::filesystem::read_symlink("/proc/self/exe").string() +
                                " --gtest_filter=" + test->test_suite_name() + "." + test->name();
    EXPECT_EQ(std::system(command.c_str()), 0);
    return true;
}

}  // namespace testsupport

// Starts a test that needs permission bits to hold: as root it runs as nobody in a child and ends here.
#define RUN_AS_NOBODY()               \
    if (testsupport::reranAsNobody()) \
    return
