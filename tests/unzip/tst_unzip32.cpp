#include "ArchiveMaker.h"
#include "Unzip32.h"
#include "WorkFolder.h"

#include <QDirIterator>
#include <QTest>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <memory>

namespace {

// What the library told the test's callbacks, and what they answer.
struct Heard
{
    QByteArray printed;
    QStringList replaceAsked;
    QList<int> replaceAnswers; // then "no"
    QStringList passwordAsked;
    QByteArray password; // null: no password is given
    QStringList listed;
    QList<QList<long long>> progress;
    bool progressOnOtherThread = false;
    USERFUNCTIONS totals = {};
};
Heard heard;

int onPrint(char* buffer, unsigned long size)
{
    // The module reads one byte past the length, so it must be the NUL that ends the text.
    heard.printed += QByteArray(buffer, static_cast<qsizetype>(size)) + (buffer[size] ? "<no NUL after the text>" : "");
    return 0;
}

int onReplace(char* name)
{
    heard.replaceAsked.append(QString::fromLocal8Bit(name));
    return heard.replaceAnswers.isEmpty() ? IDM_REPLACE_NO : heard.replaceAnswers.takeFirst();
}

int onPassword(char* buffer, int size, const char*, const char* name)
{
    const bool clean = std::all_of(buffer, buffer + size, [](char c) { return c == '\0'; });
    heard.passwordAsked.append(QString::fromLocal8Bit(name) + (clean ? "" : " <buffer not empty>"));
    qstrncpy(buffer, heard.password.constData(), static_cast<std::size_t>(size));
    return heard.password.isNull() ? 1 : 0;
}

void onList(unsigned long ucsize, unsigned long csize, unsigned cfactor, unsigned mo, unsigned dy, unsigned yr,
            unsigned hh, unsigned mm, char c, const char* filename, const char* methbuf, unsigned long crc, char fCrypt)
{
    heard.listed.append(QString::asprintf("%s %lu %lu %c%u %u-%u-%u %u:%u %s %08lx %d", filename, ucsize, csize, c,
                                          cfactor, yr, mo, dy, hh, mm, methbuf, crc, int(fCrypt)));
}

void onProgress(void* ctx, long long done, long long total)
{
    heard.progressOnOtherThread |= QThread::currentThread() != static_cast<QThread*>(ctx);
    heard.progress.append({done, total});
}

// Extracts `zip` into the folder "game", replacing files and keeping stored folders unless `flags` say otherwise.
// `names` holds `includes` include names, then the exclude names.
using Flags = QList<std::pair<int DCL::*, int>>;
int unzip(const QString& zip, const Flags& flags = {}, QList<QByteArray> names = {}, int includes = 0)
{
    QByteArray zipBytes = zip.toLocal8Bit();
    char target[] = "game";
    DCL dcl = {};
    dcl.lpszZipFN = zipBytes.data();
    dcl.lpszExtractDir = target;
    for (const auto& [flag, value] : Flags{{&DCL::noflag, 1}, {&DCL::ndflag, 1}} + flags)
        dcl.*flag = value;
    heard.totals = {onPrint, nullptr, onReplace, onPassword, onList, nullptr, 0, 0, 0, 0, 0};
    std::vector<char*> pointers;
    for (QByteArray& name : names)
        pointers.push_back(name.isNull() ? nullptr : name.data());
    return windll_unzip(includes, pointers.data(), int(names.size()) - includes, pointers.data() + includes, &dcl,
                        &heard.totals);
}

// Every file and folder below `path`, relative, sorted; folders end with '/'.
QStringList tree(const QString& path)
{
    QStringList entries;
    for (QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString name = it.next();
        entries.append(name.mid(path.size() + 1) + (QFileInfo(name).isDir() ? "/" : ""));
    }
    entries.sort();
    return entries;
}

// Partly compressible bytes, like a ROM image.
QByteArray romBytes(int size, int seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = (i / 64) % 2 ? char(i % 7) : char((quint32(i + seed) * 2654435761u) >> 24);
    return data;
}

// The bytes of an archive of `members`.
QByteArray zipped(const QList<ArchiveMember>& members)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("z.zip"));
    return writeArchive(file.fileName(), members) && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QDateTime gameTime{QDate(1998, 3, 5), QTime(9, 7, 30)};

} // namespace

