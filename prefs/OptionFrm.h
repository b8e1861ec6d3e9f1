#pragma once

#include "DialogForm.h"
#include "Preferences.h"

#include <array>

#include <QDir>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

// The dialog that edits the default options of every launch, kept in the settings file of the
// working folder. It reads the file when it opens and writes it on OK.
class OptionFrm final : public Platform::DialogForm
{
    Q_OBJECT

public:
    OptionFrm(QWidget* mainWindow, const QDir& workDir);

    // The values the controls hold.
    Preferences preferences() const;
    // Sets the controls one by one, in the order of the file's lines; a check box whose value
    // changes runs its handler, just as a click would.
    void setPreferences(const Preferences& prefs);

private:
    void createControls();
    QRadioButton* addResolution(int index, int left, int top, int width);

    void Form_Load();
    void FillDevices();
    void loadini();

    void Frames_Click();
    void Novesa_Click();
    void FLinear_Click();
    void FBanked_Click();
    void OK_Click();
    void Cancel_Click();

    QDir m_workDir;

    QGroupBox* FScreen = nullptr;
    QGroupBox* Frame2 = nullptr;
    QRadioButton* Res1 = nullptr;
    QRadioButton* Res2 = nullptr;
    QRadioButton* Res3 = nullptr;
    QRadioButton* Res4 = nullptr;
    QRadioButton* Res5 = nullptr;
    QRadioButton* Res6 = nullptr;
    QRadioButton* Res7 = nullptr;
    QRadioButton* Res8 = nullptr;
    QRadioButton* Res9 = nullptr;
    QRadioButton* Res10 = nullptr;
    QRadioButton* Res11 = nullptr;
    std::array<QRadioButton*, Resolutions::Count> m_resolutions{};

    QGroupBox* Frame1 = nullptr;
    QCheckBox* VSync = nullptr;
    QCheckBox* V6Bit = nullptr;
    QCheckBox* Duble = nullptr;
    QCheckBox* Intens = nullptr;

    QGroupBox* Frame4 = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* Frames = nullptr;
    QSlider* Slide = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    QRadioButton* Swap1 = nullptr;
    QRadioButton* Swap2 = nullptr;
    QRadioButton* Swap3 = nullptr;

    QGroupBox* Frame5 = nullptr;
    QCheckBox* Novesa = nullptr;
    QCheckBox* Flinear = nullptr;
    QCheckBox* Fbanked = nullptr;

    QGroupBox* Frame6 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    std::array<QComboBox*, Preferences::PlayerCount> Player{};

    QGroupBox* Frame3 = nullptr;
    QCheckBox* Excl = nullptr;
    QCheckBox* AltKey = nullptr;
    QLabel* OtherTXT = nullptr;
    QLineEdit* Other = nullptr;

    QPushButton* OK = nullptr;
    QPushButton* Cancel = nullptr;
};
