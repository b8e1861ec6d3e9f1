#include "LineWriter.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>

#include "FileLookup.h"

LineWriter::LineWriter(QIODevice* device) : m_device(device) {}

bool LineWriter::writeLine(const QString& line)
{
    QByteArray bytes = line.toLocal8Bit();
    bytes.append("\r\n");
    return m_device->write(bytes) == bytes.size();
}

QByteArray LineWriter::encode(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes.append(line.toLocal8Bit());
        bytes.append("\r\n");
    }
    return bytes;
}

SaveResult saveLines(const QDir& folder, const QString& name, const QStringList& lines)
{
    SaveResult result;
    QSaveFile file(folder.absoluteFilePath(name));
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }
    LineWriter writer(&file);
    for (const QString& line : lines) {
        if (!writer.writeLine(line)) {
            result.error = file.errorString();
            file.cancelWriting();
            return result;
        }
    }
    // The lines sit in a buffer until here: a full disk shows only now, and commit() would not notice it.
    if (!file.flush()) {
        result.error = file.errorString();
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.error = file.errorString();
        return result;
    }

    QDirIterator it(folder.absolutePath(), QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QString other = it.fileName();
        if (other != name && other.compare(name, Qt::CaseInsensitive) == 0 &&
            !Platform::sameEntry(it.filePath(), file.fileName()))
            QFile::remove(it.filePath());
    }
    result.ok = true;
    return result;
}