// Every test runs in a fresh current folder, as the program does.
class TestUnzip32 final : public QObject
{
    Q_OBJECT

    std::unique_ptr<WorkFolder> m_work;

private slots:
    void initTestCase() { windll_set_progress(onProgress, QThread::currentThread()); }

    void init()
    {
        heard = Heard();
        m_work = std::make_unique<WorkFolder>();
        QVERIFY(QDir::setCurrent(m_work->path()));
    }

    void cleanup() { QVERIFY(QDir::setCurrent(QDir::tempPath())); }

    void extractsEveryMemberOrTheNamedOnes()
    {
        // A deflated and a stored file, a file in a stored folder, an empty folder and an empty file.
        QVERIFY(m_work->makeFolder("Roms"));
        QVERIFY(writeArchive("Roms/game.ZIP", {{"game.p1", romBytes(100000, 1), false, false, false, gameTime},
                                               {"game.p2", romBytes(5000, 2), true},
                                               {"sub/", {}},
                                               {"sub/game.p3", romBytes(3000, 3)},
                                               {"empty/", {}},
                                               {"zero.bin", {}}}));
        // Found without regard to case, with ".zip" added to a bare name.
        QCOMPARE(unzip(".\\roms\\GAME"), PK_OK);
        QCOMPARE(tree("game"), (QStringList{"empty/", "game.p1", "game.p2", "sub/", "sub/game.p3", "zero.bin"}));
        QCOMPARE(m_work->read("game/game.p1") + m_work->read("game/game.p2") + m_work->read("game/sub/game.p3"),
                 romBytes(100000, 1) + romBytes(5000, 2) + romBytes(3000, 3));
        QCOMPARE(QFileInfo("game/game.p1").lastModified(), gameTime);
        QVERIFY(heard.printed.contains("inflating: game.p1\n") && !heard.printed.contains("<no NUL"));

        QVERIFY(QDir("game").removeRecursively());
        QCOMPARE(unzip(m_work->path() + "/ROMS/game.zip", {{&DCL::ndflag, 0}}), PK_OK);
        QCOMPARE(tree("game"), (QStringList{"game.p1", "game.p2", "game.p3", "zero.bin"}));
        QCOMPARE(m_work->read("game/game.p3"), romBytes(3000, 3));

        QVERIFY(QDir("game").removeRecursively());
        // Every call excludes "*p1"; null include entries are passed over, and case counts unless told otherwise.
        QCOMPARE(unzip("Roms/game.ZIP", {}, {"game.p?", {}, "sub/*", "*p1"}, 3), PK_OK);
        QCOMPARE(tree("game"), (QStringList{"game.p2", "sub/", "sub/game.p3"}));
        QVERIFY(QDir("game").removeRecursively());
        QCOMPARE(unzip("Roms/game.ZIP", {{&DCL::C_flag, 1}}, {"GAME.P?", "*p1"}, 1), PK_OK);
        QCOMPARE(tree("game"), QStringList{"game.p2"});
        QVERIFY(QDir("game").removeRecursively());
        QCOMPARE(unzip("Roms/game.ZIP", {}, {"game.p2", "GAME.P3"}, 2), PK_FIND);
        QCOMPARE(tree("game"), QStringList{"game.p2"});
    }

    void existingFiles_data()
    {
        QTest::addColumn<int>("noflag");
        QTest::addColumn<int>("prompt");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QString>("kept");
        QTest::newRow("replaced silently") << 1 << 1 << QList<int>() << "new1new2";
        QTest::newRow("kept silently") << 0 << 0 << QList<int>() << "old1old2";
        QTest::newRow("no, then yes") << 0 << 1 << QList<int>{IDM_REPLACE_NO, IDM_REPLACE_YES} << "old1new2";
        QTest::newRow("none skips the rest") << 0 << 1 << QList<int>{IDM_REPLACE_NONE} << "old1old2";
    }

