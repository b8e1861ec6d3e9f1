#include "FileLookup.h"
#include "WorkFolder.h"

#include <QTest>

using Platform::EntryKind;
using Platform::findEntry;

class TestFileLookup : public QObject
{
    Q_OBJECT

private slots:
    void findsWithoutRegardToCase();
    void exactSpellingWins();
    void kindsAreTold();
};

void TestFileLookup::findsWithoutRegardToCase()
{
    WorkFolder work;
    QVERIFY(work.write(QStringLiteral("ROMS.TXT")));
    QVERIFY(work.write(QStringLiteral("Snapshot/X.JPG")));
    QVERIFY(work.write(QStringLiteral("Roms/SF2T.zip")));
    const QDir dir = work.dir();

    QCOMPARE(findEntry(dir, QStringLiteral("roms.txt"), EntryKind::File), work.filePath(QStringLiteral("ROMS.TXT")));
    QCOMPARE(findEntry(dir, QStringLiteral("snapshot\\x.jpg"), EntryKind::File),
             work.filePath(QStringLiteral("Snapshot/X.JPG")));
    QCOMPARE(findEntry(dir, QStringLiteral(".\\roms\\sf2t.zip"), EntryKind::File),
             work.filePath(QStringLiteral("Roms/SF2T.zip")));
    QCOMPARE(findEntry(dir, QStringLiteral("snapshot/x.gif"), EntryKind::File), QString());
    QCOMPARE(findEntry(dir, QStringLiteral("shots\\x.jpg"), EntryKind::File), QString());
    QVERIFY(Platform::fileExists(dir, QStringLiteral("Roms.txt")));
}

void TestFileLookup::exactSpellingWins()
{
    WorkFolder work;
    QVERIFY(work.write(QStringLiteral("Game.ini"), "1"));
    QVERIFY(work.write(QStringLiteral("game.ini"), "2"));
    QVERIFY(work.write(QStringLiteral("GAME.INI"), "3"));
    QCOMPARE(findEntry(work.dir(), QStringLiteral("game.ini"), EntryKind::File),
             work.filePath(QStringLiteral("game.ini")));
    // Without an exact match the choice is the same every time.
    QCOMPARE(findEntry(work.dir(), QStringLiteral("gAME.ini"), EntryKind::File),
             work.filePath(QStringLiteral("GAME.INI")));
}

void TestFileLookup::kindsAreTold()
{
    WorkFolder work;
    QVERIFY(work.makeFolder(QStringLiteral("torvak.exe")));
    QVERIFY(work.makeFolder(QStringLiteral("pacx")));
    QVERIFY(work.write(QStringLiteral("TORVAK.EXE")));
    const QDir dir = work.dir();

    // A folder never passes for an ordinary file, but another spelling that is one does.
    QCOMPARE(findEntry(dir, QStringLiteral("torvak.exe"), EntryKind::File),
             work.filePath(QStringLiteral("TORVAK.EXE")));
    QVERIFY(!Platform::fileExists(dir, QStringLiteral("PACX")));
    QVERIFY(Platform::entryExists(dir, QStringLiteral("PACX")));
    QCOMPARE(findEntry(dir, QStringLiteral("pacx"), EntryKind::Folder), work.filePath(QStringLiteral("pacx")));

    QVERIFY(Platform::sameEntry(work.filePath(QStringLiteral("TORVAK.EXE")),
                                work.filePath(QStringLiteral("./TORVAK.EXE"))));
    QVERIFY(!Platform::sameEntry(work.filePath(QStringLiteral("TORVAK.EXE")), work.filePath(QStringLiteral("pacx"))));
}

QTEST_GUILESS_MAIN(TestFileLookup)
#include "tst_filelookup.moc"
