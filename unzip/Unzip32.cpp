#include "Unzip32.h"

#include "FileLookup.h"
#include "FolderListing.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMultiHash>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace {

struct ProgressHook
{
    UnzipProgressFn fn = nullptr;
    void* ctx = nullptr;
};
ProgressHook progressHook;

constexpr std::size_t WriteBufferSize = 256 * 1024;
constexpr quint64 HeartbeatBytes = 4 * 1024 * 1024;
constexpr int PasswordLength = 80;

// Status of an archive error reported by libzip.
int statusOfZipError(int zipError)
{
    switch (zipError) {
    case ZIP_ER_NOENT:
    case ZIP_ER_OPEN:
    case ZIP_ER_NOZIP:
        return PK_NOZIP;
    case ZIP_ER_EOF:
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
        return PK_EOF;
    case ZIP_ER_MEMORY:
        return PK_MEM;
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_ENCRNOTSUPP:
        return IZ_UNSUP;
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
        return IZ_BADPWD;
    default:
        return PK_ERR;
    }
}

QString zipErrorText(int zipError)
{
    zip_error_t error;
    zip_error_init_with_code(&error, zipError);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isDiskFull(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// '*' matches any run of characters ('/' included), '?' any one character.
bool wildcardMatch(const QString& pattern, const QString& name, Qt::CaseSensitivity cs)
{
    const auto same = [cs](QChar a, QChar b) {
        return cs == Qt::CaseSensitive ? a == b : a.toCaseFolded() == b.toCaseFolded();
    };
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype starP = -1;
    qsizetype starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern.at(p) == QLatin1Char('?') || same(pattern.at(p), name.at(n)))) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

// Names of one folder on disk, so that every member is placed without a fresh look at the folder:
// an exact name wins, otherwise the first of the names that match without regard to case.
class FolderIndex
{
public:
    FolderIndex(QString path, bool listNow) : m_path(std::move(path))
    {
        if (!listNow)
            return;
        Platform::listFolder(m_path, [this](QByteArrayView name, Platform::ListedKind kind) {
            add(QFile::decodeName(name.toByteArray()), kind == Platform::ListedKind::Folder);
        });
    }

    const QString& path() const { return m_path; }

    void add(const QString& name, bool isFolder)
    {
        if (!m_entries.contains(name))
            m_folded.insert(name.toCaseFolded(), name);
        m_entries.insert(name, isFolder);
    }

    // The stored name of the entry `name` names, preferring the wanted kind; empty when none.
    QString find(const QString& name, bool wantFolder) const
    {
        QString other;
        const auto exact = m_entries.constFind(name);
        if (exact != m_entries.constEnd()) {
            if (exact.value() == wantFolder)
                return name;
            other = name;
        }
        QString best;
        for (auto it = m_folded.constFind(name.toCaseFolded());
             it != m_folded.constEnd() && it.key() == name.toCaseFolded(); ++it) {
            const QString& candidate = it.value();
            if (m_entries.value(candidate) != wantFolder) {
                if (other.isEmpty() || candidate < other)
                    other = candidate;
                continue;
            }
            if (best.isEmpty() || candidate < best)
                best = candidate;
        }
        return best.isEmpty() ? other : best;
    }

    void remove(const QString& name)
    {
        if (m_entries.remove(name) > 0)
            m_folded.remove(name.toCaseFolded(), name);
    }

    bool isFolder(const QString& storedName) const { return m_entries.value(storedName); }

private:
    QString m_path;
    QHash<QString, bool> m_entries;
    QMultiHash<QString, QString> m_folded;
};

struct MemberName
{
    QString display; // as stored, with '/' between folders
    QStringList parts;
    bool isFolder = false;
    bool unsafe = false;
};

MemberName splitMemberName(const QString& stored, bool spaceToUnderscore)
{
    MemberName member;
    QString name = stored;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    member.display = name;
    member.isFolder = name.endsWith(QLatin1Char('/'));
    const bool driveLetter = name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter();
    member.unsafe = name.startsWith(QLatin1Char('/')) || driveLetter;
    const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (QString part : parts) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            member.unsafe = true;
        if (spaceToUnderscore)
            part.replace(QLatin1Char(' '), QLatin1Char('_'));
        member.parts.append(part);
    }
    return member;
}

