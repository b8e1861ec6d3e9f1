#include "ArchiveMaker.h"
#include "CommandLine.h"
#include "FileChanges.h"
#include "LaunchTransaction.h"
#include "WorkFolder.h"

#include <QDirIterator>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// Every entry below `folder`, links not followed, by path relative to it: its kind ('f' file,
// 'l' symbolic link, 'd' folder) and a file's content or a link's own target.
using Tree = QMap<QString, QPair<char, QByteArray>>;
Tree snapshot(const QString& folder)
{
    Tree entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QFile file(info.filePath());
        char target[4096];
        const ssize_t size = ::readlink(QFile::encodeName(info.filePath()).constData(), target, sizeof target);
        entries.insert(QDir(folder).relativeFilePath(info.filePath()),
                       info.isSymLink() ? qMakePair('l', QByteArray(target, qMax<ssize_t>(size, 0)))
                       : info.isDir()   ? qMakePair('d', QByteArray())
                                        : qMakePair('f', file.open(QIODevice::ReadOnly) ? file.readAll() : "?"));
    }
    return entries;
}

// Both trees hold the same names, kinds, contents and link targets.
void compareTrees(const Tree& actual, const Tree& expected)
{
    QCOMPARE(actual.keys(), expected.keys());
    for (auto it = expected.begin(); it != expected.end(); ++it)
        QVERIFY2(actual.value(it.key()) == *it, qPrintable(it.key()));
}

} // namespace

class TestTransaction : public QObject
{
    Q_OBJECT

private slots:
    // The emulator's command line: the set's own name, then each item of gantrel.ini (any spelling) in file
    // order, split as the emulator's home platform splits it. The item "other" introduces the free text after it,
    // which may be "other" itself; one at the end adds nothing. Empty lines add no argument.
    void commandLine()
    {
        WorkFolder work;
        const auto arguments = [&] {
            return Platform::splitCommandLine(LaunchPlan::commandLine("pacman", LaunchPlan::optionString(work.dir())));
        };
        QCOMPARE(arguments(), (QStringList{"torvak.exe", "pacman"}));
        QVERIFY(
            work.write("Gantrel.INI", "-double\r\n\r\nother\r\nother\r\nOther\r\n-a,-b -cfg \"my file\"\r\nother\r\n"));
        QCOMPARE(arguments(),
                 (QStringList{"torvak.exe", "pacman", "-double", "other", "Other", "-a", "-b", "-cfg", "my file"}));
    }

    // A record holds any byte of a name, and no prefix of one passes for a whole record.
    void recordRoundTrip()
    {
        LaunchRecord record;
        record.target = "/work/sf2t \r\n,%\xff";
        record.targetExisted = true;
        record.movedAside = {{"a b/c\r\nd", ".gantrel-kept-1"}, {"T.P1", ".gantrel-kept-2"}};
        record.folders = {"x%y", "x%y/z"};
        record.files = {"\xc3\xa9\xfe,\r", "x%y/z/f"};
        record.temporaries = {"x%y/.f.tmp"};
        const QByteArray bytes = record.serialize();
        QVERIFY(LaunchRecord::parse(bytes) == record);
        for (qsizetype n = 0; n < bytes.size(); ++n)
            QVERIFY2(!LaunchRecord::parse(bytes.left(n)), qPrintable(QString::number(n)));
        // A record naming a path outside its folder is not one of ours.
        record.files = {"../outside"};
        QVERIFY(!LaunchRecord::parse(record.serialize()));
    }

    // Extraction runs only with the working folder as the current folder, since the extraction
    // layer resolves its paths against it; a cancelled launch stops at once and keeps its record
    // for the clean-up; an entry that cannot go back keeps its copy and the record.
    void refusedCancelledAndBlocked()
    {
        WorkFolder work;
        QVERIFY(work.write("sf2t/t.rom", "user's t") && work.makeFolder("roms") &&
                writeArchive(work.filePath("roms/sf2ce.zip"), {{"t.rom", "ce's t"}}) &&
                writeArchive(work.filePath("roms/sf2t.zip"), {{"t.rom", "t"}}));
        LaunchTransaction launch(QFile::encodeName(work.path()));
        QStringList extracted;
        const auto cancel = [&](const QByteArray& archive, const QByteArray&) {
            extracted.append(QString::fromLocal8Bit(archive));
            return IZ_CTRLC;
        };
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
        const Result<int> elsewhere = launch.extract(LaunchPlan::extractions("sf2ce"), cancel);
        QVERIFY2(elsewhere.error.contains("the current folder is no longer the folder"), qPrintable(elsewhere.error));
        QVERIFY(extracted.isEmpty() && !launch.pending());

        QVERIFY(QDir::setCurrent(work.path()));
        const qint64 syncs = Platform::syncsCounted();
        const Result<int> cancelled = launch.extract(LaunchPlan::extractions("sf2ce"), cancel);
        QVERIFY(cancelled.ok());
        // The record and then its name are flushed to the disk.
        QCOMPARE(Platform::syncsCounted() - syncs, 2);
        QCOMPARE(cancelled.value, IZ_CTRLC);
        QCOMPARE(extracted, QStringList{".\\roms\\sf2ce.zip"});
        QVERIFY(launch.pending() && !QFileInfo::exists(work.filePath("sf2t/t.rom")));
        QVERIFY(launch.cleanUp().ok());
        QCOMPARE(work.read("sf2t/t.rom"), QByteArray("user's t"));

        // The emulator has put a folder where the user's file must go back: the clean-up says where
        // the copy is and keeps it with the record, and finishes once the way is clear.
        QVERIFY(launch.extract(LaunchPlan::extractions("sf2t"), LaunchTransaction::extractWithoutWindow).ok());
        QVERIFY(QFile::remove(work.filePath("sf2t/t.rom")) && work.write("sf2t/t.rom/cfg", "x"));
        const Result<> blocked = launch.cleanUp();
        QVERIFY2(blocked.error.startsWith(work.filePath("sf2t/t.rom") + " could not be put back") &&
                     blocked.error.contains("its copy is " + work.filePath("sf2t/.gantrel-kept-1") + '.'),
                 qPrintable(blocked.error));
        QVERIFY(launch.pending());
        QCOMPARE(work.read("sf2t/.gantrel-kept-1"), QByteArray("user's t"));
        QVERIFY(QDir(work.filePath("sf2t/t.rom")).removeRecursively() && launch.cleanUp().ok());
        QCOMPARE(work.read("sf2t/t.rom"), QByteArray("user's t"));
        QVERIFY(!launch.pending() && QDir::setCurrent(QDir::tempPath()));
    }

