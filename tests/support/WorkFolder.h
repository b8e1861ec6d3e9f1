#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

// A fresh working folder for one test, with helpers to lay out files in it.
class WorkFolder final
{
public:
    QString path() const { return m_dir.path(); }
    QDir dir() const { return QDir(m_dir.path()); }
    QString filePath(const QString& relative) const { return m_dir.filePath(relative); }

    // Writes a file, creating its folders; returns false on failure.
    bool write(const QString& relative, const QByteArray& content = {}) const;
    bool makeFolder(const QString& relative) const;
    QByteArray read(const QString& relative) const;

    // The usual emulator folder: torvak.exe and a catalogue of the given bytes.
    bool layEmulator(const QByteArray& catalogue) const;

    // The same with a stand-in emulator that, when started, writes launch.txt: its arguments, one
    // per line, then "--", then the files inside the folders of the working folder
    // other than roms/ and hidden ones, as "./folder/file", sorted.
    bool layRecordingEmulator(const QByteArray& catalogue) const;

private:
    QTemporaryDir m_dir;
};
