#include "AppInfo.h"

#include "AppVersion.h"

namespace Platform {

QString appTitle()
{
    return QStringLiteral("Gantrel");
}

int appMajor()
{
    return GANTREL_VERSION_MAJOR;
}

int appMinor()
{
    return GANTREL_VERSION_MINOR;
}

int appRevision()
{
    return GANTREL_VERSION_PATCH;
}

} // namespace Platform