// One member's bytes to be written to disk.
struct WriteJob
{
    zip_uint64_t index = 0;
    QString display;
    QString path;         // the file as it ends up
    bool replace = false; // an existing file is replaced by renaming a finished copy over it
    bool encrypted = false;
    QByteArray password;
    time_t mtime = 0;
    FolderIndex* folder = nullptr; // learns of the new file, or forgets it when it fails
    QString fileName;
};

struct WriteResult
{
    int status = PK_OK;
    QString error;
    bool abort = false; // the disk is full: later members cannot fare better
};

void closeQuietly(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

bool writeAll(int fd, const char* data, std::size_t size, int* error)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Decompresses one member into its file. Touches neither callbacks nor shared state, so that it
// may run on any thread with its own archive handle.
WriteResult writeMember(zip_t* archive, const WriteJob& job, char* buffer,
                        const std::function<void(quint64)>& heartbeat)
{
    WriteResult result;
    const QByteArray finalPath = QFile::encodeName(job.path);
    QByteArray writePath = finalPath;
    int fd = -1;
    if (job.replace) {
        const int slash = static_cast<int>(finalPath.lastIndexOf('/'));
        writePath = finalPath.left(slash + 1) + '.' + finalPath.mid(slash + 1) + ".XXXXXX";
        fd = ::mkstemp(writePath.data());
        struct stat old = {};
        if (fd >= 0 && ::stat(finalPath.constData(), &old) == 0)
            ::fchmod(fd, old.st_mode & 07777);
    } else {
        fd = ::open(finalPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }
    if (fd < 0) {
        result.status = PK_DISK;
        result.abort = isDiskFull(errno);
        result.error = QStringLiteral("error:  cannot create %1\n        %2\n").arg(job.display, errnoText(errno));
        return result;
    }

    const auto fail = [&](int status, const QString& text, bool abort) {
        closeQuietly(fd);
        ::unlink(writePath.constData());
        result.status = status;
        result.error = text;
        result.abort = abort;
        return result;
    };

    zip_file_t* member = job.encrypted ? zip_fopen_index_encrypted(archive, job.index, 0, job.password.constData())
                                       : zip_fopen_index(archive, job.index, 0);
    if (!member) {
        const int code = zip_error_code_zip(zip_get_error(archive));
        return fail(statusOfZipError(code),
                    QStringLiteral("error:  cannot read %1: %2\n").arg(job.display, zipErrorText(code)), false);
    }

    quint64 sinceBeat = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(member, buffer, WriteBufferSize);
        if (got < 0) {
            const int code = zip_error_code_zip(zip_file_get_error(member));
            zip_fclose(member);
            return fail(statusOfZipError(code),
                        QStringLiteral("error:  cannot read %1: %2\n").arg(job.display, zipErrorText(code)), false);
        }
        if (got == 0)
            break;
        int error = 0;
        if (!writeAll(fd, buffer, static_cast<std::size_t>(got), &error)) {
            zip_fclose(member);
            return fail(PK_DISK,
                        QStringLiteral("error:  cannot write %1\n        %2\n").arg(job.display, errnoText(error)),
                        isDiskFull(error));
        }
        sinceBeat += static_cast<quint64>(got);
        if (sinceBeat >= HeartbeatBytes && heartbeat) {
            heartbeat(sinceBeat);
            sinceBeat = 0;
        }
    }
    zip_fclose(member);

    const struct timespec times[2] = {{job.mtime, 0}, {job.mtime, 0}};
    ::futimens(fd, times);
    if (::close(fd) != 0) {
        const int error = errno;
        fd = -1;
        return fail(PK_DISK, QStringLiteral("error:  cannot write %1\n        %2\n").arg(job.display, errnoText(error)),
                    isDiskFull(error));
    }
    fd = -1;
    if (job.replace && ::rename(writePath.constData(), finalPath.constData()) != 0) {
        const int error = errno;
        return fail(PK_DISK,
                    QStringLiteral("error:  cannot replace %1\n        %2\n").arg(job.display, errnoText(error)),
                    false);
    }
    return result;
}

// Writes members on a second thread with an archive handle of its own, so that two members are
// decompressed at once. It holds one member at a time; everything that talks to the caller
// (callbacks, progress) stays on the calling thread.
class Helper
{
public:
    explicit Helper(const QString& zipPath) : m_buffer(new char[WriteBufferSize])
    {
        int error = 0;
        m_archive = zip_open(QFile::encodeName(zipPath).constData(), ZIP_RDONLY, &error);
        if (m_archive)
            m_thread = std::thread([this] { loop(); });
    }

    ~Helper()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        if (m_archive)
            zip_discard(m_archive);
    }

    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    bool usable() const { return m_archive != nullptr; }

    // Takes the job unless a job is still in hand.
    bool post(const WriteJob& job)
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (m_busy)
                return false;
            m_job = job;
            m_busy = true;
        }
        m_wake.notify_all();
        return true;
    }

    std::vector<std::pair<WriteJob, WriteResult>> takeFinished()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_finished, {});
    }

    // Waits until the job in hand is done, calling `beat` once for every few megabytes it writes.
    void waitIdle(const std::function<void()>& beat)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return !m_busy || m_beats > 0; });
            const int beats = std::exchange(m_beats, 0);
            lock.unlock();
            for (int i = 0; i < beats; ++i)
                beat();
            lock.lock();
            if (!m_busy && m_beats == 0)
                return;
        }
    }

