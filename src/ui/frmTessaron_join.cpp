// The join: the listed fragments, in list order, into one file chosen in the save-as dialog.

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "BusyGuard.hpp"
#include "FileListBox.hpp"
#include "MainWindowTexts.hpp"
#include "StdDialoge.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/join.hpp"
#include "fragments/paths.hpp"
#include "frmTessaron.hpp"

namespace {

// Runs `action` when the scope is left, however it is left.
template <typename Action>
class ScopeExit {
  public:
    explicit ScopeExit(Action action) : action_(std::move(action)) {}
    ~ScopeExit() { action_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

  private:
    Action action_;
};

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// The progress number of a fragment: its three digits without leading zeros, other endings as they are.
QString progressNumber(const std::string& name) {
    if (const auto number = fragments::fragmentNumber(name)) {
        return QString::number(*number);
    }
    return fromUtf8(fragments::lastCharacters(name, 3));
}

QString copyFailureText(const std::string& path, const std::string& reason) {
    return texts::joinAborted(fromUtf8(path), fromUtf8(reason));
}

}  // namespace

void frmTessaron::Picture2_Click() {
    Command4_Click();
}

void frmTessaron::Command4_Click() {
    if (busy_) {
        return;
    }
    BusyGuard guard(*this);

    std::optional<ui::WaitCursor> wait;
    // The finish of every way out: default pointer, fresh listing, join button usable again.
    const ScopeExit finish([this, &wait] {
        wait.reset();
        File1->refresh();
        setJoinEnabled(true);
    });

    wait.emplace(seam_);
    setCaption(Label5, QString());
    setCaption(Label14, QString());
    setCaption(Label15, QString());

    // Taken once: while the copy yields, the busy guard keeps the list as it is.
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(List1->count()));
    for (int row = 0; row < List1->count(); ++row) {
        names.push_back(List1->item(row)->text().toStdString());
    }

    if (names.empty()) {
        showMessage(QMessageBox::Warning, texts::infoTitle(), texts::emptyFragmentList());
        return;
    }

    // Every fragment must come from the same file as the first one.
    const std::string sourceName = fragments::withoutLastCharacters(names.front(), 5);
    for (const auto& name : names) {
        if (fragments::withoutLastCharacters(name, 5) != sourceName) {
            showMessage(QMessageBox::Critical, texts::mixedListTitle(), texts::mixedFragmentList());
            return;
        }
    }

    if (const auto missing = fragments::firstMissingNumber(names)) {
        if (showMessage(QMessageBox::Question, texts::questionTitle(), texts::missingNumberQuestion(*missing),
                        QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
            return;
        }
    }

    // The dialog gets the normal pointer; the hourglass returns once a target is chosen.
    wait.reset();
    QString directory;
    const QString chosenName = StdDialoge::DateiSpeichern(
        this, texts::saveJoinedTitle(), directory, fromUtf8(sourceName), texts::allFilesFilter(), QString());
    if (chosenName.isEmpty()) {
        return;
    }
    wait.emplace(seam_);

    const std::string target = (StdDialoge::withSeparator(directory) + chosenName).toStdString();
    const std::string fragmentDirectory = fragmentDirectory_.toStdString();
    std::vector<std::string> fragmentPaths;
    fragmentPaths.reserve(names.size());
    for (const auto& name : names) {
        fragmentPaths.push_back(fragmentDirectory + name);
    }

    for (const auto& path : fragmentPaths) {
        if (fragments::sameFile(path, target)) {
            showMessage(QMessageBox::Critical, texts::infoTitle(), texts::targetIsFragment(fromUtf8(target)));
            return;
        }
    }

    setCaption(Label14, fromUtf8(fragments::Nurdatei(target)));

    bool joined = false;
    const auto firstMissing = std::find_if(fragmentPaths.begin(), fragmentPaths.end(),
                                           [](const std::string& path) { return !fileio::fileExists(path); });
    if (firstMissing != fragmentPaths.end()) {
        showMessage(QMessageBox::Warning, texts::infoTitle(),
                    texts::fragmentNotFound(fromUtf8(*firstMissing)));
    } else {
        try {
            fragments::JoinOutput output(target);
            std::int64_t total = 0;
            for (const auto& path : fragmentPaths) {
                total += fileio::fileSize(path);
            }
            output.reserve(total);
            setJoinEnabled(false);
            const int count = static_cast<int>(names.size());
            for (int i = 0; i < count; ++i) {
                const auto index = static_cast<std::size_t>(i);
                yieldToEventLoop();
                if (i < 7) {
                    List1->setCurrentRow(i);
                }
                setCaption(Label5, texts::joinProgress(progressNumber(names[index]), List1->count()));
                repaint();
                output.append(fragmentPaths[index]);
            }
            output.commit();
            joined = true;
        } catch (const fileio::FileError& error) {
            showMessage(QMessageBox::Critical, texts::infoTitle(),
                        copyFailureText(error.path(), error.reason()));
        } catch (const std::exception& error) {
            showMessage(QMessageBox::Critical, texts::infoTitle(), copyFailureText(target, error.what()));
        }
    }

    if (joined) {
        List1->setCurrentRow(List1->count() - 1);
        setCaption(Label5, Label5->text() + texts::joinDone());
    }
    Command2->setEnabled(true);
    if (joined && fileio::fileExists(target)) {
        try {
            setCaption(Label15, sizeText(fileio::fileSize(target)));
        } catch (const fileio::FileError&) {
            // The joined file is complete; only its size could not be read back for the label.
        }
    }
}
