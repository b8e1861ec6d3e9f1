// The extraction layer over arbitrary archive bytes, with the launcher's options: whatever the
// archive holds, nothing may appear outside the target folder, no symbolic link may be made, the
// link to an outside folder that the target holds is never written through, and the extraction
// makes nothing that its plan did not name.
#include "ArchiveReader.h"
#include "ExtractionPlan.h"
#include "FuzzSupport.h"
#include "Unzip32.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>

#include <filesystem>

#include <sys/stat.h>

namespace {

// Every entry below `root` but the target folder's own: kind, and content for files.
QMap<QString, QByteArray> snapshot(const QString& root, const QString& target)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info = {};
        require(::lstat(QFile::encodeName(path).constData(), &info) == 0, "entry vanished while listed");
        require(!S_ISLNK(info.st_mode) || path == target + "/sub", "a symbolic link was made");
        if (path == target || path.startsWith(target + '/'))
            continue;
        QFile file(path);
        entries.insert(path, S_ISDIR(info.st_mode) || !file.open(QIODevice::ReadOnly)
                                 ? QByteArray("folder")
                                 : QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1));
    }
    return entries;
}

// The paths below `folder` as bytes, links not followed.
QSet<QByteArray> listTree(const QByteArray& folder)
{
    QSet<QByteArray> paths;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(folder.constData(), error), end; !error && it != end;
         it.increment(error))
        paths.insert(QByteArray::fromStdString(it->path().lexically_relative(folder.constData()).native()));
    return paths;
}

// The slice reader sees the archive as a whole-archive zip_open does: the same entries, or the same error, at
// the latest when the slice with the failing record is opened (planning opens every slice before anything
// is written).
void compareSliceReader(const QByteArray& zip)
{
    int wholeError = ZIP_ER_OK;
    const Unzip::ZipArchivePtr whole(zip_open(zip.constData(), ZIP_RDONLY, &wholeError));
    Unzip::ArchiveReader reader;
    int error = ZIP_ER_OK;
    if (!reader.open(zip, &error, 2)) {
        require(!whole && error == wholeError, "the reader and zip_open disagree on opening the archive");
        return;
    }
    const zip_int64_t count = whole ? zip_get_num_entries(whole.get(), 0) : -1;
    require(!whole || (zip_uint64_t(count) == reader.entryCount()), "another entry count");
    for (zip_uint64_t index = 0; index < reader.entryCount(); ++index) {
        zip_uint64_t local = 0;
        zip_t* slice = reader.archiveFor(index, &local, &error);
        if (!slice) {
            require(!whole && error == wholeError, "a slice does not open as the whole archive does");
            return;
        }
        zip_stat_t ours, theirs;
        const bool statted = zip_stat_index(slice, local, 0, &ours) == 0;
        require(!whole || statted == (zip_stat_index(whole.get(), index, 0, &theirs) == 0), "stat differs");
        require(!whole || !statted ||
                    (qstrcmp(ours.name, theirs.name) == 0 && ours.size == theirs.size &&
                     ours.comp_size == theirs.comp_size && ours.crc == theirs.crc && ours.mtime == theirs.mtime &&
                     ours.comp_method == theirs.comp_method && ours.encryption_method == theirs.encryption_method &&
                     ours.index + (index - local) == theirs.index),
                "an entry reads differently through its slice");
    }
    require(whole != nullptr, "every slice opens where zip_open fails");
    int commentLength = 0;
    zip_get_archive_comment(whole.get(), &commentLength, ZIP_FL_ENC_RAW);
    require(reader.commentLength() == commentLength, "another comment length");
}

// The launcher's options: replace without asking, keep the archive's folders.
int extract(char* zip, char* target, int prompt)
{
    DCL options = {};
    options.PromptToOverwrite = prompt;
    options.noflag = !prompt;
    options.ndflag = 1;
    options.lpszZipFN = zip;
    options.lpszExtractDir = target;
    USERFUNCTIONS callbacks = {};
    callbacks.print = [](char*, unsigned long size) { return static_cast<int>(size); };
    callbacks.replace = [](char*) { return IDM_REPLACE_YES; };
    callbacks.password = [](char* buffer, int size, const char*, const char*) {
        qstrncpy(buffer, "secret", static_cast<size_t>(size));
        return 0;
    };
    return windll_unzip(0, nullptr, 0, nullptr, &options, &callbacks);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Nested, so that a member climbing out of the target stays inside what is watched.
    static QTemporaryDir root;
    static const QString work = [] {
        QDir(root.path()).mkpath("a/b/work");
        QFile keep(root.filePath("a/b/work/keep.txt"));
        require(keep.open(QIODevice::WriteOnly) && keep.write("kept") == 4, "cannot lay out the folder");
        return root.filePath("a/b/work");
    }();
    QFile archive(work + "/in.zip");
    require(archive.open(QIODevice::WriteOnly) && archive.write(bytesOf(data, size)) == qint64(size), "cannot write");
    archive.close();

    // The target holds a link to a folder outside it, as a user's set folder may.
    const QString target = work + "/target";
    static QTemporaryDir aside;
    QDir(root.path()).mkpath("a/outside");
    require(QDir(work).mkpath("target") && QFile::link(root.filePath("a/outside"), target + "/sub"), "cannot link");
    QByteArray zip = QFile::encodeName(archive.fileName());
    QByteArray folder = QFile::encodeName(target);
    compareSliceReader(zip);

    DCL launcher = {};
    launcher.noflag = 1;
    launcher.ndflag = 1;
    const Unzip::ExtractionPlan plan = Unzip::planExtractions({zip}, folder, launcher);
    QSet<QByteArray> planned;
    int moved = 0;
    for (const Unzip::PlannedChange& change : plan.changes) {
        if (change.kind == Unzip::PlannedChange::Kind::MoveAside)
            require(::rename((folder + '/' + change.path).constData(),
                             QFile::encodeName(aside.filePath(QString::number(++moved))).constData()) == 0,
                    "cannot move aside");
        else if (change.kind != Unzip::PlannedChange::Kind::Temporary)
            planned.insert(change.path);
    }
    const QSet<QByteArray> existing = listTree(folder);
    const QMap<QString, QByteArray> before = snapshot(root.path(), target);
    const int first = extract(zip.data(), folder.data(), 0);
    require(snapshot(root.path(), target) == before, "something changed outside the target folder");
    require((listTree(folder) - existing).subtract(planned).isEmpty(),
            "the extraction made what its plan did not name");
    // Again over the files of the first run: each is replaced, or asked about.
    const int second = extract(zip.data(), folder.data(), 1);
    require(first < 100 && second < 100, "unknown status");
    require(snapshot(root.path(), target) == before, "something changed outside the target folder");
    // By bytes: a member's name need not be UTF-8, which QDir would not find again.
    std::error_code error;
    std::filesystem::remove_all(QFile::encodeName(target).constData(), error);
    require(!error, "cannot clear the target");
    return 0;
}
