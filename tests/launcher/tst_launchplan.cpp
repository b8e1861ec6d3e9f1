#include "ExtractedFolder.h"
#include "LaunchPlan.h"
#include "WorkFolder.h"

#include <QDirIterator>
#include <QTest>

class TestLaunchPlan : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void optionString_data();
    void optionString();
    void optionStringFileLookup();
    void extractionSteps();
    void cleanNewFolder();
    void cleanKeepsExistingEntries();
    void cleanWithoutRegardToCase();

private:
    QStringList entries(const QString& folder) const;

    QScopedPointer<WorkFolder> m_work;
};

void TestLaunchPlan::init()
{
    m_work.reset(new WorkFolder);
    QVERIFY(m_work->isValid());
}

QStringList TestLaunchPlan::entries(const QString& folder) const
{
    QStringList found;
    const QDir root(m_work->filePath(folder));
    QDirIterator it(root.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(root.relativeFilePath(it.next()));
    found.sort();
    return found;
}

void TestLaunchPlan::optionString_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("options");

    QTest::newRow("settings items")
        << QByteArray("-res 384 224\r\n-frameskip AUTO\r\n-vsync OFF\r\n-setinput 1 key1\r\n-setinput 2 key1\r\n")
        << " -res 384 224 -frameskip AUTO -vsync OFF -setinput 1 key1 -setinput 2 key1";
    QTest::newRow("other takes the next item")
        << QByteArray("-vsync OFF\r\nother\r\n-nosound -log\r\n") << " -vsync OFF -nosound -log";
    QTest::newRow("comma in the free text") << QByteArray("other\r\n-a,-b\r\n") << " -a -b";
    QTest::newRow("other after other") << QByteArray("other\r\nother\r\n-x\r\n") << " other -x";
    QTest::newRow("empty line") << QByteArray("-double\r\n\r\n-linear\r\n") << " -double  -linear";
    QTest::newRow("other as the last item") << QByteArray("-double\r\nother\r\n") << " -double";
    QTest::newRow("Other is no marker") << QByteArray("Other\r\n-x\r\n") << " Other -x";
    QTest::newRow("empty file") << QByteArray() << "";
}

void TestLaunchPlan::optionString()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, options);
    QVERIFY(m_work->write(QStringLiteral("gantrel.ini"), file));
    QCOMPARE(LaunchPlan::optionString(m_work->dir()), options);
}

void TestLaunchPlan::optionStringFileLookup()
{
    QCOMPARE(LaunchPlan::optionString(m_work->dir()), QString());
    QVERIFY(m_work->makeFolder(QStringLiteral("gantrel.ini")));
    QCOMPARE(LaunchPlan::optionString(m_work->dir()), QString());
    QVERIFY(m_work->write(QStringLiteral("GANTREL.INI"), "-double\r\n"));
    QCOMPARE(LaunchPlan::optionString(m_work->dir()), QStringLiteral(" -double"));
}

void TestLaunchPlan::extractionSteps()
{
    using List = QList<Extraction>;
    QCOMPARE(LaunchPlan::extractions(QStringLiteral("pacman")), (List{{".\\roms\\pacman.zip", "pacman"}}));
    QCOMPARE(LaunchPlan::extractions(QStringLiteral("sf2t")), (List{{".\\roms\\sf2t.zip", "sf2t"}}));
    QCOMPARE(LaunchPlan::extractions(QStringLiteral("sf2ce")),
             (List{{".\\roms\\sf2ce.zip", "sf2t"}, {".\\roms\\sf2t", "sf2t"}}));
    QCOMPARE(LaunchPlan::extractions(QStringLiteral("sf2cej")),
             (List{{".\\roms\\sf2cej.zip", "sf2t"}, {".\\roms\\sf2tj", "sf2t"}}));
    QCOMPARE(LaunchPlan::extractions(QStringLiteral("sf2tj")),
             (List{{".\\roms\\sf2tj.zip", "sf2t"}, {".\\roms\\sf2tj", "sf2t"}}));
    // The special names are compared with their case.
    QCOMPARE(LaunchPlan::extractions(QStringLiteral("SF2CE")), (List{{".\\roms\\SF2CE.zip", "SF2CE"}}));

    QCOMPARE(LaunchPlan::extractionFolder(QStringLiteral("sf2ce")), QStringLiteral("sf2t"));
    QCOMPARE(LaunchPlan::extractionFolder(QStringLiteral("sf2tj")), QStringLiteral("sf2t"));
    QCOMPARE(LaunchPlan::extractionFolder(QStringLiteral("sf2t")), QStringLiteral("sf2t"));
    QCOMPARE(LaunchPlan::extractionFolder(QStringLiteral("Sf2ce")), QStringLiteral("Sf2ce"));

    QCOMPARE(LaunchPlan::commandLine(QStringLiteral("sf2ce"), QString()), QStringLiteral("torvak.exe sf2ce"));
    QCOMPARE(LaunchPlan::commandLine(QStringLiteral("x"), QStringLiteral(" -a")), QStringLiteral("torvak.exe x -a"));
}

