#include "FileLookup.h"

#include "FolderListing.h"
#include "LocalText.h"

#include <QStringList>

#include <sys/stat.h>

namespace Platform {

namespace {

// Names on disk are bytes: every path is built and looked at through encodeLocal, so that a name
// that is not UTF-8 is found under its own bytes. Links are followed.
bool isKind(const QString& path, EntryKind kind)
{
    struct stat info = {};
    if (::stat(encodeLocal(path).constData(), &info) != 0)
        return false;
    switch (kind) {
    case EntryKind::File:
        return S_ISREG(info.st_mode);
    case EntryKind::Folder:
        return S_ISDIR(info.st_mode);
    case EntryKind::Any:
        return true;
    }
    return false;
}

QString findInFolder(const QString& folder, const QString& name, EntryKind kind)
{
    const QString exact = folder + QLatin1Char('/') + name;
    if (isKind(exact, kind))
        return exact;

    QString best;
    listFolder(folder, [&](QByteArrayView bytes, ListedKind listed) {
        const QString candidate = decodeLocal(bytes);
        if (candidate.compare(name, Qt::CaseInsensitive) != 0 || (!best.isEmpty() && candidate >= best))
            return;
        const bool matches = kind == EntryKind::Any || (kind == EntryKind::File && listed == ListedKind::File) ||
                             (kind == EntryKind::Folder && listed == ListedKind::Folder);
        if (matches)
            best = candidate;
    });
    return best.isEmpty() ? QString() : folder + QLatin1Char('/') + best;
}

} // namespace

QString findEntry(const QDir& base, const QString& relativePath, EntryKind kind)
{
    QString normalized = relativePath;
    normalized.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = normalized.split(QLatin1Char('/'), Qt::SkipEmptyParts);

    QString current = base.absolutePath();
    if (parts.isEmpty())
        return isKind(current, kind) ? current : QString();

    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts.at(i);
        const bool last = i == parts.size() - 1;
        if (part == QLatin1String(".") || part == QLatin1String("..")) {
            current = QDir::cleanPath(current + QLatin1Char('/') + part);
            if (last && !isKind(current, kind))
                return {};
            continue;
        }
        current = findInFolder(current, part, last ? kind : EntryKind::Folder);
        if (current.isEmpty())
            return {};
    }
    return current;
}

bool fileExists(const QDir& base, const QString& relativePath)
{
    return !findEntry(base, relativePath, EntryKind::File).isEmpty();
}

} // namespace Platform
