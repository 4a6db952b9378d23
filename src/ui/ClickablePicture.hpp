#pragma once
// A picture box that reports clicks while it is enabled. Its picture fills the box and is drawn at
// the display's device pixel ratio, again whenever the window moves to a screen of another ratio.

#include <QIcon>
#include <QLabel>

namespace ui {

class ClickablePicture : public QLabel {
    Q_OBJECT

  public:
    explicit ClickablePicture(QWidget* parent = nullptr);

    void setPicture(const QIcon& picture);

  signals:
    void clicked();

  protected:
    bool event(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void showPicture();

    QIcon picture_;
};

}  // namespace ui
