#include "PreferencesFile.h"
#include "WorkFolder.h"

#include <QFile>
#include <QTest>

#include <functional>

Q_DECLARE_METATYPE(Preferences)

// Readable failures: every field of the value.
char* toString(const Preferences& p)
{
    const QString text =
        QStringLiteral("res=%1 auto=%2 skip=%3 swap=%4 vsync=%5 6bit=%6 double=%7 intens=%8 novesa=%9 linear=%10 "
                       "banked=%11 excl=%12 altkey=%13 p1=[%14] p2=[%15] other=[%16]")
            .arg(p.resolution)
            .arg(p.autoFrameSkip)
            .arg(p.frameSkip)
            .arg(static_cast<int>(p.swapMode))
            .arg(p.vsync)
            .arg(p.vesa6Bit)
            .arg(p.doubleSize)
            .arg(p.intensity)
            .arg(p.noVesa)
            .arg(p.forceLinear)
            .arg(p.forceBanked)
            .arg(p.exclusive)
            .arg(p.altKey)
            .arg(p.players[0], p.players[1], p.other);
    return qstrdup(text.toUtf8().constData());
}

namespace {

Preferences with(const std::function<void(Preferences&)>& change)
{
    Preferences p;
    change(p);
    return p;
}

const QByteArray defaultFile =
    "-res 384 224\r\n-frameskip AUTO\r\n-vsync OFF\r\n-setinput 1 key1\r\n-setinput 2 key1\r\n";

} // namespace

class TestPrefsFile : public QObject
{
    Q_OBJECT

private slots:
    void writesDefaultFile();
    void writerLines_data();
    void writerLines();
    void reader_data();
    void reader();
    void readerStartsFromGivenValues();
    void findsAnySpelling();
    void writeReplacesEverySpelling();
    void failedWriteKeepsOldFile();
    void unreadableFileIsReported();
};

void TestPrefsFile::writesDefaultFile()
{
    WorkFolder work;
    const SaveResult result = PreferencesFile::write(work.dir(), Preferences{});
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(work.dir().entryList(QDir::Files), QStringList{QStringLiteral("Gantrel.ini")});
    QCOMPARE(work.read(QStringLiteral("Gantrel.ini")), defaultFile);

    const PreferencesFile::ReadResult back = PreferencesFile::read(work.dir());
    QVERIFY(back.found);
    QVERIFY(back.error.isEmpty());
    QCOMPARE(back.preferences, Preferences{});
}

