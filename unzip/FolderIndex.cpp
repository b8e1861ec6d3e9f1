#include "FolderIndex.h"

#include "Handles.h"
#include "MemberNames.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>

namespace Unzip {

namespace {

// A slot of the table holds an entry number in its low 27 bits and 5 bits of the name's hash above
// them, so that a search passes over other names without reading them. Two values mark a slot
// that is empty or whose entry was removed; no entry number has their low bits.
constexpr int NumberBits = 27;
constexpr std::uint32_t NumberMask = (std::uint32_t(1) << NumberBits) - 1;
constexpr std::uint32_t Empty = 0xFFFFFFFF;
constexpr std::uint32_t Removed = 0xFFFFFFFE;
constexpr std::size_t MaxEntries = NumberMask - 1;
// Names are stored one after the other in chunks that double from FirstChunk to ChunkSize, so
// that a folder of a few names costs a few bytes and a large one wastes at most a chunk's tail.
// A name's place is its chunk number times ChunkSize plus its offset in the chunk; a name longer
// than ChunkSize (none is, on any file system) gets a chunk of its own.
constexpr std::size_t FirstChunk = 64;
constexpr std::size_t ChunkSize = 4096;
constexpr std::size_t MaxChunks = (std::size_t(1) << 32) / ChunkSize;
constexpr std::size_t MaxNameSize = (std::size_t(1) << 28) - 1;

std::uint32_t slotValue(std::uint64_t hash, std::size_t number)
{
    return static_cast<std::uint32_t>(hash >> (64 - (32 - NumberBits))) << NumberBits |
           static_cast<std::uint32_t>(number);
}

bool sameTag(std::uint32_t slot, std::uint64_t hash)
{
    return (slot >> NumberBits) == hash >> (64 - (32 - NumberBits));
}

bool isAscii(std::string_view name)
{
    for (const char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string_view view(const QByteArray& bytes)
{
    return std::string_view(bytes.constData(), std::size_t(bytes.size()));
}

QByteArray folded(std::string_view name)
{
    return foldName(QByteArray(name.data(), qsizetype(name.size())));
}

// Of a plain ASCII name, or of the case folding of any other, so that names equal by their folding
// meet whatever their bytes.
std::uint64_t foldedHash(std::string_view folding)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : folding)
        hash = (hash ^ static_cast<unsigned char>(lower(c))) * 1099511628211ull;
    return hash;
}

std::uint64_t hashOf(std::string_view name)
{
    return isAscii(name) ? foldedHash(name) : foldedHash(view(folded(name)));
}

} // namespace

FolderIndex::Key::Key(const QByteArray& bytes) : name(view(bytes)), ascii(isAscii(name))
{
    if (!ascii)
        folded = foldName(bytes);
    hash = foldedHash(folding());
}

std::string_view FolderIndex::Key::folding() const
{
    return ascii ? name : view(folded);
}

std::string_view FolderIndex::nameOf(const Entry& entry) const
{
    if (entry.size == 0)
        return std::string_view("", 0);
    return std::string_view(m_chunks[entry.at / ChunkSize].get() + entry.at % ChunkSize, entry.size);
}

bool FolderIndex::matches(const Key& key, const Entry& entry) const
{
    const std::string_view name = nameOf(entry);
    // A folding holds no upper-case ASCII, so an ASCII name meets it by ignoring case.
    if (isAscii(name))
        return sameIgnoringCase(key.folding(), name);
    return sameIgnoringCase(key.folding(), view(folded(name)));
}

std::size_t FolderIndex::home(std::uint64_t hash) const
{
    return std::size_t(hash ^ (hash >> 32)) & (m_slots.size() - 1);
}

template <typename Visit> std::size_t FolderIndex::forEachMatch(const Key& key, Visit visit) const
{
    for (std::size_t slot = home(key.hash);; slot = (slot + 1) & (m_slots.size() - 1)) {
        const std::uint32_t value = m_slots[slot];
        if (value == Empty)
            return slot;
        if (value != Removed && sameTag(value, key.hash) && matches(key, m_entries[value & NumberMask]))
            visit(slot);
    }
}

std::size_t FolderIndex::slotOf(std::uint32_t number) const
{
    std::size_t slot = home(hashOf(nameOf(m_entries[number])));
    while ((m_slots[slot] & NumberMask) != number)
        slot = (slot + 1) & (m_slots.size() - 1);
    return slot;
}

std::uint32_t FolderIndex::store(std::string_view name)
{
    if (name.empty())
        return 0;
    if (m_chunks.empty() || m_chunkSize - m_chunkUsed < name.size()) {
        if (m_chunks.size() >= MaxChunks)
            throw std::length_error("a folder of more names than an index holds");
        const std::size_t next = m_chunks.empty() ? FirstChunk : std::min(m_chunkSize * 2, ChunkSize);
        m_chunkSize = std::max(next, name.size());
        m_chunks.emplace_back(new char[m_chunkSize]);
        m_chunkUsed = 0;
    }
    const auto at = static_cast<std::uint32_t>((m_chunks.size() - 1) * ChunkSize + m_chunkUsed);
    std::memcpy(m_chunks.back().get() + m_chunkUsed, name.data(), name.size());
    m_chunkUsed += name.size();
    return at;
}

void FolderIndex::rehash(std::size_t tableSize)
{
    m_slots.assign(tableSize, Empty);
    m_removed = 0;
    for (std::size_t number = 0; number < m_entries.size(); ++number) {
        const std::uint64_t hash = hashOf(nameOf(m_entries[number]));
        std::size_t slot = home(hash);
        while (m_slots[slot] != Empty)
            slot = (slot + 1) & (tableSize - 1);
        m_slots[slot] = slotValue(hash, number);
    }
}

void FolderIndex::add(const QByteArray& name, EntryKind kind, bool planned, qint64 mtime)
{
    if (std::size_t(name.size()) > MaxNameSize || m_entries.size() >= MaxEntries)
        throw std::length_error("a name or a folder larger than an index holds");
    // Kept at most 70% full, so that a search meets an empty slot soon; a new table starts at 35%.
    if ((m_entries.size() + m_removed + 1) * 10 > m_slots.size() * 7) {
        std::size_t tableSize = 8;
        while ((m_entries.size() + 1) * 20 > tableSize * 7)
            tableSize *= 2;
        rehash(tableSize);
    }
    const Key key(name);
    Entry* same = nullptr;
    const std::size_t free = forEachMatch(key, [&](std::size_t slot) {
        Entry& entry = m_entries[m_slots[slot] & NumberMask];
        if (nameOf(entry) == key.name)
            same = &entry;
    });
    if (!same) {
        m_entries.push_back(Entry{0, store(key.name), std::uint32_t(key.name.size()), 0, 0});
        m_slots[free] = slotValue(key.hash, m_entries.size() - 1);
        same = &m_entries.back();
    }
    same->kind = static_cast<std::uint32_t>(kind);
    same->planned = planned;
    same->mtime = mtime;
}

void FolderIndex::remove(const QByteArray& name)
{
    if (m_slots.empty())
        return;
    const Key key(name);
    std::size_t found = m_slots.size();
    forEachMatch(key, [&](std::size_t slot) {
        if (nameOf(m_entries[m_slots[slot] & NumberMask]) == key.name)
            found = slot;
    });
    if (found == m_slots.size())
        return;
    // The last entry takes the place of the removed one, so that the entries stay dense; the
    // name's bytes stay unused in their chunk.
    const std::uint32_t number = m_slots[found] & NumberMask;
    const auto last = static_cast<std::uint32_t>(m_entries.size() - 1);
    m_slots[found] = Removed;
    ++m_removed;
    if (number != last) {
        std::uint32_t& moved = m_slots[slotOf(last)];
        moved = (moved & ~NumberMask) | number;
        m_entries[number] = m_entries[last];
    }
    m_entries.pop_back();
}

const IndexEntry* FolderIndex::find(const QByteArray& name, bool wantFolder) const
{
    if (m_slots.empty())
        return nullptr;
    const Key key(name);
    const Entry* exact = nullptr;
    const Entry* bestWanted = nullptr;
    const Entry* bestOther = nullptr;
    forEachMatch(key, [&](std::size_t slot) {
        const Entry& entry = m_entries[m_slots[slot] & NumberMask];
        if (nameOf(entry) == key.name)
            exact = &entry;
        const Entry*& best = (entry.kind == std::uint32_t(EntryKind::Folder)) == wantFolder ? bestWanted : bestOther;
        if (!best || nameOf(entry) < nameOf(*best))
            best = &entry;
    });
    const Entry* chosen = bestWanted ? bestWanted : exact ? exact : bestOther;
    if (exact && (exact->kind == std::uint32_t(EntryKind::Folder)) == wantFolder)
        chosen = exact;
    if (!chosen)
        return nullptr;
    m_found = IndexEntry{nameOf(*chosen), static_cast<EntryKind>(chosen->kind), chosen->planned != 0, chosen->mtime};
    return &m_found;
}

bool FolderIndex::containsAnyCase(const QByteArray& name) const
{
    if (m_slots.empty())
        return false;
    bool found = false;
    forEachMatch(Key(name), [&](std::size_t) { found = true; });
    return found;
}

bool FolderIndex::list(int fd, bool followLinks)
{
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return false;
    DirPtr dir(::fdopendir(copy));
    if (!dir) {
        ::close(copy);
        return false;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        EntryKind kind = EntryKind::File;
        if (entry->d_type == DT_DIR) {
            kind = EntryKind::Folder;
        } else if (entry->d_type == DT_LNK && !followLinks) {
            kind = EntryKind::Link;
        } else if (entry->d_type != DT_REG) {
            // File systems that do not report the kind, and links that are followed, need a look.
            struct stat info = {};
            if (::fstatat(fd, name, &info, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) == 0)
                kind = S_ISDIR(info.st_mode)   ? EntryKind::Folder
                       : S_ISLNK(info.st_mode) ? EntryKind::Link
                                               : EntryKind::File;
        }
        add(QByteArray(name), kind, false);
    }
    return true;
}

} // namespace Unzip
