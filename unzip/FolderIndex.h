#pragma once

#include <QByteArray>

#include <string>
#include <unordered_set>

namespace Unzip {

// What stands at a name in a folder. Links are never followed inside the target folder, so they
// are a kind of their own: a member may replace one, but never writes through one.
enum class EntryKind : unsigned char { File, Folder, Link };

struct IndexEntry
{
    std::string name; // as it stands on disk (short names need no allocation of their own)
    mutable EntryKind kind = EntryKind::File;
    mutable bool planned = false; // made by the extraction, not found on disk
    mutable qint64 mtime = 0;     // of a planned file: the time its member gives it

    QByteArray bytes() const { return QByteArray(name.data(), static_cast<qsizetype>(name.size())); }
};

// The names of one folder, found without regard to case. Of the entries whose names match, the
// exact name wins when it is of the kind wanted, then the first (in byte order) of that kind, and
// only then an entry of the other kind, so that a member finds its folder even beside a file
// whose name differs only in case. Files and links count as one kind here.
class FolderIndex
{
public:
    void add(const QByteArray& name, EntryKind kind, bool planned, qint64 mtime = 0);
    void remove(const QByteArray& name);
    const IndexEntry* find(const QByteArray& name, bool wantFolder) const;
    bool containsAnyCase(const QByteArray& name) const;

    // Adds what the open folder `fd` holds; links are followed only when told to. False when it
    // cannot be read.
    bool list(int fd, bool followLinks);

private:
    // Names meet by their case folding; a folder of a million files costs one small node each.
    struct FoldedHash
    {
        std::size_t operator()(const IndexEntry& entry) const;
    };
    struct FoldedEqual
    {
        bool operator()(const IndexEntry& a, const IndexEntry& b) const;
    };
    std::unordered_multiset<IndexEntry, FoldedHash, FoldedEqual> m_entries;
};

} // namespace Unzip
