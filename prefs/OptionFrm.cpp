#include "OptionFrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "FormLayout.h"
#include "InputDevices.h"
#include "MessageBox.h"
#include "PreferencesFile.h"
#include "TextFit.h"

using Platform::formFont;
using Platform::twips;
using Platform::twipsRect;

namespace {

const QString errorCaption = QStringLiteral("Gantrel Error");

template <typename Control>
Control* place(Control* control, const char* name, const QRect& rect, const QString& toolTip = {})
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(rect);
    if (!toolTip.isEmpty())
        control->setToolTip(toolTip);
    return control;
}

} // namespace

OptionFrm::OptionFrm(QWidget* mainWindow, const QDir& workDir) : DialogForm(mainWindow), m_workDir(workDir)
{
    // A tool window: a thin caption with a close box only, and no place in the task bar.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setObjectName(QStringLiteral("OptionFrm"));
    setWindowTitle(QStringLiteral("Set Default Preferences"));
    setFont(formFont(QStringLiteral("Arial"), 9.75));
    setFixedSize(twips(8535), twips(6195));
    createControls();
    Platform::fitTexts(this);
    Form_Load();
}

QRadioButton* OptionFrm::addResolution(int index, int left, int top, int width)
{
    const QByteArray name = "Res" + QByteArray::number(index + 1);
    auto* button = place(new QRadioButton(Resolutions::caption(index), Frame2), name.constData(),
                         twipsRect(left, top, width, 255));
    m_resolutions[static_cast<size_t>(index)] = button;
    return button;
}

