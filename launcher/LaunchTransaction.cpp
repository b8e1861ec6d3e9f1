#include "LaunchTransaction.h"

#include "ExtractionPlan.h"
#include "FileChanges.h"
#include "LocalText.h"
#include "UniqueFd.h"

#include <QHash>
#include <QLockFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using Platform::UniqueFd;

namespace {

const QByteArray recordName = ".gantrel-launch";
const QByteArray recordDraftName = ".gantrel-launch.new";
const QByteArray lockName = ".gantrel-lock";
const QByteArray keptPrefix = ".gantrel-kept-";
const QByteArray ownPrefix = ".gantrel-";

QString text(const QByteArray& path)
{
    return Platform::decodeLocal(path);
}

// Names compare as the extraction compares them: without regard to case.
QString folded(QByteArrayView name)
{
    return Platform::decodeLocal(name).toCaseFolded();
}

QByteArray parentOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray() : path.left(slash);
}

QByteArray leafOf(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

bool lexists(int folder, const QByteArray& name, struct stat* info = nullptr)
{
    struct stat local = {};
    return ::fstatat(folder, name.constData(), info ? info : &local, AT_SYMLINK_NOFOLLOW) == 0;
}

// The folder of `path` (relative to `root`), opened name by name without following a link, so
// that a link put in place of a folder cannot lead a removal elsewhere.
UniqueFd openParent(int root, const QByteArray& path)
{
    UniqueFd folder(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    const QByteArray parent = parentOf(path);
    if (parent.isEmpty())
        return folder;
    for (const QByteArray& part : parent.split('/')) {
        folder = UniqueFd(::openat(folder.get(), part.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder.valid())
            break;
    }
    return folder;
}

QSet<QString> foldedNames(int folder)
{
    QSet<QString> names;
    const int fd = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR* listing = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!listing) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    while (const dirent* entry = ::readdir(listing))
        names.insert(folded(entry->d_name));
    ::closedir(listing);
    return names;
}

// Removes the folder `name` of `parent` with everything in it, never following a link.
void removeTree(int parent, const QByteArray& name)
{
    UniqueFd folder(::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid())
        return;
    QList<QByteArray> children;
    if (const int fd = ::fcntl(folder.get(), F_DUPFD_CLOEXEC, 0); fd >= 0) {
        if (DIR* listing = ::fdopendir(fd)) {
            while (const dirent* entry = ::readdir(listing)) {
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    children.append(QByteArray(entry->d_name));
            }
            ::closedir(listing);
        } else {
            ::close(fd);
        }
    }
    for (const QByteArray& child : std::as_const(children)) {
        struct stat info = {};
        if (!lexists(folder.get(), child, &info))
            continue;
        if (S_ISDIR(info.st_mode))
            removeTree(folder.get(), child);
        else if (::unlinkat(folder.get(), child.constData(), 0) == 0)
            Platform::fileChanged();
    }
    if (::unlinkat(parent, name.constData(), AT_REMOVEDIR) == 0)
        Platform::fileChanged();
}

bool writeAll(int fd, QByteArrayView data)
{
    const char* at = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        at += written;
        left -= written;
    }
    return true;
}

// Renames within one folder, never over an existing entry.
int renameNoReplace(int folder, const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(folder, from.constData(), folder, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without that flag: the name was chosen free, and the working folder's lock keeps
    // every other Gantrel out of it.
    if (lexists(folder, to))
        return EEXIST;
    return ::renameat(folder, from.constData(), folder, to.constData()) == 0 ? 0 : errno;
}

} // namespace

LaunchTransaction::LaunchTransaction(const QByteArray& workDir)
    : m_workDir(workDir), m_workFd(::open(workDir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
}

LaunchTransaction::~LaunchTransaction()
{
    if (m_workFd >= 0)
        ::close(m_workFd);
}

bool LaunchTransaction::isOwnName(QByteArrayView name)
{
    return name.size() > ownPrefix.size() && name.first(ownPrefix.size()).compare(ownPrefix, Qt::CaseInsensitive) == 0;
}

DCL LaunchTransaction::launchOptions()
{
    DCL options = {};
    options.PromptToOverwrite = 0;
    options.noflag = 1;
    options.nvflag = 0;
    options.ndflag = 1;
    return options;
}

int LaunchTransaction::extractWithoutWindow(const QByteArray& archive, const QByteArray& target)
{
    DCL options = launchOptions();
    QByteArray zip = archive;
    QByteArray into = target;
    options.lpszZipFN = zip.data();
    options.lpszExtractDir = into.data();
    USERFUNCTIONS callbacks = {};
    return windll_unzip(0, nullptr, 0, nullptr, &options, &callbacks);
}

bool LaunchTransaction::currentFolderIsWorkFolder() const
{
    struct stat current = {};
    struct stat work = {};
    return m_workFd >= 0 && ::stat(".", &current) == 0 && ::fstat(m_workFd, &work) == 0 &&
           current.st_dev == work.st_dev && current.st_ino == work.st_ino;
}

bool LaunchTransaction::inWorkFolder(const QByteArray& target) const
{
    // A launch extracts into a folder of the working folder, never anywhere else.
    const QByteArray leaf = leafOf(target);
    const QByteArray parent = parentOf(target);
    struct stat folder = {};
    struct stat work = {};
    return !leaf.isEmpty() && leaf != "." && leaf != ".." && m_workFd >= 0 &&
           ::stat(parent.isEmpty() ? "/" : parent.constData(), &folder) == 0 && ::fstat(m_workFd, &work) == 0 &&
           folder.st_dev == work.st_dev && folder.st_ino == work.st_ino;
}

LaunchTransaction::Lock LaunchTransaction::lock()
{
    // The lock is named relative to the current folder when that is the working folder, so that
    // no byte of the folder's own path has to pass through a conversion.
    const QString path = currentFolderIsWorkFolder() ? text(lockName) : text(m_workDir + '/' + lockName);
    m_lock = std::make_unique<QLockFile>(path);
    // A Gantrel runs for hours: only a lock whose process has died is taken over.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        Platform::fileChanged();
        return Lock::Taken;
    }
    const bool held = m_lock->error() == QLockFile::LockFailedError;
    m_lock.reset();
    return held ? Lock::HeldElsewhere : Lock::NotWritable;
}

bool LaunchTransaction::pending() const
{
    return m_workFd >= 0 && lexists(m_workFd, recordName);
}

QList<LaunchRecord::MovedAside> LaunchTransaction::hiddenNames(const LaunchRecord& record,
                                                               const QList<QByteArray>& paths) const
{
    const QByteArray& target = record.target;
    // A hidden name must match nothing in its folder, also without regard to case, since the
    // extraction matches names that way: neither an entry that is there nor one it will create.
    UniqueFd root(::open(target.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    QHash<QByteArray, QSet<QString>> taken;
    QList<LaunchRecord::MovedAside> moves;
    int next = 1;
    for (const QByteArray& path : paths) {
        const QByteArray folder = parentOf(path);
        if (!taken.contains(folder)) {
            QSet<QString> names;
            if (root.valid())
                names = foldedNames(openParent(root.get(), path).get());
            for (const QList<QByteArray>* planned : {&record.folders, &record.files, &record.temporaries}) {
                for (const QByteArray& other : *planned) {
                    if (parentOf(other) == folder)
                        names.insert(folded(leafOf(other)));
                }
            }
            taken.insert(folder, names);
        }
        QSet<QString>& names = taken[folder];
        QByteArray hidden;
        do
            hidden = keptPrefix + QByteArray::number(next++);
        while (names.contains(folded(hidden)));
        names.insert(folded(hidden));
        moves.append({path, hidden});
    }
    return moves;
}

Result<> LaunchTransaction::writeRecord(const LaunchRecord& record)
{
    const auto failed = [this](int error) {
        return Result<>::failure(QStringLiteral("The record of the launch could not be written in %1: %2")
                                     .arg(text(m_workDir), Platform::errorText(error)));
    };
    // A draft left by a run that ended while writing it changed nothing: it just goes.
    if (::unlinkat(m_workFd, recordDraftName.constData(), 0) == 0)
        Platform::fileChanged();
    UniqueFd fd(
        ::openat(m_workFd, recordDraftName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd.valid())
        return failed(errno);
    Platform::fileChanged();
    const bool written = record.serialize([&fd](QByteArrayView block) { return writeAll(fd.get(), block); });
    const int writeError = errno;
    Platform::fileChanged();
    const int syncError = written ? Platform::syncToDisk(fd.get()) : 0;
    if (!written || syncError != 0) {
        const int error = written ? syncError : writeError;
        ::unlinkat(m_workFd, recordDraftName.constData(), 0);
        Platform::fileChanged();
        return failed(error);
    }
    Platform::fileChanged();
    // Only a whole record ever bears the record's name.
    if (::renameat(m_workFd, recordDraftName.constData(), m_workFd, recordName.constData()) != 0) {
        const int error = errno;
        ::unlinkat(m_workFd, recordDraftName.constData(), 0);
        Platform::fileChanged();
        return failed(error);
    }
    Platform::fileChanged();
    Platform::syncToDisk(m_workFd);
    Platform::fileChanged();
    return {};
}

Result<int> LaunchTransaction::extract(const QList<Extraction>& steps, const ExtractFn& extractOne)
{
    if (steps.isEmpty())
        return {};
    if (m_workFd < 0)
        return Result<int>::failure(QStringLiteral("The folder %1 cannot be opened.").arg(text(m_workDir)));
    if (!currentFolderIsWorkFolder()) {
        return Result<int>::failure(
            QStringLiteral("The set was not extracted: the current folder is no longer the folder %1.")
                .arg(text(m_workDir)));
    }
    if (pending()) {
        return Result<int>::failure(
            QStringLiteral("The set was not extracted: the files of the last launch could not all be put back "
                           "(%1 in %2 names them).")
                .arg(text(recordName), text(m_workDir)));
    }

    QList<QByteArray> archives;
    for (const Extraction& step : steps)
        archives.append(Platform::encodeLocal(step.archive));
    const QByteArray target = Platform::encodeLocal(steps.first().target);
    LaunchRecord record;
    {
        // Gone before the extraction starts: the record holds what the clean-up needs, and a plan
        // of a million members is large.
        const Unzip::ExtractionPlan plan = Unzip::planExtractions(archives, target, launchOptions());
        if (!inWorkFolder(plan.targetFolder)) {
            return Result<int>{plan.status,
                               QStringLiteral("The extraction into %1 could not be planned.").arg(text(target))};
        }
        record.target = plan.targetFolder;
        record.targetExisted = plan.targetExists;
        if (const Result<int> prepared = prepare(plan, &record); !prepared.ok())
            return prepared;
    }

    // The record is on disk now, and the clean-up reads it from there: a million members' worth of
    // it is not kept while the extraction runs.
    record = LaunchRecord();
    int status = PK_OK;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        status = extractOne(archives.at(i), Platform::encodeLocal(steps.at(i).target));
        if (status == IZ_CTRLC)
            break;
        // The plan counted on every member being written. One that failed leaves its name free, and
        // a later archive may then place a member of that name (in another case) or below it
        // otherwise: what the rest will do is planned again and recorded before it runs.
        if (status != PK_OK && status != PK_WARN && i + 1 < steps.size()) {
            const std::optional<QByteArray> bytes = recordBytes();
            std::optional<LaunchRecord> written = bytes ? LaunchRecord::parse(*bytes) : std::nullopt;
            if (!written) {
                return Result<int>::failure(
                    QStringLiteral("The record of the launch in %1 could not be read back.").arg(text(m_workDir)));
            }
            const Unzip::ExtractionPlan rest = Unzip::planExtractions(archives.mid(i + 1), target, launchOptions());
            if (const Result<int> prepared = prepare(rest, &*written); !prepared.ok())
                return prepared;
        }
    }
    return Result<int>{status, {}};
}

Result<int> LaunchTransaction::prepare(const Unzip::ExtractionPlan& plan, LaunchRecord* record)
{
    const bool first = record->folders.isEmpty() && record->files.isEmpty() && record->movedAside.isEmpty();
    // What this launch created already is replaced, never moved aside. A first plan names each
    // path once, and a plan of a million members needs no set of them.
    QSet<QByteArray> recorded;
    for (const QList<QByteArray>* list : {&record->folders, &record->files, &record->temporaries}) {
        for (const QByteArray& path : *list)
            recorded.insert(path);
    }
    QList<QByteArray> aside;
    bool added = false;
    for (const Unzip::PlannedChange& change : plan.changes) {
        if (!first && recorded.contains(change.path))
            continue;
        switch (change.kind) {
        case Unzip::PlannedChange::Kind::MoveAside:
            aside.append(change.path);
            break;
        case Unzip::PlannedChange::Kind::Folder:
            record->folders.append(change.path);
            break;
        case Unzip::PlannedChange::Kind::File:
            record->files.append(change.path);
            break;
        case Unzip::PlannedChange::Kind::Temporary:
            record->temporaries.append(change.path);
            break;
        }
        if (!first && change.kind != Unzip::PlannedChange::Kind::MoveAside)
            recorded.insert(change.path);
        added = true;
    }
    if (!added && !first)
        return {};
    const QList<LaunchRecord::MovedAside> moves = hiddenNames(*record, aside);
    record->movedAside += moves;

    if (const Result<> written = writeRecord(*record); !written.ok())
        return Result<int>{PK_DISK, written.error};

    UniqueFd root(::open(record->target.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const LaunchRecord::MovedAside& entry : moves) {
        const UniqueFd folder = openParent(root.get(), entry.path);
        const int error = folder.valid() ? renameNoReplace(folder.get(), leafOf(entry.path), entry.hidden) : errno;
        if (error == 0) {
            Platform::fileChanged();
            continue;
        }
        // An entry that has gone since the plan was made has nothing to keep.
        if (error == ENOENT)
            continue;
        const Result<> undone = cleanUp();
        QString why = QStringLiteral("The set was not extracted: %1 could not be moved aside: %2")
                          .arg(text(record->target + '/' + entry.path), Platform::errorText(error));
        if (!undone.ok())
            why += QLatin1Char('\n') + undone.error;
        return Result<int>::failure(why);
    }
    return {};
}

std::optional<QByteArray> LaunchTransaction::recordBytes() const
{
    UniqueFd fd(::openat(m_workFd, recordName.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid())
        return std::nullopt;
    QByteArray bytes;
    char buffer[65536];
    for (ssize_t got; (got = ::read(fd.get(), buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break; // what was read is cut short, and is no record
        bytes.append(buffer, got);
    }
    return bytes;
}

Result<> LaunchTransaction::cleanUp()
{
    if (m_workFd < 0)
        return {};
    if (::unlinkat(m_workFd, recordDraftName.constData(), 0) == 0)
        Platform::fileChanged();

    std::optional<LaunchRecord> parsed;
    {
        const std::optional<QByteArray> bytes = recordBytes();
        if (!bytes)
            return {};
        parsed = LaunchRecord::parse(*bytes);
    }
    const QString recordPath = text(m_workDir + '/' + recordName);
    if (!parsed || !inWorkFolder(parsed->target)) {
        return Result<>::failure(
            QStringLiteral("The record of the last launch, %1, cannot be read; it is left as it is.").arg(recordPath));
    }
    const LaunchRecord& record = *parsed;
    QStringList errors;

    if (!record.targetExisted) {
        // Only a real folder goes whole: never a link, nor a file that took its place.
        struct stat info = {};
        if (::lstat(record.target.constData(), &info) == 0 && S_ISDIR(info.st_mode)) {
            UniqueFd parent(::open(parentOf(record.target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (parent.valid())
                removeTree(parent.get(), leafOf(record.target));
        }
    } else {
        UniqueFd root(::open(record.target.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        // A created file spelt like a moved entry stands in that entry's place: it goes only while the
        // entry still waits under its hidden name, so that a repeated clean-up never removes an entry
        // that is back.
        QHash<QString, const LaunchRecord::MovedAside*> asideByName;
        for (const LaunchRecord::MovedAside& entry : record.movedAside)
            asideByName.insert(folded(entry.path), &entry);
        const auto waiting = [&](const LaunchRecord::MovedAside& entry) {
            const UniqueFd folder = openParent(root.get(), entry.path);
            return folder.valid() && lexists(folder.get(), entry.hidden);
        };
        for (const QList<QByteArray>* list : {&record.files, &record.temporaries}) {
            for (const QByteArray& path : *list) {
                const LaunchRecord::MovedAside* entry = asideByName.value(folded(path));
                if (!root.valid() || (entry && !waiting(*entry)))
                    continue;
                const UniqueFd folder = openParent(root.get(), path);
                struct stat info = {};
                if (folder.valid() && lexists(folder.get(), leafOf(path), &info) && !S_ISDIR(info.st_mode) &&
                    ::unlinkat(folder.get(), leafOf(path).constData(), 0) == 0)
                    Platform::fileChanged();
            }
        }
        QList<QByteArray> folders = record.folders;
        std::stable_sort(folders.begin(), folders.end(),
                         [](const QByteArray& a, const QByteArray& b) { return a.count('/') > b.count('/'); });
        for (const QByteArray& path : std::as_const(folders)) {
            const UniqueFd folder = root.valid() ? openParent(root.get(), path) : UniqueFd();
            if (folder.valid() && ::unlinkat(folder.get(), leafOf(path).constData(), AT_REMOVEDIR) == 0)
                Platform::fileChanged();
        }
        for (const LaunchRecord::MovedAside& entry : record.movedAside) {
            const UniqueFd folder = root.valid() ? openParent(root.get(), entry.path) : UniqueFd();
            if (folder.valid() && !lexists(folder.get(), entry.hidden))
                continue; // back already, or never moved
            if (folder.valid() &&
                ::renameat(folder.get(), entry.hidden.constData(), folder.get(), leafOf(entry.path).constData()) == 0) {
                Platform::fileChanged();
                continue;
            }
            const QByteArray folderPath = record.target + '/' + parentOf(entry.path);
            errors.append(
                QStringLiteral("%1 could not be put back (%2); its copy is %3.")
                    .arg(text(record.target + '/' + entry.path), Platform::errorText(errno),
                         text(QByteArray(folderPath.endsWith('/') ? folderPath : folderPath + '/') + entry.hidden)));
        }
    }

    if (!errors.isEmpty()) {
        errors.append(QStringLiteral("The record %1 is kept.").arg(recordPath));
        return Result<>::failure(errors.join(QLatin1Char('\n')));
    }
    if (::unlinkat(m_workFd, recordName.constData(), 0) == 0)
        Platform::fileChanged();
    return {};
}
