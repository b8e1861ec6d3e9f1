#include "ArchiveMaker.h"
#include "LaunchTransaction.h"
#include "LocalText.h"
#include "MainFrmTest.h"
#include "MessageBoxSpy.h"
#include "UnzipModule.h"

#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QByteArray catalogue = "pacman,Pac Man\r\n"
                             "galaga,Galaga\r\n"
                             "sf2ce,Street Fighter II CE\r\n"
                             "sf2cej,SF2 CE Japan\r\n"
                             "sf2tj,SF2 Turbo Japan\r\n"
                             "sf2t,SF2 Turbo\r\n";

} // namespace

class TestLaunch : public MainFrmTest
{
    Q_OBJECT

    QStringList m_files; // what the stand-in emulator found when it last started

    // Presses "Launch The Game"; returns the stand-in emulator's arguments.
    QStringList launch()
    {
        click(QStringLiteral("Launch"));
        return launched();
    }
    // Waits for the stand-in emulator's record of its start, and takes it away for the next launch.
    QStringList launched()
    {
        const QString record = m_work->filePath(QStringLiteral("launch.txt"));
        if (!QTest::qWaitFor([&] { return QFileInfo::exists(record); }, 20000))
            return {QStringLiteral("(not started)")};
        QStringList lines =
            Platform::decodeLocal(m_work->read(QStringLiteral("launch.txt"))).split(u'\n', Qt::SkipEmptyParts);
        QFile::remove(record);
        const qsizetype end = lines.indexOf(QStringLiteral("--"));
        m_files = lines.mid(end + 1);
        lines.resize(end);
        for (QString& argument : lines)
            argument = argument.mid(1, argument.size() - 2);
        return lines;
    }
    bool exists(const QString& relative) const { return QFileInfo::exists(m_work->filePath(relative)); }
    // Every entry below the folder (the working folder by default), hidden ones too.
    QStringList tree(QString folder = {}) const
    {
        folder = folder.isEmpty() ? m_work->path() : folder;
        QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        QStringList entries;
        while (it.hasNext())
            entries.append(QDir(folder).relativeFilePath(it.next()));
        entries.sort();
        return entries;
    }
private slots:
    void init()
    {
        // The extraction resolves its paths against the current folder, as the program never leaves it.
        QVERIFY(QDir::setCurrent(m_work->path()));
        QVERIFY(m_work->layRecordingEmulator(catalogue) && m_work->write("pacman/pacman.rom", "own"));
        QVERIFY(m_work->makeFolder("roms") &&
                writeArchive("roms/galaga.zip", {{"a.rom", "a"}, {"gfx/", {}}, {"gfx/b.rom", "b"}}));
        // Each set of the shared folder holds one file, named after what follows "sf2" in its name.
        for (const QString set : {"sf2ce", "sf2cej", "sf2tj", "sf2t"})
            QVERIFY(writeArchive("roms/" + set + ".zip", {{set.mid(3) + ".rom", set.mid(3).toLatin1()}}));
    }