private:
    void loop()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || m_job.has_value(); });
            if (m_stop)
                return;
            WriteJob job = std::move(*m_job);
            m_job.reset();
            lock.unlock();
            const WriteResult result = writeMember(m_archive, job, m_buffer.get(), [this](quint64) {
                {
                    const std::lock_guard<std::mutex> beatLock(m_mutex);
                    ++m_beats;
                }
                m_changed.notify_all();
            });
            lock.lock();
            m_finished.emplace_back(std::move(job), result);
            m_busy = false;
            m_changed.notify_all();
        }
    }

    zip_t* m_archive = nullptr;
    std::unique_ptr<char[]> m_buffer;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_changed;
    std::optional<WriteJob> m_job;
    bool m_busy = false;
    bool m_stop = false;
    int m_beats = 0;
    std::vector<std::pair<WriteJob, WriteResult>> m_finished;
};

class Extraction
{
public:
    Extraction(const DCL& options, USERFUNCTIONS* callbacks) : m_options(options), m_callbacks(callbacks) {}
    ~Extraction()
    {
        if (m_archive)
            zip_discard(m_archive);
    }
    Extraction(const Extraction&) = delete;
    Extraction& operator=(const Extraction&) = delete;

    int run(const QStringList& includes, const QStringList& excludes);

private:
    void print(const QString& text, int level = 0);
    void warn()
    {
        if (m_status == PK_OK)
            m_status = PK_WARN;
    }
    void fail(int status)
    {
        if (m_status == PK_OK || m_status == PK_WARN)
            m_status = status;
    }
    void progress(long long done)
    {
        try {
            if (progressHook.fn)
                progressHook.fn(progressHook.ctx, done, m_total);
        } catch (...) {
            // It may be called while a file is open; a failing window must not leave that file behind.
        }
    }

    bool openArchive();
    void list(const std::vector<zip_uint64_t>& members);
    void extract(const std::vector<zip_uint64_t>& members);
    bool plan(zip_uint64_t index, WriteJob* job);
    void finish(const WriteJob& job, const WriteResult& result);
    void collect();
    void settle();
    bool mayReplace(const WriteJob& job, const zip_stat_t& stat);
    bool prepareTarget();
    FolderIndex* folderFor(const QStringList& parts, qsizetype count);
    bool askPassword(const zip_stat_t& stat, const QString& display, QByteArray* password);

    DCL m_options;
    USERFUNCTIONS* m_callbacks;
    QString m_zipPath;
    zip_t* m_archive = nullptr;
    int m_status = PK_OK;
    long long m_total = 0;
    Qt::CaseSensitivity m_nameCase = Qt::CaseSensitive;

    QString m_targetDisplay;
    QHash<QString, std::shared_ptr<FolderIndex>> m_folders; // by stored folder path, "" is the target
    bool m_skipExisting = false;                            // "none" was answered to a replace query
    bool m_replaceAll = false;
    QByteArray m_lastPassword;
    bool m_havePassword = false;

