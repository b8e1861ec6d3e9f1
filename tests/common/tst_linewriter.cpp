#include "LineWriter.h"
#include "WorkFolder.h"

#include <QBuffer>
#include <QTest>

class TestLineWriter : public QObject
{
    Q_OBJECT

private slots:
    void writesCrLfLines()
    {
        const QStringList lines{"-res 320 240", QString(), QStringLiteral("a, \"b\" caf\u00e9")};
        const QByteArray expected("-res 320 240\r\n\r\na, \"b\" caf\xC3\xA9\r\n");
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        LineWriter writer(&buffer);
        for (const QString& line : lines)
            QVERIFY(writer.writeLine(line));
        QCOMPARE(buffer.data(), expected);
        QCOMPARE(LineWriter::encode(lines), expected);
    }

    void saveReplacesEverySpelling()
    {
        WorkFolder work;
        QVERIFY(work.write("GANTREL.INI", "old upper\r\n") && work.write("gantrel.ini", "old lower\r\n"));
        QVERIFY(work.write("gantrel.ini.bak", "keep\r\n"));
        const SaveResult result = saveLines(work.dir(), "Gantrel.ini", {"-vsync OFF"});
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(work.dir().entryList(QDir::Files, QDir::Name), QStringList({"Gantrel.ini", "gantrel.ini.bak"}));
        QCOMPARE(work.read("Gantrel.ini"), QByteArray("-vsync OFF\r\n"));
    }

    void failedSaveKeepsOldFile()
    {
        WorkFolder work;
        // A folder holds the name the file must take: renaming over it fails.
        QVERIFY(work.makeFolder("Gantrel.ini") && work.write("GANTREL.INI", "old\r\n"));
        const SaveResult result = saveLines(work.dir(), "Gantrel.ini", {"new"});
        QVERIFY(!result.ok && !result.error.isEmpty());
        QCOMPARE(work.read("GANTREL.INI"), QByteArray("old\r\n"));
        QCOMPARE(work.dir().entryList(QDir::Files), QStringList{"GANTREL.INI"});
        // A folder that does not exist at all fails the same way.
        QVERIFY(!saveLines(QDir(work.filePath("nowhere")), "x.ini", {}).ok);
    }
};

QTEST_GUILESS_MAIN(TestLineWriter)
#include "tst_linewriter.moc"