void TestLaunchPlan::cleanNewFolder()
{
    ExtractedFolder folder;
    QVERIFY(!folder.isActive());
    folder.clean();

    folder.begin(m_work->dir(), QStringLiteral("pacman"));
    QVERIFY(folder.isActive());
    QVERIFY(m_work->write(QStringLiteral("pacman/a.rom"), "a"));
    QVERIFY(m_work->write(QStringLiteral("pacman/gfx/deep/b.rom"), "b"));
    QVERIFY(m_work->write(QStringLiteral("pacman/.hidden"), "c"));
    QVERIFY(m_work->write(QStringLiteral("other/keep.rom"), "k"));
    folder.clean();
    QVERIFY(!folder.isActive());
    QVERIFY(!QFileInfo::exists(m_work->filePath(QStringLiteral("pacman"))));
    QCOMPARE(m_work->read(QStringLiteral("other/keep.rom")), QByteArray("k"));

    // An extraction that failed before making its folder leaves nothing to clean.
    folder.begin(m_work->dir(), QStringLiteral("missing"));
    folder.clean();
    QVERIFY(!folder.isActive());
}

void TestLaunchPlan::cleanKeepsExistingEntries()
{
    QVERIFY(m_work->write(QStringLiteral("sf2t/own.rom"), "own"));
    QVERIFY(m_work->write(QStringLiteral("sf2t/gfx/own.gfx"), "gfx"));
    QVERIFY(m_work->makeFolder(QStringLiteral("sf2t/empty")));

    ExtractedFolder folder;
    folder.begin(m_work->dir(), QStringLiteral("sf2t"));
    QVERIFY(m_work->write(QStringLiteral("sf2t/own.rom"), "replaced"));
    QVERIFY(m_work->write(QStringLiteral("sf2t/new.rom"), "n"));
    QVERIFY(m_work->write(QStringLiteral("sf2t/gfx/new.gfx"), "n"));
    QVERIFY(m_work->write(QStringLiteral("sf2t/snd/deep/new.snd"), "n"));
    QVERIFY(m_work->write(QStringLiteral("sf2t/empty/new"), "n"));
    folder.clean();

    QCOMPARE(entries(QStringLiteral("sf2t")), (QStringList{"empty", "gfx", "gfx/own.gfx", "own.rom"}));
    QCOMPARE(m_work->read(QStringLiteral("sf2t/gfx/own.gfx")), QByteArray("gfx"));
}

void TestLaunchPlan::cleanWithoutRegardToCase()
{
    // The extraction found the user's folder under another spelling and wrote into it.
    QVERIFY(m_work->write(QStringLiteral("SF2T/Own.rom"), "own"));
    ExtractedFolder folder;
    folder.begin(m_work->dir(), QStringLiteral("sf2t"));
    QVERIFY(m_work->write(QStringLiteral("SF2T/new.rom"), "n"));
    folder.clean();
    QCOMPARE(entries(QStringLiteral("SF2T")), QStringList{"Own.rom"});

    // A folder made under the given spelling after begin() is removed whole.
    folder.begin(m_work->dir(), QStringLiteral("Pacman"));
    QVERIFY(m_work->write(QStringLiteral("Pacman/a.rom"), "a"));
    folder.clean();
    QVERIFY(!QFileInfo::exists(m_work->filePath(QStringLiteral("Pacman"))));
}

QTEST_GUILESS_MAIN(TestLaunchPlan)
#include "tst_launchplan.moc"
