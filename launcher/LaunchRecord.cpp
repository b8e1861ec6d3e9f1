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
    QList<QByteArray> lines{header, "target " + encoded(target), targetExisted ? "existed yes" : "existed no"};
    for (const MovedAside& entry : movedAside)
        lines.append("aside " + encoded(entry.path) + ' ' + encoded(entry.hidden));
    for (const QByteArray& path : folders)
        lines.append("folder " + encoded(path));
    for (const QByteArray& path : files)
        lines.append("file " + encoded(path));
    for (const QByteArray& path : temporaries)
        lines.append("temporary " + encoded(path));
    lines.append("end " + QByteArray::number(lines.size()));
    return lines.join("\r\n") + "\r\n";
}

std::optional<LaunchRecord> LaunchRecord::parse(QByteArrayView bytes)
{
    if (!bytes.endsWith("\r\n"))
        return std::nullopt;
    const QList<QByteArray> lines = bytes.first(bytes.size() - 2).toByteArray().split('\n');
    if (lines.size() < 4 || lines.first() != header + '\r' ||
        lines.last() != "end " + QByteArray::number(lines.size() - 1))
        return std::nullopt;

    LaunchRecord record;
    bool haveTarget = false;
    bool haveExisted = false;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        if (!lines.at(i).endsWith('\r'))
            return std::nullopt;
        const QList<QByteArray> words = lines.at(i).chopped(1).split(' ');
        QList<QByteArray> paths;
        for (qsizetype w = 1; w < words.size(); ++w)
            paths.append(QByteArray::fromPercentEncoding(words.at(w)));
        const QByteArray& key = words.first();
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
