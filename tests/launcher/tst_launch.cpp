#include "ArchiveMaker.h"
#include "MainFrmTest.h"
#include "MessageBoxSpy.h"
#include "ProcessStart.h"
#include "UnzipModule.h"
#include "WorkFolder.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

const QByteArray catalogue = "pacman,Pac Man\r\n"
                             "galaga,Galaga\r\n"
                             "sf2ce,Street Fighter II CE\r\n"
                             "sf2cej,SF2 CE Japan\r\n"
                             "sf2tj,SF2 Turbo Japan\r\n"
                             "sf2t,SF2 Turbo\r\n";

// What the stand-in emulator saw when it started.
struct Launched
{
    QStringList arguments;
    QStringList files;
};

} // namespace

class TestLaunch : public MainFrmTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void commandLines_data();
    void commandLines();
    void settingsReadAtEveryLaunch();
    void zippedSetExtractedAndRemoved();
    void sharedFolderSets_data();
    void sharedFolderSets();
    void missingArchiveReported();
    void userFolderSurvivesCleanup();
    void launchTriggers();
    void windowDisabledUntilStarted();

private:
    void select(const QString& description);
    void pressLaunch();
    // Presses "Launch The Game" and waits for the stand-in emulator's record of its start.
    bool launch();
    // Waits for that record, and takes it away for the next launch.
    bool launched();
    bool exists(const QString& relative) const { return QFileInfo::exists(m_work->filePath(relative)); }

    Launched m_seen;
};

void TestLaunch::init()
{
    m_work.reset(new WorkFolder);
    QVERIFY(m_work->layRecordingEmulator(catalogue));
    QVERIFY(m_work->write(QStringLiteral("pacman/pacman.rom"), "own"));
    QVERIFY(m_work->makeFolder(QStringLiteral("roms")));
    QVERIFY(writeArchive(m_work->filePath(QStringLiteral("roms/galaga.zip")),
                         {{"a.rom", "a"}, {"gfx/", {}}, {"gfx/b.rom", "b"}}));
    QVERIFY(writeArchive(m_work->filePath(QStringLiteral("roms/sf2ce.zip")), {{"ce.rom", "ce"}}));
    QVERIFY(writeArchive(m_work->filePath(QStringLiteral("roms/sf2cej.zip")), {{"cej.rom", "cej"}}));
    QVERIFY(writeArchive(m_work->filePath(QStringLiteral("roms/sf2tj.zip")), {{"tj.rom", "tj"}}));
    QVERIFY(writeArchive(m_work->filePath(QStringLiteral("roms/sf2t.zip")), {{"t.rom", "t"}}));
    // The extraction resolves its paths against the current folder, as the program never leaves it.
    QVERIFY(QDir::setCurrent(m_work->path()));
}

void TestLaunch::cleanup()
{
    m_frm.reset();
    m_list = nullptr;
    Platform::setProcessStartHook({});
    QDir::setCurrent(QDir::tempPath());
}

void TestLaunch::select(const QString& description)
{
    const QList<QListWidgetItem*> items = m_list->findItems(description, Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, m_list->visualItemRect(items.first()).center());
    QCOMPARE(m_list->currentItem(), items.first());
}

void TestLaunch::pressLaunch()
{
    QTest::mouseClick(m_frm->findChild<QPushButton*>(QStringLiteral("Launch")), Qt::LeftButton);
}

bool TestLaunch::launch()
{
    pressLaunch();
    return launched();
}

bool TestLaunch::launched()
{
    const QString record = m_work->filePath(QStringLiteral("launch.txt"));
    if (!QTest::qWaitFor([&] { return QFileInfo::exists(record); }, 20000))
        return false;
    const QStringList lines = QString::fromLocal8Bit(m_work->read(QStringLiteral("launch.txt"))).split(u'\n');
    QFile::remove(record);
    const qsizetype end = lines.indexOf(QStringLiteral("--"));
    m_seen.arguments.clear();
    for (const QString& argument : lines.mid(0, end))
        m_seen.arguments.append(argument.mid(1, argument.size() - 2));
    m_seen.files = lines.mid(end + 1);
    m_seen.files.removeAll(QString());
    return true;
}