void OptionFrm::createControls()
{
    const QFont topFrameFont = formFont(QStringLiteral("Arial"), 11.25);
    const QFont innerFont = formFont(QStringLiteral("Arial"), 9);

    FScreen = place(new QGroupBox(QStringLiteral("Video Options"), this), "FScreen", twipsRect(60, 0, 8415, 3735));
    FScreen->setFont(topFrameFont);

    // The inner frames pass their font on to the controls inside them.
    Frame2 = place(new QGroupBox(QStringLiteral("Resolution:"), FScreen), "Frame2", twipsRect(120, 240, 5775, 1935));
    Frame2->setFont(innerFont);
    Res1 = addResolution(0, 240, 360, 1215);
    Res2 = addResolution(1, 240, 720, 1215);
    Res3 = addResolution(2, 240, 1080, 1215);
    Res4 = addResolution(3, 240, 1440, 1215);
    Res5 = addResolution(4, 2040, 360, 1095);
    Res5->setToolTip(
        QStringLiteral("This is the Original Resolution of the Coin Op, Chose this if works on your machine"));
    Res6 = addResolution(5, 2040, 720, 1095);
    Res7 = addResolution(6, 2040, 1080, 1095);
    Res8 = addResolution(7, 2040, 1440, 1095);
    Res9 = addResolution(8, 3960, 360, 1095);
    Res10 = addResolution(9, 3960, 720, 1215);
    Res11 = addResolution(10, 3960, 1080, 1215);
    m_resolutions[Resolutions::Original]->setChecked(true);

    Frame1 = place(new QGroupBox(QStringLiteral("Other:"), FScreen), "Frame1", twipsRect(6000, 240, 2295, 1815));
    Frame1->setFont(innerFont);
    VSync = place(new QCheckBox(QStringLiteral("V Sync"), Frame1), "VSync", twipsRect(240, 360, 975, 255),
                  QStringLiteral("Use Vertical Refresh Synchronization, useful if the emulator is too Fast"));
    V6Bit = place(new QCheckBox(QStringLiteral("Vesa 6 Bit Palette"), Frame1), "V6Bit", twipsRect(240, 720, 1815, 255),
                  QStringLiteral("Force Vesa to use 6 bit instead of 8 bit palette"));
    Duble = place(new QCheckBox(QStringLiteral("Double Screen Size"), Frame1), "Duble", twipsRect(240, 1080, 1935, 255),
                  QStringLiteral("Double the screen size, useful with higher resolution"));
    Intens = place(new QCheckBox(QStringLiteral("Intensity"), Frame1), "Intens", twipsRect(240, 1440, 1935, 255),
                   QStringLiteral("Make Intensity Higher"));

    Frame4 = place(new QGroupBox(QStringLiteral("Performance:"), FScreen), "Frame4", twipsRect(120, 2160, 5775, 1455));
    Frame4->setFont(innerFont);
    Label1 = place(new QLabel(QStringLiteral("Frame Skip:"), Frame4), "Label1", twipsRect(120, 360, 1095, 255));
    Label1->setFont(formFont(QStringLiteral("MS Sans Serif"), 8.25));
    Frames = place(new QCheckBox(QStringLiteral("Auto"), Frame4), "Frames", twipsRect(1440, 360, 735, 255),
                   QStringLiteral("Automatically Select the Best Frame Rate"));
    Frames->setChecked(true);
    Slide = place(new QSlider(Qt::Horizontal, Frame4), "Slide", twipsRect(120, 720, 2295, 375));
    Slide->setRange(Preferences::FrameSkipMin, Preferences::FrameSkipMax);
    Slide->setSingleStep(1);
    Slide->setPageStep(1);
    Slide->setTickInterval(1);
    Slide->setTickPosition(QSlider::TicksBelow);
    Slide->setValue(Preferences::FrameSkipMin);
    // Auto is checked at first, and the slider only means something without it.
    Slide->setEnabled(false);
    Label3 = place(new QLabel(QStringLiteral("1    2    3     4    5    6    7    8"), Frame4), "Label3",
                   twipsRect(240, 1080, 2175, 255));
    Label2 = place(new QLabel(QStringLiteral("Swap Page Mode:"), Frame4), "Label2", twipsRect(2760, 600, 1575, 255));
    Swap1 = place(new QRadioButton(QStringLiteral("Normal"), Frame4), "Swap1", twipsRect(4320, 240, 1335, 255),
                  QStringLiteral("Normal Mode, use this if you haven't an Intel CPU or an MMX Processor"));
    Swap2 = place(new QRadioButton(QStringLiteral("FPU Copy"), Frame4), "Swap2", twipsRect(4320, 600, 1215, 225),
                  QStringLiteral("FPU Copy Mode, faster than Normal if you have an Intel CPU"));
    Swap3 = place(new QRadioButton(QStringLiteral("MMX Copy"), Frame4), "Swap3", twipsRect(4320, 960, 1215, 255),
                  QStringLiteral("MMX Copy Mode, the Faster (if you have a MMX processor)"));
    Swap1->setChecked(true);

    Frame5 =
        place(new QGroupBox(QStringLiteral("Vesa Options:"), FScreen), "Frame5", twipsRect(6000, 2160, 2295, 1455));
    Frame5->setFont(innerFont);
    Novesa = place(new QCheckBox(QStringLiteral("Disable Vesa"), Frame5), "Novesa", twipsRect(240, 360, 1815, 255),
                   QStringLiteral("Disable Vesa Support, You can use only normal or tweaked resolution"));
    Flinear = place(new QCheckBox(QStringLiteral("Force Linear"), Frame5), "Flinear", twipsRect(240, 720, 1575, 255),
                    QStringLiteral("Force Vesa Linear Mode, this is the more stable one"));
    Fbanked = place(new QCheckBox(QStringLiteral("Force Banked"), Frame5), "Fbanked", twipsRect(240, 1080, 1575, 255),
                    QStringLiteral("Force Vesa 2.0 Banked Mode, You could have bad visualization"));

    Frame6 = place(new QGroupBox(QStringLiteral("Input Device"), this), "Frame6", twipsRect(60, 3720, 8415, 1335));
    Frame6->setFont(topFrameFont);
    Label4 = place(new QLabel(QStringLiteral("Controller For Player 1:"), Frame6), "Label4",
                   twipsRect(1020, 480, 1935, 255));
    Label5 = place(new QLabel(QStringLiteral("Controller For Player 2:"), Frame6), "Label5",
                   twipsRect(1020, 840, 1935, 255));
    Label4->setFont(innerFont);
    Label5->setFont(innerFont);
    const std::array<QRect, Preferences::PlayerCount> playerRects = {twipsRect(3120, 360, 3735, 345),
                                                                     twipsRect(3120, 780, 3735, 345)};
    for (int i = 0; i < Preferences::PlayerCount; ++i) {
        // The two boxes are one control array: one name, told apart by their index.
        auto* box = place(new QComboBox(Frame6), "Player", playerRects[static_cast<size_t>(i)]);
        box->setProperty("index", i);
        box->setFont(innerFont);
        box->setEditable(true);
        // What the user types stays as typed: no completion, no matching against the list, no new
        // entries in it.
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
        box->setEditText(InputDevices::caption(InputDevices::Keyboard1));
        Player[static_cast<size_t>(i)] = box;
    }

    Frame3 = place(new QGroupBox(QStringLiteral("Other"), this), "Frame3", twipsRect(60, 5040, 6735, 1095));
    Frame3->setFont(topFrameFont);
    Excl = place(new QCheckBox(QStringLiteral("Exclusive"), Frame3), "Excl", twipsRect(120, 240, 1095, 375));
    AltKey = place(new QCheckBox(QStringLiteral("AltKey"), Frame3), "AltKey", twipsRect(120, 600, 855, 375));
    OtherTXT = place(new QLabel(QStringLiteral("Other Command:"), Frame3), "OtherTXT", twipsRect(3600, 240, 1575, 255));
    Other = place(new QLineEdit(Frame3), "Other", twipsRect(1980, 540, 4455, 330));
    const std::array<QWidget*, 4> inFrame3 = {Excl, AltKey, OtherTXT, Other};
    for (QWidget* control : inFrame3)
        control->setFont(innerFont);

    OK = place(new QPushButton(QStringLiteral("OK"), this), "OK", twipsRect(7020, 5160, 1395, 435));
    Cancel = place(new QPushButton(QStringLiteral("Cancel"), this), "Cancel", twipsRect(7020, 5700, 1395, 435));

    // The handlers follow the value, whoever changes it: the user or the file being read.
    connect(Frames, &QCheckBox::toggled, this, &OptionFrm::Frames_Click);
    connect(Novesa, &QCheckBox::toggled, this, &OptionFrm::Novesa_Click);
    connect(Flinear, &QCheckBox::toggled, this, &OptionFrm::FLinear_Click);
    connect(Fbanked, &QCheckBox::toggled, this, &OptionFrm::FBanked_Click);
    connect(OK, &QPushButton::clicked, this, &OptionFrm::OK_Click);
    connect(Cancel, &QPushButton::clicked, this, &OptionFrm::Cancel_Click);
}

