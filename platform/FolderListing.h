#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

namespace Platform {

enum class ListedKind { File, Folder, Other };

// Calls `visit` once for every entry of `folder` but "." and "..", with the name as stored on
// disk and its kind (symbolic links are followed). This is the cheapest way to learn what a large
// folder holds: names are not decoded and nothing else is looked up. Returns false when the folder
// cannot be read.
bool listFolder(const QString& folder, const std::function<void(QByteArrayView name, ListedKind kind)>& visit);

} // namespace Platform
