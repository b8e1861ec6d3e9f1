#include "PreferencesFile.h"
#include "WorkFolder.h"

#include <QTest>

#include <functional>

Q_DECLARE_METATYPE(Preferences)

// Readable failures: the lines the value writes, then what those lines cannot show.
char* toString(const Preferences& p)
{
    const QStringList shown = PreferencesFile::lines(p)
                              << QString::number(p.frameSkip) << p.players[0] << p.players[1] << p.other;
    return qstrdup(shown.join(QLatin1Char('|')).toUtf8().constData());
}

namespace {

Preferences with(const std::function<void(Preferences&)>& change)
{
    Preferences p;
    change(p);
    return p;
}

Preferences skipping(int frames)
{
    Preferences p;
    p.autoFrameSkip = false;
    p.frameSkip = frames;
    return p;
}

// What the writer leaves in a fresh folder, or why it failed.
QByteArray written(const Preferences& prefs)
{
    WorkFolder work;
    const SaveResult result = PreferencesFile::write(work.dir(), prefs);
    return result.ok ? work.read(QStringLiteral("Gantrel.ini")) : "failed: " + result.error.toUtf8();
}

const QByteArray defaultFile =
    "-res 384 224\r\n-frameskip AUTO\r\n-vsync OFF\r\n-setinput 1 key1\r\n-setinput 2 key1\r\n";

} // namespace

class TestPrefsFile : public QObject
{
    Q_OBJECT

private slots:
    void writer()
    {
        // An empty Other box writes no "other" line.
        QCOMPARE(written(Preferences{}), defaultFile);

        // Every switch reads back and is written again in its place.
        const QByteArray allFile = "-res 800 600\r\n-frameskip 6\r\n-mmxcopy\r\n-vsync ON\r\n-vesa6bit\r\n-double\r\n"
                                   "-intensity\r\n-novesa\r\n-linear\r\n-banked\r\n-exclusive\r\n-altkey\r\n"
                                   "-setinput 1 SNESPAD2\r\n-setinput 2 4button\r\nother\r\n-sound 1\r\n";
        QCOMPARE(written(PreferencesFile::parse(allFile)), allFile);

        // No two resolutions or devices share a line, and each reads back as itself.
        for (int i = 0; i < Resolutions::Count; ++i) {
            Preferences p;
            p.resolution = i;
            p.players = {InputDevices::caption(i), InputDevices::caption(InputDevices::Count - 1 - i)};
            QCOMPARE(PreferencesFile::parse(written(p)), p);
        }

        // A typed text that is no device gives no line; Force Linear has a line of its own, not Force Banked's;
        // a line break in the free text would smuggle in lines of its own.
        Preferences typed;
        typed.swapMode = SwapMode::FpuCopy;
        typed.players[0] = QStringLiteral("keyboard 1");
        typed.forceLinear = true;
        typed.other = QStringLiteral("-a\r\n-novesa\n-b\rc");
        QCOMPARE(written(typed), QByteArray("-res 384 224\r\n-frameskip AUTO\r\n-fpucopy\r\n-vsync OFF\r\n"
                                            "-linear\r\n-setinput 2 key1\r\nother\r\n-a -novesa -b c\r\n"));

        // A folder of that name is no settings file. Reading another spelling is tst_optionfrm's (it
        // opens GANTREL.INI), replacing every spelling on saving the line writer's.
        WorkFolder work;
        QVERIFY(work.makeFolder("gantrel.ini") && !PreferencesFile::read(work.dir()).found);
    }

    void reader_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Preferences>("expected");

        const QString joystick1 = InputDevices::caption(InputDevices::Joystick1);
        QTest::newRow("items that match nothing are kept in the free text")
            << QByteArray("-sound 1\r\n\r\nfoo,bar\r\n-FRAMESKIP 5\r\n-vsync on\r\n-res 320\r\n")
            << with([](Preferences& p) {
                   p.other = QStringLiteral("-sound 1, foo, bar, -FRAMESKIP 5, -vsync on, -res 320");
               });
        QTest::newRow("frame skip 12 reads character 12 only") << QByteArray("-frameskip 12\r\n") << skipping(1);
        QTest::newRow("frame skip 0 takes the lowest") << QByteArray("-frameskip 0\r\n") << skipping(1);
        QTest::newRow("frame skip 9 takes the highest") << QByteArray("-frameskip 9\r\n") << skipping(8);
        QTest::newRow("short frame skip item") << QByteArray("-frameskip\r\n") << skipping(1);
        QTest::newRow("AUTOMATIC is automatic")
            << QByteArray("-frameskip 4\r\n-frameskip AUTOMATIC\r\n") << with([](Preferences& p) { p.frameSkip = 4; });
        QTest::newRow("auto in lower case is a non-digit") << QByteArray("-frameskip auto\r\n") << skipping(1);
        QTest::newRow("later items win") << QByteArray("-vsync ON\r\n-res 640 480\r\n-vsync OFF\r\n-res 320 200\r\n")
                                         << with([](Preferences& p) { p.resolution = 0; });
        QTest::newRow("later swap mode wins")
            << QByteArray("-fpucopy\r\n-mmxcopy\r\n") << with([](Preferences& p) { p.swapMode = SwapMode::MmxCopy; });
        QTest::newRow("keywords compare with case")
            << QByteArray("-setinput 1 KEY1\r\n-setinput 1 sidewinder\r\n-setinput\r\n-setinput 2 \r\n")
            << Preferences{};
        QTest::newRow("player 1 current at first, then the player an unknown keyword names")
            << QByteArray("-setinput 3 joy1\r\n-setinput 2 mouse\r\n-setinput 0 joy1\r\n") << with([&](Preferences& p) {
                   p.players = {joystick1, joystick1};
               });
        QTest::newRow("free text with commas: switches set controls, the rest stays; OTHER is no marker")
            << QByteArray("OTHER\r\nother\r\n-sound 1, -novesa,-joy 2, -vsync ON\r\n") << with([](Preferences& p) {
                   p.other = QStringLiteral("-sound 1, OTHER, -joy 2");
                   p.noVesa = p.vsync = true;
               });
        QTest::newRow("marker before an empty line")
            << QByteArray("other\r\n\r\n-altkey\r\n") << with([](Preferences& p) { p.altKey = true; });
        QTest::newRow("marker as the last item") << QByteArray("other\r\nfirst\r\n-double\r\nother\r\n")
                                                 << with([](Preferences& p) { p.doubleSize = true; });
    }

    void reader()
    {
        QFETCH(QByteArray, file);
        QFETCH(Preferences, expected);
        QCOMPARE(PreferencesFile::parse(file), expected);
    }
};

QTEST_GUILESS_MAIN(TestPrefsFile)
#include "tst_prefsfile.moc"
