#include "Extraction.h"

#include "FileChanges.h"
#include "LocalText.h"
#include "MemberNames.h"
#include "MemberWriter.h"
#include "SecondWriter.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Unzip {

namespace {

constexpr int PasswordLength = 80;
constexpr quint32 PlanningBeat = 4096; // members planned between two progress reports
// Members of this size and more are worth a second writer: below it, handing one over costs more
// than writing it.
constexpr zip_uint64_t LargeMember = 1024 * 1024;

QByteArray currentFolder()
{
    QByteArray path(PATH_MAX, '\0');
    if (!::getcwd(path.data(), static_cast<size_t>(path.size())))
        return QByteArray();
    path.truncate(static_cast<qsizetype>(qstrlen(path.constData())));
    return path;
}

QByteArray joined(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// The path of `name` in `folder`, relative to the target folder. Sized once: a plan holds one for
// each of a million members.
QByteArray relativePath(const PlanFolder* folder, const QByteArray& name)
{
    qsizetype size = name.size();
    for (const PlanFolder* at = folder; at && at->parent; at = at->parent)
        size += at->name.size() + 1;
    QByteArray path(size, Qt::Uninitialized);
    qsizetype end = size - name.size();
    std::copy(name.begin(), name.end(), path.begin() + end);
    for (const PlanFolder* at = folder; at && at->parent; at = at->parent) {
        path[--end] = '/';
        end -= at->name.size();
        std::copy(at->name.begin(), at->name.end(), path.begin() + end);
    }
    return path;
}

} // namespace

FoundPath findPath(const QByteArray& given, bool wantFolder)
{
    QByteArray normalized = given;
    normalized.replace('\\', '/');
    FoundPath found;
    found.path = normalized.startsWith('/') ? QByteArray("/") : currentFolder();
    found.exists = !found.path.isEmpty();
    const QList<QByteArray> parts = normalized.split('/');
    qsizetype last = parts.size() - 1;
    while (last >= 0 && (parts.at(last).isEmpty() || parts.at(last) == ".")) // a trailing separator
        --last;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray& part = parts.at(i);
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            const qsizetype slash = found.path.lastIndexOf('/');
            found.path.truncate(std::max<qsizetype>(slash, 1));
            continue;
        }
        QByteArray name = part;
        const bool wanted = i < last || wantFolder;
        // The exact name wins: a folder that may hold thousands of archives is read only when it is missing.
        struct stat info = {};
        const bool exact =
            found.exists && ::stat(joined(found.path, part).constData(), &info) == 0 && S_ISDIR(info.st_mode) == wanted;
        if (found.exists && !exact) {
            FolderIndex index;
            UniqueFd folder(::open(found.path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            const IndexEntry* entry =
                folder.valid() && index.list(folder.get(), true) ? index.find(part, wanted) : nullptr;
            if (entry && (entry->kind == EntryKind::Folder) == wanted)
                name = entry->bytes();
            else
                found.exists = false;
        }
        found.path = joined(found.path, name);
    }
    return found;
}

// Progress goes to the hook that windll_set_progress installed; defined with the entry points.
int reportProgress(long long done, long long total);

Extraction::Extraction(const DCL& options, USERFUNCTIONS* callbacks) : m_options(options), m_callbacks(callbacks) {}

Extraction::~Extraction() = default;

void Extraction::print(const QString& text, int level)
{
    if (m_planOnly || !m_callbacks || !m_callbacks->print || m_options.fQuiet > level)
        return;
    QByteArray bytes = Platform::encodeLocal(text);
    m_callbacks->print(bytes.data(), static_cast<unsigned long>(bytes.size()));
}

void Extraction::warn()
{
    if (m_status == PK_OK)
        m_status = PK_WARN;
}

void Extraction::fail(int status)
{
    if (m_status == PK_OK || m_status == PK_WARN)
        m_status = status;
}

// False once the caller has asked to stop.
bool Extraction::progress(long long done)
{
    if (!m_planOnly && reportProgress(done, m_total) != 0)
        m_cancelled = true;
    return !m_cancelled;
}

bool Extraction::openArchive()
{
    const QByteArray given(m_options.lpszZipFN);
    const QString shown = Platform::decodeLocal(given);
    FoundPath found = findPath(given, false);
    if (!found.exists)
        found = findPath(given + ".zip", false);
    if (!found.exists) {
        print(QStringLiteral("unzip:  cannot find either %1 or %1.zip.\n").arg(shown), 1);
        fail(PK_NOZIP);
        return false;
    }
    m_zipPath = found.path;
    int error = 0;
    if (!m_reader.open(m_zipPath, &error)) {
        print(QStringLiteral("error:  %1 is not a usable zip archive: %2\n").arg(shown, zipErrorText(error)), 1);
        fail(statusOfZipError(error));
        return false;
    }
    print(QStringLiteral("Archive:  %1\n").arg(shown));
    return true;
}

// The archive that holds member `index` (one slice of a large archive's directory) and the member's
// index there. A slice that cannot be read makes the whole archive unusable, as a directory that
// cannot be read does.
zip_t* Extraction::archiveFor(zip_uint64_t index, zip_uint64_t* local)
{
    int error = 0;
    zip_t* archive = m_unreadable ? nullptr : m_reader.archiveFor(index, local, &error);
    if (!archive && !m_unreadable) {
        m_unreadable = true;
        print(QStringLiteral("error:  %1 is not a usable zip archive: %2\n")
                  .arg(Platform::decodeLocal(m_options.lpszZipFN), zipErrorText(error)),
              1);
        fail(statusOfZipError(error));
    }
    return archive;
}

bool Extraction::statMember(zip_uint64_t index, zip_stat_t* stat)
{
    zip_uint64_t local = 0;
    zip_t* archive = archiveFor(index, &local);
    return archive && zip_stat_index(archive, local, 0, stat) == 0;
}

MemberSelection Extraction::selectMembers(const QStringList& includes, const QStringList& excludes,
                                          std::vector<bool>* hits)
{
    const zip_uint64_t count = m_reader.entryCount();
    hits->assign(static_cast<std::size_t>(includes.size()), false);
    MemberSelection members(count);
    if (!includes.isEmpty() || !excludes.isEmpty()) {
        members.chooseOnly();
        for (zip_uint64_t index = 0; index < count && !m_unreadable; ++index) {
            zip_uint64_t local = 0;
            zip_t* archive = archiveFor(index, &local);
            const char* rawName = archive ? zip_get_name(archive, local, 0) : nullptr;
            if (!rawName)
                continue;
            const QString name = Platform::decodeLocal(shownName(rawName));
            bool take = includes.isEmpty();
            for (qsizetype k = 0; k < includes.size(); ++k) {
                if (wildcardMatch(includes.at(k), name, m_nameCase)) {
                    (*hits)[static_cast<std::size_t>(k)] = true;
                    take = true;
                }
            }
            for (const QString& exclude : excludes) {
                if (take && wildcardMatch(exclude, name, m_nameCase))
                    take = false;
            }
            if (take)
                members.choose(index);
        }
    }
    m_total = static_cast<long long>(members.size());
    return members;
}

int Extraction::run(const QStringList& includes, const QStringList& excludes)
{
    if (!m_options.lpszZipFN)
        return PK_PARAM;
    m_nameCase = m_options.C_flag ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (!openArchive())
        return m_status;

    std::vector<bool> hits;
    const MemberSelection members = selectMembers(includes, excludes, &hits);
    if (m_callbacks) {
        unsigned long totalSize = 0;
        unsigned long totalComp = 0;
        for (std::size_t k = 0; k < members.size(); ++k) {
            zip_stat_t stat;
            if (statMember(members.at(k), &stat)) {
                totalSize += static_cast<unsigned long>(stat.size);
                totalComp += static_cast<unsigned long>(stat.comp_size);
            }
        }
        const int commentLength = m_reader.commentLength();
        m_callbacks->TotalSize = totalSize;
        m_callbacks->TotalSizeComp = totalComp;
        m_callbacks->CompFactor = totalSize > 0 && totalComp <= totalSize
                                      ? static_cast<unsigned>((totalSize - totalComp) * 100 / totalSize)
                                      : 0;
        m_callbacks->NumMembers = static_cast<unsigned>(members.size());
        m_callbacks->cchComment = static_cast<unsigned short>(commentLength);
    }

    for (qsizetype k = 0; k < includes.size(); ++k) {
        if (!hits[static_cast<std::size_t>(k)])
            print(QStringLiteral("caution: filename not matched:  %1\n").arg(includes.at(k)), 1);
    }
    if (!includes.isEmpty() && members.empty()) {
        fail(PK_FIND);
        return m_status;
    }
    if (m_unreadable)
        return m_status;
    if (m_reader.entryCount() == 0) {
        print(QStringLiteral("warning:  zipfile is empty\n"), 1);
        warn();
        return m_status;
    }

    if (m_options.nvflag) {
        list(members);
    } else {
        m_ownTarget = std::make_unique<PlanTarget>();
        m_target = m_ownTarget.get();
        if (openTarget(m_target, true) && planAll(members))
            writeAll();
    }
    if (m_cancelled)
        return IZ_CTRLC;
    if (std::find(hits.begin(), hits.end(), false) != hits.end())
        fail(PK_FIND);
    return m_status;
}

int Extraction::planInto(PlanTarget* target)
{
    m_planOnly = true;
    m_target = target;
    if (!m_options.lpszZipFN)
        return PK_PARAM;
    if (!openArchive())
        return m_status;
    std::vector<bool> hits;
    const MemberSelection members = selectMembers({}, {}, &hits);
    if (!m_options.nvflag)
        planAll(members);
    return m_status;
}

void Extraction::list(const MemberSelection& members)
{
    if (!m_callbacks || !m_callbacks->SendApplicationMessage)
        return;
    for (std::size_t k = 0; k < members.size(); ++k) {
        zip_stat_t stat;
        if (!statMember(members.at(k), &stat))
            continue;
        struct tm local = {};
        const time_t mtime = stat.mtime;
        localtime_r(&mtime, &local);
        const auto size = static_cast<unsigned long>(stat.size);
        const auto comp = static_cast<unsigned long>(stat.comp_size);
        char sign = ' ';
        unsigned factor = 0;
        if (size > 0 && comp <= size) {
            factor = static_cast<unsigned>((size - comp) * 100 / size);
        } else if (size > 0) {
            sign = '-';
            factor = static_cast<unsigned>((comp - size) * 100 / size);
        }
        QByteArray method;
        switch (stat.comp_method) {
        case ZIP_CM_STORE:
            method = "Stored";
            break;
        case ZIP_CM_DEFLATE:
            method = "Defl:N";
            break;
        case ZIP_CM_DEFLATE64:
            method = "Def64";
            break;
        case ZIP_CM_BZIP2:
            method = "BZip2";
            break;
        case ZIP_CM_LZMA:
            method = "LZMA";
            break;
        default:
            method = "Unk:" + QByteArray::number(stat.comp_method);
            break;
        }
        const QByteArray name = shownName(stat.name);
        m_callbacks->SendApplicationMessage(
            size, comp, factor, static_cast<unsigned>(local.tm_mon + 1), static_cast<unsigned>(local.tm_mday),
            static_cast<unsigned>(local.tm_year + 1900), static_cast<unsigned>(local.tm_hour),
            static_cast<unsigned>(local.tm_min), sign, name.constData(), method.constData(),
            static_cast<unsigned long>(stat.crc), stat.encryption_method != ZIP_EM_NONE ? 1 : 0);
    }
}

// Finds the target folder, creating what is missing of it with the spelling given when `create`.
bool Extraction::openTarget(PlanTarget* target, bool create)
{
    const QByteArray given(m_options.lpszExtractDir ? m_options.lpszExtractDir : "");
    const FoundPath found = findPath(given.isEmpty() ? QByteArray(".") : given, true);
    target->path = found.path;
    target->exists = found.exists;
    target->root.onDisk = found.exists;
    target->root.made = found.exists;
    target->root.listed = !found.exists;
    if (!found.exists && create) {
        // What is missing is made folder by folder, below the deepest folder that exists.
        for (qsizetype at = found.path.indexOf('/', 1);; at = found.path.indexOf('/', at + 1)) {
            const QByteArray prefix = at < 0 ? found.path : found.path.left(at);
            struct stat info = {};
            if (::stat(prefix.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
                if (::mkdir(prefix.constData(), 0777) != 0) {
                    print(QStringLiteral("error:  cannot create extraction directory: %1\n        %2\n")
                              .arg(Platform::decodeLocal(given), Platform::errorText(errno)),
                          1);
                    fail(PK_DISK);
                    return false;
                }
                Platform::fileChanged();
            }
            if (at < 0)
                break;
        }
        target->exists = true;
        target->root.made = true;
    }
    if (target->exists) {
        // The target itself may be a link (a set kept on another disk); nothing inside it is followed.
        target->fd.reset(::open(target->path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!target->fd.valid()) {
            print(QStringLiteral("error:  cannot open extraction directory: %1\n        %2\n")
                      .arg(Platform::decodeLocal(given), Platform::errorText(errno)),
                  1);
            fail(PK_DISK);
            return false;
        }
    }
    return true;
}

bool Extraction::planAll(const MemberSelection& members)
{
    quint32 ordinal = 0;
    for (std::size_t k = 0; k < members.size(); ++k) {
        planMember(members.at(k), ++ordinal);
        if (m_unreadable)
            return false;
        if (ordinal % PlanningBeat == 0 && !progress(0))
            return false;
    }
    return !m_cancelled;
}

void Extraction::record(PlannedChange::Kind kind, const PlanFolder* folder, const QByteArray& name)
{
    if (!m_planOnly || !m_target->record)
        return;
    (kind == PlannedChange::Kind::MoveAside ? m_target->movedAside : m_target->changes)
        .append(PlannedChange{kind, relativePath(folder, name)});
}

// Decides what becomes of one member, asking the caller where needed, and adds the steps it takes.
void Extraction::planMember(zip_uint64_t index, quint32 ordinal)
{
    zip_uint64_t local = 0;
    zip_t* archive = archiveFor(index, &local);
    zip_stat_t stat;
    if (!archive || zip_stat_index(archive, local, 0, &stat) != 0 || !stat.name)
        return;
    const QByteArray stored(stat.name);
    const QString shown = Platform::decodeLocal(shownName(stored));
    const MemberPath member = splitMemberName(stored, m_options.SpaceToUnderscore != 0);
    static const char* const why[] = {"", "its path leads outside the target folder",
                                      "it lies more than 64 folders deep", "its path is too long"};
    if (member.problem != MemberPath::Problem::None) {
        print(QStringLiteral("warning:  skipped \"%1\": %2\n")
                  .arg(shown, QLatin1String(why[static_cast<int>(member.problem)])),
              1);
        warn();
        return;
    }
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, local, 0, &system, &attributes) == 0 && system == ZIP_OPSYS_UNIX &&
        ((attributes >> 16) & S_IFMT) == S_IFLNK) {
        print(QStringLiteral("warning:  skipped \"%1\": symbolic links are not extracted\n").arg(shown), 1);
        warn();
        return;
    }
    if (member.parts.isEmpty())
        return;
    if (member.isFolder) {
        if (m_options.ndflag)
            folderFor(member.parts, member.parts.size(), shown);
        return;
    }
    const QList<QByteArray> parts = m_options.ndflag ? member.parts : QList<QByteArray>{member.parts.last()};
    PlanFolder* folder = folderFor(parts, parts.size() - 1, shown);
    if (!folder)
        return;
    if (!zip_compression_method_supported(stat.comp_method, 0)) {
        print(QStringLiteral("skipping: %1  unsupported compression method %2\n").arg(shown).arg(stat.comp_method), 1);
        fail(IZ_UNSUP);
        return;
    }

    const QByteArray& fileName = parts.last();
    const QString display = Platform::decodeLocal(relativePath(folder, fileName));
    const IndexEntry* existing = folder->index.find(fileName, false);
    if (existing && existing->kind == EntryKind::Folder) {
        print(QStringLiteral("error:  cannot create %1\n        a folder of that name is in the way\n").arg(display),
              1);
        fail(PK_DISK);
        return;
    }
    if (!existing && m_options.nfflag)
        return;
    const Replace replace = existing ? mayReplace(folder, *existing, stat) : Replace::Yes;
    if (replace == Replace::No)
        return;

    qint32 password = -1;
    bool written = true; // a step writes it
    if (stat.encryption_method != ZIP_EM_NONE) {
        if (!zip_encryption_method_supported(stat.encryption_method, 0)) {
            print(QStringLiteral("skipping: %1  unsupported encryption\n").arg(shown), 1);
            fail(IZ_UNSUP);
            return;
        }
        // A plan cannot ask for a password: it counts the member as written. So does the extraction
        // when no password opens it, so that no later member's name depends on a password: a member
        // of the same name in another case still replaces it under its name, as the plan says.
        written = m_planOnly || askPassword(archive, stat, shown, &password);
    }

    Step step;
    step.folder = folder;
    step.file = true;
    step.index = index;
    step.ordinal = ordinal;
    step.password = static_cast<qint16>(password);
    step.ask = replace == Replace::Ask;
    if (existing && !existing->planned && m_target->moveAside) {
        record(PlannedChange::Kind::MoveAside, folder, existing->bytes());
        folder->index.remove(existing->bytes());
        existing = nullptr;
    }
    const auto stepNumber = static_cast<quint32>(m_steps.size());
    if (existing) {
        // Written beside it first, so that a member that fails leaves the file it replaces whole.
        const QByteArray name = existing->bytes();
        if (written && name != fileName)
            m_names.insert(stepNumber, name);
        const QByteArray temporary = temporaryName(folder, name);
        record(PlannedChange::Kind::Temporary, folder, temporary);
        if (written)
            m_temporaries.insert(stepNumber, temporary);
        folder->index.add(name, EntryKind::File, existing->planned, stat.mtime);
    } else {
        record(PlannedChange::Kind::File, folder, fileName);
        // Known from now on, so that a later member of the same name replaces this one.
        folder->index.add(fileName, EntryKind::File, true, stat.mtime);
    }
    if (!m_planOnly && written)
        m_steps.push_back(step);
}

// The folder that holds parts[0..count), planned where missing; null (with the status set) when the
// member cannot go there.
PlanFolder* Extraction::folderFor(const QList<QByteArray>& parts, qsizetype count, const QString& shown)
{
    PlanFolder* folder = &m_target->root;
    for (qsizetype i = 0; i < count; ++i) {
        if (!ensureListed(folder) || folder->failed) {
            print(QStringLiteral("error:  cannot create %1\n        its folder cannot be made\n").arg(shown), 1);
            fail(PK_DISK);
            return nullptr;
        }
        const QByteArray& part = parts.at(i);
        const IndexEntry* entry = folder->index.find(part, true);
        if (entry && entry->kind == EntryKind::Link) {
            print(QStringLiteral("warning:  skipped \"%1\": its path passes through a symbolic link\n").arg(shown), 1);
            warn();
            return nullptr;
        }
        if (entry && entry->kind != EntryKind::Folder) {
            print(QStringLiteral("error:  cannot create folder %1\n        a file of that name is in the way\n")
                      .arg(Platform::decodeLocal(relativePath(folder, entry->bytes()))),
                  1);
            fail(PK_DISK);
            return nullptr;
        }
        if (!entry && m_options.nfflag)
            return nullptr; // freshening makes nothing new, not even a folder
        const QByteArray name = entry ? entry->bytes() : part;
        std::unique_ptr<PlanFolder>& child = folder->children[name];
        if (!child) {
            child = std::make_unique<PlanFolder>();
            child->parent = folder;
            child->name = name;
            if (entry && !entry->planned) {
                child->onDisk = true;
                child->made = true;
            } else {
                child->listed = true;
            }
        }
        if (!entry) {
            folder->index.add(name, EntryKind::Folder, true);
            record(PlannedChange::Kind::Folder, folder, name);
            if (!m_planOnly) {
                Step step;
                step.folder = child.get();
                m_steps.push_back(step);
            }
        }
        folder = child.get();
    }
    if (!ensureListed(folder)) {
        print(QStringLiteral("error:  cannot create %1\n        its folder cannot be made\n").arg(shown), 1);
        fail(PK_DISK);
        return nullptr;
    }
    return folder;
}

// Reads the names of a folder found on disk the first time a member goes into it.
bool Extraction::ensureListed(PlanFolder* folder)
{
    if (folder->listed)
        return !folder->failed;
    folder->listed = true;
    const int fd = openFolder(folder);
    if (fd < 0 || !folder->index.list(fd, false))
        folder->failed = true;
    for (const QByteArray& path : m_target->absent) {
        const qsizetype slash = path.lastIndexOf('/');
        if (relativePath(folder, path.mid(slash + 1)) == path)
            folder->index.remove(path.mid(slash + 1));
    }
    return !folder->failed;
}

// Whether the existing file `existing` is to be replaced. The replace query, when the caller wants
// one, is asked only when the member is about to be written: the answer changes no name, so the
// plan stands whatever it is.
Extraction::Replace Extraction::mayReplace(PlanFolder* folder, const IndexEntry& existing, const zip_stat_t& stat)
{
    if (m_options.ExtractOnlyNewer || m_options.nfflag) {
        qint64 onDisk = existing.mtime;
        if (!existing.planned) {
            struct stat info = {};
            const int fd = openFolder(folder);
            onDisk = fd >= 0 && ::fstatat(fd, existing.bytes().constData(), &info, AT_SYMLINK_NOFOLLOW) == 0
                         ? qint64(info.st_mtime)
                         : qint64(0);
        }
        if (onDisk >= qint64(stat.mtime))
            return Replace::No;
    }
    if (m_options.noflag)
        return Replace::Yes;
    if (m_planOnly || !m_options.PromptToOverwrite || !m_callbacks || !m_callbacks->replace)
        return Replace::No;
    return Replace::Ask;
}

// Asks the replace query about the file of a step, when it is about to be written.
bool Extraction::askReplace(const QString& display)
{
    if (m_replaceAll)
        return true;
    if (m_skipExisting)
        return false;
    const QString given = Platform::decodeLocal(m_options.lpszExtractDir ? m_options.lpszExtractDir : "");
    QByteArray shown = Platform::encodeLocal(given.isEmpty() ? display : given + QLatin1Char('/') + display);
    // The query may read up to 256 bytes, whatever the length of the name.
    if (shown.size() < 256)
        shown.append(256 - shown.size(), '\0');
    const int answer = m_callbacks->replace(shown.data());
    if (answer == IDM_REPLACE_NONE)
        m_skipExisting = true;
    if (answer == IDM_REPLACE_ALL)
        m_replaceAll = true;
    return answer == IDM_REPLACE_YES || answer == IDM_REPLACE_ALL;
}

bool Extraction::askPassword(zip_t* archive, const zip_stat_t& stat, const QString& shown, qint32* slot)
{
    const auto opens = [&](const QByteArray& password) {
        ZipFilePtr probe(zip_fopen_index_encrypted(archive, stat.index, 0, password.constData()));
        return probe != nullptr;
    };
    // Most archives use one password for all their members: try the last one first.
    if (!m_passwords.isEmpty() && opens(m_passwords.last())) {
        *slot = static_cast<qint32>(m_passwords.size() - 1);
        return true;
    }
    char buffer[PasswordLength + 1] = {};
    const QByteArray name = Platform::encodeLocal(shown);
    if (!m_callbacks || !m_callbacks->password ||
        m_callbacks->password(buffer, PasswordLength + 1, "Enter password for: ", name.constData()) != 0) {
        print(QStringLiteral("skipping: %1  unable to get password\n").arg(shown), 1);
        fail(IZ_BADPWD);
        return false;
    }
    buffer[PasswordLength] = '\0';
    const QByteArray password(buffer);
    if (!opens(password)) {
        print(QStringLiteral("skipping: %1  incorrect password\n").arg(shown), 1);
        fail(IZ_BADPWD);
        return false;
    }
    m_passwords.append(password);
    *slot = static_cast<qint32>(m_passwords.size() - 1);
    return true;
}

// A name beside `name` that nothing in the folder has, not even in another case: the same folder
// contents always give the same name, so that a plan can say it in advance.
QByteArray Extraction::temporaryName(const PlanFolder* folder, const QByteArray& name) const
{
    const QByteArray stem = name.size() + 12 <= NAME_MAX ? '.' + name : QByteArray(".member");
    for (int n = 0;; ++n) {
        const QByteArray candidate = stem + (n == 0 ? QByteArray() : '.' + QByteArray::number(n)) + ".part";
        if (!folder->index.containsAnyCase(candidate))
            return candidate;
    }
}

// The open folder, opened (and made, when it is planned) from the target down without following
// any link; -1 when it cannot be.
int Extraction::openFolder(PlanFolder* folder)
{
    std::vector<PlanFolder*> chain;
    for (PlanFolder* at = folder; at && at->parent; at = at->parent)
        chain.push_back(at);
    std::reverse(chain.begin(), chain.end());
    std::size_t keep = 0;
    while (keep < chain.size() && keep < m_open.size() && m_open[keep].first == chain[keep])
        ++keep;
    m_open.resize(keep);
    int fd = keep == 0 ? m_target->fd.get() : m_open.back().second.get();
    for (std::size_t i = keep; i < chain.size() && fd >= 0; ++i) {
        PlanFolder* next = chain[i];
        if (next->failed || !next->made)
            return -1;
        UniqueFd opened(::openat(fd, next->name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!opened.valid()) {
            next->failed = true;
            return -1;
        }
        fd = opened.get();
        m_open.emplace_back(next, std::move(opened));
    }
    return fd;
}

// Two members of one folder may be written at once when neither can touch the other's file: their
// names differ in every case, and neither writes a temporary file, whose name the plan chose while
// the other's temporary file did not exist yet.
bool Extraction::mayOverlap(const PlanFolder* folder, const WriteJob& job) const
{
    const WriteJob& other = m_second->job();
    if (folder != m_secondFolder)
        return true;
    return job.temporary.isEmpty() && other.temporary.isEmpty() && foldName(job.name) != foldName(other.name);
}

// Writes the steps in plan order. A large member may go to the second writer while this thread
// writes the next large member, so that two decompress at once; anything else waits until the
// second writer is done. Progress still counts the members in plan order, and Cancel stops after
// the members being written.
void Extraction::writeAll()
{
    std::unique_ptr<char[]> buffer(new char[WriteBufferSize]);
    quint32 reported = 0;
    quint32 secondOrdinal = 0; // of the member the second writer is writing, reported once it is done
    const auto beat = [&] { progress(reported); };
    const auto finishSecond = [&] {
        if (!m_second || !m_second->busy())
            return;
        const WriteResult result = m_second->finish(beat);
        if (result.status != PK_OK) {
            print(result.error, 1);
            fail(result.status);
            m_aborted = m_aborted || result.abort;
        }
        reported = secondOrdinal;
        progress(reported);
    };

    for (std::size_t i = 0; i < m_steps.size() && !m_aborted && !m_cancelled; ++i) {
        const Step& step = m_steps[i];
        PlanFolder* folder = step.folder;
        if (!step.file) {
            // A new folder: no member being written can be in it, or have its name.
            const int parentFd = openFolder(folder->parent);
            const QString shown = Platform::decodeLocal(relativePath(folder->parent, folder->name));
            if (parentFd < 0 || ::mkdirat(parentFd, folder->name.constData(), 0777) != 0) {
                const int error = parentFd < 0 ? ENOENT : errno;
                folder->failed = true;
                print(QStringLiteral("error:  cannot create folder %1\n        %2\n")
                          .arg(shown, Platform::errorText(error)),
                      1);
                fail(PK_DISK);
                m_aborted = error == ENOSPC || error == EDQUOT;
                continue;
            }
            Platform::fileChanged();
            folder->made = true;
            print(QStringLiteral("   creating: %1/\n").arg(shown));
            continue;
        }

        zip_uint64_t local = 0;
        zip_t* archive = archiveFor(step.index, &local);
        zip_stat_t stat;
        if (!archive) {
            m_aborted = true;
            break;
        }
        if (zip_stat_index(archive, local, 0, &stat) != 0 || !stat.name)
            continue;
        const auto stepNumber = static_cast<quint32>(i);
        WriteJob job;
        job.index = step.index;
        job.name = m_names.contains(stepNumber)
                       ? m_names.value(stepNumber)
                       : splitMemberName(stat.name, m_options.SpaceToUnderscore != 0).parts.last();
        job.temporary = m_temporaries.value(stepNumber);
        job.encrypted = step.password >= 0;
        if (job.encrypted)
            job.password = m_passwords.at(step.password);
        job.mtime = stat.mtime;
        const bool large = (stat.valid & ZIP_STAT_SIZE) && stat.size >= LargeMember;
        if (m_second && m_second->busy() && (!large || !mayOverlap(folder, job)))
            finishSecond();
        if (m_aborted || m_cancelled)
            break;

        const QString shown = Platform::decodeLocal(relativePath(folder, job.name));
        const int fd = openFolder(folder);
        if (fd < 0) {
            print(QStringLiteral("error:  cannot create %1\n        its folder cannot be opened\n").arg(shown), 1);
            fail(PK_DISK);
        } else if (step.ask && !askReplace(shown)) {
            // Kept: nothing to write.
        } else {
            print(QStringLiteral("%1: %2\n")
                      .arg(stat.comp_method == ZIP_CM_STORE ? QStringLiteral(" extracting")
                                                            : QStringLiteral("  inflating"),
                           shown));
            const bool handOver = large && !(m_second && m_second->busy());
            UniqueFd folderCopy(handOver ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1);
            if (folderCopy.valid()) {
                if (!m_second)
                    m_second = std::make_unique<SecondWriter>(m_reader.sharedCopy());
                m_second->start(job, std::move(folderCopy), shown);
                m_secondFolder = folder;
                secondOrdinal = step.ordinal;
                continue;
            }
            WriteJob here = job;
            here.index = local;
            const WriteResult result = writeMember(archive, fd, here, shown, buffer.get(), [&] {
                beat();
                if (m_second)
                    m_second->forwardBeats(beat);
            });
            if (result.status != PK_OK) {
                print(result.error, 1);
                fail(result.status);
                m_aborted = result.abort;
            }
        }
        finishSecond(); // the earlier member is reported first
        reported = step.ordinal;
        progress(reported);
    }
    finishSecond();
    if (!m_cancelled && !m_aborted && reported != m_total)
        progress(m_total);
}

} // namespace Unzip
