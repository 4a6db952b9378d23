#pragma once
// The help window: 46 lines of German help text and an "ok" button. At most one exists, reached
// through instance().

#include <QWidget>

class QListWidget;
class QPushButton;
class QLabel;

class frmInfo : public QWidget {
    Q_OBJECT

  public:
    // The program-wide reference: null at start and after "ok", still set after the close box.
    static frmInfo*& instance();
    // Opens the help window, or brings the open one to the front without refilling it.
    static void open();

    frmInfo();

  protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Escape closes the window as its close box does.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Form_Load();
    void Form_Activate();
    void Command1_Click();

    bool loaded_ = false;
    QListWidget* List1 = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label1 = nullptr;
};
