// Lays out the demo working folder: the emulator stand-in, the catalogue, unpacked and zipped ROM sets, and
// snapshot pictures drawn here so that no binary image has to live in the repository.
//
// Usage: gantrel_makedemo <demo source folder> <output folder>
// The output folder is wiped and laid out from scratch; the source folder is only read.

#include "gifwriter.h"
#include "snapshotpainter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>

#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>

namespace {

[[noreturn]] void die(const QString& message)
{
    std::fprintf(stderr, "gantrel_makedemo: %s\n", qPrintable(message));
    std::exit(1);
}

struct Snapshot
{
    const char* name;
    const char* suffix;
    const char* title;
    Scene scene;
    int hue;
};

// dunedrft, tanktwst, jetjock, neonnin and sf2tj are installed but have no picture on purpose; kiteknt has a
// picture but is not installed, as happens with downloaded snapshot packs.
const Snapshot snapshots[] = {
    {"astrohop", "png", "Astro Hopper", Scene::Space, 220},
    {"bnkbust", "jpg", "Bank Buster", Scene::Platforms, 35},
    // A different screen in the .bmp, so one can see at a glance that the .jpg is the one shown.
    {"bnkbust", "bmp", "Bank Buster", Scene::Maze, 130},
    {"crysclv", "gif", "crystal Caverns", Scene::Maze, 280},
    {"frogfrt", "jpg", "Frog Fortress", Scene::Platforms, 100},
    {"gemgob", "bmp", "Gem Goblins", Scene::Maze, 320},
    {"hoverhx", "png", "Hover Hex", Scene::Racer, 180},
    {"kiteknt", "gif", "Kite Knights", Scene::Space, 160},
    {"mazemnk", "gif", "Maze Monks", Scene::Maze, 50},
    {"pixplmb", "png", "Pixel Plumber", Scene::Platforms, 0},
    {"robrodeo", "jpg", "Robo Rodeo", Scene::Racer, 15},
    {"sf2ce", "jpg", "Sidewalk Fighters II'", Scene::Fighters, 25},
    {"sf2cej", "gif", "Sidewalk Fighters II'", Scene::Fighters, 200},
    {"sf2t", "png", "Sidewalk Fighters II' Turbo", Scene::Fighters, 300},
};

// FNV-1a, so the pictures come out the same on every build (qHash is seeded per process).
quint32 seedFor(const QString& text)
{
    quint32 hash = 2166136261u;
    for (const char c : text.toUtf8()) {
        hash ^= static_cast<uchar>(c);
        hash *= 16777619u;
    }
    return hash;
}

// Relative paths of everything below root, sorted so that the results do not depend on the file system's order.
QStringList listTree(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(root).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

void copyFile(const QString& from, const QString& to)
{
    if (!QFile::copy(from, to))
        die(QStringLiteral("cannot copy %1 to %2").arg(from, to));
}

void copyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& entry : listTree(from)) {
        const QString source = from + u'/' + entry;
        if (QFileInfo(source).isDir())
            QDir().mkpath(to + u'/' + entry);
        else
            copyFile(source, to + u'/' + entry);
    }
}

void writeZip(const QString& folder, const QString& zipPath)
{
    int code = 0;
    zip_t* zip = zip_open(QFile::encodeName(zipPath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!zip) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const QString message = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        die(QStringLiteral("cannot create %1: %2").arg(zipPath, message));
    }
    // A fixed date keeps the archives identical from one build to the next.
    std::tm date = {};
    date.tm_year = 2001 - 1900;
    date.tm_mon = 4;
    date.tm_mday = 17;
    date.tm_hour = 12;
    const std::time_t stamp = std::mktime(&date);
    for (const QString& entry : listTree(folder)) {
        const QByteArray name = entry.toUtf8();
        const QByteArray source = QFile::encodeName(folder + u'/' + entry);
        zip_int64_t index = -1;
        if (QFileInfo(folder + u'/' + entry).isDir()) {
            index = zip_dir_add(zip, name.constData(), ZIP_FL_ENC_UTF_8);
        } else if (zip_source_t* data = zip_source_file(zip, source.constData(), 0, -1)) {
            index = zip_file_add(zip, name.constData(), data, ZIP_FL_ENC_UTF_8);
            if (index < 0)
                zip_source_free(data);
        }
        if (index < 0 || zip_file_set_mtime(zip, static_cast<zip_uint64_t>(index), stamp, 0) != 0)
            die(QStringLiteral("cannot add %1 to %2: %3").arg(entry, zipPath, QString::fromUtf8(zip_strerror(zip))));
    }
    if (zip_close(zip) != 0) {
        const QString message = QString::fromUtf8(zip_strerror(zip));
        zip_discard(zip);
        die(QStringLiteral("cannot write %1: %2").arg(zipPath, message));
    }
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        die(QStringLiteral("cannot write %1").arg(path));
}

