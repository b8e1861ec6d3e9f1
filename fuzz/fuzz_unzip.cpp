// The extraction layer over arbitrary archive bytes, with the launcher's options: whatever the
// archive holds, nothing may appear outside the target folder, no symbolic link may be made, the
// link to an outside folder that the target holds is never written through, and the extraction
// makes nothing that its plan did not name.
#include "ArchiveReader.h"
#include "ExtractionPlan.h"
#include "FuzzSupport.h"
#include "Unzip32.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>

namespace {

// What libzip tells of entry `index`, its index moved by `shift`.
auto statOf(zip_t* archive, zip_uint64_t index, zip_uint64_t shift)
{
    zip_stat_t s;
    zip_stat_init(&s);
    const bool statted = zip_stat_index(archive, index, 0, &s) == 0;
    return std::make_tuple(statted, QByteArray(s.name), s.size, s.comp_size, s.crc, s.mtime, s.comp_method,
                           s.encryption_method, s.index + shift);
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
    require(!whole || zip_uint64_t(zip_get_num_entries(whole.get(), 0)) == reader.entryCount(), "another entry count");
    for (zip_uint64_t index = 0; index < reader.entryCount(); ++index) {
        zip_uint64_t local = 0;
        zip_t* slice = reader.archiveFor(index, &local, &error);
        if (!slice) {
            require(!whole && error == wholeError, "a slice does not open as the whole archive does");
            return;
        }
        require(!whole || statOf(slice, local, index - local) == statOf(whole.get(), index, 0),
                "an entry reads differently through its slice");
    }
    require(whole != nullptr, "every slice opens where zip_open fails");
    int commentLength = 0;
    zip_get_archive_comment(whole.get(), &commentLength, ZIP_FL_ENC_RAW);
    require(reader.commentLength() == commentLength, "another comment length");
}

// Every entry below `root`, links not followed: outside the target folder its content ("/" for a folder), inside
// it only its path, as bytes (a member's name need not be UTF-8). Only the target's link "sub" may be a link.
struct Snapshot
{
    std::map<std::string, std::string> outside;
    std::set<std::string> inside;
};
Snapshot snapshot(const std::string& root, const std::string& target)
{
    Snapshot shot;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string& path = entry.path().native();
        require(!entry.is_symlink() || path == target + "/sub", "a symbolic link was made");
        if (path.rfind(target + '/', 0) == 0) {
            shot.inside.insert(path.substr(target.size() + 1));
        } else if (entry.is_directory()) {
            shot.outside[path] = "/";
        } else {
            std::ifstream file(path, std::ios::binary);
            shot.outside[path].assign(std::istreambuf_iterator<char>(file), {});
        }
    }
    return shot;
}

// The launcher's options, or the replace query asked instead.
int extract(DCL options, char* zip, char* target, int prompt)
{
    options.PromptToOverwrite = prompt;
    options.noflag = !prompt;
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
    static QTemporaryDir aside;
    const QString work = root.filePath("a/b/work");
    static const bool laidOut = QDir().mkpath(work) && QDir().mkpath(root.filePath("a/outside")) &&
                                std::ofstream(QFile::encodeName(work + "/keep.txt").toStdString()) << "kept";
    require(laidOut, "cannot lay out the folder");
    QByteArray zip = QFile::encodeName(work + "/in.zip");
    QByteArray folder = QFile::encodeName(work + "/target");
    require(bool(std::ofstream(zip.toStdString(), std::ios::binary)
                     .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size))),
            "cannot write");

    // The target holds a link to a folder outside it, as a user's set folder may.
    require(QDir(work).mkpath("target") && QFile::link(root.filePath("a/outside"), work + "/target/sub"),
            "cannot link");
    compareSliceReader(zip);

    DCL launcher = {};
    launcher.noflag = 1;
    launcher.ndflag = 1;
    const Unzip::ExtractionPlan plan = Unzip::planExtractions({zip}, folder, launcher);
    std::set<std::string> planned;
    int moved = 0;
    for (const Unzip::PlannedChange& change : plan.changes) {
        if (change.kind == Unzip::PlannedChange::Kind::MoveAside)
            require(::rename((folder + '/' + change.path).constData(),
                             QFile::encodeName(aside.filePath(QString::number(++moved))).constData()) == 0,
                    "cannot move aside");
        else if (change.kind != Unzip::PlannedChange::Kind::Temporary)
            planned.insert(change.path.toStdString());
    }
    const std::string top = QFile::encodeName(root.path()).toStdString();
    const Snapshot before = snapshot(top, folder.toStdString());
    const int first = extract(launcher, zip.data(), folder.data(), 0);
    const Snapshot after = snapshot(top, folder.toStdString());
    require(after.outside == before.outside, "something changed outside the target folder");
    for (const std::string& path : after.inside)
        require(before.inside.count(path) || planned.count(path), "the extraction made what its plan did not name");
    // Again over the files of the first run: each is replaced, or asked about.
    const int second = extract(launcher, zip.data(), folder.data(), 1);
    require(first < 100 && second < 100, "unknown status");
    require(snapshot(top, folder.toStdString()).outside == before.outside,
            "something changed outside the target folder");
    std::filesystem::remove_all(folder.constData());
    return 0;
}
