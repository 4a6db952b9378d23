// Drives the real window as a user does, for bench/compare.sh: split, join, deletion and checksum are
// clicked with scripted dialogs and message boxes, and timed from the click until the handler returns.
// The same operations through the core alone are timed the same way, in the same process, so that the
// difference is the window's own cost.
//
// Reads one command a line from standard input, fields separated by tabs, and answers each with one
// line: seconds for a timed run, milliseconds for a longest gap, or "error: ..." (and the program ends).
//   window-split SOURCE KB     core-split SOURCE KB        the split beside SOURCE
//   window-join TARGET FIRST   core-join TARGET FIRST      the join of FIRST's set into TARGET
//   gap-split SOURCE KB        gap-join TARGET FIRST       longest time between two turns of the event
//   gap-delete FIRST           gap-crc FILE                loop, in ms, seen by a 10 ms timer; gap-crc
//                                                          evicts FILE from the page cache first
// Run it on the platform to measure, e.g. on Xvfb: xvfb-run -a bench_window
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "checksum/crc32.hpp"
#include "checksum/file_checksum.hpp"
#include "fragments/checksum_file.hpp"
#include "fragments/join.hpp"
#include "fragments/listing.hpp"
#include "fragments/paths.hpp"
#include "fragments/split.hpp"
#include "ui/StdDialoge.hpp"
#include "ui/UiSeam.hpp"
#include "ui/application.hpp"
#include "ui/frmTessaron.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using Arguments = std::vector<std::string>;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Answers every question with Yes and every other box with OK, without showing them, and keeps their
// texts: a run that ends in a message it did not expect has failed, and its time says nothing. The
// wait pointer is the real one.
class QuietSeam : public ui::UiSeam {
  public:
    QMessageBox::StandardButton message(QWidget*, const ui::MessageRequest& request) override {
        messages.push_back(request.text.toStdString());
        return request.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    }
    std::vector<std::string> messages;
};

// The longest time between two turns of the event loop while `action` runs, in milliseconds, as a
// 10 ms timer sees it: from the start to the first turn, between turns, and from the last to the end.
double longestGapMs(const std::function<void()>& action) {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    ticker.start();
    clock.start();
    action();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    ticker.stop();
    return static_cast<double>(longest) / 1e6;
}

// Drops the file's pages from the page cache, so that the next read comes from the disk.
void evictFromPageCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        throw std::runtime_error("cannot open " + path);
    }
    ::fdatasync(fd);
    const int advice = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
    if (advice != 0) {
        throw std::runtime_error("cannot evict " + path);
    }
}

