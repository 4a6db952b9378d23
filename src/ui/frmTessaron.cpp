#include "frmTessaron.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "BusyGuard.hpp"
#include "ClickablePicture.hpp"
#include "FileListBox.hpp"
#include "Images.hpp"
#include "MainWindowTexts.hpp"
#include "Utf8.hpp"
#include "checksum/crc32.hpp"
#include "fragments/size_text.hpp"
#include "frmInfo.hpp"

namespace {

// The layout is given in twips; 15 twips make one pixel at 96 dots per inch.
constexpr int px(int twips) {
    return twips >= 0 ? (twips * 2 + 15) / 30 : -((-twips * 2 + 15) / 30);
}

constexpr const char* autoSizeProperty = "dodiveverazedAutoSize";
constexpr const char* rightEdgeProperty = "dodiveverazedRightEdge";

const QColor blue(0, 0, 255);
const QColor listBackground(255, 254, 219);
const QColor shapeGrey(128, 128, 128);

QFont msSansSerif(double points, bool bold = false) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont titleFont() {
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSizeF(14.25);
    font.setItalic(true);
    return font;
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, role, colour);
    palette.setColor(QPalette::Inactive, role, colour);
    widget->setPalette(palette);
}

void setListColours(QListWidget* list) {
    QPalette palette = list->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, listBackground);
        palette.setColor(group, QPalette::Text, blue);
    }
    list->setPalette(palette);
}

// A check box whose caption starts at its left edge and whose box sits at its right end.
class RightBoxCheckBox : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const int boxWidth = style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
        const int boxHeight = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
        QStyleOptionButton box = option;
        box.rect = QRect(width() - boxWidth, (height() - boxHeight) / 2, boxWidth, boxHeight);
        painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);
        const QRect textRect(0, 0, width() - boxWidth - 4, height());
        painter.drawItemText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(),
                             isEnabled(), text(), QPalette::WindowText);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = painter.boundingRect(textRect, Qt::AlignLeft | Qt::AlignVCenter, text())
                             .adjusted(-1, 0, 1, 0);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// Shapes and the line are drawn on the window's surface: they take no mouse and lie below the controls.
QFrame* surfaceFrame(QWidget* parent, const char* name, const QColor& colour) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(name));
    frame->setAttribute(Qt::WA_TransparentForMouseEvents);
    frame->setFocusPolicy(Qt::NoFocus);
    QPalette palette = frame->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::WindowText, colour);
    }
    frame->setPalette(palette);
    return frame;
}

}  // namespace

frmTessaron::frmTessaron(ui::UiSeam* seam, QWidget* parent)
    : QWidget(parent), seam_(seam ? *seam : ui::defaultSeam()) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Dodiveverazed (für Dateien bis max. 2 GByte)"));
    setWindowIcon(ui::images::windowIcon());
    setFont(msSansSerif(8.25));
    resize(px(5835), px(5775));
    createControls();
    Form_Load();
}

frmTessaron::~frmTessaron() = default;

