#include "AppIcon.h"

// The icons live in a static library, whose resources must be registered by hand.
static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace Platform {

QIcon appIcon()
{
    initIconResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/gantrel-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/gantrel-16.png"), QSize(16, 16));
    return icon;
}

} // namespace Platform
