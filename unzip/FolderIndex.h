#pragma once

#include <QByteArray>
#include <QHash>

#include <unordered_map>

#include <memory>
#include <vector>

namespace Unzip {

// What stands at a name in a folder. Links are never followed inside the target folder, so they
// are a kind of their own: a member may replace one, but never writes through one.
struct ByteArrayHash
{
    std::size_t operator()(const QByteArray& bytes) const { return qHash(bytes); }
};

enum class EntryKind : unsigned char { File, Folder, Link };

struct IndexEntry
{
    QByteArray name; // as it stands on disk
    EntryKind kind = EntryKind::File;
    bool planned = false; // made by the extraction, not found on disk
    qint64 mtime = 0;     // of a planned file: the time its member gives it
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
    struct Slot
    {
        IndexEntry first;
        std::unique_ptr<std::vector<IndexEntry>> more; // further names of the same folded key: rare
    };
    std::unordered_map<QByteArray, Slot, ByteArrayHash> m_slots; // by folded name
};

} // namespace Unzip
