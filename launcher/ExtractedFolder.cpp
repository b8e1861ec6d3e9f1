#include "ExtractedFolder.h"

#include "FileLookup.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QDir::Filters everything = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;

} // namespace

void ExtractedFolder::begin(const QDir& workDir, const QString& folder)
{
    m_workDir = workDir;
    m_folder = folder;
    m_active = true;
    m_before.clear();
    m_keptPath.clear();

    const QString path = Platform::findEntry(workDir, folder, Platform::EntryKind::Folder);
    m_existed = !path.isEmpty();
    if (!m_existed)
        return;
    // The extraction replaces files of the same name. A second name for each file, in a hidden
    // folder beside it, keeps the user's copy so that the clean-up can put it back. A kept folder
    // that is already there is left by a run that ended before its clean-up and may hold the only
    // copy of a user's file, so it is not touched: this run takes a name of its own.
    const QString keptBase = workDir.filePath(QStringLiteral(".gantrel-kept-") + folder);
    m_keptPath = keptBase;
    for (int n = 2; ::mkdir(QFile::encodeName(m_keptPath).constData(), 0777) != 0; ++n) {
        if (errno != EEXIST || n > 1000) {
            m_keptPath.clear();
            break;
        }
        m_keptPath = keptBase + QLatin1Char('-') + QString::number(n);
    }
    const QDir root(path);
    const QDir kept(m_keptPath);
    QDirIterator it(path, everything, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        const QString relative = root.relativeFilePath(entry);
        m_before.insert(relative);
        const QFileInfo info = it.fileInfo();
        if (!m_keptPath.isEmpty() && info.isFile() && !info.isSymLink()) {
            const QString keptFile = kept.filePath(relative);
            kept.mkpath(QFileInfo(keptFile).path());
            ::link(QFile::encodeName(entry).constData(), QFile::encodeName(keptFile).constData());
        }
    }
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
    restoreKept(root);
}

void ExtractedFolder::restoreKept(const QDir& root)
{
    if (m_keptPath.isEmpty())
        return;
    const QDir kept(m_keptPath);
    QStringList folders;
    QDirIterator it(m_keptPath, everything, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString keptFile = it.next();
        const QString relative = kept.relativeFilePath(keptFile);
        if (it.fileInfo().isDir()) {
            folders.append(relative);
            continue;
        }
        // Still the same file (perhaps written to by the emulator): the second name just goes.
        // Replaced by the extraction: the user's copy moves back. A copy that cannot go back stays.
        const QString original = root.filePath(relative);
        if (Platform::sameEntry(original, keptFile))
            QFile::remove(keptFile);
        else
            std::rename(QFile::encodeName(keptFile).constData(), QFile::encodeName(original).constData());
    }
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.count(u'/') > b.count(u'/'); });
    for (const QString& folder : std::as_const(folders))
        kept.rmdir(folder);
    QDir(m_workDir).rmdir(m_keptPath);
    m_keptPath.clear();
}