// Reads a picture back the way the front-end will, deciding the format from the content rather than the name.
QImage readBack(const QString& path, const QByteArray& expectedFormat)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format != expectedFormat)
        die(QStringLiteral("%1 is taken for %2").arg(path, QString::fromLatin1(format)));
    const QImage image = reader.read();
    if (image.isNull())
        die(QStringLiteral("cannot read back %1: %2").arg(path, reader.errorString()));
    return image;
}

void writeSnapshot(const Snapshot& shot, const QString& folder)
{
    const QString fileName = QStringLiteral("%1.%2").arg(QLatin1String(shot.name), QLatin1String(shot.suffix));
    const QString path = folder + u'/' + fileName;
    const QImage image =
        paintSnapshot(shot.scene, QString::fromUtf8(shot.title), fileName, shot.hue, seedFor(fileName));
    const QByteArray suffix(shot.suffix);
    if (suffix == "gif") {
        const QImage indexed = quantiseForGif(image);
        writeFile(path, encodeGif(indexed));
        // The encoder is our own, so insist that Qt decodes it to exactly the pixels that went in.
        if (readBack(path, "gif").convertToFormat(QImage::Format_RGB32) !=
            indexed.convertToFormat(QImage::Format_RGB32))
            die(QStringLiteral("%1 does not decode to the picture that was encoded").arg(path));
        return;
    }
    // Quality only matters for JPEG; for PNG Qt would read it as a (low) compression level.
    const bool jpeg = suffix == "jpg";
    const QByteArray format = jpeg ? QByteArray("jpeg") : suffix;
    if (!image.save(path, format.constData(), jpeg ? 90 : -1))
        die(QStringLiteral("cannot write %1").arg(path));
    if (readBack(path, format).size() != image.size())
        die(QStringLiteral("%1 reads back with the wrong size").arg(path));
}

} // namespace

int main(int argc, char* argv[])
{
    // Only pictures are drawn: no display is needed, wherever the tool runs.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        die(QStringLiteral("usage: gantrel_makedemo <demo source folder> <output folder>"));
    const QString source = QFileInfo(args.at(1)).absoluteFilePath();
    const QString output = QFileInfo(args.at(2)).absoluteFilePath();

    // Wiping the output must never take the sources or a build tree with it.
    if (source == output || output.startsWith(source + u'/') || source.startsWith(output + u'/'))
        die(QStringLiteral("the output folder must lie outside the source folder and not contain it"));
    QDir out(output);
    if (out.exists(QStringLiteral("CMakeCache.txt")) || out.exists(QStringLiteral("CMakeFiles")))
        die(QStringLiteral("%1 holds build files, refusing to wipe it").arg(output));
    if (out.exists() && !out.removeRecursively())
        die(QStringLiteral("cannot clear %1").arg(output));
    for (const char* sub : {"", "roms", "snapshot"}) {
        if (!QDir().mkpath(output + u'/' + QLatin1String(sub)))
            die(QStringLiteral("cannot create %1/%2").arg(output, QLatin1String(sub)));
    }

    // Plain byte copies: roms.txt and the guide must keep their CR LF line ends.
    copyFile(source + QStringLiteral("/roms.txt"), output + QStringLiteral("/roms.txt"));
    copyFile(source + QStringLiteral("/Gantrel.txt"), output + QStringLiteral("/Gantrel.txt"));
    const QString emulator = output + QStringLiteral("/torvak.exe");
    copyFile(source + QStringLiteral("/torvak.exe"), emulator);
    // Runnable by anyone, whatever the checkout did to the mode bits.
    const QFile::Permissions runnable = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser | QFile::ExeUser |
                                        QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    if (!QFile::setPermissions(emulator, QFile::permissions(emulator) | runnable))
        die(QStringLiteral("cannot make %1 executable").arg(emulator));

    const QDir unpacked(source + QStringLiteral("/unpacked"));
    const QStringList unpackedSets = unpacked.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& set : unpackedSets)
        copyTree(unpacked.filePath(set), output + u'/' + set);

    const QDir zipped(source + QStringLiteral("/zipped"));
    const QStringList zippedSets = zipped.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& set : zippedSets)
        writeZip(zipped.filePath(set), output + QStringLiteral("/roms/") + set + QStringLiteral(".zip"));

    for (const Snapshot& shot : snapshots)
        writeSnapshot(shot, output + QStringLiteral("/snapshot"));

    std::printf("demo folder %s: %lld unpacked sets, %lld zipped sets, %zu snapshots\n", qPrintable(output),
                static_cast<long long>(unpackedSets.size()), static_cast<long long>(zippedSets.size()),
                std::size(snapshots));
    return 0;
}
