#pragma once

#include <QDir>
#include <QString>

namespace Platform {

enum class EntryKind { File, Folder, Any };

// Finds an existing entry the way the program's home platform does: names match without regard
// to case. `relativePath` may use '\' or '/' between folders. Folder by folder, an entry whose
// name matches exactly wins; otherwise the entry whose name matches without regard to case
// (the first by plain ordering if several do). Returns the absolute path, or an empty string.
QString findEntry(const QDir& base, const QString& relativePath, EntryKind kind);

// Existence test of an ordinary file (a symbolic link to one counts).
bool fileExists(const QDir& base, const QString& relativePath);

} // namespace Platform
