#include "LaunchRecord.h"

namespace {

const QByteArray header = "gantrel-launch 1";
const QByteArray keepAsIs = "/";

QByteArray encoded(const QByteArray& path)
{
    return path.toPercentEncoding(keepAsIs);
}

// A path of the record: not empty, no NUL byte, and nothing that climbs out of the folder it is in.
bool safePath(const QByteArray& path, bool absolute)
{
    if (path.isEmpty() || path.contains('\0') || path.startsWith('/') != absolute)
        return false;
    for (const QByteArray& part : path.split('/')) {
        if (part == "..")
            return false;
        if (!absolute && (part.isEmpty() || part == "."))
            return false;
    }
    return true;
}

} // namespace

QByteArray LaunchRecord::serialize() const
{
    QByteArray all;
    serialize([&all](QByteArrayView block) {
        all += block;
        return true;
    });
    return all;
}

bool LaunchRecord::serialize(const std::function<bool(QByteArrayView block)>& write) const
{
    constexpr qsizetype BlockSize = 64 * 1024;
    QByteArray block;
    block.reserve(BlockSize + 1024);
    qsizetype lines = 0;
    bool ok = true;
    const auto line = [&](const QByteArray& text) {
        block += text;
        block += "\r\n";
        ++lines;
        if (block.size() >= BlockSize) {
            ok = ok && write(block);
            block.clear();
        }
    };
    line(header);
    line("target " + encoded(target));
    line(targetExisted ? "existed yes" : "existed no");
    for (const MovedAside& entry : movedAside)
        line("aside " + encoded(entry.path) + ' ' + encoded(entry.hidden));
    for (const QByteArray& path : folders)
        line("folder " + encoded(path));
    for (const QByteArray& path : files)
        line("file " + encoded(path));
    for (const QByteArray& path : temporaries)
        line("temporary " + encoded(path));
    line("end " + QByteArray::number(lines));
    return ok && (block.isEmpty() || write(block));
}

// Read a line at a time, without a list of lines beside the record: a record of a million files
// is tens of megabytes.
std::optional<LaunchRecord> LaunchRecord::parse(QByteArrayView bytes)
{
    if (!bytes.endsWith("\r\n"))
        return std::nullopt;
    const QByteArrayView body = bytes.first(bytes.size() - 2);
    const qsizetype lineCount = body.count('\n') + 1;
    if (lineCount < 4 || body.sliced(body.lastIndexOf('\n') + 1) != "end " + QByteArray::number(lineCount - 1))
        return std::nullopt;

    LaunchRecord record;
    // Sized once: grown a step at a time, a list of a million paths is copied at its largest.
    record.folders.reserve(body.count("\r\nfolder "));
    record.files.reserve(body.count("\r\nfile "));
    bool haveTarget = false;
    bool haveExisted = false;
    qsizetype at = 0;
    for (qsizetype i = 0; i + 1 < lineCount; ++i) {
        const qsizetype end = body.indexOf('\n', at);
        QByteArrayView line = body.sliced(at, end - at);
        at = end + 1;
        if (!line.endsWith('\r'))
            return std::nullopt;
        line.chop(1);
        if (i == 0) {
            if (line != header)
                return std::nullopt;
            continue;
        }
        QList<QByteArrayView> words;
        for (qsizetype from = 0;;) {
            const qsizetype space = line.indexOf(' ', from);
            words.append(line.sliced(from, (space < 0 ? line.size() : space) - from));
            if (space < 0)
                break;
            from = space + 1;
        }
        QList<QByteArray> paths;
        for (qsizetype w = 1; w < words.size(); ++w) {
            const QByteArrayView word = words.at(w);
            paths.append(word.contains('%') ? QByteArray::fromPercentEncoding(word.toByteArray()) : word.toByteArray());
        }
        const QByteArrayView key = words.first();
        bool ok = true;
        if (key == "target" && paths.size() == 1 && !haveTarget) {
            record.target = paths.first();
            haveTarget = ok = safePath(record.target, true);
        } else if (key == "existed" && words.size() == 2 && !haveExisted) {
            record.targetExisted = words.at(1) == "yes";
            haveExisted = ok = record.targetExisted || words.at(1) == "no";
        } else if (key == "aside" && paths.size() == 2) {
            record.movedAside.append({paths.at(0), paths.at(1)});
            ok = safePath(paths.at(0), false) && safePath(paths.at(1), false) && !paths.at(1).contains('/');
        } else if ((key == "folder" || key == "file" || key == "temporary") && paths.size() == 1) {
            (key == "folder" ? record.folders
             : key == "file" ? record.files
                             : record.temporaries)
                .append(paths.first());
            ok = safePath(paths.first(), false);
        } else {
            ok = false;
        }
        if (!ok)
            return std::nullopt;
    }
    if (!haveTarget || !haveExisted)
        return std::nullopt;
    return record;
}
