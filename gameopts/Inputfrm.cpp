#include "Inputfrm.h"

#include "FormLayout.h"
#include "MessageBox.h"
#include "TextFit.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

using Platform::formFont;
using Platform::twips;
using Platform::twipsRect;

namespace {

const QString noneText = QStringLiteral("None");

QLabel* makeLabel(const QString& text, const QString& name, const QRect& rect, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(rect);
    return label;
}

QLineEdit* makeField(const QString& name, const QRect& rect, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setGeometry(rect);
    return field;
}

} // namespace

Inputfrm::Inputfrm(QWidget* mainWindow, const QString& romname, const QDir& workDir)
    : DialogForm(mainWindow), m_romname(romname), m_workDir(workDir)
{
    setObjectName(QStringLiteral("Inputfrm"));
    // A tool window keeps the dialog out of the taskbar.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Set Game Options"));
    setFont(formFont(QStringLiteral("Arial"), 11.25));
    setFixedSize(twips(6975), twips(4515));
    createControls();
    Platform::fitTexts(this);
    Form_Load();
}

Inputfrm::~Inputfrm()
{
    // The device box loses the focus while the window's base classes take it down, and its
    // typing handlers must not run on a dialog that is no longer whole.
    Dev->lineEdit()->disconnect(this);
}