void TestPrefsFile::writerLines_data()
{
    QTest::addColumn<Preferences>("prefs");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("roundTrips");

    const QStringList tail = {"-vsync OFF", "-setinput 1 key1", "-setinput 2 key1"};
    for (int i = 0; i < Resolutions::Count; ++i) {
        QTest::addRow("resolution %d", i + 1) << with([i](Preferences& p) { p.resolution = i; })
                                              << QStringList{Resolutions::line(i), "-frameskip AUTO"} + tail << true;
    }
    for (int skip = Preferences::FrameSkipMin; skip <= Preferences::FrameSkipMax; ++skip) {
        QTest::addRow("frame skip %d", skip) << with([skip](Preferences& p) {
            p.autoFrameSkip = false;
            p.frameSkip = skip;
        }) << QStringList{"-res 384 224", QStringLiteral("-frameskip %1").arg(skip)} + tail
                                             << true;
    }
    QTest::newRow("FPU copy") << with([](Preferences& p) { p.swapMode = SwapMode::FpuCopy; })
                              << QStringList{"-res 384 224", "-frameskip AUTO", "-fpucopy"} + tail << true;
    QTest::newRow("MMX copy") << with([](Preferences& p) { p.swapMode = SwapMode::MmxCopy; })
                              << QStringList{"-res 384 224", "-frameskip AUTO", "-mmxcopy"} + tail << true;
    QTest::newRow("V Sync") << with([](Preferences& p) {
        p.vsync = true;
    }) << QStringList{"-res 384 224", "-frameskip AUTO", "-vsync ON", "-setinput 1 key1", "-setinput 2 key1"}
                            << true;

    // Every line the writer can emit, in its order: sixteen of them.
    const Preferences all = with([](Preferences& p) {
        p.resolution = 10;
        p.autoFrameSkip = false;
        p.frameSkip = 6;
        p.swapMode = SwapMode::MmxCopy;
        p.vsync = p.vesa6Bit = p.doubleSize = p.intensity = p.noVesa = true;
        p.forceLinear = p.forceBanked = p.exclusive = p.altKey = true;
        p.players = {InputDevices::caption(InputDevices::SnesPad2), InputDevices::caption(InputDevices::Joypad4)};
        p.other = QStringLiteral("-sound 1");
    });
    const QStringList allLines = {"-res 800 600",
                                  "-frameskip 6",
                                  "-mmxcopy",
                                  "-vsync ON",
                                  "-vesa6bit",
                                  "-double",
                                  "-intensity",
                                  "-novesa",
                                  "-linear",
                                  "-banked",
                                  "-exclusive",
                                  "-altkey",
                                  "-setinput 1 SNESPAD2",
                                  "-setinput 2 4button",
                                  "other",
                                  "-sound 1"};
    QTest::newRow("everything") << all << allLines << true;

    QTest::newRow("each device") << with([](Preferences& p) {
        p.players = {InputDevices::caption(InputDevices::SideWinder), InputDevices::caption(InputDevices::Grip1)};
    }) << QStringList{"-res 384 224", "-frameskip AUTO", "-vsync OFF", "-setinput 1 SIDEWINDER", "-setinput 2 GRIP1"}
                                 << true;
    QTest::newRow("both players on one device")
        << with([](Preferences& p) { p.players.fill(InputDevices::caption(InputDevices::Joystick2)); })
        << QStringList{"-res 384 224", "-frameskip AUTO", "-vsync OFF", "-setinput 1 joy2", "-setinput 2 joy2"} << true;
    // A typed text that is no caption gives no line; reading the file back then leaves the default.
    QTest::newRow("typed device") << with([](Preferences& p) { p.players[0] = QStringLiteral("keyboard 1"); })
                                  << QStringList{"-res 384 224", "-frameskip AUTO", "-vsync OFF", "-setinput 2 key1"}
                                  << false;
    QTest::newRow("no device at all") << with([](Preferences& p) {
        p.players = {QString(), QStringLiteral("x")};
    }) << QStringList{"-res 384 224", "-frameskip AUTO", "-vsync OFF"}
                                      << false;
    QTest::newRow("free text with comma")
        << with([](Preferences& p) { p.other = QStringLiteral("-sound 1, -cheat"); })
        << QStringList{"-res 384 224",     "-frameskip AUTO", "-vsync OFF",      "-setinput 1 key1",
                       "-setinput 2 key1", "other",           "-sound 1, -cheat"}
        << false;
    QTest::newRow("free text with a line break")
        << with([](Preferences& p) { p.other = QStringLiteral("-a\r\n-novesa\n-b\rc"); })
        << QStringList{"-res 384 224",     "-frameskip AUTO", "-vsync OFF",     "-setinput 1 key1",
                       "-setinput 2 key1", "other",           "-a -novesa -b c"}
        << false;
    QTest::newRow("slider ignored while automatic") << with([](Preferences& p) { p.frameSkip = 7; })
                                                    << QStringList{"-res 384 224", "-frameskip AUTO"} + tail << false;
}

void TestPrefsFile::writerLines()
{
    QFETCH(Preferences, prefs);
    QFETCH(QStringList, lines);
    QFETCH(bool, roundTrips);

    QCOMPARE(PreferencesFile::lines(prefs), lines);
    QVERIFY(lines.size() <= 16);

    WorkFolder work;
    QVERIFY(PreferencesFile::write(work.dir(), prefs).ok);
    const QByteArray bytes = work.read(QStringLiteral("Gantrel.ini"));
    QCOMPARE(bytes, lines.join(QStringLiteral("\r\n")).toLocal8Bit() + "\r\n");

    // Reading the file back gives the same values, except where the file cannot hold them.
    const Preferences back = PreferencesFile::read(work.dir()).preferences;
    if (roundTrips)
        QCOMPARE(back, prefs);
    else
        QVERIFY(back != prefs);
}

