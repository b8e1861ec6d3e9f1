#include "ArchiveMaker.h"
#include "Unzip32.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cstring>

#include <sys/mount.h>

namespace {

// What the library told the test's callbacks.
struct Heard
{
    QByteArray printed;
    QStringList replaceAsked;
    QList<int> replaceAnswers;
    QStringList passwordAsked;
    int passwordAnswer = 1;
    QByteArray password;
    bool passwordBufferClean = true;
    QStringList listed;
    QList<QList<long long>> progress;
    bool progressOnOtherThread = false;
};
Heard heard;

int onPrint(char* buffer, unsigned long size)
{
    // The module reads one byte past the length, so it must be the NUL that ends the text.
    if (buffer[size] != '\0')
        heard.printed += "<no NUL after the text>";
    heard.printed += QByteArray(buffer, static_cast<qsizetype>(size));
    return 0;
}

int onReplace(char* name)
{
    heard.replaceAsked.append(QString::fromLocal8Bit(name));
    return heard.replaceAnswers.isEmpty() ? IDM_REPLACE_NO : heard.replaceAnswers.takeFirst();
}

int onPassword(char* buffer, int size, const char*, const char* name)
{
    heard.passwordAsked.append(QString::fromLocal8Bit(name));
    for (int i = 0; i < size; ++i)
        heard.passwordBufferClean = heard.passwordBufferClean && buffer[i] == '\0';
    if (heard.passwordAnswer == 0)
        std::strncpy(buffer, heard.password.constData(), static_cast<std::size_t>(size) - 1);
    return heard.passwordAnswer;
}

void onList(unsigned long ucsize, unsigned long csize, unsigned cfactor, unsigned mo, unsigned dy, unsigned yr,
            unsigned hh, unsigned mm, char c, const char* filename, const char* methbuf, unsigned long crc, char fCrypt)
{
    heard.listed.append(QStringLiteral("%1 %2 %3 %4%5 %6-%7-%8 %9:%10 %11 %12 %13")
                            .arg(filename)
                            .arg(ucsize)
                            .arg(csize)
                            .arg(QChar::fromLatin1(c))
                            .arg(cfactor)
                            .arg(yr)
                            .arg(mo)
                            .arg(dy)
                            .arg(hh)
                            .arg(mm)
                            .arg(QLatin1String(methbuf))
                            .arg(crc, 8, 16, QLatin1Char('0'))
                            .arg(int(fCrypt)));
}

void onProgress(void* ctx, long long done, long long total)
{
    if (QThread::currentThread() != static_cast<QThread*>(ctx))
        heard.progressOnOtherThread = true;
    heard.progress.append({done, total});
}

struct Options
{
    int noflag = 1;
    int ndflag = 1;
    int prompt = 0;
    int nvflag = 0;
    int caseless = 0;
    QList<QByteArray> include;
    QList<QByteArray> exclude;
};

int unzip(const QString& zip, const QString& dir, Options options = {}, USERFUNCTIONS* totals = nullptr)
{
    QByteArray zipBytes = zip.toLocal8Bit();
    QByteArray dirBytes = dir.toLocal8Bit();
    DCL dcl = {};
    dcl.noflag = options.noflag;
    dcl.ndflag = options.ndflag;
    dcl.PromptToOverwrite = options.prompt;
    dcl.nvflag = options.nvflag;
    dcl.C_flag = options.caseless;
    dcl.lpszZipFN = zipBytes.data();
    dcl.lpszExtractDir = dir.isNull() ? nullptr : dirBytes.data();
    USERFUNCTIONS functions = {};
    functions.print = onPrint;
    functions.replace = onReplace;
    functions.password = onPassword;
    functions.SendApplicationMessage = onList;
    std::vector<char*> include;
    for (QByteArray& name : options.include)
        include.push_back(name.isNull() ? nullptr : name.data());
    std::vector<char*> exclude;
    for (QByteArray& name : options.exclude)
        exclude.push_back(name.data());
    const int status = windll_unzip(static_cast<int>(include.size()), include.data(), static_cast<int>(exclude.size()),
                                    exclude.data(), &dcl, &functions);
    if (totals)
        *totals = functions;
    return status;
}

// Every file and folder below `path`, relative, sorted; folders end with '/'.
QStringList tree(const QString& path)
{
    QStringList entries;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        entries.append(QDir(path).relativeFilePath(it.filePath()) +
                       (it.fileInfo().isDir() ? QStringLiteral("/") : QString()));
    }
    entries.sort();
    return entries;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Partly compressible bytes, like a ROM image.
QByteArray romBytes(int size, int seed)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 state = static_cast<quint32>(seed) * 2654435761u + 1;
    for (int i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        data[i] = (i / 64) % 2 ? char(i % 7) : char(state >> 24);
    }
    return data;
}

} // namespace

