#pragma once

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace Unzip {

// What stands at a name in a folder. Links are never followed inside the target folder, so they
// are a kind of their own: a member may replace one, but never writes through one.
enum class EntryKind : unsigned char { File, Folder, Link };

// One name of a folder as `FolderIndex::find` shows it. The name points into the index's own
// storage.
struct IndexEntry
{
    std::string_view name; // as it stands on disk
    EntryKind kind = EntryKind::File;
    bool planned = false; // made by the extraction, not found on disk
    qint64 mtime = 0;     // of a planned file: the time its member gives it

    QByteArray bytes() const { return QByteArray(name.data(), static_cast<qsizetype>(name.size())); }
};

// The names of one folder, found without regard to case. Of the entries whose names match, the
// exact name wins when it is of the kind wanted, then the first (in byte order) of that kind, and
// only then an entry of the other kind, so that a member finds its folder even beside a file
// whose name differs only in case. Files and links count as one kind here.
//
// An archive of a million members plans a million names before it writes one, so an entry costs
// 16 bytes, its name sits in shared chunks of bytes, and the table holds 32-bit slots.
class FolderIndex
{
public:
    void add(const QByteArray& name, EntryKind kind, bool planned, qint64 mtime = 0);
    void remove(const QByteArray& name);
    // The entry found stays valid only until the next find, add or remove on this index: read
    // what is needed from it before changing the index.
    const IndexEntry* find(const QByteArray& name, bool wantFolder) const;
    bool containsAnyCase(const QByteArray& name) const;

    // Adds what the open folder `fd` holds; links are followed only when told to. False when it
    // cannot be read.
    bool list(int fd, bool followLinks);

private:
    struct Entry
    {
        qint64 mtime;
        std::uint32_t at;        // where the name is in m_chunks, see ChunkSize
        std::uint32_t size : 28; // of the name
        std::uint32_t kind : 2;
        std::uint32_t planned : 1;
    };
    // A name looked for: its hash, and its case folding when it is not plain ASCII.
    struct Key
    {
        explicit Key(const QByteArray& name);
        std::string_view folding() const; // what the hash is of
        std::string_view name;
        bool ascii;
        QByteArray folded;
        std::uint64_t hash = 0;
    };

    std::string_view nameOf(const Entry& entry) const;
    bool matches(const Key& key, const Entry& entry) const;
    // Calls visit(slot) for each slot whose entry matches `key`, and returns the slot that ended
    // the search (the first empty one).
    template <typename Visit> std::size_t forEachMatch(const Key& key, Visit visit) const;
    std::size_t home(std::uint64_t hash) const;
    std::size_t slotOf(std::uint32_t number) const;
    std::uint32_t store(std::string_view name);
    void rehash(std::size_t tableSize);

    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_slots; // a power of two long, see slotValue()
    std::size_t m_removed = 0;          // slots marked Removed
    std::vector<std::unique_ptr<char[]>> m_chunks;
    std::size_t m_chunkUsed = 0; // bytes of the last chunk in use
    std::size_t m_chunkSize = 0; // bytes of the last chunk
    mutable IndexEntry m_found;
};

} // namespace Unzip
