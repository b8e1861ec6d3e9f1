#include "Catalogue.h"
#include "Snapshot.h"
#include "WorkFolder.h"

#include <QTest>

#include <sys/stat.h>

namespace {

// Each filled slot as its name, description and zip marker.
QList<QStringList> filled(const GameTable& table)
{
    QList<QStringList> shown;
    for (int slot = 0; slot < table.count(); ++slot)
        shown.append({table.romname(slot), table.romdesc(slot), table.romzip(slot)});
    return shown;
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

    QScopedPointer<WorkFolder> m_work;

private slots:
    void init() { m_work.reset(new WorkFolder); }

    // Records are pairs of items, and only installed sets are kept: a folder of the set's name, or an archive
    // of it under roms/, names matched without regard to case. Names that would reach outside the folder
    // are passed over.
    void recordsAndInstalledSets()
    {
        // A folder of the catalogue's name is no catalogue; an empty file is one.
        QVERIFY(m_work->makeFolder("roms.txt"));
        QCOMPARE(readCatalogue(m_work->dir()).found, false);
        QVERIFY(m_work->write("ROMS.TXT"));
        QCOMPARE(readCatalogue(m_work->dir()).found, true);

        QVERIFY(m_work->write(
            "ROMS.TXT", QByteArray("absent,Not Here\r\nfolder,\"Folder Game, Deluxe\"\r\nzipped\r\nZipped Game\r\n"
                                   "both,Both Kinds,plainfile,Plain File\r\nemptydir,Empty Folder\r\n"
                                   ",Empty Name\r\n.,Dot\r\n..,Dot Dot\r\nroms/inner,Slash\r\n..\\outside,Back\r\n") +
                            QByteArray("nul\0x,Nul\r\n", 10) +
                            "...,Dots\r\npacx,Pac X\r\nZAPPER,Zapper\r\ncaf\xC3\xA9,Caf\xC3\xA9\r\n"
                            "\xC3\x84rger,Unlisted\r\nkelvin,Kelvin\r\nodd"));
        for (const QString folder : {"folder", "both", "emptydir", "odd", "Roms/absent.zip", "..\\outside", "...",
                                     "PacX", "Arger", "CAF\u00c9"})
            QVERIFY(m_work->makeFolder(folder));
        // The Kelvin sign folds to a plain k, as it does wherever names are compared.
        for (const QString file : {"Roms/zipped.zip", "Roms/both.zip", "plainfile", "Roms/inner.zip", "Roms/.zip",
                                   "Roms/zapper.ZIP", "Roms/..zip", "Roms/...zip", "Roms/\u212aELVIN.zip"})
            QVERIFY(m_work->write(file));

        const GameTable table = readCatalogue(m_work->dir()).table;
        QCOMPARE(filled(table), (QList<QStringList>{{"folder", "Folder Game, Deluxe", ""},
                                                    {"zipped", "Zipped Game", "zip"},
                                                    {"both", "Both Kinds", ""},
                                                    {"plainfile", "Plain File", ""},
                                                    {"emptydir", "Empty Folder", ""},
                                                    {"...", "Dots", ""},
                                                    {"pacx", "Pac X", ""},
                                                    {"ZAPPER", "Zapper", "zip"},
                                                    {QStringLiteral("caf\u00e9"), QStringLiteral("Caf\u00e9"), ""},
                                                    {"kelvin", "Kelvin", "zip"}}));
        // Slots past the count and out of range are empty.
        QCOMPARE((QStringList{table.romname(10), table.romdesc(50), table.romzip(-1), table.romname(51)}),
                 QStringList(4));
    }

    void tableHoldsFiftyOne()
    {
        QByteArray roms;
        for (int i = 0; i < 60; ++i) {
            // Game 2 is described as Game 0 again.
            roms += "g" + QByteArray::number(i) + ",Game " + QByteArray::number(i == 2 ? 0 : i) + "\r\n";
            QVERIFY(i == 3 || m_work->makeFolder("g" + QString::number(i)));
        }
        QVERIFY(m_work->write("roms.txt", roms));

        const Catalogue catalogue = readCatalogue(m_work->dir());
        GameTable full = catalogue.table;
        // The count, what was left out, the slots of games 51, 52, the missing 3, the twice described 0 (its
        // first slot), of "game 0" and of nothing, then an addition.
        QCOMPARE(
            (QList<int>{full.count(), catalogue.notStored, full.FindSelected("Game 51"), full.FindSelected("Game 52"),
                        full.FindSelected("Game 3"), full.FindSelected("Game 0"), full.FindSelected("game 0"),
                        full.FindSelected(QString()), full.add("extra", "Extra", false), full.count()}),
            (QList<int>{GameTable::SlotCount, 59 - 51, 50, GameTable::NoSlot, GameTable::NoSlot, 0, GameTable::NoSlot,
                        GameTable::NoSlot, 0, GameTable::SlotCount}));
    }

    // The list sorts without regard to case, ties kept in table order.
    void sortedForTheList()
    {
        GameTable table;
        for (const QString description : {"zeta", "Alpha", "beta", "ALPHA", "Gamma", "alpha"})
            QVERIFY(table.add(description.toLower(), description, false));
        QCOMPARE(sortedForList(table), QStringList({"Alpha", "ALPHA", "alpha", "beta", "Gamma", "zeta"}));
    }

    void snapshotOrder()
    {
        QCOMPARE(snapshotFiles(m_work->dir(), "game"), QStringList());
        QVERIFY(m_work->write("Snapshot/GAME.BMP") && m_work->write("Snapshot/game.png"));
        QVERIFY(m_work->makeFolder("Snapshot/game.gif"));
        // Opening a pipe to read the picture would block the window until something writes to it.
        QCOMPARE(::mkfifo(QFile::encodeName(m_work->filePath("Snapshot/Game.Gif")).constData(), 0600), 0);
        QCOMPARE(snapshotFiles(m_work->dir(), "game"),
                 QStringList({m_work->filePath("Snapshot/GAME.BMP"), m_work->filePath("Snapshot/game.png")}));

        QVERIFY(m_work->write("Snapshot/Game.Jpg") && m_work->write("Snapshot/game.jpg"));
        QVERIFY(m_work->write("Snapshot/other.jpg"));
        QCOMPARE(snapshotFiles(m_work->dir(), "game"),
                 QStringList({m_work->filePath("Snapshot/game.jpg"), m_work->filePath("Snapshot/GAME.BMP"),
                              m_work->filePath("Snapshot/game.png")}));
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