    void existingFiles()
    {
        QFETCH(int, noflag);
        QFETCH(int, prompt);
        QFETCH(QList<int>, answers);
        QFETCH(QString, kept);
        QVERIFY(writeArchive("g.zip", {{"one.rom", "new1"}, {"fresh.rom", "fresh"}, {"two.rom", "new2"}}));
        QVERIFY(m_work->write("game/one.rom", "old1") && m_work->write("game/two.rom", "old2"));
        heard.replaceAnswers = answers;
        QCOMPARE(unzip("g.zip", {{&DCL::noflag, noflag}, {&DCL::PromptToOverwrite, prompt}}), PK_OK);
        // Asked once for each answer given, no more.
        QCOMPARE(heard.replaceAsked, QStringList({"game/one.rom", "game/two.rom"}).mid(0, answers.size()));
        QCOMPARE(m_work->read("game/one.rom") + m_work->read("game/two.rom") + m_work->read("game/fresh.rom"),
                 kept.toLatin1() + "fresh");
        // No temporary file is left behind.
        QCOMPARE(tree("game"), (QStringList{"fresh.rom", "one.rom", "two.rom"}));
    }

    void badArchives_data()
    {
        // The archive, whether it is extracted with its folders, the status, then what the working folder holds
        // afterwards. A folder "in the way.rom" is in the target folder from the start.
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<int>("dirs");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("files");
        const QStringList before{"d.zip", "game/", "game/in the way.rom/"};
        const QByteArray good = zipped({{"a.rom", "aaaaaaaa", true}, {"b.rom", "aaaaaaaa", true}});
        QTest::newRow("0 bytes") << QByteArray() << 1 << PK_NOZIP << before;
        // libzip writes no file for an archive without members; an empty archive is 22 bytes.
        QTest::newRow("empty archive") << QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0') << 1 << PK_WARN << before;
        QTest::newRow("not an archive") << QByteArray(5000, 'g') << 1 << PK_NOZIP << before;
        QTest::newRow("truncated") << good.left(good.size() / 2) << 1 << PK_NOZIP << before;
        QTest::newRow("bad CRC") << QByteArray(good).replace(good.indexOf("aaaa"), 1, "b") << 1 << PK_ERR
                                 << before + QStringList{"game/b.rom"};
        // The second member's entry points at the first member's bytes.
        QTest::newRow("overlapping members")
            << QByteArray(good).replace(good.lastIndexOf("PK\x01\x02") + 42, 4, QByteArray(4, '\0')) << 1 << PK_OK
            << before + QStringList{"game/a.rom", "game/b.rom"};
        QList<ArchiveMember> unsafe{{"link.rom", "/etc/passwd", false, false, true}};
        for (const char* name : {"../x", "/x", "a/../../x", "C:\\x", "C:x", "back\\slash", "good"})
            unsafe.append(ArchiveMember(name, "x"));
        QTest::newRow("unsafe names and a link")
            << zipped(unsafe) << 1 << PK_WARN << before + QStringList{"game/back/", "game/back/slash", "game/good"};
        // Junking the paths does not make them safe.
        QTest::newRow("unsafe names, paths junked")
            << zipped(unsafe) << 0 << PK_WARN << before + QStringList{"game/good", "game/slash"};
        QTest::newRow("a folder in the way") << zipped({{"in the way.rom", "x"}, {"sub/b.rom", "b"}}) << 1 << PK_DISK
                                             << before + QStringList{"game/sub/", "game/sub/b.rom"};
    }

    // Nothing is written outside the target folder, and no member is left half-written.
    void badArchives()
    {
        QFETCH(QByteArray, archive);
        QFETCH(int, dirs);
        QFETCH(int, status);
        QFETCH(QStringList, files);
        QVERIFY(m_work->write("d.zip", archive) && m_work->makeFolder("game/in the way.rom"));
        QCOMPARE(unzip("d.zip", {{&DCL::ndflag, dirs}}), status);
        files.sort();
        QCOMPARE(tree("."), files);
        QVERIFY(!QFileInfo::exists("/x"));
    }

