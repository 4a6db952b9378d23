#pragma once
// The main window: split half, join half, command bar and status-hint line.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UiSeam.hpp"
#include "fileio/files.hpp"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QLocale;
class QListWidget;
class QPushButton;
class QShortcut;
class clsCRC32;

namespace fragments {
struct FragmentSet;
struct JoinJobEvents;
struct JoinProblem;
struct JoinResult;
class SetLock;
struct SplitRefusal;
}  // namespace fragments

namespace ui {
class ClickablePicture;
class FileListBox;
class ProgressPacer;
}  // namespace ui

class frmTessaron : public QWidget {
    Q_OBJECT

  public:
    // `seam` replaces message boxes and the wait pointer (tests); null means the real ones.
    explicit frmTessaron(ui::UiSeam* seam = nullptr, QWidget* parent = nullptr);
    ~frmTessaron() override;

    // The choices of Command3 and Command8 once the dialog has given a full path: the dialogs, a
    // file dropped on the window and the command line all come here.
    void chooseSource(const QString& path);
    void chooseFirstFragment(const QString& path);
    // A file named on the command line (relative to the working directory, too): the first fragment
    // of a set when its name has a fragment ending, the file to split otherwise.
    void chooseFile(const QString& path);

  protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A file dropped above Line1 is chosen as the source, below it as the first fragment.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // Lifecycle and layout (frmTessaron.cpp).
    // Creates the controls from the layout table, then what a table row cannot say.
    void createControls();
    // Mouse tracking for the hints, event filters and the click handlers.
    void connectControls();
    void Form_Load();
    void Form_Activate();
    void Form_Resize();
    void showHint(QObject* control);
    void Command5_Click();
    void Command6_Click();
    // Escape during a split, join or checksum: asks, and on Yes stops the operation at its next block.
    void askToStop();
    // Runs a command's `handler` unless a split, join, checksum or deletion is busy: the one gate of every
    // command but help and "End".
    void command(const std::function<void()>& handler);

    // Size box, split and join script (frmTessaron_split.cpp).
    void Combo1_Change();
    void Combo1_Click();
    void Command1_Click();
    void Picture1_Click();
    // The split from its lock on, with its lists, labels and script; failures are thrown to Command1_Click.
    void splitSource(const QString& source);
    void showSplitRefusal(const fragments::SplitRefusal& refusal, const QString& source);
    void showOutOfMemory();

    // Fragment directory, listing, choice of source and first fragment, deletion (frmTessaron_files.cpp).
    void füllen2(const QString& reference);
    void füllen2(const fragments::FragmentSet& set);
    // Takes `directory` as the fragment folder and empties the fragment list as the old fragments of the
    // split's source go from there.
    void clear_old(const QString& directory);
    void setFragmentDirectory(const QString& directory);
    void Command3_Click();
    // Text1 and Label9 as after a cancelled choice of the source.
    void showNoSource();
    // The size of the file at `path`; nullopt, after a message saying why, when it cannot be read.
    std::optional<std::int64_t> readableSize(const QString& path);
    // The folder of a chosen file, where the next open dialog then starts.
    QString chosenFolder(const QString& path);
    void Command2_Click();
    // Puts the file the last join produced on the disk before its fragments go, serving the event loop
    // between the steps on `pacer`'s budget; nothing when it has gone or been replaced since.
    void flushLastJoined(ui::ProgressPacer& pacer);
    void Command8_Click();
    void List1_DblClick();

    // Join (frmTessaron_join.cpp).
    void Command4_Click();
    void Picture2_Click();
    // The target chosen in the save-as dialog; nullopt when the user cancels.
    std::optional<std::string> chooseJoinTarget(const std::string& suggestedName);
    void showJoinProblem(const fragments::JoinProblem& problem);
    // Takes the lock of the listed set `names` for its deletion. When another operation holds it, or it
    // fails, says so and gives nullopt.
    std::optional<fragments::SetLock> lockListedSet(const std::vector<std::string>& names);
    // The join of the listed fragments with the window's `events`, its progress, refusals, failures and
    // result. When it stops on a damaged or missing fragment of a set with recovery files and `rebuilt` is
    // nullopt, offers to rebuild them: their names when it did, for the join to run once more (`rebuilt`
    // given then); nullopt otherwise.
    std::optional<std::vector<std::string>> runJoin(
        fragments::JoinJobEvents events,
        const std::optional<std::vector<std::string>>& rebuilt = std::nullopt);
    // The complete join's result; the tooltip of its progress line names the fragments `rebuilt` for it.
    void showJoined(const fragments::JoinResult& result,
                    const std::optional<std::vector<std::string>>& rebuilt);

    // Repair from recovery files (frmTessaron_repair.cpp).
    // After the join of the listed `names` stopped on a damaged or missing fragment: diagnoses the set's
    // recovery files and, when they can, offers to rebuild it. The rebuilt fragments' names when they were
    // (and are listed); nullopt after `showProblem` and why nothing was rebuilt, or a stop.
    std::optional<std::vector<std::string>> offerRepair(const std::vector<std::string>& names,
                                                        const std::function<void()>& showProblem);
    // Lists the `rebuilt` fragments of the listed set that the list lacks, in its order.
    void listRebuilt(const std::vector<std::string>& rebuilt);

