#include "ArchiveMaker.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtDebug>

#include <sys/stat.h>
#include <zip.h>

bool writeArchive(const QString& path, const QList<ArchiveMember>& members)
{
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) {
        qWarning() << "cannot create" << path << error;
        return false;
    }
    bool ok = true;
    for (const ArchiveMember& member : members) {
        const QByteArray name = member.name.toUtf8();
        const bool folder = name.endsWith('/');
        // The bytes are read only when the archive is closed, below, while `members` still holds them.
        zip_source_t* source =
            folder ? nullptr : zip_source_buffer(archive, member.data.constData(), zip_uint64_t(member.data.size()), 0);
        const zip_int64_t index = folder ? zip_dir_add(archive, name.constData(), ZIP_FL_ENC_UTF_8)
                                         : zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0 && source)
            zip_source_free(source);
        const int flags = member.flags;
        const zip_uint64_t at = zip_uint64_t(index);
        ok =
            ok && index >= 0 && (!(flags & Stored) || zip_set_file_compression(archive, at, ZIP_CM_STORE, 0) == 0) &&
            (!(flags & Encrypted) || zip_file_set_encryption(archive, at, ZIP_EM_TRAD_PKWARE, "secret") == 0) &&
            (!(flags & Symlink) ||
             zip_file_set_external_attributes(archive, at, 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16) == 0) &&
            (!member.time.isValid() || zip_file_set_mtime(archive, at, time_t(member.time.toSecsSinceEpoch()), 0) == 0);
    }
    if (!ok)
        qWarning() << "cannot add to" << path << zip_strerror(archive);
    if (zip_close(archive) != 0) {
        qWarning() << "cannot write" << path << zip_strerror(archive);
        zip_discard(archive);
        return false;
    }
    return ok;
}

QByteArray archiveBytes(const QList<ArchiveMember>& members)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("made.zip"));
    return writeArchive(file.fileName(), members) && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<ArchiveMember> emptyMembers(int count)
{
    QList<ArchiveMember> members;
    for (int i = 0; i < count; ++i)
        members.append({"m" + QString::number(i), {}, Stored});
    return members;
}

QByteArray rejectedPassword(const QString& path)
{
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, nullptr);
    QByteArray candidate;
    for (int attempt = 0; archive && candidate.isEmpty() && attempt < 1000; ++attempt) {
        candidate = "guess" + QByteArray::number(attempt);
        for (zip_uint64_t index = 0; index < zip_uint64_t(zip_get_num_entries(archive, 0)); ++index) {
            zip_stat_t stat;
            zip_file_t* file = zip_stat_index(archive, index, 0, &stat) == 0 && stat.encryption_method != ZIP_EM_NONE
                                   ? zip_fopen_index_encrypted(archive, index, 0, candidate.constData())
                                   : nullptr;
            if (file) { // let in: try the next candidate
                zip_fclose(file);
                candidate.clear();
                break;
            }
        }
    }
    zip_discard(archive);
    return candidate;
}
