#include "FolderIndex.h"

#include "Handles.h"
#include "MemberNames.h"

#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>

namespace Unzip {

namespace {

bool isAscii(const std::string& name)
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

IndexEntry probe(const QByteArray& name)
{
    return IndexEntry{name.toStdString()};
}

} // namespace

std::size_t FolderIndex::FoldedHash::operator()(const IndexEntry& entry) const
{
    // Of the folded name, so that names equal by their folding meet whatever their bytes.
    const QByteArray folded = isAscii(entry.name) ? QByteArray() : foldName(entry.bytes());
    const std::string_view name = folded.isNull() ? std::string_view(entry.name)
                                                  : std::string_view(folded.constData(), std::size_t(folded.size()));
    std::size_t hash = 14695981039346656037ull;
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(lower(c))) * 1099511628211ull;
    return hash;
}

bool FolderIndex::FoldedEqual::operator()(const IndexEntry& a, const IndexEntry& b) const
{
    if (isAscii(a.name) && isAscii(b.name)) {
        if (a.name.size() != b.name.size())
            return false;
        for (std::size_t i = 0; i < a.name.size(); ++i) {
            if (lower(a.name[i]) != lower(b.name[i]))
                return false;
        }
        return true;
    }
    return foldName(a.bytes()) == foldName(b.bytes());
}

void FolderIndex::add(const QByteArray& name, EntryKind kind, bool planned, qint64 mtime)
{
    IndexEntry entry = probe(name);
    const auto [first, last] = m_entries.equal_range(entry);
    for (auto it = first; it != last; ++it) {
        if (it->name == entry.name) {
            it->kind = kind;
            it->planned = planned;
            it->mtime = mtime;
            return;
        }
    }
    entry.kind = kind;
    entry.planned = planned;
    entry.mtime = mtime;
    m_entries.insert(std::move(entry));
}

void FolderIndex::remove(const QByteArray& name)
{
    const IndexEntry entry = probe(name);
    const auto [first, last] = m_entries.equal_range(entry);
    for (auto it = first; it != last; ++it) {
        if (it->name == entry.name) {
            m_entries.erase(it);
            return;
        }
    }
}

const IndexEntry* FolderIndex::find(const QByteArray& name, bool wantFolder) const
{
    const IndexEntry wanted = probe(name);
    const auto [first, last] = m_entries.equal_range(wanted);
    const IndexEntry* exact = nullptr;
    const IndexEntry* bestWanted = nullptr;
    const IndexEntry* bestOther = nullptr;
    for (auto it = first; it != last; ++it) {
        const IndexEntry& entry = *it;
        if (entry.name == wanted.name)
            exact = &entry;
        const IndexEntry*& best = (entry.kind == EntryKind::Folder) == wantFolder ? bestWanted : bestOther;
        if (!best || entry.name < best->name)
            best = &entry;
    }
    if (exact && (exact->kind == EntryKind::Folder) == wantFolder)
        return exact;
    if (bestWanted)
        return bestWanted;
    return exact ? exact : bestOther;
}

bool FolderIndex::containsAnyCase(const QByteArray& name) const
{
    return m_entries.count(probe(name)) > 0;
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
