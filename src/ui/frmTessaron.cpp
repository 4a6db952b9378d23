#include "frmTessaron.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
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
#include <QShortcut>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "BusyGuard.hpp"
#include "ClickablePicture.hpp"
#include "FileListBox.hpp"
#include "Images.hpp"
#include "Layout.hpp"
#include "MainWindowTexts.hpp"
#include "Utf8.hpp"
#include "checksum/crc32.hpp"
#include "fragments/size_text.hpp"
#include "frmInfo.hpp"

namespace {

using ui::layout::px;
using Twips = ui::layout::Twips;

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

// The member that holds a control; its type decides the kind of control created.
template <typename... Kinds>
using MemberOf = std::variant<Kinds * frmTessaron::*...>;
using Slot = MemberOf<QLabel, QPushButton, QLineEdit, QComboBox, QCheckBox, QListWidget, ui::FileListBox,
                      ui::ClickablePicture, QFrame>;

template <typename Kind>
Kind* createControl(QWidget* parent) {
    if constexpr (std::is_same_v<Kind, QCheckBox>) {
        return new RightBoxCheckBox(parent);
    } else {
        return new Kind(parent);
    }
}

// How a control starts: enabled, disabled, or never shown.
enum class Start { Enabled, Disabled, Hidden };

// How a control looks and starts, where it differs from what its kind brings.
struct Look {
    const ui::layout::FontSpec* font = nullptr;  // null: the window's font
    std::optional<QRgb> textColour = std::nullopt;
    Qt::Alignment alignment = {};  // none: the kind's own
    // A label whose width follows every new caption.
    bool sizedToText = false;
    int frameStyle = QFrame::NoFrame;
    int lineWidth = 1;
    QIcon (*picture)() = nullptr;
    Start start = Start::Enabled;
};

// One control of the window: its name, the member that holds it, its caption (UTF-8), its place in
// twips, its tab index (-1 for the drawings on the surface) and its look.
struct ControlRow {
    const char* name;
    Slot slot;
    const char* caption;
    Twips place;
    int tabIndex;
    Look look = {};
};

// Liberation Sans, which stands in for MS Sans Serif, runs about 5 % wider than the original: narrowed to
// 95 %, every caption in the window's font fits the room up to the next control on its right, at any scale.
constexpr ui::layout::FontSpec defaultFont{
    .family = ui::layout::windowFont.family, .points = ui::layout::windowFont.points, .stretch = 95};
constexpr ui::layout::FontSpec titleFont{"Times New Roman", 14.25, false, true};
constexpr ui::layout::FontSpec splitButtonFont{"MS Sans Serif", 12, true};
constexpr ui::layout::FontSpec joinButtonFont{"MS Sans Serif", 8.25, true};
constexpr QRgb shapeGrey = qRgb(128, 128, 128);
constexpr int outline = QFrame::Box | QFrame::Plain;

// Sets up what the control's kind needs from its row.
void applyRow(QWidget* control, const ControlRow& row) {
    const QString caption = QString::fromUtf8(row.caption);
    if (row.look.font) {
        control->setFont(ui::layout::font(*row.look.font));
    }
    control->setGeometry(ui::layout::pixels(row.place));
    if (auto* frame = qobject_cast<QFrame*>(control); frame && row.look.frameStyle != QFrame::NoFrame) {
        frame->setFrameStyle(row.look.frameStyle);
        frame->setLineWidth(row.look.lineWidth);
    }
    if (auto* picture = qobject_cast<ui::ClickablePicture*>(control)) {
        picture->setPicture(row.look.picture());
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(caption);
        if (row.look.alignment) {
            label->setAlignment(row.look.alignment);
        }
        // Should a caption still run wider than its place, the label grows: a caption is never cut short.
        label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
        if (row.look.sizedToText) {
            ui::layout::sizeToText(label);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(caption);
        if (row.look.picture) {
            button->setIcon(row.look.picture());
            button->setIconSize(QSize(16, 16));
        }
    }
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        button->setAutoDefault(false);
    }
    if (row.look.textColour) {
        ui::layout::setColour(control, QPalette::WindowText, *row.look.textColour);
    }
    control->setEnabled(row.look.start != Start::Disabled);
    if (row.look.start == Start::Hidden) {
        control->hide();
    }
}

}  // namespace

frmTessaron::frmTessaron(ui::UiSeam* seam, QWidget* parent)
    : QWidget(parent), seam_(seam ? *seam : ui::defaultSeam()) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Dodiveverazed (für Dateien bis max. 2 GByte)"));
    setWindowIcon(ui::images::windowIcon());
    setPalette(ui::layout::lightPalette());
    setFont(ui::layout::font(defaultFont));
    resize(px(5835), px(5775));
    createControls();
    connectControls();
    Form_Load();
}

