#pragma once

#include <QIcon>

namespace Platform {

// The program's icon, 32 x 32 and 16 x 16 in sixteen colours: the files that are also installed for the desktop.
QIcon appIcon();

} // namespace Platform
