#include "MainFrm.h"

#include "AboutFrm.h"
#include "AppIcon.h"
#include "AppInfo.h"
#include "Catalogue.h"
#include "CommandLine.h"
#include "DialogForm.h"
#include "FileLookup.h"
#include "FormLayout.h"
#include "GameList.h"
#include "Inputfrm.h"
#include "ItemReader.h"
#include "LaunchPlan.h"
#include "LocalText.h"
#include "MessageBox.h"
#include "OptionFrm.h"
#include "ProcessStart.h"
#include "Snapshot.h"
#include "TextFit.h"
#include "UnzipModule.h"

#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QGroupBox>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <cerrno>
#include <cstdio>
#include <vector>

#include <unistd.h>

using Platform::formFont;
using Platform::twipsRect;

namespace {

const QString errorCaption = QStringLiteral("Gantrel Error");

void setColours(QWidget* widget, const QColor& text, const QColor& background)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Window, background);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// Disabling a window takes the keyboard focus from its controls, and enabling it again does not give
// it back: without this, the list would no longer follow the arrow keys after a launch.
class FocusKeeper final
{
public:
    explicit FocusKeeper(QWidget* window) : m_focused(window->focusWidget()) {}
    FocusKeeper(const FocusKeeper&) = delete;
    FocusKeeper& operator=(const FocusKeeper&) = delete;
    ~FocusKeeper()
    {
        if (m_focused && m_focused->isEnabled())
            m_focused->setFocus();
    }

private:
    QPointer<QWidget> m_focused;
};

// The folder the program runs in, by the bytes of its name: QDir::current() would lose those that
// are not UTF-8, and no file of the folder would be found.
QString currentFolder()
{
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return QDir::currentPath();
        buffer.resize(buffer.size() * 2);
    }
    return Platform::decodeLocal(buffer.data());
}

} // namespace

MainFrm::MainFrm(const QDir& workDir)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_workDir(workDir), m_launch(Platform::encodeLocal(workDir.absolutePath()))
{
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QStringLiteral("Gantrel - A Torvak Front-End"));
    setWindowIcon(Platform::appIcon());
    setFont(formFont(QStringLiteral("Arial"), 9.75));
    setFixedSize(Platform::twips(11070), Platform::twips(5370));
    createControls();
    Platform::fitTexts(this);
}

