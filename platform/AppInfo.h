#pragma once

#include <QString>

namespace Platform {

// The application's title and its three version numbers, as the About box shows them.
QString appTitle();
int appMajor();
int appMinor();
int appRevision();

} // namespace Platform
