#include "ArchiveMaker.h"

#include <QFile>
#include <QtDebug>

#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <zip.h>

bool canEncrypt()
{
    return zip_encryption_method_supported(ZIP_EM_TRAD_PKWARE, 1) != 0;
}

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
        zip_int64_t index = -1;
        if (member.name.endsWith(QLatin1Char('/'))) {
            index = zip_dir_add(archive, name.constData(), ZIP_FL_ENC_UTF_8);
        } else {
            // The archive frees its own copy of the bytes once it has written them.
            void* copy = nullptr;
            if (!member.data.isEmpty()) {
                copy = std::malloc(static_cast<std::size_t>(member.data.size()));
                std::memcpy(copy, member.data.constData(), static_cast<std::size_t>(member.data.size()));
            }
            zip_source_t* source = zip_source_buffer(archive, copy, static_cast<zip_uint64_t>(member.data.size()), 1);
            index = source ? zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8) : -1;
            if (index < 0 && source)
                zip_source_free(source);
        }
        if (index < 0) {
            qWarning() << "cannot add" << member.name << zip_strerror(archive);
            ok = false;
            continue;
        }
        const auto at = static_cast<zip_uint64_t>(index);
        if (member.stored)
            ok = zip_set_file_compression(archive, at, ZIP_CM_STORE, 0) == 0 && ok;
        if (member.encrypted)
            ok = zip_file_set_encryption(archive, at, ZIP_EM_TRAD_PKWARE, "secret") == 0 && ok;
        if (member.symlink)
            ok = zip_file_set_external_attributes(archive, at, 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16) == 0 && ok;
        if (member.time.isValid())
            ok = zip_file_set_mtime(archive, at, static_cast<time_t>(member.time.toSecsSinceEpoch()), 0) == 0 && ok;
    }
    if (zip_close(archive) != 0) {
        qWarning() << "cannot write" << path << zip_strerror(archive);
        zip_discard(archive);
        return false;
    }
    return ok;
}

QByteArray rejectedPassword(const QString& path)
{
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, nullptr);
    if (!archive)
        return {};
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QByteArray candidate = "guess" + QByteArray::number(attempt);
        bool rejected = true;
        for (zip_int64_t index = 0; index < count && rejected; ++index) {
            zip_stat_t stat;
            if (zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
                stat.encryption_method == ZIP_EM_NONE)
                continue;
            if (zip_file_t* file =
                    zip_fopen_index_encrypted(archive, static_cast<zip_uint64_t>(index), 0, candidate.constData())) {
                zip_fclose(file);
                rejected = false;
            }
        }
        if (rejected) {
            zip_discard(archive);
            return candidate;
        }
    }
    zip_discard(archive);
    return {};
}
