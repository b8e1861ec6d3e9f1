#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <functional>
#include <optional>

// What one launch's extractions change on disk, written to the working folder before the first
// change so that the clean-up, or the next start after a crash, can undo exactly that. Paths are
// bytes as they stand on disk; those of entries are relative to the target folder, with '/'
// between names.
struct LaunchRecord
{
    // An existing file or symbolic link that a member replaces, and the hidden name (in the same
    // folder) that it waits under until the clean-up puts it back.
    struct MovedAside
    {
        QByteArray path;
        QByteArray hidden;
        bool operator==(const MovedAside& other) const { return path == other.path && hidden == other.hidden; }
    };

    QByteArray target; // absolute
    bool targetExisted = false;
    QList<MovedAside> movedAside;
    QList<QByteArray> folders;     // created, parents before children
    QList<QByteArray> files;       // created
    QList<QByteArray> temporaries; // may exist while a member replaces a file of an earlier archive

    bool operator==(const LaunchRecord& other) const
    {
        return target == other.target && targetExisted == other.targetExisted && movedAside == other.movedAside &&
               folders == other.folders && files == other.files && temporaries == other.temporaries;
    }

    // One item a line, CR LF after each; every path percent-encoded, so that any byte of a name
    // (blanks, CR, LF, commas, bytes that are not UTF-8) survives. The last line counts the lines
    // before it: a record cut short is never taken for a whole one.
    QByteArray serialize() const;
    // The same, handed to `write` a block at a time (a record of a million files is tens of
    // megabytes); false as soon as `write` fails.
    bool serialize(const std::function<bool(QByteArrayView block)>& write) const;
    static std::optional<LaunchRecord> parse(QByteArrayView bytes);
};