void TestLaunch::commandLines_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("settings items")
        << QByteArray("-res 384 224\r\n-frameskip AUTO\r\n-vsync OFF\r\n-setinput 1 key1\r\n-setinput 2 key1\r\n")
        << QStringList{"pacman", "-res",      "384", "224",  "-frameskip", "AUTO", "-vsync",
                       "OFF",    "-setinput", "1",   "key1", "-setinput",  "2",    "key1"};
    QTest::newRow("free text last") << QByteArray("-double\r\nother\r\n-nosound -log\r\n")
                                    << QStringList{"pacman", "-double", "-nosound", "-log"};
    QTest::newRow("comma in the free text") << QByteArray("other\r\n-a,-b\r\n") << QStringList{"pacman", "-a", "-b"};
    QTest::newRow("empty lines") << QByteArray("-double\r\n\r\n\r\n-linear\r\n")
                                 << QStringList{"pacman", "-double", "-linear"};
    QTest::newRow("quoted free text") << QByteArray("other\r\n-cfg \"my file\"\r\n")
                                      << QStringList{"pacman", "-cfg", "my file"};
    QTest::newRow("marker last") << QByteArray("-double\r\nother\r\n") << QStringList{"pacman", "-double"};
    QTest::newRow("marker as free text") << QByteArray("other\r\nother\r\nOther\r\n")
                                         << QStringList{"pacman", "other", "Other"};
    QTest::newRow("no settings file") << QByteArray() << QStringList{"pacman"};
}

void TestLaunch::commandLines()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, arguments);
    if (!settings.isEmpty())
        QVERIFY(m_work->write(QStringLiteral("Gantrel.INI"), settings));

    QVERIFY(openWindow());
    select(QStringLiteral("Pac Man"));
    QVERIFY(launch());
    QCOMPARE(m_seen.arguments, arguments);
    QVERIFY(m_frm->isEnabled());
    // An unpacked set is started as it lies, and the next action has nothing to remove.
    QCOMPARE(m_seen.files, QStringList{"./pacman/pacman.rom"});
    select(QStringLiteral("Galaga"));
    QVERIFY(exists(QStringLiteral("pacman/pacman.rom")));
}

void TestLaunch::settingsReadAtEveryLaunch()
{
    QVERIFY(m_work->write(QStringLiteral("gantrel.ini"), "-vsync OFF\r\n"));
    QVERIFY(openWindow());
    select(QStringLiteral("Pac Man"));
    QVERIFY(launch());
    QCOMPARE(m_seen.arguments, (QStringList{"pacman", "-vsync", "OFF"}));

    QVERIFY(m_work->write(QStringLiteral("gantrel.ini"), "-vsync ON\r\n-double\r\n"));
    QVERIFY(launch());
    QCOMPARE(m_seen.arguments, (QStringList{"pacman", "-vsync", "ON", "-double"}));
}

void TestLaunch::zippedSetExtractedAndRemoved()
{
    MessageBoxSpy spy;
    QVERIFY(openWindow());
    select(QStringLiteral("Galaga"));
    QVERIFY(launch());
    QCOMPARE(m_seen.arguments, QStringList{"galaga"});
    QCOMPARE(m_seen.files, (QStringList{"./galaga/a.rom", "./galaga/gfx/b.rom", "./pacman/pacman.rom"}));

    // The same game again: the first extraction goes, the set is extracted anew.
    QVERIFY(m_work->write(QStringLiteral("galaga/stray.sav"), "x"));
    QVERIFY(launch());
    QCOMPARE(m_seen.files, (QStringList{"./galaga/a.rom", "./galaga/gfx/b.rom", "./pacman/pacman.rom"}));
    QVERIFY(exists(QStringLiteral("galaga/a.rom")));

    // Any next action removes the extracted files, here a new selection; and so does the close box.
    select(QStringLiteral("Pac Man"));
    QVERIFY(!exists(QStringLiteral("galaga")));
    QVERIFY(exists(QStringLiteral("pacman/pacman.rom")));
    select(QStringLiteral("Galaga"));
    QVERIFY(launch());
    QVERIFY(m_frm->close());
    QVERIFY(!exists(QStringLiteral("galaga")));
    QVERIFY(spy.requests().isEmpty());
}

