#include <cerrno>
#include <cstdio>

#include <unistd.h>

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QSessionManager>
#include <QString>
#include <QStringList>

#include "AppInfo.h"
#include "LocalText.h"
#include "MainFrm.h"
#include "MessageBox.h"

namespace {

// Exit statuses besides those of the window: 0 after --help and --version, 1 (as for a missing
// torvak.exe) when the folder cannot be entered, 2 for a command line that makes no sense.
constexpr int folderFailed = 1;
constexpr int usageFailed = 2;

const QString errorCaption = QStringLiteral("Gantrel Error");

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = Platform::encodeLocal(text);
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

QString versionText()
{
    return QStringLiteral("%1 %2.%3.%4\n")
        .arg(Platform::appTitle())
        .arg(Platform::appMajor())
        .arg(Platform::appMinor())
        .arg(Platform::appRevision());
}

QString helpText()
{
    return QStringLiteral("Usage: gantrel [OPTION] [FOLDER]\n"
                          "Lists the arcade games installed in the folder of the Torvak emulator and starts\n"
                          "them in the emulator.\n"
                          "\n"
                          "FOLDER is the emulator's folder, the one that holds torvak.exe and roms.txt.\n"
                          "Gantrel works in it as if started there; without FOLDER it works in the current\n"
                          "folder.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help     show this help and exit\n"
                          "  -v, --version  show the version and exit\n"
                          "  --             end of the options: what follows is the FOLDER, even if it\n"
                          "                 begins with '-'\n"
                          "\n"
                          "Exit status:\n"
                          "  0  the window was closed, or the help or the version was shown\n"
                          "  1  FOLDER cannot be entered, or torvak.exe or roms.txt is missing\n"
                          "  2  an unknown option, or more than one FOLDER\n");
}

int usageError(const QString& what)
{
    print(stderr, QStringLiteral("gantrel: %1\nTry 'gantrel --help' for more information.\n").arg(what));
    return usageFailed;
}

} // namespace

int main(int argc, char* argv[])
{
    // The command line is read before any window exists, so that --help, --version and a wrong
    // command line need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << Platform::decodeLocal(argv[i]);

    QCommandLineParser parser;
    // "-platform" is one unknown option, not the letters p, l, a, ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(helpOption);
    parser.addOption(versionOption);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        print(stdout, helpText());
        return 0;
    }
    if (parser.isSet(versionOption)) {
        print(stdout, versionText());
        return 0;
    }
    const QStringList folders = parser.positionalArguments();
    if (folders.size() > 1)
        return usageError(QStringLiteral("more than one folder given: %1").arg(folders.join(QStringLiteral(", "))));

    // The folder becomes the working folder before anything reads a file, and stays so for the
    // whole run: every name the program uses is relative to it.
    QString folderError;
    if (folders.size() == 1 && ::chdir(Platform::encodeLocal(folders.front()).constData()) != 0) {
        const int error = errno;
        folderError =
            QStringLiteral("The folder %1 could not be opened: %2").arg(folders.front(), Platform::errorText(error));
        print(stderr, QStringLiteral("gantrel: %1\n").arg(folderError));
    }

    // Qt sees the program's name only: its own options (-platform, -style, ...) would otherwise
    // take a folder of that name after "--" for themselves.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    // A desktop session would start the program again at the next login with Qt's "-session"
    // option, which the command line refuses, and without its folder: it is not restarted.
    QObject::connect(&app, &QGuiApplication::saveStateRequest,
                     [](QSessionManager& manager) { manager.setRestartHint(QSessionManager::RestartNever); });
    if (!folderError.isEmpty()) {
        Platform::messageBox(folderError, errorCaption);
        return folderFailed;
    }
    return MainFrm::run();
}