void OptionFrm::Form_Load()
{
    FillDevices();
    loadini();
}

void OptionFrm::FillDevices()
{
    for (QComboBox* box : Player) {
        const QString text = box->currentText();
        for (const InputDevice& device : InputDevices::table)
            box->addItem(QString::fromLatin1(device.caption));
        box->setEditText(text);
    }
}

void OptionFrm::loadini()
{
    const PreferencesFile::ReadResult result = PreferencesFile::read(m_workDir, preferences());
    if (!result.error.isEmpty()) {
        // Opening with the defaults is all that is left; the user must know that OK would replace the file.
        Platform::messageBox(QStringLiteral("The preferences in %1 could not be read: %2")
                                 .arg(PreferencesFile::lookupName(), result.error),
                             errorCaption);
        return;
    }
    if (result.found)
        setPreferences(result.preferences);
}

Preferences OptionFrm::preferences() const
{
    Preferences prefs;
    for (int i = 0; i < Resolutions::Count; ++i) {
        if (m_resolutions[static_cast<size_t>(i)]->isChecked())
            prefs.resolution = i;
    }
    prefs.autoFrameSkip = Frames->isChecked();
    prefs.frameSkip = Slide->value();
    prefs.swapMode = Swap2->isChecked() ? SwapMode::FpuCopy : Swap3->isChecked() ? SwapMode::MmxCopy : SwapMode::Normal;
    prefs.vsync = VSync->isChecked();
    prefs.vesa6Bit = V6Bit->isChecked();
    prefs.doubleSize = Duble->isChecked();
    prefs.intensity = Intens->isChecked();
    prefs.noVesa = Novesa->isChecked();
    prefs.forceLinear = Flinear->isChecked();
    prefs.forceBanked = Fbanked->isChecked();
    prefs.exclusive = Excl->isChecked();
    prefs.altKey = AltKey->isChecked();
    for (size_t i = 0; i < Player.size(); ++i)
        prefs.players[i] = Player[i]->currentText();
    prefs.other = Other->text();
    return prefs;
}

