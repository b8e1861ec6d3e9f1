#include "Snapshot.h"

#include "FileLookup.h"

#include <QDirIterator>
#include <QFileInfo>

#include <array>

QStringList snapshotFiles(const QDir& workDir, const QString& romname)
{
    const QString folder = Platform::findEntry(workDir, QStringLiteral("snapshot"), Platform::EntryKind::Folder);
    if (folder.isEmpty())
        return {};

    constexpr std::array<const char*, 4> suffixes{".jpg", ".gif", ".bmp", ".png"};
    std::array<QString, suffixes.size()> wanted;
    std::array<QString, suffixes.size()> found;
    std::array<bool, suffixes.size()> exactHit{};
    bool missing = false;
    for (std::size_t i = 0; i < suffixes.size(); ++i) {
        wanted[i] = romname + QLatin1String(suffixes[i]);
        const QFileInfo exact(folder + QLatin1Char('/') + wanted[i]);
        exactHit[i] = exact.isFile();
        if (exactHit[i])
            found[i] = exact.absoluteFilePath();
        else
            missing = true;
    }

    // Snapshot folders can be large: one pass finds every other spelling at once. Pipes and
    // devices are left out, since opening one to read a picture could block the window.
    if (missing) {
        for (QDirIterator it(folder, QDir::Files | QDir::Hidden); it.hasNext();) {
            it.next();
            const QString name = it.fileName();
            for (std::size_t i = 0; i < suffixes.size(); ++i) {
                if (exactHit[i] || name.compare(wanted[i], Qt::CaseInsensitive) != 0)
                    continue;
                if (found[i].isEmpty() || name < QFileInfo(found[i]).fileName())
                    found[i] = it.filePath();
            }
        }
    }

    QStringList files;
    for (const QString& path : found) {
        if (!path.isEmpty())
            files.append(path);
    }
    return files;
}
