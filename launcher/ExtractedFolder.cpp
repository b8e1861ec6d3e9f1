#include "ExtractedFolder.h"

#include "FileLookup.h"

#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr QDir::Filters everything = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;

} // namespace

void ExtractedFolder::begin(const QDir& workDir, const QString& folder)
{
    m_workDir = workDir;
    m_folder = folder;
    m_active = true;
    m_before.clear();

    const QString path = Platform::findEntry(workDir, folder, Platform::EntryKind::Folder);
    m_existed = !path.isEmpty();
    if (!m_existed)
        return;
    const QDir root(path);
    QDirIterator it(path, everything, QDirIterator::Subdirectories);
    while (it.hasNext())
        m_before.insert(root.relativeFilePath(it.next()));
}

void ExtractedFolder::clean()
{
    if (!m_active)
        return;
    m_active = false;

    const QString path = Platform::findEntry(m_workDir, m_folder, Platform::EntryKind::Folder);
    if (path.isEmpty())
        return;
    QDir root(path);
    if (!m_existed) {
        root.removeRecursively();
        return;
    }

    // Files first, then the new folders from the deepest up, so that each is empty when its turn comes.
    QStringList newFiles;
    QStringList newFolders;
    QDirIterator it(path, everything, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = root.relativeFilePath(it.next());
        if (m_before.contains(relative))
            continue;
        const QFileInfo info = it.fileInfo();
        (info.isDir() && !info.isSymLink() ? newFolders : newFiles).append(relative);
    }
    for (const QString& file : std::as_const(newFiles))
        root.remove(file);
    std::sort(newFolders.begin(), newFolders.end(),
              [](const QString& a, const QString& b) { return a.count(u'/') > b.count(u'/'); });
    for (const QString& folder : std::as_const(newFolders))
        root.rmdir(folder);
    m_before.clear();
}
