#include "GameConfig.h"
#include "WorkFolder.h"

#include <QTest>

namespace {

const QByteArray header = ";----------------------------------------------\r\n; Configuration for \r\n"
                          ";----------------------------------------------\r\n\r\n; button mappings\r\n";

// The three DIP values, then the entries of devices 1 to 7, each row without the entries that are none
// at its end, and without the rows that are then empty at the end.
QList<QStringList> contentOf(const GameConfig& config)
{
    QList<QStringList> content{{config.dip1, config.dip2, config.dip3}};
    for (size_t device = 1; device <= GameDevices::Count; ++device) {
        QStringList row(config.k[device].begin(), config.k[device].end());
        while (!row.isEmpty() && row.last() == QLatin1String("-1"))
            row.removeLast();
        content.append(row);
    }
    while (content.size() > 1 && content.last().isEmpty())
        content.removeLast();
    return content;
}

} // namespace

class TestGameConfig : public QObject
{
    Q_OBJECT

private slots:
    void writesAndReadsFiles()
    {
        WorkFolder work;
        GameConfig config;
        QVERIFY(!readGameConfig(work.dir(), "game", &config));
        // Every device's entries on its line, with 255 for none; the joysticks carry only two.
        const QByteArray buttons = header + "-remapbut       JOY1 1 0\r\n-remapbut       JOY2 0 255\r\n"
                                            "-remapbut    4BUTTON 3 2 1 0 255 255 0 1\r\n"
                                            "-remapbut    6BUTTON 5 4 3 2 1 0 255 5\r\n"
                                            "-remapbut      GRIP1 7 255 6 5 4 3 2 1\r\n"
                                            "-remapbut      GRIP2 0 1 2 3 4 5 6 7\r\n"
                                            "-remapbut SIDEWINDER 9 8 255 10 255 255 6 7\r\n\r\n";
        config = parseGameConfig(buttons);
        config.dip1 = "5";
        QVERIFY(writeGameConfig(work.dir(), "game", config).ok);
        QCOMPARE(work.read("game.ini"), buttons + "; dip switches\r\n-dip 5 00 00\r\n");

        // A line break in a value stays on the DIP line.
        config.dip3 = QStringLiteral("\r\n");
        QCOMPARE(gameConfigLines(config).last(), QStringLiteral("-dip 5 00   "));

        // Names that cannot name a file of the folder read and write nothing. (Another spelling of the file
        // is found: the dialog's suite opens GAME.INI.)
        QVERIFY(work.write("sub/x.ini", "old"));
        for (const QString& name :
             {QString(), QStringLiteral("sub/x"), QStringLiteral("sub\\x"), QStringLiteral("../x")}) {
            QVERIFY2(!readGameConfig(work.dir(), name, &config), qPrintable(name));
            QVERIFY2(writeGameConfig(work.dir(), name, config).error.contains(name.isEmpty() ? "No game" : name),
                     qPrintable(name));
        }
        QCOMPARE(work.read("sub/x.ini"), QByteArray("old"));
        QCOMPARE(work.dir().entryList(QDir::Files | QDir::Hidden), QStringList{"game.ini"});

        // What a bar shows for an entry: whole numbers brought into -1..10, anything else none.
        QList<int> shown;
        for (const char* entry : {"x", "1.5", "11", "-2", "007", "+3", "99999999999", "-99999999999", "-1"})
            shown.append(GameDevices::buttonValue(QString::fromLatin1(entry)));
        QCOMPARE(shown, QList<int>({-1, -1, 10, -1, 7, 3, 10, -1, -1}));
    }

    void reads_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<QStringList>>("content");
        const QByteArray map = "; button mappings\r\n-remapbut       JOY1 ";
        const QByteArray joy2 = "\r\n-remapbut       JOY2 ";
        // The DIP values are read by their columns on the line.
        const QByteArray dips = "; dip switches\r\n-dip 5 00 006\r\n";
        const QByteArray otherCase =
            "; Button Mappings\r\n-remapbut       JOY1 1 0\r\n; DIP Switches\r\n-dip 99 99 99\r\n";
        const QList<QStringList> none = {{"00", "00", "00"}};
        const QList<QStringList> read = {{"5 ", "0 ", "06"}};

        QTest::newRow("255, -1 and no number none, empty between two blanks, numbers as written, ninth ignored")
            << map + "x 1.5 11 -2 007 +3 99999999999 -99999999999 9" + joy2 + "255 -1\r\n-remapbut    4BUTTON 3  4\r\n"
            << none + QList<QStringList>{
                          {"-1", "-1", "11", "-2", "007", "+3", "99999999999", "-99999999999"}, {}, {"3", "-1", "4"}};
        QTest::newRow("keyboard lines skipped, the last tested as a header")
            << "; keyboard scan codes\r\n; dip switches\r\n" + dips << read;
        QTest::newRow("last remap line tested as a header")
            << map + "1" + joy2 + "2\r\n" + QByteArray("\r\n").repeated(4) + dips
            << read + QList<QStringList>{{"1"}, {"2"}};
        QTest::newRow("headers in other case not recognised") << otherCase + "; Keyboard Scan Codes\r\n" + dips << read;
        QTest::newRow("cut short in a remap line") << map + "1 0" + joy2 + "0 1\r\n-remapbut    4BUTTON 3"
                                                   << none + QList<QStringList>{{"1", "0"}, {"0", "1"}, {"3"}};
    }

    void reads()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<QStringList>, content);
        QCOMPARE(contentOf(parseGameConfig(file)), content);
    }
};

QTEST_GUILESS_MAIN(TestGameConfig)
#include "tst_gameconfig.moc"