    std::unique_ptr<Helper> m_helper;
    QString m_helperPath; // the file the helper is writing
    long long m_done = 0;
    bool m_aborted = false;
};

void Extraction::print(const QString& text, int level)
{
    if (!m_callbacks || !m_callbacks->print || m_options.fQuiet > level)
        return;
    QByteArray bytes = text.toLocal8Bit();
    m_callbacks->print(bytes.data(), static_cast<unsigned long>(bytes.size()));
}

bool Extraction::openArchive()
{
    const QString given = QString::fromLocal8Bit(m_options.lpszZipFN);
    const QDir base = QDir::isAbsolutePath(given) ? QDir::root() : QDir::current();
    m_zipPath = Platform::findEntry(base, given, Platform::EntryKind::File);
    if (m_zipPath.isEmpty())
        m_zipPath = Platform::findEntry(base, given + QStringLiteral(".zip"), Platform::EntryKind::File);
    if (m_zipPath.isEmpty()) {
        print(QStringLiteral("unzip:  cannot find either %1 or %1.zip.\n").arg(given), 1);
        fail(PK_NOZIP);
        return false;
    }
    int error = 0;
    m_archive = zip_open(QFile::encodeName(m_zipPath).constData(), ZIP_RDONLY, &error);
    if (!m_archive) {
        print(QStringLiteral("error:  %1 is not a usable zip archive: %2\n").arg(given, zipErrorText(error)), 1);
        fail(statusOfZipError(error));
        return false;
    }
    print(QStringLiteral("Archive:  %1\n").arg(given));
    return true;
}

int Extraction::run(const QStringList& includes, const QStringList& excludes)
{
    if (!m_options.lpszZipFN)
        return PK_PARAM;
    m_nameCase = m_options.C_flag ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (!openArchive())
        return m_status;

    const zip_int64_t count = zip_get_num_entries(m_archive, 0);
    std::vector<bool> hits(static_cast<std::size_t>(includes.size()), false);
    std::vector<zip_uint64_t> members;
    unsigned long totalSize = 0;
    unsigned long totalComp = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* rawName = zip_get_name(m_archive, static_cast<zip_uint64_t>(i), 0);
        if (!rawName)
            continue;
        QString name = QString::fromUtf8(rawName);
        name.replace(QLatin1Char('\\'), QLatin1Char('/'));
        bool take = includes.isEmpty();
        for (qsizetype k = 0; k < includes.size(); ++k) {
            if (wildcardMatch(includes.at(k), name, m_nameCase)) {
                hits[static_cast<std::size_t>(k)] = true;
                take = true;
            }
        }
        for (const QString& exclude : excludes) {
            if (take && wildcardMatch(exclude, name, m_nameCase))
                take = false;
        }
        if (!take)
            continue;
        members.push_back(static_cast<zip_uint64_t>(i));
        zip_stat_t stat;
        if (zip_stat_index(m_archive, static_cast<zip_uint64_t>(i), 0, &stat) == 0) {
            totalSize += static_cast<unsigned long>(stat.size);
            totalComp += static_cast<unsigned long>(stat.comp_size);
        }
    }
    m_total = static_cast<long long>(members.size());

    if (m_callbacks) {
        int commentLength = 0;
        zip_get_archive_comment(m_archive, &commentLength, ZIP_FL_ENC_RAW);
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
    if (count == 0) {
        print(QStringLiteral("warning:  zipfile is empty\n"), 1);
        warn();
        return m_status;
    }

    if (m_options.nvflag)
        list(members);
    else
        extract(members);
    if (std::find(hits.begin(), hits.end(), false) != hits.end())
        fail(PK_FIND);
    return m_status;
}

void Extraction::list(const std::vector<zip_uint64_t>& members)
{
    if (!m_callbacks || !m_callbacks->SendApplicationMessage)
        return;
    for (const zip_uint64_t index : members) {
        zip_stat_t stat;
        if (zip_stat_index(m_archive, index, 0, &stat) != 0)
            continue;
        struct tm local = {};
        const time_t mtime = stat.mtime;
        localtime_r(&mtime, &local);
        const unsigned long size = static_cast<unsigned long>(stat.size);
        const unsigned long comp = static_cast<unsigned long>(stat.comp_size);
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
        QString name = QString::fromUtf8(stat.name);
        name.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QByteArray nameBytes = name.toLocal8Bit();
        m_callbacks->SendApplicationMessage(
            size, comp, factor, static_cast<unsigned>(local.tm_mon + 1), static_cast<unsigned>(local.tm_mday),
            static_cast<unsigned>(local.tm_year + 1900), static_cast<unsigned>(local.tm_hour),
            static_cast<unsigned>(local.tm_min), sign, nameBytes.constData(), method.constData(),
            static_cast<unsigned long>(stat.crc), stat.encryption_method != ZIP_EM_NONE ? 1 : 0);
    }
}

