#include "Catalogue.h"
#include "Snapshot.h"
#include "WorkFolder.h"

#include <QTest>

#include <sys/stat.h>

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingCatalogue();
    void recordsAndInstalledSets();
    void sameDescriptionReachesFirstSlot();
    void tableHoldsFiftyOne();
    void unsafeNamesPassedOver();
    void namesWithoutRegardToCase();
    void listOrder();
    void snapshotOrder();

private:
    QScopedPointer<WorkFolder> m_work;
};

void TestCatalogue::init()
{
    m_work.reset(new WorkFolder);
    QVERIFY(m_work->isValid());
}

void TestCatalogue::missingCatalogue()
{
    QVERIFY(m_work->makeFolder(QStringLiteral("roms.txt")));
    const Catalogue catalogue = readCatalogue(m_work->dir());
    QVERIFY(!catalogue.found);

    QVERIFY(m_work->write(QStringLiteral("ROMS.TXT")));
    const Catalogue empty = readCatalogue(m_work->dir());
    QVERIFY(empty.found);
    QCOMPARE(empty.table.count(), 0);
}

void TestCatalogue::recordsAndInstalledSets()
{
    QVERIFY(m_work->write(QStringLiteral("roms.txt"), "absent,Not Here\r\n"
                                                      "folder,\"Folder Game, Deluxe\"\r\n"
                                                      "zipped\r\n"
                                                      "Zipped Game\r\n"
                                                      "both,Both Kinds,plainfile,Plain File\r\n"
                                                      "emptydir,Empty Folder\r\n"
                                                      "odd"));
    QVERIFY(m_work->write(QStringLiteral("folder/a.rom"), "x"));
    QVERIFY(m_work->write(QStringLiteral("roms/zipped.zip"), "PK"));
    QVERIFY(m_work->write(QStringLiteral("roms/both.zip"), "PK"));
    QVERIFY(m_work->makeFolder(QStringLiteral("both")));
    QVERIFY(m_work->write(QStringLiteral("plainfile")));
    QVERIFY(m_work->makeFolder(QStringLiteral("emptydir")));
    QVERIFY(m_work->makeFolder(QStringLiteral("odd")));
    QVERIFY(m_work->makeFolder(QStringLiteral("roms/absent.zip")));

    const Catalogue catalogue = readCatalogue(m_work->dir());
    QVERIFY(catalogue.found);
    const GameTable& table = catalogue.table;
    QCOMPARE(table.count(), 5);
    const QStringList names{"folder", "zipped", "both", "plainfile", "emptydir"};
    const QStringList descriptions{"Folder Game, Deluxe", "Zipped Game", "Both Kinds", "Plain File", "Empty Folder"};
    const QStringList markers{"", "zip", "", "", ""};
    for (int slot = 0; slot < names.size(); ++slot) {
        QCOMPARE(table.romname(slot), names.at(slot));
        QCOMPARE(table.romdesc(slot), descriptions.at(slot));
        QCOMPARE(table.romzip(slot), markers.at(slot));
    }
    QCOMPARE(table.romname(5), QString());
    QCOMPARE(table.romdesc(50), QString());
    QCOMPARE(table.romzip(-1), QString());
    QCOMPARE(table.romname(51), QString());
}

void TestCatalogue::sameDescriptionReachesFirstSlot()
{
    QVERIFY(m_work->write(QStringLiteral("roms.txt"), "one,Same\r\ntwo,Other\r\nthree,Same\r\n"));
    for (const char* name : {"one", "two", "three"})
        QVERIFY(m_work->makeFolder(QLatin1String(name)));

    const GameTable table = readCatalogue(m_work->dir()).table;
    QCOMPARE(table.count(), 3);
    QCOMPARE(table.FindSelected(QStringLiteral("Same")), 0);
    QCOMPARE(table.FindSelected(QStringLiteral("Other")), 1);
    QCOMPARE(table.FindSelected(QStringLiteral("same")), GameTable::NoSlot);
    QCOMPARE(table.FindSelected(QString()), GameTable::NoSlot);
    QCOMPARE(sortedForList(table), QStringList({"Other", "Same", "Same"}));
}

void TestCatalogue::tableHoldsFiftyOne()
{
    QByteArray roms;
    for (int i = 0; i < 60; ++i) {
        const QByteArray name = "g" + QByteArray::number(i);
        roms += name + ",Game " + QByteArray::number(i) + "\r\n";
        if (i != 3)
            QVERIFY(m_work->makeFolder(QString::fromLatin1(name)));
    }
    QVERIFY(m_work->write(QStringLiteral("roms.txt"), roms));

    const Catalogue catalogue = readCatalogue(m_work->dir());
    QCOMPARE(catalogue.table.count(), GameTable::SlotCount);
    QCOMPARE(catalogue.notStored, 59 - 51);
    QCOMPARE(catalogue.table.romname(50), QStringLiteral("g51"));
    QCOMPARE(catalogue.table.FindSelected(QStringLiteral("Game 51")), 50);
    QCOMPARE(catalogue.table.FindSelected(QStringLiteral("Game 52")), GameTable::NoSlot);
    QCOMPARE(catalogue.table.FindSelected(QStringLiteral("Game 3")), GameTable::NoSlot);

    GameTable full = catalogue.table;
    QVERIFY(!full.add(QStringLiteral("extra"), QStringLiteral("Extra"), false));
    QCOMPARE(full.count(), GameTable::SlotCount);
}

