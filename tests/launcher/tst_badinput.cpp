#include "ArchiveMaker.h"
#include "GameConfig.h"
#include "MainFrmTest.h"
#include "MessageBoxSpy.h"
#include "PreferencesFile.h"
#include "UnzipModule.h"

#include <QPointer>

#include <cstdio>

class TestBadInput : public MainFrmTest
{
    Q_OBJECT

private slots:
    void init()
    {
        m_started.clear();
        Platform::setProcessStartHook([this](const Platform::ProcessRequest& request) {
            m_started.append(request);
            return Platform::StartResult{true, {}};
        });
    }

    void badBytesInEveryFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("NUL bytes") << QByteArray("nul\0,N\0L\r\n-res\0 320 200\r\n\0\0", 25);
        QTest::newRow("invalid UTF-8") << QByteArray(
            "\xff\xfe,\xc3\x28\r\nother\r\n\x80\xbf\r\n-dip \xe2\x82 \xf0\r\n");
    }

    // The catalogue (after one good record), the settings file and the game's file all hold the bytes.
    // The game is launched without a word, and both dialogs save files that read back as written.
    void badBytesInEveryFile()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(m_work->write("gantrel.ini", bytes) && m_work->write("game.ini", bytes));
        MessageBoxSpy spy;
        QVERIFY(openOn(bytes));
        click(QStringLiteral("Launch"));
        QCOMPARE(m_started.size(), 1);
        QCOMPARE(m_started.first().arguments.value(0), QStringLiteral("game"));

        pressOk(QStringLiteral("Option"), QStringLiteral("OptionFrm"));
        const Preferences saved = PreferencesFile::parse(m_work->read(QStringLiteral("Gantrel.ini")));
        QVERIFY(PreferencesFile::parse(LineWriter::encode(PreferencesFile::lines(saved))) == saved);
        pressOk(QStringLiteral("InputOpt"), QStringLiteral("Inputfrm"));
        const QByteArray game = m_work->read(QStringLiteral("game.ini"));
        QCOMPARE(LineWriter::encode(gameConfigLines(parseGameConfig(game))), game);
        QVERIFY(spy.requests().isEmpty() && m_frm->isEnabled());
    }

    // The member that does not fit is not left half-written, the user is told the status of this extraction,
    // the emulator still starts, and the clean-up gives the user's shared folder back as it was, but for the
    // high scores that the emulator saved there the usual way: a new file renamed over the old one.
    void fullDiskDuringExtraction()
    {
        SmallDevice device(m_work->path());
        if (!device.mounted)
            QSKIP("Mounting a file system needs root.");
        QVERIFY(m_work->write("SF2T/t.rom", "user's t") && m_work->write("SF2T/a.hi", "hi") &&
                m_work->makeFolder("roms"));
        QVERIFY(writeArchive(m_work->filePath("roms/sf2ce.zip"),
                             {{"ce.rom", "ce"}, {"big.rom", QByteArray(4 << 20, '\0')}, {"last.rom", "last"}}));
        QVERIFY(writeArchive(m_work->filePath("roms/sf2t.zip"), {{"t.rom", "t"}}));
        QStringList sharedAtStart;
        Platform::setProcessStartHook([&](const Platform::ProcessRequest&) {
            sharedAtStart = QDir(m_work->filePath(QStringLiteral("SF2T"))).entryList(QDir::Files);
            const QByteArray shared = QFile::encodeName(m_work->filePath(QStringLiteral("SF2T")));
            const bool saved = m_work->write(QStringLiteral("SF2T/a.new"), "new hi") &&
                               std::rename(shared + "/a.new", shared + "/a.hi") == 0;
            return Platform::StartResult{saved, {}};
        });
        MessageBoxSpy spy;
        QVERIFY(openOn("sf2ce,Street Fighter II CE\r\n"));
        QVERIFY(device.leaveRoom(1 << 20) && select(QStringLiteral("Street Fighter II CE")));
        UnzipMessages = UnzipNewLine = QStringLiteral("stale");
        click(QStringLiteral("Launch"));
        QCOMPARE(spy.requests().size(), 1);
        QCOMPARE(spy.requests().first().text, QStringLiteral("50"));
        QVERIFY(!spy.requests().first().details.startsWith(QStringLiteral("stale")) && UnzipNewLine == "\r\n");
        QCOMPARE(sharedAtStart, (QStringList{"a.hi", "ce.rom", "t.rom"}));
        QVERIFY(m_frm->close());
        QCOMPARE(QDir(m_work->filePath("SF2T")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{"a.hi", "t.rom"}));
        QCOMPARE(m_work->read("SF2T/t.rom"), QByteArray("user's t"));
        QCOMPARE(m_work->read("SF2T/a.hi"), QByteArray("new hi"));
    }

    // A launch record that is not one of Gantrel's (damaged, or written by hand) is reported at
    // start-up and left as it is; zipped sets are then not extracted, as nothing could undo them.
    void damagedLaunchRecord()
    {
        const QByteArray damaged = "gantrel-launch 1\r\ntarget /\r\nexisted no\r\nend 3\r\n";
        QVERIFY(m_work->write(".gantrel-launch", damaged) && m_work->write("roms/zipped.zip", "not read"));
        MessageBoxSpy spy;
        QVERIFY(openOn("zipped,Zipped\r\n"));
        QCOMPARE(spy.requests().size(), 1);
        QVERIFY2(spy.requests().first().text.contains(QStringLiteral("cannot be read; it is left as it is")),
                 qPrintable(spy.requests().first().text));
        QVERIFY(select(QStringLiteral("Zipped")));
        click(QStringLiteral("Launch"));
        QCOMPARE(spy.requests().size(), 2);
        QVERIFY(spy.requests().last().text.startsWith(QStringLiteral("The set was not extracted")));
        QVERIFY(m_started.isEmpty() && m_frm->isEnabled() && !QFileInfo::exists(m_work->filePath("zipped")));
        QCOMPARE(m_work->read(".gantrel-launch"), damaged);
    }

    // The old file stays whole, no temporary file is left, the user is told, and the dialog stays open.
    void fullDiskWhileSaving()
    {
        SmallDevice device(m_work->path());
        if (!device.mounted)
            QSKIP("Mounting a file system needs root.");
        const QByteArray oldFile = "-res 640 480\r\n-novesa\r\n";
        QVERIFY(m_work->write("GANTREL.INI", oldFile));
        MessageBoxSpy spy;
        QVERIFY(openOn());
        const QStringList before = m_work->dir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        QVERIFY(device.leaveRoom(0));
        const QPointer<QWidget> dialog = pressOk(QStringLiteral("Option"), QStringLiteral("OptionFrm"));
        QCOMPARE(spy.requests().size(), 1);
        QVERIFY2(spy.requests().first().text.startsWith("The preferences could not be saved in Gantrel.ini: "),
                 qPrintable(spy.requests().first().text));
        QCOMPARE(m_work->read("GANTREL.INI"), oldFile);
        QCOMPARE(m_work->dir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
        QVERIFY(dialog && dialog->isVisible() && dialog->close());
    }

    // Sparse files of 64 GB are refused with a box, and the program goes on without them: a launch
    // without the default options, the dialogs with their defaults; without a catalogue it ends.
    void hugeFiles()
    {
        QVERIFY(openOn());
        const auto makeHuge = [this](const QString& name) {
            QFile file(m_work->filePath(name));
            return file.open(QIODevice::WriteOnly) && file.resize(qint64(64) << 30);
        };
        QVERIFY(makeHuge("gantrel.ini") && makeHuge("game.ini"));
        MessageBoxSpy spy;
        click(QStringLiteral("Launch"));
        QCOMPARE(m_started.size(), 1);
        QCOMPARE(m_started.first().arguments, QStringList{"game"});
        QVERIFY(pressOk(QStringLiteral("Option"), QStringLiteral("OptionFrm")) &&
                pressOk(QStringLiteral("InputOpt"), QStringLiteral("Inputfrm")));
        m_frm.reset();
        QVERIFY(makeHuge("roms.txt"));
        QCOMPARE(MainFrm::run(), 1);

        QStringList told;
        for (const Platform::MessageRequest& box : spy.requests()) {
            QVERIFY2(box.caption == QLatin1String("Gantrel Error") && box.text.contains("64 MB"), qPrintable(box.text));
            told.append(box.text.section(QLatin1Char(':'), 0, 0));
        }
        QCOMPARE(told, QStringList({"The default options in gantrel.ini cannot be read",
                                    "The preferences in gantrel.ini could not be read",
                                    "The options in game.ini could not be read", "File Roms.txt cannot be read"}));
    }

    void emulatorFails_data()
    {
        QTest::addColumn<QByteArray>("emulator");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a program") << QByteArray("\177ELF") << QStringLiteral("Torvak could not be started: ");
        QTest::newRow("removed after start-up")
            << QByteArray() << QStringLiteral("The file torvak.exe is no longer in");
    }

    // Every launch tries the emulator anew, and says why it could not start it; the window stays usable.
    void emulatorFails()
    {
        QFETCH(QByteArray, emulator);
        QFETCH(QString, message);
        Platform::setProcessStartHook({});
        MessageBoxSpy spy;
        QVERIFY(openOn());
        const QString path = m_work->filePath(QStringLiteral("torvak.exe"));
        QVERIFY(emulator.isNull() ? QFile::remove(path)
                                  : m_work->write(QStringLiteral("torvak.exe"), emulator) &&
                                        QFile::setPermissions(path, QFile::ExeOwner));
        for (int launch = 1; launch <= 2; ++launch) {
            click(QStringLiteral("Launch"));
            QVERIFY(m_frm->isEnabled());
            QCOMPARE(spy.requests().size(), launch);
        }
        QVERIFY2(spy.requests().last().text.startsWith(message), qPrintable(spy.requests().last().text));
        QCOMPARE(spy.requests().last().caption, QStringLiteral("Gantrel Error"));
    }

private:
    // Lays out the emulator, a catalogue that starts with the unpacked set "game", and opens the window on it.
    bool openOn(const QByteArray& catalogue = {})
    {
        return m_work->layEmulator("game,Game\r\n" + catalogue) && m_work->makeFolder(QStringLiteral("game")) &&
               QDir::setCurrent(m_work->path()) && openWindow() && select(QStringLiteral("Game"));
    }
    // Presses the main window's button, then OK on the dialog it opened; returns that dialog.
    QPointer<QWidget> pressOk(const QString& button, const QString& dialog)
    {
        click(button);
        QPointer<QWidget> shown = topLevel(dialog);
        if (shown)
            QTest::mouseClick(shown->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
        return shown;
    }

    QList<Platform::ProcessRequest> m_started;
};

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