    void commandLines_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("free text last, with commas and quotes")
            << QByteArray("-double\r\nother\r\n-a,-b -cfg \"my file\"\r\n")
            << QStringList{"pacman", "-double", "-a", "-b", "-cfg", "my file"};
        QTest::newRow("empty lines, marker last")
            << QByteArray("-double\r\n\r\n\r\n-linear\r\nother\r\n") << QStringList{"pacman", "-double", "-linear"};
        QTest::newRow("marker as free text")
            << QByteArray("other\r\nother\r\nOther\r\n") << QStringList{"pacman", "other", "Other"};
        QTest::newRow("no settings file") << QByteArray() << QStringList{"pacman"};
    }

    void commandLines()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QStringList, arguments);
        if (!settings.isEmpty())
            QVERIFY(m_work->write("Gantrel.INI", settings));
        QVERIFY(openWindow() && select("Pac Man"));
        QCOMPARE(launch(), arguments);
        QVERIFY(m_frm->isEnabled());
        // The emulator is no child of the program's, so none is left over as a zombie.
        QVERIFY(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
        // An unpacked set is started as it lies.
        QCOMPARE(m_files, QStringList{"./pacman/pacman.rom"});

        // The settings are read anew at every launch, and the next action has nothing to remove.
        QVERIFY(m_work->write("Gantrel.INI", "-vsync ON\r\n-double\r\n"));
        QCOMPARE(launch(), (QStringList{"pacman", "-vsync", "ON", "-double"}));
        QVERIFY(select("Galaga") && exists("pacman/pacman.rom"));
    }

    void zippedSetExtractedAndRemoved()
    {
        MessageBoxSpy spy;
        QVERIFY(openWindow() && select("Galaga"));
        const QStringList files{"./galaga/a.rom", "./galaga/gfx/b.rom", "./pacman/pacman.rom"};
        QCOMPARE(launch(), QStringList{"galaga"});
        QCOMPARE(m_files, files);
        // The same game again: the first extraction goes, the set is extracted anew.
        QVERIFY(m_work->write("galaga/stray.sav", "x"));
        QCOMPARE(launch(), QStringList{"galaga"});
        QCOMPARE(m_files, files);
        QVERIFY(spy.requests().isEmpty());
    }

    void cleanUpTriggers_data()
    {
        // A game to select, or a button to press (none: the close box), and the dialog it opens.
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("selection") << QStringLiteral("Pac Man") << QString();
        QTest::newRow("close box") << QString() << QString();
        QTest::newRow("Exit") << QStringLiteral("Exit") << QString();
        QTest::newRow("About") << QStringLiteral("About") << QStringLiteral("AboutFrm");
        QTest::newRow("Default Options") << QStringLiteral("Option") << QStringLiteral("OptionFrm");
        QTest::newRow("Options For This Game") << QStringLiteral("InputOpt") << QStringLiteral("Inputfrm");
    }

    // Any next action in the main window removes the extracted files, and only those.
    void cleanUpTriggers()
    {
        QFETCH(QString, action);
        QFETCH(QString, dialog);
        QVERIFY(openWindow() && select("Galaga"));
        QCOMPARE(launch(), QStringList{"galaga"});
        QVERIFY(exists("galaga/a.rom"));
        if (action.isEmpty())
            QVERIFY(m_frm->close());
        else if (!select(action))
            click(action);
        QVERIFY(!exists("galaga") && !exists(".gantrel-launch") && exists("pacman/pacman.rom"));
        QVERIFY(dialog.isEmpty() || (topLevel(dialog) && topLevel(dialog)->close()));
        QCOMPARE(m_frm->isVisible(), action == QLatin1String("Pac Man") || !dialog.isEmpty());
    }

    void sharedFolderSets_data()
    {
        // The description, then the emulator's argument, then the files it finds.
        QTest::addColumn<QStringList>("row");
        QTest::newRow("sf2ce") << QStringList{"Street Fighter II CE", "sf2ce", "./sf2t/ce.rom", "./sf2t/t.rom"};
        QTest::newRow("sf2cej") << QStringList{"SF2 CE Japan", "sf2cej", "./sf2t/cej.rom", "./sf2t/tj.rom"};
        QTest::newRow("sf2tj") << QStringList{"SF2 Turbo Japan", "sf2tj", "./sf2t/tj.rom"};
    }

    void sharedFolderSets()
    {
        QFETCH(QStringList, row);
        QVERIFY(QFile::remove(m_work->filePath("pacman/pacman.rom")));
        MessageBoxSpy spy;
        QVERIFY(openWindow() && select(row.at(0)));
        QCOMPARE(launch(), QStringList{row.at(1)});
        QCOMPARE(m_files, row.mid(2));
        QVERIFY(spy.requests().isEmpty());
    }

    void missingArchiveReported()
    {
        QVERIFY(QFile::remove(m_work->filePath("roms/sf2t.zip")));
        MessageBoxSpy spy;
        QVERIFY(openWindow() && select("Street Fighter II CE"));
        UnzipMessages = UnzipNewLine = QStringLiteral("stale");

        // The status box (number alone) comes up; the launch goes on with what could be extracted.
        QCOMPARE(launch(), QStringList{"sf2ce"});
        QCOMPARE(spy.requests().size(), 1);
        QCOMPARE(spy.requests().first().text, QStringLiteral("9"));
        QVERIFY(!spy.requests().first().details.startsWith(QStringLiteral("stale")) && UnzipNewLine == "\r\n");
        QVERIFY(m_files.contains(QStringLiteral("./sf2t/ce.rom")));
        QVERIFY(select("Pac Man") && !exists("sf2t"));
    }

    // The user's own sf2t lies on another file system, reached through a link under another spelling,
    // and holds a file that a member of another spelling replaces. The clean-up gives it back, and keeps
    // the save that the emulator wrote by rename while it ran.
    void sharedFolderGivenBack()
    {
        QTemporaryDir elsewhere(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/gantrel-XXXXXX") : QString());
        const QString shared = elsewhere.filePath("sf2t");
        QVERIFY(QDir().mkpath(shared) && QFile::link(shared, m_work->filePath("SF2T")));
        QVERIFY(m_work->write("SF2T/T.ROM", "user's t") && m_work->write("SF2T/hiscore.dat", "old scores"));
        QVERIFY(openWindow() && select("Street Fighter II CE"));
        QCOMPARE(launch(), QStringList{"sf2ce"});
        QCOMPARE(m_work->read("SF2T/t.rom"), QByteArray("t"));

        // The emulator saves its high scores the usual way: a new file renamed over the old one.
        QVERIFY(m_work->write("SF2T/hiscore.new", "new scores"));
        QVERIFY(std::rename(qPrintable(shared + "/hiscore.new"), qPrintable(shared + "/hiscore.dat")) == 0);
        QVERIFY(select("Pac Man"));
        QCOMPARE(tree(shared), (QStringList{"T.ROM", "hiscore.dat"}));
        QCOMPARE(m_work->read("SF2T/T.ROM"), QByteArray("user's t"));
        QCOMPARE(m_work->read("SF2T/hiscore.dat"), QByteArray("new scores"));
        QVERIFY(!exists(".gantrel-launch"));
    }

    // A second Gantrel in a folder where one runs touches nothing and ends; once the first has ended
    // without its clean-up, the next start undoes that run's launch before it fills the list, in
    // which Gantrel's own files never appear.
    void secondInstanceAndRecovery()
    {
        QVERIFY(m_work->write("roms.txt", catalogue + ".gantrel-launch,Record\r\n.GANTREL-LOCK,Lock\r\n"));
        QVERIFY(m_work->write("sf2t/t.rom", "user's t"));
        {
            LaunchTransaction first(QFile::encodeName(m_work->path()));
            QCOMPARE(first.lock(), LaunchTransaction::Lock::Taken);
            QVERIFY(first.extract(LaunchPlan::extractions("sf2ce"), LaunchTransaction::extractWithoutWindow).ok());
            QCOMPARE(m_work->read("sf2t/t.rom"), QByteArray("t"));
            const QStringList before = tree();
            MessageBoxSpy spy;
            m_frm.reset(new MainFrm(m_work->dir()));
            QVERIFY(!m_frm->Form_Load());
            QCOMPARE(spy.requests().size(), 1);
            QCOMPARE(spy.requests().first().text, QStringLiteral("Gantrel is already running in this folder."));
            QCOMPARE(tree(), before);
        }
        QVERIFY(openWindow());
        QCOMPARE(m_work->read("sf2t/t.rom"), QByteArray("user's t"));
        QVERIFY(!exists("sf2t/ce.rom") && !exists(".gantrel-launch"));
        QCOMPARE(m_list->count(), 6);
    }

    // A working folder on a read-only file system opens; an unpacked set launches, and a zipped one
    // gets the status box of an extraction that could write nothing, then launches all the same.
    // The emulator is found in any spelling, and the window takes no input until it has started.
    void readOnlyWorkingFolder()
    {
        const QByteArray folder = QFile::encodeName(m_work->path());
        if (::mount("tmpfs", folder.constData(), "tmpfs", 0, "size=4m") != 0)
            QSKIP("Mounting a file system needs root.");
        init();
        const bool readOnly = QFile::rename(m_work->filePath("torvak.exe"), m_work->filePath("TORVAK.EXE")) &&
                              ::mount("tmpfs", folder.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
        QStringList started;
        QList<bool> enabled;
        Platform::setProcessStartHook([&](const Platform::ProcessRequest& request) {
            started << request.arguments.value(0) << request.program << QDir(request.workingFolder).absolutePath();
            enabled << m_frm->isEnabled();
            return Platform::StartResult{true, {}};
        });
        MessageBoxSpy spy;
        const bool opened = readOnly && openWindow() && select("Pac Man");
        if (opened) {
            click(QStringLiteral("Launch"));
            if (select("Galaga"))
                click(QStringLiteral("Launch"));
        }
        const QStringList entries = tree();
        const bool enabledAfter = opened && m_frm->isEnabled();
        m_frm.reset();
        ::umount2(folder.constData(), MNT_DETACH);
        QVERIFY(readOnly && opened && enabledAfter);
        const QString program = m_work->filePath("TORVAK.EXE");
        QCOMPARE(started, (QStringList{"pacman", program, m_work->path(), "galaga", program, m_work->path()}));
        QCOMPARE(enabled, (QList<bool>{false, false}));
        QCOMPARE(spy.requests().size(), 1);
        QCOMPARE(spy.requests().first().text, QStringLiteral("50"));
        QVERIFY(!entries.contains(".gantrel-lock") && !entries.contains("galaga"));
    }

    // Set names in another code page keep their bytes from the catalogue to the folder, the snapshot,
    // the game's file and the emulator's arguments.
    void namesKeepTheirBytes()
    {
        QVERIFY(m_work->write("roms.txt", "l\xe9t,Latin Set\r\ncaf\xe9,Cafe Zip\r\n"));
        const QByteArray root = Platform::encodeLocal(m_work->path());
        QVERIFY(::mkdir(root + "/l\xe9t", 0755) == 0);
        QVERIFY(::rename(root + "/roms/galaga.zip", root + "/roms/caf\xe9.zip") == 0);
        QImage picture(8, 8, QImage::Format_RGB32);
        QVERIFY(m_work->makeFolder("snapshot") && picture.save(m_work->filePath("snapshot/x.png")));
        QVERIFY(::rename(root + "/snapshot/x.png", root + "/snapshot/l\xe9t.png") == 0);

        MessageBoxSpy spy;
        QVERIFY(openWindow() && select("Latin Set"));
        QVERIFY(m_frm->findChild<QLabel*>(QStringLiteral("Notpic"))->isHidden());
        QCOMPARE(launch(), QStringList{Platform::decodeLocal("l\xe9t")});
        // The game's file is found and rewritten under the set's own bytes.
        const QByteArray gameFile = root + "/l\xe9t.ini";
        std::FILE* file = std::fopen(gameFile.constData(), "wb");
        QVERIFY(file && std::fputs("; dip switches\r\n-dip 12 34 56\r\n", file) >= 0 && std::fclose(file) == 0);
        click(QStringLiteral("InputOpt"));
        QWidget* dialog = topLevel(QStringLiteral("Inputfrm"));
        QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("dip1"))->text(), QStringLiteral("12"));
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
        struct stat info = {};
        QVERIFY(::stat(gameFile.constData(), &info) == 0 && info.st_size > 100);

        QVERIFY(select("Cafe Zip"));
        QCOMPARE(launch(), QStringList{Platform::decodeLocal("caf\xe9")});
        QCOMPARE(spy.requests().size(), 0);
        QVERIFY(m_files.contains(Platform::decodeLocal("./caf\xe9/a.rom")));
    }

    void launchTriggers()
    {
        QVERIFY(openWindow());
        // Nothing selected: Enter does nothing.
        QTest::keyClick(m_list, Qt::Key_Return);
        QVERIFY(m_frm->isEnabled() && !exists("launch.txt"));

        QVERIFY(select("Galaga"));
        QTest::keyClick(m_list, Qt::Key_Return);
        QCOMPARE(launched(), QStringList{"galaga"});
        // The list keeps the keyboard: Down selects the next game (cleaning up), Enter launches it.
        QCOMPARE(QApplication::focusWidget(), m_list);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QVERIFY(m_list->currentItem()->text() == "Pac Man" && !exists("galaga"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(launched(), QStringList{"pacman"});

        // A double click selects (cleaning up the last launch) and launches.
        QVERIFY(select("Pac Man"));
        QTest::mouseDClick(m_list->viewport(), Qt::LeftButton, {},
                           m_list->visualItemRect(m_list->currentItem()).center());
        QCOMPARE(launched(), QStringList{"pacman"});
        QTest::keyClick(m_list, Qt::Key_Enter);
        QCOMPARE(launched(), QStringList{"pacman"});

        // Enter on a button presses that button and launches nothing.
        auto* exitButton = m_frm->findChild<QPushButton*>(QStringLiteral("Exit"));
        exitButton->setFocus();
        QTest::keyClick(exitButton, Qt::Key_Return);
        QVERIFY(!m_frm->isVisible() && !exists("launch.txt"));
    }
};

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
