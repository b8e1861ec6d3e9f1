#include "ArchiveMaker.h"
#include "ExtractionPlan.h"
#include "Unzip32.h"
#include "WorkFolder.h"

#include <QDirIterator>
#include <QMap>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <numeric>
#include <memory>

namespace {

// What the library told the test's callbacks, and what they answer.
struct Heard
{
    QByteArray printed;
    QStringList asked;         // the names that replace and password queries were about
    QList<int> replaceAnswers; // then "no"
    QByteArray password;       // null: no password is given
    QStringList listed;
    QList<QList<long long>> progress;
    int stopAfter = -1; // progress reports answered 0 before the one that asks to stop
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
    heard.asked.append(QString::fromLocal8Bit(name));
    return heard.replaceAnswers.isEmpty() ? IDM_REPLACE_NO : heard.replaceAnswers.takeFirst();
}

int onPassword(char* buffer, int size, const char*, const char* name)
{
    const bool clean = std::all_of(buffer, buffer + size, [](char c) { return c == '\0'; });
    heard.asked.append(QString::fromLocal8Bit(name) + (clean ? "" : " <buffer not empty>"));
    qstrncpy(buffer, heard.password.constData(), static_cast<std::size_t>(size));
    return heard.password.isNull() ? 1 : 0;
}

void onList(unsigned long ucsize, unsigned long csize, unsigned cfactor, unsigned mo, unsigned dy, unsigned yr,
            unsigned hh, unsigned mm, char c, const char* filename, const char* methbuf, unsigned long crc, char fCrypt)
{
    heard.listed.append(QString::asprintf("%s %lu %lu %c%u %u-%u-%u %u:%u %s %08lx %d", filename, ucsize, csize, c,
                                          cfactor, yr, mo, dy, hh, mm, methbuf, crc, int(fCrypt)));
}

int onProgress(void* ctx, long long done, long long total)
{
    heard.progressOnOtherThread |= QThread::currentThread() != static_cast<QThread*>(ctx);
    heard.progress.append({done, total});
    return heard.stopAfter >= 0 && heard.progress.size() > heard.stopAfter ? 1 : 0;
}

// Every entry below `root`, links not followed: a file's content, "/" for a folder, "->" and its target for a link.
QMap<QString, QByteArray> tree(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        QFile file(entry.filePath());
        entries.insert(entry.filePath().mid(root.size() + 1),
                       entry.isSymLink() ? "->" + entry.symLinkTarget().toUtf8()
                       : entry.isDir()   ? QByteArray("/")
                                         : (file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>"));
    }
    return entries;
}

// Extracts `zip` into the folder "game", replacing files and keeping stored folders unless `flags` say otherwise;
// gives the status, then what the folder holds. `names` holds `includes` include names, then the exclude names.
using Flags = QList<std::pair<int DCL::*, int>>;
QString unzip(const QString& zip, const Flags& flags = {}, QList<QByteArray> names = {}, int includes = 0)
{
    QByteArray zipBytes = zip.toLocal8Bit(), target = "game";
    DCL dcl = {};
    dcl.lpszZipFN = zipBytes.data();
    dcl.lpszExtractDir = target.data();
    for (const auto& [flag, value] : Flags{{&DCL::noflag, 1}, {&DCL::ndflag, 1}} + flags)
        dcl.*flag = value;
    heard.totals = {onPrint, nullptr, onReplace, onPassword, onList, nullptr, 0, 0, 0, 0, 0};
    std::vector<char*> pointers;
    for (QByteArray& name : names)
        pointers.push_back(name.isNull() ? nullptr : name.data());
    const int status = windll_unzip(includes, pointers.data(), int(names.size()) - includes, pointers.data() + includes,
                                    &dcl, &heard.totals);
    // Every file and folder in the target, sorted; folders end with '/'.
    QStringList entries;
    const QMap<QString, QByteArray> made = tree(target);
    for (auto it = made.begin(); it != made.end(); ++it)
        entries.append(it.key() + (it.value() == "/" ? "/" : ""));
    entries.sort();
    return QString::number(status) + (QFileInfo::exists(target) ? ": " : ", no folder") + entries.join(' ');
}

// Partly compressible bytes, like a ROM image.
QByteArray romBytes(int size, int seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = (i / 64) % 2 ? char(i % 7) : char((quint32(i + seed) * 2654435761u) >> 24);
    return data;
}

const QDateTime gameTime{QDate(1998, 3, 5), QTime(9, 7, 30)};

// Empty stored members m0, m1, ...: a large central directory.
QList<ArchiveMember> emptyMembers(int count)
{
    QList<ArchiveMember> members;
    for (int i = 0; i < count; ++i)
        members.append({"m" + QString::number(i), {}, Stored});
    return members;
}

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
        QVERIFY(m_work->write("Roms/game.ZIP", archiveBytes({{"game.p1", romBytes(100000, 1), 0, gameTime},
                                                             {"game.p2", romBytes(5000, 2), Stored},
                                                             {"sub/"},
                                                             {"sub/game.p3", romBytes(3000, 3)},
                                                             {"empty/"},
                                                             {"zero.bin"}})));
        // Found without regard to case, with ".zip" added to a bare name.
        QCOMPARE(unzip(".\\roms\\GAME"), "0: empty/ game.p1 game.p2 sub/ sub/game.p3 zero.bin");
        QCOMPARE((QList<QByteArray>{m_work->read("game/game.p1"), m_work->read("game/game.p2"),
                                    m_work->read("game/sub/game.p3")}),
                 (QList<QByteArray>{romBytes(100000, 1), romBytes(5000, 2), romBytes(3000, 3)}));
        QCOMPARE(QFileInfo("game/game.p1").lastModified(), gameTime);
        QVERIFY(heard.printed.contains("inflating: game.p1\n") && !heard.printed.contains("<no NUL"));

        QVERIFY(QDir("game").removeRecursively());
        QCOMPARE(unzip(m_work->path() + "/ROMS/game.zip", {{&DCL::ndflag, 0}}), "0: game.p1 game.p2 game.p3 zero.bin");
        QCOMPARE(m_work->read("game/game.p3"), romBytes(3000, 3));

        // Every call excludes "*p1"; null include entries are passed over, and case counts unless told otherwise.
        QVERIFY(QDir("game").removeRecursively());
        QCOMPARE(unzip("Roms/game.ZIP", {}, {"game.p?", {}, "sub/*", "*p1"}, 3), "0: game.p2 sub/ sub/game.p3");
        QVERIFY(QDir("game").removeRecursively());
        QCOMPARE(unzip("Roms/game.ZIP", {{&DCL::C_flag, 1}}, {"GAME.P?", "*p1"}, 1), "0: game.p2");
        QVERIFY(QDir("game").removeRecursively());
        QCOMPARE(unzip("Roms/game.ZIP", {}, {"game.p2", "GAME.P3"}, 2), "11: game.p2");
    }

