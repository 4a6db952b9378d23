// The window as the display shows it, with the real fonts: every caption fits its room, every picture is
// drawn at the display's device pixel ratio. CTest runs these once as they come and once with
// QT_SCALE_FACTOR=2.

#include <QAbstractButton>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QStyle>
#include <QStyleOptionButton>

#include "SplitFixture.hpp"
#include "ui/ClickablePicture.hpp"

// Readable failure output for sizes.
inline void PrintTo(const QSize& size, std::ostream* out) {
    *out << size.width() << "x" << size.height();
}
inline void PrintTo(const QSizeF& size, std::ostream* out) {
    *out << size.width() << "x" << size.height();
}

namespace testsupport {
namespace {

using DisplayScale = SplitWindowTest;

// The scale the run was started with.
double expectedScale() {
    return qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                                                        : 1.0;
}

bool isCaption(const QWidget* widget) {
    return qobject_cast<const QLabel*>(widget) && !qobject_cast<const ui::ClickablePicture*>(widget);
}

// Each caption's text is no wider than the room from its left edge to the nearest control to its right
// whose vertical extent overlaps it, or to the window's edge, nor than the caption itself; a check box's
// text ends at its box, a button's inside the button.
TEST_F(DisplayScale, EveryCaptionFitsItsRoom) {
    ASSERT_DOUBLE_EQ(window.devicePixelRatioF(), expectedScale());
    const auto children = window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    QStringList checked;
    for (QWidget* control : children) {
        const QString caption = control->property("text").toString();
        const bool checkBox = qobject_cast<QCheckBox*>(control);
        if (caption.isEmpty() || !(isCaption(control) || checkBox)) {
            continue;
        }
        int right = window.width();
        for (const QWidget* other : children) {
            const bool overlaps = other->y() < control->geometry().bottom() + 1 &&
                                  control->y() < other->geometry().bottom() + 1;
            if (other != control && other->isVisible() && overlaps && other->x() > control->x()) {
                right = std::min(right, other->x());
            }
        }
        if (checkBox) {
            right = std::min(right, control->geometry().right() + 1 -
                                        control->style()->pixelMetric(QStyle::PM_IndicatorWidth));
        }
        const qreal width = QFontMetricsF(control->font()).horizontalAdvance(caption);
        EXPECT_LE(width, right - control->x()) << qPrintable(control->objectName());
        EXPECT_TRUE(checkBox || control->width() >= control->sizeHint().width())
            << qPrintable(control->objectName());
        checked << control->objectName();
    }
    EXPECT_EQ(checked.size(), 13) << qPrintable(checked.join(' '));

    for (const char* name : {"Command1", "Command2", "Command4", "Command6", "Command7"}) {
        auto* button = control<QPushButton>(name);
        EXPECT_LT(QFontMetricsF(button->font()).horizontalAdvance(button->text()), button->width()) << name;
    }

    // The widths above are those of the fonts that stand in for the Windows ones.
    EXPECT_EQ(QFontInfo(control<QWidget>("Label13")->font()).family(), "Liberation Sans");
    EXPECT_EQ(QFontInfo(control<QWidget>("Label4")->font()).family(), "Liberation Serif");
}

// 16 logical pixels are 16 device pixels per unit of scale, freshly drawn, not a 16-pixel picture enlarged.
TEST_F(DisplayScale, PicturesAreDrawnAtTheDevicePixelRatio) {
    const double scale = expectedScale();
    ASSERT_DOUBLE_EQ(window.devicePixelRatioF(), scale);
    const auto expectDrawnAtScale = [&](const QPixmap& pixmap, int logical, const char* name) {
        EXPECT_EQ(std::tuple(pixmap.devicePixelRatio(), pixmap.size(), pixmap.deviceIndependentSize()),
                  std::tuple(scale, QSize(logical, logical) * scale, QSizeF(logical, logical)))
            << name;
    };
    for (const char* name : {"Picture1", "Picture2"}) {
        expectDrawnAtScale(control<QLabel>(name)->pixmap(), 16, name);
    }
    for (const char* name : {"Command3", "Command5", "Command8"}) {
        auto* button = control<QAbstractButton>(name);
        EXPECT_EQ(button->iconSize(), QSize(16, 16)) << name;
        expectDrawnAtScale(button->icon().pixmap(button->iconSize(), scale), 16, name);
    }
    expectDrawnAtScale(window.windowIcon().pixmap(QSize(32, 32), scale), 32, "window icon");
}

}  // namespace
}  // namespace testsupport
