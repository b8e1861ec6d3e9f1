#include "Catalogue.h"

#include "FileLookup.h"
#include "InstalledIndex.h"
#include "ItemReader.h"
#include "LaunchTransaction.h"

#include <algorithm>

bool isSafeSetName(QByteArrayView name)
{
    if (name.isEmpty() || name == QByteArrayView(".") || name == QByteArrayView(".."))
        return false;
    for (const char c : name) {
        if (c == '/' || c == '\\' || c == '\0')
            return false;
    }
    return true;
}

Catalogue readCatalogue(const QDir& workDir)
{
    Catalogue catalogue;
    const QString path = Platform::findEntry(workDir, QStringLiteral("roms.txt"), Platform::EntryKind::File);
    if (path.isEmpty())
        return catalogue;
    catalogue.found = true;

    QByteArray data;
    ItemReader::readFile(path, &data);
    const InstalledIndex installed(workDir);

    ItemReader reader(std::move(data));
    // Most records name games that are not installed: decode a record only when it is stored.
    QByteArrayView name;
    QByteArrayView description;
    while (!reader.atEnd()) {
        reader.readItemView(&name);
        // A record cut short at the end of the file names no game.
        if (!reader.readItemView(&description))
            break;
        // Gantrel's own files (the launch record, the lock) are never games.
        if (!isSafeSetName(name) || LaunchTransaction::isOwnName(name))
            continue;
        // A folder (or file) of the set's name wins over an archive: such a set is never extracted.
        bool zipped = false;
        if (!installed.isUnpacked(name)) {
            if (!installed.isZipped(name))
                continue;
            zipped = true;
        }
        if (catalogue.table.count() == GameTable::SlotCount)
            ++catalogue.notStored;
        else
            catalogue.table.add(QString::fromLocal8Bit(name), QString::fromLocal8Bit(description), zipped);
    }
    return catalogue;
}

QStringList sortedForList(const GameTable& table)
{
    QStringList descriptions;
    descriptions.reserve(table.count());
    for (int i = 0; i < table.count(); ++i)
        descriptions.append(table.romdesc(i));
    std::stable_sort(descriptions.begin(), descriptions.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return descriptions;
}
