#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

// The snapshot files of a set that exist, in the order they are tried: snapshot\<name>.jpg, .gif,
// .bmp, then .png. Names are matched without regard to case; the folder is listed at most once.
QStringList snapshotFiles(const QDir& workDir, const QString& romname);
