#include "FileLookup.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

namespace Platform {

namespace {

bool isKind(const QFileInfo& info, EntryKind kind)
{
    switch (kind) {
    case EntryKind::File:
        return info.isFile();
    case EntryKind::Folder:
        return info.isDir();
    case EntryKind::Any:
        return info.exists();
    }
    return false;
}

QString findInFolder(const QString& folder, const QString& name, EntryKind kind)
{
    const QFileInfo exact(folder + QLatin1Char('/') + name);
    if (isKind(exact, kind))
        return exact.absoluteFilePath();

    QString best;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString candidate = it.fileName();
        if (candidate.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (!best.isEmpty() && candidate >= QFileInfo(best).fileName())
            continue;
        if (isKind(it.fileInfo(), kind))
            best = it.filePath();
    }
    return best;
}

} // namespace

QString findEntry(const QDir& base, const QString& relativePath, EntryKind kind)
{
    QString normalized = relativePath;
    normalized.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = normalized.split(QLatin1Char('/'), Qt::SkipEmptyParts);

    QString current = base.absolutePath();
    if (parts.isEmpty())
        return isKind(QFileInfo(current), kind) ? current : QString();

    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts.at(i);
        const bool last = i == parts.size() - 1;
        if (part == QLatin1String(".") || part == QLatin1String("..")) {
            current = QDir::cleanPath(current + QLatin1Char('/') + part);
            if (last && !isKind(QFileInfo(current), kind))
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

bool entryExists(const QDir& base, const QString& relativePath)
{
    return !findEntry(base, relativePath, EntryKind::Any).isEmpty();
}

bool sameEntry(const QString& first, const QString& second)
{
    struct stat a = {};
    struct stat b = {};
    if (::stat(QFile::encodeName(first).constData(), &a) != 0 || ::stat(QFile::encodeName(second).constData(), &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace Platform