    void planMatchesExtraction_data()
    {
        // What the target folder "game" holds first ("f:" file, "d:" folder, "l:" link, "t:" the target itself a
        // link to a folder "real"), the archives extracted into it in turn, the statuses, and the entries the plan
        // moves aside.
        QTest::addColumn<QStringList>("disk");
        QTest::addColumn<QList<QList<ArchiveMember>>>("archives");
        QTest::addColumn<QList<int>>("statuses");
        QTest::addColumn<QStringList>("movedAside");
        using Archives = QList<QList<ArchiveMember>>;
        const auto row = [](const char* name, const QStringList& disk, const Archives& archives,
                            const QList<int>& statuses, const QStringList& movedAside = {}) {
            QTest::newRow(name) << disk << archives << statuses << movedAside;
        };
        row("a file of another case", {"f:SF2T.P1", "f:keep.rom"}, {{{"sf2t.p1", "new"}}}, {0}, {"SF2T.P1"});
        row("two archives, names of different case", {},
            {{{"a.rom", "1"}, {"Sub/x.rom", "1"}},
             {{"A.ROM", "2"}, {"sub/X.ROM", "2"}, {"SUB/y.rom", "2"}, {"a.ROM", "3"}}},
            {0, 0});
        row("a folder of another case", {"d:ROMS/Old"}, {{{"roms/old/a.bin", "a"}, {"Roms/"}}}, {0});
        row("links: replaced, never followed", {"l:a.rom", "l:sub", "f:b.rom"},
            {{{"A.rom", "a"}, {"sub/evil.bin", "x"}, {"b.rom", "b"}, {"c.rom", "c"}}}, {1}, {"a.rom", "b.rom"});
        // The link is moved aside before anything is extracted, so the first member makes a folder in its place.
        row("a link replaced after a member passed through it", {"l:sub"}, {{{"sub/evil.bin", "x"}, {"Sub", "file"}}},
            {50}, {"sub"});
        row("a folder in the way, a file in the way", {"d:x.rom/in", "f:f"},
            {{{"X.ROM", "x"}, {"F/y.rom", "y"}, {"z.rom", "z"}}}, {50});
        row("a file, then a folder of its name", {}, {{{"a", "a"}, {"a/b", "b"}}, {{"A/c", "c"}, {"b/"}}}, {50, 50});
        row("the target is a link", {"t:", "f:a.rom", "d:sub"}, {{{"a.rom", "new"}, {"SUB/b.rom", "b"}}}, {0},
            {"a.rom"});
        row("no target yet", {"-"}, {{{"d/a.rom", "a"}}}, {0});
        // The launcher gives no password: the encrypted member is skipped, and still names the file the next one
        // replaces, as the plan has it.
        if (canEncrypt())
            row("an encrypted member, then its name in another case", {},
                {{{"dup.bin", "1", Encrypted}, {"DUP.bin", "2"}}}, {82});
        // Of several spellings the exact one of the kind wanted wins, then the first of that kind in byte order;
        // other scripts meet by their case.
        row("names of several cases", {"f:a.rom", "f:A.ROM", "f:\u00c9T\u00c9.rom", "f:SUB", "d:Sub", "f:sub"},
            {{{"a.rom", "1"}, {"a.Rom", "2"}, {"\u00e9t\u00e9.ROM", "3"}, {"sub/x.rom", "4"}}}, {0},
            {"a.rom", "A.ROM", "\u00c9T\u00c9.rom"});
    }

