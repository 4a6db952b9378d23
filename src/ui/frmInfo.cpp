#include "frmInfo.hpp"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "Images.hpp"
#include "Layout.hpp"

namespace {

using ui::layout::pixels;
using ui::layout::px;

// One list entry per line; blanks at either end are part of the text.
const char* const helpLines[] = {
    "       *** Datei splitten ***",
    "Eine Datei, z.B. die Datei Beispiel.dat, kann",
    "in kleinere Dateien (Dateifragmente)zerlegt",
    "werden. Die Fragmentgröße ist frei wählbar.",
    "Die Dateinamen der Dateifragmente werden durch-",
    "nummeriert.",
    "",
    "          Beispiel.dat._001",
    "          Beispiel.dat._002",
    "          Beispiel.dat._003",
    "                 ...",
    "          Beispiel.dat._nnn",
    "",
    "Die Anzahl der Fragmente ist abhängig von der",
    "Dateigröße und der gewählten Fragmentgröße.",
    "Die Anzahl der Fragmente darf nicht > 999 werden.",
    "Um die Dateifragmente auch ohne das Programm",
    "zusammenfügen zu können, kann eine Batchdatei",
    "erzeugt werden.",
    "",
    "    *** Zusammenfügen mit diesem Programm ***",
    "Zuerst ist das erste Dateifragment (*._001) der",
    "Datei, die zusammengefügt werden soll, auszuwählen.",
    "In der unteren Dateifragmentliste werden dann",
    "alle benötigten Dateifragmente angezeigt. ",
    "Befinden sich in der Dateifragmentliste nicht",
    "benötigte Dateifragmente (z.B. Fragmente von ",
    "früheren Splittungen), müssen diese mit einem ",
    "DoppelClick aus der Liste entfernt werden.",
    "Nach Click auf \"Dateifragmente zusammenfügen\",",
    "werden dann alle Dateifragmente der unteren ",
    "Dateifragmentliste zu einer Datei zusammengefügt.",
    "",
    "      *** Zusammenfügen mit Batchdatei ***",
    "Wurde beim Splitten eine Batchdatei erzeugt, ",
    "können die Dateifragmente auch ohne dieses ",
    "Programm zusammengefügt werden.",
    "Die Dateifragmente und die Batchdatei werden in",
    "ein gemeinsames Verzeichnis kopiert. Dann wird",
    "die Batchdatei gestartet. Die Dateifragmente",
    "werden zusammengefügt.",
    "",
    "Zur Kontrolle kann die CRC32 Prüfsumme für die",
    "zu splittende und die zusammengefügte Datei er-",
    "mittelt werden. CRC steht für \"cyclic-redundancy- ",
    "check\" (Zyklische Redundanz-Überprüfung)",
};

}  // namespace

frmInfo*& frmInfo::instance() {
    static frmInfo* reference = nullptr;
    return reference;
}

void frmInfo::open() {
    if (!instance()) {
        instance() = new frmInfo;
    }
    frmInfo* window = instance();
    if (!window->loaded_) {
        window->Form_Load();
    }
    window->show();
    window->raise();
    window->activateWindow();
}

frmInfo::frmInfo() {
    setObjectName(QStringLiteral("frmInfo"));
    setWindowTitle(QStringLiteral("Dodiveverazed - Info"));
    setWindowIcon(ui::images::windowIcon());
    setPalette(ui::layout::lightPalette());
    setFont(ui::layout::font(ui::layout::windowFont));
    resize(px(6045), px(5400));

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(pixels({120, 420, 5715, 4260}));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setFont(ui::layout::font({.family = "Courier New", .points = 8.25, .fixedPitch = true}));
    ui::layout::setListColours(List1);

    Command1 = new QPushButton(QStringLiteral("ok"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(pixels({2580, 4920, 1095, 315}));
    // Enter on the focused button closes the window, as the space bar does.
    Command1->setAutoDefault(true);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    // Sized to its text and ending where the list ends.
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ui::layout::setColour(Label1, QPalette::WindowText, qRgb(0, 0, 192));
    Label1->setGeometry(pixels({3300, 120, 2445, 195}));
    ui::layout::sizeToText(Label1);
    ui::layout::setCaption(Label1, QStringLiteral("© Dodiveverazed"));

    setTabOrder(List1, Command1);
}

void frmInfo::Form_Load() {
    ui::layout::centreOnScreen(this);
    List1->clear();
    for (const char* line : helpLines) {
        List1->addItem(QString::fromUtf8(line));
    }
    List1->setCurrentRow(-1);
    List1->clearSelection();
    loaded_ = true;
}

void frmInfo::Form_Activate() {
    Command1->setFocus(Qt::ActiveWindowFocusReason);
}

void frmInfo::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        Form_Activate();
    }
    QWidget::changeEvent(event);
}

void frmInfo::closeEvent(QCloseEvent* event) {
    // The close box only hides the window; the reference keeps it for the next opening, which reloads it.
    loaded_ = false;
    QWidget::closeEvent(event);
}

void frmInfo::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmInfo::Command1_Click() {
    instance() = nullptr;
    setAttribute(Qt::WA_DeleteOnClose);
    close();
}