frmTessaron::~frmTessaron() = default;

void frmTessaron::createControls() {
    using ui::layout::black;
    using ui::layout::blue;
    using ui::layout::white;
    using namespace ui::images;
    // One row a control, in the order they are created; columns: name, member, caption, place (left, top,
    // width, height in twips), tab index, look.
    // clang-format off
    static constexpr ControlRow rows[] = {
        // Split section.
        {"Label3", &frmTessaron::Label3, "Datei splitten", {2100, 60, 1545, 315}, 9,
            {.font = &titleFont, .textColour = blue, .alignment = Qt::AlignCenter, .sizedToText = true}},
        {"Label1", &frmTessaron::Label1, "Zu splittende Datei auswählen- >", {120, 580, 2325, 195}, 0,
            {.sizedToText = true}},
        {"Command3", &frmTessaron::Command3, "", {2880, 500, 495, 300}, 4, {.picture = folder}},
        {"Text1", &frmTessaron::Text1, "", {60, 840, 3375, 285}, 1},
        {"Shape2", &frmTessaron::Shape2, "", {75, 1170, 3375, 1240}, -1,
            {.textColour = shapeGrey, .frameStyle = outline}},
        {"Label2", &frmTessaron::Label2, "Dateifragmentgröße (in kBytes):", {120, 1260, 2220, 195}, 2,
            {.sizedToText = true}},
        {"Combo1", &frmTessaron::Combo1, "", {2480, 1200, 915, 315}, 5},
        {"Check1", &frmTessaron::Check1, "Batchdatei erzeugen ?", {100, 1560, 2055, 195}, 19},
        {"Label9", &frmTessaron::Label9, "Quelldatei (Byte) :", {120, 1860, 1245, 195}, 16,
            {.sizedToText = true}},
        {"Label10", &frmTessaron::Label10, "Fragmente (Byte):", {120, 2160, 1245, 195}, 17,
            {.sizedToText = true}},
        {"Label11", &frmTessaron::Label11, "Erzeugte Dateifragmente:", {3600, 480, 1800, 195}, 21,
            {.sizedToText = true}},
        {"List2", &frmTessaron::List2, "", {3600, 720, 2115, 1230}, 20},
        {"Command1", &frmTessaron::Command1, "  Splitten", {3600, 1980, 2115, 435}, 3,
            {.font = &splitButtonFont}},
        {"Picture1", &frmTessaron::Picture1, "", {3840, 2100, 240, 240}, 32, {.picture = splitOverlay}},
        // Two pixels across 2520, reaching past the right edge.
        {"Line1", &frmTessaron::Line1, "", {0, 2505, 5980, 30}, -1,
            {.textColour = black, .frameStyle = QFrame::HLine | QFrame::Plain, .lineWidth = 2}},

        // Join section.
        {"Label4", &frmTessaron::Label4, "Dateifragmente zusammenfügen", {1140, 2580, 3705, 315}, 10,
            {.font = &titleFont, .textColour = blue, .sizedToText = true}},
        {"Label13", &frmTessaron::Label13, "Erstes Fragment (*._001) auswählen ->", {120, 3000, 2730, 195},
            27, {.sizedToText = true}},
        {"Command8", &frmTessaron::Command8, "", {2880, 2920, 495, 285}, 26, {.picture = folder}},
        {"Text2", &frmTessaron::Text2, "", {60, 3240, 3375, 285}, 25},
        {"Label6", &frmTessaron::Label6, "Dateifragmente:", {3660, 3240, 1125, 195}, 11,
            {.sizedToText = true}},
        {"List1", &frmTessaron::List1, "", {3600, 3480, 2115, 1230}, 7},
        {"Shape1", &frmTessaron::Shape1, "", {75, 3550, 3375, 1300}, -1,
            {.textColour = shapeGrey, .frameStyle = outline}},
        {"Label16", &frmTessaron::Label16, "Zusammengefügte Datei:", {120, 3675, 1815, 255}, 30},
        {"Label14", &frmTessaron::Label14, "", {120, 3900, 3255, 255}, 28, {.textColour = black}},
        {"Label17", &frmTessaron::Label17, "Dateigrösse (Byte):", {120, 4095, 1695, 255}, 31},
        {"Label15", &frmTessaron::Label15, "", {120, 4320, 210, 195}, 29,
            {.textColour = black, .sizedToText = true}},
        {"Label5", &frmTessaron::Label5, "", {120, 4515, 120, 195}, 23,
            {.textColour = black, .sizedToText = true}},
        {"Command4", &frmTessaron::Command4, "  Zusammenfügen", {3600, 4800, 2115, 435}, 8,
            {.font = &joinButtonFont, .start = Start::Disabled}},
        {"Picture2", &frmTessaron::Picture2, "", {3700, 4920, 240, 240}, 33,
            {.picture = joinOverlay, .start = Start::Disabled}},

        // Command bar, status line and the rest.
        {"Command6", &frmTessaron::Command6, "End", {60, 4920, 675, 315}, 13},
        {"Command5", &frmTessaron::Command5, "", {840, 4920, 615, 315}, 12, {.picture = question}},
        {"Command7", &frmTessaron::Command7, "crc32", {1920, 4920, 705, 315}, 22},
        {"Command2", &frmTessaron::Command2, "Clear", {2760, 4920, 705, 315}, 15, {.start = Start::Disabled}},
        // Its text ends at 5730 whatever its length.
        {"Label12", &frmTessaron::Label12, "", {5160, 5280, 570, 195}, 24,
            {.alignment = Qt::AlignRight | Qt::AlignVCenter, .sizedToText = true}},
        // A strip across the window; its side lines lie outside the client area.
        {"Label8", &frmTessaron::Label8, "", {-120, 5520, 6015, 255}, 18,
            {.textColour = blue, .alignment = Qt::AlignCenter, .frameStyle = QFrame::Panel | QFrame::Sunken}},
        {"Label7", &frmTessaron::Label7, "© Dodi", {5160, 0, 615, 195}, 14,
            {.textColour = white, .sizedToText = true}},
        {"File1", &frmTessaron::File1, "", {1080, 5280, 3255, 1065}, 6, {.start = Start::Hidden}},
    };
    // clang-format on

    std::vector<std::pair<int, QWidget*>> tabStops;
    std::vector<QWidget*> labels;
    for (const ControlRow& row : rows) {
        QWidget* control = std::visit(
            [this](auto slot) -> QWidget* {
                using Kind = std::remove_pointer_t<std::remove_reference_t<decltype(this->*slot)>>;
                Kind* created = createControl<Kind>(this);
                this->*slot = created;
                return created;
            },
            row.slot);
        control->setObjectName(QLatin1String(row.name));
        applyRow(control, row);
        if (row.tabIndex >= 0 && (control->focusPolicy() & Qt::TabFocus)) {
            tabStops.emplace_back(row.tabIndex, control);
        }
        if (qobject_cast<QLabel*>(control) && !qobject_cast<ui::ClickablePicture*>(control)) {
            labels.push_back(control);
        }
    }

    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    // The list is offered, never completed into what is typed: "1" stays 1 kByte, not "1420".
    Combo1->setCompleter(nullptr);
    Combo1->addItems({QStringLiteral("1420"), QStringLiteral("720"), QStringLiteral("512"),
                      QStringLiteral("360"), QStringLiteral("256")});
    Combo1->setEditText(QStringLiteral("1420"));
    Combo1->setToolTip(QStringLiteral("Es können hier auch eigene Fragmentgrössen eingegeben werden"));

    for (QListWidget* list : {List1, List2}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setSortingEnabled(false);
        // One line per entry: without this every append lays out all entries again, fragment after fragment.
        list->setUniformItemSizes(true);
        ui::layout::setListColours(list);
    }
    // Enter starts the split.
    Command1->setDefault(true);

    // The shapes and the line are drawn on the window's surface: they take no mouse and lie below the
    // labels, and the labels below the controls, each group in the order of the table. The icons lie
    // above their buttons.
    for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
        (*label)->lower();
    }
    for (QFrame* drawing : {Line1, Shape1, Shape2}) {
        drawing->setAttribute(Qt::WA_TransparentForMouseEvents);
        drawing->lower();
    }
    Picture1->raise();
    Picture2->raise();

    // Tab order by tab index; labels, pictures, the drawings and the hidden list take no focus.
    std::ranges::sort(tabStops, {}, &std::pair<int, QWidget*>::first);
    for (std::size_t i = 0; i + 1 < tabStops.size(); ++i) {
        QWidget::setTabOrder(tabStops[i].second, tabStops[i + 1].second);
    }

    // What a screen reader says for the controls that show a picture or no caption of their own.
    const std::pair<QWidget*, const char*> spokenNames[] = {
        {Command3, "Zu splittende Datei auswählen"},
        {Command8, "Erstes Fragment auswählen"},
        {Command5, "Hilfe"},
        {Picture1, "Splitten"},
        {Picture2, "Zusammenfügen"},
        {Text1, "Zu splittende Datei"},
        {Text2, "Erstes Fragment"},
        {List1, "Dateifragmentliste"},
        {List2, "Erzeugte Dateifragmente"},
        {Combo1, "Dateifragmentgröße in KB"},
    };
    for (const auto& [control, name] : spokenNames) {
        control->setAccessibleName(QString::fromUtf8(name));
    }
    // Where the combo box gives its text as its name (Linux), its text box carries the name it is read by.
    Combo1->lineEdit()->setAccessibleName(Combo1->accessibleName());

    // Files dropped anywhere go to the window, which chooses them; the text boxes do not take the
    // dropped file's address as text.
    setAcceptDrops(true);
    for (QLineEdit* box : findChildren<QLineEdit*>()) {
        box->setAcceptDrops(false);
    }
}

