#include "WorkFolder.h"

#include <QFile>
#include <QFileInfo>

WorkFolder::WorkFolder() = default;

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
