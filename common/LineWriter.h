#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

class QIODevice;

// Writes text files as the emulator expects them: one line at a time, each ended by CR LF, in the
// local 8-bit encoding, without any quoting.
class LineWriter final
{
public:
    explicit LineWriter(QIODevice* device);

    bool writeLine(const QString& line);

    static QByteArray encode(const QStringList& lines);

private:
    QIODevice* m_device;
};

struct SaveResult
{
    bool ok = false;
    QString error;
};

// Replaces the file `name` in `folder` with `lines`. The new content is written to a temporary file
// beside it and renamed over the old one, so a failure (a full disk, a folder in the way) leaves
// the old file as it was. After success, other spellings of the same name (same letters in another
// case) are removed, so exactly one file of that name is left, spelt as `name`.
SaveResult saveLines(const QDir& folder, const QString& name, const QStringList& lines);
