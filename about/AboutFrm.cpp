#include "AboutFrm.h"

#include "AppIcon.h"
#include "AppInfo.h"
#include "FormLayout.h"
#include "LineControl.h"
#include "TextFit.h"

#include <QLabel>
#include <QPushButton>

using Platform::formFont;
using Platform::twips;
using Platform::twipsRect;

AboutFrm::AboutFrm(QWidget* mainWindow) : DialogForm(mainWindow)
{
    setObjectName(QStringLiteral("AboutFrm"));
    setFont(formFont(QStringLiteral("Arial"), 9.75));
    setFixedSize(twips(5730), twips(3480));

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(Platform::appIcon().pixmap(32, 32));
    picIcon->move(twips(240), twips(240));
    picIcon->adjustSize();

    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(twipsRect(900, 120, 4695, 735));
    lblTitle->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblTitle->setFont(formFont(QStringLiteral("Comic Sans MS"), 27.75, true, true));

    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setGeometry(twipsRect(900, 900, 4725, 405));
    lblVersion->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblVersion->setFont(formFont(QStringLiteral("Comic Sans MS"), 14.25, true, true));

    // Two lines on top of each other make an etched separator: white below, grey above.
    auto* lineWhite = new LineControl(Qt::white, 2, this);
    lineWhite->setObjectName(QStringLiteral("Line1"));
    lineWhite->setProperty("index", 0);
    lineWhite->setGeometry(twips(105), twips(2520), twips(5654) - twips(105), 2);
    auto* lineGrey = new LineControl(QColor(128, 128, 128), 1, this);
    lineGrey->setObjectName(QStringLiteral("Line1"));
    lineGrey->setProperty("index", 1);
    lineGrey->setGeometry(twips(90), twips(2520), twips(5654) - twips(90), 1);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(4245, 2820, 1260, 345));
    cmdOK->setFont(formFont(QStringLiteral("MS Sans Serif"), 8.25));
    setDefaultButton(cmdOK);
    setCancelButton(cmdOK);
    cmdOK->setFocus();
    connect(cmdOK, &QPushButton::clicked, this, &AboutFrm::cmdOK_Click);

    Form_Load();
    Platform::fitTexts(this);
}

QString AboutFrm::versionText(int major, int minor, int revision)
{
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

void AboutFrm::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + Platform::appTitle());
    lblVersion->setText(versionText(Platform::appMajor(), Platform::appMinor(), Platform::appRevision()));
    lblTitle->setText(Platform::appTitle());
}

void AboutFrm::cmdOK_Click()
{
    close();
}
