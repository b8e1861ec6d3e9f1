#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// Stored: kept without compression. Encrypted: traditional encryption with the password "secret". Symlink: marked
// as a symbolic link in the external attributes; the data is the link target.
enum MemberFlag { Stored = 1, Encrypted = 2, Symlink = 4 };

// One member of a test archive.
struct ArchiveMember
{
    QString name; // as stored; a name ending in '/' is a folder
    QByteArray data = {};
    int flags = 0;       // MemberFlag values
    QDateTime time = {}; // modification time, when valid
};

// Writes a real zip archive with libzip; returns false (with a warning) when that fails.
bool writeArchive(const QString& path, const QList<ArchiveMember>& members);

// The bytes of such an archive, or none when it cannot be written.
QByteArray archiveBytes(const QList<ArchiveMember>& members);

// Empty stored members m0, m1, ...: a large central directory, or a set of many files.
QList<ArchiveMember> emptyMembers(int count);

// A wrong password that the archive turns away for every encrypted member when the member is
// opened. The traditional scheme checks a password by a single byte, so about one wrong password
// in 256 gets past that check and fails only later, while reading.
QByteArray rejectedPassword(const QString& path);