bool Extraction::prepareTarget()
{
    const QString given = QString::fromLocal8Bit(m_options.lpszExtractDir);
    m_targetDisplay = given;
    QString path;
    if (given.isEmpty()) {
        path = QDir::currentPath();
    } else {
        const QDir base = QDir::isAbsolutePath(given) ? QDir::root() : QDir::current();
        path = Platform::findEntry(base, given, Platform::EntryKind::Folder);
        if (path.isEmpty()) {
            // Create what is missing with the spelling given, below the deepest folder that exists.
            QString normalized = given;
            normalized.replace(QLatin1Char('\\'), QLatin1Char('/'));
            path = base.absolutePath();
            for (const QString& part : normalized.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
                const QString next = part == QLatin1String(".") || part == QLatin1String("..")
                                         ? QDir::cleanPath(path + QLatin1Char('/') + part)
                                         : Platform::findEntry(QDir(path), part, Platform::EntryKind::Folder);
                if (!next.isEmpty()) {
                    path = next;
                    continue;
                }
                path = QDir::cleanPath(path + QLatin1Char('/') + part);
                if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
                    print(QStringLiteral("error:  cannot create extraction directory: %1\n        %2\n")
                              .arg(given, errnoText(errno)),
                          1);
                    fail(PK_DISK);
                    return false;
                }
            }
        }
    }
    m_folders.insert(QString(), std::make_shared<FolderIndex>(path, true));
    return true;
}

// The folder that holds parts[0..count), created where missing; null when it cannot be made.
FolderIndex* Extraction::folderFor(const QStringList& parts, qsizetype count)
{
    const QString key = QStringList(parts.mid(0, count)).join(QLatin1Char('/'));
    const auto known = m_folders.constFind(key);
    if (known != m_folders.constEnd())
        return known.value().get();
    FolderIndex* parent = folderFor(parts, count - 1);
    if (!parent)
        return nullptr;
    const QString& name = parts.at(count - 1);
    QString stored = parent->find(name, true);
    std::shared_ptr<FolderIndex> folder;
    if (!stored.isEmpty() && parent->isFolder(stored)) {
        folder = std::make_shared<FolderIndex>(parent->path() + QLatin1Char('/') + stored, true);
    } else {
        const QString path = parent->path() + QLatin1Char('/') + name;
        if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
            print(QStringLiteral("error:  cannot create folder %1\n        %2\n")
                      .arg(QStringList(parts.mid(0, count)).join(QLatin1Char('/')), errnoText(errno)),
                  1);
            return nullptr;
        }
        print(QStringLiteral("   creating: %1/\n").arg(key));
        parent->add(name, true);
        folder = std::make_shared<FolderIndex>(path, false);
    }
    m_folders.insert(key, folder);
    return folder.get();
}

bool Extraction::askPassword(const zip_stat_t& stat, const QString& display, QByteArray* password)
{
    if (m_havePassword) {
        // Most archives use one password for all their members: try the last one first.
        if (zip_file_t* probe = zip_fopen_index_encrypted(m_archive, stat.index, 0, m_lastPassword.constData())) {
            zip_fclose(probe);
            *password = m_lastPassword;
            return true;
        }
    }
    if (!m_callbacks || !m_callbacks->password) {
        print(QStringLiteral("skipping: %1  unable to get password\n").arg(display), 1);
        fail(IZ_BADPWD);
        return false;
    }
    settle();
    char buffer[PasswordLength + 1] = {};
    const QByteArray name = display.toLocal8Bit();
    if (m_callbacks->password(buffer, PasswordLength + 1, "Enter password for: ", name.constData()) != 0) {
        print(QStringLiteral("skipping: %1  unable to get password\n").arg(display), 1);
        fail(IZ_BADPWD);
        return false;
    }
    buffer[PasswordLength] = '\0';
    *password = QByteArray(buffer);
    if (zip_file_t* probe = zip_fopen_index_encrypted(m_archive, stat.index, 0, password->constData())) {
        zip_fclose(probe);
        m_lastPassword = *password;
        m_havePassword = true;
        return true;
    }
    print(QStringLiteral("skipping: %1  incorrect password\n").arg(display), 1);
    fail(IZ_BADPWD);
    return false;
}

