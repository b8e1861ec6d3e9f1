#include "GameConfig.h"
#include "WorkFolder.h"

#include <QTest>

namespace {

const QByteArray exampleFile = ";----------------------------------------------\r\n"
                               "; Configuration for \r\n"
                               ";----------------------------------------------\r\n"
                               "\r\n"
                               "; button mappings\r\n"
                               "-remapbut       JOY1 255 255\r\n"
                               "-remapbut       JOY2 255 255\r\n"
                               "-remapbut    4BUTTON 255 255 255 255 255 255 255 255\r\n"
                               "-remapbut    6BUTTON 255 255 255 255 255 255 255 255\r\n"
                               "-remapbut      GRIP1 255 255 255 255 255 255 255 255\r\n"
                               "-remapbut      GRIP2 255 255 255 255 255 255 255 255\r\n"
                               "-remapbut SIDEWINDER 255 255 255 255 255 255 255 255\r\n"
                               "\r\n"
                               "; dip switches\r\n"
                               "-dip 00 00 00\r\n";

const QString allNone = QStringLiteral("-1 -1 -1 -1 -1 -1 -1 -1");

// One text per device 1 to 7, its eight entries separated by blanks, then the three DIP values.
QStringList contentOf(const GameConfig& config)
{
    QStringList content;
    for (size_t device = 1; device <= GameDevices::Count; ++device)
        content.append(QStringList(config.k[device].begin(), config.k[device].end()).join(QLatin1Char(' ')));
    content << config.dip1 << config.dip2 << config.dip3;
    return content;
}

// The content of an empty file with some devices' rows (1 to 7) and the DIP values replaced.
QStringList expected(const QList<QPair<int, QString>>& rows, const QStringList& dips = {"00", "00", "00"})
{
    QStringList content(GameDevices::Count, allNone);
    for (const auto& row : rows)
        content[row.first - 1] = row.second;
    return content + dips;
}

} // namespace

class TestGameConfig : public QObject
{
    Q_OBJECT

private slots:
    void writesExampleForNewGame();
    void roundTrip_data();
    void roundTrip();
    void joysticksCarryTwoValues();
    void reads_data();
    void reads();
    void oneCharacterDip();
    void namesWithoutRegardToCase();
    void failedWriteKeepsOldFile();
    void unusableSetNames();
};

void TestGameConfig::writesExampleForNewGame()
{
    WorkFolder work;
    GameConfig config;
    QVERIFY(!readGameConfig(work.dir(), QStringLiteral("newgame"), &config));
    const SaveResult result = writeGameConfig(work.dir(), QStringLiteral("newgame"), config);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(work.read(QStringLiteral("newgame.ini")), exampleFile);
    for (int device = 1; device <= GameDevices::Count; ++device)
        QCOMPARE(GameDevices::linePrefix(device).size(), 21);
}

void TestGameConfig::roundTrip_data()
{
    QTest::addColumn<int>("device");
    QTest::addColumn<QString>("entries");
    QTest::newRow("4BUTTON") << 3 << QStringLiteral("3 2 1 0 -1 -1 0 1");
    QTest::newRow("6BUTTON") << 4 << QStringLiteral("5 4 3 2 1 0 -1 5");
    QTest::newRow("GRIP1") << 5 << QStringLiteral("7 -1 6 5 4 3 2 1");
    QTest::newRow("GRIP2") << 6 << QStringLiteral("0 1 2 3 4 5 6 7");
    QTest::newRow("SIDEWINDER") << 7 << QStringLiteral("9 8 -1 -1 -1 -1 6 7");
}