class TestUnzip32 final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir* m_dir = nullptr;
    QString m_previous;

    QString path(const QString& relative) const { return m_dir->filePath(relative); }

    const QDateTime gameTime{QDate(1998, 3, 5), QTime(9, 7, 30)};

    // The usual archive: a deflated and a stored file, a file in a stored folder, an empty folder.
    bool layGame(const QString& relative = QStringLiteral("roms/game.zip"))
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        return writeArchive(path(relative),
                            {{QStringLiteral("game.p1"), romBytes(100000, 1), false, false, false, gameTime},
                             {QStringLiteral("game.p2"), romBytes(5000, 2), true},
                             {QStringLiteral("sub/"), {}},
                             {QStringLiteral("sub/game.p3"), romBytes(3000, 3)},
                             {QStringLiteral("empty/"), {}},
                             {QStringLiteral("zero.bin"), {}}});
    }

private slots:
    void init()
    {
        heard = Heard();
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        m_previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir->path()));
    }

    void cleanup()
    {
        QDir::setCurrent(m_previous);
        delete m_dir;
        m_dir = nullptr;
    }

    void extractsEveryMember_data()
    {
        QTest::addColumn<int>("ndflag");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("files");
        const QStringList kept{"empty/", "game.p1", "game.p2", "sub/", "sub/game.p3", "zero.bin"};
        const QStringList junked{"game.p1", "game.p2", "game.p3", "zero.bin"};
        QTest::newRow("folders kept") << 1 << "game" << kept;
        QTest::newRow("paths junked") << 0 << "game" << junked;
        QTest::newRow("deep target created") << 1 << "new\\deep\\game" << kept;
    }

    void extractsEveryMember()
    {
        QFETCH(int, ndflag);
        QFETCH(QString, target);
        QFETCH(QStringList, files);
        QVERIFY(layGame());
        Options options;
        options.ndflag = ndflag;
        QCOMPARE(unzip(QStringLiteral(".\\roms\\game.zip"), target, options), PK_OK);
        const QString out = path(QString(target).replace(QLatin1Char('\\'), QLatin1Char('/')));
        QCOMPARE(tree(out), files);
        QCOMPARE(readFile(out + "/game.p1"), romBytes(100000, 1));
        QCOMPARE(QFileInfo(out + "/game.p1").lastModified(), gameTime);
        QCOMPARE(readFile(out + "/game.p2"), romBytes(5000, 2));
        QCOMPARE(readFile(out + (ndflag ? "/sub/game.p3" : "/game.p3")), romBytes(3000, 3));
        QVERIFY(heard.printed.contains("inflating: game.p1\n"));
        QVERIFY(!heard.printed.contains("<no NUL"));
    }

    void existingFiles_data()
    {
        QTest::addColumn<int>("noflag");
        QTest::addColumn<int>("prompt");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QByteArray>("one");
        QTest::addColumn<QByteArray>("two");
        const QStringList both{"game/one.rom", "game/two.rom"};
        QTest::newRow("replaced silently")
            << 1 << 1 << QList<int>() << QStringList() << QByteArray("new1") << QByteArray("new2");
        QTest::newRow("kept without a query")
            << 0 << 0 << QList<int>() << QStringList() << QByteArray("old1") << QByteArray("old2");
        QTest::newRow("yes to both") << 0 << 1 << QList<int>{IDM_REPLACE_YES, IDM_REPLACE_YES} << both
                                     << QByteArray("new1") << QByteArray("new2");
        QTest::newRow("no, then yes") << 0 << 1 << QList<int>{IDM_REPLACE_NO, IDM_REPLACE_YES} << both
                                      << QByteArray("old1") << QByteArray("new2");
        QTest::newRow("none skips the rest") << 0 << 1 << QList<int>{IDM_REPLACE_NONE, IDM_REPLACE_YES}
                                             << QStringList{"game/one.rom"} << QByteArray("old1") << QByteArray("old2");
    }

    void existingFiles()
    {
        QFETCH(int, noflag);
        QFETCH(int, prompt);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, asked);
        QFETCH(QByteArray, one);
        QFETCH(QByteArray, two);
        QVERIFY(writeArchive(path("g.zip"), {{QStringLiteral("one.rom"), "new1"},
                                             {QStringLiteral("fresh.rom"), "fresh"},
                                             {QStringLiteral("two.rom"), "new2"}}));
        QVERIFY(writeFile(path("game/one.rom"), "old1"));
        QVERIFY(writeFile(path("game/two.rom"), "old2"));
        heard.replaceAnswers = answers;
        Options options;
        options.noflag = noflag;
        options.prompt = prompt;
        QCOMPARE(unzip("g.zip", "game", options), PK_OK);
        QCOMPARE(heard.replaceAsked, asked);
        QCOMPARE(readFile(path("game/one.rom")), one);
        QCOMPARE(readFile(path("game/two.rom")), two);
        // New files are written whatever the answers, and no temporary file is left behind.
        QCOMPARE(readFile(path("game/fresh.rom")), QByteArray("fresh"));
        QCOMPARE(tree(path("game")), (QStringList{"fresh.rom", "one.rom", "two.rom"}));
    }

    void namesWithoutRegardToCase_data()
    {
        QTest::addColumn<QString>("archiveOnDisk");
        QTest::addColumn<QString>("archiveGiven");
        QTest::addColumn<QString>("folderOnDisk");
        QTest::addColumn<QString>("targetGiven");
        QTest::newRow("launcher's bare name") << "roms/sf2t.zip"
                                              << ".\\roms\\sf2t"
                                              << ""
                                              << "sf2t";
        QTest::newRow("bare name, other case") << "Roms/sf2t.ZIP"
                                               << ".\\roms\\SF2T"
                                               << ""
                                               << "sf2t";
        QTest::newRow("full name, other case") << "ROMS/Sf2T.Zip"
                                               << ".\\roms\\sf2t.zip"
                                               << ""
                                               << "sf2t";
        QTest::newRow("target in other case") << "roms/sf2t.zip"
                                              << "roms/sf2t.zip"
                                              << "SF2T"
                                              << "sf2t";
        QTest::newRow("absolute archive path") << "roms/sf2t.zip"
                                               << "<abs>/ROMS/sf2t"
                                               << ""
                                               << "sf2t";
    }

    void namesWithoutRegardToCase()
    {
        QFETCH(QString, archiveOnDisk);
        QFETCH(QString, archiveGiven);
        QFETCH(QString, folderOnDisk);
        QFETCH(QString, targetGiven);
        QVERIFY(layGame(archiveOnDisk));
        archiveGiven.replace(QLatin1String("<abs>"), m_dir->path());
        if (!folderOnDisk.isEmpty()) {
            QVERIFY(QDir().mkpath(path(folderOnDisk + "/SUB")));
            QVERIFY(writeFile(path(folderOnDisk + "/GAME.P1"), "old"));
        }
        QCOMPARE(unzip(archiveGiven, targetGiven), PK_OK);
        const QString folder = folderOnDisk.isEmpty() ? targetGiven : folderOnDisk;
        // An existing folder or file of another spelling is the one used: no second spelling appears.
        const QStringList expected =
            folderOnDisk.isEmpty() ? QStringList{"empty/", "game.p1", "game.p2", "sub/", "sub/game.p3", "zero.bin"}
                                   : QStringList{"GAME.P1", "SUB/", "SUB/game.p3", "empty/", "game.p2", "zero.bin"};
        QCOMPARE(tree(path(folder)), expected);
        QCOMPARE(readFile(path(folder + "/" + expected.at(folderOnDisk.isEmpty() ? 1 : 0))), romBytes(100000, 1));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
    }

    void unsafeMembersStayInside_data()
    {
        QTest::addColumn<int>("ndflag");
        QTest::newRow("folders kept") << 1;
        QTest::newRow("paths junked") << 0;
    }

    void unsafeMembersStayInside()
    {
        QFETCH(int, ndflag);
        QVERIFY(writeArchive(path("evil.zip"), {{QStringLiteral("../evil.rom"), "x"},
                                                {QStringLiteral("/abs.rom"), "x"},
                                                {QStringLiteral("C:\\drive.rom"), "x"},
                                                {QStringLiteral("sub\\..\\..\\up.rom"), "x"},
                                                {QStringLiteral("link.rom"), "/etc/passwd", false, false, true},
                                                {QStringLiteral("back\\slash.rom"), "ok"},
                                                {QStringLiteral("good.rom"), "ok"}}));
        Options options;
        options.ndflag = ndflag;
        QCOMPARE(unzip("evil.zip", "game", options), PK_WARN);
        QCOMPARE(tree(m_dir->path()),
                 ndflag ? QStringList({"evil.zip", "game/", "game/back/", "game/back/slash.rom", "game/good.rom"})
                        : QStringList({"evil.zip", "game/", "game/good.rom", "game/slash.rom"}));
        for (const char* name : {"../evil.rom", "/abs.rom", "C:/drive.rom", "sub/../../up.rom"})
            QVERIFY2(heard.printed.contains(QByteArray("skipped \"") + name + "\": its path leads outside"), name);
        QVERIFY(heard.printed.contains("skipped \"link.rom\": symbolic links are not extracted"));
    }

    void damagedArchives_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("status");
        QTest::newRow("missing") << "missing" << PK_NOZIP;
        QTest::newRow("garbage") << "garbage" << PK_NOZIP;
        QTest::newRow("empty file") << "empty" << PK_NOZIP;
        QTest::newRow("cut in half") << "truncated" << PK_NOZIP;
        QTest::newRow("member data spoilt") << "spoilt" << PK_ERR;
    }

    void damagedArchives()
    {
        QFETCH(QString, damage);
        QFETCH(int, status);
        QVERIFY(writeArchive(path("d.zip"), {{QStringLiteral("a.rom"), romBytes(200000, 4)},
                                             {QStringLiteral("b.rom"), romBytes(1000, 5)}}));
        QByteArray bytes = readFile(path("d.zip"));
        if (damage == "missing")
            QVERIFY(QFile::remove(path("d.zip")));
        else if (damage == "garbage")
            QVERIFY(writeFile(path("d.zip"), QByteArray(5000, 'g')));
        else if (damage == "empty")
            QVERIFY(writeFile(path("d.zip"), {}));
        else if (damage == "truncated")
            QVERIFY(writeFile(path("d.zip"), bytes.left(bytes.size() / 2)));
        else if (damage == "spoilt")
            QVERIFY(writeFile(path("d.zip"), bytes.replace(1000, 200, QByteArray(200, '\x55'))));
        // An existing file stays whole when its replacement cannot be read.
        QVERIFY(writeFile(path("game/a.rom"), "old"));
        QCOMPARE(unzip("d", "game"), status);
        QCOMPARE(readFile(path("game/a.rom")), QByteArray("old"));
        if (damage == "spoilt") {
            QCOMPARE(tree(path("game")), (QStringList{"a.rom", "b.rom"}));
            QVERIFY(heard.printed.contains("cannot read a.rom"));
        }
        if (damage == "missing")
            QVERIFY(heard.printed.contains("cannot find either d or d.zip"));
    }

    void writeFailures_data()
    {
        QTest::addColumn<QString>("inTheWay");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("folder where a file goes") << "folder:game/a.rom"
                                                  << "game" << QStringList{"sub/b.rom"};
        QTest::newRow("file where a folder goes") << "file:game/sub"
                                                  << "game" << QStringList{"a.rom"};
        QTest::newRow("file where the target goes") << "file:game"
                                                    << "game" << QStringList();
    }

    void writeFailures()
    {
        QFETCH(QString, inTheWay);
        QFETCH(QString, target);
        QFETCH(QStringList, written);
        QVERIFY(writeArchive(path("w.zip"), {{QStringLiteral("a.rom"), "a"}, {QStringLiteral("sub/b.rom"), "b"}}));
        const QString what = inTheWay.section(QLatin1Char(':'), 1);
        if (inTheWay.startsWith("folder"))
            QVERIFY(QDir().mkpath(path(what)));
        else
            QVERIFY(writeFile(path(what), "in the way"));
        QCOMPARE(unzip("w.zip", target), PK_DISK);
        for (const QString& file : written)
            QVERIFY2(QFileInfo(path(target + "/" + file)).isFile(), qPrintable(file));
        QVERIFY(!heard.printed.isEmpty());
    }

    void fullDisk_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("new file") << false;
        QTest::newRow("replacing a file") << true;
    }

    void fullDisk()
    {
        QFETCH(bool, existing);
        QVERIFY(writeArchive(path("f.zip"), {{QStringLiteral("big.rom"), romBytes(400000, 8), true},
                                             {QStringLiteral("after.rom"), "after"}}));
        const QString device = path("small");
        QVERIFY(QDir().mkpath(device));
        // A small memory file system stands in for a full disk.
        if (::mount("tmpfs", QFile::encodeName(device).constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("cannot mount a small file system here");
        struct Unmount
        {
            QByteArray at;
            ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
        } unmount{QFile::encodeName(device)};
        if (existing)
            QVERIFY(writeFile(device + "/big.rom", "old"));
        QCOMPARE(unzip("f.zip", "small"), PK_DISK);
        QVERIFY(heard.printed.contains("cannot write big.rom"));
        // Nothing half-written stays and an old file stays whole. The small member after it may
        // have been written beside it before the full disk was noticed.
        QStringList left = tree(device);
        left.removeAll(QStringLiteral("after.rom"));
        QCOMPARE(left, existing ? QStringList{"big.rom"} : QStringList());
        if (existing)
            QCOMPARE(readFile(device + "/big.rom"), QByteArray("old"));
    }

    void encryptedMembers_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("secretWritten");
        QTest::newRow("no password given") << 1 << QByteArray() << IZ_BADPWD << false;
        QTest::newRow("wrong password") << 0 << QByteArray("guess") << IZ_BADPWD << false;
        QTest::newRow("right password") << 0 << QByteArray("secret") << PK_OK << true;
    }

    void encryptedMembers()
    {
        QFETCH(int, answer);
        QFETCH(QByteArray, password);
        QFETCH(int, status);
        QFETCH(bool, secretWritten);
        if (!canEncrypt())
            QSKIP("this libzip cannot write encrypted members");
        QVERIFY(writeArchive(path("e.zip"), {{QStringLiteral("plain.rom"), "plain"},
                                             {QStringLiteral("secret.rom"), romBytes(20000, 6), false, true},
                                             {QStringLiteral("secret2.rom"), "two", true, true}}));
        heard.passwordAnswer = answer;
        heard.password = password;
        QCOMPARE(unzip("e.zip", "game"), status);
        QCOMPARE(readFile(path("game/plain.rom")), QByteArray("plain"));
        QCOMPARE(QFileInfo::exists(path("game/secret.rom")), secretWritten);
        if (secretWritten) {
            QCOMPARE(readFile(path("game/secret.rom")), romBytes(20000, 6));
            QCOMPARE(readFile(path("game/secret2.rom")), QByteArray("two"));
        }
        // Asked for each member until a password works; the buffer comes empty.
        QCOMPARE(heard.passwordAsked.first(), QStringLiteral("secret.rom"));
        QCOMPARE(heard.passwordAsked.size(), secretWritten ? 1 : 2);
        QVERIFY(heard.passwordBufferClean);
    }

    void includeAndExcludeNames_data()
    {
        QTest::addColumn<QList<QByteArray>>("include");
        QTest::addColumn<QList<QByteArray>>("exclude");
        QTest::addColumn<int>("caseless");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("files");
        using Names = QList<QByteArray>;
        QTest::newRow("exact name") << Names{"game.p2"} << Names{} << 0 << PK_OK << QStringList{"game.p2"};
        QTest::newRow("wildcards") << Names{"game.p?", "sub/*"} << Names{"*p1"} << 0 << PK_OK
                                   << QStringList{"game.p2", "sub/", "sub/game.p3"};
        QTest::newRow("null entries passed over")
            << Names{QByteArray(), "zero.bin"} << Names{} << 0 << PK_OK << QStringList{"zero.bin"};
        QTest::newRow("case counts") << Names{"GAME.P1"} << Names{} << 0 << PK_FIND << QStringList();
        QTest::newRow("case ignored when asked") << Names{"GAME.P1"} << Names{} << 1 << PK_OK << QStringList{"game.p1"};
        QTest::newRow("nothing matches") << Names{"*.chd"} << Names{} << 0 << PK_FIND << QStringList();
        QTest::newRow("one name matches nothing")
            << Names{"game.p1", "nothere"} << Names{} << 0 << PK_FIND << QStringList{"game.p1"};
    }

    void includeAndExcludeNames()
    {
        QFETCH(QList<QByteArray>, include);
        QFETCH(QList<QByteArray>, exclude);
        QFETCH(int, caseless);
        QFETCH(int, status);
        QFETCH(QStringList, files);
        QVERIFY(layGame());
        Options options;
        options.include = include;
        options.exclude = exclude;
        options.caseless = caseless;
        QCOMPARE(unzip("roms/game.zip", "game", options), status);
        QCOMPARE(tree(path("game")), files);
    }

    void listsInsteadOfExtracting()
    {
        const QDateTime when(QDate(1998, 3, 5), QTime(9, 7, 0));
        QVERIFY(
            writeArchive(path("l.zip"), {{QStringLiteral("big.rom"), QByteArray(10000, 'a'), false, false, false, when},
                                         {QStringLiteral("dir\\stored.rom"), "abc", true, false, false, when},
                                         {QStringLiteral("folder/"), {}}}));
        Options options;
        options.nvflag = 1;
        USERFUNCTIONS totals = {};
        QCOMPARE(unzip("l.zip", "game", options, &totals), PK_OK);
        QVERIFY(!QFileInfo::exists(path("game")));
        QCOMPARE(heard.listed.size(), 3);
        QVERIFY2(heard.listed.at(0).startsWith("big.rom 10000 "), qPrintable(heard.listed.at(0)));
        QVERIFY2(heard.listed.at(0).contains(" 1998-3-5 9:7 Defl:N "), qPrintable(heard.listed.at(0)));
        QCOMPARE(heard.listed.at(1), QStringLiteral("dir/stored.rom 3 3  0 1998-3-5 9:7 Stored 352441c2 0"));
        QVERIFY(heard.listed.at(2).startsWith("folder/ 0 "));
        QCOMPARE(totals.NumMembers, 3u);
        QCOMPARE(totals.TotalSize, 10003ul);
    }

    void reportsProgressOnTheCallingThread()
    {
        QVERIFY(writeArchive(path("p.zip"), {{QStringLiteral("small.rom"), "s"},
                                             {QStringLiteral("large.rom"), romBytes(13 * 1024 * 1024, 7)},
                                             {QStringLiteral("last.rom"), "l"}}));
        windll_set_progress(onProgress, QThread::currentThread());
        const int status = unzip("p.zip", "game");
        windll_set_progress(nullptr, nullptr);
        QCOMPARE(status, PK_OK);
        QVERIFY(!heard.progressOnOtherThread);
        // Once after each member and once for each 4 MiB of the large one, whichever thread wrote it.
        QCOMPARE(heard.progress.size(), 3 + 3);
        QVERIFY(std::is_sorted(heard.progress.begin(), heard.progress.end()));
        QVERIFY(heard.progress.contains(QList<long long>{1, 3}));
        QVERIFY(heard.progress.contains(QList<long long>{2, 3}));
        QCOMPARE(heard.progress.last(), (QList<long long>{3, 3}));
    }

    void emptyArchiveAndBadParameters()
    {
        // libzip writes no file for an archive without members; an empty archive is 22 bytes.
        QVERIFY(writeFile(path("none.zip"), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0')));
        QCOMPARE(unzip("none.zip", "game"), PK_WARN);
        QCOMPARE(windll_unzip(0, nullptr, 0, nullptr, nullptr, nullptr), PK_PARAM);
        DCL dcl = {};
        QCOMPARE(windll_unzip(0, nullptr, 0, nullptr, &dcl, nullptr), PK_PARAM);
    }
};

QTEST_GUILESS_MAIN(TestUnzip32)
#include "tst_unzip32.moc"