    void failedWritesAndDamagedArchives()
    {
        QVERIFY(writeArchive("d.zip", {{"a.rom", romBytes(200000, 4)}, {"sub/b.rom", romBytes(1000, 5)}}));
        // A file where a folder goes: the other member is still written.
        QVERIFY(m_work->write("game/sub", "in the way"));
        QCOMPARE(unzip("d"), PK_DISK);
        QCOMPARE(m_work->read("game/a.rom"), romBytes(200000, 4));
        QVERIFY(heard.printed.contains("cannot create folder"));

        // The replacement of a spoilt member goes to a temporary file, so the old file stays whole.
        QVERIFY(QDir("game").removeRecursively() && m_work->write("game/a.rom", "old"));
        QVERIFY(m_work->write("d.zip", m_work->read("d.zip").replace(1000, 200, QByteArray(200, '\x55'))));
        QCOMPARE(unzip("d"), PK_ERR);
        QCOMPARE(m_work->read("game/a.rom"), QByteArray("old"));
        QCOMPARE(tree("game"), (QStringList{"a.rom", "sub/", "sub/b.rom"}));
        QVERIFY(heard.printed.contains("cannot read a.rom"));
    }

    void encryptedMembers()
    {
        if (!canEncrypt())
            QSKIP("this libzip cannot write encrypted members");
        QVERIFY(writeArchive("e.zip", {{"plain.rom", "plain"},
                                       {"secret.rom", romBytes(20000, 6), false, true},
                                       {"secret2.rom", "two", true, true}}));
        // Without a password, or with a wrong one, each member is asked for and skipped; the buffer comes empty.
        QCOMPARE(unzip("e.zip"), IZ_BADPWD);
        heard.password = rejectedPassword(QStringLiteral("e.zip"));
        QVERIFY(!heard.password.isEmpty());
        QCOMPARE(unzip("e.zip"), IZ_BADPWD);
        QCOMPARE(tree("game"), QStringList{"plain.rom"});
        // The password that works is kept for the members after it.
        heard.password = "secret";
        QCOMPARE(unzip("e.zip"), PK_OK);
        QCOMPARE(m_work->read("game/secret.rom") + m_work->read("game/secret2.rom"), romBytes(20000, 6) + "two");
        QCOMPARE(heard.passwordAsked,
                 (QStringList{"secret.rom", "secret2.rom", "secret.rom", "secret2.rom", "secret.rom"}));
    }

    void listsInsteadOfExtracting()
    {
        const QDateTime when(QDate(1998, 3, 5), QTime(9, 7, 0));
        QVERIFY(writeArchive("l.zip", {{"big.rom", QByteArray(10000, 'a'), false, false, false, when},
                                       {"dir\\stored.rom", "abc", true, false, false, when},
                                       {"folder/", {}, false, false, false, when}}));
        QCOMPARE(unzip("l.zip", {{&DCL::nvflag, 1}}), PK_OK);
        QVERIFY(!QFileInfo::exists("game"));
        QCOMPARE(heard.listed.mid(1), (QStringList{"dir/stored.rom 3 3  0 1998-3-5 9:7 Stored 352441c2 0",
                                                   "folder/ 0 0  0 1998-3-5 9:7 Stored 00000000 0"}));
        // How small the deflated member gets depends on the zlib at hand.
        const QString first = heard.listed.value(0);
        QVERIFY2(first.startsWith("big.rom 10000 ") && first.contains(" 1998-3-5 9:7 Defl:N "), qPrintable(first));
        QCOMPARE(heard.totals.NumMembers, 3u);
        QCOMPARE(heard.totals.TotalSize, 10003ul);
    }

    void reportsProgressOnTheCallingThread()
    {
        QVERIFY(writeArchive("p.zip",
                             {{"small.rom", "s"}, {"large.rom", romBytes(13 * 1024 * 1024, 7)}, {"last.rom", "l"}}));
        QCOMPARE(unzip("p.zip"), PK_OK);
        QVERIFY(!heard.progressOnOtherThread);
        // Once after each member and once for each 4 MiB of the large one, whichever thread wrote it.
        QCOMPARE(heard.progress.size(), 3 + 3);
        QVERIFY(std::is_sorted(heard.progress.begin(), heard.progress.end()));
        QVERIFY(heard.progress.contains(QList<long long>{1, 3}) && heard.progress.contains(QList<long long>{2, 3}));
        QCOMPARE(heard.progress.last(), (QList<long long>{3, 3}));
    }
};

QTEST_GUILESS_MAIN(TestUnzip32)
#include "tst_unzip32.moc"
