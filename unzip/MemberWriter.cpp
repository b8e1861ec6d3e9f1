#include "MemberWriter.h"

#include "FileChanges.h"
#include "Handles.h"
#include "LocalText.h"
#include "Unzip32.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

namespace Unzip {

namespace {

constexpr quint64 HeartbeatBytes = 4 * 1024 * 1024;

bool isDiskFull(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
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

} // namespace

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
    const QString text = Platform::decodeLocal(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

WriteResult writeMember(zip_t* archive, int folderFd, const WriteJob& job, const QString& shown, char* buffer,
                        const std::function<void()>& heartbeat)
{
    WriteResult result;
    const bool replacing = !job.temporary.isEmpty();
    const QByteArray& writeName = replacing ? job.temporary : job.name;
    UniqueFd fd(::openat(folderFd, writeName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) {
        const int error = errno;
        result.status = PK_DISK;
        result.abort = isDiskFull(error);
        result.error = QStringLiteral("error:  cannot create %1\n        %2\n").arg(shown, Platform::errorText(error));
        return result;
    }
    Platform::fileChanged();
    if (replacing) {
        // The replacement keeps the permissions of the file it replaces.
        struct stat old = {};
        if (::fstatat(folderFd, job.name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode))
            ::fchmod(fd.get(), old.st_mode & 07777);
    }

    const auto fail = [&](int status, const QString& text, bool abort) {
        fd.reset();
        if (::unlinkat(folderFd, writeName.constData(), 0) == 0)
            Platform::fileChanged();
        result.status = status;
        result.error = text;
        result.abort = abort;
        return result;
    };
    const auto readError = [&](int code) {
        return fail(statusOfZipError(code),
                    QStringLiteral("error:  cannot read %1: %2\n").arg(shown, zipErrorText(code)), false);
    };

    ZipFilePtr member(job.encrypted ? zip_fopen_index_encrypted(archive, job.index, 0, job.password.constData())
                                    : zip_fopen_index(archive, job.index, 0));
    if (!member)
        return readError(zip_error_code_zip(zip_get_error(archive)));

    quint64 sinceBeat = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(member.get(), buffer, WriteBufferSize);
        if (got < 0)
            return readError(zip_error_code_zip(zip_file_get_error(member.get())));
        if (got == 0)
            break;
        int error = 0;
        if (!writeAll(fd.get(), buffer, static_cast<std::size_t>(got), &error))
            return fail(PK_DISK,
                        QStringLiteral("error:  cannot write %1\n        %2\n").arg(shown, Platform::errorText(error)),
                        isDiskFull(error));
        sinceBeat += static_cast<quint64>(got);
        if (sinceBeat >= HeartbeatBytes && heartbeat) {
            heartbeat();
            sinceBeat = 0;
        }
    }
    member.reset();

    const struct timespec times[2] = {{job.mtime, 0}, {job.mtime, 0}};
    ::futimens(fd.get(), times);
    if (!fd.close()) {
        const int error = errno;
        return fail(PK_DISK,
                    QStringLiteral("error:  cannot write %1\n        %2\n").arg(shown, Platform::errorText(error)),
                    isDiskFull(error));
    }
    if (replacing) {
        if (::renameat(folderFd, job.temporary.constData(), folderFd, job.name.constData()) != 0) {
            const int error = errno;
            return fail(
                PK_DISK,
                QStringLiteral("error:  cannot replace %1\n        %2\n").arg(shown, Platform::errorText(error)),
                isDiskFull(error));
        }
        Platform::fileChanged();
    }
    return result;
}

} // namespace Unzip