void frmTessaron::connectControls() {
    // Status hints follow every mouse move, buttons pressed or not.
    setMouseTracking(true);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setMouseTracking(true);
    }
    for (QWidget* control :
         std::initializer_list<QWidget*>{Check1, Command1, Command2, Command3, Command4, Command6, Command7,
                                         List1, List1->viewport(), List2, List2->viewport(), Text1, Text2}) {
        control->installEventFilter(this);
    }
    // Enter reaches the window when the focused control does not use it; the default button takes it.
    installEventFilter(this);

    connect(Command1, &QPushButton::clicked, this, [this] { command([this] { Command1_Click(); }); });
    connect(Picture1, &ui::ClickablePicture::clicked, this,
            [this] { command([this] { Picture1_Click(); }); });
    connect(Combo1, &QComboBox::editTextChanged, this, [this] { Combo1_Change(); });
    connect(Combo1, &QComboBox::activated, this, [this] { Combo1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { command([this] { Command2_Click(); }); });
    connect(Command3, &QPushButton::clicked, this, [this] { command([this] { Command3_Click(); }); });
    connect(Command4, &QPushButton::clicked, this, [this] { command([this] { Command4_Click(); }); });
    connect(Picture2, &ui::ClickablePicture::clicked, this,
            [this] { command([this] { Picture2_Click(); }); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Command6, &QPushButton::clicked, this, [this] { Command6_Click(); });
    connect(Command7, &QPushButton::clicked, this, [this] { command([this] { Command7_Click(); }); });
    connect(Command8, &QPushButton::clicked, this, [this] { command([this] { Command8_Click(); }); });
    // Only while a split, join or checksum runs: otherwise Escape goes where it always went.
    stopKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this, [this] { askToStop(); });
    stopKey_->setEnabled(false);
}