void TestCatalogue::unsafeNamesPassedOver()
{
    const QByteArray roms = QByteArray(",Empty Name\r\n"
                                       ".,Dot\r\n"
                                       "..,Dot Dot\r\n"
                                       "roms/inner,Slash\r\n"
                                       "..\\outside,Backslash\r\n") +
                            QByteArray("nul\0x,Nul\r\n", 10) + "safe,Safe\r\n";
    QVERIFY(m_work->write(QStringLiteral("roms.txt"), roms));
    QVERIFY(m_work->write(QStringLiteral("roms/inner.zip")));
    QVERIFY(m_work->write(QStringLiteral("roms/.zip")));
    QVERIFY(m_work->makeFolder(QStringLiteral("safe")));
    QVERIFY(m_work->makeFolder(QStringLiteral("..\\outside")));

    const GameTable table = readCatalogue(m_work->dir()).table;
    QCOMPARE(table.count(), 1);
    QCOMPARE(table.romname(0), QStringLiteral("safe"));

    QVERIFY(!isSafeSetName("a/b"));
    QVERIFY(isSafeSetName("..."));
    QVERIFY(isSafeSetName("sf2t"));
}

void TestCatalogue::namesWithoutRegardToCase()
{
    QVERIFY(m_work->write(QStringLiteral("ROMS.TXT"), "pacx,Pac X\r\nZAPPER,Zapper\r\ncaf\xC3\xA9,Caf\xC3\xA9\r\n"
                                                      "\xC3\x84rger,Unlisted\r\nkelvin,Kelvin\r\n"));
    QVERIFY(m_work->makeFolder(QStringLiteral("PacX")));
    QVERIFY(m_work->write(QStringLiteral("Roms/zapper.ZIP")));
    QVERIFY(m_work->makeFolder(QStringLiteral("CAF\u00c9")));
    QVERIFY(m_work->makeFolder(QStringLiteral("Arger")));
    // The Kelvin sign folds to a plain k, as it does wherever names are compared.
    QVERIFY(m_work->write(QStringLiteral("Roms/\u212aELVIN.zip")));

    const GameTable table = readCatalogue(m_work->dir()).table;
    QCOMPARE(table.count(), 4);
    QCOMPARE(table.romname(2), QStringLiteral("caf\u00e9"));
    QCOMPARE(table.romdesc(2), QStringLiteral("Caf\u00e9"));
    QCOMPARE(table.romzip(2), QString());
    QCOMPARE(table.romname(3), QStringLiteral("kelvin"));
    QCOMPARE(table.romzip(3), QStringLiteral("zip"));
    QCOMPARE(table.romname(0), QStringLiteral("pacx"));
    QCOMPARE(table.romzip(0), QString());
    QCOMPARE(table.romname(1), QStringLiteral("ZAPPER"));
    QCOMPARE(table.romzip(1), QStringLiteral("zip"));
}

void TestCatalogue::listOrder()
{
    GameTable table;
    const QStringList descriptions{"zeta", "Alpha", "beta", "ALPHA", "Gamma", "alpha"};
    for (const QString& description : descriptions)
        QVERIFY(table.add(description.toLower(), description, false));
    QCOMPARE(sortedForList(table), QStringList({"Alpha", "ALPHA", "alpha", "beta", "Gamma", "zeta"}));
}

void TestCatalogue::snapshotOrder()
{
    const QDir dir = m_work->dir();
    QCOMPARE(snapshotFiles(dir, QStringLiteral("game")), QStringList());

    QVERIFY(m_work->write(QStringLiteral("Snapshot/GAME.BMP")));
    QVERIFY(m_work->write(QStringLiteral("Snapshot/game.png")));
    QVERIFY(m_work->makeFolder(QStringLiteral("Snapshot/game.gif")));
    // Opening a pipe to read the picture would block the window until something writes to it.
    QCOMPARE(::mkfifo(QFile::encodeName(m_work->filePath(QStringLiteral("Snapshot/Game.Gif"))).constData(), 0600), 0);
    QCOMPARE(snapshotFiles(dir, QStringLiteral("game")),
             QStringList({m_work->filePath(QStringLiteral("Snapshot/GAME.BMP")),
                          m_work->filePath(QStringLiteral("Snapshot/game.png"))}));

    QVERIFY(m_work->write(QStringLiteral("Snapshot/Game.Jpg")));
    QVERIFY(m_work->write(QStringLiteral("Snapshot/game.jpg")));
    QVERIFY(m_work->write(QStringLiteral("Snapshot/other.jpg")));
    const QStringList files = snapshotFiles(dir, QStringLiteral("game"));
    QCOMPARE(files.size(), 3);
    QCOMPARE(files.first(), m_work->filePath(QStringLiteral("Snapshot/game.jpg")));
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
