#include "ArchiveMaker.h"
#include "LocalText.h"
#include "MainFrmTest.h"
#include "MessageBoxSpy.h"

#include <QLabel>
#include <QLineEdit>

#include <sys/stat.h>
#include <sys/wait.h>

namespace {

const QByteArray catalogue = "pacman,Pac Man\r\n"
                             "galaga,Galaga\r\n"
                             "sf2ce,Street Fighter II CE\r\n"
                             "sf2cej,SF2 CE Japan\r\n"
                             "sf2tj,SF2 Turbo Japan\r\n";

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
        // Every line ends with LF: without the last one, the lines split whole, empty arguments kept.
        QStringList lines = Platform::decodeLocal(m_work->read(QStringLiteral("launch.txt"))).chopped(1).split(u'\n');
        QFile::remove(record);
        const qsizetype end = lines.indexOf(QStringLiteral("--"));
        m_files = lines.mid(end + 1);
        lines.resize(end);
        return lines;
    }
    bool exists(const QString& relative) const { return QFileInfo::exists(m_work->filePath(relative)); }
private slots:
    void init()
    {
        // The extraction resolves its paths against the current folder, as the program never leaves it.
        QVERIFY(QDir::setCurrent(m_work->path()));
        QVERIFY(m_work->layRecordingEmulator(catalogue) && m_work->makeFolder("pacman"));
        QVERIFY(m_work->makeFolder("roms") &&
                writeArchive("roms/galaga.zip", {{"a.rom", "a"}, {"gfx/", {}}, {"gfx/b.rom", "b"}}));
        // Each set of the shared folder holds one file, named after what follows "sf2" in its name.
        for (const QString set : {"sf2ce", "sf2cej", "sf2tj", "sf2t"})
            QVERIFY(writeArchive("roms/" + set + ".zip", {{set.mid(3) + ".rom", set.mid(3).toLatin1()}}));
    }

    void cleanUpTriggers_data()
    {
        // A game to select, or a button to press (none: the close box), and the dialog it opens; then the game
        // launched before it, with the emulator's argument and the files it finds.
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("game");
        QTest::addColumn<QStringList>("started");
        QTest::newRow("selection") << QStringLiteral("Pac Man") << QString() << "Galaga"
                                   << QStringList{"galaga", "./galaga/a.rom", "./galaga/gfx/b.rom"};
        // Three sets share the folder sf2t, where the archive they build on completes them.
        QTest::newRow("close box") << QString() << QString() << "Street Fighter II CE"
                                   << QStringList{"sf2ce", "./sf2t/ce.rom", "./sf2t/t.rom"};
        QTest::newRow("Exit") << QStringLiteral("Exit") << QString() << "SF2 CE Japan"
                              << QStringList{"sf2cej", "./sf2t/cej.rom", "./sf2t/tj.rom"};
        QTest::newRow("About") << QStringLiteral("About") << QStringLiteral("AboutFrm") << "SF2 Turbo Japan"
                               << QStringList{"sf2tj", "./sf2t/tj.rom"};
    }

    // Any next action in the main window removes the extracted files, and only those.
    void cleanUpTriggers()
    {
        QFETCH(QString, action);
        QFETCH(QString, dialog);
        QFETCH(QString, game);
        QFETCH(QStringList, started);
        MessageBoxSpy spy;
        QVERIFY(openWindow() && select(game));
        QCOMPARE(launch(), started.mid(0, 1));
        QCOMPARE(m_files, started.mid(1));
        if (action.isEmpty())
            QVERIFY(m_frm->close());
        else if (!select(action))
            click(action);
        QVERIFY(!exists(QFileInfo(m_files.first()).path()) && !exists(".gantrel-launch") && exists("pacman"));
        QVERIFY(dialog.isEmpty() || (topLevel(dialog) && topLevel(dialog)->close()));
        QCOMPARE(m_frm->isVisible(), action == QLatin1String("Pac Man") || !dialog.isEmpty());
        QVERIFY(spy.requests().isEmpty());
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
            MessageBoxSpy spy;
            m_frm.reset(new MainFrm(m_work->dir()));
            QVERIFY(!m_frm->Form_Load());
            QCOMPARE(spy.requests().size(), 1);
            QCOMPARE(spy.requests().first().text, QStringLiteral("Gantrel is already running in this folder."));
            QCOMPARE(m_work->read("sf2t/t.rom"), QByteArray("t"));
            QVERIFY(exists(".gantrel-launch") && exists(".gantrel-lock"));
        }
        QVERIFY(openWindow());
        QCOMPARE(m_work->read("sf2t/t.rom"), QByteArray("user's t"));
        QVERIFY(!exists("sf2t/ce.rom") && !exists(".gantrel-launch"));
        QCOMPARE(m_list->count(), 5);
    }

    // A working folder on a read-only file system opens; an unpacked set launches, and a zipped one
    // gets the status box of an extraction that could write nothing, then launches all the same.
    // The emulator is found in any spelling, and the window takes no input until it has started.
    void readOnlyWorkingFolder()
    {
        SmallDevice device(m_work->path());
        if (!device.mounted)
            QSKIP("Mounting a file system needs root.");
        init();
        QVERIFY(QFile::rename(m_work->filePath("torvak.exe"), m_work->filePath("TORVAK.EXE")) && device.makeReadOnly());
        QStringList started;
        QList<bool> enabled;
        Platform::setProcessStartHook([&](const Platform::ProcessRequest& request) {
            started << request.arguments.value(0) << request.program << QDir(request.workingFolder).absolutePath();
            enabled << m_frm->isEnabled();
            return Platform::StartResult{true, {}};
        });
        MessageBoxSpy spy;
        QVERIFY(openWindow() && select("Pac Man"));
        click(QStringLiteral("Launch"));
        QVERIFY(select("Galaga"));
        click(QStringLiteral("Launch"));
        const QString program = m_work->filePath("TORVAK.EXE");
        QCOMPARE(started, (QStringList{"pacman", program, m_work->path(), "galaga", program, m_work->path()}));
        QCOMPARE(enabled, (QList<bool>{false, false}));
        QCOMPARE(spy.requests().size(), 1);
        QCOMPARE(spy.requests().first().text, QStringLiteral("50"));
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
        QVERIFY(m_work->write("x.ini", "; dip switches\r\n-dip 12 34 56\r\n") &&
                ::rename(root + "/x.ini", gameFile) == 0);
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
        MessageBoxSpy spy;
        QVERIFY(openWindow());
        // Nothing selected: Enter does nothing.
        QTest::keyClick(m_list, Qt::Key_Return);
        QVERIFY(m_frm->isEnabled() && !exists("launch.txt"));

        QVERIFY(select("Galaga"));
        QTest::keyClick(m_list, Qt::Key_Return);
        QCOMPARE(launched(), QStringList{"galaga"});
        // The same game again, by the keypad's Enter: the first extraction goes whole, the emulator's file with
        // it, and the set is extracted anew.
        QVERIFY(m_work->write("galaga/stray.sav", "x"));
        QTest::keyClick(m_list, Qt::Key_Enter);
        QCOMPARE(launched(), QStringList{"galaga"});
        QCOMPARE(m_files, (QStringList{"./galaga/a.rom", "./galaga/gfx/b.rom"}));
        // The list keeps the keyboard.
        QCOMPARE(QApplication::focusWidget(), m_list);

        // A double click launches. The settings are read anew at every launch, and each of their arguments
        // reaches the emulator whole.
        QVERIFY(m_work->write("Gantrel.INI", "-cfg \"my file\"\r\n") && select("Pac Man"));
        QTest::mouseDClick(m_list->viewport(), Qt::LeftButton, {},
                           m_list->visualItemRect(m_list->currentItem()).center());
        QCOMPARE(launched(), (QStringList{"pacman", "-cfg", "my file"}));
        // The emulator is no child of the program's, so none is left over as a zombie. (Under the thread
        // sanitizer, its symbolizer is a child that lives on.)
        QVERIFY(::waitpid(-1, nullptr, WNOHANG) <= 0);

        // Enter on a button presses that button and launches nothing.
        auto* exitButton = m_frm->findChild<QPushButton*>(QStringLiteral("Exit"));
        exitButton->setFocus();
        QTest::keyClick(exitButton, Qt::Key_Return);
        QVERIFY(!m_frm->isVisible() && !exists("launch.txt") && spy.requests().isEmpty());
    }
};

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
