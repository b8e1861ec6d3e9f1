#include "WorkFolder.h"

#include <QFile>
#include <QFileInfo>

bool WorkFolder::write(const QString& relative, const QByteArray& content) const
{
    const QString full = filePath(relative);
    if (!QDir().mkpath(QFileInfo(full).absolutePath()))
        return false;
    QFile file(full);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool WorkFolder::makeFolder(const QString& relative) const
{
    return QDir().mkpath(filePath(relative));
}

QByteArray WorkFolder::read(const QString& relative) const
{
    QFile file(filePath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WorkFolder::layEmulator(const QByteArray& catalogue) const
{
    return write(QStringLiteral("torvak.exe"), "#!/bin/sh\n") && write(QStringLiteral("roms.txt"), catalogue);
}

bool WorkFolder::layRecordingEmulator(const QByteArray& catalogue) const
{
    // Written under another name and then renamed, so that launch.txt appears whole.
    const QByteArray script = "#!/bin/sh\n{\n  printf '%s\\n' \"$@\" --\n"
                              "  find . -mindepth 2 -type f ! -path './roms/*' ! -path './.*' | LC_ALL=C sort\n"
                              "} > launch.tmp\nmv launch.tmp launch.txt\n";
    return layEmulator(catalogue) && write(QStringLiteral("torvak.exe"), script) &&
           QFile::setPermissions(filePath(QStringLiteral("torvak.exe")),
                                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
}