void Inputfrm::createControls()
{
    createButtonMapping();

    Frame3 = new QGroupBox(QStringLiteral("Dip Switch"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    Frame3->setGeometry(twipsRect(60, 3120, 3375, 735));
    makeLabel(QStringLiteral("Set Dip Switch:"), QStringLiteral("LabelDip"), twipsRect(120, 360, 1335, 255), Frame3);
    const QFont small = formFont(QStringLiteral("Arial"), 9);
    dip1 = makeField(QStringLiteral("dip1"), twipsRect(1440, 240, 615, 330), Frame3);
    dip2 = makeField(QStringLiteral("dip2"), twipsRect(2040, 240, 615, 330), Frame3);
    dip3 = makeField(QStringLiteral("dip3"), twipsRect(2640, 240, 615, 330), Frame3);
    for (QLineEdit* dip : {dip1, dip2, dip3}) {
        dip->setAlignment(Qt::AlignCenter);
        dip->setFont(small);
        dip->setText(QStringLiteral("00"));
    }
    connect(dip1, &QLineEdit::textChanged, this, &Inputfrm::dip1_Change);
    connect(dip2, &QLineEdit::textChanged, this, &Inputfrm::dip2_Change);
    connect(dip3, &QLineEdit::textChanged, this, &Inputfrm::dip3_Change);

    OK = new QPushButton(QStringLiteral("OK"), this);
    OK->setObjectName(QStringLiteral("OK"));
    OK->setGeometry(twipsRect(60, 3960, 1695, 495));
    OK->setFont(formFont(QStringLiteral("Arial"), 11.25, true));
    connect(OK, &QPushButton::clicked, this, &Inputfrm::OK_Click);

    Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    Cancel->setGeometry(twipsRect(1860, 3960, 1575, 495));
    connect(Cancel, &QPushButton::clicked, this, &Inputfrm::Cancel_Click);

    createKeyboardMapping();
}

void Inputfrm::createButtonMapping()
{
    Frame1 = new QGroupBox(QStringLiteral("Button Mapping"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(60, 0, 3375, 3015));
    makeLabel(QStringLiteral("Device:"), QStringLiteral("LabelDevice"), twipsRect(1320, 360, 615, 255), Frame1);

    Dev = new QComboBox(Frame1);
    Dev->setObjectName(QStringLiteral("Dev"));
    Dev->setGeometry(twipsRect(120, 600, 3135, 345));
    // Typed text only stands in the box: the device changes when an entry is picked from the list.
    // When typing ends on a full caption the box picks that entry itself; the two handlers around
    // its own mark that moment, so that Dev_click can ignore it.
    auto* devEdit = new QLineEdit(Dev);
    connect(devEdit, &QLineEdit::editingFinished, this, [this] { m_typingEnded = true; });
    Dev->setLineEdit(devEdit);
    connect(devEdit, &QLineEdit::editingFinished, this, [this] { m_typingEnded = false; });
    Dev->setInsertPolicy(QComboBox::NoInsert);
    Dev->setCompleter(nullptr);
    Dev->setEditText(GameDevices::caption(1));
    connect(Dev, &QComboBox::activated, this, &Inputfrm::Dev_click);

    struct Row
    {
        const char* caption;
        const char* field;
        const char* bar;
        int left;
        int top;
    };
    // Left column Fire A, Fire B, Fire C, Start; right column Fire D, Fire E, Fire F, Coin.
    const Row rows[GameDevices::InputCount] = {
        {"Fire A:", "FA", "SA", 120, 1080},  {"Fire B:", "FB", "SB", 120, 1560},  {"Fire C:", "FC", "SC", 120, 2040},
        {"Fire D:", "FD", "SD", 1680, 1080}, {"Fire E:", "FE", "SE", 1680, 1560}, {"Fire F:", "FF", "SF", 1680, 2040},
        {"Start:", "FG", "SG", 120, 2520},   {"Coin:", "FH", "SH", 1680, 2520},
    };
    const QFont small = formFont(QStringLiteral("Arial"), 9);
    for (size_t input = 0; input < m_bars.size(); ++input) {
        const Row& row = rows[input];
        const QString field = QLatin1String(row.field);
        QLabel* label = makeLabel(QLatin1String(row.caption), QStringLiteral("Label") + field,
                                  twipsRect(row.left, row.top + 120, 615, 255), Frame1);
        label->setFont(small);

        // The field only shows its bar's position.
        m_fields[input] = makeField(field, twipsRect(row.left + 600, row.top, 615, 375), Frame1);
        m_fields[input]->setFont(small);
        m_fields[input]->setReadOnly(true);
        m_fields[input]->setText(noneText);

        // SA lies on the window rather than the frame, in the same column as the other left bars.
        const bool onWindow = input == 0;
        auto* bar = new QScrollBar(Qt::Vertical, onWindow ? static_cast<QWidget*>(this) : Frame1);
        bar->setObjectName(QLatin1String(row.bar));
        bar->setGeometry(onWindow ? twipsRect(1380, 1080, 255, 375) : twipsRect(row.left + 1200, row.top, 255, 375));
        bar->setRange(GameDevices::NoButton, GameDevices::MaxButton);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->setValue(GameDevices::NoButton);
        m_bars[input] = bar;
    }
    FA = m_fields[0];
    FB = m_fields[1];
    FC = m_fields[2];
    FD = m_fields[3];
    FE = m_fields[4];
    FF = m_fields[5];
    FG = m_fields[6];
    FH = m_fields[7];
    SA = m_bars[0];
    SB = m_bars[1];
    SC = m_bars[2];
    SD = m_bars[3];
    SE = m_bars[4];
    SF = m_bars[5];
    SG = m_bars[6];
    SH = m_bars[7];
    connect(SA, &QScrollBar::valueChanged, this, &Inputfrm::SA_Change);
    connect(SB, &QScrollBar::valueChanged, this, &Inputfrm::SB_Change);
    connect(SC, &QScrollBar::valueChanged, this, &Inputfrm::SC_Change);
    connect(SD, &QScrollBar::valueChanged, this, &Inputfrm::SD_Change);
    connect(SE, &QScrollBar::valueChanged, this, &Inputfrm::SE_Change);
    connect(SF, &QScrollBar::valueChanged, this, &Inputfrm::SF_Change);
    connect(SG, &QScrollBar::valueChanged, this, &Inputfrm::SG_Change);
    connect(SH, &QScrollBar::valueChanged, this, &Inputfrm::SH_Change);
}

void Inputfrm::createKeyboardMapping()
{
    // Shown for completeness but never enabled: nothing in it takes input.
    Frame2 = new QGroupBox(QStringLiteral("Keyboard Mapping"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twipsRect(3540, 0, 3375, 4455));
    Frame2->setEnabled(false);

    Key1 = new QRadioButton(QStringLiteral("Keyboard 1"), Frame2);
    Key1->setObjectName(QStringLiteral("Key1"));
    Key1->setGeometry(twipsRect(240, 360, 1335, 255));
    Key1->setChecked(true);
    Key2 = new QRadioButton(QStringLiteral("Keyboard 2"), Frame2);
    Key2->setObjectName(QStringLiteral("Key2"));
    Key2->setGeometry(twipsRect(1920, 360, 1335, 255));

    // Only its place is fixed: the label takes the size of its text, which the frame's font would clip otherwise.
    QLabel* direction = makeLabel(QStringLiteral("Direction:"), QStringLiteral("LabelDirection"),
                                  twipsRect(1320, 1440, 855, 255), Frame2);
    direction->adjustSize();

    Tprem = makeField(QStringLiteral("Tprem"), twipsRect(120, 3960, 375, 375), Frame2);
    Tprem->hide();

    struct Cell
    {
        const char* name;
        const char* caption;
        int left;
        int top;
    };
    const Cell cells[] = {
        {"UL", "U/L", 120, 600},      {"UU", "Up", 1200, 600},      {"UR", "U/R", 2280, 600},
        {"LL", "Left", 120, 1200},    {"RR", "Right", 2280, 1200},  {"DL", "D/L", 120, 1800},
        {"DD", "Down", 1200, 1800},   {"DR", "D/R", 2280, 1800},    {"BA", "Fire A", 120, 2520},
        {"BB", "Fire B", 1200, 2520}, {"BC", "Fire C", 2280, 2520}, {"BD", "Fire D", 120, 3120},
        {"BE", "Fire E", 1200, 3120}, {"BF", "Fire F", 2280, 3120}, {"BG", "Start", 600, 3720},
        {"BH", "Coin", 1800, 3720},
    };
    const QFont captionFont = formFont(QStringLiteral("Arial"), 9);
    const QFont keyFont = formFont(QStringLiteral("Arial"), 9.75, true);
    for (const Cell& cell : cells) {
        const QString name = QLatin1String(cell.name);
        auto* frame = new QGroupBox(QLatin1String(cell.caption), Frame2);
        frame->setObjectName(QStringLiteral("Cell") + name);
        frame->setGeometry(twipsRect(cell.left, cell.top, 975, 615));
        frame->setFont(captionFont);
        QLabel* key = makeLabel(noneText, name, twipsRect(0, 240, 975, 375), frame);
        key->setAlignment(Qt::AlignCenter);
        key->setFont(keyFont);
    }
}

void Inputfrm::Form_Load()
{
    InitOptions();
    LoadGameIni();
}

void Inputfrm::InitOptions()
{
    k = GameConfig::emptyMap();
    Idev = 1;
    for (int device = 1; device <= GameDevices::Count; ++device)
        Dev->addItem(GameDevices::caption(device));
    BDev = 2;
}

void Inputfrm::LoadGameIni()
{
    GameConfig config;
    QString error;
    if (!readGameConfig(m_workDir, m_romname, &config, &error)) {
        // OK would replace the file with what the dialog shows, so the user must know it was not read.
        if (!error.isEmpty())
            Platform::messageBox(
                QStringLiteral("The options in %1 could not be read: %2").arg(gameConfigFileName(m_romname), error),
                QStringLiteral("Gantrel Error"));
        return;
    }
    k = config.k;
    dip1->setText(config.dip1);
    dip2->setText(config.dip2);
    dip3->setText(config.dip3);
    ShowMapping();
}

void Inputfrm::ShowMapping()
{
    const GameConfig::Row& row = k[static_cast<size_t>(Idev)];
    for (size_t input = 0; input < m_bars.size(); ++input)
        m_bars[input]->setValue(GameDevices::buttonValue(row[input]));
}

void Inputfrm::Dev_click()
{
    if (m_typingEnded)
        return;
    const QString text = Dev->currentText();
    for (int device = 1; device <= GameDevices::Count; ++device) {
        if (text == GameDevices::caption(device)) {
            BDev = GameDevices::device(device).buttons;
            Idev = device;
            break;
        }
    }
    ShowMapping();
}

void Inputfrm::SA_Change()
{
    barChange(0);
}

void Inputfrm::SB_Change()
{
    barChange(1);
}

void Inputfrm::SC_Change()
{
    barChange(2);
}

void Inputfrm::SD_Change()
{
    barChange(3);
}

void Inputfrm::SE_Change()
{
    barChange(4);
}

void Inputfrm::SF_Change()
{
    barChange(5);
}

void Inputfrm::SG_Change()
{
    barChange(6);
}

void Inputfrm::SH_Change()
{
    barChange(7);
}

void Inputfrm::barChange(int input)
{
    const auto index = static_cast<size_t>(input);
    QScrollBar* bar = m_bars[index];
    const int v = bar->value();
    if (v < BDev)
        m_fields[index]->setText(v == GameDevices::NoButton ? noneText : QString::number(v));
    else
        bar->setValue(BDev - 1); // runs this handler again, which shows and stores the new position
    // An entry that already reads as this position keeps its spelling ("03" stays "03").
    QString& entry = k[static_cast<size_t>(Idev)][index];
    if (GameDevices::buttonValue(entry) != bar->value() || entry.isEmpty())
        entry = QString::number(bar->value());
}

void Inputfrm::dip1_Change()
{
    dipChange(dip1);
}

void Inputfrm::dip2_Change()
{
    dipChange(dip2);
}

void Inputfrm::dip3_Change()
{
    dipChange(dip3);
}

void Inputfrm::dipChange(QLineEdit* dip)
{
    if (dip->text().size() > 2)
        dip->setText(QStringLiteral("00"));
}

void Inputfrm::OK_Click()
{
    GameConfig config;
    config.k = k;
    config.dip1 = dip1->text();
    config.dip2 = dip2->text();
    config.dip3 = dip3->text();
    const SaveResult result = writeGameConfig(m_workDir, m_romname, config);
    if (!result.ok) {
        // The old file is still there; the user can try again or cancel.
        Platform::messageBox(result.error, QStringLiteral("Gantrel Error"));
        return;
    }
    close();
}

void Inputfrm::Cancel_Click()
{
    close();
}

void Inputfrm::Form_Unload()
{
    // OK, Cancel and the close box all end here; nothing of the dialog outlives it.
    DialogForm::Form_Unload();
}
