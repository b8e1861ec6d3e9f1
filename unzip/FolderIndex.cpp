#include "FolderIndex.h"

#include "Handles.h"
#include "MemberNames.h"

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>

namespace Unzip {

void FolderIndex::add(const QByteArray& name, EntryKind kind, bool planned, qint64 mtime)
{
    const QByteArray key = foldName(name);
    auto it = m_slots.find(key);
    if (it == m_slots.end()) {
        m_slots.emplace(key, Slot{IndexEntry{name, kind, planned, mtime}, nullptr});
        return;
    }
    Slot& slot = it->second;
    if (slot.first.name == name) {
        slot.first = IndexEntry{name, kind, planned, mtime};
        return;
    }
    if (!slot.more)
        slot.more = std::make_unique<std::vector<IndexEntry>>();
    for (IndexEntry& entry : *slot.more) {
        if (entry.name == name) {
            entry = IndexEntry{name, kind, planned, mtime};
            return;
        }
    }
    slot.more->push_back(IndexEntry{name, kind, planned, mtime});
}

void FolderIndex::remove(const QByteArray& name)
{
    const auto it = m_slots.find(foldName(name));
    if (it == m_slots.end())
        return;
    Slot& slot = it->second;
    std::vector<IndexEntry>* more = slot.more.get();
    if (slot.first.name == name) {
        if (!more || more->empty()) {
            m_slots.erase(it);
            return;
        }
        slot.first = more->back();
        more->pop_back();
        return;
    }
    if (!more)
        return;
    for (auto entry = more->begin(); entry != more->end(); ++entry) {
        if (entry->name == name) {
            more->erase(entry);
            return;
        }
    }
}

const IndexEntry* FolderIndex::find(const QByteArray& name, bool wantFolder) const
{
    const auto it = m_slots.find(foldName(name));
    if (it == m_slots.end())
        return nullptr;
    const Slot& slot = it->second;
    const IndexEntry* exact = nullptr;
    const IndexEntry* bestWanted = nullptr;
    const IndexEntry* bestOther = nullptr;
    const auto consider = [&](const IndexEntry& entry) {
        if (entry.name == name)
            exact = &entry;
        const IndexEntry*& best = (entry.kind == EntryKind::Folder) == wantFolder ? bestWanted : bestOther;
        if (!best || entry.name < best->name)
            best = &entry;
    };
    consider(slot.first);
    if (slot.more) {
        for (const IndexEntry& entry : *slot.more)
            consider(entry);
    }
    if (exact && (exact->kind == EntryKind::Folder) == wantFolder)
        return exact;
    if (bestWanted)
        return bestWanted;
    return exact ? exact : bestOther;
}

bool FolderIndex::containsAnyCase(const QByteArray& name) const
{
    return m_slots.count(foldName(name)) > 0;
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
