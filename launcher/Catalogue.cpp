#include "Catalogue.h"

#include "FileLookup.h"
#include "InstalledIndex.h"
#include "ItemReader.h"
#include "LaunchTransaction.h"
#include "LocalText.h"

#include <QCollator>
#include <QLocale>

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
    if (!ItemReader::readFile(path, &data, &catalogue.error))
        return catalogue;
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
            catalogue.table.add(Platform::decodeLocal(name), Platform::decodeLocal(description), zipped);
    }
    return catalogue;
}

QStringList sortedForList(const GameTable& table)
{
    QStringList descriptions;
    descriptions.reserve(table.count());
    for (int i = 0; i < table.count(); ++i)
        descriptions.append(table.romdesc(i));
    // As people read them in the system's language: accented letters beside their plain ones.
    // The C locale orders by code point, which is no order for people: it gets the common one.
    const QLocale locale = QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    std::stable_sort(descriptions.begin(), descriptions.end(),
                     [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    return descriptions;
}