void MainFrm::createControls()
{
    const QFont bold975 = formFont(QStringLiteral("Arial"), 9.75, true);

    Frame1 = new QGroupBox(QStringLiteral("Installed Games"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(60, 0, 4815, 5295));

    Lista = new GameList(Frame1);
    Lista->setObjectName(QStringLiteral("Lista"));
    Lista->setGeometry(twipsRect(120, 240, 4575, 4905));
    Lista->setFont(formFont(QStringLiteral("Arial"), 12, true));

    gio = new QLineEdit(Frame1);
    gio->setObjectName(QStringLiteral("gio"));
    gio->setGeometry(twipsRect(3540, 4680, 915, 360));
    gio->hide();

    Frame2 = new QGroupBox(QStringLiteral("Snapshot"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twipsRect(4980, 0, 6015, 3735));

    // The picture is drawn at its own size from the top-left corner and clipped to the box.
    Snap = new QLabel(Frame2);
    Snap->setObjectName(QStringLiteral("Snap"));
    Snap->setGeometry(twipsRect(120, 240, 5775, 3375));
    Snap->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setColours(Snap, Qt::white, Qt::black);

    Banner = new QLabel(QStringLiteral("Gantrel"), Snap);
    Banner->setObjectName(QStringLiteral("Banner"));
    Banner->setGeometry(twipsRect(120, 840, 5535, 1335));
    Banner->setAlignment(Qt::AlignCenter);
    Banner->setFont(formFont(QStringLiteral("Comic Sans MS"), 48, true, true));
    setColours(Banner, palette().color(QPalette::ToolTipBase), Qt::black);

    Notpic = new QLabel(QStringLiteral("Picture Not Available"), Snap);
    Notpic->setObjectName(QStringLiteral("Notpic"));
    Notpic->setGeometry(twipsRect(120, 1320, 5535, 495));
    Notpic->setAlignment(Qt::AlignCenter);
    Notpic->setFont(formFont(QStringLiteral("Arial"), 20.25, true));
    setColours(Notpic, Qt::white, QColor(15, 0, 0));
    Notpic->hide();

    Launch = new QPushButton(QStringLiteral("Launch The Game"), this);
    Launch->setObjectName(QStringLiteral("Launch"));
    Launch->setGeometry(twipsRect(4980, 3840, 3015, 855));
    Launch->setFont(formFont(QStringLiteral("Arial"), 15.75, true));
    Launch->setEnabled(false);

    About = new QPushButton(QStringLiteral("About"), this);
    About->setObjectName(QStringLiteral("About"));
    About->setGeometry(twipsRect(4980, 4800, 1335, 495));

    Exit = new QPushButton(QStringLiteral("Exit"), this);
    Exit->setObjectName(QStringLiteral("Exit"));
    Exit->setGeometry(twipsRect(6540, 4800, 1455, 495));

    Frame3 = new QGroupBox(QStringLiteral("Options"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    Frame3->setGeometry(twipsRect(8100, 3720, 2895, 1575));

    InputOpt = new QPushButton(QStringLiteral("Options For This Game"), Frame3);
    InputOpt->setObjectName(QStringLiteral("InputOpt"));
    InputOpt->setGeometry(twipsRect(120, 240, 2655, 615));
    InputOpt->setFont(bold975);
    InputOpt->setEnabled(false);

    Option = new QPushButton(QStringLiteral("Default Options"), Frame3);
    Option->setObjectName(QStringLiteral("Option"));
    Option->setGeometry(twipsRect(240, 960, 2415, 495));
    Option->setFont(bold975);

    setTabOrder(Lista, About);
    setTabOrder(About, Exit);
    setTabOrder(Exit, Launch);
    setTabOrder(Launch, InputOpt);
    setTabOrder(InputOpt, Option);
    Lista->setFocus();
    // Enter presses the button that has the focus; only what no control takes reaches Form_KeyPress.
    for (QPushButton* button : {Launch, About, Exit, InputOpt, Option})
        button->setAutoDefault(true);

    connect(Lista, &QListWidget::currentRowChanged, this, &MainFrm::Lista_Click);
    connect(Lista, &QListWidget::itemDoubleClicked, this, &MainFrm::Lista_DblClick);
    connect(Lista, &GameList::enterPressed, this, [this] { Form_KeyPress(13); });
    connect(Launch, &QPushButton::clicked, this, &MainFrm::Launch_Click);
    connect(About, &QPushButton::clicked, this, &MainFrm::About_Click);
    connect(Option, &QPushButton::clicked, this, &MainFrm::Option_Click);
    connect(InputOpt, &QPushButton::clicked, this, &MainFrm::InputOpt_Click);
    connect(Exit, &QPushButton::clicked, this, &MainFrm::Exit_Click);
}

bool MainFrm::Form_Load()
{
    // The emulator is looked for first, so that a start in a folder that is not the emulator's
    // leaves no lock there. A second Gantrel in one folder would undo the first one's launches.
    if (!FindTorvak())
        return false;
    if (m_launch.lock() == LaunchTransaction::Lock::HeldElsewhere) {
        Platform::messageBox(QStringLiteral("Gantrel is already running in this folder."), errorCaption);
        return false;
    }
    // A run that ended abnormally may have left a launch's files: undone before the list is filled,
    // so that none of them passes for an unpacked set.
    if (const Result<> recovered = m_launch.cleanUp(); !recovered.ok())
        Platform::messageBox(recovered.error, errorCaption);
    return Loadlista();
}

bool MainFrm::FindTorvak()
{
    if (Platform::fileExists(m_workDir, QStringLiteral("torvak.exe")))
        return true;
    Platform::messageBox(
        QStringLiteral("File Torvak.exe Not Found! Unzip The Gantrel in the same directory of Torvak!!"), errorCaption);
    return false;
}

bool MainFrm::Loadlista()
{
    Catalogue catalogue = readCatalogue(m_workDir);
    if (!catalogue.error.isEmpty()) {
        Platform::messageBox(
            QStringLiteral("File Roms.txt cannot be read: %1 Gantrel needs it to list the games.").arg(catalogue.error),
            errorCaption);
        return false;
    }
    if (!catalogue.found) {
        Platform::messageBox(QStringLiteral("File Roms.txt Not Found! This file is needed by Gantrel. Re-extract from "
                                            "the zip file or Manually edit one (Read the Gantrel.txt to know how!)"),
                             errorCaption);
        return false;
    }
    if (catalogue.notStored > 0) {
        std::fprintf(stderr, "Gantrel: the list holds %d games; %d more installed games in roms.txt are not shown.\n",
                     GameTable::SlotCount, catalogue.notStored);
    }
    m_games = catalogue.table;
    Lista->addItems(sortedForList(m_games));
    return true;
}

void MainFrm::Lista_Click()
{
    CleanExtracted();
    const QListWidgetItem* item = Lista->currentItem();
    const int slot = item ? m_games.FindSelected(item->text()) : GameTable::NoSlot;
    if (slot == GameTable::NoSlot)
        return;

    Launch->setEnabled(true);
    InputOpt->setEnabled(true);
    const QString romname = m_games.romname(slot);
    gio->setText(romname);
    Banner->hide();
    Notpic->hide();
    showSnapshot(romname);
}

void MainFrm::showSnapshot(const QString& romname)
{
    // A file that cannot be decoded counts as missing, and the next format is tried. The file is read
    // by the bytes of its name, which Qt's file classes would not keep.
    for (const QString& path : snapshotFiles(m_workDir, romname)) {
        QByteArray bytes;
        if (!ItemReader::readFile(path, &bytes))
            continue;
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer);
        reader.setDecideFormatFromContent(true);
        const QImage image = reader.read();
        if (!image.isNull()) {
            Snap->setPixmap(QPixmap::fromImage(image));
            return;
        }
    }
    Snap->clear();
    Notpic->show();
}

void MainFrm::Lista_DblClick()
{
    launchAction();
}

void MainFrm::Launch_Click()
{
    launchAction();
}

void MainFrm::Form_KeyPress(int KeyAscii)
{
    if (KeyAscii == 13)
        launchAction();
}

void MainFrm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Form_KeyPress(13);
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainFrm::launchAction()
{
    CleanExtracted();
    LaunchGame();
}

void MainFrm::loadini()
{
    // A settings file that cannot be read gives no options; the user learns why before the game starts.
    const QString path = Platform::findEntry(m_workDir, QStringLiteral("gantrel.ini"), Platform::EntryKind::File);
    QByteArray bytes;
    QString error;
    if (!path.isEmpty() && !ItemReader::readFile(path, &bytes, &error)) {
        Platform::messageBox(
            QStringLiteral("The default options in gantrel.ini cannot be read: %1 The game starts without them.")
                .arg(error),
            errorCaption);
    }
    Flagcfg = LaunchPlan::optionString(m_workDir);
}

void MainFrm::LaunchGame()
{
    const FocusKeeper keepFocus(this);
    setEnabled(false);
    loadini();

    const QListWidgetItem* item = Lista->currentItem();
    const int slot = item ? m_games.FindSelected(item->text()) : GameTable::NoSlot;
    if (slot == GameTable::NoSlot) {
        setEnabled(true);
        return;
    }

    const QString romname = m_games.romname(slot);
    if (m_games.romzip(slot) == QLatin1String("zip")) {
        UnzipNewLine = QStringLiteral("\r\n");
        UnzipMessages.clear();
        UnzipListCount = 0;
        UnzipIncludeNames[0] = QString();
        UnzipExcludeNames[0] = QString();

        giocov = romname;
        const Result<int> extracted =
            m_launch.extract(LaunchPlan::extractions(romname), [](const QByteArray& archive, const QByteArray& target) {
                UnzipArchive(Platform::decodeLocal(archive), Platform::decodeLocal(target), 0, 1, 0, 1, 0, 0);
                return UnzipStatus;
            });
        if (!extracted.ok() && extracted.value != PK_OK) {
            // Nothing could be written (a read-only folder): the status box of a failed extraction,
            // and the launch goes on as after one.
            Platform::messageBox(QString::number(extracted.value), Platform::appTitle(), Platform::MessageButtons::Ok,
                                 extracted.error);
        } else if (!extracted.ok() || extracted.value == IZ_CTRLC) {
            if (!extracted.ok())
                Platform::messageBox(extracted.error, errorCaption);
            setEnabled(true);
            return;
        }
    }

    startEmulator(LaunchPlan::commandLine(romname, Flagcfg));
    setEnabled(true);
}

void MainFrm::startEmulator(const QString& command)
{
    // The program is the emulator found in the working folder whatever the case of its name; it
    // receives the arguments of the command line as its home platform would split them.
    QStringList arguments = Platform::splitCommandLine(command);
    arguments.removeFirst();
    Platform::ProcessRequest request;
    request.program = Platform::findEntry(m_workDir, QStringLiteral("torvak.exe"), Platform::EntryKind::File);
    request.arguments = arguments;
    request.workingFolder = m_workDir.absolutePath();

    QString error;
    if (request.program.isEmpty()) {
        error = QStringLiteral("The file torvak.exe is no longer in the folder %1.")
                    .arg(QDir::toNativeSeparators(m_workDir.absolutePath()));
    } else {
        const Platform::StartResult result = Platform::startDetached(request);
        if (result.ok)
            return;
        error = QStringLiteral("Torvak could not be started: %1").arg(result.error);
    }
    Platform::messageBox(error, errorCaption);
}

void MainFrm::CleanExtracted()
{
    if (giocov.isEmpty())
        return;
    // An entry that could not be put back is tried again at the next action, once the user has
    // seen why and perhaps made room for it.
    if (const Result<> cleaned = m_launch.cleanUp(); !cleaned.ok()) {
        Platform::messageBox(cleaned.error, errorCaption);
        return;
    }
    giocov.clear();
}

void MainFrm::openDialog(const std::function<Platform::DialogForm*()>& make)
{
    CleanExtracted();
    // The control that had the keyboard gets it back when the dialog is gone, as after a launch.
    const QPointer<QWidget> focused = focusWidget();
    // Disabled before the dialog is made: making it loads its files, which may need a message box.
    setEnabled(false);
    Platform::DialogForm* dialog = make();
    connect(dialog, &QObject::destroyed, this, [focused] {
        if (focused && focused->isEnabled())
            focused->setFocus();
    });
    Platform::showDialog(this, dialog);
}

void MainFrm::About_Click()
{
    openDialog([this] { return new AboutFrm(this); });
}

void MainFrm::Option_Click()
{
    openDialog([this] { return new OptionFrm(this, m_workDir); });
}

void MainFrm::InputOpt_Click()
{
    openDialog([this] { return new Inputfrm(this, gio->text(), m_workDir); });
}

void MainFrm::Exit_Click()
{
    CleanExtracted();
    close();
    QCoreApplication::quit();
}

void MainFrm::closeEvent(QCloseEvent* event)
{
    // A disabled main window has a dialog open; the dialog must be closed first.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    // Extracted files left behind would pass for an unpacked set at the next start.
    CleanExtracted();
    QWidget::closeEvent(event);
}

int MainFrm::run()
{
    QApplication::setApplicationName(Platform::appTitle());
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(Platform::appMajor()).arg(Platform::appMinor()).arg(Platform::appRevision()));
    QApplication::setWindowIcon(Platform::appIcon());

    auto* window = new MainFrm(QDir(currentFolder()));
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!window->Form_Load()) {
        delete window;
        return 1;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
    window->show();
    return QApplication::exec();
}
