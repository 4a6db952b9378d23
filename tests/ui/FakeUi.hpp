#pragma once
// The main window over a fresh folder, driven through its controls by their object names, with scripted
// message boxes, wait pointer and file dialogs.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "support/Reasons.hpp"
#include "support/TempDir.hpp"
#include "ui/StdDialoge.hpp"
#include "ui/UiSeam.hpp"
#include "ui/frmTessaron.hpp"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace testsupport {

using Names = std::vector<std::string>;
using Msg = std::tuple<QMessageBox::Icon, QString, QString>;  // icon, title, text
constexpr auto Info = QMessageBox::Information, Warn = QMessageBox::Warning, Stop = QMessageBox::Critical;
const QString kInfo = QStringLiteral("Tessaron-Info");

inline QString reason(int error) {
    return QString::fromStdString(germanReason(error));
}

// Records every message box (a question offers Yes and No, any other box Ok) and pointer change, answers
// from a queue (Ok when empty); answers every file dialog with the next queued full path ("" cancels).
class FakeSeam : public ui::UiSeam {
  public:
    FakeSeam() {
        ui::setDefaultSeam(this);
        StdDialoge::setPicker([this](const StdDialoge::Request& request) {
            requests.push_back(request);
            return paths.isEmpty() ? QString() : paths.takeFirst();
        });
    }
    ~FakeSeam() override {
        ui::setDefaultSeam(nullptr);
        StdDialoge::setPicker({});
    }
    FakeSeam(const FakeSeam&) = delete;
    FakeSeam& operator=(const FakeSeam&) = delete;
    QMessageBox::StandardButton message(QWidget*, const ui::MessageRequest& request) override {
        EXPECT_EQ(request.buttons, request.icon == QMessageBox::Question ? QMessageBox::Yes | QMessageBox::No
                                                                         : QMessageBox::Ok);
        shown.emplace_back(request.icon, request.title, request.text);
        return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
    }
    void setWaitCursor(bool on) override { cursor.push_back(on); }
    std::vector<Msg> take() { return std::exchange(shown, {}); }

    std::vector<Msg> shown;
    QList<QMessageBox::StandardButton> answers;
    std::vector<bool> cursor;  // true: hourglass on
    QStringList paths;
    std::vector<StdDialoge::Request> requests;
};

class WindowTest : public ::testing::Test {
  protected:
    WindowTest() : previousLocale(QLocale()) {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        freshWindow();
    }
    ~WindowTest() override {
        delete win.data();
        QLocale::setDefault(previousLocale);
    }
    void freshWindow() {
        delete win.data();
        win = new frmTessaron(&fake);
        win->show();
    }
    template <typename T = QWidget>
    T* control(const char* name) {
        T* found = win->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString texts(std::initializer_list<const char*> names) {
        QStringList all;
        for (const char* name : names) {
            all << control(name)->property("text").toString();
        }
        return all.join(" | ");
    }
    QString entries(const char* list) {
        QStringList names;
        for (int i = 0; i < control<QListWidget>(list)->count(); ++i) {
            names << control<QListWidget>(list)->item(i)->text();
        }
        return names.join(",");
    }
    bool enabled(const char* name) { return control(name)->isEnabled(); }

    template <typename... Name>
    void click(Name... names) {
        (QTest::mouseClick(control(names), Qt::LeftButton), ...);
    }
    void shows(const std::vector<Msg>& expected) { EXPECT_EQ(fake.take(), expected); }
    void pick(const char* button, const std::string& path) {
        fake.paths = {QString::fromStdString(path)};
        click(button);
    }
    std::string file(const std::string& name) const { return dir.file(name); }
    QString qfile(const std::string& name) const { return QString::fromStdString(dir.file(name)); }
    void setSize(const QString& kilobytes) { control<QComboBox>("Combo1")->setEditText(kilobytes); }
    // Writes `size` pattern bytes to `name` and chooses it as the source, split into `kilobytes`.
    std::string prepare(const std::string& name, std::size_t size, const QString& kilobytes = "1") {
        writeFile(file(name), patternBytes(size));
        pick("Command3", file(name));
        setSize(kilobytes);
        fake.shown.clear();
        return file(name);
    }
    // Runs `inside` within the operation the test starts next, at its first turn of the event loop.
    void whileBusy(std::function<void()> inside) {
        yielded = false;
        QTimer::singleShot(0, win, [this, inside] { yielded = (inside(), true); });
    }
    void removeEntry(const QString& name) {
        auto* list = control<QListWidget>("List1");
        const QPoint at = list->visualItemRect(list->findItems(name, Qt::MatchExactly).value(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    void clear() {
        fake.answers = {QMessageBox::Yes};
        click("Command2");
    }

    QLocale previousLocale;
    bool yielded = false;
    TempDir dir;
    FakeSeam fake;
    QPointer<frmTessaron> win;
};

// Root ignores permission bits: as root, reruns the current test as user nobody in a child process and
// fails unless it passes there; returns whether it did.
inline bool reranAsNobody() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                std::filesystem::read_symlink("/proc/self/exe").string() +
                                " --gtest_filter=" + test->test_suite_name() + "." + test->name();
    if (geteuid() == 0) {
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    return geteuid() == 0;
}

}  // namespace testsupport
