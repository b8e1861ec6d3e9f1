#include "ExtractionPlan.h"

#include "Extraction.h"

#include <new>

namespace Unzip {

ExtractionPlan planExtractions(const QList<QByteArray>& archives, const QByteArray& extractDir, const DCL& options)
{
    ExtractionPlan plan;
    PlanTarget target;
    target.moveAside = true;
    target.record = true;
    DCL dcl = options;
    QByteArray dir = extractDir;
    dcl.lpszExtractDir = dir.data();
    try {
        Extraction(dcl, nullptr).openTargetForPlan(&target);
        plan.targetFolder = target.path;
        plan.targetExists = target.exists;
        for (const QByteArray& archive : archives) {
            QByteArray zip = archive;
            dcl.lpszZipFN = zip.data();
            const int status = Extraction(dcl, nullptr).planInto(&target);
            if (status != PK_OK && (plan.status == PK_OK || plan.status == PK_WARN))
                plan.status = status;
        }
    } catch (const std::bad_alloc&) {
        plan.status = PK_MEM;
    }
    plan.changes = target.movedAside + target.changes;
    return plan;
}

} // namespace Unzip