void TestPrefsFile::reader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Preferences>("expected");

    const QString joystick1 = InputDevices::caption(InputDevices::Joystick1);

    QTest::newRow("empty file") << QByteArray() << Preferences{};
    QTest::newRow("unknown items ignored") << QByteArray("-sound 1\r\n\r\nfoo,bar\r\n") << Preferences{};

    QTest::newRow("frame skip 5") << QByteArray("-frameskip 5\r\n") << with([](Preferences& p) {
        p.autoFrameSkip = false;
        p.frameSkip = 5;
    });
    QTest::newRow("frame skip 12 reads character 12 only")
        << QByteArray("-frameskip 12\r\n") << with([](Preferences& p) { p.autoFrameSkip = false; });
    QTest::newRow("frame skip 37") << QByteArray("-frameskip 37\r\n") << with([](Preferences& p) {
        p.autoFrameSkip = false;
        p.frameSkip = 3;
    });
    QTest::newRow("character 11 not examined") << QByteArray("-frameskipX7\r\n") << with([](Preferences& p) {
        p.autoFrameSkip = false;
        p.frameSkip = 7;
    });
    QTest::newRow("AUTOMATIC is automatic")
        << QByteArray("-frameskip 4\r\n-frameskip AUTOMATIC\r\n") << with([](Preferences& p) { p.frameSkip = 4; });
    QTest::newRow("auto in lower case is not")
        << QByteArray("-frameskip auto\r\n") << with([](Preferences& p) { p.autoFrameSkip = false; });
    QTest::newRow("frame skip 0 takes the lowest")
        << QByteArray("-frameskip 0\r\n") << with([](Preferences& p) { p.autoFrameSkip = false; });
    QTest::newRow("frame skip 9 takes the highest") << QByteArray("-frameskip 9\r\n") << with([](Preferences& p) {
        p.autoFrameSkip = false;
        p.frameSkip = 8;
    });
    QTest::newRow("short frame skip item")
        << QByteArray("-frameskip\r\n") << with([](Preferences& p) { p.autoFrameSkip = false; });
    QTest::newRow("frame skip in upper case is no switch") << QByteArray("-FRAMESKIP 5\r\n") << Preferences{};

    QTest::newRow("resolution and vsync: later items win")
        << QByteArray("-vsync ON\r\n-res 640 480\r\n-vsync OFF\r\n-res 320 200\r\n")
        << with([](Preferences& p) { p.resolution = 0; });
    QTest::newRow("vsync ON") << QByteArray("-vsync ON\r\n") << with([](Preferences& p) { p.vsync = true; });
    QTest::newRow("whole items compare with case")
        << QByteArray("-vsync on\r\n-RES 320 200\r\n-NOVESA\r\n-res 320\r\n") << Preferences{};
    QTest::newRow("later swap mode wins")
        << QByteArray("-fpucopy\r\n-mmxcopy\r\n") << with([](Preferences& p) { p.swapMode = SwapMode::MmxCopy; });
    QTest::newRow("eight check boxes")
        << QByteArray(
               "-altkey\r\n-exclusive\r\n-banked\r\n-linear\r\n-novesa\r\n-intensity\r\n-double\r\n-vesa6bit\r\n")
        << with([](Preferences& p) {
               p.vesa6Bit = p.doubleSize = p.intensity = p.noVesa = true;
               p.forceLinear = p.forceBanked = p.exclusive = p.altKey = true;
           });
    QTest::newRow("several items on one line")
        << QByteArray("-novesa,-linear\r\n") << with([](Preferences& p) { p.noVesa = p.forceLinear = true; });

    QTest::newRow("keywords compare with case")
        << QByteArray("-setinput 1 KEY1\r\n-setinput 1 sidewinder\r\n") << Preferences{};
    QTest::newRow("SIDEWINDER") << QByteArray("-setinput 1 SIDEWINDER\r\n") << with([](Preferences& p) {
        p.players[0] = InputDevices::caption(InputDevices::SideWinder);
    });
    QTest::newRow("current player carried over") << QByteArray("-setinput 2 key1\r\n-setinput 3 joy1\r\n")
                                                 << with([&](Preferences& p) { p.players[1] = joystick1; });
    QTest::newRow("player 1 is current at first")
        << QByteArray("-setinput 3 joy1\r\n") << with([&](Preferences& p) { p.players[0] = joystick1; });
    QTest::newRow("unknown keyword still names the player") << QByteArray("-setinput 2 mouse\r\n-setinput 0 joy1\r\n")
                                                            << with([&](Preferences& p) { p.players[1] = joystick1; });
    QTest::newRow("characters 10 and 12 not examined")
        << QByteArray("-setinput_2_4button\r\n")
        << with([](Preferences& p) { p.players[1] = InputDevices::caption(InputDevices::Joypad4); });
    QTest::newRow("short input item") << QByteArray("-setinput\r\n-setinput 2\r\n-setinput 2 \r\n") << Preferences{};

    QTest::newRow("free text with comma") << QByteArray("other\r\n-sound 1, -vsync ON\r\n") << with([](Preferences& p) {
        p.other = QStringLiteral("-sound 1");
        p.vsync = true;
    });
    QTest::newRow("item after marker is not a switch")
        << QByteArray("other\r\n-novesa\r\n") << with([](Preferences& p) { p.other = QStringLiteral("-novesa"); });
    QTest::newRow("marker in upper case is no marker")
        << QByteArray("OTHER\r\n-novesa\r\n") << with([](Preferences& p) { p.noVesa = true; });
    QTest::newRow("marker before an empty line")
        << QByteArray("other\r\n\r\n-altkey\r\n") << with([](Preferences& p) { p.altKey = true; });
    QTest::newRow("marker as the last item")
        << QByteArray("other\r\nfirst\r\n-double\r\nother\r\n") << with([](Preferences& p) { p.doubleSize = true; });
    QTest::newRow("marker at the very end")
        << QByteArray("-double,other") << with([](Preferences& p) { p.doubleSize = true; });
    QTest::newRow("any order") << QByteArray("other\r\nhello\r\n-setinput 2 GRIP2\r\n-vsync ON\r\n-res 512 384\r\n")
                               << with([](Preferences& p) {
                                      p.other = QStringLiteral("hello");
                                      p.players[1] = InputDevices::caption(InputDevices::Grip2);
                                      p.vsync = true;
                                      p.resolution = 7;
                                  });
    QTest::newRow("default file") << defaultFile << Preferences{};
}