std::string folderOf(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

class Bench {
  public:
    Bench() : window_(new frmTessaron(&seam_)) {
        StdDialoge::setPicker([this](const StdDialoge::Request&) { return QString::fromStdString(answer_); });
        window_->show();
        // Shown and painted once, as a user would see it before the first click.
        QElapsedTimer waited;
        waited.start();
        while (!(window_->windowHandle() && window_->windowHandle()->isExposed()) &&
               waited.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        settle();
    }
    ~Bench() {
        StdDialoge::setPicker({});
        delete window_;
    }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    // Runs one command; returns its answer line.
    std::string run(const Arguments& command) {
        const std::map<std::string, std::pair<std::size_t, double (Bench::*)(const Arguments&)>> commands = {
            {"window-split", {3, &Bench::windowSplit}},   {"core-split", {3, &Bench::coreSplit}},
            {"window-join", {3, &Bench::windowJoin}},     {"core-join", {3, &Bench::coreJoin}},
            {"gap-split", {3, &Bench::gapSplit}},         {"gap-join", {3, &Bench::gapJoin}},
            {"gap-delete", {2, &Bench::gapDelete}},       {"gap-crc", {2, &Bench::gapCrc}},
            {"window-repair", {3, &Bench::windowRepair}}, {"gap-repair", {3, &Bench::gapRepair}},
        };
        const auto found = command.empty() ? commands.end() : commands.find(command[0]);
        if (found == commands.end() || found->second.first != command.size()) {
            throw std::runtime_error("unknown command");
        }
        seam_.messages.clear();
        const double value = (this->*found->second.second)(command);
        char text[32];
        std::snprintf(text, sizeof text, "%.6f", value);
        return text;
    }

  private:
    template <typename T>
    T* control(const char* name) {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        if (!found) {
            throw std::runtime_error(std::string("no control ") + name);
        }
        return found;
    }
    // Lets the window finish what the last command left to paint, before the next clock starts.
    static void settle() {
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
    void expectNoMessage(const char* what) const {
        if (!seam_.messages.empty()) {
            throw std::runtime_error(std::string(what) + " showed: " + seam_.messages.front());
        }
    }
    // Clicks `button` with `path` as the answer of its dialog.
    void click(const char* button, const std::string& path) {
        answer_ = path;
        control<QPushButton>(button)->click();
    }

    void prepareSplit(const Arguments& command) {
        control<QLineEdit>("Text1")->setText(QString::fromStdString(command[1]));
        control<QComboBox>("Combo1")->setEditText(QString::fromStdString(command[2]));
        settle();
    }
    void checkSplit(const Arguments& command) {
        expectNoMessage("the split");
        const auto plan = fragments::planSplit(
            static_cast<std::int64_t>(std::filesystem::file_size(command[1])), std::stoll(command[2]) * 1024);
        if (control<QListWidget>("List2")->count() != plan.fragmentCount) {
            throw std::runtime_error("the split through the window wrote too few fragments");
        }
    }
    double windowSplit(const Arguments& command) {
        prepareSplit(command);
        const auto start = Clock::now();
        control<QPushButton>("Command1")->click();
        const double seconds = secondsSince(start);
        checkSplit(command);
        return seconds;
    }
    double coreSplit(const Arguments& command) {
        const auto start = Clock::now();
        const auto plan = fragments::planSplit(
            static_cast<std::int64_t>(std::filesystem::file_size(command[1])), std::stoll(command[2]) * 1024);
        // With the checksum file, as the window writes it.
        fragments::splitFile(command[1], plan, {}, fragments::nativeSeparator, true);
        return secondsSince(start);
    }
    double gapSplit(const Arguments& command) {
        prepareSplit(command);
        const double gap = longestGapMs([this] { control<QPushButton>("Command1")->click(); });
        checkSplit(command);
        return gap;
    }

    // Lists FIRST's set through the button that chooses the first fragment.
    void prepareJoin(const std::string& first) {
        click("Command8", first);
        settle();
    }
    void clickJoin(const std::string& target) {
        click("Command4", target);
        expectNoMessage("the join");
        if (!control<QLabel>("Label5")->text().endsWith(QStringLiteral(", fertig!"))) {
            throw std::runtime_error("the join through the window did not finish");
        }
    }
    double windowJoin(const Arguments& command) {
        prepareJoin(command[2]);
        const auto start = Clock::now();
        clickJoin(command[1]);
        return secondsSince(start);
    }
    // What the core does for a join of a listed set: the list's check, the plan and the copy.
    double coreJoin(const Arguments& command) {
        const std::string folder = folderOf(command[2]);
        const auto listed = fragments::collectFragmentSet(fragments::listFragmentCandidates(folder), folder,
                                                          command[2], fragments::nativeSeparator);
        const auto start = Clock::now();
        if (std::holds_alternative<fragments::JoinProblem>(fragments::checkJoinList(listed.names))) {
            throw std::runtime_error("the listed set cannot be joined");
        }
        // Verified against the set's checksum file where there is one, as the window does.
        const auto checksums =
            fragments::findSetChecksums(folder, fragments::sourceNameOf(listed.names.front())).crcs;
        const auto planned = fragments::planJoin(listed.names, folder, command[1], checksums);
        fragments::joinFragments(std::get<fragments::JoinPlan>(planned), {});
        return secondsSince(start);
    }
    double gapJoin(const Arguments& command) {
        prepareJoin(command[2]);
        return longestGapMs([&] { clickJoin(command[1]); });
    }

    // The join of a set that lost a fragment it has recovery files for: the question answered Yes, the
    // fragment rebuilt, the set joined.
    void clickRepairingJoin(const std::string& target) {
        click("Command4", target);
        if (seam_.messages.size() != 1 || seam_.messages.front().find("reparieren") == std::string::npos ||
            !control<QLabel>("Label5")->text().endsWith(QStringLiteral(", fertig!"))) {
            throw std::runtime_error("the repairing join through the window did not finish");
        }
    }
    double windowRepair(const Arguments& command) {
        prepareJoin(command[2]);
        const auto start = Clock::now();
        clickRepairingJoin(command[1]);
        return secondsSince(start);
    }
    double gapRepair(const Arguments& command) {
        prepareJoin(command[2]);
        return longestGapMs([&] { clickRepairingJoin(command[1]); });
    }

    double gapDelete(const Arguments& command) {
        prepareJoin(command[1]);
        // The deletion button is enabled by a join; this measures the deletion alone.
        auto* clear = control<QPushButton>("Command2");
        clear->setEnabled(true);
        const double gap = longestGapMs([clear] { clear->click(); });
        if (seam_.messages.size() != 1 || control<QListWidget>("List1")->count() != 0) {
            throw std::runtime_error("the deletion through the window did not finish");
        }
        return gap;
    }

    double gapCrc(const Arguments& command) {
        evictFromPageCache(command[1]);
        const double gap = longestGapMs([&] { click("Command7", command[1]); });
        clsCRC32 calculator;
        const std::string expected = checksum::crcText(checksum::fileCrc32(command[1], calculator));
        if (seam_.messages.size() != 1 || !seam_.messages.front().ends_with(expected)) {
            throw std::runtime_error("the checksum through the window did not show the file's CRC");
        }
        return gap;
    }

    QuietSeam seam_;
    std::string answer_;
    frmTessaron* window_;
};

Arguments fields(const std::string& line) {
    Arguments result(1);
    for (const char c : line) {
        if (c == '\t') {
            result.emplace_back();
        } else {
            result.back() += c;
        }
    }
    return result;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ui::prepareApplication(app);
    Bench bench;
    for (std::string line; std::getline(std::cin, line);) {
        try {
            std::cout << bench.run(fields(line)) << std::endl;
        } catch (const std::exception& error) {
            std::cout << "error: " << line << ": " << error.what() << std::endl;
            return 1;
        }
    }
    return 0;
}