    // After the launcher has moved aside what the plan says, extracting the archives in turn makes exactly the
    // planned folders and files, and replaces nothing.
    void planMatchesExtraction()
    {
        QFETCH(QStringList, disk);
        QFETCH(QList<QList<ArchiveMember>>, archives);
        QFETCH(QList<int>, statuses);
        QFETCH(QStringList, movedAside);
        QVERIFY(m_work->makeFolder("outside"));
        if (!disk.contains("-"))
            QVERIFY(m_work->makeFolder("game"));
        for (const QString& entry : disk) {
            const QString path = "game/" + entry.mid(2);
            if (entry.startsWith("t:"))
                QVERIFY(QDir("game").removeRecursively() && m_work->makeFolder("real") && QFile::link("real", "game"));
            else if (entry.startsWith("f:"))
                QVERIFY(m_work->write(path, "old " + path.toUtf8()));
            else if (entry.startsWith("d:"))
                QVERIFY(m_work->makeFolder(path));
            else if (entry.startsWith("l:"))
                QVERIFY(QFile::link(m_work->filePath("outside"), path));
        }
        QList<QByteArray> zips;
        for (const QList<ArchiveMember>& members : archives) {
            zips.append("roms/set" + QByteArray::number(zips.size()) + ".zip");
            QVERIFY(m_work->makeFolder("roms") && writeArchive(zips.last(), members));
        }
        DCL launcher = {};
        launcher.noflag = 1;
        launcher.ndflag = 1;
        const Unzip::ExtractionPlan plan = Unzip::planExtractions(zips, disk.contains("-") ? "game" : "GAME", launcher);
        QCOMPARE(plan.targetFolder, QFile::encodeName(m_work->filePath("game")));
        QCOMPARE(plan.targetExists, !disk.contains("-"));
        // A plan asks for no password.
        QCOMPARE(plan.status, std::accumulate(statuses.begin(), statuses.end(), 0,
                                              [](int a, int b) { return std::max(a, b == IZ_BADPWD ? 0 : b); }));

        // The launcher moves aside what the plan says before anything is extracted.
        QStringList moved, planned;
        for (const Unzip::PlannedChange& change : plan.changes) {
            const QString path = QString::fromUtf8(change.path);
            if (change.kind == Unzip::PlannedChange::Kind::MoveAside) {
                moved.append(path);
                QVERIFY(planned.isEmpty() && QFile::rename("game/" + path, "outside/" + QString::number(qHash(path))));
            } else if (change.kind != Unzip::PlannedChange::Kind::Temporary) {
                planned.append(path);
            }
        }
        QCOMPARE(moved, movedAside);
        planned.sort();
        const QMap<QString, QByteArray> before = tree("game");
        const QMap<QString, QByteArray> outside = tree("outside");

        QList<int> got;
        for (const QByteArray& zip : zips)
            got.append(unzip(zip).section(QRegularExpression("[:,]"), 0, 0).toInt());
        QCOMPARE(got, statuses);
        QMap<QString, QByteArray> after = tree("game");
        for (auto it = before.begin(); it != before.end(); ++it)
            QCOMPARE(after.take(it.key()), it.value()); // nothing that was there is replaced
        QCOMPARE(after.keys(), planned);
        QCOMPARE(tree("outside"), outside);
    }