void frmTessaron::Form_Load() {
    ui::layout::centreOnScreen(this);
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
        // No question: an operation that can stop does so at its next block, and the window goes after it.
        if (stopKey_->isEnabled()) {
            fileio::requestCancel();
        }
        closeWhenIdle_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

bool frmTessaron::eventFilter(QObject* watched, QEvent* event) {
    if (watched == List1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // Any double-click on the list acts on the selected entry, also one below the last entry.
        command([this] { List1_DblClick(); });
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
        {Check1, texts::hintCheck1},     {Command1, texts::hintCommand1}, {Command2, texts::hintCommand2},
        {Command3, texts::hintCommand3}, {Command4, texts::hintCommand4}, {Command6, texts::hintCommand6},
        {Command7, texts::hintCommand7}, {List1, texts::hintList1},       {List2, texts::hintList2},
        {Text1, texts::hintText1},
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

void frmTessaron::command(const std::function<void()>& handler) {
    if (!busy_) {
        handler();
    }
}

void frmTessaron::Command5_Click() {
    frmInfo::open();
}

void frmTessaron::Command6_Click() {
    close();
}

void frmTessaron::askToStop() {
    if (showMessage(QMessageBox::Question, texts::questionTitle, texts::stopQuestion,
                    QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
        fileio::requestCancel();
    }
}

QMessageBox::StandardButton frmTessaron::showMessage(QMessageBox::Icon icon, const QString& title,
                                                     const QString& text,
                                                     QMessageBox::StandardButtons buttons) {
    return seam_.message(this, ui::MessageRequest{icon, title, text, buttons});
}

void frmTessaron::setCaption(QLabel* label, const QString& text) {
    ui::layout::setCaption(label, text);
}

void frmTessaron::setJoinEnabled(bool enabled) {
    Command4->setEnabled(enabled);
    Picture2->setEnabled(enabled);
}

void frmTessaron::updateJoinButton() {
    setJoinEnabled(List1->count() > 0);
}

void frmTessaron::clearFragmentList() {
    List1->clear();
    updateJoinButton();
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
    setCaption(Label11, texts::writtenFragmentsHeading);
    List2->clear();
    setCaption(Label6, texts::fragmentCount);
    setCaption(Label12, QString());
}

void frmTessaron::clearJoinResult() {
    setCaption(Label5, QString());
    Label5->setToolTip(QString());
    setCaption(Label14, QString());
    setCaption(Label15, QString());
}
