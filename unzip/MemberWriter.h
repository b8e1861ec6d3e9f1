#pragma once

#include <QByteArray>
#include <QString>

#include <ctime>
#include <functional>

#include <zip.h>

namespace Unzip {

constexpr std::size_t WriteBufferSize = 256 * 1024;

// One member's bytes to be written into an open folder.
struct WriteJob
{
    zip_uint64_t index = 0;
    QByteArray name;      // the file as it ends up in the folder
    QByteArray temporary; // when not empty, an existing file is replaced: written here, then renamed over it
    QByteArray password;  // for an encrypted member
    bool encrypted = false;
    time_t mtime = 0;
};

struct WriteResult
{
    int status = 0;
    QString error;      // the message, when status is not 0
    bool abort = false; // the disk is full: later members cannot fare better
};

// Decompresses one member into its file below `folderFd`, never following a link there. A member
// that fails leaves nothing behind: neither a half-written file nor its temporary file.
// `heartbeat` is called every few megabytes.
WriteResult writeMember(zip_t* archive, int folderFd, const WriteJob& job, const QString& shown, char* buffer,
                        const std::function<void()>& heartbeat);

// The status of an archive error reported by libzip, and its text.
int statusOfZipError(int zipError);
QString zipErrorText(int zipError);

} // namespace Unzip
