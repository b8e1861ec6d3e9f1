#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace Unzip {

// Deepest folder nesting of a member that is extracted; deeper ones are skipped.
constexpr int MaxFolderDepth = 64;

// A member's stored name cut into the names of its folders and file, below the target folder.
struct MemberPath
{
    enum class Problem { None, Unsafe, TooDeep, TooLong };
    QList<QByteArray> parts; // '.' and empty names left out; the last one is the file (or folder) itself
    bool isFolder = false;   // the stored name ends with a separator
    Problem problem = Problem::None;
};

// '/' and '\' both separate names. A name that starts at the root or with a drive letter, or that
// climbs with "..", is unsafe. With spaceToUnderscore blanks become '_'.
MemberPath splitMemberName(const QByteArray& stored, bool spaceToUnderscore);

// The stored name with '\' shown as '/', as messages and the listing show it.
QByteArray shownName(const QByteArray& stored);

// '*' matches any run of characters ('/' included), '?' any one character.
bool wildcardMatch(QStringView pattern, QStringView name, Qt::CaseSensitivity cs);

// The key under which names that differ only in case meet. Plain ASCII names (nearly all ROM
// names) are folded byte by byte; other names by their Unicode case folding.
QByteArray foldName(const QByteArray& name);

} // namespace Unzip