void TestGameConfig::roundTrip()
{
    QFETCH(int, device);
    QFETCH(QString, entries);
    WorkFolder work;
    GameConfig config;
    const QStringList values = entries.split(QLatin1Char(' '));
    for (int input = 0; input < GameDevices::InputCount; ++input)
        config.k[static_cast<size_t>(device)][static_cast<size_t>(input)] = values[input];
    config.dip2 = QStringLiteral("7f");
    QVERIFY(writeGameConfig(work.dir(), QStringLiteral("game"), config).ok);

    const QList<QByteArray> lines = work.read(QStringLiteral("game.ini")).split('\n');
    QVERIFY(lines[4 + device].startsWith(GameDevices::linePrefix(device).toLatin1()));
    QVERIFY(!lines[4 + device].contains("-1"));

    GameConfig read;
    QVERIFY(readGameConfig(work.dir(), QStringLiteral("game"), &read));
    QCOMPARE(contentOf(read), expected({{device, entries}}, {"00", "7f", "00"}));
}

void TestGameConfig::joysticksCarryTwoValues()
{
    WorkFolder work;
    GameConfig config;
    config.k[1].fill(QStringLiteral("1"));
    config.k[2] = {"0", "-1", "1", "1", "1", "1", "1", "1"};
    QVERIFY(writeGameConfig(work.dir(), QStringLiteral("game"), config).ok);
    const QList<QByteArray> lines = work.read(QStringLiteral("game.ini")).split('\n');
    QCOMPARE(lines[5], QByteArray("-remapbut       JOY1 1 1\r"));
    QCOMPARE(lines[6], QByteArray("-remapbut       JOY2 0 255\r"));

    GameConfig read;
    QVERIFY(readGameConfig(work.dir(), QStringLiteral("game"), &read));
    QCOMPARE(contentOf(read), expected({{1, "1 1 -1 -1 -1 -1 -1 -1"}, {2, "0 -1 -1 -1 -1 -1 -1 -1"}}));
}