    void crashAtEveryStep_data()
    {
        QTest::addColumn<QString>("romname");
        QTest::newRow("two archives into the user's shared folder") << QStringLiteral("sf2ce");
        QTest::newRow("a zipped set into a new folder") << QStringLiteral("galaga");
    }

    // The launch and its clean-up, killed after each file change in turn until a run completes;
    // after each killed run the recovery of the next start gives back the user's folders exactly.
    void crashAtEveryStep()
    {
        QFETCH(QString, romname);
        WorkFolder work;
        // The user's shared folder lies on another file system (/dev/shm, when there is one),
        // reached through a symbolic link of another spelling.
        QTemporaryDir elsewhere(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/gantrel-XXXXXX") : QString());
        const QString shared = elsewhere.filePath(QStringLiteral("sf2t"));
        QVERIFY(work.makeFolder("roms") && QDir().mkpath(shared) && QFile::link(shared, work.filePath("SF2T")));
        QVERIFY(work.write("SF2T/sf2t.p1", "user p1") && work.write("SF2T/SF2T.P3", "user p3, another spelling") &&
                work.write("SF2T/hiscore.dat", "scores") && work.write("SF2T/sub/keep.txt", "keep") &&
                QFile::link(QStringLiteral("sf2t.p1"), shared + QStringLiteral("/sf2t.p2")));
        // A damaged member of the first archive leaves its name free, and the second writes a name of another
        // case there, which the clean-up must know too. New folders nest, so they must go deepest first.
        QVERIFY(writeArchive(work.filePath("roms/sf2ce.zip"), {{"ce.rom", "ce"},
                                                               {"gfx/", {}},
                                                               {"gfx/hi/ce.gfx", QByteArray(300000, 'g')},
                                                               {"bad.rom", "aaaaaaaa", Stored}}));
        QByteArray zip = work.read("roms/sf2ce.zip");
        QVERIFY(work.write("roms/sf2ce.zip", zip.replace(zip.indexOf("aaaa"), 1, "b")));
        QVERIFY(writeArchive(work.filePath("roms/sf2t.zip"), {{"sf2t.p1", "archive p1"},
                                                              {"sf2t.p2", "archive p2"},
                                                              {"sf2t.p3", "archive p3"},
                                                              {"ce.rom", "t's ce"},
                                                              {"BAD.ROM", "t's bad"},
                                                              {"sub/new.rom", "n"}}));
        QVERIFY(writeArchive(work.filePath("roms/galaga.zip"), {{"a.rom", "a"}, {"gfx/", {}}, {"gfx/b.rom", "b"}}));
        const Tree workBefore = snapshot(work.path());
        const Tree sharedBefore = snapshot(shared);

        qint64 k = 1;
        for (;; ++k) {
            QProcess child;
            child.setWorkingDirectory(work.path());
            child.start(QStringLiteral(CRASH_LAUNCH), {QString::number(k), romname});
            QVERIFY(child.waitForFinished(20000));
            const bool killed = child.exitStatus() == QProcess::CrashExit;
            if (!killed)
                QCOMPARE(child.exitCode(), 0);
            {
                // The next start: it takes over the dead run's lock and undoes its record.
                LaunchTransaction next(QFile::encodeName(work.path()));
                QCOMPARE(next.lock(), LaunchTransaction::Lock::Taken);
                const Result<> recovered = next.cleanUp();
                QVERIFY2(recovered.ok(), qPrintable(recovered.error));
            }
            compareTrees(snapshot(work.path()), workBefore);
            compareTrees(snapshot(shared), sharedBefore);
            if (QTest::currentTestFailed())
                return qWarning("after a kill at change %lld", k);
            if (!killed)
                break;
            QVERIFY(k < 1000);
        }
        // The record alone is several changes; the moves and extractions add more.
        QVERIFY2(k > 8, qPrintable(QString::number(k)));
    }
};

QTEST_GUILESS_MAIN(TestTransaction)
#include "tst_transaction.moc"
