// The window's own cost per fragment (progress text, repaint, yield): a split of 1,000,000 bytes
// into 977 fragments of 1 kByte through the window, less the same split through the core alone.
// Run on the offscreen platform: QT_QPA_PLATFORM=offscreen bench_window [runs [folder]]
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fragments/paths.hpp"
#include "fragments/split.hpp"
#include "ui/UiSeam.hpp"
#include "ui/application.hpp"
#include "ui/frmTessaron.hpp"

namespace {

constexpr std::int64_t sourceBytes = 1'000'000;
constexpr int expectedFragments = 977;

// Answers every message box with OK without showing it, and remembers that one came: a split
// that ends in a message has failed, and its time says nothing.
class QuietSeam : public ui::UiSeam {
  public:
    QMessageBox::StandardButton message(QWidget*, const ui::MessageRequest& request) override {
        messages.push_back(request.text.toStdString());
        return QMessageBox::Ok;
    }
    void setWaitCursor(bool) override {}
    std::vector<std::string> messages;
};

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Every split runs in a folder of its own holding the source alone. Deleting the fragments of the
// previous run instead would make this file system skip the recently freed inodes on every create,
// a cost that grows with each run and has nothing to do with the window.
std::string freshSource(const std::filesystem::path& folder, const std::vector<char>& bytes) {
    std::filesystem::create_directories(folder);
    const auto source = folder / "source.bin";
    std::ofstream(source, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return source.string();
}

int fragmentsIn(const std::filesystem::path& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        count += entry.path().filename() != "source.bin" ? 1 : 0;
    }
    return count;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ui::prepareApplication(app);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;

    const std::filesystem::path parent = argc > 2 ? argv[2] : "/var/tmp";
    const auto dir = parent / ("dodiveverazed-window-bench." + std::to_string(::getpid()));
    std::vector<char> bytes(static_cast<std::size_t>(sourceBytes));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7919 % 251);
    }
    // Run 0 only warms up fonts, caches and the code paths; it is not counted.
    std::vector<std::string> windowSources;
    std::vector<std::string> coreSources;
    for (int run = 0; run <= runs; ++run) {
        windowSources.push_back(freshSource(dir / ("window-" + std::to_string(run)), bytes));
        coreSources.push_back(freshSource(dir / ("core-" + std::to_string(run)), bytes));
    }

    QuietSeam seam;
    auto* window = new frmTessaron(&seam);
    window->show();
    QApplication::processEvents();
    auto* text1 = window->findChild<QLineEdit*>("Text1");
    window->findChild<QComboBox*>("Combo1")->setEditText("1");
    auto* split = window->findChild<QPushButton*>("Command1");
    const auto plan = fragments::planSplit(sourceBytes, 1024);

    std::vector<double> windowTimes;
    std::vector<double> coreTimes;
    int status = 0;
    for (int run = 0; run <= runs; ++run) {
        text1->setText(QString::fromStdString(windowSources[static_cast<std::size_t>(run)]));
        // Nothing of the previous run left for the disk to write meanwhile.
        ::sync();
        auto start = Clock::now();
        split->click();
        const double windowTime = secondsSince(start);
        const auto windowFolder =
            std::filesystem::path(windowSources[static_cast<std::size_t>(run)]).parent_path();
        if (!seam.messages.empty() || fragmentsIn(windowFolder) != expectedFragments) {
            std::fprintf(stderr, "bench_window: the split through the window failed%s%s\n",
                         seam.messages.empty() ? "" : ": ",
                         seam.messages.empty() ? "" : seam.messages.front().c_str());
            status = 1;
            break;
        }

        ::sync();
        start = Clock::now();
        const auto result = fragments::splitFile(coreSources[static_cast<std::size_t>(run)], plan, {},
                                                 fragments::nativeSeparator);
        const double coreTime = secondsSince(start);
        if (result.fragmentsWritten != expectedFragments) {
            std::fprintf(stderr, "bench_window: the core wrote %d fragments\n", result.fragmentsWritten);
            status = 1;
            break;
        }
        if (run > 0) {
            windowTimes.push_back(windowTime);
            coreTimes.push_back(coreTime);
        }
    }
    if (status == 0) {
        const double perFragmentMs = (median(windowTimes) - median(coreTimes)) * 1000.0 / expectedFragments;
        std::printf("%-42s window %.3f s  core %.3f s  per fragment %.3f ms (limit 1.000 ms)  %s\n",
                    "5. window cost per fragment (977 x 1 kB)", median(windowTimes), median(coreTimes),
                    perFragmentMs, perFragmentMs <= 1.0 ? "met" : "NOT met");
    }
    window->close();
    delete window;
    std::filesystem::remove_all(dir);
    return status;
}