void TestLaunch::sharedFolderSets_data()
{
    // The description, then the emulator's argument, then the files it finds.
    QTest::addColumn<QStringList>("row");
    QTest::newRow("sf2ce") << QStringList{"Street Fighter II CE", "sf2ce", "./sf2t/ce.rom", "./sf2t/t.rom"};
    QTest::newRow("sf2cej") << QStringList{"SF2 CE Japan", "sf2cej", "./sf2t/cej.rom", "./sf2t/tj.rom"};
    QTest::newRow("sf2tj") << QStringList{"SF2 Turbo Japan", "sf2tj", "./sf2t/tj.rom"};
    QTest::newRow("sf2t") << QStringList{"SF2 Turbo", "sf2t", "./sf2t/t.rom"};
}

void TestLaunch::sharedFolderSets()
{
    QFETCH(QStringList, row);
    QVERIFY(QFile::remove(m_work->filePath(QStringLiteral("pacman/pacman.rom"))));

    MessageBoxSpy spy;
    QVERIFY(openWindow());
    select(row.at(0));
    QVERIFY(launch());
    QCOMPARE(m_seen.arguments, QStringList{row.at(1)});
    QCOMPARE(m_seen.files, row.mid(2));
    QVERIFY(spy.requests().isEmpty());

    QTest::mouseClick(m_frm->findChild<QPushButton*>(QStringLiteral("Exit")), Qt::LeftButton);
    QVERIFY(!exists(QStringLiteral("sf2t")));
}

void TestLaunch::missingArchiveReported()
{
    QVERIFY(QFile::remove(m_work->filePath(QStringLiteral("roms/sf2t.zip"))));
    MessageBoxSpy spy;
    QVERIFY(openWindow());
    select(QStringLiteral("Street Fighter II CE"));
    UnzipMessages = UnzipNewLine = QStringLiteral("stale");

    // The box shows the status number alone; the launch goes on with what could be extracted.
    QVERIFY(launch());
    QCOMPARE(spy.requests().size(), 1);
    QCOMPARE(spy.requests().first().text, QStringLiteral("9"));
    QVERIFY(!spy.requests().first().details.startsWith(QStringLiteral("stale")) && UnzipNewLine == "\r\n");
    QCOMPARE(spy.requests().first().caption, QStringLiteral("Gantrel"));
    QCOMPARE(spy.requests().first().buttons, Platform::MessageButtons::Ok);
    QCOMPARE(m_seen.arguments, QStringList{"sf2ce"});
    QVERIFY(m_seen.files.contains(QStringLiteral("./sf2t/ce.rom")));

    select(QStringLiteral("Pac Man"));
    QVERIFY(!exists(QStringLiteral("sf2t")));
}

