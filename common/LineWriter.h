#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>

// Writes text files as the emulator expects them: one line at a time, each ended by CR LF, in the
// local 8-bit encoding (Platform::encodeLocal, so text read from a file goes back as its bytes),
// without any quoting.
class LineWriter final
{
public:
    static QByteArray encode(const QStringList& lines);
};

struct SaveResult
{
    bool ok = false;
    QString error;
};

// Replaces the file `name` in `folder` with `lines`. The new content is written to a new file beside
// it, flushed to the disk, and renamed over the old one, so a failure (a full disk, a folder in the
// way) leaves the old file as it was and no new file behind. A symbolic link of that name is
// replaced by the new file; the file it leads to is never written. When any spelling of the name
// (same letters in another case) is a file the user may not write, or a link to one, nothing is
// changed. After success, the other spellings are removed, so exactly one file of that name is
// left, spelt as `name`, and new files that an ended save of this name left behind are removed.
SaveResult saveLines(const QDir& folder, const QString& name, const QStringList& lines);