void frmTessaron::createControls() {
    const auto label = [this](const char* name, const QString& caption, int left, int top, int width,
                              int height, bool autoSize) {
        auto* control = new QLabel(caption, this);
        control->setObjectName(QLatin1String(name));
        control->setGeometry(px(left), px(top), px(width), px(height));
        control->setProperty(autoSizeProperty, autoSize);
        return control;
    };
    const auto button = [this](const char* name, const QString& caption, int left, int top, int width,
                               int height) {
        auto* control = new QPushButton(caption, this);
        control->setObjectName(QLatin1String(name));
        control->setGeometry(px(left), px(top), px(width), px(height));
        control->setAutoDefault(false);
        return control;
    };
    const auto pictureButton = [&button](const char* name, const QPixmap& picture, int left, int top,
                                         int width, int height) {
        QPushButton* control = button(name, QString(), left, top, width, height);
        control->setIcon(QIcon(picture));
        control->setIconSize(QSize(16, 16));
        return control;
    };
    const auto lineEdit = [this](const char* name, int left, int top) {
        auto* control = new QLineEdit(this);
        control->setObjectName(QLatin1String(name));
        control->setGeometry(px(left), px(top), px(3375), px(285));
        return control;
    };
    const auto list = [this](const char* name, int left, int top) {
        auto* control = new QListWidget(this);
        control->setObjectName(QLatin1String(name));
        control->setGeometry(px(left), px(top), px(2115), px(1230));
        control->setSelectionMode(QAbstractItemView::SingleSelection);
        control->setSortingEnabled(false);
        // One line per entry: without this every append lays out all entries again, fragment after fragment.
        control->setUniformItemSizes(true);
        setListColours(control);
        return control;
    };
    const auto picture = [this](const char* name, const QPixmap& image, int left, int top) {
        auto* control = new ui::ClickablePicture(this);
        control->setObjectName(QLatin1String(name));
        control->setPixmap(image);
        control->setGeometry(px(left), px(top), px(240), px(240));
        return control;
    };

    // Split section.
    Label3 = label("Label3", QStringLiteral("Datei splitten"), 2100, 60, 1545, 315, true);
    Label3->setFont(titleFont());
    Label3->setAlignment(Qt::AlignCenter);
    setColour(Label3, QPalette::WindowText, blue);
    Label1 = label("Label1", QStringLiteral("Zu splittende Datei auswählen- >"), 120, 580, 2325, 195, true);
    Command3 = pictureButton("Command3", ui::images::folder(), 2880, 500, 495, 300);
    Text1 = lineEdit("Text1", 60, 840);
    Shape2 = surfaceFrame(this, "Shape2", shapeGrey);
    Shape2->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape2->setLineWidth(1);
    Shape2->setGeometry(px(75), px(1170), px(3375), px(1240));
    Label2 = label("Label2", QStringLiteral("Dateifragmentgröße (in kBytes):"), 120, 1260, 2220, 195, true);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->addItems({QStringLiteral("1420"), QStringLiteral("720"), QStringLiteral("512"),
                      QStringLiteral("360"), QStringLiteral("256")});
    Combo1->setEditText(QStringLiteral("1420"));
    Combo1->setToolTip(QStringLiteral("Es können hier auch eigene Fragmentgrössen eingegeben werden"));
    Combo1->setGeometry(px(2480), px(1200), px(915), px(315));
    Check1 = new RightBoxCheckBox(QStringLiteral("Batchdatei erzeugen ?"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(px(100), px(1560), px(2055), px(195));
    Check1->setChecked(false);
    Label9 = label("Label9", QStringLiteral("Quelldatei (Byte) :"), 120, 1860, 1245, 195, true);
    Label10 = label("Label10", QStringLiteral("Fragmente (Byte):"), 120, 2160, 1245, 195, true);
    Label11 = label("Label11", QStringLiteral("Erzeugte Dateifragmente:"), 3600, 480, 1800, 195, true);
    List2 = list("List2", 3600, 720);
    Command1 = button("Command1", QStringLiteral("  Splitten"), 3600, 1980, 2115, 435);
    Command1->setFont(msSansSerif(12, true));
    Command1->setDefault(true);
    Picture1 = picture("Picture1", ui::images::splitOverlay(), 3840, 2100);

    Line1 = surfaceFrame(this, "Line1", Qt::black);
    Line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    Line1->setLineWidth(2);
    Line1->setGeometry(0, px(2520) - 1, px(5980), 2);

    // Join section.
    Label4 = label("Label4", QStringLiteral("Dateifragmente zusammenfügen"), 1140, 2580, 3705, 315, true);
    Label4->setFont(titleFont());
    setColour(Label4, QPalette::WindowText, blue);
    Label13 =
        label("Label13", QStringLiteral("Erstes Fragment (*._001) auswählen ->"), 120, 3000, 2730, 195, true);
    Command8 = pictureButton("Command8", ui::images::folder(), 2880, 2920, 495, 285);
    Text2 = lineEdit("Text2", 60, 3240);
    Label6 = label("Label6", QStringLiteral("Dateifragmente:"), 3660, 3240, 1125, 195, true);
    List1 = list("List1", 3600, 3480);
    Shape1 = surfaceFrame(this, "Shape1", shapeGrey);
    Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape1->setLineWidth(1);
    Shape1->setGeometry(px(75), px(3550), px(3375), px(1300));
    Label16 = label("Label16", QStringLiteral("Zusammengefügte Datei:"), 120, 3675, 1815, 255, false);
    Label14 = label("Label14", QString(), 120, 3900, 3255, 255, false);
    setColour(Label14, QPalette::WindowText, Qt::black);
    Label17 = label("Label17", QStringLiteral("Dateigrösse (Byte):"), 120, 4095, 1695, 255, false);
    Label15 = label("Label15", QString(), 120, 4320, 210, 195, true);
    setColour(Label15, QPalette::WindowText, Qt::black);
    Label5 = label("Label5", QString(), 120, 4515, 120, 195, true);
    setColour(Label5, QPalette::WindowText, Qt::black);
    Command4 = button("Command4", QStringLiteral("  Zusammenfügen"), 3600, 4800, 2115, 435);
    Command4->setFont(msSansSerif(8.25, true));
    Picture2 = picture("Picture2", ui::images::joinOverlay(), 3700, 4920);

    // Command bar, status line and the rest.
    Command6 = button("Command6", QStringLiteral("End"), 60, 4920, 675, 315);
    Command5 = pictureButton("Command5", ui::images::question(), 840, 4920, 615, 315);
    Command7 = button("Command7", QStringLiteral("crc32"), 1920, 4920, 705, 315);
    Command2 = button("Command2", QStringLiteral("Clear"), 2760, 4920, 705, 315);
    Label12 = label("Label12", QString(), 5160, 5280, 570, 195, true);
    Label12->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label12->setProperty(rightEdgeProperty, px(5730));
    Label8 = label("Label8", QString(), -120, 5520, 6015, 255, false);
    Label8->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label8->setLineWidth(1);
    Label8->setAlignment(Qt::AlignCenter);
    setColour(Label8, QPalette::WindowText, blue);
    Label7 = label("Label7", QStringLiteral("© Dodi"), 5160, 0, 615, 195, true);
    setColour(Label7, QPalette::WindowText, Qt::white);
    File1 = new ui::FileListBox(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setGeometry(px(1080), px(5280), px(3255), px(1065));
    File1->setFocusPolicy(Qt::NoFocus);
    File1->hide();

    Command2->setEnabled(false);
    setJoinEnabled(false);

    // The free fonts that stand in for MS Sans Serif run a little wider; a caption is never cut short.
    for (QLabel* caption : {Label1, Label2, Label3, Label4, Label6, Label7, Label9, Label10, Label11, Label13,
                            Label16, Label17}) {
        caption->resize(std::max(caption->width(), caption->sizeHint().width()), caption->height());
    }

    // The surface drawings first, then the labels, all below the controls; the icons above their buttons.
    for (QWidget* caption : {Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9, Label10,
                             Label11, Label12, Label13, Label14, Label15, Label16, Label17}) {
        caption->lower();
    }
    for (QWidget* drawing :
         {static_cast<QWidget*>(Line1), static_cast<QWidget*>(Shape1), static_cast<QWidget*>(Shape2)}) {
        drawing->lower();
    }
    Picture1->raise();
    Picture2->raise();

    // Tab order by TabIndex; labels, pictures, shapes and the hidden list take no focus.
    QWidget* const order[] = {Text1,    Command1, Command3, Combo1, List1,    Command4, Command5,
                              Command6, Command2, Check1,   List2,  Command7, Text2,    Command8};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget::setTabOrder(order[i], order[i + 1]);
    }

    // Status hints follow every mouse move, buttons pressed or not.
    setMouseTracking(true);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setMouseTracking(true);
    }
    for (QWidget* control :
         {static_cast<QWidget*>(Check1), static_cast<QWidget*>(Command1), static_cast<QWidget*>(Command2),
          static_cast<QWidget*>(Command3), static_cast<QWidget*>(Command4), static_cast<QWidget*>(Command6),
          static_cast<QWidget*>(Command7), static_cast<QWidget*>(List1),
          static_cast<QWidget*>(List1->viewport()), static_cast<QWidget*>(List2),
          static_cast<QWidget*>(List2->viewport()), static_cast<QWidget*>(Text1),
          static_cast<QWidget*>(Text2)}) {
        control->installEventFilter(this);
    }
    // Enter reaches the window when the focused control does not use it; the default button takes it.
    installEventFilter(this);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Picture1, &ui::ClickablePicture::clicked, this, [this] { Picture1_Click(); });
    connect(Combo1, &QComboBox::editTextChanged, this, [this] { Combo1_Change(); });
    connect(Combo1, &QComboBox::activated, this, [this] { Combo1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Picture2, &ui::ClickablePicture::clicked, this, [this] { Picture2_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Command6, &QPushButton::clicked, this, [this] { Command6_Click(); });
    connect(Command7, &QPushButton::clicked, this, [this] { Command7_Click(); });
    connect(Command8, &QPushButton::clicked, this, [this] { Command8_Click(); });
}

void frmTessaron::Form_Load() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        const QSize outer = frameGeometry().size();
        move(area.left() + static_cast<int>(std::floor((area.width() - outer.width()) / 2.0)),
             area.top() + static_cast<int>(std::floor((area.height() - outer.height()) / 2.0)));
    }
    setCaption(Label5, QString());
    setCaption(Label12, QString());
    setCaption(Label15, QString());
    setCaption(Label14, QString());
    lngFragmentgroesse = Combo1->currentText().toInt();
    // Client widths on both sides, so that the first show, which adds the frame, changes nothing.
    sngListenRand = static_cast<float>(width() - List1->width());
    objCRC32 = std::make_unique<clsCRC32>();
}