void TestLaunch::userFolderSurvivesCleanup()
{
    // The user's own unpacked sf2t, under another spelling, shared by the zipped sf2ce.
    QVERIFY(m_work->write(QStringLiteral("SF2T/t.rom"), "user's t"));
    QVERIFY(m_work->write(QStringLiteral("SF2T/hiscore/sf2t.hi"), "scores"));
    QVERIFY(m_work->makeFolder(QStringLiteral("SF2T/empty")));
    QVERIFY(writeArchive(m_work->filePath(QStringLiteral("roms/sf2ce.zip")),
                         {{"ce.rom", "ce"}, {"hiscore/ce.hi", "new"}, {"gfx/deep/ce.gfx", "new"}}));
    QVERIFY(openWindow());
    select(QStringLiteral("Street Fighter II CE"));
    QVERIFY(launch());
    QCOMPARE(m_seen.files, (QStringList{"./SF2T/ce.rom", "./SF2T/gfx/deep/ce.gfx", "./SF2T/hiscore/ce.hi",
                                        "./SF2T/hiscore/sf2t.hi", "./SF2T/t.rom", "./pacman/pacman.rom"}));

    select(QStringLiteral("Pac Man"));
    for (const char* added : {"SF2T/ce.rom", "SF2T/hiscore/ce.hi", "SF2T/gfx"})
        QVERIFY2(!exists(QLatin1String(added)), added);
    QVERIFY(exists(QStringLiteral("SF2T/empty")));
    // The archive's t.rom stood in for the user's file while the emulator ran; now the user's is back.
    QCOMPARE(m_work->read(QStringLiteral("SF2T/t.rom")), QByteArray("user's t"));
    QCOMPARE(m_work->read(QStringLiteral("SF2T/hiscore/sf2t.hi")), QByteArray("scores"));
    QCOMPARE(m_work->dir().entryList(QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot).filter(".gantrel"),
             QStringList());
}

void TestLaunch::launchTriggers()
{
    QVERIFY(openWindow());

    // Nothing selected: Enter does nothing.
    QTest::keyClick(m_list, Qt::Key_Return);
    QVERIFY(m_frm->isEnabled());
    QVERIFY(!exists(QStringLiteral("launch.txt")));

    select(QStringLiteral("Galaga"));
    QTest::keyClick(m_list, Qt::Key_Return);
    QVERIFY(launched());
    QCOMPARE(m_seen.arguments, QStringList{"galaga"});

    // A double click selects (cleaning up the last launch) and launches.
    const QListWidgetItem* pacman = m_list->findItems(QStringLiteral("Pac Man"), Qt::MatchExactly).first();
    const QPoint where = m_list->visualItemRect(pacman).center();
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, where);
    QVERIFY(!exists(QStringLiteral("galaga")));
    QTest::mouseDClick(m_list->viewport(), Qt::LeftButton, {}, where);
    QVERIFY(launched());
    QCOMPARE(m_seen.arguments, QStringList{"pacman"});

    QTest::keyClick(m_list, Qt::Key_Enter);
    QVERIFY(launched());
    QCOMPARE(m_seen.arguments, QStringList{"pacman"});

    // Enter on a button presses that button and launches nothing.
    auto* exitButton = m_frm->findChild<QPushButton*>(QStringLiteral("Exit"));
    exitButton->setFocus();
    QTest::keyClick(exitButton, Qt::Key_Return);
    QVERIFY(!m_frm->isVisible());
    QVERIFY(!exists(QStringLiteral("launch.txt")));
}

void TestLaunch::windowDisabledUntilStarted()
{
    QList<bool> enabled;
    QList<Platform::ProcessRequest> requests;
    Platform::setProcessStartHook([&](const Platform::ProcessRequest& request) {
        enabled.append(m_frm->isEnabled());
        requests.append(request);
        return Platform::StartResult{true, {}};
    });
    QVERIFY(
        QFile::rename(m_work->filePath(QStringLiteral("torvak.exe")), m_work->filePath(QStringLiteral("TORVAK.EXE"))));
    QVERIFY(openWindow());
    select(QStringLiteral("Galaga"));
    pressLaunch();
    QCOMPARE(enabled, QList<bool>{false});
    QVERIFY(m_frm->isEnabled());
    QCOMPARE(requests.first().program, m_work->filePath(QStringLiteral("TORVAK.EXE")));
    QCOMPARE(QDir(requests.first().workingFolder), m_work->dir());
}

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
