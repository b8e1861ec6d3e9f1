#include "Snapshot.h"

#include "FileLookup.h"
#include "FolderListing.h"
#include "LocalText.h"

#include <sys/stat.h>

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
        struct stat info = {};
        const QString exact = folder + QLatin1Char('/') + wanted[i];
        exactHit[i] = ::stat(Platform::encodeLocal(exact).constData(), &info) == 0 && S_ISREG(info.st_mode);
        if (exactHit[i])
            found[i] = wanted[i];
        else
            missing = true;
    }

    // Snapshot folders can be large: one pass finds every other spelling at once. Pipes and
    // devices are left out, since opening one to read a picture could block the window.
    if (missing) {
        Platform::listFolder(folder, [&](QByteArrayView bytes, Platform::ListedKind kind) {
            if (kind != Platform::ListedKind::File)
                return;
            const QString name = Platform::decodeLocal(bytes);
            for (std::size_t i = 0; i < suffixes.size(); ++i) {
                if (exactHit[i] || name.compare(wanted[i], Qt::CaseInsensitive) != 0)
                    continue;
                if (found[i].isEmpty() || name < found[i])
                    found[i] = name;
            }
        });
    }

    QStringList files;
    for (const QString& name : found) {
        if (!name.isEmpty())
            files.append(folder + QLatin1Char('/') + name);
    }
    return files;
}
