#pragma once
// A picture box that reports clicks while it is enabled.

#include <QLabel>

namespace ui {

class ClickablePicture : public QLabel {
    Q_OBJECT

  public:
    explicit ClickablePicture(QWidget* parent = nullptr);

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace ui