void Extraction::extract(const std::vector<zip_uint64_t>& members)
{
    if (!prepareTarget())
        return;
    std::unique_ptr<char[]> buffer(new char[WriteBufferSize]);
    const bool twoAtOnce = members.size() > 1 && std::thread::hardware_concurrency() > 1;
    for (const zip_uint64_t index : members) {
        collect();
        if (m_aborted)
            break;
        WriteJob job;
        if (!plan(index, &job)) {
            progress(++m_done);
            continue;
        }
        if (job.path == m_helperPath)
            settle(); // the same file twice: the second copy must not race the first
        if (twoAtOnce) {
            if (!m_helper)
                m_helper = std::make_unique<Helper>(m_zipPath);
            if (m_helper->usable() && m_helper->post(job)) {
                m_helperPath = job.path;
                continue;
            }
        }
        finish(job, writeMember(m_archive, job, buffer.get(), [this](quint64) { progress(m_done); }));
        if (m_aborted)
            break;
    }
    settle();
}

void Extraction::collect()
{
    if (!m_helper)
        return;
    for (const auto& [job, result] : m_helper->takeFinished())
        finish(job, result);
}

// Lets the helper finish its member, so that nothing is in flight.
void Extraction::settle()
{
    if (!m_helper)
        return;
    m_helper->waitIdle([this] { progress(m_done); });
    collect();
}

void Extraction::finish(const WriteJob& job, const WriteResult& result)
{
    if (job.path == m_helperPath)
        m_helperPath.clear();
    if (result.status != PK_OK) {
        print(result.error, 1);
        fail(result.status);
        if (!job.replace)
            job.folder->remove(job.fileName);
        m_aborted = m_aborted || result.abort;
    }
    progress(++m_done);
}

// Decides what becomes of one member, asking the caller where needed; true when `job` is to be written.
bool Extraction::plan(zip_uint64_t index, WriteJob* job)
{
    zip_stat_t stat;
    if (zip_stat_index(m_archive, index, 0, &stat) != 0)
        return false;
    const MemberName member = splitMemberName(QString::fromUtf8(stat.name), m_options.SpaceToUnderscore != 0);
    if (member.unsafe) {
        print(
            QStringLiteral("warning:  skipped \"%1\": its path leads outside the target folder\n").arg(member.display),
            1);
        warn();
        return false;
    }
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(m_archive, index, 0, &system, &attributes) == 0 && system == ZIP_OPSYS_UNIX &&
        ((attributes >> 16) & S_IFMT) == S_IFLNK) {
        print(QStringLiteral("warning:  skipped \"%1\": symbolic links are not extracted\n").arg(member.display), 1);
        warn();
        return false;
    }
    if (member.parts.isEmpty())
        return false;
    if (member.isFolder) {
        if (m_options.ndflag && !folderFor(member.parts, member.parts.size()))
            fail(PK_DISK);
        return false;
    }
    const QStringList parts = m_options.ndflag ? member.parts : QStringList{member.parts.last()};
    FolderIndex* folder = folderFor(parts, parts.size() - 1);
    if (!folder) {
        fail(PK_DISK);
        return false;
    }
    if (!zip_compression_method_supported(stat.comp_method, 0)) {
        print(QStringLiteral("skipping: %1  unsupported compression method %2\n")
                  .arg(member.display)
                  .arg(stat.comp_method),
              1);
        fail(IZ_UNSUP);
        return false;
    }

    job->index = index;
    job->display = parts.join(QLatin1Char('/'));
    job->mtime = stat.mtime;
    const QString& fileName = parts.last();
    const QString existing = folder->find(fileName, false);
    if (!existing.isEmpty() && folder->isFolder(existing)) {
        print(
            QStringLiteral("error:  cannot create %1\n        a folder of that name is in the way\n").arg(job->display),
            1);
        fail(PK_DISK);
        return false;
    }
    if (existing.isEmpty()) {
        if (m_options.nfflag)
            return false;
        job->path = folder->path() + QLatin1Char('/') + fileName;
    } else {
        job->path = folder->path() + QLatin1Char('/') + existing;
        job->replace = true;
        if (!mayReplace(*job, stat))
            return false;
    }

    if (stat.encryption_method != ZIP_EM_NONE) {
        if (!zip_encryption_method_supported(stat.encryption_method, 0)) {
            print(QStringLiteral("skipping: %1  unsupported encryption\n").arg(member.display), 1);
            fail(IZ_UNSUP);
            return false;
        }
        job->encrypted = true;
        if (!askPassword(stat, member.display, &job->password))
            return false;
    }

    print(QStringLiteral("%1: %2\n")
              .arg(stat.comp_method == ZIP_CM_STORE ? QStringLiteral(" extracting") : QStringLiteral("  inflating"),
                   job->display));
    job->folder = folder;
    job->fileName = fileName;
    // Known from now on, so that a second member of the same name replaces it.
    if (!job->replace)
        folder->add(fileName, false);
    return true;
}