    void optionsTheLauncherNeverSets_data()
    {
        // The archive holds a.rom, b.rom and c.rom of 1998 and "my game/a b.rom"; game/a.rom is from 1990 and
        // game/b.rom from 2005 when the call starts. Then the files afterwards, and what is printed.
        QTest::addColumn<Flags>("flags");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QByteArray>("printed");
        const QStringList allNew{"a.rom new", "b.rom new", "c.rom new", "my game/a b.rom new"};
        QTest::newRow("only newer") << Flags{{&DCL::ExtractOnlyNewer, 1}}
                                    << QStringList{"a.rom new", "b.rom old", "c.rom new", "my game/a b.rom new"}
                                    << QByteArray("extracting: a.rom\n");
        QTest::newRow("freshen") << Flags{{&DCL::nfflag, 1}} << QStringList{"a.rom new", "b.rom old"}
                                 << QByteArray("extracting: a.rom\n");
        QTest::newRow("space to underscore")
            << Flags{{&DCL::SpaceToUnderscore, 1}}
            << QStringList{"a.rom new", "b.rom new", "c.rom new", "my_game/a_b.rom new"}
            << QByteArray("my_game/a_b.rom");
        QTest::newRow("quiet: warnings and errors only")
            << Flags{{&DCL::fQuiet, 1}} << allNew << QByteArray("skipped \"../up.rom\"");
        QTest::newRow("quiet: nothing") << Flags{{&DCL::fQuiet, 2}} << allNew << QByteArray();
    }