void frmTessaron::Form_Activate() {
    Command3->setFocus(Qt::ActiveWindowFocusReason);
}

void frmTessaron::Form_Resize() {
    if (isMinimized()) {
        return;
    }
    if (static_cast<float>(width()) > sngListenRand) {
        List1->resize(static_cast<int>(static_cast<float>(width()) - sngListenRand), List1->height());
    }
    List2->resize(List1->width(), List2->height());
}

void frmTessaron::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow()) {
            if (activateOnReturn_) {
                Form_Activate();
            }
        } else {
            // Only the program's other windows count: not its own message boxes and dialogs, and not
            // another application, from which the user comes back to the control he left.
            const QWidget* active = QApplication::activeWindow();
            activateOnReturn_ = active && active != this &&
                                !(active->parentWidget() && active->parentWidget()->window() == this);
        }
    }
    QWidget::changeEvent(event);
}

void frmTessaron::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmTessaron::mouseMoveEvent(QMouseEvent* event) {
    // Moves over labels, pictures and the hint-less buttons arrive here too; they keep the hint.
    QWidget* control = childAt(event->position().toPoint());
    while (control && control->parentWidget() != this) {
        control = control->parentWidget();
    }
    if (!control || !control->isEnabled()) {
        setCaption(Label8, QString());
    }
    QWidget::mouseMoveEvent(event);
}