// Whether the existing file of `job` is to be replaced, asking the replace query when told to.
bool Extraction::mayReplace(const WriteJob& job, const zip_stat_t& stat)
{
    if (m_options.ExtractOnlyNewer || m_options.nfflag) {
        struct stat onDisk = {};
        if (::stat(QFile::encodeName(job.path).constData(), &onDisk) == 0 && onDisk.st_mtime >= stat.mtime)
            return false;
    }
    if (m_options.noflag || m_replaceAll)
        return true;
    if (m_skipExisting || !m_options.PromptToOverwrite || !m_callbacks || !m_callbacks->replace)
        return false;
    QByteArray shown =
        (m_targetDisplay.isEmpty() ? job.display : m_targetDisplay + QLatin1Char('/') + job.display).toLocal8Bit();
    // The query may read up to 256 bytes, whatever the length of the name.
    if (shown.size() < 256)
        shown.append(256 - shown.size(), '\0');
    settle(); // the query shows progress up to this member
    const int answer = m_callbacks->replace(shown.data());
    if (answer == IDM_REPLACE_NONE)
        m_skipExisting = true;
    if (answer == IDM_REPLACE_ALL)
        m_replaceAll = true;
    return answer == IDM_REPLACE_YES || answer == IDM_REPLACE_ALL;
}

} // namespace

int windll_unzip(int ifnc, char** ifnv, int xfnc, char** xfnv, DCL* lpDCL, USERFUNCTIONS* lpUserFunc)
{
    if (!lpDCL)
        return PK_PARAM;
    const auto names = [](int count, char** table) {
        QStringList list;
        for (int i = 0; table && i < count; ++i) {
            if (!table[i])
                continue;
            QString name = QString::fromLocal8Bit(table[i]);
            name.replace(QLatin1Char('\\'), QLatin1Char('/'));
            list.append(name);
        }
        return list;
    };
    try {
        Extraction extraction(*lpDCL, lpUserFunc);
        return extraction.run(names(ifnc, ifnv), names(xfnc, xfnv));
    } catch (const std::bad_alloc&) {
        return PK_MEM;
    } catch (...) {
        // A caller's callback threw: nothing may cross this plain interface.
        return PK_ERR;
    }
}

void UzpVersion2(UzpVer2* version)
{
    if (!version)
        return;
    version->flag = 0;
    std::memset(version->betalevel, 0, sizeof version->betalevel);
    std::memset(version->date, 0, sizeof version->date);
    std::strncpy(version->zlib_version, zip_libzip_version(), sizeof version->zlib_version - 1);
    version->zlib_version[sizeof version->zlib_version - 1] = '\0';
    version->unzip = {1, 0, 0, 0};
    version->zipinfo = {0, 0, 0, 0};
    version->os2dll = {0, 0, 0, 0};
    version->windll = {1, 0, 0, 0};
    version->dllapimin = {1, 0, 0, 0};
}

void windll_set_progress(UnzipProgressFn fn, void* ctx)
{
    progressHook = {fn, ctx};
}
