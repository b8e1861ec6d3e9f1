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
    void optionStringFileLookup();
    void extractionSteps();
    void cleanKeepsExistingEntries();

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

void TestLaunchPlan::optionStringFileLookup()
{
    QCOMPARE(LaunchPlan::optionString(m_work->dir()), QString());
    // A folder of that name is no settings file.
    QVERIFY(m_work->makeFolder(QStringLiteral("gantrel.ini")));
    QCOMPARE(LaunchPlan::optionString(m_work->dir()), QString());
}

void TestLaunchPlan::extractionSteps()
{
    // The shared-folder sets are named with their case; other spellings are sets of their own.
    QCOMPARE(LaunchPlan::extractions(QStringLiteral("SF2CE")), (QList<Extraction>{{".\\roms\\SF2CE.zip", "SF2CE"}}));
    QCOMPARE(LaunchPlan::extractionFolder(QStringLiteral("Sf2ce")), QStringLiteral("Sf2ce"));
    QCOMPARE(LaunchPlan::extractionFolder(QStringLiteral("sf2tj")), QStringLiteral("sf2t"));
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

QTEST_GUILESS_MAIN(TestLaunchPlan)
#include "tst_launchplan.moc"
