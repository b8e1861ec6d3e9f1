#include "ArchiveMaker.h"
#include "ExtractionPlan.h"
#include "Unzip32.h"
#include "WorkFolder.h"

#include <QDirIterator>
#include <QMap>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <numeric>
#include <memory>
#include <tuple>

namespace {

// One line of a listing: name, size, compressed size, sign and factor of compression, time, method, CRC, encrypted.
using Listed =
    std::tuple<QByteArray, unsigned long, unsigned long, char, unsigned, QDateTime, QByteArray, unsigned long, int>;

// What the library told the test's callbacks, and what they answer.
struct Heard
{
    QByteArray printed;
    QStringList asked;         // the names that replace and password queries were about
    QList<int> replaceAnswers; // then "no"
    QByteArray password;       // null: no password is given
    QList<Listed> listed;
    QList<QList<long long>> progress;
    int stopAfter = -1;  // progress reports answered 0 before the one that asks to stop
    QStringList misuses; // what the callbacks found wrong in how they were called
    USERFUNCTIONS totals = {};
};
Heard heard;

int onPrint(char* buffer, unsigned long size)
{
    // The module reads one byte past the length, so it must be the NUL that ends the text.
    if (buffer[size] != '\0')
        heard.misuses.append("a message without a NUL after it");
    heard.printed += QByteArray(buffer, static_cast<qsizetype>(size));
    return 0;
}

int onReplace(char* name)
{
    heard.asked.append(QString::fromLocal8Bit(name));
    return heard.replaceAnswers.isEmpty() ? IDM_REPLACE_NO : heard.replaceAnswers.takeFirst();
}

int onPassword(char* buffer, int size, const char*, const char* name)
{
    if (!std::all_of(buffer, buffer + size, [](char c) { return c == '\0'; }))
        heard.misuses.append("a password buffer that is not empty");
    heard.asked.append(QString::fromLocal8Bit(name));
    qstrncpy(buffer, heard.password.constData(), static_cast<std::size_t>(size));
    return heard.password.isNull() ? 1 : 0;
}

void onList(unsigned long ucsize, unsigned long csize, unsigned cfactor, unsigned mo, unsigned dy, unsigned yr,
            unsigned hh, unsigned mm, char c, const char* filename, const char* methbuf, unsigned long crc, char fCrypt)
{
    const QDateTime time{QDate(int(yr), int(mo), int(dy)), QTime(int(hh), int(mm))};
    heard.listed.append({filename, ucsize, csize, c, cfactor, time, methbuf, crc, int(fCrypt)});
}

int onProgress(void* ctx, long long done, long long total)
{
    if (QThread::currentThread() != static_cast<QThread*>(ctx))
        heard.misuses.append("progress on another thread");
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

// What a call gave: its status, then every file and folder in the target folder "game", sorted, folders ending
// with '/', and whether that folder exists.
struct Result
{
    int status = 0;
    QStringList entries;
    bool folder = true;
    bool operator==(const Result& other) const
    {
        return status == other.status && entries == other.entries && folder == other.folder;
    }
};

char* toString(const Result& result)
{
    return QTest::toString(QStringLiteral("status %1, %2: %3")
                               .arg(result.status)
                               .arg(result.folder ? "folder" : "no folder", result.entries.join(", ")));
}

// Extracts `zip` into the folder "game", replacing files and keeping stored folders unless `flags` say otherwise.
// `names` holds `includes` include names, then the exclude names.
using Flags = QList<std::pair<int DCL::*, int>>;
Result unzip(const QString& zip, const Flags& flags = {}, QList<QByteArray> names = {}, int includes = 0)
{
    QByteArray zipBytes = zip.toLocal8Bit(), target = "game";
    DCL dcl = {};
    dcl.lpszZipFN = zipBytes.data();
    dcl.lpszExtractDir = target.data();
    for (const auto& [flag, value] : Flags{{&DCL::noflag, 1}, {&DCL::ndflag, 1}} + flags)
        dcl.*flag = value;
    heard.totals = {onPrint, nullptr, onReplace, onPassword, onList, nullptr, 0, 0, 0, 0, 0};
    heard.progress.clear();
    std::vector<char*> pointers;
    for (QByteArray& name : names)
        pointers.push_back(name.isNull() ? nullptr : name.data());
    Result result;
    result.status = windll_unzip(includes, pointers.data(), int(names.size()) - includes, pointers.data() + includes,
                                 &dcl, &heard.totals);
    const QMap<QString, QByteArray> made = tree(target);
    for (auto it = made.begin(); it != made.end(); ++it)
        result.entries.append(it.key() + (it.value() == "/" ? "/" : ""));
    result.entries.sort();
    result.folder = QFileInfo::exists(target);
    return result;
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

    void cleanup()
    {
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
        QCOMPARE(heard.misuses, QStringList());
    }

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
        QCOMPARE(unzip(".\\roms\\GAME"),
                 (Result{0, {"empty/", "game.p1", "game.p2", "sub/", "sub/game.p3", "zero.bin"}}));
        QCOMPARE(m_work->read("game/game.p1"), romBytes(100000, 1));
        QCOMPARE(QFileInfo("game/game.p1").lastModified(), gameTime);

        QVERIFY(QDir("game").removeRecursively());
        QCOMPARE(unzip(m_work->path() + "/ROMS/game.zip", {{&DCL::ndflag, 0}}),
                 (Result{0, {"game.p1", "game.p2", "game.p3", "zero.bin"}}));

        // Every call excludes "*p1"; null include entries are passed over, and case counts unless told otherwise.
        QVERIFY(QDir("game").removeRecursively());
        QCOMPARE(unzip("Roms/game.ZIP", {}, {"game.p?", {}, "sub/*", "*p1"}, 3),
                 (Result{0, {"game.p2", "sub/", "sub/game.p3"}}));
        QVERIFY(QDir("game").removeRecursively());
        QCOMPARE(unzip("Roms/game.ZIP", {{&DCL::C_flag, 1}}, {"GAME.P?", "*p1"}, 1), (Result{0, {"game.p2"}}));
        QVERIFY(QDir("game").removeRecursively());
        QCOMPARE(unzip("Roms/game.ZIP", {}, {"game.p2", "GAME.P3"}, 2), (Result{11, {"game.p2"}}));
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
        row("two archives, names of different case", {},
            {{{"a.rom", "1"}, {"Sub/x.rom", "1"}},
             {{"A.ROM", "2"}, {"sub/X.ROM", "2"}, {"SUB/y.rom", "2"}, {"a.ROM", "3"}}},
            {0, 0});
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
        row("an encrypted member, then its name in another case", {}, {{{"dup.bin", "1", Encrypted}, {"DUP.bin", "2"}}},
            {82});
        // A file or folder of another case is the member's. Of several spellings the exact one of the kind wanted
        // wins, then the first of that kind in byte order; other scripts meet by their case.
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
        QTEST(moved, "movedAside");
        planned.sort();
        const QMap<QString, QByteArray> before = tree("game");
        const QMap<QString, QByteArray> outside = tree("outside");

        QList<int> got;
        for (const QByteArray& zip : zips)
            got.append(unzip(zip).status);
        QCOMPARE(got, statuses);
        QMap<QString, QByteArray> after = tree("game");
        for (auto it = before.begin(); it != before.end(); ++it)
            QCOMPARE(after.take(it.key()), it.value()); // nothing that was there is replaced
        QCOMPARE(after.keys(), planned);
        QCOMPARE(tree("outside"), outside);
    }

    void optionsAndExistingFiles_data()
    {
        // The archive holds a.rom, b.rom and c.rom of 1998 and "my game/a b.rom", all "new", and "../up.rom";
        // game/a.rom is from 1990 and game/b.rom from 2005 when the call starts. The flags, the answers to replace
        // queries (then "no"), what the folder holds afterwards, and a part of what is printed.
        using Files = QMap<QString, QByteArray>;
        QTest::addColumn<Flags>("flags");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<Files>("files");
        QTest::addColumn<QByteArray>("printed");
        const Files allNew{
            {"a.rom", "new"}, {"b.rom", "new"}, {"c.rom", "new"}, {"my game", "/"}, {"my game/a b.rom", "new"}};
        Files newerOnly = allNew, keptA = allNew, kept = allNew;
        newerOnly["b.rom"] = keptA["a.rom"] = kept["a.rom"] = kept["b.rom"] = "old";
        const auto row = [](const char* name, const Flags& flags, const QList<int>& answers, const Files& files,
                            const QByteArray& printed) { QTest::newRow(name) << flags << answers << files << printed; };
        row("only newer", {{&DCL::ExtractOnlyNewer, 1}}, {}, newerOnly, "extracting: a.rom\n");
        row("freshen", {{&DCL::nfflag, 1}}, {}, {{"a.rom", "new"}, {"b.rom", "old"}}, "extracting: a.rom\n");
        row("space to underscore", {{&DCL::SpaceToUnderscore, 1}}, {},
            {{"a.rom", "new"}, {"b.rom", "new"}, {"c.rom", "new"}, {"my_game", "/"}, {"my_game/a_b.rom", "new"}},
            "my_game/a_b.rom");
        row("quiet: warnings and errors only", {{&DCL::fQuiet, 1}}, {}, allNew, "skipped \"../up.rom\"");
        row("quiet: nothing", {{&DCL::fQuiet, 2}}, {}, allNew, {});
        row("replaced, not asked", {{&DCL::PromptToOverwrite, 1}}, {}, allNew, "extracting: b.rom\n");
        row("kept, not asked", {{&DCL::noflag, 0}}, {}, kept, "extracting: c.rom\n");
        const Flags asked{{&DCL::noflag, 0}, {&DCL::PromptToOverwrite, 1}};
        row("no, then yes", asked, {IDM_REPLACE_NO, IDM_REPLACE_YES}, keptA, "extracting: b.rom\n");
        row("none keeps the rest", asked, {IDM_REPLACE_NONE}, kept, "extracting: c.rom\n");
    }

    void optionsAndExistingFiles()
    {
        QFETCH(Flags, flags);
        QFETCH(QList<int>, answers);
        QFETCH(QByteArray, printed);
        QVERIFY(writeArchive("o.zip", {{"a.rom", "new", 0, gameTime},
                                       {"b.rom", "new", 0, gameTime},
                                       {"c.rom", "new", 0, gameTime},
                                       {"my game/a b.rom", "new", 0, gameTime},
                                       {"../up.rom", "up"}}));
        QVERIFY(m_work->write("game/a.rom", "old") && m_work->write("game/b.rom", "old"));
        for (const auto& [name, year] : {std::pair{"game/a.rom", 1990}, std::pair{"game/b.rom", 2005}}) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) &&
                    file.setFileTime(QDateTime(QDate(year, 1, 1), QTime(0, 0)), QFileDevice::FileModificationTime));
        }
        heard.replaceAnswers = answers;
        QCOMPARE(unzip("o.zip", flags).status, 1);
        // No temporary file is left behind; each answer given is asked for, and no more.
        QTEST(tree("game"), "files");
        // A replaced file keeps the user's permissions.
        QCOMPARE(QFile::permissions("game/b.rom") & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        QCOMPARE(heard.asked, QStringList({"game/a.rom", "game/b.rom"}).mid(0, answers.size()));
        QVERIFY2(printed.isEmpty() ? heard.printed.isEmpty() : heard.printed.contains(printed), heard.printed.data());
        if (flags.first().first == &DCL::fQuiet)
            QVERIFY2(!heard.printed.contains("extracting"), heard.printed.constData());
    }

    // Progress comes once after each member and once for each 4 MiB of a large one, on the calling thread whichever
    // thread writes the member. A nonzero answer stops the extraction after the member being written, also while
    // members are still being planned.
    void progressAndCancel()
    {
        QVERIFY(
            writeArchive("p.zip", {{"large.rom", romBytes(13 * 1024 * 1024, 7)}, {"small.rom", "s"}, {"last.rom"}}));
        QCOMPARE(unzip("p.zip"), (Result{0, {"large.rom", "last.rom", "small.rom"}}));
        QCOMPARE(heard.progress, (QList<QList<long long>>{{0, 3}, {0, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 3}}));

        QVERIFY(QDir("game").removeRecursively());
        heard.stopAfter = 0;
        QCOMPARE(unzip("p.zip"), (Result{80, {"large.rom"}}));
        QCOMPARE(m_work->read("game/large.rom"), romBytes(13 * 1024 * 1024, 7));

        QVERIFY(writeArchive("many.zip", emptyMembers(5000)) && QDir("game").removeRecursively());
        QCOMPARE(unzip("many.zip"), (Result{80, {}}));
        QCOMPARE(heard.progress, (QList<QList<long long>>{{0, 5000}}));
    }

    void badArchives_data()
    {
        // The archive, whether it is extracted with its folders, then the status and what the target folder holds
        // afterwards. A folder "in the way.rom" and a file "a.rom" are in the target folder from the start: a spoilt
        // member is written to a temporary file, so the file it replaces stays whole.
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<int>("dirs");
        QTest::addColumn<Result>("result");
        const QByteArray good = archiveBytes({{"a.rom", "aaaaaaaa", Stored}, {"b.rom", "aaaaaaaa", Stored}});
        QTest::newRow("0 bytes") << QByteArray() << 1 << Result{9, {"a.rom", "in the way.rom/"}};
        // libzip writes no file for an archive without members; an empty archive is 22 bytes.
        QTest::newRow("empty archive") << QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0') << 1
                                       << Result{1, {"a.rom", "in the way.rom/"}};
        QTest::newRow("truncated") << good.left(good.size() / 2) << 1 << Result{9, {"a.rom", "in the way.rom/"}};
        QTest::newRow("bad CRC") << QByteArray(good).replace(good.indexOf("aaaa"), 1, "b") << 1
                                 << Result{2, {"a.rom", "b.rom", "in the way.rom/"}};
        // A directory read in parts: the last entry, past the first part, claims a UTF-8 name that is not. Nothing
        // of the first part is written either.
        QByteArray lastBad = archiveBytes(emptyMembers(5000));
        const qsizetype last = lastBad.lastIndexOf("PK\x01\x02");
        lastBad[last + 9] = char(lastBad[last + 9] | 0x08);
        lastBad[last + 46] = '\xff';
        QTest::newRow("bad entry late in a large directory") << lastBad << 1 << Result{2, {"a.rom", "in the way.rom/"}};
        QList<ArchiveMember> unsafe{{"link.rom", "/etc/passwd", Symlink}};
        for (const char* name : {"../x", "/x", "a/../../x", "C:\\x", "C:x", "back\\slash", "good"})
            unsafe.append(ArchiveMember{name, "x"});
        QTest::newRow("unsafe names and a link")
            << archiveBytes(unsafe) << 1 << Result{1, {"a.rom", "back/", "back/slash", "good", "in the way.rom/"}};
        // Junking the paths does not make them safe.
        QTest::newRow("unsafe names, paths junked")
            << archiveBytes(unsafe) << 0 << Result{1, {"a.rom", "good", "in the way.rom/", "slash"}};
        // Members too deep or too long for the file system are skipped, without recursion.
        const QByteArray sixtyFour = QByteArray("d/").repeated(64);
        QStringList deep{"a.rom"};
        for (QString folder = "d/"; folder.size() <= sixtyFour.size(); folder += "d/")
            deep.append(folder);
        deep.append({sixtyFour + "deep.rom", "in the way.rom/"});
        QTest::newRow("too deep, too long") << archiveBytes({{QString(QByteArray("a/").repeated(32000) + "f"), "x"},
                                                             {QString(sixtyFour + "d/f"), "x"},
                                                             {QString(sixtyFour + "deep.rom"), "kept"},
                                                             {QString(300, 'n') + ".rom", "x"}})
                                            << 1 << Result{1, deep};
    }

    // Nothing is written outside the target folder, and no member is left half-written.
    void badArchives()
    {
        QFETCH(QByteArray, archive);
        QFETCH(int, dirs);
        QVERIFY(m_work->write("d.zip", archive) && m_work->makeFolder("game/in the way.rom"));
        QVERIFY(m_work->write("game/a.rom", "old"));
        QTEST(unzip("d.zip", {{&DCL::ndflag, dirs}}), "result");
        QCOMPARE(m_work->read("game/a.rom"), "old");
        QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{"d.zip", "game"}));
        QVERIFY(!QFileInfo::exists("/x"));
    }

    void twoWritersNeverShareAName()
    {
        // Two large members, which may be written at once, never when they share a name: the spoilt one, found
        // out last, would remove the file of the other.
        QVERIFY(writeArchive("t.zip", {{"twin.rom", romBytes(4 << 20, 6)}, {"TWIN.ROM", romBytes(1 << 20, 7)}}));
        QByteArray twins = m_work->read("t.zip");
        QVERIFY(m_work->write("t.zip", twins.replace(twins.indexOf("PK\x03\x04", 4) - 50, 40, QByteArray(40, 'x'))));
        QCOMPARE(unzip("t.zip"), (Result{2, {"twin.rom"}}));
        QCOMPARE(m_work->read("game/twin.rom"), romBytes(1 << 20, 7));
    }

    void encryptedMembers()
    {
        QVERIFY(writeArchive("e.zip", {{"plain.rom", "plain"},
                                       {"secret.rom", romBytes(20000, 6), Encrypted},
                                       {"secret2.rom", "two", Stored | Encrypted}}));
        // Without a password, or with a wrong one, each member is asked for and skipped; the buffer comes empty.
        QCOMPARE(unzip("e.zip"), (Result{82, {"plain.rom"}}));
        QVERIFY(!(heard.password = rejectedPassword("e.zip")).isEmpty());
        QCOMPARE(unzip("e.zip"), (Result{82, {"plain.rom"}}));
        // The password that works is kept for the members after it.
        heard.password = "secret";
        QCOMPARE(unzip("e.zip"), (Result{0, {"plain.rom", "secret.rom", "secret2.rom"}}));
        QCOMPARE((QList<QByteArray>{m_work->read("game/secret.rom"), m_work->read("game/secret2.rom")}),
                 (QList<QByteArray>{romBytes(20000, 6), "two"}));
        QCOMPARE(heard.asked, (QStringList{"secret.rom", "secret2.rom", "secret.rom", "secret2.rom", "secret.rom"}));
    }

    void listsInsteadOfExtracting()
    {
        QVERIFY(writeArchive("l.zip", {{"big.rom", QByteArray(10000, 'a'), 0, gameTime},
                                       {"dir\\stored.rom", "abc", Stored, gameTime},
                                       {"folder/", {}, 0, gameTime}}));
        QCOMPARE(unzip("l.zip", {{&DCL::nvflag, 1}}), (Result{0, {}, false}));
        // How small the deflated member gets depends on the zlib at hand.
        const auto [name, size, packed, sign, factor, time, method, crc, encrypted] = heard.listed.value(0);
        QVERIFY(packed < size);
        const QDateTime listedTime(gameTime.date(), QTime(9, 7));
        QCOMPARE(heard.listed,
                 (QList<Listed>{{"big.rom", 10000, packed, ' ', factor, listedTime, "Defl:N", 0x467ed497, 0},
                                {"dir/stored.rom", 3, 3, ' ', 0, listedTime, "Stored", 0x352441c2, 0},
                                {"folder/", 0, 0, ' ', 0, listedTime, "Stored", 0, 0}}));
        QCOMPARE(heard.totals.NumMembers, 3u);
        QCOMPARE(heard.totals.TotalSize, 10003ul);
    }
};

QTEST_GUILESS_MAIN(TestUnzip32)
#include "tst_unzip32.moc"
