#include "LineWriter.h"

#include "FileChanges.h"
#include "LocalText.h"
#include "UniqueFd.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>
#include <optional>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct DirCloser
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// The new file of a save: ".<name>.<random hex>.new".
QByteArray temporaryName(const QByteArray& target, quint32 random)
{
    return "." + target + "." + QByteArray::number(random, 16) + ".new";
}

bool isTemporaryOf(const QByteArray& entry, const QByteArray& target)
{
    const QByteArray start = "." + target + ".";
    if (!entry.startsWith(start) || !entry.endsWith(".new") || entry.size() <= start.size() + 4)
        return false;
    const QByteArray random = entry.mid(start.size(), entry.size() - start.size() - 4);
    return std::all_of(random.begin(), random.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

struct Listing
{
    std::vector<QByteArray> spellings; // `name` exactly or with other letter case
    std::vector<QByteArray> leftOver;  // new files of saves that a crash ended before their rename
};

Listing listNames(int folderFd, const QString& name, const QByteArray& target)
{
    Listing found;
    const int listFd = ::dup(folderFd);
    if (listFd < 0)
        return found;
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(listFd));
    if (!dir) {
        ::close(listFd);
        return found;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray bytes(entry->d_name);
        if (Platform::decodeLocal(bytes).compare(name, Qt::CaseInsensitive) == 0)
            found.spellings.push_back(bytes);
        else if (isTemporaryOf(bytes, target))
            found.leftOver.push_back(bytes);
    }
    return found;
}

std::optional<struct stat> entryInfo(int folderFd, const QByteArray& name)
{
    struct stat info = {};
    if (::fstatat(folderFd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return info;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

QByteArray LineWriter::encode(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes.append(Platform::encodeLocal(line));
        bytes.append("\r\n");
    }
    return bytes;
}

SaveResult saveLines(const QDir& folder, const QString& name, const QStringList& lines)
{
    SaveResult result;
    const auto fail = [&result](const QString& why) {
        result.error = why;
        return result;
    };

    const Platform::UniqueFd folderFd(
        ::open(Platform::encodeLocal(folder.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.valid())
        return fail(Platform::errorText(errno));

    // A file that the user may not write is left as it is, whatever the case of its name. A link is
    // judged by the file it leads to: that is the file the user sees and every reader reads.
    const QByteArray target = Platform::encodeLocal(name);
    const Listing listing = listNames(folderFd.get(), name, target);
    const std::vector<QByteArray>& spellings = listing.spellings;
    std::optional<mode_t> mode;
    for (const QByteArray& spelling : spellings) {
        const std::optional<struct stat> info = entryInfo(folderFd.get(), spelling);
        if (!info || S_ISDIR(info->st_mode))
            continue;
        if (::faccessat(folderFd.get(), spelling.constData(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
            return fail(QStringLiteral("The file %1 may not be written (%2); it was left as it is.")
                            .arg(Platform::decodeLocal(spelling), Platform::errorText(errno)));
        }
        if (S_ISREG(info->st_mode))
            mode = info->st_mode & 07777;
    }

    // The new content goes to a file of its own beside the old one, and only a complete file takes the
    // old one's place. A link of the file's name is replaced itself; what it leads to is never written.
    QByteArray temporary;
    Platform::UniqueFd file;
    for (int attempt = 0; attempt < 16 && !file.valid(); ++attempt) {
        temporary = temporaryName(target, QRandomGenerator::global()->generate());
        file = Platform::UniqueFd(::openat(folderFd.get(), temporary.constData(),
                                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!file.valid() && errno != EEXIST)
            break;
    }
    if (!file.valid())
        return fail(Platform::errorText(errno));
    Platform::fileChanged();

    const auto abandon = [&](int error) {
        file.reset();
        ::unlinkat(folderFd.get(), temporary.constData(), 0);
        Platform::fileChanged();
        return fail(Platform::errorText(error));
    };
    if (!writeAll(file.get(), LineWriter::encode(lines)))
        return abandon(errno ? errno : EIO);
    Platform::fileChanged();
    // The rewritten file keeps the old one's permissions where the file system keeps any (FAT does not,
    // and refuses to be asked). A file system that cannot flush a file says so with EINVAL.
    if (mode)
        ::fchmod(file.get(), *mode);
    if (const int error = Platform::syncToDisk(file.get()); error != 0 && error != EINVAL && error != ENOTSUP)
        return abandon(error);
    if (!file.close())
        return abandon(errno);
    if (::renameat(folderFd.get(), temporary.constData(), folderFd.get(), target.constData()) != 0)
        return abandon(errno);
    Platform::fileChanged();
    Platform::syncToDisk(folderFd.get());

    // Other spellings would be read in place of this one. On a file system that ignores case they are
    // the very file just written, which must stay.
    const std::optional<struct stat> written = entryInfo(folderFd.get(), target);
    for (const QByteArray& spelling : spellings) {
        if (spelling == target)
            continue;
        const std::optional<struct stat> info = entryInfo(folderFd.get(), spelling);
        if (!info || S_ISDIR(info->st_mode) ||
            (written && info->st_dev == written->st_dev && info->st_ino == written->st_ino))
            continue;
        if (::unlinkat(folderFd.get(), spelling.constData(), 0) == 0)
            Platform::fileChanged();
    }
    for (const QByteArray& left : listing.leftOver) {
        if (::unlinkat(folderFd.get(), left.constData(), 0) == 0)
            Platform::fileChanged();
    }
    result.ok = true;
    return result;
}
