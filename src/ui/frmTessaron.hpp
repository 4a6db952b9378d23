#pragma once
// The main window: split half, join half, command bar and status-hint line.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UiSeam.hpp"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QLocale;
class QListWidget;
class QPushButton;
class clsCRC32;

namespace fragments {
struct JoinPlan;
struct JoinProblem;
}  // namespace fragments

namespace ui {
class ClickablePicture;
class FileListBox;
}  // namespace ui

class frmTessaron : public QWidget {
    Q_OBJECT

  public:
    // `seam` replaces message boxes and the wait pointer (tests); null means the real ones.
    explicit frmTessaron(ui::UiSeam* seam = nullptr, QWidget* parent = nullptr);
    ~frmTessaron() override;

  protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Lifecycle and layout (frmTessaron.cpp).
    void createControls();
    void Form_Load();
    void Form_Activate();
    void Form_Resize();
    void showHint(QObject* control);
    void Command5_Click();
    void Command6_Click();

    // Size box, split and join script (frmTessaron_split.cpp).
    void Combo1_Change();
    void Combo1_Click();
    void Command1_Click();
    void Picture1_Click();
    // The split from the deletion of the old script on; failures are thrown to Command1_Click.
    void splitSource(const QString& source);
    void showOutOfMemory();
    void writeScriptAfterSplit(const std::string& sourcePath, const std::string& lastFileName);

    // Fragment directory, listing, choice of source and first fragment, deletion (frmTessaron_files.cpp).
    void füllen2(const QString& reference);
    void clear_old(const QString& reference);
    void setFragmentDirectory(const QString& directory);
    void addToFragmentList(const QString& name);
    void Command3_Click();
    void Command2_Click();
    void Command8_Click();
    void List1_DblClick();

    // Join (frmTessaron_join.cpp).
    void Command4_Click();
    void Picture2_Click();
    // True when the user wants the list joined although fragment `missingNumber` is not in it.
    bool joinDespiteGap(int missingNumber);
    // The target chosen in the save-as dialog; nullopt when the user cancels.
    std::optional<std::string> chooseJoinTarget(const std::string& suggestedName);
    void showJoinProblem(const fragments::JoinProblem& problem);
    // The copy, its progress and its result; `names` are the listed names of the plan's fragments.
    void runJoin(const fragments::JoinPlan& plan, const std::vector<std::string>& names);

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
    // Empties what the last split showed: its list List2, the captions counting both lists, the set's total.
    void clearSplitResult();
    // Empties the join's progress line and the joined file's name and size.
    void clearJoinResult();
    // Lets the window repaint and stay responsive during a long operation.
    void yieldToEventLoop();
    // The regional settings for numbers and dates; the plain C locale counts as German.
    QLocale regionalLocale() const;
    // The thousands separator of the regional settings.
    QString thousandsSeparator() const;
    QString sizeText(std::int64_t bytes) const;

    // True while a split or join yields; every command handler refuses to start meanwhile.
    bool busy_ = false;
    bool closeWhenIdle_ = false;
    class BusyGuard;
    // The next activation counts as Form_Activate: at start and after the help window was active,
    // not after the window's own dialogs and message boxes or another application.
    bool activateOnReturn_ = true;

    ui::UiSeam& seam_;

    // Fragment size in kBytes for the next split.
    std::int32_t lngFragmentgroesse = 0;
    // Outer width minus the width of List1, measured at load.
    float sngListenRand = 0;
    std::unique_ptr<clsCRC32> objCRC32;
    // The folder of the fragment list, with trailing separator.
    QString fragmentDirectory_;

    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command8 = nullptr;
    QComboBox* Combo1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QListWidget* List1 = nullptr;
    QListWidget* List2 = nullptr;
    ui::FileListBox* File1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label17 = nullptr;
    ui::ClickablePicture* Picture1 = nullptr;
    ui::ClickablePicture* Picture2 = nullptr;
    QFrame* Shape1 = nullptr;
    QFrame* Shape2 = nullptr;
    QFrame* Line1 = nullptr;
};
