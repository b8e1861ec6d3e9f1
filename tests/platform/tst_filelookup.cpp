#include "FileLookup.h"
#include "WorkFolder.h"

#include <QTest>

using Platform::EntryKind;
using Platform::findEntry;

class TestFileLookup : public QObject
{
    Q_OBJECT

private slots:
    void findsEntriesWithoutRegardToCase()
    {
        WorkFolder work;
        QVERIFY(work.write("ROMS.TXT") && work.write("Snapshot/X.JPG") && work.write("Roms/SF2T.zip"));
        const QDir dir = work.dir();

        QCOMPARE(findEntry(dir, QStringLiteral("snapshot\\x.jpg"), EntryKind::File), work.filePath("Snapshot/X.JPG"));
        QCOMPARE(findEntry(dir, QStringLiteral(".\\roms\\sf2t.zip"), EntryKind::File), work.filePath("Roms/SF2T.zip"));
        QCOMPARE(findEntry(dir, "snapshot/x.gif", EntryKind::File), QString());
        QCOMPARE(findEntry(dir, QStringLiteral("shots\\x.jpg"), EntryKind::File), QString());

        // The exact spelling wins; without one the choice is the same every time.
        QVERIFY(work.write("Game.ini") && work.write("game.ini") && work.write("GAME.INI"));
        QCOMPARE(findEntry(dir, "game.ini", EntryKind::File), work.filePath("game.ini"));
        QCOMPARE(findEntry(dir, "gAME.ini", EntryKind::File), work.filePath("GAME.INI"));

        QVERIFY(work.makeFolder("torvak.exe") && work.makeFolder("pacx") && work.write("TORVAK.EXE"));

        // A folder never passes for an ordinary file, but another spelling that is one does.
        QCOMPARE(findEntry(dir, "torvak.exe", EntryKind::File), work.filePath("TORVAK.EXE"));
        QVERIFY(!Platform::fileExists(dir, "PACX"));
        QCOMPARE(findEntry(dir, "pacx", EntryKind::Folder), work.filePath("pacx"));
    }
};

QTEST_GUILESS_MAIN(TestFileLookup)
#include "tst_filelookup.moc"
