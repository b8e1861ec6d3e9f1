#pragma once

#include "DialogForm.h"

class QLabel;
class QPushButton;

// The About box: the icon, the title and the version of the program.
class AboutFrm final : public Platform::DialogForm
{
    Q_OBJECT

public:
    explicit AboutFrm(QWidget* mainWindow);

    static QString versionText(int major, int minor, int revision);

private:
    void Form_Load();
    void cmdOK_Click();

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QPushButton* cmdOK = nullptr;
};
