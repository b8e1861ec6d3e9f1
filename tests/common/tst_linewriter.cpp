#include "LineWriter.h"
#include "WorkFolder.h"

#include <QBuffer>
#include <QTest>

class TestLineWriter : public QObject
{
    Q_OBJECT

private slots:
    void writesCrLfLines();
    void saveReplacesEverySpelling();
    void failedSaveKeepsOldFile();
};

void TestLineWriter::writesCrLfLines()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    LineWriter writer(&buffer);
    QVERIFY(writer.writeLine(QStringLiteral("-res 320 240")));
    QVERIFY(writer.writeLine(QString()));
    QVERIFY(writer.writeLine(QStringLiteral("a, \"b\" caf\u00e9")));
    const QByteArray expected("-res 320 240\r\n\r\na, \"b\" caf\xC3\xA9\r\n");
    QCOMPARE(buffer.data(), expected);
    QCOMPARE(LineWriter::encode({QStringLiteral("-res 320 240"), QString(), QStringLiteral("a, \"b\" caf\u00e9")}),
             expected);
}

void TestLineWriter::saveReplacesEverySpelling()
{
    WorkFolder work;
    QVERIFY(work.write(QStringLiteral("GANTREL.INI"), "old upper\r\n"));
    QVERIFY(work.write(QStringLiteral("gantrel.ini"), "old lower\r\n"));
    QVERIFY(work.write(QStringLiteral("gantrel.ini.bak"), "keep\r\n"));

    const SaveResult result = saveLines(work.dir(), QStringLiteral("Gantrel.ini"), {QStringLiteral("-vsync OFF")});
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(work.dir().entryList(QDir::Files, QDir::Name),
             QStringList({QStringLiteral("Gantrel.ini"), QStringLiteral("gantrel.ini.bak")}));
    QCOMPARE(work.read(QStringLiteral("Gantrel.ini")), QByteArray("-vsync OFF\r\n"));
}

void TestLineWriter::failedSaveKeepsOldFile()
{
    WorkFolder work;
    // A folder holds the name the file must take: renaming over it fails.
    QVERIFY(work.makeFolder(QStringLiteral("Gantrel.ini")));
    QVERIFY(work.write(QStringLiteral("GANTREL.INI"), "old\r\n"));

    const SaveResult result = saveLines(work.dir(), QStringLiteral("Gantrel.ini"), {QStringLiteral("new")});
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(work.read(QStringLiteral("GANTREL.INI")), QByteArray("old\r\n"));
    QCOMPARE(work.dir().entryList(QDir::Files), QStringList{QStringLiteral("GANTREL.INI")});

    // A folder that does not exist at all fails the same way.
    const SaveResult missing = saveLines(QDir(work.filePath(QStringLiteral("nowhere"))), QStringLiteral("x.ini"), {});
    QVERIFY(!missing.ok);
}

QTEST_GUILESS_MAIN(TestLineWriter)
#include "tst_linewriter.moc"