    // Checksum (frmTessaron_crc.cpp).
    void Command7_Click();
    QString DateiCRC32(const QString& path);
    void me_refresh();

    // Shared helpers (frmTessaron.cpp).
    QMessageBox::StandardButton showMessage(QMessageBox::Icon icon, const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    // Sets a label's caption; labels laid out as sized to their text follow it.
    void setCaption(QLabel* label, const QString& text);
    // Enables or disables the join button together with its icon.
    void setJoinEnabled(bool enabled);
    // The one rule for the join button outside a running join: usable exactly when List1 lists a
    // fragment. Runs wherever List1 changes.
    void updateJoinButton();
    void clearFragmentList();
    // Empties what the last split showed: its list List2, the captions counting both lists, the set's total.
    void clearSplitResult();
    // Empties the join's progress line and the joined file's name and size.
    void clearJoinResult();
    // The regional settings for numbers and dates; the plain C locale counts as German.
    QLocale regionalLocale() const;
    // The thousands separator of the regional settings.
    QString thousandsSeparator() const;
    QString sizeText(std::int64_t bytes) const;

    // True while a split, join, checksum or deletion yields; no command starts meanwhile (command()).
    bool busy_ = false;
    bool closeWhenIdle_ = false;
    // Escape, enabled while an operation that can stop runs.
    QShortcut* stopKey_ = nullptr;
    class BusyGuard;
    // The next activation counts as Form_Activate: at start and after the help window was active,
    // not after the window's own dialogs and message boxes or another application.
    bool activateOnReturn_ = true;

    ui::UiSeam& seam_;

    std::int32_t lngFragmentgroesse = 0;  // Fragment size in kBytes for the next split.
    float sngListenRand = 0;              // Outer width minus the width of List1, measured at load.
    std::unique_ptr<clsCRC32> objCRC32;
    QString fragmentDirectory_;  // The folder of the fragment list, with trailing separator.
    // The file the last join produced, until it has been put on the disk.
    struct JoinedFile {
        std::string path;
        fileio::FileIdentity identity;
    };
    std::optional<JoinedFile> lastJoined_;

    QPushButton* Command1 = nullptr;   // Starts the split; the default button, so Enter splits.
    QPushButton* Command2 = nullptr;   // "Clear": deletes the fragment files of the listed set.
    QPushButton* Command3 = nullptr;   // Chooses the file to split; focused on every activation.
    QPushButton* Command4 = nullptr;   // Starts the join; enabled once a fragment set is listed.
    QPushButton* Command5 = nullptr;   // Opens the help window.
    QPushButton* Command6 = nullptr;   // "End": closes the window.
    QPushButton* Command7 = nullptr;   // "crc32": shows the CRC-32 of a chosen file.
    QPushButton* Command8 = nullptr;   // Chooses the first fragment of the set to join.
    QComboBox* Combo1 = nullptr;       // Fragment size in kBytes, picked from the list or typed.
    QCheckBox* Check1 = nullptr;       // Whether a split also writes the join script.
    QLineEdit* Text1 = nullptr;        // Full path of the file to split.
    QLineEdit* Text2 = nullptr;        // Full path of the first fragment of the set to join.
    QListWidget* List1 = nullptr;      // The fragment set to join, sorted; a double-click removes an entry.
    QListWidget* List2 = nullptr;      // Names of the fragments the last split wrote, in the order written.
    ui::FileListBox* File1 = nullptr;  // Never shown: the fragment folder's candidates ("*._*").
    QLabel* Label1 = nullptr;          // Prompt that points at Command3.
    QLabel* Label2 = nullptr;          // Prompt for Combo1.
    QLabel* Label3 = nullptr;          // Title of the split half.
    QLabel* Label4 = nullptr;          // Title of the join half.
    QLabel* Label5 = nullptr;          // Progress of the join, then its completion text.
    QLabel* Label6 = nullptr;          // Heading of List1, with the number of fragments listed.
    QLabel* Label7 = nullptr;          // Credit in the top right corner.
    QLabel* Label8 = nullptr;          // Status-hint line along the bottom edge.
    QLabel* Label9 = nullptr;          // Size of the source file.
    QLabel* Label10 = nullptr;         // Size of all fragments the last split wrote.
    QLabel* Label11 = nullptr;         // Progress of the split, and the heading of List2.
    QLabel* Label12 = nullptr;         // Total size of the listed fragment set.
    QLabel* Label13 = nullptr;         // Prompt that points at Command8.
    QLabel* Label14 = nullptr;         // Name of the joined file.
    QLabel* Label15 = nullptr;         // Size of the joined file.
    QLabel* Label16 = nullptr;         // Caption of Label14.
    QLabel* Label17 = nullptr;         // Caption of Label15.
    ui::ClickablePicture* Picture1 = nullptr;  // Icon over Command1; a click splits, even if it is disabled.
    ui::ClickablePicture* Picture2 = nullptr;  // Icon over Command4; enabled with it, a click joins.
    QFrame* Shape1 = nullptr;                  // Frame around the join result.
    QFrame* Shape2 = nullptr;                  // Frame around the split options.
    QFrame* Line1 = nullptr;                   // Separator between the split and the join half.
};