void TestGameConfig::reads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("content");

    const QByteArray remaps = "; button mappings\r\n"
                              "-remapbut       JOY1 1 0\r\n"
                              "-remapbut       JOY2 0 1\r\n"
                              "-remapbut    4BUTTON 0 1 2 3 0 1 2 3\r\n"
                              "-remapbut    6BUTTON 5 4 3 2 1 0 5 4\r\n"
                              "-remapbut      GRIP1 7 6 5 4 3 2 1 0\r\n"
                              "-remapbut      GRIP2 0 0 0 0 0 0 0 0\r\n"
                              "-remapbut SIDEWINDER 9 8 7 6 5 4 3 2\r\n";
    const QList<QPair<int, QString>> remapRows = {
        {1, "1 0 -1 -1 -1 -1 -1 -1"}, {2, "0 1 -1 -1 -1 -1 -1 -1"}, {3, "0 1 2 3 0 1 2 3"}, {4, "5 4 3 2 1 0 5 4"},
        {5, "7 6 5 4 3 2 1 0"},       {6, "0 0 0 0 0 0 0 0"},       {7, "9 8 7 6 5 4 3 2"}};

    QTest::newRow("empty file") << QByteArray() << expected({});
    QTest::newRow("written file") << exampleFile << expected({});
    QTest::newRow("every section") << ";comment\r\n" + remaps + "\r\n; dip switches\r\n-dip 01 a2 3F\r\n"
                                   << expected(remapRows, {"01", "a2", "3F"});
    QTest::newRow("255 and -1 are none")
        << QByteArray("; button mappings\r\n-remapbut       JOY1 255 -1\r\n-remapbut       JOY2 -1 255\r\n")
        << expected({});
    QTest::newRow("two blanks give an empty value")
        << QByteArray("; button mappings\r\nx\r\nx\r\n-remapbut    4BUTTON 3  4\r\n")
        << expected({{3, "3 -1 4 -1 -1 -1 -1 -1"}});
    QTest::newRow("keyword not checked, first 21 characters skipped")
        << QByteArray("; button mappings\r\n-remapbut    6BUTTON 5 4\r\nJOY1 2 3 ..........  6 7\r\n")
        << expected({{1, "5 4 -1 -1 -1 -1 -1 -1"}, {2, "6 7 -1 -1 -1 -1 -1 -1"}});
    QTest::newRow("values after the eighth ignored")
        << QByteArray("; button mappings\r\n-remapbut       JOY1 1 1 1 1 1 1 1 1 9\r\n")
        << expected({{1, "1 1 1 1 1 1 1 1"}});
    QTest::newRow("not an integer is none, outside -1 to 10 is brought into it")
        << QByteArray("; button mappings\r\n-remapbut       JOY1 x 1.5 11 -2 007 +3 99999999999 10\r\n")
        << expected({{1, "-1 -1 10 -1 7 3 -1 10"}});
    QTest::newRow("keyboard section skipped")
        << QByteArray("; keyboard scan codes\r\n; dip switches\r\n-dip 11 11 11\r\n; dip switches\r\n-dip 05 06 07\r\n")
        << expected({}, {"05", "06", "07"});
    QTest::newRow("last keyboard line tested as a header")
        << QByteArray("; keyboard scan codes\r\n1 2 3\r\n; dip switches\r\n-dip 05 06 07\r\n")
        << expected({}, {"05", "06", "07"});
    QTest::newRow("last remap line tested as a header")
        << QByteArray(remaps).replace("-remapbut SIDEWINDER 9 8 7 6 5 4 3 2", "; dip switches") + "-dip 12 34 56\r\n"
        << expected(remapRows.mid(0, 6), {"12", "34", "56"});
    QTest::newRow("keyboard section after the last remap line")
        << QByteArray(remaps).replace("-remapbut SIDEWINDER 9 8 7 6 5 4 3 2", "; keyboard scan codes") +
               "; dip switches\r\n-dip 11 11 11\r\n; dip switches\r\n-dip 12 34 56\r\n"
        << expected(remapRows.mid(0, 6), {"12", "34", "56"});
    QTest::newRow("headers in other case not recognised")
        << QByteArray("; Button Mappings\r\n; DIP switches\r\n-dip 12 34 56\r\n") + remaps.mid(19) << expected({});
    QTest::newRow("header with more characters not recognised")
        << QByteArray("; button mappings:\r\n-remapbut       JOY1 1 0\r\n; dip switches.\r\n-dip 12 34 56\r\n")
        << expected({});
    QTest::newRow("unrecognised header's lines read as ordinary lines")
        << QByteArray("; Keyboard Scan Codes\r\n; dip switches\r\n-dip 12 34 56\r\n")
        << expected({}, {"12", "34", "56"});
    QTest::newRow("DIP characters by column")
        << QByteArray("; dip switches\r\n-dip 123456789\r\n") << expected({}, {"12", "45", "78"});
    QTest::newRow("short DIP line") << QByteArray("; dip switches\r\n-dip 5\r\n") << expected({}, {"5", "", ""});
    QTest::newRow("empty DIP line") << QByteArray("; dip switches\r\n\r\n") << expected({}, {"", "", ""});
    QTest::newRow("remap section cut short")
        << remaps.left(remaps.indexOf("-remapbut    4BUTTON")) + "-remapbut    4BUTTON 3"
        << expected({remapRows[0], remapRows[1], {3, "3 -1 -1 -1 -1 -1 -1 -1"}});
    QTest::newRow("remap header at the end") << QByteArray("; button mappings\r\n") << expected({});
    QTest::newRow("DIP header at the end") << QByteArray("; dip switches") << expected({});
    QTest::newRow("keyboard section cut short")
        << QByteArray("; keyboard scan codes\r\n; dip switches\r\n") << expected({});
    QTest::newRow("lone LF line ends") << QByteArray(remaps).replace("\r\n", "\n") << expected(remapRows);
}

void TestGameConfig::reads()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, content);
    QCOMPARE(contentOf(parseGameConfig(file)), content);
}

