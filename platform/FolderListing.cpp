#include "FolderListing.h"

#include "LocalText.h"

#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace Platform {

namespace {

ListedKind kindOf(const struct stat& info)
{
    if (S_ISREG(info.st_mode))
        return ListedKind::File;
    if (S_ISDIR(info.st_mode))
        return ListedKind::Folder;
    return ListedKind::Other;
}

} // namespace

bool listFolder(const QString& folder, const std::function<void(QByteArrayView name, ListedKind kind)>& visit)
{
    DIR* dir = ::opendir(encodeLocal(folder).constData());
    if (!dir)
        return false;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        ListedKind kind = ListedKind::Other;
        if (entry->d_type == DT_REG) {
            kind = ListedKind::File;
        } else if (entry->d_type == DT_DIR) {
            kind = ListedKind::Folder;
        } else {
            // Links and file systems that do not report the kind need a look of their own.
            struct stat info = {};
            if (::fstatat(fd, name, &info, 0) == 0)
                kind = kindOf(info);
        }
        visit(QByteArrayView(name, static_cast<qsizetype>(std::strlen(name))), kind);
    }
    ::closedir(dir);
    return true;
}

} // namespace Platform
