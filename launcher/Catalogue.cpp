#include "Catalogue.h"

#include "FileLookup.h"
#include "ItemReader.h"

#include <QDirIterator>

#include <algorithm>

namespace {

QString folded(const QString& name)
{
    return name.toCaseFolded();
}

} // namespace

InstalledIndex::InstalledIndex(const QDir& workDir)
{
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (QDirIterator it(workDir.absolutePath(), all); it.hasNext();) {
        it.next();
        m_entries.insert(folded(it.fileName()));
    }

    const QString roms = Platform::findEntry(workDir, QStringLiteral("roms"), Platform::EntryKind::Folder);
    if (roms.isEmpty())
        return;
    const QString suffix = QStringLiteral(".zip");
    for (QDirIterator it(roms, QDir::Files | QDir::Hidden | QDir::System); it.hasNext();) {
        it.next();
        const QString name = it.fileName();
        if (name.endsWith(suffix, Qt::CaseInsensitive))
            m_zips.insert(folded(name.chopped(suffix.size())));
    }
}

bool InstalledIndex::isUnpacked(const QString& name) const
{
    return m_entries.contains(folded(name));
}

bool InstalledIndex::isZipped(const QString& name) const
{
    return m_zips.contains(folded(name));
}

bool isSafeSetName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
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
    QString name;
    QString description;
    while (!reader.atEnd()) {
        reader.readItem(&name);
        // A record cut short at the end of the file names no game.
        if (!reader.readItem(&description))
            break;
        if (!isSafeSetName(name))
            continue;
        // A folder (or file) of the set's name wins over an archive: such a set is never extracted.
        bool zipped = false;
        if (!installed.isUnpacked(name)) {
            if (!installed.isZipped(name))
                continue;
            zipped = true;
        }
        if (!catalogue.table.add(name, description, zipped))
            ++catalogue.notStored;
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