void TestPrefsFile::reader()
{
    QFETCH(QByteArray, file);
    QFETCH(Preferences, expected);
    QCOMPARE(PreferencesFile::parse(file), expected);
}

void TestPrefsFile::readerStartsFromGivenValues()
{
    // Items change only what they name; no item unchecks these boxes or selects Normal.
    Preferences start;
    start.noVesa = true;
    start.swapMode = SwapMode::FpuCopy;
    start.other = QStringLiteral("kept");
    start.players[1] = QStringLiteral("typed");
    Preferences expected = start;
    expected.vsync = true;
    QCOMPARE(PreferencesFile::parse("-vsync ON\r\n-setinput 2 KEY1\r\n", start), expected);

    WorkFolder work;
    const PreferencesFile::ReadResult none = PreferencesFile::read(work.dir(), start);
    QVERIFY(!none.found);
    QVERIFY(none.error.isEmpty());
    QCOMPARE(none.preferences, start);
}

void TestPrefsFile::findsAnySpelling()
{
    WorkFolder work;
    QVERIFY(PreferencesFile::find(work.dir()).isEmpty());

    // A folder of that name is no settings file.
    QVERIFY(work.makeFolder(QStringLiteral("gantrel.ini")));
    QVERIFY(PreferencesFile::find(work.dir()).isEmpty());
    QVERIFY(!PreferencesFile::read(work.dir()).found);

    QVERIFY(work.write(QStringLiteral("GANTREL.INI"), "-novesa\r\n"));
    QCOMPARE(PreferencesFile::find(work.dir()), work.filePath(QStringLiteral("GANTREL.INI")));
    const PreferencesFile::ReadResult upper = PreferencesFile::read(work.dir());
    QVERIFY(upper.found);
    QVERIFY(upper.preferences.noVesa);

    QVERIFY(QFile::remove(work.filePath(QStringLiteral("GANTREL.INI"))));
    QVERIFY(work.write(QStringLiteral("Gantrel.ini"), "-altkey\r\n"));
    QVERIFY(PreferencesFile::read(work.dir()).preferences.altKey);
}

void TestPrefsFile::writeReplacesEverySpelling()
{
    WorkFolder work;
    QVERIFY(work.write(QStringLiteral("GANTREL.INI"), "-novesa\r\n"));
    QVERIFY(work.write(QStringLiteral("gantrel.ini"), "-altkey\r\n"));
    QVERIFY(PreferencesFile::write(work.dir(), Preferences{}).ok);
    QCOMPARE(work.dir().entryList(QDir::Files), QStringList{QStringLiteral("Gantrel.ini")});
    QCOMPARE(work.read(QStringLiteral("Gantrel.ini")), defaultFile);
}

void TestPrefsFile::failedWriteKeepsOldFile()
{
    WorkFolder work;
    // The name the new file must take is held by a folder, so it cannot be put in place.
    QVERIFY(work.makeFolder(QStringLiteral("Gantrel.ini")));
    QVERIFY(work.write(QStringLiteral("GANTREL.INI"), "-novesa\r\n"));

    Preferences prefs;
    prefs.altKey = true;
    const SaveResult result = PreferencesFile::write(work.dir(), prefs);
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(work.dir().entryList(QDir::Files), QStringList{QStringLiteral("GANTREL.INI")});
    QCOMPARE(work.read(QStringLiteral("GANTREL.INI")), QByteArray("-novesa\r\n"));
    QVERIFY(PreferencesFile::read(work.dir()).preferences.noVesa);
}

void TestPrefsFile::unreadableFileIsReported()
{
    // Root reads every ordinary file; a write-only kernel attribute refuses even root.
    const QString target = QStringLiteral("/sys/bus/cpu/drivers/processor/unbind");
    QFile probe(target);
    if (!QFileInfo(target).isFile() || probe.open(QIODevice::ReadOnly))
        QSKIP("no write-only file to read on this machine");

    WorkFolder work;
    QVERIFY(QFile::link(target, work.filePath(QStringLiteral("gantrel.ini"))));
    Preferences start;
    start.vsync = true;
    const PreferencesFile::ReadResult result = PreferencesFile::read(work.dir(), start);
    QVERIFY(result.found);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(result.preferences, start);
}

QTEST_GUILESS_MAIN(TestPrefsFile)
#include "tst_prefsfile.moc"