    void optionsTheLauncherNeverSets()
    {
        QFETCH(Flags, flags);
        QFETCH(QByteArray, printed);
        QVERIFY(writeArchive("o.zip", {{"a.rom", "new", 0, gameTime},
                                       {"b.rom", "new", 0, gameTime},
                                       {"c.rom", "new", 0, gameTime},
                                       {"my game/a b.rom", "new", 0, gameTime},
                                       {"../up.rom", "up"}}));
        QVERIFY(m_work->write("game/a.rom", "old") && m_work->write("game/b.rom", "old"));
        for (const auto& [name, year] : {std::pair{"game/a.rom", 1990}, std::pair{"game/b.rom", 2005}}) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::ReadWrite) &&
                    file.setFileTime(QDateTime(QDate(year, 1, 1), QTime(0, 0)), QFileDevice::FileModificationTime));
        }
        QCOMPARE(unzip("o.zip", flags).left(2), "1:");
        QStringList files;
        const QMap<QString, QByteArray> entries = tree("game");
        for (auto it = entries.begin(); it != entries.end(); ++it)
            if (it.value() != "/")
                files.append(it.key() + ' ' + it.value());
        QTEST(files, "files");
        QVERIFY2(printed.isEmpty() ? heard.printed.isEmpty() : heard.printed.contains(printed), heard.printed.data());
        if (flags.first().first == &DCL::fQuiet)
            QVERIFY2(!heard.printed.contains("extracting"), heard.printed.constData());
    }

    // Members too deep for the file system are skipped without recursion, and a tree is the same on every run.
    void deepMembersAndTheSameTreeEveryTime()
    {
        const QByteArray sixtyFour = QByteArray("d/").repeated(64);
        QVERIFY(writeArchive("deep.zip", {{QString(QByteArray("a/").repeated(32000) + "f"), "x"},
                                          {QString(sixtyFour + "d/f"), "x"},
                                          {QString(sixtyFour + "deep.rom"), "kept"},
                                          {QString(300, 'n') + ".rom", "x"},
                                          {"a", "a file"},
                                          {"a/b", "in a folder"}}));
        const QString first = unzip("deep.zip");
        QVERIFY(first.startsWith("50: a d/"));
        QCOMPARE(heard.printed.count("more than 64 folders deep"), 2);
        QCOMPARE(heard.printed.count("its path is too long"), 1);
        QCOMPARE(m_work->read("game/" + sixtyFour + "deep.rom"), "kept");
        for (int run = 0; run < 20; ++run) {
            QVERIFY(QDir("game").removeRecursively());
            QCOMPARE(unzip("deep.zip"), first);
        }
    }

    // A nonzero answer to a progress report stops the extraction after the member being written, also while
    // members are still being planned.
    void cancelStopsAfterTheMember()
    {
        QVERIFY(writeArchive("c.zip", {{"one.rom", romBytes(9 * 1024 * 1024, 1)}, {"two.rom", "2"}, {"three.rom"}}));
        heard.stopAfter = 0;
        QCOMPARE(unzip("c.zip"), "80: one.rom");
        QCOMPARE(m_work->read("game/one.rom"), romBytes(9 * 1024 * 1024, 1));

        QVERIFY(writeArchive("many.zip", emptyMembers(5000)) && QDir("game").removeRecursively());
        heard = Heard();
        heard.stopAfter = 0;
        QCOMPARE(unzip("many.zip"), "80: ");
        QCOMPARE(heard.progress, (QList<QList<long long>>{{0, 5000}}));
    }

    void existingFiles_data()
    {
        QTest::addColumn<int>("noflag");
        QTest::addColumn<int>("prompt");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QList<QByteArray>>("kept");
        using Bytes = QList<QByteArray>;
        QTest::newRow("replaced silently") << 1 << 1 << QList<int>() << Bytes{"new1", "new2", "fresh"};
        QTest::newRow("kept silently") << 0 << 0 << QList<int>() << Bytes{"old1", "old2", "fresh"};
        QTest::newRow("no, then yes") << 0 << 1 << QList<int>{IDM_REPLACE_NO, IDM_REPLACE_YES}
                                      << Bytes{"old1", "new2", "fresh"};
        QTest::newRow("none skips the rest")
            << 0 << 1 << QList<int>{IDM_REPLACE_NONE} << Bytes{"old1", "old2", "fresh"};
    }

    void existingFiles()
    {
        QFETCH(int, noflag);
        QFETCH(int, prompt);
        QFETCH(QList<int>, answers);
        QVERIFY(writeArchive("g.zip", {{"one.rom", "new1"}, {"fresh.rom", "fresh"}, {"two.rom", "new2"}}));
        QVERIFY(m_work->write("game/one.rom", "old1") && m_work->write("game/two.rom", "old2"));
        heard.replaceAnswers = answers;
        // No temporary file is left behind.
        QCOMPARE(unzip("g.zip", {{&DCL::noflag, noflag}, {&DCL::PromptToOverwrite, prompt}}),
                 "0: fresh.rom one.rom two.rom");
        // Asked once for each answer given, no more.
        QCOMPARE(heard.asked, QStringList({"game/one.rom", "game/two.rom"}).mid(0, answers.size()));
        QTEST((QList<QByteArray>{m_work->read("game/one.rom"), m_work->read("game/two.rom"),
                                 m_work->read("game/fresh.rom")}),
              "kept");
    }

    void badArchives_data()
    {
        // The archive, whether it is extracted with its folders, then the status and what the target folder holds
        // afterwards. A folder "in the way.rom" is in the target folder from the start.
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<int>("dirs");
        QTest::addColumn<QString>("result");
        const QByteArray good = archiveBytes({{"a.rom", "aaaaaaaa", Stored}, {"b.rom", "aaaaaaaa", Stored}});
        QTest::newRow("0 bytes") << QByteArray() << 1 << "9: in the way.rom/";
        // libzip writes no file for an archive without members; an empty archive is 22 bytes.
        QTest::newRow("empty archive") << QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0') << 1
                                       << "1: in the way.rom/";
        QTest::newRow("truncated") << good.left(good.size() / 2) << 1 << "9: in the way.rom/";
        QTest::newRow("bad CRC") << QByteArray(good).replace(good.indexOf("aaaa"), 1, "b") << 1
                                 << "2: b.rom in the way.rom/";
        // The second member's entry points at the first member's bytes.
        QTest::newRow("overlapping members")
            << QByteArray(good).replace(good.lastIndexOf("PK\x01\x02") + 42, 4, QByteArray(4, '\0')) << 1
            << "0: a.rom b.rom in the way.rom/";
        // A directory read in parts: the last entry, past the first part, claims a UTF-8 name that is not. Nothing
        // of the first part is written either.
        QByteArray lastBad = archiveBytes(emptyMembers(5000));
        const qsizetype last = lastBad.lastIndexOf("PK\x01\x02");
        lastBad[last + 9] = char(lastBad[last + 9] | 0x08);
        lastBad[last + 46] = '\xff';
        QTest::newRow("bad entry late in a large directory") << lastBad << 1 << "2: in the way.rom/";
        QList<ArchiveMember> unsafe{{"link.rom", "/etc/passwd", Symlink}};
        for (const char* name : {"../x", "/x", "a/../../x", "C:\\x", "C:x", "back\\slash", "good"})
            unsafe.append(ArchiveMember{name, "x"});
        QTest::newRow("unsafe names and a link")
            << archiveBytes(unsafe) << 1 << "1: back/ back/slash good in the way.rom/";
        // Junking the paths does not make them safe.
        QTest::newRow("unsafe names, paths junked") << archiveBytes(unsafe) << 0 << "1: good in the way.rom/ slash";
    }

    // Nothing is written outside the target folder, and no member is left half-written.
    void badArchives()
    {
        QFETCH(QByteArray, archive);
        QFETCH(int, dirs);
        QVERIFY(m_work->write("d.zip", archive) && m_work->makeFolder("game/in the way.rom"));
        QTEST(unzip("d.zip", {{&DCL::ndflag, dirs}}), "result");
        QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{"d.zip", "game"}));
        QVERIFY(!QFileInfo::exists("/x"));
    }

    // The replacement of a spoilt member goes to a temporary file, so the old file stays whole. A file or folder
    // in the way of a member is in planMatchesExtraction.
    void damagedMemberKeepsTheOldFile()
    {
        QVERIFY(writeArchive("d.zip", {{"a.rom", romBytes(200000, 4)}, {"sub/b.rom", romBytes(1000, 5)}}));
        QVERIFY(m_work->write("game/a.rom", "old"));
        QVERIFY(m_work->write("d.zip", m_work->read("d.zip").replace(1000, 200, QByteArray(200, '\x55'))));
        QCOMPARE(unzip("d"), "2: a.rom sub/ sub/b.rom");
        QCOMPARE(m_work->read("game/a.rom"), "old");
        QVERIFY2(heard.printed.contains("cannot read a.rom"), heard.printed.constData());

        // Two large members, which may be written at once, never when they share a name: the spoilt one, found
        // out last, would remove the file of the other.
        QVERIFY(writeArchive("t.zip", {{"twin.rom", romBytes(4 << 20, 6)}, {"TWIN.ROM", romBytes(1 << 20, 7)}}));
        QByteArray twins = m_work->read("t.zip");
        QVERIFY(m_work->write("t.zip", twins.replace(twins.indexOf("PK\x03\x04", 4) - 50, 40, QByteArray(40, 'x'))));
        QCOMPARE(unzip("t.zip"), "2: a.rom sub/ sub/b.rom twin.rom");
        QCOMPARE(m_work->read("game/twin.rom"), romBytes(1 << 20, 7));
    }

    void encryptedMembers()
    {
        if (!canEncrypt())
            QSKIP("this libzip cannot write encrypted members");
        QVERIFY(writeArchive("e.zip", {{"plain.rom", "plain"},
                                       {"secret.rom", romBytes(20000, 6), Encrypted},
                                       {"secret2.rom", "two", Stored | Encrypted}}));
        // Without a password, or with a wrong one, each member is asked for and skipped; the buffer comes empty.
        QCOMPARE(unzip("e.zip"), "82: plain.rom");
        QVERIFY(!(heard.password = rejectedPassword("e.zip")).isEmpty());
        QCOMPARE(unzip("e.zip"), "82: plain.rom");
        // The password that works is kept for the members after it.
        heard.password = "secret";
        QCOMPARE(unzip("e.zip"), "0: plain.rom secret.rom secret2.rom");
        QCOMPARE((QList<QByteArray>{m_work->read("game/secret.rom"), m_work->read("game/secret2.rom")}),
                 (QList<QByteArray>{romBytes(20000, 6), "two"}));
        QCOMPARE(heard.asked, (QStringList{"secret.rom", "secret2.rom", "secret.rom", "secret2.rom", "secret.rom"}));
    }

    void listsInsteadOfExtracting()
    {
        QVERIFY(writeArchive("l.zip", {{"big.rom", QByteArray(10000, 'a'), 0, gameTime},
                                       {"dir\\stored.rom", "abc", Stored, gameTime},
                                       {"folder/", {}, 0, gameTime}}));
        QCOMPARE(unzip("l.zip", {{&DCL::nvflag, 1}}), "0, no folder");
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
        QCOMPARE(unzip("p.zip"), "0: large.rom last.rom small.rom");
        // Once after each member and once for each 4 MiB of the large one, whichever thread wrote it.
        QVERIFY(!heard.progressOnOtherThread && heard.progress.size() == 3 + 3);
        QVERIFY(std::is_sorted(heard.progress.begin(), heard.progress.end()) &&
                heard.progress.contains(QList<long long>{1, 3}) && heard.progress.contains(QList<long long>{2, 3}));
        QCOMPARE(heard.progress.last(), (QList<long long>{3, 3}));
    }
};

QTEST_GUILESS_MAIN(TestUnzip32)
#include "tst_unzip32.moc"