void frmTessaron::closeEvent(QCloseEvent* event) {
    if (busy_) {
        closeWhenIdle_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

bool frmTessaron::eventFilter(QObject* watched, QEvent* event) {
    if (watched == List1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // Any double-click on the list acts on the selected entry, also one below the last entry.
        List1_DblClick();
        return true;
    }
    if (event->type() == QEvent::MouseMove && watched != this) {
        QObject* control = watched;
        if (watched == List1->viewport()) {
            control = List1;
        } else if (watched == List2->viewport()) {
            control = List2;
        }
        showHint(control);
    } else if (watched == this && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            // A focused button answers Enter itself, as on Windows; anywhere else it is the split button's.
            auto* focused = qobject_cast<QPushButton*>(focusWidget());
            QPushButton* target = focused ? focused : Command1;
            if (target->isEnabled()) {
                target->animateClick();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmTessaron::showHint(QObject* control) {
    auto* widget = qobject_cast<QWidget*>(control);
    if (widget && !widget->isEnabled()) {
        setCaption(Label8, QString());
        return;
    }
    if (control == Text2) {
        Text2->setToolTip(Text2->text());
        return;
    }
    struct Hint {
        QWidget* control;
        QString text;
    };
    const Hint hints[] = {
        {Check1, texts::hintCheck1()},     {Command1, texts::hintCommand1()},
        {Command2, texts::hintCommand2()}, {Command3, texts::hintCommand3()},
        {Command4, texts::hintCommand4()}, {Command6, texts::hintCommand6()},
        {Command7, texts::hintCommand7()}, {List1, texts::hintList1()},
        {List2, texts::hintList2()},       {Text1, texts::hintText1()},
    };
    for (const Hint& hint : hints) {
        if (hint.control == control) {
            setCaption(Label8, hint.text);
        }
    }
    if (control == Text1) {
        Text1->setToolTip(Text1->text());
    }
}

void frmTessaron::Command5_Click() {
    frmInfo::open();
}

void frmTessaron::Command6_Click() {
    close();
}

QMessageBox::StandardButton frmTessaron::showMessage(QMessageBox::Icon icon, const QString& title,
                                                     const QString& text,
                                                     QMessageBox::StandardButtons buttons) {
    return seam_.message(this, ui::MessageRequest{icon, title, text, buttons});
}

void frmTessaron::setCaption(QLabel* label, const QString& text) {
    label->setText(text);
    if (!label->property(autoSizeProperty).toBool()) {
        return;
    }
    const int width = label->sizeHint().width();
    const QVariant rightEdge = label->property(rightEdgeProperty);
    if (rightEdge.isValid()) {
        label->setGeometry(rightEdge.toInt() - width, label->y(), width, label->height());
    } else {
        label->resize(width, label->height());
    }
}

void frmTessaron::setJoinEnabled(bool enabled) {
    Command4->setEnabled(enabled);
    Picture2->setEnabled(enabled);
}

void frmTessaron::yieldToEventLoop() {
    QCoreApplication::processEvents();
}

QLocale frmTessaron::regionalLocale() const {
    const QLocale locale;
    if (locale.language() == QLocale::C) {
        return QLocale(QLocale::German, QLocale::Germany);
    }
    return locale;
}

QString frmTessaron::thousandsSeparator() const {
    return regionalLocale().groupSeparator();
}

QString frmTessaron::sizeText(std::int64_t bytes) const {
    return ui::fromUtf8(fragments::sizeText(bytes, ui::toUtf8(thousandsSeparator())));
}

void frmTessaron::clearSplitResult() {
    setCaption(Label11, texts::writtenFragmentsHeading());
    List2->clear();
    setCaption(Label6, texts::fragmentCount());
    setCaption(Label12, QString());
}

void frmTessaron::clearJoinResult() {
    setCaption(Label5, QString());
    setCaption(Label14, QString());
    setCaption(Label15, QString());
}
