#pragma once

#include <QDir>
#include <QSet>
#include <QString>

// The folder that a launch extracts a zipped set into, and what it held before, so that the
// clean-up takes away only what the extraction added. A folder of the user's own (an unpacked set
// that a zipped one shares) keeps every file and sub-folder it had, with the content it had.
class ExtractedFolder final
{
public:
    // Notes what `folder` (relative to `workDir`, any letter case) holds before the first
    // extraction into it.
    void begin(const QDir& workDir, const QString& folder);

    // Removes the files and folders that were not there when begin() ran, and the folder itself
    // when the extraction created it; files that the extraction replaced get their old content
    // back. What cannot be removed stays, silently. Afterwards nothing is noted any more.
    void clean();

    bool isActive() const { return m_active; }

private:
    void restoreKept(const QDir& root);

    QDir m_workDir;
    QString m_folder;
    bool m_active = false;
    bool m_existed = false;
    QSet<QString> m_before;
    QString m_keptPath;
};
