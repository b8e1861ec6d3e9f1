#pragma once

#include "GameTable.h"
#include "LaunchTransaction.h"

#include <QDir>
#include <QWidget>

#include <functional>

class GameList;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Platform {
class DialogForm;
}

// The main window: the list of installed games, the snapshot of the selected one, and the buttons
// that launch it and open the dialogs.
class MainFrm final : public QWidget
{
    Q_OBJECT

public:
    explicit MainFrm(const QDir& workDir);

    // The start-up checks and the catalogue. Returns false when the program must end: a message
    // box has then told the user why, and the window must not be shown.
    bool Form_Load();

    const GameTable& games() const { return m_games; }

    // Runs the program in the current folder; returns its exit status.
    static int run();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    bool FindTorvak();
    bool Loadlista();
    void showSnapshot(const QString& romname);

    void loadini();
    void LaunchGame();
    void CleanExtracted();
    void launchAction();
    void startEmulator(const QString& command);

    void Lista_Click();
    void Lista_DblClick();
    void Launch_Click();
    void Form_KeyPress(int KeyAscii);
    // Cleans up, disables the window, then makes the dialog and shows it.
    void openDialog(const std::function<Platform::DialogForm*()>& make);
    void About_Click();
    void Option_Click();
    void InputOpt_Click();
    void Exit_Click();

    QDir m_workDir;
    GameTable m_games;
    // The option string of the current launch.
    QString Flagcfg;
    // The set whose extracted files are on disk, empty when none are.
    QString giocov;
    // The launch's extraction as a transaction, and the working folder's lock.
    LaunchTransaction m_launch;

    QGroupBox* Frame1 = nullptr;
    GameList* Lista = nullptr;
    QLineEdit* gio = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Snap = nullptr;
    QLabel* Banner = nullptr;
    QLabel* Notpic = nullptr;
    QPushButton* Launch = nullptr;
    QPushButton* About = nullptr;
    QPushButton* Exit = nullptr;
    QGroupBox* Frame3 = nullptr;
    QPushButton* InputOpt = nullptr;
    QPushButton* Option = nullptr;
};
