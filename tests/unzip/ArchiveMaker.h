#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// One member of a test archive.
struct ArchiveMember
{
    ArchiveMember(QString memberName, QByteArray memberData = {}, bool isStored = false, bool isEncrypted = false,
                  bool isSymlink = false, QDateTime memberTime = {})
        : name(std::move(memberName)), data(std::move(memberData)), stored(isStored), encrypted(isEncrypted),
          symlink(isSymlink), time(std::move(memberTime))
    {
    }

    QString name; // as stored; a name ending in '/' is a folder
    QByteArray data;
    bool stored;    // kept without compression
    bool encrypted; // traditional encryption with the password "secret"
    bool symlink;   // marked as a symbolic link in the external attributes; data is the link target
    QDateTime time; // modification time, when valid
};

// Writes a real zip archive with libzip; returns false (with a warning) when that fails.
bool writeArchive(const QString& path, const QList<ArchiveMember>& members);

// Whether this libzip can write encrypted members.
bool canEncrypt();

// A wrong password that the archive turns away for every encrypted member when the member is
// opened. The traditional scheme checks a password by a single byte, so about one wrong password
// in 256 gets past that check and fails only later, while reading.
QByteArray rejectedPassword(const QString& path);
