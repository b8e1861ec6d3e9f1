#include "ExtractionPlan.h"

namespace Unzip {

ExtractionPlan planExtractions(const QList<QByteArray>& archives, const QByteArray& extractDir, const DCL& options)
{
    Q_UNUSED(archives);
    Q_UNUSED(extractDir);
    Q_UNUSED(options);
    ExtractionPlan plan;
    plan.status = PK_PARAM;
    return plan;
}

} // namespace Unzip