void OptionFrm::setPreferences(const Preferences& prefs)
{
    m_resolutions[static_cast<size_t>(qBound(0, prefs.resolution, Resolutions::Count - 1))]->setChecked(true);
    Frames->setChecked(prefs.autoFrameSkip);
    Slide->setValue(prefs.frameSkip);
    switch (prefs.swapMode) {
    case SwapMode::Normal:
        Swap1->setChecked(true);
        break;
    case SwapMode::FpuCopy:
        Swap2->setChecked(true);
        break;
    case SwapMode::MmxCopy:
        Swap3->setChecked(true);
        break;
    }
    VSync->setChecked(prefs.vsync);
    V6Bit->setChecked(prefs.vesa6Bit);
    Duble->setChecked(prefs.doubleSize);
    Intens->setChecked(prefs.intensity);
    Novesa->setChecked(prefs.noVesa);
    Flinear->setChecked(prefs.forceLinear);
    Fbanked->setChecked(prefs.forceBanked);
    Excl->setChecked(prefs.exclusive);
    AltKey->setChecked(prefs.altKey);
    // The list's entry follows the text, so that the arrow keys move on from the device shown.
    for (size_t i = 0; i < Player.size(); ++i) {
        const int entry = Player[i]->findText(prefs.players[i], Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (entry >= 0)
            Player[i]->setCurrentIndex(entry);
        Player[i]->setEditText(prefs.players[i]);
    }
    Other->setText(prefs.other);
}

void OptionFrm::Frames_Click()
{
    Slide->setEnabled(!Frames->isChecked());
}

void OptionFrm::Novesa_Click()
{
    // 320x200, 384x224 and 384x257 work without VESA and stay available.
    const bool enable = !Novesa->isChecked();
    const std::array<QWidget*, 11> vesaOnly = {Fbanked, Flinear, V6Bit, Res2,  Res3, Res4,
                                               Res7,    Res8,    Res9,  Res10, Res11};
    for (QWidget* control : vesaOnly)
        control->setEnabled(enable);
}

void OptionFrm::FLinear_Click()
{
    Fbanked->setEnabled(!Flinear->isChecked());
}

void OptionFrm::FBanked_Click()
{
    Flinear->setEnabled(!Fbanked->isChecked());
}

void OptionFrm::OK_Click()
{
    const SaveResult result = PreferencesFile::write(m_workDir, preferences());
    if (!result.ok) {
        // The old file is still there, and the dialog stays open so that no choice is lost.
        Platform::messageBox(QStringLiteral("The preferences could not be saved in %1: %2")
                                 .arg(PreferencesFile::writtenName(), result.error),
                             errorCaption);
        return;
    }
    close();
}

void OptionFrm::Cancel_Click()
{
    close();
}
