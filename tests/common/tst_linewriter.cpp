#include "FileChanges.h"
#include "LineWriter.h"
#include "WorkFolder.h"

#include <QFile>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

enum class Saved { Yes, Refused, Failed, NoChild };

// Saves as the user nobody, in a child process: permission bits do not stop root.
Saved saveAsNobody(const QDir& folder)
{
    const uid_t nobody = 65534;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
            ::setresuid(nobody, nobody, nobody) != 0)
            ::_exit(int(Saved::NoChild));
        ::umask(022);
        const SaveResult result = saveLines(folder, "Gantrel.ini", {"new"});
        ::_exit(int(result.ok                                     ? Saved::Yes
                    : result.error.contains("may not be written") ? Saved::Refused
                                                                  : Saved::Failed));
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return Saved::NoChild;
    return Saved(WEXITSTATUS(status));
}

} // namespace

class TestLineWriter : public QObject
{
    Q_OBJECT

private slots:
    void saveReplacesEverySpelling()
    {
        WorkFolder work;
        QVERIFY(work.write("GANTREL.INI", "old upper\r\n") && work.write("gantrel.ini", "old lower\r\n"));
        QVERIFY(work.write("gantrel.ini.bak", "keep\r\n") && work.write(".Gantrel.ini.5e1f.new", "half"));
        QVERIFY(work.write(".Gantrel.ini.mine.new", "not from a save"));
        const qint64 syncs = Platform::syncsCounted();
        const SaveResult result = saveLines(work.dir(), "Gantrel.ini", {"-vsync OFF"});
        QVERIFY2(result.ok, qPrintable(result.error));
        // The new file reaches the disk before it replaces the old one, and the folder after that.
        QCOMPARE(Platform::syncsCounted() - syncs, 2);
        QCOMPARE(work.dir().entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList({".Gantrel.ini.mine.new", "Gantrel.ini", "gantrel.ini.bak"}));
        QCOMPARE(work.read("Gantrel.ini"), QByteArray("-vsync OFF\r\n"));
    }

    void failedSaveKeepsOldFile()
    {
        WorkFolder work;
        // A folder holds the name the file must take: renaming over it fails.
        QVERIFY(work.makeFolder("Gantrel.ini") && work.write("GANTREL.INI", "old\r\n"));
        QVERIFY(!saveLines(work.dir(), "Gantrel.ini", {"new"}).error.isEmpty());
        QCOMPARE(work.read("GANTREL.INI"), QByteArray("old\r\n"));
        QCOMPARE(work.dir().entryList(QDir::Files | QDir::Hidden), QStringList{"GANTREL.INI"});
        // A folder that does not exist at all fails the same way.
        QVERIFY(!saveLines(QDir(work.filePath("nowhere")), "x.ini", {}).ok);
    }

    void savedAsAnotherUser_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("link");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("saved");
        QTest::newRow("link, own spelling") << "Gantrel.ini" << true << 0666 << int(Saved::Yes);
        QTest::newRow("link, other spelling") << "gantrel.INI" << true << 0666 << int(Saved::Yes);
        QTest::newRow("link to a read-only file") << "Gantrel.ini" << true << 0444 << int(Saved::Refused);
        QTest::newRow("read-only, other spelling") << "gantrel.ini" << false << 0444 << int(Saved::Refused);
        QTest::newRow("writable, other spelling") << "gantrel.ini" << false << 0606 << int(Saved::Yes);
    }

    // In a folder that lets the user replace any file, a file the user may not write stays as it is,
    // whatever the case of its name. A link gives way to a new file of its own; what it led to stays.
    // A new file gets the permissions the umask leaves, a rewritten one keeps those it had.
    void savedAsAnotherUser()
    {
        QFETCH(QString, name);
        QFETCH(bool, link);
        QFETCH(int, mode);
        QFETCH(int, saved);
        if (::geteuid() != 0)
            QSKIP("needs root to act as another user");
        WorkFolder work;
        QVERIFY(::chmod(QFile::encodeName(work.path()).constData(), 0777) == 0);
        const QString file = link ? QStringLiteral("target") : name;
        QVERIFY(work.write(file, "old\r\n") && ::chmod(QFile::encodeName(work.filePath(file)).constData(), mode) == 0);
        if (link)
            QVERIFY(QFile::link(work.filePath(file), work.filePath(name)));

        QCOMPARE(int(saveAsNobody(work.dir())), saved);
        const bool refused = saved == int(Saved::Refused);
        // No new file is left behind, and a replaced spelling is gone.
        QStringList left{refused ? name : QStringLiteral("Gantrel.ini")};
        if (link)
            left.append(file);
        QCOMPARE(work.dir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System), left);
        QCOMPARE(work.read(left.first()), refused ? QByteArray("old\r\n") : QByteArray("new\r\n"));
        QCOMPARE(work.read(file), refused || link ? QByteArray("old\r\n") : QByteArray());
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(work.filePath(left.first())).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 07777), link && !refused ? 0644 : mode);
    }
};

QTEST_GUILESS_MAIN(TestLineWriter)
#include "tst_linewriter.moc"