void TestGameConfig::oneCharacterDip()
{
    WorkFolder work;
    GameConfig config;
    config.dip1 = QStringLiteral("5");
    QVERIFY(writeGameConfig(work.dir(), QStringLiteral("game"), config).ok);
    const QByteArray file = work.read(QStringLiteral("game.ini"));
    QVERIFY(file.endsWith("\r\n; dip switches\r\n-dip 5 00 00\r\n"));
    QCOMPARE(QByteArray("-dip 5 00 00").size(), 12);

    GameConfig read;
    QVERIFY(readGameConfig(work.dir(), QStringLiteral("game"), &read));
    QCOMPARE(read.dip1, QStringLiteral("5 "));
    QCOMPARE(read.dip2, QStringLiteral("0 "));
    QCOMPARE(read.dip3, QStringLiteral("0"));

    // A line break in a value stays on the DIP line.
    config.dip3 = QStringLiteral("\r\n");
    QVERIFY(gameConfigLines(config).last() == QStringLiteral("-dip 5 00   "));
}

void TestGameConfig::namesWithoutRegardToCase()
{
    WorkFolder work;
    QVERIFY(work.write(QStringLiteral("SF2CE.INI"), "; button mappings\r\n-remapbut       JOY1 1 0\r\n"));
    QVERIFY(work.write(QStringLiteral("other.ini"), "; dip switches\r\n-dip 11 22 33\r\n"));
    GameConfig config;
    QVERIFY(readGameConfig(work.dir(), QStringLiteral("sf2ce"), &config));
    QCOMPARE(config.k[1][0], QStringLiteral("1"));

    QVERIFY(writeGameConfig(work.dir(), QStringLiteral("sf2ce"), config).ok);
    QCOMPARE(work.dir().entryList(QDir::Files, QDir::Name),
             QStringList({QStringLiteral("other.ini"), QStringLiteral("sf2ce.ini")}));
    QVERIFY(work.read(QStringLiteral("sf2ce.ini")).contains("-remapbut       JOY1 1 0\r\n"));

    // A folder of the file's name is no file.
    QVERIFY(work.makeFolder(QStringLiteral("Folder.ini")));
    QVERIFY(!readGameConfig(work.dir(), QStringLiteral("folder"), &config));
}

void TestGameConfig::failedWriteKeepsOldFile()
{
    WorkFolder work;
    QVERIFY(work.write(QStringLiteral("SF2CE.INI"), "old\r\n"));
    // The file's own spelling is taken by a folder: the new file cannot be put in its place.
    QVERIFY(work.makeFolder(QStringLiteral("sf2ce.ini")));

    const SaveResult result = writeGameConfig(work.dir(), QStringLiteral("sf2ce"), GameConfig());
    QVERIFY(!result.ok);
    QVERIFY(result.error.startsWith(QStringLiteral("Cannot save sf2ce.ini: ")));
    QVERIFY(result.error.size() > 23);
    QCOMPARE(work.read(QStringLiteral("SF2CE.INI")), QByteArray("old\r\n"));
    QCOMPARE(work.dir().entryList(QDir::Files), QStringList{QStringLiteral("SF2CE.INI")});
}

void TestGameConfig::unusableSetNames()
{
    WorkFolder work;
    QVERIFY(work.write(QStringLiteral(".ini"), "; dip switches\r\n-dip 11 22 33\r\n"));
    QVERIFY(work.write(QStringLiteral("sub/x.ini"), "; dip switches\r\n-dip 11 22 33\r\n"));
    for (const QString& name : {QString(), QStringLiteral("sub/x"), QStringLiteral("sub\\x"), QStringLiteral("../x")}) {
        QVERIFY(gameConfigFileName(name).isEmpty());
        GameConfig config;
        QVERIFY(!readGameConfig(work.dir(), name, &config));
        const SaveResult result = writeGameConfig(work.dir(), name, config);
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
    }
    QCOMPARE(work.read(QStringLiteral(".ini")), QByteArray("; dip switches\r\n-dip 11 22 33\r\n"));
    QCOMPARE(work.dir().entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral(".ini")});
    QCOMPARE(gameConfigFileName(QStringLiteral("sf2ce")), QStringLiteral("sf2ce.ini"));
}

QTEST_GUILESS_MAIN(TestGameConfig)
#include "tst_gameconfig.moc"
