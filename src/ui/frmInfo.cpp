#include "frmInfo.hpp"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <cmath>

#include "Images.hpp"

namespace {

constexpr int px(int twips) {
    return (twips * 2 + 15) / 30;
}

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
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    setFont(font);
    resize(px(6045), px(5400));

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(px(120), px(420), px(5715), px(4260));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    QFont fixed(QStringLiteral("Courier New"));
    fixed.setPointSizeF(8.25);
    fixed.setStyleHint(QFont::TypeWriter);
    List1->setFont(fixed);
    QPalette colours = List1->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, QColor(255, 254, 219));
        colours.setColor(group, QPalette::Text, QColor(0, 0, 255));
    }
    List1->setPalette(colours);

    Command1 = new QPushButton(QStringLiteral("ok"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(px(2580), px(4920), px(1095), px(315));
    // Enter on the focused button closes the window, as the space bar does.
    Command1->setAutoDefault(true);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    Label1 = new QLabel(QStringLiteral("© Dodiveverazed"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette credit = Label1->palette();
    credit.setColor(QPalette::WindowText, QColor(0, 0, 192));
    Label1->setPalette(credit);
    // Sized to its text and ending where the list ends.
    const int creditWidth = Label1->sizeHint().width();
    Label1->setGeometry(px(5745) - creditWidth, px(120), creditWidth, px(195));

    setTabOrder(List1, Command1);
}

void frmInfo::Form_Load() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QSize outer = frameGeometry().size();
        move(area.left() + static_cast<int>(std::floor((area.width() - outer.width()) / 2.0)),
             area.top() + static_cast<int>(std::floor((area.height() - outer.height()) / 2.0)));
    }
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

void frmInfo::Command1_Click() {
    instance() = nullptr;
    setAttribute(Qt::WA_DeleteOnClose);
    close();
}
