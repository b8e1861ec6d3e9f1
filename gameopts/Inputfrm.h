#pragma once

#include "DialogForm.h"
#include "GameConfig.h"

#include <QDir>
#include <QString>

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

// The game options dialog: which device button drives each logical input of the selected game, per
// device, and its DIP switches. OK saves them in the game's file for the emulator.
class Inputfrm final : public Platform::DialogForm
{
    Q_OBJECT

public:
    // `romname` is the set whose file is edited; `workDir` is the emulator's folder that holds it.
    Inputfrm(QWidget* mainWindow, const QString& romname, const QDir& workDir);
    ~Inputfrm() override;

protected:
    void Form_Unload() override;

private:
    void createControls();
    void createButtonMapping();
    void createKeyboardMapping();

    void Form_Load();
    void InitOptions();
    void LoadGameIni();
    void ShowMapping();

    void Dev_click();
    void SA_Change();
    void SB_Change();
    void SC_Change();
    void SD_Change();
    void SE_Change();
    void SF_Change();
    void SG_Change();
    void SH_Change();
    void barChange(int input);
    void dip1_Change();
    void dip2_Change();
    void dip3_Change();
    void dipChange(QLineEdit* dip);
    void OK_Click();
    void Cancel_Click();

    QString m_romname;
    QDir m_workDir;

    int BDev = 2;
    int Idev = 1;
    GameConfig::ButtonMap k;
    bool m_typingEnded = false;

    QGroupBox* Frame1 = nullptr;
    QComboBox* Dev = nullptr;
    QLineEdit* FA = nullptr;
    QLineEdit* FB = nullptr;
    QLineEdit* FC = nullptr;
    QLineEdit* FD = nullptr;
    QLineEdit* FE = nullptr;
    QLineEdit* FF = nullptr;
    QLineEdit* FG = nullptr;
    QLineEdit* FH = nullptr;
    QScrollBar* SA = nullptr;
    QScrollBar* SB = nullptr;
    QScrollBar* SC = nullptr;
    QScrollBar* SD = nullptr;
    QScrollBar* SE = nullptr;
    QScrollBar* SF = nullptr;
    QScrollBar* SG = nullptr;
    QScrollBar* SH = nullptr;
    std::array<QLineEdit*, GameDevices::InputCount> m_fields{};
    std::array<QScrollBar*, GameDevices::InputCount> m_bars{};

    QGroupBox* Frame3 = nullptr;
    QLineEdit* dip1 = nullptr;
    QLineEdit* dip2 = nullptr;
    QLineEdit* dip3 = nullptr;

    QPushButton* OK = nullptr;
    QPushButton* Cancel = nullptr;

    QGroupBox* Frame2 = nullptr;
    QRadioButton* Key1 = nullptr;
    QRadioButton* Key2 = nullptr;
    QLineEdit* Tprem = nullptr;
};
