// The extraction layer over arbitrary archive bytes, with the launcher's options: whatever the
// archive holds, nothing may appear outside the target folder and no symbolic link may be made.
#include "FuzzSupport.h"
#include "Unzip32.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

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
        require(!S_ISLNK(info.st_mode), "a symbolic link was made");
        if (path == target || path.startsWith(target + '/'))
            continue;
        QFile file(path);
        entries.insert(path, S_ISDIR(info.st_mode) || !file.open(QIODevice::ReadOnly)
                                 ? QByteArray("folder")
                                 : QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1));
    }
    return entries;
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

    const QString target = work + "/target";
    const QMap<QString, QByteArray> before = snapshot(root.path(), target);
    QByteArray zip = QFile::encodeName(archive.fileName());
    QByteArray folder = QFile::encodeName(target);
    const int first = extract(zip.data(), folder.data(), 0);
    require(snapshot(root.path(), target) == before, "something changed outside the target folder");
    // Again over the files of the first run: each is replaced, or asked about.
    const int second = extract(zip.data(), folder.data(), 1);
    require(first < 100 && second < 100, "unknown status");
    require(snapshot(root.path(), target) == before, "something changed outside the target folder");
    require(QDir(target).removeRecursively() || !QFileInfo::exists(target), "cannot clear the target");
    return 0;
}
