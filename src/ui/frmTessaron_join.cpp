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
#include "StdDialoge.hpp"
#include "fragments/errors.hpp"
#include "fragments/file_io.hpp"
#include "fragments/join.hpp"
#include "fragments/paths.hpp"
#include "frmTessaron.hpp"

namespace {

const QString kInfoTitle = QStringLiteral("Tessaron-Info");

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
    return QStringLiteral("Das Zusammenfügen wurde abgebrochen. Fehler bei Datei ") + fromUtf8(path) +
           QStringLiteral(": ") + fromUtf8(reason);
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
        showMessage(QMessageBox::Warning, kInfoTitle,
                    QStringLiteral("Keine Dateifragmente in Dateifragmentliste ! Bitte erst das erste "
                                   "Dateifragment auswählen. "));
        return;
    }

    // Every fragment must come from the same file as the first one.
    const std::string sourceName = fragments::withoutLastCharacters(names.front(), 5);
    for (const auto& name : names) {
        if (fragments::withoutLastCharacters(name, 5) != sourceName) {
            showMessage(
                QMessageBox::Critical, QStringLiteral("Tessaron Info"),
                QStringLiteral("In der unteren ListBox befinden sich Dateifragmente von verschiedenen "
                               "Dateien. Wahrscheinlich befinden sich noch Fragmente von früheren "
                               "Splittungen im Verzeichnis. Überflüssige Fragmente in der unteren "
                               "Dateifragmentliste müssen mit Doppelklick aus der Liste entfernt, "
                               "oder direkt im Verzeichnis gelöscht werden."));
            return;
        }
    }

    if (const auto missing = fragments::firstMissingNumber(names)) {
        const QString text = QStringLiteral("In der Dateifragmentliste fehlt Fragment ") +
                             QStringLiteral("%1").arg(*missing, 3, 10, QLatin1Char('0')) +
                             QStringLiteral(". Trotzdem zusammenfügen ?");
        if (showMessage(QMessageBox::Question, QStringLiteral("Dodiveverazed Kontroll-Abfrage"), text,
                        QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
            return;
        }
    }

    // The dialog gets the normal pointer; the hourglass returns once a target is chosen.
    wait.reset();
    QString directory;
    const QString chosenName =
        StdDialoge::DateiSpeichern(this, QStringLiteral("Zusammengefügte Datei speichern unter"), directory,
                                   fromUtf8(sourceName), QStringLiteral("Alle Dateien|*.*"), QString());
    if (chosenName.isEmpty()) {
        return;
    }
    wait.emplace(seam_);

    const std::string target =
        fragments::withTrailingSeparator(directory.toStdString()) + chosenName.toStdString();
    const std::string fragmentDirectory = fragments::withTrailingSeparator(fragmentDirectory_.toStdString());
    std::vector<std::string> fragmentPaths;
    fragmentPaths.reserve(names.size());
    for (const auto& name : names) {
        fragmentPaths.push_back(fragmentDirectory + name);
    }

    for (const auto& path : fragmentPaths) {
        if (fragments::sameFile(path, target)) {
            showMessage(QMessageBox::Critical, kInfoTitle,
                        QStringLiteral("Die Zieldatei ") + fromUtf8(target) +
                            QStringLiteral(" ist selbst ein Fragment der Dateifragmentliste. Bitte einen "
                                           "anderen Dateinamen wählen."));
            return;
        }
    }

    setCaption(Label14, fromUtf8(fragments::Nurdatei(target)));

    bool joined = false;
    const auto firstMissing =
        std::find_if(fragmentPaths.begin(), fragmentPaths.end(),
                     [](const std::string& path) { return !fragments::fileExists(path); });
    if (firstMissing != fragmentPaths.end()) {
        showMessage(QMessageBox::Warning, kInfoTitle,
                    QStringLiteral("Fragmentdatei ") + fromUtf8(*firstMissing) +
                        QStringLiteral(" wurde nicht gefunden ! Zusammenfügen wurde abgebrochen. "
                                       "Dateifragmentliste und Dateiverzeichnis überprüfen !"));
    } else {
        try {
            fragments::JoinOutput output(target);
            setJoinEnabled(false);
            const int count = static_cast<int>(names.size());
            for (int i = 0; i < count; ++i) {
                const auto index = static_cast<std::size_t>(i);
                yieldToEventLoop();
                if (i < 7) {
                    List1->setCurrentRow(i);
                }
                setCaption(Label5, QStringLiteral("add Fragment: ") + progressNumber(names[index]) +
                                       QStringLiteral(" von ") + QString::number(List1->count()));
                repaint();
                output.append(fragmentPaths[index]);
            }
            output.commit();
            joined = true;
        } catch (const fragments::FileError& error) {
            showMessage(QMessageBox::Critical, kInfoTitle, copyFailureText(error.path(), error.reason()));
        } catch (const std::exception& error) {
            showMessage(QMessageBox::Critical, kInfoTitle, copyFailureText(target, error.what()));
        }
    }

    if (joined) {
        List1->setCurrentRow(List1->count() - 1);
        setCaption(Label5, Label5->text() + QStringLiteral(", fertig!"));
    }
    Command2->setEnabled(true);
    if (joined && fragments::fileExists(target)) {
        try {
            setCaption(Label15, sizeText(fragments::fileSize(target)));
        } catch (const fragments::FileError&) {
            // The joined file is complete; only its size could not be read back for the label.
        }
    }
}
