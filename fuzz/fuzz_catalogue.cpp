// The catalogue load over an arbitrary roms.txt, against a small emulator folder made once.
#include "Catalogue.h"
#include "FuzzSupport.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

namespace {

// Names in lower case. "roms" and "roms.txt" are entries of the folder too, so they count as sets.
const QSet<QString> unpacked{"pacman", "galaga", "mspacman", QString::fromUtf8("\xc3\xa4rger"), "roms", "roms.txt"};
const QSet<QString> zipped{"dkong", "sf2", "galaga"};

QDir makeFolder()
{
    static QTemporaryDir temp;
    const QDir dir(temp.path());
    for (const char* folder : {"pacman", "Galaga", "\xc3\x84rger", "roms/nozip.zip"})
        dir.mkpath(QString::fromUtf8(folder));
    for (const char* file : {"mspacman", "roms/DKONG.zip", "roms/sf2.ZIP", "roms/galaga.zip", "roms/pacman.zip.txt"}) {
        QFile out(dir.filePath(QString::fromUtf8(file)));
        require(out.open(QIODevice::WriteOnly), "cannot lay out the folder");
    }
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QDir dir = makeFolder();
    QFile file(dir.filePath("roms.txt"));
    require(file.open(QIODevice::WriteOnly) && file.write(bytesOf(data, size)) == qint64(size), "cannot write");
    file.close();

    const Catalogue catalogue = readCatalogue(dir);
    require(catalogue.found, "roms.txt not found");
    const GameTable& table = catalogue.table;
    require(table.count() >= 0 && table.count() <= GameTable::SlotCount, "slot count out of range");
    require(catalogue.notStored == 0 || table.count() == GameTable::SlotCount, "left out with slots free");
    for (int i = 0; i < table.count(); ++i) {
        const QString name = table.romname(i);
        require(name != "." && name != ".." && !name.contains('/') && !name.contains('\\') && !name.contains(QChar()),
                "a name that reaches outside the folder");
        const QString key = name.toLower();
        const bool isZipped = !table.romzip(i).isEmpty();
        require(isZipped ? zipped.contains(key) && !unpacked.contains(key) : unpacked.contains(key),
                "a listed game that is not installed that way");
    }
    require(table.romname(table.count()).isEmpty(), "a slot filled past the count");
    return 0;
}
